# The label layer and its GDI caches: texts placed without overlaps and drawn over the map.
nav_component(mapdisplay_labels STEP 10
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/labellayer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/labelgrid.cpp
    ${CMAKE_CURRENT_LIST_DIR}/labeltextindex.cpp
  DEPENDS mapdisplay_geometry platform_gdi platform_kernel)

nav_test(mapdisplay_labels_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/labellayer_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/gdicache_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/labelgrid_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/labeltextindex_test.cpp
  DEPENDS mapdisplay_labels testdata testdata_golden platform_kernel)
if(TARGET mapdisplay_labels_test)
  target_compile_definitions(mapdisplay_labels_test PRIVATE
                             NAV_MAPDISPLAY_DIR="${CMAKE_CURRENT_LIST_DIR}")
endif()
