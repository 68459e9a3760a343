# Runs test programs in a folder other than their build folder, where the data paths they take
# relative to it name nothing: each selected test must fail, naming the data file it could not
# open, and the program must end normally rather than crash. The folder is a new one in the
# system's temporary folder, outside the checkout, so that no path relative to a build folder
# names a file there by chance.
#   cmake -DCASES=<case>,<case>... -P outsidebuildfolder_test.cmake
# Each case: "<program>|<GoogleTest filter>|<name of the data file the failure names>".

string(REPLACE "," ";" cases "${CASES}")
set(temp /tmp)
if(DEFINED ENV{TMPDIR} AND IS_DIRECTORY "$ENV{TMPDIR}")
  set(temp $ENV{TMPDIR})
endif()
string(RANDOM LENGTH 12 suffix)
set(WORK ${temp}/nav-outside-${suffix})
file(MAKE_DIRECTORY ${WORK})
set(failures "")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 program)
  list(GET fields 1 filter)
  list(GET fields 2 data)
  get_filename_component(name ${program} NAME)
  execute_process(COMMAND ${program} --gtest_filter=${filter} WORKING_DIRECTORY ${WORK}
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(FIND "${out}" "cannot open" at)
  string(FIND "${out}" "${data}" named)
  if(NOT code STREQUAL "1")
    string(APPEND failures "\n${name} ${filter}: ended with '${code}', not a failed test")
  elseif(at LESS 0 OR named LESS 0)
    string(APPEND failures "\n${name} ${filter}: failed without naming ${data}:\n${out}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
