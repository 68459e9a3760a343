# Costs of the route search: class and link speeds, link costs, record speeds, the level for a
# distance, the start link's part, route positions and the ends a search is seeded at (step 4).
nav_component(routing_costs STEP 4
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/linkcosts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/routeposition.cpp
    ${CMAKE_CURRENT_LIST_DIR}/seedends.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startlinkcost.cpp
  DEPENDS routing_options routing_network)
target_compile_options(routing_costs PRIVATE -Wfloat-conversion)

nav_test(routing_costs_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/linkcosts_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/seedends_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/startlinkcost_test.cpp
  DEPENDS routing_costs testdata_roadnetwork testdata_datasets retrievalengine_engine
          testdata_mapset testdata_addressindex)
