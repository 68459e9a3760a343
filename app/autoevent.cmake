# The thread holder with its auto-reset event, used by the voice output and by the application's
# worker threads (step 1: it needs only the platform layer).
nav_component(app_autoevent STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/autoevent.cpp
  DEPENDS platform_kernel)

nav_test(app_autoevent_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/autoevent_test.cpp
  DEPENDS app_autoevent)
