# The page layout of the demo install: resources/screens/screendesc.ini copied to the six
# "ScreenDesc<Lang>CE.dat" beside the language bundles in <build>/languages/.
if(NOT NAV_SANITIZE AND NOT NAV_FUZZ AND NOT NAV_TSAN)
  set(screendesc_source ${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini)
  set(screendesc_dir ${CMAKE_BINARY_DIR}/languages)
  set(screendescs "")
  foreach(language Ger Eng Fre Spa Ita Dut)
    set(screendesc ${screendesc_dir}/ScreenDesc${language}CE.dat)
    add_custom_command(
      OUTPUT ${screendesc}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${screendesc_dir}
      COMMAND ${CMAKE_COMMAND} -E copy ${screendesc_source} ${screendesc}
      DEPENDS ${screendesc_source}
      COMMENT "Copying the page layout to ScreenDesc${language}CE.dat"
      VERBATIM)
    list(APPEND screendescs ${screendesc})
  endforeach()
  add_custom_target(screen_descriptions ALL DEPENDS ${screendescs})
endif()
