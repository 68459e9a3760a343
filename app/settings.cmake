# The presettings sheet's pages.
nav_component(app_settings STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/settings/presettingspages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/presettingssheet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/settingspage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/volcntr.cpp
  DEPENDS app_startup ui_layout advisor_voice
  PRIVATE_DEPENDS usefulcode_settings usefulcode_framework ui_dialogs ui_tmcmonitor platform_gdi platform_sound platform_window)

nav_test(app_settings_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/settings/tests/presettingspages_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/tests/presettingssheet_test.cpp
  DEPENDS app_settings ui_layout testdata usefulcode_settings platform_sound
          platform_window_testdriver)
