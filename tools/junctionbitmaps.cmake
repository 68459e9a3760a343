# junctionbitmaps: draws the junction view's destination pictures; with our highway drawings they
# make <build>/demo/ConfigFiles/HiWayImages/.
if(NOT NAV_SANITIZE AND NOT NAV_FUZZ AND NOT NAV_TSAN)
  add_executable(junctionbitmaps ${CMAKE_CURRENT_LIST_DIR}/junctionbitmaps.cpp)
  target_compile_options(junctionbitmaps PRIVATE ${NAV_WARNINGS})
  target_link_libraries(junctionbitmaps PRIVATE platform_gdi testdata)

  set(images_dir ${CMAKE_BINARY_DIR}/demo/ConfigFiles/HiWayImages)
  file(GLOB drawings CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/junctionview/data/Bitmap*.txt)
  add_custom_command(
    OUTPUT ${images_dir}/DestFlag.bmp ${images_dir}/DestAppr.bmp
    COMMAND ${CMAKE_COMMAND} -E make_directory ${images_dir}
    COMMAND junctionbitmaps ${images_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${drawings} ${images_dir}
    DEPENDS junctionbitmaps ${drawings}
    COMMENT "Drawing the demo junction pictures"
    VERBATIM)
  add_custom_target(junctionview_demo_data ALL
                    DEPENDS ${images_dir}/DestFlag.bmp ${images_dir}/DestAppr.bmp)
endif()
