# Route options: the exchanged block and the router's block with its speed table (step 4).
nav_component(routing_options STEP 4
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/routeoptions.cpp)
target_compile_options(routing_options PRIVATE -Wfloat-conversion)

nav_test(routing_options_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/routeoptions_test.cpp
  DEPENDS routing_options)
