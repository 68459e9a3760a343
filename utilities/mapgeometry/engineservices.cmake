# The services the retrieval engine uses of the map display: the engine lock, the engine events,
# the record cursor, the block-tree walk and the geometry pool. Built at step 1 for the engine.
nav_component(mapdisplay_engineservices STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/elementiterator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/geometrypool.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapcursor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/readerlock.cpp
  DEPENDS mapdisplay_geometry usefulcode_cache usefulcode_signals
  PRIVATE_DEPENDS platform_kernel)

nav_test(mapdisplay_engineservices_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapcursor_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/geometrypool_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/readerlock_test.cpp
  DEPENDS mapdisplay_engineservices testdata_memoryfile testdata)
nav_headers(mapdisplay_engineservices elementrecord.h retrievalengineevents.h)
