# The hero card: loader and pop bookkeeping (GoogleTest), the panel's rules (Qt Quick Test,
# offscreen) and real drawing of both models in a virtual X server.
tamborel_add_test(ui_hero_tests
  SOURCES HeroTests.cpp
  LIBS tamborel_ui Qt6::Gui Qt6::Test
  LABELS ui)
target_compile_definitions(ui_hero_tests PRIVATE
  TAMBOREL_RESOURCES_DIR="${TAMBOREL_RESOURCES_DIR}")
add_dependencies(ui_hero_tests tamborel_models)

add_test(NAME ui_hero_qml COMMAND ui_qml_tests -input ${CMAKE_CURRENT_SOURCE_DIR}/HeroQml)
set_tests_properties(ui_hero_qml PROPERTIES
  LABELS ui
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software")

qt_add_executable(hero-screenshot HeroScreenshotMain.cpp)
target_link_libraries(hero-screenshot PRIVATE tamborel_ui tamborel_uiplugin Qt6::Quick
  Qt6::QuickControls2)
add_dependencies(hero-screenshot tamborel_models)
add_test(NAME ui_hero_screenshot
  COMMAND ${CMAKE_SOURCE_DIR}/tests/support/with-xvfb 640x480
    $<TARGET_FILE:hero-screenshot> ${CMAKE_BINARY_DIR}/ui-screenshots)
set_tests_properties(ui_hero_screenshot PROPERTIES
  LABELS "ui;xvfb" TIMEOUT 120
  ENVIRONMENT "QSG_RHI_BACKEND=opengl;TAMBOREL_RESOURCES=${TAMBOREL_RESOURCES_DIR}")
