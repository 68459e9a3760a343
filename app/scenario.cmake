# The scenario runner of the navigator program: scripts of steps played on the running program.
nav_component(app_scenario STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/scenario/scenariocheck.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scenario/scenarioclock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scenario/scenariodrive.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scenario/scenarioexplorer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scenario/scenariooutput.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scenario/scenariorunner.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scenario/scenarioscript.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scenario/scenariowatch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scenario/scenariowindows.cpp
  DEPENDS onboard_server advisor_voice platform_sound platform_kernel
  PRIVATE_DEPENDS app_startup app_mappages mapdisplay_mapview mapdisplay_style positioning_manager
    positioning_geodesy ui_dialogs ui_layout ui_skin usefulcode_settings platform_window_testdriver
    platform_gdi platform_shell platform_window)

nav_test(app_scenario_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/scenario/tests/scenariodrive_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scenario/tests/scenariooutput_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scenario/tests/scenarioscript_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scenario/tests/scenariorun_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scenario/tests/scenariowindows_test.cpp
  DEPENDS app_scenario app_startup app_testing ui_lists testdata testdata_programfolder testdata_golden
    mapdisplay_labels
    platform_sound positioning_gps positioning_geodesy platform_gdi platform_window_testdriver)
if(TARGET app_scenario_test)
  target_compile_definitions(app_scenario_test PRIVATE
    NAV_LANGUAGES_DIR="${CMAKE_BINARY_DIR}/languages"
    NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini"
    NAV_NAVIGATOR_PROGRAM="$<IF:$<TARGET_EXISTS:navigator>,$<TARGET_FILE:navigator>,navigator>")
  # The navigator program comes with startup.cmake, after this fragment.
  cmake_language(DEFER CALL nav_after_generated app_scenario_test language_bundles
                 screen_descriptions navigator)
endif()

# The clock's keeper thread beside a waiting program thread, the server's events from other
# threads (also run under ThreadSanitizer).
nav_test(app_scenario_threaded_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/scenario/tests/scenarioclock_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scenario/tests/scenariowatch_test.cpp
  DEPENDS app_scenario mapdisplay_mapview testdata testdata_drawtown platform_kernel
    platform_window_testdriver)

nav_fuzz(scenario_script_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/scenario_script_fuzz.cpp
  DEPENDS app_scenario)

nav_fuzz(scenario_drive_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/scenario_drive_fuzz.cpp
  DEPENDS app_scenario)
