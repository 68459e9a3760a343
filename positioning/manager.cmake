# The GPS manager (device and worker threads) and the NMEA demo writer.
nav_component(positioning_manager STEP 6
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/gpsmanager.cpp
    ${CMAKE_CURRENT_LIST_DIR}/nmeademowriter.cpp
  DEPENDS positioning_gps positioning_serial positioning_matcher routing_service
          usefulcode_signals six
  PRIVATE_DEPENDS positioning_geodesy usefulcode_settings platform_files platform_kernel)

nav_test(positioning_manager_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/gpsmanager_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/nmeademowriter_test.cpp
  DEPENDS positioning_manager retrievalengine_engine testdata testdata_roadnetwork
          testdata_worldmapset usefulcode_settings platform_files platform_kernel)
if(TARGET positioning_manager_test)
  target_compile_definitions(positioning_manager_test
                             PRIVATE NAV_DEZIV_INI="${CMAKE_CURRENT_LIST_DIR}/data/deziv.ini")
endif()
