# The map view window: the canvas with the position marker, following and auto-zoom, the
# direction arrow, the overlay, taps, keys and the position dump.
nav_component(mapdisplay_mapview STEP 10
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/mapview.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapbuttonbar.cpp
  DEPENDS mapdisplay_facade mapdisplay_overlay onboard_server ui_skin usefulcode_signals
          usefulcode_framework
  PRIVATE_DEPENDS mapdisplay_pickrecord ui_tmcmonitor usefulcode_settings usefulcode_text
                  usefulcode_locations platform_shell platform_files
                  platform_window platform_gdi)

nav_test(mapdisplay_mapview_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapview_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/maproute_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/maproadroute_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapbuttonbar_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapviewrepaint_test.cpp
  DEPENDS mapdisplay_mapview mapdisplay_pickrecord ui_tmcmonitor testdata testdata_drawtown usefulcode_text
          usefulcode_settings testdata_golden
          platform_window platform_window_testdriver platform_gdi platform_shell
          routing_service retrievalengine_engine testdata_worldmapset testdata_roadnetwork
          positioning_geodesy)

if(TARGET mapdisplay_mapview_test)
  target_compile_definitions(mapdisplay_mapview_test PRIVATE
                             NAV_MAPDISPLAY_DIR="${CMAKE_CURRENT_LIST_DIR}")
endif()

nav_fuzz(mapviewsettings_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/mapviewsettings_fuzz.cpp
  DEPENDS mapdisplay_mapview)
