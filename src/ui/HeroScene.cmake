# The hero card: the assimp model loader into Qt Quick 3D geometry, its view models and QML.
# Included by this folder's CMakeLists after `qml_files` is set and before the QML module.
find_package(Qt6Quick3D 6.4 QUIET CONFIG)
if(NOT TARGET Qt6::Quick3D)
  # Debian's Qt Quick 3D CMake package also wants qt6-shadertools-dev; the loader only needs
  # the library and its headers, so fall back to those when that package is absent.
  find_library(HERO_QT_QUICK3D_LIBRARY Qt6Quick3D REQUIRED)
  find_path(HERO_QT_QUICK3D_INCLUDE QtQuick3D/QQuick3DGeometry
    PATHS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_HEADERS} REQUIRED)
  add_library(Qt6::Quick3D INTERFACE IMPORTED)
  target_include_directories(Qt6::Quick3D INTERFACE
    ${HERO_QT_QUICK3D_INCLUDE} ${HERO_QT_QUICK3D_INCLUDE}/QtQuick3D)
  target_link_libraries(Qt6::Quick3D INTERFACE ${HERO_QT_QUICK3D_LIBRARY} Qt6::Quick Qt6::Qml)
endif()
find_package(PkgConfig REQUIRED)
pkg_check_modules(HERO_ASSIMP REQUIRED IMPORTED_TARGET assimp)

target_sources(tamborel_ui PRIVATE
  HeroModel.cpp
  HeroGeometry.h HeroGeometry.cpp
  HeroPanelModel.h HeroPanelModel.cpp
  HeroCoordinator.h HeroCoordinator.cpp
)
target_link_libraries(tamborel_ui PUBLIC Qt6::Quick3D PRIVATE PkgConfig::HERO_ASSIMP)

list(APPEND qml_files
  qml/hero/HeroPanel.qml
  qml/hero/HeroSceneView.qml
)
