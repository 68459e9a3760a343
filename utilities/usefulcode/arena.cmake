# The memory arena of the block buffers.
nav_component(usefulcode_arena STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/memoryarena.cpp
  DEPENDS six platform_files platform_kernel)

nav_test(usefulcode_arena_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/memoryarena_test.cpp
  DEPENDS usefulcode_arena)
