# rescompile: turns the text source of a language library (resources/lang/*.txt) into the
# resource bundle that stands for "Lang<Xxx>CE.dll" on the device. The six bundles are built
# into <build>/languages/ by the target language_bundles.
if(TARGET platform_shell)
  add_executable(rescompile ${CMAKE_CURRENT_LIST_DIR}/rescompile.cpp)
  target_compile_options(rescompile PRIVATE ${NAV_WARNINGS})
  target_link_libraries(rescompile PRIVATE platform_shell testdata)

  set(NAV_LANGUAGE_BUNDLE_DIR ${CMAKE_BINARY_DIR}/languages)
  set(language_bundles "")
  foreach(language Ger Eng Fre Spa Ita Dut)
    string(TOLOWER ${language} source_name)
    set(source ${PROJECT_SOURCE_DIR}/resources/lang/${source_name}.txt)
    set(bundle ${NAV_LANGUAGE_BUNDLE_DIR}/Lang${language}CE.dll)
    add_custom_command(
      OUTPUT ${bundle}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${NAV_LANGUAGE_BUNDLE_DIR}
      COMMAND rescompile ${source} ${bundle}
      DEPENDS rescompile ${source}
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
    DEPENDS platform_shell testdata)
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
endif()
