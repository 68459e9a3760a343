# mapshot: one frame of a data folder's map drawn by the map canvas on the headless screen.
if(NOT (NAV_FUZZ AND NOT NAV_SANITIZE))
  add_executable(mapshot ${CMAKE_CURRENT_LIST_DIR}/mapshot.cpp)
  target_compile_options(mapshot PRIVATE ${NAV_WARNINGS})
  target_link_libraries(mapshot PRIVATE mapdisplay_facade platform_files platform_gdi
                                        platform_window)
endif()
