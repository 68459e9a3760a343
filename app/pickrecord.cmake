# The process-wide pick record that a map view fills and the pages read (step 10, with the map
# view).
nav_component(app_pickrecord STEP 10
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pickrecord.cpp
  DEPENDS mapdisplay_geometry)

nav_test(app_pickrecord_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/pickrecord_test.cpp
  DEPENDS app_pickrecord)
