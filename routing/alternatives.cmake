# Tests of the route element tree and the staged calculation (the code is in routing_router).
nav_test(routing_alternatives_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/routetree_test.cpp
  DEPENDS routing_router platform_kernel)
nav_test(routing_staged_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/routerstaged_test.cpp
  DEPENDS routing_router routing_service retrievalengine_engine positioning_geodesy
          testdata_worldmapset testdata_roadnetwork testdata_mapset testdata)
