# Writer of the city index files (".idx"). It folds names as the search does, so it builds at
# the retrieval engine's step.
nav_component(testdata_cityindex STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/cityindexwriter.cpp
  DEPENDS testdata retrievalengine_searchfold usefulcode_files)

nav_test(testdata_cityindex_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/cityindexwriter_test.cpp
  DEPENDS testdata_cityindex)
