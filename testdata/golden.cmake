# Golden pictures: exact comparison of drawn pixels with committed PNGs.
find_package(PNG REQUIRED)
nav_component(testdata_golden STEP 0
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/golden.cpp
  DEPENDS platform_gdi GTest::gtest
  PRIVATE_DEPENDS PNG::PNG)
