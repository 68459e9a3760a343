# Runs sfspack end to end: cmake -DSFSPACK=<tool> -DWORK=<scratch folder> -P sfspack_test.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/in/sub)
file(WRITE ${WORK}/in/Alpha.txt "alpha")
file(WRITE ${WORK}/in/beta.bin "0123456789")
file(WRITE ${WORK}/extra.dat "x")
file(WRITE ${WORK}/ALPHA.TXT "clash")

function(expect_run expected_code)
  execute_process(COMMAND ${SFSPACK} ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT code EQUAL expected_code)
    message(FATAL_ERROR "sfspack ${ARGN}: exit ${code}, expected ${expected_code}\n${out}${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

expect_run(0 ${WORK}/out.sfs ${WORK}/in ${WORK}/extra.dat)
expect_run(0 --list ${WORK}/out.sfs)
set(expected "         5 Alpha.txt\n        10 beta.bin\n         1 extra.dat\n")
if(NOT last_output STREQUAL expected)
  message(FATAL_ERROR "listing differs:\n${last_output}")
endif()

expect_run(1 ${WORK}/clash.sfs ${WORK}/in ${WORK}/ALPHA.TXT) # same name in another case
expect_run(1 ${WORK}/none.sfs ${WORK}/missing.txt)
expect_run(1 --list ${WORK}/extra.dat)
expect_run(2)
expect_run(2 --list)
file(REMOVE_RECURSE ${WORK})
