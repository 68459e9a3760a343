# The German scenario (resources/scenarios/german.txt) played headless by the navigator program
# on the demo install around the converted extract, its checks by step; also under the
# sanitizers and, for its drive and re-route, ThreadSanitizer. The out folder is kept in
# <build>/tools/scenario-german as the run's artefacts.
if(TARGET demoinstall AND TARGET navigator)
  nav_extract_test(osmscenario_test THREADED ONE_PROCESS ExtractScenario
    DEPENDS demoinstall osm2nav_convert retrievalengine_engine testdata testdata_golden
      platform_kernel)
  if(TARGET osmscenario_test)
    nav_demo_data(osmscenario_test)
    # The program's end when its ssh session goes, through a real ssh server and X server.
    if(TARGET testdata_xsession)
      target_link_libraries(osmscenario_test PRIVATE testdata_xsession)
      target_compile_definitions(osmscenario_test PRIVATE NAV_HAS_XSESSION)
    endif()
    target_compile_definitions(osmscenario_test PRIVATE
      NAV_LANGUAGES_DIR="${CMAKE_BINARY_DIR}/languages"
      NAV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
      NAV_SCENARIO_OUT="${CMAKE_CURRENT_BINARY_DIR}/scenario-german"
      NAV_NAVIGATOR_PROGRAM="$<TARGET_FILE:navigator>")
    # The whole script is also played in the SDL2 window at 20 times real time (about 45 s).
    nav_timeout(timeout 300)
    set_tests_properties(ExtractScenario PROPERTIES TIMEOUT ${timeout})
    nav_after_generated(osmscenario_test navigator advisor_demo_data junctionview_demo_data
                        language_bundles poi_categories skin_pictures)
  endif()
endif()
