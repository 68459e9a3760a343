# The block cache: cached files (mapped, archived, plain) and their least-recently-used blocks.
nav_component(usefulcode_cache STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/cache/blockcache.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cache/blockfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cache/cachedfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cache/cachelrulist.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cache/mappedfile.cpp
  DEPENDS usefulcode_files usefulcode_arena usefulcode_signals six platform_files platform_kernel)

nav_test(usefulcode_cache_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/cache/tests/blockcache_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cache/tests/blockfile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cache/tests/cachelrulist_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cache/tests/mappedfile_test.cpp
  DEPENDS usefulcode_cache testdata)

# Without the archive library: a program of its own, since a loaded library stays loaded.
nav_test(usefulcode_sfslibrary_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/cache/tests/sfslibrary_test.cpp
  DEPENDS usefulcode_cache testdata)
