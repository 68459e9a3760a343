# Writer of the TMC tables (event list, location tables, cookie rows) over the table-file and
# archive writers.
nav_component(testdata_tmctables STEP 2
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tmctableswriter.cpp
  DEPENDS testdata testdata_tablefiles)
