# The hero card: loader and pop bookkeeping (GoogleTest) and the panel's rules (Qt Quick
# Test, offscreen). Real drawing of both models is checked in the JACK window tests.
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
