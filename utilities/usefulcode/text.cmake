# Distance texts and small shared utilities: title case, waits, scaled geometry, time stamps.
nav_component(usefulcode_text STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/distancetext.cpp
    ${CMAKE_CURRENT_LIST_DIR}/handlewait.cpp
    ${CMAKE_CURRENT_LIST_DIR}/segmentgeometry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/timestamp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/widetext.cpp
  DEPENDS mapdisplay_geometry platform_kernel)

nav_test(usefulcode_text_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/distancetext_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/handlewait_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/segmentgeometry_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/timestamp_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/widetext_test.cpp
  DEPENDS usefulcode_text)
