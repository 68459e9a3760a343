# advisordrive: the advisor's demo drive across a data folder that osm2nav wrote.
if(NOT (NAV_FUZZ AND NOT NAV_SANITIZE))
  add_executable(advisordrive ${CMAKE_CURRENT_LIST_DIR}/advisordrive.cpp)
  target_compile_options(advisordrive PRIVATE ${NAV_WARNINGS})
  target_link_libraries(advisordrive PRIVATE advisor_core advisor_voice routing_service
                                             retrievalengine_engine testdata_drive platform_sound
                                             platform_files)
  target_compile_definitions(advisordrive PRIVATE NAV_DEMO_DATA="${CMAKE_BINARY_DIR}/demo")
  if(TARGET platform_sound_sdl)
    target_link_libraries(advisordrive PRIVATE platform_sound_sdl)
    target_compile_definitions(advisordrive PRIVATE NAV_WITH_SDL)
  endif()
endif()
