# Data location: the data folder, the search for data folders, the open-file prompt and the
# screen-description values.
nav_component(usefulcode_locations STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/datalocation.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directorywalker.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fileopendialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/screendesc.cpp
  DEPENDS usefulcode_settings six platform_shell platform_files)

nav_test(usefulcode_locations_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/datalocation_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/directorywalker_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/screendesc_test.cpp
  DEPENDS usefulcode_locations testdata)
