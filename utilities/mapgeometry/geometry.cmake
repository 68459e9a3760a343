# Map coordinates and geometry helpers: a service that lower subsystems use, built at step 1.
nav_component(mapdisplay_geometry STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/mapgeometry.cpp)

nav_test(mapdisplay_geometry_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapgeometry_test.cpp
  DEPENDS mapdisplay_geometry)
