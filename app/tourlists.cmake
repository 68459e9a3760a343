# The tour list page and its store, the route list page, and the map list dialog (installed as the main menu's map
# list).
nav_component(app_tourlists STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pages/maplistdlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pages/routelist.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pages/tourlist.cpp
  DEPENDS app_startup app_destinations app_modes_types onboard_server ui_layout ui_lists
  PRIVATE_DEPENDS positioning_receiver ui_dialogs ui_tmcmonitor usefulcode_settings usefulcode_framework platform_gdi platform_window)

if(TARGET navigator)
  target_link_libraries(navigator PRIVATE app_tourlists)
endif()

nav_test(app_tourlists_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pages/tests/maplistdlg_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pages/tests/routelist_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pages/tests/tourlist_test.cpp
  DEPENDS app_tourlists app_testing testdata testdata_datafolder testdata_destinations
          usefulcode_settings platform_window_testdriver)
if(TARGET app_tourlists_test)
  target_compile_definitions(app_tourlists_test
    PRIVATE NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini"
    NAV_LANGUAGES_DIR="${CMAKE_BINARY_DIR}/languages")
  nav_after_generated(app_tourlists_test language_bundles)
endif()
