# The receiver supervision of the main window.
nav_component(app_receiver STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/startup/receiversupervisor.cpp
  DEPENDS onboard_server positioning_gps positioning_receiver usefulcode_framework six
  PRIVATE_DEPENDS ui_layout ui_tmcmonitor traffic_receiver usefulcode_settings platform_kernel
          platform_shell platform_window)

nav_test(app_receiver_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/startup/tests/receiversupervisor_test.cpp
  DEPENDS app_receiver app_logbook mapdisplay_facade ui_layout ui_tmcmonitor testdata_datafolder testdata
          usefulcode_settings platform_window_testdriver)
if(TARGET app_receiver_test)
  target_compile_definitions(app_receiver_test PRIVATE
                             NAV_ADVISOR_DATA_DIR="${PROJECT_SOURCE_DIR}/advisor/data"
                             NAV_DEZIV_INI="${PROJECT_SOURCE_DIR}/positioning/data/deziv.ini")
endif()
