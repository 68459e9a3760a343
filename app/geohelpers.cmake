# Great-circle distance, the shared helper of the application that the retrieval engine, the
# route service and the navigation server also use (step 3, for the engine).
nav_component(app_geohelpers STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/greatcircledistance.cpp)
target_compile_options(app_geohelpers PRIVATE -Wfloat-conversion)

nav_test(app_geohelpers_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/greatcircledistance_test.cpp
  DEPENDS app_geohelpers)
