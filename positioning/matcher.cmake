# The map matcher's state, street graph and candidate evaluation, its settings and state file.
nav_component(positioning_matcher STEP 6
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/streetgraph.cpp
    ${CMAKE_CURRENT_LIST_DIR}/matchersettings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/matcherstate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapmatcher.cpp
    ${CMAKE_CURRENT_LIST_DIR}/matcherfiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/candidates.cpp
    ${CMAKE_CURRENT_LIST_DIR}/candidatescoring.cpp
  DEPENDS retrievalengine_interfaces six mapdisplay_geometry
  PRIVATE_DEPENDS positioning_geodesy retrievalengine_engine usefulcode_text usefulcode_files
                  usefulcode_settings platform_kernel)

nav_test(positioning_matcher_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/streetgraph_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/candidatefetch_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/candidates_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/matcherfiles_test.cpp
  DEPENDS positioning_matcher retrievalengine_engine testdata_matcher testdata)
if(TARGET positioning_matcher_test)
  target_include_directories(positioning_matcher_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
endif()

nav_fuzz(positioning_matcherstate_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/matcherstate_fuzz.cpp
  DEPENDS positioning_matcher)
