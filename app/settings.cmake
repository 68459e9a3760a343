# The presettings sheet and its pages, and the route options pages.
nav_component(app_settings STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/settings/gpssimulationfloatdlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/optionspage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/presettingspages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/presettingssheet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/settingspage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/volcntr.cpp
  DEPENDS app_startup app_modes_types ui_layout ui_dialogs advisor_voice platform_kernel
  PRIVATE_DEPENDS usefulcode_settings usefulcode_framework ui_tmcmonitor platform_gdi platform_sound
                  platform_window)

nav_test(app_settings_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/settings/tests/optionspage_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/tests/presettingspages_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/tests/presettingssheet_test.cpp
  DEPENDS app_settings app_testing ui_layout testdata testdata_golden usefulcode_settings
          platform_sound platform_window_testdriver)
if(TARGET app_settings_test)
  target_compile_definitions(app_settings_test
    PRIVATE NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini"
    NAV_LANGUAGE_DIR="${CMAKE_BINARY_DIR}/languages"
    NAV_APP_SETTINGS_DIR="${CMAKE_CURRENT_LIST_DIR}/settings")
  add_dependencies(app_settings_test language_bundles)
endif()
