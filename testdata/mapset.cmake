# Writer of map sets (".rid", ".dat", ".nam") and a cached file over bytes in memory. The map
# set includes a name file, so it builds at the table files' step.
nav_component(testdata_mapset STEP 2
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/mapsetwriter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/memoryblockfile.cpp
  DEPENDS testdata testdata_tablefiles mapdisplay_geometry usefulcode_cache)

nav_test(testdata_mapset_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapsetwriter_test.cpp
  DEPENDS testdata_mapset)
