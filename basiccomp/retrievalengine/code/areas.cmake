# The area hierarchy of an address index: the area tree file and the list files.
nav_component(retrievalengine_areas STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/areatree.cpp
    ${CMAKE_CURRENT_LIST_DIR}/arealistfile.cpp
  DEPENDS retrievalengine_cities tablefiles_fsr usefulcode_cache usefulcode_files
          mapdisplay_geometry
  PRIVATE_DEPENDS platform_kernel)

nav_test(retrievalengine_areas_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/areatree_test.cpp
  DEPENDS retrievalengine_areas testdata testdata_memoryfile)

nav_fuzz(retrievalengine_areatree_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fuzz/areatree_fuzz.cpp
  DEPENDS retrievalengine_areas testdata testdata_memoryfile)

nav_fuzz(retrievalengine_arealist_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fuzz/arealist_fuzz.cpp
  DEPENDS retrievalengine_areas testdata testdata_memoryfile)
