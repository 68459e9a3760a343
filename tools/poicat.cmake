# poicat: turns the readable category sources (resources/poi/*.txt) into the enciphered
# "Poi<Lang>.bin" files; the target poi_categories writes the six of them beside the language
# bundles in <build>/languages/.
if(TARGET testdata_destinations)
  add_executable(poicat ${CMAKE_CURRENT_LIST_DIR}/poicat.cpp)
  target_compile_options(poicat PRIVATE ${NAV_WARNINGS})
  target_link_libraries(poicat PRIVATE testdata_destinations platform_kernel)

  set(NAV_POI_CATEGORY_DIR ${CMAKE_BINARY_DIR}/languages)
  set(poi_category_files "")
  foreach(language Ger Eng Fre Spa Ita Dut)
    string(TOLOWER ${language} source_name)
    set(source ${PROJECT_SOURCE_DIR}/resources/poi/${source_name}.txt)
    set(output ${NAV_POI_CATEGORY_DIR}/Poi${language}.bin)
    add_custom_command(
      OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${NAV_POI_CATEGORY_DIR}
      COMMAND poicat ${source} ${output}
      DEPENDS poicat ${source}
      COMMENT "Enciphering the category file Poi${language}.bin"
      VERBATIM)
    list(APPEND poi_category_files ${output})
  endforeach()
  add_custom_target(poi_categories ALL DEPENDS ${poi_category_files})

  # The tool refuses a bad source with an error and writes nothing.
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/poicat_bad.txt "Fuel\t5001\n")
  add_test(NAME poicat.refuses_bad_source
           COMMAND poicat ${CMAKE_CURRENT_BINARY_DIR}/poicat_bad.txt
                   ${CMAKE_CURRENT_BINARY_DIR}/poicat_bad.bin)
  set_tests_properties(poicat.refuses_bad_source PROPERTIES
    PASS_REGULAR_EXPRESSION "poicat_bad.txt: line 1: expected text, lower and upper type")
endif()
