# Geodetic datums and ellipsoids, datum shifts, the Gauss-Krueger grid, and the flat-earth
# distance and bearing helpers. Built at step 3 because the retrieval engine converts map
# geometry with it.
nav_component(positioning_geodesy STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/geodeticdatum.cpp
    ${CMAKE_CURRENT_LIST_DIR}/geocentric.cpp
    ${CMAKE_CURRENT_LIST_DIR}/datumconverter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/geodistance.cpp
  DEPENDS mapdisplay_geometry)
target_compile_options(positioning_geodesy PRIVATE -Wfloat-conversion)

nav_test(positioning_geodesy_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/geodeticdatum_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/geocentric_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/datumconverter_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/geodistance_test.cpp
  DEPENDS positioning_geodesy)
