# The route calculation on one level: progress and cancellation (step 4).
nav_component(routing_router STEP 4
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/progress.cpp
  DEPENDS routing_costs
  PRIVATE_DEPENDS platform_kernel)
target_compile_options(routing_router PRIVATE -Wfloat-conversion)

nav_test(routing_router_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/progress_test.cpp
  DEPENDS routing_router platform_kernel)
