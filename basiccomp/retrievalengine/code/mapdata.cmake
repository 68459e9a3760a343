# Map data file (".rid"), its element walks and the geometry element classes.
nav_component(retrievalengine_mapdata STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/elementwalks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/geometryelement.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ridfile.cpp
  DEPENDS mapdisplay_engineservices usefulcode_cache
  PRIVATE_DEPENDS platform_kernel)

nav_test(retrievalengine_mapdata_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/ridfile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/elementwalks_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/geometryelement_test.cpp
  DEPENDS retrievalengine_mapdata tablefiles_names testdata_mapset testdata)

nav_fuzz(retrievalengine_mapdata_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fuzz/mapdata_fuzz.cpp
  DEPENDS retrievalengine_mapdata testdata_mapset testdata)
