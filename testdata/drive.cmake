# Simulated drives along calculated routes (step 4: they walk the route iterator).
nav_component(testdata_drive STEP 4
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/simulateddrive.cpp
  DEPENDS testdata_worldmapset routing_iterator positioning_types
  PRIVATE_DEPENDS positioning_geodesy)
