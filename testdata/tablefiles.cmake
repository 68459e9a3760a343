# Writers of table files (".fsr"), field table files (".fsx") and name files (".nam"). They sort
# records with the readers' own key order, so they build at the table files' step.
nav_component(testdata_tablefiles STEP 2
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tablefilewriter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fieldtablefilewriter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/namefilewriter.cpp
  DEPENDS testdata tablefiles_collation)

nav_test(testdata_tablefiles_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/tablefilewriters_test.cpp
  DEPENDS testdata_tablefiles)
