# Search memory of the router: the address-space reserve, node tables, labels and their heap,
# and the per-level search space (step 4).
nav_component(routing_search STEP 4
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/searchheap.cpp
    ${CMAKE_CURRENT_LIST_DIR}/searchmemory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/searchspace.cpp
  DEPENDS routing_network
  PRIVATE_DEPENDS platform_files platform_kernel)

nav_test(routing_search_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/searchheap_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/searchmemory_test.cpp
  DEPENDS routing_search testdata_roadnetwork testdata_datasets)
