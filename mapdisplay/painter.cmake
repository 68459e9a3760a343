# The painter: style sheets as GDI objects, map elements drawn with them, the paint around them.
nav_component(mapdisplay_painter STEP 10
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/mapstyle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/painter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/paintsession.cpp
    ${CMAKE_CURRENT_LIST_DIR}/enginenamereader.cpp
  DEPENDS mapdisplay_style mapdisplay_labels mapdisplay_control retrievalengine_engine
  PRIVATE_DEPENDS platform_gdi platform_kernel)

nav_test(mapdisplay_painter_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/painter_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/painterframe_test.cpp
  DEPENDS mapdisplay_painter testdata testdata_golden testdata_mapset platform_kernel)
if(TARGET mapdisplay_painter_test)
  target_compile_definitions(mapdisplay_painter_test PRIVATE
                             NAV_MAPDISPLAY_DIR="${CMAKE_CURRENT_LIST_DIR}")
endif()

# The style-stream fuzz target also turns each accepted sheet into a painter style.
if(TARGET mapstylefile_fuzz)
  target_link_libraries(mapstylefile_fuzz PRIVATE mapdisplay_painter)
endif()
