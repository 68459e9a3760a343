# The application shell: start-up, the main menu window, the presettings record and the cache
# budget, and the executable "navigator".
nav_component(app_startup STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/startup/preferences.cpp
  DEPENDS onboard_server
  PRIVATE_DEPENDS ui_tmcmonitor usefulcode_settings usefulcode_cache platform_files
    platform_window)

nav_test(app_startup_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/startup/tests/preferences_test.cpp
  DEPENDS app_startup mapdisplay_facade usefulcode_arena ui_tmcmonitor testdata)
