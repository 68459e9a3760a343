# Builds a small project with the component functions and the compiler cache settings wherever
# its build folder lies: beside the checkout, below a checkout reached through a symbolic link,
# and below the checkout through a symbolic link to a folder elsewhere. Each builds a library of
# two sources (one unity source) and a test program; the test program, run in its build folder,
# reads its data file by the path its compile definition names, and a debugger started there with
# the folder's .gdbinit shows the library's and the program's sources (when gdb is installed).
# Then clones of the project, each built in build/release, share the compiler cache, one reached
# through a symbolic link too: the later clones' compilations are all served from it (when ccache
# is installed).
#   cmake -DNAV_COMPONENT=<NavComponent.cmake> -DCOMPILER_CACHE=<CompilerCache.cmake>
#         -DWORK=<scratch folder> -DGENERATOR=<generator> -DCXX=<C++ compiler>
#         -P buildfolders_test.cmake

include(${CMAKE_CURRENT_LIST_DIR}/caseproject.cmake)

# Each case: a name; the folder the project is written to; symbolic links made before configuring
# ("link>target", both below the case's folder); the source and build folders given to cmake.
function(add_case name project links source binary)
  set_property(GLOBAL APPEND PROPERTY case_names ${name})
  foreach(field project links source binary)
    set_property(GLOBAL PROPERTY case_${name}_${field} "${${field}}")
  endforeach()
endfunction()

add_case(beside_the_checkout checkout "" checkout checkout-out)
add_case(checkout_through_a_link real "checkout>real" checkout checkout/build/release)
add_case(build_folder_through_a_link checkout "checkout/build>elsewhere" checkout
         checkout/build/release)

set(body [[
set(NAV_UNITY_LIBRARIES ON)
nav_component(low STEP 1 SOURCES low/a.cpp low/b.cpp)
add_subdirectory(tests)
]])
set(test_body [[
nav_test(case_test SOURCES t.cpp DEPENDS low)
target_compile_definitions(case_test PRIVATE CASE_DATA="${PROJECT_SOURCE_DIR}/data/words.txt")
]])

# write_project(dir): the project's files in dir.
function(write_project dir)
  write_case_project(${dir} "${body}")
  file(WRITE ${dir}/low/a.h "#pragma once\nint LowAnswer();\nint LowTwice();\n")
  file(WRITE ${dir}/low/a.cpp
       "#include \"low/a.h\"\nint LowAnswer() { return 42; } // the answer in low/a.cpp\n")
  file(WRITE ${dir}/low/b.cpp "#include \"low/a.h\"\nint LowTwice() { return 2 * LowAnswer(); }\n")
  file(WRITE ${dir}/tests/CMakeLists.txt "${test_body}")
  # Prints nothing for --gtest_list_tests, so that the discovery finds no tests.
  file(WRITE ${dir}/tests/t.cpp [[
#include "low/a.h"
#include <fstream>
#include <string>
int main() { // the test program's own source
    std::ifstream in(CASE_DATA);
    std::string word;
    return in >> word && word == "found" && LowTwice() == 84 ? 0 : 1;
}
]])
  file(WRITE ${dir}/data/words.txt "found\n")
endfunction()

# build(source binary): configures and builds; appends what failed to failures.
function(build name source binary)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${source} -B ${binary} -G ${GENERATOR}
                          -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Debug
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL 0)
    set(failures "${failures}\n${name}: configuring failed:\n${err}" PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${binary}
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL 0)
    set(failures "${failures}\n${name}: building failed:\n${out}${err}" PARENT_SCOPE)
  endif()
endfunction()

find_program(CCACHE ccache)
find_program(GDB gdb)
# A cache of the test's own, so that every compilation of a case is its own and the counts of the
# clones are theirs alone; a cache switched off for the build around the test (CCACHE_DISABLE)
# would leave nothing to count.
set(ENV{CCACHE_DIR} ${WORK}/ccache)
unset(ENV{CCACHE_DISABLE})
file(REMOVE_RECURSE ${WORK})
set(failures "")
get_property(case_names GLOBAL PROPERTY case_names)
foreach(name IN LISTS case_names)
  foreach(field project links source binary)
    get_property(${field} GLOBAL PROPERTY case_${name}_${field})
  endforeach()
  set(dir ${WORK}/${name})
  write_project(${dir}/${project})
  foreach(link IN LISTS links)
    string(REPLACE ">" ";" link "${link}")
    list(GET link 0 at)
    list(GET link 1 target)
    file(MAKE_DIRECTORY ${dir}/${target})
    file(CREATE_LINK ${dir}/${target} ${dir}/${at} SYMBOLIC)
  endforeach()
  set(run_dir ${dir}/${binary}/tests)
  build(${name} ${dir}/${source} ${dir}/${binary})
  if(NOT EXISTS ${run_dir}/case_test)
    continue()
  endif()
  execute_process(COMMAND ./case_test WORKING_DIRECTORY ${run_dir} RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    string(APPEND failures "\n${name}: the test program did not read its data file (${code})")
  endif()
  if(GDB)
    execute_process(COMMAND ${GDB} -batch -nx -x .gdbinit -ex "list LowAnswer" -ex "list main"
                            ./case_test
                    WORKING_DIRECTORY ${run_dir} OUTPUT_VARIABLE out ERROR_VARIABLE err)
    foreach(line "the answer in low/a.cpp" "the test program's own source")
      string(FIND "${out}" "${line}" at)
      if(at LESS 0)
        string(APPEND failures "\n${name}: gdb in the test's folder did not show '${line}':\n"
               "${out}${err}")
      endif()
    endforeach()
  endif()
endforeach()

# The clones: the first fills a cache of their own, the second and the third (reached through a
# symbolic link) find every compilation there.
if(CCACHE)
  set(ENV{CCACHE_DIR} ${WORK}/clones/ccache)
  foreach(clone one two three)
    write_project(${WORK}/clones/${clone})
  endforeach()
  file(CREATE_LINK ${WORK}/clones/three ${WORK}/clones/linked SYMBOLIC)
  build(clone_one ${WORK}/clones/one ${WORK}/clones/one/build/release)
  foreach(clone two linked)
    execute_process(COMMAND ${CCACHE} --zero-stats OUTPUT_QUIET)
    build(clone_${clone} ${WORK}/clones/${clone} ${WORK}/clones/${clone}/build/release)
    execute_process(COMMAND ${CCACHE} --print-stats OUTPUT_VARIABLE stats)
    foreach(counter direct_cache_hit preprocessed_cache_hit cache_miss)
      set(${counter} 0)
      if(stats MATCHES "(^|\n)${counter}\t([0-9]+)")
        set(${counter} ${CMAKE_MATCH_2})
      endif()
    endforeach()
    math(EXPR hits "${direct_cache_hit} + ${preprocessed_cache_hit}")
    if(hits EQUAL 0 OR NOT cache_miss EQUAL 0)
      string(APPEND failures "\nclone ${clone}: ${hits} compilations found in the cache, "
             "${cache_miss} missed")
    endif()
  endforeach()
endif()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
file(REMOVE_RECURSE ${WORK})
