# Timer queue: one-shot timers fired on a waiter thread.
nav_component(usefulcode_timers STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/timerqueue.cpp
  DEPENDS platform_kernel)

nav_test(usefulcode_timers_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/timerqueue_test.cpp
  DEPENDS usefulcode_timers)
