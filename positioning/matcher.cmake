# The map matcher: its state, street graph, candidate evaluation, path follower and update
# pipeline, the thread-safe front, its settings and state file.
nav_component(positioning_matcher STEP 6
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/streetgraph.cpp
    ${CMAKE_CURRENT_LIST_DIR}/matchersettings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/matcherstate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapmatcher.cpp
    ${CMAKE_CURRENT_LIST_DIR}/matcherfiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/candidates.cpp
    ${CMAKE_CURRENT_LIST_DIR}/candidatescoring.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pathfollower.cpp
    ${CMAKE_CURRENT_LIST_DIR}/matcherupdate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapmatcherfront.cpp
  DEPENDS retrievalengine_interfaces six mapdisplay_geometry positioning_types routing_iterator
          usefulcode_signals
  PRIVATE_DEPENDS positioning_geodesy retrievalengine_engine usefulcode_text usefulcode_files
                  usefulcode_settings platform_kernel)

nav_test(positioning_matcher_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/streetgraph_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/candidatefetch_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/candidates_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/matcherfiles_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/matcherdrive_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/mapmatcher_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/pathfollower_test.cpp
  DEPENDS positioning_matcher retrievalengine_engine testdata_matcher testdata_matcherdrives
          testdata platform_kernel)
if(TARGET positioning_matcher_test)
  target_include_directories(positioning_matcher_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
endif()

nav_fuzz(positioning_matcherstate_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/matcherstate_fuzz.cpp
  DEPENDS positioning_matcher)

nav_test(positioning_matcherfront_test THREADED
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/matcherfront_threads_test.cpp
  DEPENDS positioning_matcher retrievalengine_engine testdata_matcher testdata_matcherdrives
          testdata)
if(TARGET positioning_matcherfront_test)
  target_include_directories(positioning_matcherfront_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
endif()

nav_fuzz(positioning_matcherupdate_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/matcherupdate_fuzz.cpp
  DEPENDS positioning_matcher retrievalengine_engine testdata_matcherdrives testdata platform_kernel)
