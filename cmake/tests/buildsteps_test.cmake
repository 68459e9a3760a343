# Configures small projects with the component functions: dependencies on the same or an earlier
# step configure, and one on a later step fails wherever and however the later target is named.
#   cmake -DNAV_COMPONENT=<NavComponent.cmake> -DWORK=<scratch folder> -DGENERATOR=<generator>
#         -DCXX=<C++ compiler> -P buildsteps_test.cmake

include(${CMAKE_CURRENT_LIST_DIR}/caseproject.cmake)

# Each case: a name, the expected failure ("" to configure cleanly), the project's targets.
set(case_names "")

function(add_case name expected body)
  set_property(GLOBAL APPEND PROPERTY case_names ${name})
  set_property(GLOBAL PROPERTY case_${name}_expected "${expected}")
  set_property(GLOBAL PROPERTY case_${name}_body "${body}")
endfunction()

add_case(earlier_steps "" [[
nav_component(base STEP 0 SOURCES a.cpp)
nav_component(low STEP 1 SOURCES a.cpp DEPENDS base)
nav_component(same STEP 1 SOURCES a.cpp PRIVATE_DEPENDS low)
add_library(group INTERFACE)
target_link_libraries(group INTERFACE low same)
nav_component(high STEP 2 SOURCES a.cpp DEPENDS group)
nav_test(low_test SOURCES a.cpp DEPENDS low base)
]])

add_case(later_target_defined_after "table \\(step 2\\) must not depend on engine \\(step 3\\)" [[
nav_component(table STEP 2 SOURCES a.cpp DEPENDS engine)
nav_component(engine STEP 3 SOURCES a.cpp)
]])

add_case(later_target_defined_before "table \\(step 2\\) must not depend on engine \\(step 3\\)" [[
nav_component(engine STEP 3 SOURCES a.cpp)
nav_component(table STEP 2 SOURCES a.cpp PRIVATE_DEPENDS engine)
]])

add_case(through_a_library_without_step
         "table \\(step 2\\) must not depend on engine \\(step 3\\)" [[
nav_component(table STEP 2 SOURCES a.cpp)
add_library(group INTERFACE)
target_link_libraries(group INTERFACE engine)
target_link_libraries(table PRIVATE group)
nav_component(engine STEP 3 SOURCES a.cpp)
]])

add_case(test_of_an_earlier_step "table_test \\(step 2\\) must not depend on engine \\(step 3\\)" [[
nav_component(table STEP 2 SOURCES a.cpp)
nav_test(table_test SOURCES a.cpp DEPENDS table engine)
nav_component(engine STEP 3 SOURCES a.cpp)
]])

get_property(case_names GLOBAL PROPERTY case_names)
set(failures "")
foreach(name IN LISTS case_names)
  get_property(expected GLOBAL PROPERTY case_${name}_expected)
  get_property(body GLOBAL PROPERTY case_${name}_body)
  set(dir ${WORK}/${name})
  file(REMOVE_RECURSE ${dir})
  file(WRITE ${dir}/a.cpp "int main() { return 0; }\n")
  configure_case_project(${dir} "${body}" code err)
  if(expected STREQUAL "")
    if(NOT code EQUAL 0)
      string(APPEND failures "\n${name}: configuring failed:\n${err}")
    endif()
  elseif(code EQUAL 0)
    string(APPEND failures "\n${name}: configured, expected a failure")
  elseif(NOT err MATCHES "${expected}")
    string(APPEND failures "\n${name}: failed without '${expected}':\n${err}")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
file(REMOVE_RECURSE ${WORK})
