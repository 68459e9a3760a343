# Simulated drives as GpsFix batches (step 3: the fix is the position pipeline's record).
nav_component(testdata_gpsfixes STEP 3
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gpsfixbatches.cpp
  DEPENDS testdata positioning_types)
