# The rectangle around a position used by the road network's searches and by the retrieval
# engine (step 3, below the network itself).
nav_component(routing_georect STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/georectaround.cpp
  DEPENDS mapdisplay_geometry)
target_compile_options(routing_georect PRIVATE -Wfloat-conversion)

nav_test(routing_georect_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/georectaround_test.cpp
  DEPENDS routing_georect)
