# The retrieval engine over one map set: map sets opened and closed, elements, element cursors,
# the crawler, geo-molecules and the search cursors.
nav_component(retrievalengine_engine STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/addressindex.cpp
    ${CMAKE_CURRENT_LIST_DIR}/crawlerhits.cpp
    ${CMAKE_CURRENT_LIST_DIR}/elementcursor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/geomolecule.cpp
    ${CMAKE_CURRENT_LIST_DIR}/geomoleculecursor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rtecrawler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/leveltextfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapelement.cpp
    ${CMAKE_CURRENT_LIST_DIR}/retrievalengineimpl.cpp
  DEPENDS retrievalengine_interfaces retrievalengine_mapdata retrievalengine_areas retrievalengine_signs
          retrievalengine_fsx tablefiles_names
          tablefiles_datasets
          tablefiles_housenumber usefulcode_cache
  PRIVATE_DEPENDS usefulcode_locations usefulcode_text platform_files platform_kernel usefulcode_geohelpers
                  retrievalengine_searchfold retrievalengine_polyline tablefiles_collation)

nav_test(retrievalengine_engine_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/engine_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapelement_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/leveltextfile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/engine_threads_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/addressindex_test.cpp
  DEPENDS retrievalengine_engine testdata_mapset testdata testdata_addressindex
          testdata_cityindex testdata_datasets usefulcode_arena
          usefulcode_signals)

nav_fuzz(retrievalengine_leveltextfile_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fuzz/leveltextfile_fuzz.cpp
  DEPENDS retrievalengine_engine)
