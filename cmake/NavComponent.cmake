# Component targets with a build step each: a target may depend only on targets whose step is
# not later than its own (0 = platform, then the subsystems 1..12 in build order).

set(NAV_WARNINGS -Wall -Wextra)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # g++ 12 reports these at -O2 on paths it cannot prove dead (reference counts, std::u16string
  # copies); AddressSanitizer checks the real cases in the sanitizer build.
  list(APPEND NAV_WARNINGS -Wno-use-after-free -Wno-restrict)
endif()
if(NAV_WERROR)
  list(APPEND NAV_WARNINGS -Werror)
endif()

set(NAV_SANITIZER_FLAGS "")
if(NAV_SANITIZE)
  list(APPEND NAV_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
       -fno-omit-frame-pointer)
endif()
if(NAV_FUZZ)
  list(APPEND NAV_SANITIZER_FLAGS -fsanitize=fuzzer-no-link)
endif()
add_compile_options(${NAV_SANITIZER_FLAGS})
if(NAV_SANITIZE)
  add_link_options(-fsanitize=address,undefined)
endif()

define_property(TARGET PROPERTY NAV_STEP BRIEF_DOCS "build step" FULL_DOCS "build step")

function(_nav_check_deps name step)
  foreach(dep IN LISTS ARGN)
    if(TARGET ${dep})
      get_target_property(dep_step ${dep} NAV_STEP)
      if(dep_step AND dep_step GREATER step)
        message(FATAL_ERROR "${name} (step ${step}) must not depend on ${dep} (step ${dep_step})")
      endif()
    endif()
  endforeach()
endfunction()

# nav_component(name STEP n SOURCES ... [DEPENDS ...] [PRIVATE_DEPENDS ...])
function(nav_component name)
  cmake_parse_arguments(C "" "STEP" "SOURCES;DEPENDS;PRIVATE_DEPENDS" ${ARGN})
  if(NOT DEFINED C_STEP)
    message(FATAL_ERROR "nav_component(${name}) needs a STEP")
  endif()
  _nav_check_deps(${name} ${C_STEP} ${C_DEPENDS} ${C_PRIVATE_DEPENDS})
  add_library(${name} STATIC ${C_SOURCES})
  set_target_properties(${name} PROPERTIES NAV_STEP ${C_STEP})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${NAV_WARNINGS})
  target_link_libraries(${name} PUBLIC ${C_DEPENDS} PRIVATE ${C_PRIVATE_DEPENDS})
endfunction()

# nav_test(name SOURCES ... DEPENDS ...): one GoogleTest executable, registered with CTest.
function(nav_test name)
  cmake_parse_arguments(T "" "" "SOURCES;DEPENDS" ${ARGN})
  if(NAV_FUZZ AND NOT NAV_SANITIZE)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_compile_options(${name} PRIVATE ${NAV_WARNINGS})
  target_link_libraries(${name} PRIVATE ${T_DEPENDS} GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()

# nav_fuzz(name SOURCES ... DEPENDS ...): a libFuzzer target, built only with NAV_FUZZ.
# Each is registered as a short CTest run (label "fuzz") over its seeds for a few seconds.
function(nav_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;DEPENDS" ${ARGN})
  if(NOT NAV_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE ${NAV_WARNINGS})
  target_link_libraries(${name} PRIVATE ${F_DEPENDS} Threads::Threads)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(seconds $ENV{NAV_FUZZ_SECONDS})
  if(NOT seconds)
    set(seconds 5)
  endif()
  add_test(NAME fuzz.${name}
           COMMAND ${name} -max_total_time=${seconds} -rss_limit_mb=2048 -print_final_stats=0)
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()

# nav_bench(name SOURCES ... DEPENDS ...): a Google Benchmark executable.
function(nav_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;DEPENDS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  target_compile_options(${name} PRIVATE ${NAV_WARNINGS})
  target_link_libraries(${name} PRIVATE ${B_DEPENDS} benchmark::benchmark Threads::Threads)
endfunction()

# nav_builtin_module(target anchor): keeps the source file that registers a built-in module
# (platform/files/modules.h) linked into every program that links target; anchor is an extern "C"
# function defined in that file.
function(nav_builtin_module target anchor)
  target_link_options(${target} INTERFACE "LINKER:--undefined=${anchor}")
endfunction()
