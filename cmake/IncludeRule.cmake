# The include rule: app/ is the top floor, and the includes follow the build steps.
#   cmake -DSOURCE_DIR=<project> -DSTEPS=<build>/nav_file_steps.txt -P IncludeRule.cmake
# Fails, naming each fault, when a file of the house below app/ includes a header of app/, when a
# file of a build step below the map display's (10) includes a header of mapdisplay/, or when a
# file includes a header of a later build step than its own. The programs above the house, in
# bench/ and tools/, may include app/, under the step rule like everybody.
#
# A file's step comes from STEPS (written at configure time, cmake/NavComponent.cmake): the step
# of the target that compiles it or lists it with nav_headers. A header without an entry takes the
# step of its namesake source, and a header with neither the latest step of the nearest folder
# (its own or a parent) that has files with steps. Other files (the sources of programs and
# benchmarks) have no step and are checked by the app/ rule alone.
if(NOT IS_DIRECTORY "${SOURCE_DIR}" OR NOT EXISTS "${STEPS}")
  message(FATAL_ERROR "Usage: cmake -DSOURCE_DIR=<project> -DSTEPS=<steps file> -P ${CMAKE_SCRIPT_MODE_FILE}")
endif()

# Steps of the listed files and the latest step of each folder that holds listed files.
file(STRINGS ${STEPS} entries)
foreach(entry IN LISTS entries)
  if(NOT entry MATCHES "^([0-9]+) (.+)$")
    continue()
  endif()
  set(step ${CMAKE_MATCH_1})
  set(path ${CMAKE_MATCH_2})
  string(MAKE_C_IDENTIFIER "${path}" id)
  if(NOT DEFINED file_${id})
    set(file_${id} ${step})
  endif()
  cmake_path(GET path PARENT_PATH folder)
  string(MAKE_C_IDENTIFIER "dir_${folder}" dir_id)
  if(NOT DEFINED ${dir_id} OR step GREATER ${dir_id})
    set(${dir_id} ${step})
  endif()
endforeach()

# step_of(path out): the step of a file by the rules above, "" when it has none.
function(step_of path out)
  string(MAKE_C_IDENTIFIER "${path}" id)
  if(DEFINED file_${id})
    set(${out} ${file_${id}} PARENT_SCOPE)
    return()
  endif()
  if(path MATCHES "^(.*)\\.h$")
    string(MAKE_C_IDENTIFIER "${CMAKE_MATCH_1}.cpp" source_id)
    if(DEFINED file_${source_id})
      set(${out} ${file_${source_id}} PARENT_SCOPE)
      return()
    endif()
  endif()
  if(NOT path MATCHES "\\.h$")
    set(${out} "" PARENT_SCOPE)
    return()
  endif()
  cmake_path(GET path PARENT_PATH folder)
  while(NOT folder STREQUAL "")
    string(MAKE_C_IDENTIFIER "dir_${folder}" dir_id)
    if(DEFINED ${dir_id})
      set(${out} ${${dir_id}} PARENT_SCOPE)
      return()
    endif()
    cmake_path(GET folder PARENT_PATH folder)
  endwhile()
  set(${out} "" PARENT_SCOPE)
endfunction()

# Every source and header of the project, without build folders and hidden ones.
file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
list(FILTER files EXCLUDE REGEX "^build|(^|/)\\.")

set(faults "")
set(checked 0)
foreach(file IN LISTS files)
  file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
  if(NOT includes)
    continue()
  endif()
  step_of(${file} step)
  cmake_path(GET file PARENT_PATH folder)
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" included "${line}")
    # Includes name the path from the project's root; a name beside the file also counts.
    if(EXISTS ${SOURCE_DIR}/${included} AND NOT IS_DIRECTORY ${SOURCE_DIR}/${included})
      cmake_path(NORMAL_PATH included)
    elseif(NOT folder STREQUAL "" AND EXISTS ${SOURCE_DIR}/${folder}/${included})
      set(included "${folder}/${included}")
      cmake_path(NORMAL_PATH included)
    else()
      continue()
    endif()
    math(EXPR checked "${checked} + 1")
    if(included MATCHES "^app/" AND NOT file MATCHES "^(app|bench|tools)/")
      string(APPEND faults "\n  ${file} is below app/ and includes ${included}")
      continue()
    endif()
    if(step STREQUAL "")
      continue()
    endif()
    # The map display's folder holds step 10 alone: what an earlier step shares with it lives
    # lower in the house, whatever step a header of the folder would get.
    if(included MATCHES "^mapdisplay/" AND step LESS 10)
      string(APPEND faults "\n  ${file} (step ${step}) is below the map display and includes ${included}")
      continue()
    endif()
    step_of(${included} included_step)
    if(NOT included_step STREQUAL "" AND included_step GREATER step)
      string(APPEND faults
             "\n  ${file} (step ${step}) includes ${included} (step ${included_step})")
    endif()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "The include rule is broken:${faults}")
endif()
list(LENGTH files count)
message(STATUS "Include rule kept: ${checked} includes of ${count} files")
