# Writer of a map set's address index tables (step 2: table files).
nav_component(testdata_addressindex STEP 2
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/addressindexwriter.cpp
  DEPENDS testdata testdata_tablefiles)
