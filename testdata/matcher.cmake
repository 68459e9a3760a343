# Test data of the map matcher: its state file and the street sketches of its tests.
nav_component(testdata_matcher STEP 2
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/matcherstatewriter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/matchersketches.cpp
  DEPENDS testdata testdata_mapset mapdisplay_geometry)

# Drives over the matcher's sketches as GpsFix batches (step 3: the fix is the pipeline's record).
nav_component(testdata_matcherdrives STEP 3
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/matcherdrives.cpp
  DEPENDS testdata_matcher testdata_gpsfixes testdata mapdisplay_geometry)
