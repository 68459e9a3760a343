# Settings store: INI files with a process-wide cache of preloaded files, and the program's file
# locations (AppPaths), which the settings store uses to complete bare file names.
nav_component(usefulcode_settings STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/apppaths.cpp
    ${CMAKE_CURRENT_LIST_DIR}/iniprofile.cpp
  DEPENDS platform_files platform_shell platform_kernel)

nav_test(usefulcode_settings_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/apppaths_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/iniprofile_test.cpp
  DEPENDS usefulcode_settings testdata testdata_destinations)

nav_fuzz(iniprofile_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fuzz/iniprofile_fuzz.cpp
  DEPENDS usefulcode_settings testdata)
