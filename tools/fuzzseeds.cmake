# fuzzseeds: writes the seed inputs of the fuzz targets' committed corpora with the test-data
# writers (docs/testdata.md, "Fuzz corpora").
add_executable(fuzzseeds ${CMAKE_CURRENT_LIST_DIR}/fuzzseeds.cpp)
target_compile_options(fuzzseeds PRIVATE ${NAV_WARNINGS})
target_link_libraries(fuzzseeds PRIVATE testdata_tablefiles testdata_tmctables testdata_datasets testdata_mapset testdata_town
                                        testdata_cityindex testdata_roadnetwork testdata_addressindex testdata_destinations
                                        testdata_contacts
                                        testdata testdata_matcher testdata_matcherdrives testdata_emf testdata_junctionmodel platform_shell
                                        platform_window demoinstall_list)

# The sanitizer and fuzzing builds do not build the tool.
if(NOT NAV_SANITIZE AND NOT NAV_FUZZ AND NOT NAV_TSAN)
  add_test(NAME fuzzseeds.writes_the_committed_seeds_alike_every_run
           COMMAND ${CMAKE_COMMAND} -DFUZZSEEDS=$<TARGET_FILE:fuzzseeds>
                   -DSOURCE=${PROJECT_SOURCE_DIR} -DWORK=${CMAKE_CURRENT_BINARY_DIR}/fuzzseeds_test
                   -P ${CMAKE_CURRENT_LIST_DIR}/tests/fuzzseeds_test.cmake)
endif()
