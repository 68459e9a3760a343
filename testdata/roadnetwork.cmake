# The world model (a grid sketch's nodes and roads with their network attributes) and the
# writer of road networks (".rd", page, index and position files, id tables, archives). They
# share the map-set writer's sketch, so they build at its step.
nav_component(testdata_roadnetwork STEP 2
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/randomworld.cpp
    ${CMAKE_CURRENT_LIST_DIR}/roadworld.cpp
    ${CMAKE_CURRENT_LIST_DIR}/roadnetworkwriter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/worlddescription.cpp
  DEPENDS testdata_mapset testdata_tablefiles testdata mapdisplay_geometry)

nav_test(testdata_roadnetwork_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/worlddescription_test.cpp
  DEPENDS testdata_roadnetwork)
