# The TMC message dialog and the list dialog.
nav_component(app_tmc STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tmc/statustmcinfo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tmc/tmclinegroups.cpp
  DEPENDS ui_layout ui_tmcmonitor ui_lists usefulcode_framework
  PRIVATE_DEPENDS platform_gdi platform_shell platform_window)

nav_test(app_tmc_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tmc/tests/statustmcinfo_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tmc/tests/tmclinegroups_test.cpp
  DEPENDS app_tmc ui_skin testdata testdata_golden platform_window_testdriver)
if(TARGET app_tmc_test)
  target_compile_definitions(app_tmc_test PRIVATE NAV_APP_TMC_DIR="${CMAKE_CURRENT_LIST_DIR}/tmc"
    NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini"
    NAV_SKIN_PICTURE_DIR="${CMAKE_BINARY_DIR}/skin")
  add_dependencies(app_tmc_test language_bundles)
endif()

nav_fuzz(tmc_list_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/tmc_list_fuzz.cpp
  DEPENDS app_tmc ui_tmcmonitor testdata)
