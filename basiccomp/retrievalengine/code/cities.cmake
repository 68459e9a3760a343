# Search-text folding: pure functions over constant tables, linked by the writers too.
nav_component(retrievalengine_searchfold STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/searchfold.cpp)

# The reserved search region, the city index files with their search cursors, and the city
# cursors over the city tables.
nav_component(retrievalengine_cities STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/reservedregion.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cityindexfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/namesearchcursor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/citysearchiterator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/indexcitycursor.cpp
  DEPENDS retrievalengine_searchfold six usefulcode_files tablefiles_interfaces tablefiles_datasets
  PRIVATE_DEPENDS platform_files platform_kernel usefulcode_text)

nav_test(retrievalengine_searchfold_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/searchfold_test.cpp
  DEPENDS retrievalengine_searchfold)

nav_test(retrievalengine_cities_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/reservedregion_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/citysearch_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/indexcitycursor_test.cpp
  DEPENDS retrievalengine_cities testdata_cityindex testdata_datasets)

nav_fuzz(retrievalengine_cities_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fuzz/cityindex_fuzz.cpp
  DEPENDS retrievalengine_cities testdata_cityindex)
