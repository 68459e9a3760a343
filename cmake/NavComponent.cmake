# Component targets with a build step each: a target may depend only on targets whose step is
# not later than its own (0 = platform, then the subsystems 1..12 in build order).
include_guard(GLOBAL)

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
if(NAV_TSAN AND (NAV_SANITIZE OR NAV_FUZZ))
  message(FATAL_ERROR "NAV_TSAN cannot be combined with NAV_SANITIZE or NAV_FUZZ")
endif()
if(NAV_SANITIZE)
  list(APPEND NAV_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
       -fno-omit-frame-pointer)
endif()
if(NAV_TSAN)
  list(APPEND NAV_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
endif()
if(NAV_FUZZ)
  list(APPEND NAV_SANITIZER_FLAGS -fsanitize=fuzzer-no-link)
endif()
add_compile_options(${NAV_SANITIZER_FLAGS})
# _nav_no_fuzz_coverage(target): compiles target without libFuzzer's coverage instrumentation.
# The fuzz targets and the libraries they link need it; the tests' own sources do not, and compile
# and start faster without it (the sanitizer runtime answers the libraries' coverage calls).
function(_nav_no_fuzz_coverage target)
  if(NAV_FUZZ)
    get_target_property(options ${target} COMPILE_OPTIONS)
    list(REMOVE_ITEM options -fsanitize=fuzzer-no-link)
    set_target_properties(${target} PROPERTIES COMPILE_OPTIONS "${options}")
  endif()
endfunction()
if(NAV_SANITIZE)
  add_link_options(-fsanitize=address,undefined)
endif()
if(NAV_TSAN)
  add_link_options(-fsanitize=thread)
endif()

# Precompiled headers: the standard headers most sources include, and GoogleTest for the tests,
# are parsed once per build instead of once per source. Each set is compiled once in a host target
# whose flags match the targets that reuse it: the libraries (position-independent code) reuse
# nav_pch_library, the tests (executables) reuse nav_pch_test. A target that needs flags of its
# own that the compiler will not accept with a shared header sets DISABLE_PRECOMPILE_HEADERS ON;
# a single source sets SKIP_PRECOMPILE_HEADERS ON. header_check never uses them. Off by default
# with g++ 12: with all the standard headers seen first it reports false array-bounds and
# string-overflow warnings inside std::string at -O2.
set(_nav_pch_default ON)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  set(_nav_pch_default OFF)
endif()
option(NAV_PCH "Precompile the common standard headers and GoogleTest" ${_nav_pch_default})
set(NAV_PCH_STANDARD_HEADERS
    <algorithm> <array> <atomic> <cmath> <cstddef> <cstdint> <cstring> <functional> <limits> <map>
    <memory> <mutex> <new> <optional> <string> <string_view> <utility> <vector>)
set(NAV_PCH_TEST_HEADERS
    ${NAV_PCH_STANDARD_HEADERS} <chrono> <filesystem> <fstream> <thread> <gtest/gtest.h>)
if(NAV_PCH)
  set(_nav_pch_source ${CMAKE_BINARY_DIR}/nav_pch/empty.cpp)
  file(CONFIGURE OUTPUT ${_nav_pch_source} CONTENT "// Host of the precompiled headers.\n")
  add_library(nav_pch_library STATIC EXCLUDE_FROM_ALL ${_nav_pch_source})
  target_compile_options(nav_pch_library PRIVATE ${NAV_WARNINGS})
  target_link_libraries(nav_pch_library PRIVATE Threads::Threads)
  target_precompile_headers(nav_pch_library PRIVATE ${NAV_PCH_STANDARD_HEADERS})
  add_executable(nav_pch_test EXCLUDE_FROM_ALL ${_nav_pch_source})
  _nav_no_fuzz_coverage(nav_pch_test)
  target_compile_options(nav_pch_test PRIVATE ${NAV_WARNINGS})
  target_link_libraries(nav_pch_test PRIVATE GTest::gtest GTest::gtest_main Threads::Threads)
  target_precompile_headers(nav_pch_test PRIVATE ${NAV_PCH_TEST_HEADERS})
  # Without the headers' times in them, the precompiled headers of two fresh build folders are
  # the same file, so that ccache finds the sources compiled with them.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    foreach(host nav_pch_library nav_pch_test)
      target_compile_options(${host} PRIVATE "SHELL:-Xclang -fno-pch-timestamp")
    endforeach()
  endif()
endif()

# _nav_reuse_pch(target host): target reuses the precompiled headers of host, if there is one.
function(_nav_reuse_pch target host)
  if(TARGET ${host})
    target_precompile_headers(${target} REUSE_FROM ${host})
  endif()
endfunction()

# Unity builds of the tests: the sources of one test program are compiled as one translation unit
# (CMake's UNITY_BUILD), so that GoogleTest and the headers they share are parsed once per program
# instead of once per source (the libraries likewise, below; fuzz targets, benchmarks and tools are
# compiled source by source). In a unity build every file-scope name of a test program's sources shares one scope:
# the anonymous namespaces of its files are one namespace, and a macro defined in one file is seen
# by the files after it. So a helper, constant or type at file scope (inside `namespace {` or
# static) must be unique among the sources of its test program: name it after the file or what
# it is for (kFileBlockSize, not kSize), #undef a file's own macros at its end, and put a
# `using namespace` inside the anonymous namespace only when every file of the program can live
# with it. A collision shows as a redefinition error in the unity source
# (build/<dir>/CMakeFiles/<test>.dir/Unity/unity_0_cxx.cxx lists the sources in order); rename the
# newer name. -DNAV_UNITY_TESTS=OFF compiles the tests source by source again.
option(NAV_UNITY_TESTS "Compile each test program as one translation unit" ON)
# In an optimised build the test programs' own sources are compiled at -O1: the libraries they
# test keep the build's optimisation, and GoogleTest's macro-heavy test bodies compile in a third
# of the time -O2 takes.
option(NAV_TESTS_O1 "Compile the test programs' own sources at -O1 in optimised builds" ON)
# In the sanitizer builds the test programs' own sources are not optimised: clang instruments and
# optimises their macro-heavy bodies in twice the time it takes at -O0, and the tests spend their
# time in the libraries, which keep the build's -O1.
option(NAV_SANITIZER_TESTS_O0 "Compile the test programs' own sources at -O0 in sanitizer builds"
       ON)
# Unity builds of the libraries: the sources of one library (nav_component) are compiled as one
# translation unit, so that the headers they share are parsed once per library. The same rules hold
# as for the tests: a helper, constant or type in `namespace {` or static needs a name unique among
# the sources of its library, and a helper that two sources need alike is shared once (in a header
# of the folder, detail/ when only the library uses it) rather than copied. Beware of overloads:
# two file-scope functions of one name but different parameters compile, and a call in the later
# file may pick the earlier file's. A library is one object file, so a program that uses any of it
# links all of it (static initialisers and built-in module registrations included).
# -DNAV_UNITY_LIBRARIES=OFF compiles the libraries source by source again.
option(NAV_UNITY_LIBRARIES "Compile each library as one translation unit" ON)

define_property(TARGET PROPERTY NAV_STEP BRIEF_DOCS "build step" FULL_DOCS "build step")
define_property(TARGET PROPERTY NAV_TEST BRIEF_DOCS "a test program" FULL_DOCS "a test program")
define_property(TARGET PROPERTY NAV_STEP_OF BRIEF_DOCS "target whose build step applies"
                FULL_DOCS "a test or fuzz target is built at the step of the target it tests")

# The steps are checked once every target exists, at the end of the top-level directory, so that
# the order in which folders define their targets hides nothing. Every link dependency counts:
# the declared ones, any added later with target_link_libraries, and those reached through
# libraries without a step of their own.
function(_nav_targets_in dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    _nav_targets_in(${subdir} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(_nav_step_of target out)
  get_target_property(step ${target} NAV_STEP)
  if(step STREQUAL "step-NOTFOUND")
    get_target_property(of ${target} NAV_STEP_OF)
    if(of AND TARGET ${of})
      get_target_property(step ${of} NAV_STEP)
    endif()
  endif()
  if(step MATCHES "-NOTFOUND$")
    set(step "")
  endif()
  set(${out} "${step}" PARENT_SCOPE)
endfunction()

function(_nav_link_deps target out)
  get_target_property(type ${target} TYPE)
  set(items "")
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    get_target_property(direct ${target} LINK_LIBRARIES)
    if(direct)
      list(APPEND items ${direct})
    endif()
  endif()
  get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
  if(interface)
    list(APPEND items ${interface})
  endif()
  set(deps "")
  foreach(item IN LISTS items)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
    if(TARGET ${item})
      get_target_property(aliased ${item} ALIASED_TARGET)
      if(aliased)
        set(item ${aliased})
      endif()
      get_target_property(imported ${item} IMPORTED)
      if(NOT imported)
        list(APPEND deps ${item})
      endif()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES deps)
  set(${out} ${deps} PARENT_SCOPE)
endfunction()

function(_nav_check_steps)
  _nav_targets_in(${CMAKE_SOURCE_DIR} targets)
  set(faults "")
  foreach(target IN LISTS targets)
    _nav_step_of(${target} step)
    if(step STREQUAL "")
      continue()
    endif()
    _nav_link_deps(${target} pending)
    set(seen ${pending})
    while(pending)
      list(POP_FRONT pending dep)
      _nav_step_of(${dep} dep_step)
      if(dep_step STREQUAL "")
        _nav_link_deps(${dep} further)
        foreach(next IN LISTS further)
          if(NOT next IN_LIST seen)
            list(APPEND seen ${next})
            list(APPEND pending ${next})
          endif()
        endforeach()
      elseif(dep_step GREATER step)
        string(APPEND faults
               "\n  ${target} (step ${step}) must not depend on ${dep} (step ${dep_step})")
      endif()
    endwhile()
  endforeach()
  if(faults)
    message(FATAL_ERROR "A target depends on a later build step:${faults}")
  endif()
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _nav_check_steps)

define_property(TARGET PROPERTY NAV_HEADERS BRIEF_DOCS "header-only headers of a target"
                FULL_DOCS "headers without a source of the same name that belong to the target")

# nav_headers(target header...): headers that belong to target although no source of the same
# name does (header-only headers), so that the include rule (IncludeRule.cmake) knows their step.
# A header is otherwise at the step of the target that compiles its namesake source, and a header
# with neither at the latest step of its folder.
function(nav_headers target)
  set(paths "")
  foreach(header IN LISTS ARGN)
    cmake_path(ABSOLUTE_PATH header BASE_DIRECTORY ${CMAKE_CURRENT_LIST_DIR} NORMALIZE)
    list(APPEND paths ${header})
  endforeach()
  set_property(TARGET ${target} APPEND PROPERTY NAV_HEADERS ${paths})
endfunction()

# Writes the build step of every file of a target with a step (its sources and nav_headers) to
# <build>/nav_file_steps.txt, one "<step> <path from the source folder>" per line: a file that
# several targets hold takes the earliest of their steps. The include rule reads it.
function(_nav_write_file_steps)
  _nav_targets_in(${CMAKE_SOURCE_DIR} targets)
  set(lines "")
  foreach(target IN LISTS targets)
    _nav_step_of(${target} step)
    if(step STREQUAL "")
      continue()
    endif()
    get_target_property(type ${target} TYPE)
    set(files "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(sources ${target} SOURCES)
      get_target_property(dir ${target} SOURCE_DIR)
      foreach(source IN LISTS sources)
        if(source MATCHES "^\\$<")
          continue()
        endif()
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${dir} NORMALIZE)
        cmake_path(IS_PREFIX CMAKE_BINARY_DIR ${source} NORMALIZE generated)
        if(NOT generated)
          list(APPEND files ${source})
        endif()
      endforeach()
    endif()
    get_target_property(headers ${target} NAV_HEADERS)
    if(headers)
      list(APPEND files ${headers})
    endif()
    foreach(file IN LISTS files)
      cmake_path(IS_PREFIX CMAKE_SOURCE_DIR ${file} NORMALIZE inside)
      if(inside)
        file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${file})
        list(APPEND lines "${step} ${relative}")
      endif()
    endforeach()
  endforeach()
  # Earliest step first, so that the reader keeps the first step it meets for a file.
  list(SORT lines COMPARE NATURAL)
  list(JOIN lines "\n" text)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/nav_file_steps.txt CONTENT "${text}\n" @ONLY)
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _nav_write_file_steps)

# _nav_physical_path(path out): path with the symbolic links of its longest existing part resolved
# (the rest may not exist yet).
function(_nav_physical_path path out)
  set(head "${path}")
  set(rest "")
  while(NOT EXISTS "${head}")
    cmake_path(GET head PARENT_PATH parent)
    if(parent STREQUAL head)
      break()
    endif()
    cmake_path(GET head FILENAME name)
    set(rest "/${name}${rest}")
    set(head "${parent}")
  endwhile()
  file(REAL_PATH "${head}" real)
  set(${out} "${real}${rest}" PARENT_SCOPE)
endfunction()

# A test program's compile definitions that name a file or folder (NAME="/absolute/path") are
# rewritten once every target exists, relative to the folder CTest runs the program in (its build
# folder), so that the program compiles the same wherever the checkout lies and the compiler cache
# serves a fresh clone. Run a test program from its build folder, as CTest does. Both ends are
# physical paths, where the kernel resolves "..": the checkout or the build folder may be reached
# through a symbolic link.
function(_nav_relative_test_paths)
  _nav_targets_in(${CMAKE_SOURCE_DIR} targets)
  foreach(target IN LISTS targets)
    get_target_property(is_test ${target} NAV_TEST)
    if(NOT is_test)
      continue()
    endif()
    get_target_property(definitions ${target} COMPILE_DEFINITIONS)
    if(NOT definitions)
      continue()
    endif()
    get_target_property(run_dir ${target} BINARY_DIR)
    _nav_physical_path(${run_dir} run_dir)
    set(rewritten "")
    foreach(definition IN LISTS definitions)
      if(definition MATCHES "^([A-Za-z0-9_]+)=\"(/[^\"]*)\"$")
        set(name ${CMAKE_MATCH_1})
        _nav_physical_path(${CMAKE_MATCH_2} named)
        file(RELATIVE_PATH relative ${run_dir} ${named})
        if(relative STREQUAL "")
          set(relative .)
        endif()
        set(definition "${name}=\"${relative}\"")
      endif()
      list(APPEND rewritten "${definition}")
    endforeach()
    set_target_properties(${target} PROPERTIES COMPILE_DEFINITIONS "${rewritten}")
  endforeach()
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _nav_relative_test_paths)

# nav_component(name STEP n SOURCES ... [DEPENDS ...] [PRIVATE_DEPENDS ...])
function(nav_component name)
  cmake_parse_arguments(C "" "STEP" "SOURCES;DEPENDS;PRIVATE_DEPENDS" ${ARGN})
  if(NOT C_STEP MATCHES "^[0-9]+$")
    message(FATAL_ERROR "nav_component(${name}) needs a STEP number")
  endif()
  add_library(${name} STATIC ${C_SOURCES})
  set_target_properties(${name} PROPERTIES NAV_STEP ${C_STEP})
  if(NAV_UNITY_LIBRARIES)
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_MODE BATCH
                                             UNITY_BUILD_BATCH_SIZE 0)
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${NAV_WARNINGS})
  target_link_libraries(${name} PUBLIC ${C_DEPENDS} PRIVATE ${C_PRIVATE_DEPENDS})
  _nav_reuse_pch(${name} nav_pch_library)
endfunction()

# _nav_debugger_sources(dir): a .gdbinit in dir that shows gdb where the sources are. The objects
# name them relative to the checkout (-ffile-prefix-map, CompilerCache.cmake), which a debugger
# started in a test program's build folder, where the program is run by hand, would not find. gdb
# reads the file there once its folder is allowed (add-auto-load-safe-path in ~/.gdbinit), or when
# told to: gdb -x .gdbinit ./<test>.
function(_nav_debugger_sources dir)
  set(text "# Written by CMake: where the sources of this build's programs are.\n")
  string(APPEND text "directory \"@PROJECT_SOURCE_DIR@\"\n")
  file(CONFIGURE OUTPUT ${dir}/.gdbinit CONTENT "${text}" @ONLY)
endfunction()

# nav_timeout(var seconds): the time limit of a test that takes at most half of seconds on two busy
# cores in a normal build, for this build: twice that under the sanitizers, which run the same
# test two to three times slower. A limit guards against a hang; it is never a measure of speed.
function(nav_timeout var seconds)
  if(NAV_SANITIZE OR NAV_TSAN)
    math(EXPR seconds "${seconds} * 2")
  endif()
  set(${var} ${seconds} PARENT_SCOPE)
endfunction()

# nav_test(name [THREADED] [TIMEOUT s] SOURCES ... DEPENDS ... [ONE_PROCESS suite...]): one
# GoogleTest executable, registered with CTest, each test in a process of its own, each with the
# time limit TIMEOUT (default 120 s, as nav_timeout takes it). It is built at the step of
# its first dependency, the component it tests. THREADED marks a test that runs threads: its tests
# get the label "threaded" and the target threaded_tests builds it, which is all the
# ThreadSanitizer build (NAV_TSAN) builds and runs. Each suite named in ONE_PROCESS runs as one
# CTest test, all its tests in one process, so that a costly SetUpTestSuite runs once.
function(nav_test name)
  cmake_parse_arguments(T "THREADED" "TIMEOUT" "SOURCES;DEPENDS;ONE_PROCESS" ${ARGN})
  if((NAV_FUZZ AND NOT NAV_SANITIZE) OR (NAV_TSAN AND NOT T_THREADED))
    return()
  endif()
  if(NOT T_DEPENDS)
    message(FATAL_ERROR "nav_test(${name}) needs DEPENDS, the tested component first")
  endif()
  add_executable(${name} ${T_SOURCES})
  list(GET T_DEPENDS 0 tested)
  set_target_properties(${name} PROPERTIES NAV_STEP_OF ${tested} NAV_TEST ON)
  _nav_debugger_sources(${CMAKE_CURRENT_BINARY_DIR})
  _nav_no_fuzz_coverage(${name})
  if(NAV_UNITY_TESTS)
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_MODE BATCH
                                             UNITY_BUILD_BATCH_SIZE 0)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      # g++ warns of a class built on a type of an anonymous namespace (a test fixture) outside
      # the main source file, which every test source is in a unity build.
      target_compile_options(${name} PRIVATE -Wno-subobject-linkage)
    endif()
  endif()
  target_compile_options(${name} PRIVATE ${NAV_WARNINGS})
  if(NAV_SANITIZER_TESTS_O0 AND (NAV_SANITIZE OR NAV_TSAN))
    target_compile_options(${name} PRIVATE -O0)
  elseif(NAV_TESTS_O1)
    target_compile_options(${name} PRIVATE $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-O1>)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      # g++ at -O1 takes a std::optional's value as maybe uninitialised where it was tested
      # first; the sanitizer builds check the real cases.
      target_compile_options(
        ${name} PRIVATE $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-Wno-maybe-uninitialized>)
    endif()
  endif()
  target_link_libraries(${name} PRIVATE ${T_DEPENDS} GTest::gtest GTest::gtest_main
                                              Threads::Threads)
  _nav_reuse_pch(${name} nav_pch_test)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  nav_timeout(timeout ${T_TIMEOUT})
  set(properties TIMEOUT ${timeout})
  if(T_THREADED)
    list(APPEND properties LABELS threaded)
    if(NOT TARGET threaded_tests)
      add_custom_target(threaded_tests)
    endif()
    add_dependencies(threaded_tests ${name})
  endif()
  set(filter "")
  foreach(suite IN LISTS T_ONE_PROCESS)
    add_test(NAME ${suite} COMMAND ${name} --gtest_filter=${suite}.*)
    # A suite renamed away from its entry here would otherwise pass, running nothing.
    set_tests_properties(${suite} PROPERTIES ${properties}
                         FAIL_REGULAR_EXPRESSION "\\[==========\\] 0 tests from")
    string(APPEND filter ":${suite}.*")
  endforeach()
  if(filter)
    string(SUBSTRING "${filter}" 1 -1 filter)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "-${filter}"
                         PROPERTIES ${properties})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  endif()
endfunction()

# nav_fuzz(name SOURCES ... DEPENDS ...): a libFuzzer target, built only with NAV_FUZZ, at the
# step of its first dependency. Its test (label "fuzz") first runs every input of the committed
# corpus fuzz/corpus/<name>/ next to the calling file, then fuzzes for NAV_FUZZ_SECONDS (default
# 30, read when configuring; 0 only replays) from a copy of that corpus in the build folder.
function(nav_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;DEPENDS" ${ARGN})
  set(corpus ${CMAKE_CURRENT_LIST_DIR}/fuzz/corpus/${name})
  if(NOT IS_DIRECTORY ${corpus})
    message(FATAL_ERROR "nav_fuzz(${name}) needs its seed inputs in ${corpus}")
  endif()
  if(NOT NAV_FUZZ)
    return()
  endif()
  if(NOT F_DEPENDS)
    message(FATAL_ERROR "nav_fuzz(${name}) needs DEPENDS, the tested component first")
  endif()
  add_executable(${name} ${F_SOURCES})
  list(GET F_DEPENDS 0 tested)
  set_target_properties(${name} PROPERTIES NAV_STEP_OF ${tested})
  target_compile_options(${name} PRIVATE ${NAV_WARNINGS})
  target_link_libraries(${name} PRIVATE ${F_DEPENDS} Threads::Threads)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(seconds 30)
  if(DEFINED ENV{NAV_FUZZ_SECONDS})
    set(seconds $ENV{NAV_FUZZ_SECONDS})
  endif()
  if(NOT seconds MATCHES "^[0-9]+$")
    message(FATAL_ERROR "NAV_FUZZ_SECONDS must be a whole number of seconds, not '${seconds}'")
  endif()
  add_test(NAME fuzz.${name}
           COMMAND ${CMAKE_COMMAND} -DFUZZER=$<TARGET_FILE:${name}> -DCORPUS=${corpus}
                   -DWORK=${CMAKE_CURRENT_BINARY_DIR}/${name}_run -DSECONDS=${seconds}
                   -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/RunFuzzer.cmake)
  math(EXPR timeout "${seconds} + 300")
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT ${timeout})
endfunction()

# nav_bench(name SOURCES ... DEPENDS ...): a Google Benchmark executable.
# Builds the files target reads before it: each of the generating targets given that exists in
# this build.
function(nav_after_generated target)
  foreach(generated IN LISTS ARGN)
    if(TARGET ${generated})
      add_dependencies(${target} ${generated})
    endif()
  endforeach()
endfunction()

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
