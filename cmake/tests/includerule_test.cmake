# Configures small projects with the component functions and checks them with the include rule:
# includes of the same or an earlier step pass, and an include of app/ from outside it, of
# mapdisplay/ from below step 10 or of a later step's header fails, however the header gets its
# step.
#   cmake -DNAV_COMPONENT=<NavComponent.cmake> -DINCLUDE_RULE=<IncludeRule.cmake>
#         -DWORK=<scratch folder> -DGENERATOR=<generator> -DCXX=<C++ compiler>
#         -P includerule_test.cmake

include(${CMAKE_CURRENT_LIST_DIR}/caseproject.cmake)

# Each case: a name, the expected failure ("" to pass), its files ("path: first line" each,
# "|" between files) and its targets.
function(add_case name expected files body)
  set_property(GLOBAL APPEND PROPERTY case_names ${name})
  set_property(GLOBAL PROPERTY case_${name}_expected "${expected}")
  set_property(GLOBAL PROPERTY case_${name}_files "${files}")
  set_property(GLOBAL PROPERTY case_${name}_body "${body}")
endfunction()

# Two components and a header of each; every case adds its own files and targets to these.
set(base_files [[low/a.h: #pragma once|low/a.cpp: #include "low/a.h"|high/b.h: #pragma once|high/b.cpp: #include "high/b.h"]])
set(base_body [[
nav_component(low STEP 1 SOURCES low/a.cpp)
nav_component(high STEP 2 SOURCES high/b.cpp DEPENDS low)
]])

add_case(earlier_and_same_steps "" [[high/c.cpp: #include "low/a.h"|low/d.h: #include "a.h"|tool.cpp: #include "high/b.h"]] [[
nav_component(more STEP 2 SOURCES high/c.cpp DEPENDS low)
add_executable(tool tool.cpp)
]])

add_case(later_header_with_a_source "low/a.cpp \\(step 1\\) includes high/b.h \\(step 2\\)"
         [[low/a.cpp: #include "high/b.h"]] "")

add_case(header_beside_the_file "low/e.cpp \\(step 1\\) includes high/b.h \\(step 2\\)"
         [[low/e.cpp: #include "../high/b.h"|high/f.h: #include "b.h"]] [[
nav_component(lowmore STEP 1 SOURCES low/e.cpp)
]])

add_case(test_of_an_earlier_step "low/tests/t.cpp \\(step 1\\) includes high/b.h \\(step 2\\)"
         [[low/tests/t.cpp: #include "high/b.h"]] [[
nav_test(low_test SOURCES low/tests/t.cpp DEPENDS low)
]])

add_case(app_from_below "high/c.h is below app/ and includes app/page.h"
         [[app/page.h: #pragma once|app/page.cpp: #include "high/b.h"|high/c.h: #include "app/page.h"]] [[
nav_component(page STEP 12 SOURCES app/page.cpp DEPENDS high)
]])

add_case(app_from_the_programs_above "" [[app/page.h: #pragma once|app/page.cpp: #include "high/b.h"|bench/page_bench.cpp: #include "app/page.h"|tools/tests/page_test.cpp: #include "app/page.h"]] [[
nav_component(page STEP 12 SOURCES app/page.cpp DEPENDS high)
add_executable(page_bench bench/page_bench.cpp)
nav_test(page_test SOURCES tools/tests/page_test.cpp DEPENDS page)
]])

add_case(app_from_a_tool_below_its_step "tools/t.cpp \\(step 2\\) includes app/page.h \\(step 12\\)"
         [[app/page.h: #pragma once|app/page.cpp: #include "high/b.h"|tools/t.cpp: #include "app/page.h"]] [[
nav_component(page STEP 12 SOURCES app/page.cpp DEPENDS high)
nav_component(tool STEP 2 SOURCES tools/t.cpp DEPENDS high)
]])

add_case(unlisted_header_of_a_mixed_folder
         "low/a.cpp \\(step 1\\) includes high/codes.h \\(step 2\\)"
         [[high/codes.h: #pragma once|high/early.cpp: #pragma once|low/a.cpp: #include "high/codes.h"]] [[
nav_component(early STEP 1 SOURCES high/early.cpp)
]])

add_case(listed_header_of_a_mixed_folder ""
         [[high/codes.h: #pragma once|high/early.cpp: #pragma once|low/a.cpp: #include "high/codes.h"]] [[
nav_component(early STEP 1 SOURCES high/early.cpp)
nav_headers(early high/codes.h)
]])

add_case(map_display_from_below_its_step
         "high/c.cpp \\(step 2\\) is below the map display and includes mapdisplay/geo.h"
         [[mapdisplay/geo.h: #pragma once|mapdisplay/geo.cpp: #pragma once|high/c.cpp: #include "mapdisplay/geo.h"]] [[
nav_component(geo STEP 1 SOURCES mapdisplay/geo.cpp)
nav_component(more STEP 2 SOURCES high/c.cpp DEPENDS geo)
]])

add_case(map_display_from_its_step_and_above ""
         [[mapdisplay/view.h: #pragma once|mapdisplay/view.cpp: #include "mapdisplay/view.h"|cross/x.cpp: #include "mapdisplay/view.h"|tool.cpp: #include "mapdisplay/view.h"]] [[
nav_component(view STEP 10 SOURCES mapdisplay/view.cpp DEPENDS high)
nav_component(cross STEP 11 SOURCES cross/x.cpp DEPENDS view)
add_executable(tool tool.cpp)
]])

get_property(case_names GLOBAL PROPERTY case_names)
set(failures "")
foreach(name IN LISTS case_names)
  get_property(expected GLOBAL PROPERTY case_${name}_expected)
  get_property(files GLOBAL PROPERTY case_${name}_files)
  get_property(body GLOBAL PROPERTY case_${name}_body)
  set(dir ${WORK}/${name})
  file(REMOVE_RECURSE ${dir})
  # A later file of the same path replaces the base's.
  string(REPLACE "|" ";" entries "${base_files}|${files}")
  foreach(entry IN LISTS entries)
    string(REGEX MATCH "^([^:]+): (.*)$" matched "${entry}")
    file(WRITE ${dir}/${CMAKE_MATCH_1} "${CMAKE_MATCH_2}\n")
  endforeach()
  configure_case_project(${dir} "${base_body}${body}" code err)
  if(NOT code EQUAL 0)
    string(APPEND failures "\n${name}: configuring failed:\n${err}")
    continue()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${dir}
                          -DSTEPS=${dir}/build/nav_file_steps.txt -P ${INCLUDE_RULE}
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(expected STREQUAL "")
    if(NOT code EQUAL 0)
      string(APPEND failures "\n${name}: the rule failed:\n${err}")
    endif()
  elseif(code EQUAL 0)
    string(APPEND failures "\n${name}: the rule passed, expected a failure")
  elseif(NOT err MATCHES "${expected}")
    string(APPEND failures "\n${name}: failed without '${expected}':\n${err}")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
file(REMOVE_RECURSE ${WORK})
