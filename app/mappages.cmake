# The map pages: the navigation map page with guidance, the distance field and the map display
# pages.
nav_component(app_mappages STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pages/cnmappage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pages/distancefield.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pages/navshowpage.cpp
  DEPENDS app_modes_types mapdisplay_mapview junctionview_windows advisor_advice onboard_server
          ui_layout usefulcode_framework
  PRIVATE_DEPENDS app_startup app_destinations ui_tmcmonitor ui_dialogs usefulcode_settings usefulcode_text platform_shell platform_window
                  platform_kernel)

nav_test(app_mappages_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pages/tests/cnmappage_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pages/tests/distancefield_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pages/tests/navshowpage_test.cpp
  DEPENDS app_mappages app_testing app_startup ui_dialogs ui_tmcmonitor positioning_receiver testdata testdata_drawtown usefulcode_settings usefulcode_text
          platform_window platform_window_testdriver platform_gdi platform_shell routing_service
          retrievalengine_engine testdata_worldmapset testdata_roadnetwork)
if(TARGET app_mappages_test)
  add_dependencies(app_mappages_test language_bundles)
  target_compile_definitions(app_mappages_test
    PRIVATE NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini"
            NAV_LANGUAGES_DIR="${CMAKE_BINARY_DIR}/languages")
endif()
