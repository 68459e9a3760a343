# The process-wide pick record that a map view fills and the pages read.
nav_component(mapdisplay_pickrecord STEP 10
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pickrecord.cpp
  DEPENDS mapdisplay_geometry)

nav_test(mapdisplay_pickrecord_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/pickrecord_test.cpp
  DEPENDS mapdisplay_pickrecord)
