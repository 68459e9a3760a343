# Field table files (".fsx"): variable-length records sorted by key.
nav_component(retrievalengine_fsx STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fsxtable.cpp
  DEPENDS tablefiles_fsr usefulcode_cache usefulcode_files)

nav_test(retrievalengine_fsx_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/fsxtable_test.cpp
  DEPENDS retrievalengine_fsx testdata_tablefiles testdata_memoryfile)

nav_fuzz(retrievalengine_fsx_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fuzz/fsxtable_fuzz.cpp
  DEPENDS retrievalengine_fsx testdata_tablefiles testdata_memoryfile)
