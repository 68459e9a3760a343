# skinbitmaps: draws the pictures every language bundle carries (the logo, the program's icon, the
# traffic list's icons and the skinned buttons' faces) into <build>/skin/ with "pictures.txt",
# the source lines that rescompile adds to each bundle; and the program's own skin files, the
# splash, the main menu's background and the background of each dialog whose section of the page
# layout names a "Bitmap" (drawn from that section), into the skin folder of the program's files,
# <build>/languages/Bitmaps/ (the target skin_pictures).
if(TARGET platform_gdi)
  add_executable(skinbitmaps ${CMAKE_CURRENT_LIST_DIR}/skinbitmaps.cpp)
  target_compile_options(skinbitmaps PRIVATE ${NAV_WARNINGS})
  target_link_libraries(skinbitmaps PRIVATE platform_gdi testdata usefulcode_locations
                                            usefulcode_settings platform_kernel)

  set(NAV_SKIN_PICTURE_DIR ${CMAKE_BINARY_DIR}/skin)
  set(NAV_PROGRAM_SKIN_DIR ${CMAKE_BINARY_DIR}/languages/Bitmaps)
  set(program_skin_pictures ${NAV_PROGRAM_SKIN_DIR}/Splash.bmp
                            ${NAV_PROGRAM_SKIN_DIR}/Background.bmp)
  # The dialog backgrounds the layout names: a change of its "Bitmap" lines configures anew.
  set(skin_layout ${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${skin_layout})
  file(STRINGS ${skin_layout} dialog_backgrounds REGEX "^Bitmap=")
  foreach(line IN LISTS dialog_backgrounds)
    string(REGEX REPLACE "^Bitmap=([^\r]*)\r?$" "\\1" name "${line}")
    list(APPEND program_skin_pictures ${NAV_PROGRAM_SKIN_DIR}/${name})
  endforeach()
  add_custom_command(
    OUTPUT ${NAV_SKIN_PICTURE_DIR}/pictures.txt ${program_skin_pictures}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${NAV_SKIN_PICTURE_DIR}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${NAV_PROGRAM_SKIN_DIR}
    COMMAND skinbitmaps ${NAV_SKIN_PICTURE_DIR} ${NAV_PROGRAM_SKIN_DIR} --layout ${skin_layout}
    DEPENDS skinbitmaps ${skin_layout}
    COMMENT "Drawing the pictures of the language bundles and the program's skin"
    VERBATIM)
  add_custom_target(skin_pictures ALL DEPENDS ${program_skin_pictures})
  # The application's targets are configured before the tools: they get the program's files
  # (the bundles and page layouts of rescompile.cmake and screendescs.cmake too) here.
  foreach(user navigator app_startup_test app_startup_threaded_test app_startup_visible_test
               install_checks_test)
    foreach(files skin_pictures language_bundles screen_descriptions)
      if(TARGET ${user} AND TARGET ${files})
        add_dependencies(${user} ${files})
      endif()
    endforeach()
  endforeach()
endif()
