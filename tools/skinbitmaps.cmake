# skinbitmaps: draws the pictures every language bundle carries (the logo, the program's icon, the
# traffic list's icons and the skinned buttons' faces) into <build>/skin/ with "pictures.txt",
# the source lines that rescompile adds to each bundle.
if(TARGET platform_gdi)
  add_executable(skinbitmaps ${CMAKE_CURRENT_LIST_DIR}/skinbitmaps.cpp)
  target_compile_options(skinbitmaps PRIVATE ${NAV_WARNINGS})
  target_link_libraries(skinbitmaps PRIVATE platform_gdi testdata)

  set(NAV_SKIN_PICTURE_DIR ${CMAKE_BINARY_DIR}/skin)
  add_custom_command(
    OUTPUT ${NAV_SKIN_PICTURE_DIR}/pictures.txt
    COMMAND ${CMAKE_COMMAND} -E make_directory ${NAV_SKIN_PICTURE_DIR}
    COMMAND skinbitmaps ${NAV_SKIN_PICTURE_DIR}
    DEPENDS skinbitmaps
    COMMENT "Drawing the pictures of the language bundles"
    VERBATIM)
endif()
