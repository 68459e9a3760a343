# The route calculation over the network levels: progress and cancellation, the router core with
# its seeding, search, climb and route result (step 4).
nav_component(routing_router STEP 4
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/progress.cpp
    ${CMAKE_CURRENT_LIST_DIR}/routerclimb.cpp
    ${CMAKE_CURRENT_LIST_DIR}/routercore.cpp
    ${CMAKE_CURRENT_LIST_DIR}/routeresult.cpp
    ${CMAKE_CURRENT_LIST_DIR}/routersearch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/routerseed.cpp
    ${CMAKE_CURRENT_LIST_DIR}/routerstaged.cpp
    ${CMAKE_CURRENT_LIST_DIR}/routetree.cpp
  DEPENDS routing_costs routing_search
  PRIVATE_DEPENDS platform_kernel positioning_geodesy usefulcode_text)
target_compile_options(routing_router PRIVATE -Wfloat-conversion)

nav_test(routing_router_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/bidirectionaldijkstra_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/generatedworldroutes_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/linktargetroutes_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/progress_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/routercore_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/routerlevels_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/routeroracle_test.cpp
  DEPENDS routing_router platform_kernel positioning_geodesy testdata_roadnetwork testdata_datasets)
