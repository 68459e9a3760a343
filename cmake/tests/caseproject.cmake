# write_case_project(dir body): writes a small project into dir whose CMakeLists.txt includes the
# component functions (NAV_COMPONENT, and the compiler cache settings COMPILER_CACHE when given)
# with stand-ins for GoogleTest and the thread library, then body.
function(write_case_project dir body)
  set(cache "")
  if(COMPILER_CACHE)
    set(cache "include(${COMPILER_CACHE})")
  endif()
  file(WRITE ${dir}/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(cases LANGUAGES CXX)
enable_testing()
include(GoogleTest)
foreach(imported GTest::gtest GTest::gtest_main Threads::Threads)
  add_library(\${imported} INTERFACE IMPORTED)
endforeach()
${cache}
include(${NAV_COMPONENT})
${body}")
endfunction()

# configure_case_project(dir body code_var err_var): writes the project (write_case_project),
# configures it with GENERATOR and CXX into dir/build and returns cmake's exit code and error
# output.
function(configure_case_project dir body code_var err_var)
  write_case_project(${dir} "${body}")
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${dir} -B ${dir}/build -G ${GENERATOR}
                          -DCMAKE_CXX_COMPILER=${CXX}
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${code_var} ${code} PARENT_SCOPE)
  set(${err_var} "${err}" PARENT_SCOPE)
endfunction()
