# Writers of the destination input's data: category files, destination records, list sections.
nav_component(testdata_destinations STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/destinationwriter.cpp
  PRIVATE_DEPENDS usefulcode_blowfish platform_kernel)
