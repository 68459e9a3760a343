# The junction model's fuzz input: a scripted route and map in a few bytes.
nav_component(testdata_junctionmodel STEP 0
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/junctionmodelinput.cpp)
