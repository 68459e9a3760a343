# Signals and slots: the system's lock, event sources and their connections.
nav_component(usefulcode_signals STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/critsect.cpp
    ${CMAKE_CURRENT_LIST_DIR}/eventhandler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/eventsource.cpp
    ${CMAKE_CURRENT_LIST_DIR}/eventsourcebody.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ownerhandlerlist.cpp
  DEPENDS six platform_kernel)

nav_test(usefulcode_signals_test THREADED
  SOURCES
    ${PROJECT_SOURCE_DIR}/six/tests/allocationprobe.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/critsect_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/eventsource_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/eventsource_threads_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ownerhandlerlist_test.cpp
  DEPENDS usefulcode_signals)
