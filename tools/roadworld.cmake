# roadworld: writes a map set and road network from a world description (tools/data/*.world).
add_executable(roadworld ${CMAKE_CURRENT_LIST_DIR}/roadworld.cpp)
target_compile_options(roadworld PRIVATE ${NAV_WARNINGS})
target_link_libraries(roadworld PRIVATE testdata_roadnetwork)

if(NOT (NAV_FUZZ AND NOT NAV_SANITIZE))
  add_test(NAME roadworld.writes_the_demo_world
           COMMAND roadworld ${CMAKE_CURRENT_LIST_DIR}/data/demo.world
                   ${CMAKE_CURRENT_BINARY_DIR}/roadworld_test)
endif()
