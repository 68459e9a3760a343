# The presettings sheet's pages.
nav_component(app_settings STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/settings/presettingspages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/settingspage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/volcntr.cpp
  DEPENDS ui_layout advisor_voice
  PRIVATE_DEPENDS ui_dialogs ui_tmcmonitor platform_gdi platform_sound platform_window)

nav_test(app_settings_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/settings/tests/presettingspages_test.cpp
  DEPENDS app_settings ui_layout testdata usefulcode_settings platform_sound
          platform_window_testdriver)
