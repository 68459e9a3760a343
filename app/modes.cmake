# A mode for the tests of the pages: answers from a script, records every call; a voice
# output that records what it is told; and the device the page tests run on.
nav_component(app_testing STEP 12
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/recordingmode.cpp
          ${CMAKE_CURRENT_LIST_DIR}/tests/recordingvoice.cpp
          ${CMAKE_CURRENT_LIST_DIR}/tests/pagedevice.cpp
  DEPENDS app_modes_types advisor_voice testdata ui_tmcmonitor usefulcode_framework
          platform_shell platform_window
  PRIVATE_DEPENDS usefulcode_settings platform_files platform_gdi platform_kernel)

nav_test(app_modes_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/modeinterface/tests/routeswitches_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/modes/tests/modes_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/modes/tests/modeshell_test.cpp
  DEPENDS app_modes_types retrievalengine_engine testdata_worldmapset testdata_roadnetwork
          testdata testdata_destinations app_modes app_testing app_destinations app_mappages app_tourlists
          app_settings testdata_datafolder ui_tmcmonitor ui_layout usefulcode_settings
          platform_window_testdriver app_startup testdata_programfolder)

# The three modes: the pages they own, their page switching and their route requests.
nav_component(app_modes STEP 12
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/modes/modecontrollerbase.cpp
          ${CMAKE_CURRENT_LIST_DIR}/modes/modes.cpp
          ${CMAKE_CURRENT_LIST_DIR}/modes/routerequests.cpp
  DEPENDS app_modes_types app_startup app_contacts usefulcode_framework
  PRIVATE_DEPENDS app_destinations app_mappages app_tourlists app_settings ui_dialogs ui_layout
                  ui_tmcmonitor ui_skin usefulcode_settings platform_shell platform_window)
nav_headers(app_modes modes/modecontrollerbase.h modes/modes.h)

if(TARGET app_modes_test)
  target_compile_definitions(app_modes_test
    PRIVATE NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini"
    NAV_LANGUAGES_DIR="${CMAKE_BINARY_DIR}/languages")
  nav_after_generated(app_modes_test language_bundles screen_descriptions)
endif()

# The traffic handler on another thread (also run under ThreadSanitizer).
nav_test(app_modes_threaded_test THREADED
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/modes/tests/modes_threaded_test.cpp
  DEPENDS app_modes app_testing app_destinations retrievalengine_engine testdata
          testdata_datafolder ui_layout usefulcode_settings platform_window_testdriver)
if(TARGET app_modes_threaded_test)
  target_compile_definitions(app_modes_threaded_test
    PRIVATE NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini")
endif()
