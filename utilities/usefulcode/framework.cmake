# The window framework: message maps, the framework window class, window hooks, and the map
# control's scroll bars.
nav_component(usefulcode_framework STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fonthandle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapscrollbars.cpp
    ${CMAKE_CURRENT_LIST_DIR}/messagemap.cpp
    ${CMAKE_CURRENT_LIST_DIR}/windowhandle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/windowhooks.cpp
  DEPENDS usefulcode_signals platform_window PRIVATE_DEPENDS platform_gdi platform_shell)

nav_test(usefulcode_framework_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/fonthandle_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/messagemap_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/windowframework_test.cpp
  DEPENDS usefulcode_framework platform_gdi platform_window_testdriver)
