# The traffic and parking overlay of the map canvas: TMC roads, blocked stretches with arrows and
# signs, parking occupancy and hover texts.
nav_component(mapdisplay_overlay STEP 10
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/overlaygeometry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/parkingdata.cpp
    ${CMAKE_CURRENT_LIST_DIR}/parkinglayer.cpp
  DEPENDS mapdisplay_facade traffic_messagestore ui_skin tablefiles_fsr
  PRIVATE_DEPENDS platform_gdi platform_window usefulcode_text)

nav_test(mapdisplay_overlay_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/overlaygeometry_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/parkinglayer_test.cpp
  DEPENDS mapdisplay_overlay testdata testdata_drawtown testdata_parkingtables
          testdata_tmctables traffic_receiver testdata_golden platform_window
          platform_window_testdriver
          platform_gdi)
if(TARGET mapdisplay_overlay_test)
  target_compile_definitions(mapdisplay_overlay_test PRIVATE
                             NAV_MAPDISPLAY_DIR="${CMAKE_CURRENT_LIST_DIR}")
endif()


nav_fuzz(parkingdata_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/parkingdata_fuzz.cpp
  DEPENDS mapdisplay_overlay testdata_parkingtables testdata_memoryfile testdata)

nav_test(mapdisplay_overlay_threads_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/overlaythreads_test.cpp
  DEPENDS mapdisplay_overlay testdata testdata_drawtown testdata_parkingtables
          testdata_tmctables traffic_receiver platform_window platform_window_testdriver
          platform_gdi)
