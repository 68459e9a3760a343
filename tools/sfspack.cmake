# sfspack: packs files into an ".sfs" archive and lists archives, with the test-data writer.
add_executable(sfspack ${CMAKE_CURRENT_LIST_DIR}/sfspack.cpp)
target_compile_options(sfspack PRIVATE ${NAV_WARNINGS})
target_link_libraries(sfspack PRIVATE testdata)

if(NOT (NAV_FUZZ AND NOT NAV_SANITIZE))
  add_test(NAME sfspack.packs_and_lists
           COMMAND ${CMAKE_COMMAND} -DSFSPACK=$<TARGET_FILE:sfspack>
                   -DWORK=${CMAKE_CURRENT_BINARY_DIR}/sfspack_test
                   -P ${CMAKE_CURRENT_LIST_DIR}/tests/sfspack_test.cmake)
endif()
