nav_fuzz(routing_crossingrecord_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/crossingrecord_fuzz.cpp
  DEPENDS routing_network)
nav_fuzz(routing_pagetree_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/pagetree_fuzz.cpp
  DEPENDS routing_network)
nav_fuzz(routing_networkdescription_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/networkdescription_fuzz.cpp
  DEPENDS routing_network)
nav_fuzz(routing_o2schain_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/o2schain_fuzz.cpp
  DEPENDS routing_network)
