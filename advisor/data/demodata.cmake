# The demo advisor data: "Advisor.sfs" packed from ConfigFiles/, and one voice archive
# "<language>_waves.sfs" per language spoken by espeak-ng from the voice script, all under
# <build>/demo/. Not needed by the tests.
find_program(NAV_ESPEAK espeak-ng)
if(NOT (NAV_FUZZ AND NOT NAV_SANITIZE))
  set(demo_dir ${CMAKE_BINARY_DIR}/demo)
  set(config_dir ${CMAKE_CURRENT_LIST_DIR}/ConfigFiles)
  file(GLOB config_files CONFIGURE_DEPENDS ${config_dir}/*)
  set(demo_outputs ${demo_dir}/ConfigFiles/Advisor.sfs)
  add_custom_command(
    OUTPUT ${demo_dir}/ConfigFiles/Advisor.sfs
    COMMAND ${CMAKE_COMMAND} -E make_directory ${demo_dir}/ConfigFiles
    COMMAND sfspack ${demo_dir}/ConfigFiles/Advisor.sfs ${config_dir}
    # The encoding table is read only as a plain file.
    COMMAND ${CMAKE_COMMAND} -E copy ${config_dir}/encode.properties ${demo_dir}/ConfigFiles/
    DEPENDS sfspack ${config_files}
    COMMENT "Packing the demo Advisor.sfs"
    VERBATIM)
  if(NAV_ESPEAK)
    set(column 1)
    foreach(pair german:de english:en french:fr spanish:es italian:it dutch:nl)
      string(REPLACE ":" ";" pair ${pair})
      list(GET pair 0 language)
      list(GET pair 1 voice)
      set(archive ${demo_dir}/sound/${language}_waves.sfs)
      add_custom_command(
        OUTPUT ${archive}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${demo_dir}/sound
        COMMAND ${CMAKE_COMMAND} -DVOICES=${CMAKE_CURRENT_LIST_DIR}/voices.csv -DCOLUMN=${column}
                -DVOICE=${voice} -DESPEAK=${NAV_ESPEAK} -DSFSPACK=$<TARGET_FILE:sfspack>
                -DWORK=${CMAKE_CURRENT_BINARY_DIR}/voices_${language} -DOUT=${archive}
                -P ${CMAKE_CURRENT_LIST_DIR}/makevoices.cmake
        DEPENDS sfspack ${CMAKE_CURRENT_LIST_DIR}/voices.csv
                ${CMAKE_CURRENT_LIST_DIR}/makevoices.cmake
        COMMENT "Speaking the ${language} voice archive"
        VERBATIM)
      list(APPEND demo_outputs ${archive})
      math(EXPR column "${column} + 1")
    endforeach()
  else()
    message(WARNING "espeak-ng not found: the demo voice archives are not built")
  endif()
  add_custom_target(advisor_demo_data ALL DEPENDS ${demo_outputs})
endif()
