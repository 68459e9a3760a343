nav_test(routing_network_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/crossingrecord_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/crossingsearch_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/hierarchicalworld_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/linkcursor_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/linktargettable_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/optimisedlinks_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/pagestore_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/roadnetwork_test.cpp
  DEPENDS routing_network testdata_roadnetwork testdata_datasets)
target_compile_definitions(routing_network_test
  PRIVATE NAV_DEMO_WORLD="${PROJECT_SOURCE_DIR}/tools/data/demo.world")
