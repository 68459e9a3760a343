# The map display facade: the map queries of the drawing, the level file, the drawing pass and
# the map canvas.
nav_component(mapdisplay_facade STEP 10
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/mapcanvas.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapdraw.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapenginefacade.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapqueries.cpp
  DEPENDS mapdisplay_painter mapdisplay_control retrievalengine_engine
  PRIVATE_DEPENDS platform_gdi platform_window platform_kernel)

nav_test(mapdisplay_facade_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapdraw_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapenginefacade_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapqueries_test.cpp
  DEPENDS mapdisplay_facade usefulcode_files testdata testdata_mapset testdata_drawtown platform_window
          platform_kernel)

nav_fuzz(levellines_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/levellines_fuzz.cpp
  DEPENDS mapdisplay_facade)

nav_test(mapdisplay_canvas_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapcanvas_test.cpp
  DEPENDS mapdisplay_facade testdata testdata_drawtown testdata_golden platform_window
          platform_window_testdriver platform_gdi)
if(TARGET mapdisplay_canvas_test)
  target_compile_definitions(mapdisplay_canvas_test PRIVATE
                             NAV_MAPDISPLAY_DIR="${CMAKE_CURRENT_LIST_DIR}")
endif()

nav_test(mapdisplay_facade_threads_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/facadethreads_test.cpp
  DEPENDS mapdisplay_facade positioning_matcher testdata testdata_drawtown platform_window
          platform_window_testdriver platform_kernel)
