# Great-circle distance, shared by the retrieval engine, the route service, the advisor, the
# navigation server, the data tool and the application.
nav_component(usefulcode_geohelpers STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/greatcircledistance.cpp)
target_compile_options(usefulcode_geohelpers PRIVATE -Wfloat-conversion)

nav_test(usefulcode_geohelpers_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/greatcircledistance_test.cpp
  DEPENDS usefulcode_geohelpers)
