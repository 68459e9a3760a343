# Writer of the traffic overlay's parking tables and sign pictures over the table-file writer.
nav_component(testdata_parkingtables STEP 2
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/parkingtableswriter.cpp
  DEPENDS testdata testdata_tablefiles)
