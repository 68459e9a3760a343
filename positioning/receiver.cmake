# The adapter of the receiver library "gpstmc.dll": tuner, signals and the TMC and NMEA byte
# queues the reader threads drain.
nav_component(positioning_receiver STEP 6
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/gpstmcadapter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/detail/linequeue.cpp
  DEPENDS usefulcode_framework usefulcode_signals six platform_receiver
  PRIVATE_DEPENDS usefulcode_text platform_files platform_shell platform_window)

nav_test(positioning_receiver_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/gpstmcadapter_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/gpstmcadapter_threads_test.cpp
  DEPENDS positioning_receiver platform_window_testdriver testdata)
