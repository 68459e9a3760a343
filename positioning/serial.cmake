# The serial GPS device: its port, line settings, read loop and port detection.
nav_component(positioning_serial STEP 6
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/comport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serialgpsdevice.cpp
  DEPENDS positioning_gps platform_serial usefulcode_signals usefulcode_framework
  PRIVATE_DEPENDS usefulcode_settings platform_files platform_kernel)

nav_test(positioning_serial_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/serialgpsdevice_test.cpp
  DEPENDS positioning_serial usefulcode_settings testdata)
if(TARGET positioning_serial_test)
  target_compile_definitions(positioning_serial_test
                             PRIVATE NAV_DEZIV_INI="${CMAKE_CURRENT_LIST_DIR}/data/deziv.ini")
endif()
