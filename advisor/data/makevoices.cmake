# Speaks every line of the voice script in one language with espeak-ng and packs the samples
# "<Key>.wav" into the voice archive. Run with cmake -P and:
#   VOICES   the voice script (Key;german;english;french;spanish;italian;dutch)
#   COLUMN   1..6, the language's column
#   VOICE    the espeak-ng voice (de, en, fr, es, it, nl)
#   ESPEAK   espeak-ng, SFSPACK the packer, WORK a scratch folder, OUT the archive
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
# Cells are ";"-separated, which is also CMake's list separator: lines are split with "|" first.
# Keys may hold blanks ("3 geschlossen"): the sample path is passed quoted, as one argument.
file(READ ${VOICES} content)
string(REPLACE "\r" "" content "${content}")
string(REPLACE ";" "|" content "${content}")
string(REPLACE "\n" ";" lines "${content}")
foreach(line IN LISTS lines)
  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()
  string(REPLACE "|" ";" cells "${line}")
  list(GET cells 0 key)
  list(GET cells ${COLUMN} words)
  execute_process(COMMAND ${ESPEAK} -v ${VOICE} -w "${WORK}/${key}.wav" "${words}"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "espeak-ng could not speak ${key} (${VOICE})")
  endif()
endforeach()
execute_process(COMMAND ${SFSPACK} ${OUT} ${WORK} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "sfspack could not pack ${OUT}")
endif()
