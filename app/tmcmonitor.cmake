# The process-wide TMC state shown by the TMC indicators (step 9: the toolkit's indicators read
# it; it needs only the signals and the window layer).
nav_component(app_tmcmonitor STEP 9
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tmcmonitor.cpp
  DEPENDS usefulcode_signals platform_window)

nav_test(app_tmcmonitor_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/tmcmonitor_test.cpp
  DEPENDS app_tmcmonitor platform_window_testdriver)
