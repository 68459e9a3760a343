# Style sheets: read and written, drawn by the painter.
nav_component(mapdisplay_style STEP 10
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/mapstylefile.cpp
  DEPENDS usefulcode_files
  PRIVATE_DEPENDS platform_gdi platform_kernel)

nav_test(mapdisplay_style_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapstylefile_test.cpp
  DEPENDS mapdisplay_style testdata platform_kernel)

nav_fuzz(mapstylefile_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/mapstylefile_fuzz.cpp
  DEPENDS mapdisplay_style testdata)
