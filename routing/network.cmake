# The road network: page stores and caches, crossing records, link cursors, route records and
# the network loaded from its ".rd" description (step 4).
nav_component(routing_network STEP 4
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/attributelists.cpp
    ${CMAKE_CURRENT_LIST_DIR}/crossingrecord.cpp
    ${CMAKE_CURRENT_LIST_DIR}/crossingsearch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/linkcursor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/linktargettable.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapdatalink.cpp
    ${CMAKE_CURRENT_LIST_DIR}/networkcrossing.cpp
    ${CMAKE_CURRENT_LIST_DIR}/networkdescription.cpp
    ${CMAKE_CURRENT_LIST_DIR}/optimisedlinks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pagecache.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pagestore.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pagetree.cpp
    ${CMAKE_CURRENT_LIST_DIR}/roadnetwork.cpp
    ${CMAKE_CURRENT_LIST_DIR}/routerecord.cpp
  DEPENDS mapdisplay_geometry positioning_geodesy routing_georect tablefiles_fsr retrievalengine_interfaces usefulcode_rawfile usefulcode_files
  PRIVATE_DEPENDS usefulcode_settings platform_files platform_kernel retrievalengine_engine)
