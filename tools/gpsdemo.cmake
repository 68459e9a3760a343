# gpsdemo: a route written as a GPS demonstration file and replayed through the GPS manager.
if(NOT (NAV_FUZZ AND NOT NAV_SANITIZE))
  add_library(gpsdemo_steps STATIC ${CMAKE_CURRENT_LIST_DIR}/gpsdemosteps.cpp)
  set_target_properties(gpsdemo_steps PROPERTIES NAV_STEP 6)
  target_compile_options(gpsdemo_steps PRIVATE ${NAV_WARNINGS})
  target_include_directories(gpsdemo_steps PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(gpsdemo_steps PUBLIC positioning_manager routing_service
                        PRIVATE retrievalengine_engine platform_files platform_kernel
                                platform_shell)
  add_executable(gpsdemo ${CMAKE_CURRENT_LIST_DIR}/gpsdemo.cpp)
  target_compile_options(gpsdemo PRIVATE ${NAV_WARNINGS})
  target_link_libraries(gpsdemo PRIVATE gpsdemo_steps platform_files platform_kernel)
  target_compile_definitions(gpsdemo PRIVATE NAV_DEMO_DATA="${CMAKE_BINARY_DIR}/demo")
  if(TARGET positioning_demo_data)
    add_dependencies(gpsdemo positioning_demo_data)
  endif()
endif()

nav_test(gpsdemo_test THREADED
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/gpsdemo_test.cpp
  DEPENDS gpsdemo_steps testdata testdata_roadnetwork testdata_worldmapset)
if(TARGET gpsdemo_test)
  target_compile_definitions(gpsdemo_test PRIVATE
                             NAV_DEZIV_INI="${PROJECT_SOURCE_DIR}/positioning/data/deziv.ini")
endif()
