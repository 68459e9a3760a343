# The crawler, geo-molecules and search cursors are part of retrievalengine_engine (engine.cmake):
# the engine makes molecules and cursors, and they read through the engine.
nav_test(retrievalengine_crawler_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/rtecrawler_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/crawlerhits_test.cpp
  DEPENDS retrievalengine_engine testdata_mapset testdata usefulcode_arena)

nav_test(retrievalengine_search_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/geomolecule_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/search_test.cpp
  DEPENDS retrievalengine_engine testdata_town testdata_mapset testdata usefulcode_arena
          usefulcode_geohelpers)

nav_fuzz(retrievalengine_search_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fuzz/search_fuzz.cpp
  DEPENDS retrievalengine_engine testdata_town testdata_memoryfile testdata)
