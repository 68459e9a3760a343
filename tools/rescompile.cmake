# rescompile: turns the text source of a language library (resources/lang/*.txt) into the
# resource bundle that stands for "Lang<Xxx>CE.dll" on the device. The six bundles are built
# into <build>/languages/ by the target language_bundles, each with the pictures skinbitmaps
# draws (skinbitmaps.cmake).
if(TARGET platform_shell)
  add_executable(rescompile ${CMAKE_CURRENT_LIST_DIR}/rescompile.cpp)
  target_compile_options(rescompile PRIVATE ${NAV_WARNINGS})
  target_link_libraries(rescompile PRIVATE platform_shell testdata)

  set(NAV_LANGUAGE_BUNDLE_DIR ${CMAKE_BINARY_DIR}/languages)
  set(pictures ${CMAKE_BINARY_DIR}/skin/pictures.txt)
  set(language_bundles "")
  foreach(language Ger Eng Fre Spa Ita Dut)
    string(TOLOWER ${language} source_name)
    set(source ${PROJECT_SOURCE_DIR}/resources/lang/${source_name}.txt)
    set(bundle ${NAV_LANGUAGE_BUNDLE_DIR}/Lang${language}CE.dll)
    add_custom_command(
      OUTPUT ${bundle}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${NAV_LANGUAGE_BUNDLE_DIR}
      COMMAND rescompile ${source} ${bundle} ${pictures}
      DEPENDS rescompile ${source} ${pictures}
      COMMENT "Compiling the language bundle Lang${language}CE.dll"
      VERBATIM)
    list(APPEND language_bundles ${bundle})
  endforeach()
  add_custom_target(language_bundles ALL DEPENDS ${language_bundles})
endif()

if(TARGET rescompile)
  nav_test(language_bundles_test
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/tests/languagebundles_test.cpp
    DEPENDS platform_shell platform_gdi testdata)
  if(TARGET language_bundles_test)
    add_dependencies(language_bundles_test language_bundles)
    target_compile_definitions(language_bundles_test
      PRIVATE NAV_LANGUAGE_BUNDLE_DIR="${NAV_LANGUAGE_BUNDLE_DIR}")
  endif()

  # The compiler refuses a bad source with an error and writes nothing.
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/rescompile_bad.txt "[strings]\n1\tone\n1\ttwice\n")
  add_test(NAME rescompile.refuses_bad_source
           COMMAND rescompile ${CMAKE_CURRENT_BINARY_DIR}/rescompile_bad.txt
                   ${CMAKE_CURRENT_BINARY_DIR}/rescompile_bad.dll)
  set_tests_properties(rescompile.refuses_bad_source PROPERTIES
    PASS_REGULAR_EXPRESSION "rescompile_bad.txt: line 3: string id 1 is defined twice")

  # Pictures join the bundle only with ids of their own, and a pictures source holds only them.
  set(bmp_header "BM")
  string(REPEAT "x" 52 bmp_rest)
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/rescompile_picture.bmp "${bmp_header}${bmp_rest}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/rescompile_source.txt
       "[strings]\n1\tNavigator\n[bitmaps]\n3\trescompile_picture.bmp\n")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/rescompile_pictures_twice.txt
       "[icons]\n3\trescompile_picture.bmp\n[bitmaps]\n3\trescompile_picture.bmp\n")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/rescompile_pictures_texts.txt "[strings]\n2\ttwo\n")
  add_test(NAME rescompile.refuses_a_picture_id_defined_twice
           COMMAND rescompile ${CMAKE_CURRENT_BINARY_DIR}/rescompile_source.txt
                   ${CMAKE_CURRENT_BINARY_DIR}/rescompile_twice.dll
                   ${CMAKE_CURRENT_BINARY_DIR}/rescompile_pictures_twice.txt)
  set_tests_properties(rescompile.refuses_a_picture_id_defined_twice PROPERTIES
    PASS_REGULAR_EXPRESSION "rescompile_pictures_twice.txt: bitmap id 3 is in the language source too")
  add_test(NAME rescompile.refuses_texts_among_the_pictures
           COMMAND rescompile ${CMAKE_CURRENT_BINARY_DIR}/rescompile_source.txt
                   ${CMAKE_CURRENT_BINARY_DIR}/rescompile_texts.dll
                   ${CMAKE_CURRENT_BINARY_DIR}/rescompile_pictures_texts.txt)
  set_tests_properties(rescompile.refuses_texts_among_the_pictures PROPERTIES
    PASS_REGULAR_EXPRESSION "rescompile_pictures_texts.txt: may hold only \\[bitmaps\\] and \\[icons\\]")
endif()
