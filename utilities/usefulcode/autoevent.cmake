# The thread holder with its auto-reset event, used by the voice output and by the application's
# worker threads.
nav_component(usefulcode_autoevent STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/autoevent.cpp
  DEPENDS platform_kernel)

nav_test(usefulcode_autoevent_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/autoevent_test.cpp
  DEPENDS usefulcode_autoevent)
