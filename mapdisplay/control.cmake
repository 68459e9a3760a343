# The map control window, its viewport and its transform.
nav_component(mapdisplay_control STEP 10
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/mapcontrol.cpp
    ${CMAKE_CURRENT_LIST_DIR}/maptransform.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapviewport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trackdrag.cpp
  DEPENDS mapdisplay_geometry usefulcode_framework usefulcode_signals platform_gdi
  PRIVATE_DEPENDS platform_shell)

nav_test(mapdisplay_control_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/maptransform_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapviewport_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapcontrol_test.cpp
  DEPENDS mapdisplay_control platform_window_testdriver)
