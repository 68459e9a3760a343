# The trip logbook of the main window and its dialogs.
nav_component(app_logbook STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/startup/logbook.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/logbookdialog.cpp
  DEPENDS retrievalengine_engine positioning_types platform_kernel
  PRIVATE_DEPENDS ui_dialogs ui_skin tablefiles_housenumber usefulcode_geohelpers
                  usefulcode_settings platform_files platform_registry platform_shell
                  platform_window)

nav_test(app_logbook_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/startup/tests/logbook_test.cpp
  DEPENDS app_logbook ui_dialogs testdata testdata_town usefulcode_settings platform_files platform_registry
          platform_shell platform_window_testdriver)

nav_test(app_logbook_threaded_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/startup/tests/logbook_threaded_test.cpp
  DEPENDS app_logbook testdata)

nav_fuzz(logbook_replace_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/logbook_replace_fuzz.cpp
  DEPENDS app_logbook testdata platform_files)
