# The route service: network loading, route positions and route requests into results that own
# their route's records (step 4).
nav_component(routing_service STEP 4
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/flaggedelements.cpp
    ${CMAKE_CURRENT_LIST_DIR}/routeservice.cpp
  DEPENDS routing_iterator routing_position routing_router routing_network routing_options
          positioning_types retrievalengine_interfaces mapdisplay_geometry
  PRIVATE_DEPENDS positioning_geodesy)
target_compile_options(routing_service PRIVATE -Wfloat-conversion)

nav_test(routing_service_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/flaggedelements_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/routeservice_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/routeservicesearch_test.cpp
  DEPENDS routing_service retrievalengine_engine positioning_geodesy testdata_worldmapset
          testdata_roadnetwork testdata_mapset testdata)
