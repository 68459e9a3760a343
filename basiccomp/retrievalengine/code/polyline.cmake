# The engine polyline: element points in the geodesy's plane, resampled along their length.
nav_component(retrievalengine_polyline STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/enginepolyline.cpp
  DEPENDS positioning_geodesy mapdisplay_geometry)

nav_test(retrievalengine_polyline_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/enginepolyline_test.cpp
  DEPENDS retrievalengine_polyline)
