# Runs one fuzz target as a test: each input of its committed corpus once, then fuzzing for
# SECONDS (none when 0) from a copy of the corpus, so that nothing is written into the sources.
#   cmake -DFUZZER=<program> -DCORPUS=<folder> -DWORK=<scratch> -DSECONDS=<n> -P RunFuzzer.cmake
# A fault leaves its input in WORK; once fixed, the input joins the corpus.
file(GLOB inputs LIST_DIRECTORIES false ${CORPUS}/*)
if(NOT inputs)
  message(FATAL_ERROR "${CORPUS} holds no inputs")
endif()
list(LENGTH inputs count)
message(STATUS "Replaying ${count} inputs of ${CORPUS}")
execute_process(COMMAND ${FUZZER} -rss_limit_mb=2048 ${inputs} RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "An input of ${CORPUS} fails (${code})")
endif()
if(SECONDS EQUAL 0)
  return()
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus)
file(COPY ${inputs} DESTINATION ${WORK}/corpus)
message(STATUS "Fuzzing for ${SECONDS} seconds")
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -rss_limit_mb=2048
                        -print_final_stats=1 -artifact_prefix=${WORK}/ ${WORK}/corpus
                RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "Fuzzing found a fault (${code}); its input is in ${WORK}/")
endif()
