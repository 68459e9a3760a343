# The destination records, the point-of-interest categories and the stored destination lists.
nav_component(app_destinations STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/destinations/addresscombos.cpp
    ${CMAKE_CURRENT_LIST_DIR}/destinations/addresspage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/destinations/destinationareas.cpp
    ${CMAKE_CURRENT_LIST_DIR}/destinations/destinationinputpage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/destinations/poicategory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/destinations/storeddestinationlist.cpp
    ${CMAKE_CURRENT_LIST_DIR}/destinations/uddrecord.cpp
  DEPENDS app_modes_types onboard_server retrievalengine_engine ui_layout platform_kernel
  PRIVATE_DEPENDS usefulcode_files ui_lists ui_dialogs ui_tmcmonitor usefulcode_blowfish usefulcode_settings
                  usefulcode_framework platform_files platform_shell platform_gdi platform_window)

nav_test(app_destinations_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/destinations/tests/addresscombos_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/destinations/tests/addresspage_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/destinations/tests/destinationinputpage_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/destinations/tests/poicategory_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/destinations/tests/storeddestinationlist_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/destinations/tests/uddrecord_test.cpp
  DEPENDS app_destinations app_testing testdata testdata_golden testdata_destinations testdata_datafolder usefulcode_settings
          platform_window_testdriver)
if(TARGET app_destinations_test)
  # The category files tools/poicat.cmake writes.
  add_dependencies(app_destinations_test poi_categories language_bundles)
  target_compile_definitions(app_destinations_test
    PRIVATE NAV_POI_CATEGORY_DIR="${CMAKE_BINARY_DIR}/languages"
    NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini"
    NAV_APP_DESTINATIONS_DIR="${CMAKE_CURRENT_LIST_DIR}/destinations")
endif()

nav_fuzz(uddrecord_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/uddrecord_fuzz.cpp
  DEPENDS app_destinations testdata)

nav_fuzz(poicategory_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/poicategory_fuzz.cpp
  DEPENDS app_destinations testdata_destinations)

nav_fuzz(storedlist_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/storedlist_fuzz.cpp
  DEPENDS app_destinations testdata)
