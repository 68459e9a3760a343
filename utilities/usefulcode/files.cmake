# The byte-file interface with its loose and archived files, the archive mounts, and the message
# of a data file that cannot be read.
nav_component(usefulcode_files STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/filecheck.cpp
    ${CMAKE_CURRENT_LIST_DIR}/handlefile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cache/sfsfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cache/sfslibrary.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cache/sfsmountset.cpp
  DEPENDS platform_files platform_sfs platform_kernel PRIVATE_DEPENDS platform_shell)

nav_test(usefulcode_files_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/filecheck_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/handlefile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cache/tests/sfsfile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cache/tests/sfsmountset_test.cpp
  DEPENDS usefulcode_files testdata)

# The road network's byte files: loose, stdio, whole-file memory and archived.
nav_component(usefulcode_rawfile STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/memoryfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rawfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sfsarchivefile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/stdiofile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32file.cpp
  DEPENDS platform_files platform_sfs platform_kernel)

nav_test(usefulcode_rawfile_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/memoryfile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/sfsarchivefile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/stdiofile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/win32file_test.cpp
  DEPENDS usefulcode_rawfile usefulcode_files testdata)
