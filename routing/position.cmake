# Route positions over the map data and the polyline operations that positions and the route
# iterator share (step 4).
nav_component(routing_position STEP 4
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/routepolyline.cpp
    ${CMAKE_CURRENT_LIST_DIR}/routepositionimpl.cpp
  DEPENDS routing_costs positioning_types retrievalengine_interfaces mapdisplay_geometry
  PRIVATE_DEPENDS retrievalengine_engine positioning_geodesy usefulcode_geohelpers usefulcode_text)
target_compile_options(routing_position PRIVATE -Wfloat-conversion)

nav_test(routing_position_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/routepolyline_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/routeposition_test.cpp
  DEPENDS routing_position retrievalengine_engine testdata_worldmapset testdata)
