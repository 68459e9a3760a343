# The route iterator: a shared snapshot of a calculated route's records, completed with the map
# data's attribute words and polylines, and the iterators over it (step 4).
nav_component(routing_iterator STEP 4
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/routeiterator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/routesnapshot.cpp
  DEPENDS routing_router routing_network retrievalengine_interfaces mapdisplay_geometry
  PRIVATE_DEPENDS routing_position retrievalengine_engine positioning_geodesy)
target_compile_options(routing_iterator PRIVATE -Wfloat-conversion)

nav_test(routing_iterator_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/elementattributes_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/routeiterator_test.cpp
  DEPENDS routing_iterator routing_position retrievalengine_engine testdata_worldmapset
          testdata_roadnetwork testdata_mapset testdata_addressindex testdata)
