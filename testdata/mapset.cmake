# A cached file and an IFile over bytes in memory (step 1: they need only the block cache).
nav_component(testdata_memoryfile STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/memoryblockfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bytesfile.cpp
  DEPENDS usefulcode_cache)
nav_headers(testdata_memoryfile memorybytefile.h)

# Writer of map sets (".rid", ".dat", ".nam"). The map set includes a name file, so it builds at
# the table files' step.
nav_component(testdata_mapset STEP 2
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/mapsetwriter.cpp
  DEPENDS testdata testdata_tablefiles testdata_memoryfile mapdisplay_geometry
          mapdisplay_engineservices usefulcode_cache)

nav_test(testdata_mapset_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapsetwriter_test.cpp
  DEPENDS testdata_mapset)

# The town: a map set with its address index for the tests of streets, searches and routing.
nav_component(testdata_town STEP 2
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/townsketch.cpp
  DEPENDS testdata_mapset testdata_addressindex testdata mapdisplay_geometry)

# The draw town: a street grid on two levels with sheets and level file, for the map display.
nav_component(testdata_drawtown STEP 2
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/drawtown.cpp
  DEPENDS testdata_mapset testdata_addressindex testdata mapdisplay_geometry)
