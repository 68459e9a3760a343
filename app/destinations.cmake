# The destination records, the point-of-interest categories and the stored destination lists.
nav_component(app_destinations STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/destinations/uddrecord.cpp
  DEPENDS onboard_server retrievalengine_engine
  PRIVATE_DEPENDS platform_kernel)

nav_test(app_destinations_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/destinations/tests/uddrecord_test.cpp
  DEPENDS app_destinations testdata)

nav_fuzz(uddrecord_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/uddrecord_fuzz.cpp
  DEPENDS app_destinations testdata)
