# Files, paths, wide streams, mapping, virtual memory, modules and error texts (platform_files),
# and the archive library "ziVur.dll" (platform_sfs).

# nav_builtin_module(target anchor): keeps the source file that registers a built-in module
# (platform/modules.h) linked into every program that links target; anchor is an extern "C"
# function defined in that file.
function(nav_builtin_module target anchor)
  target_link_options(${target} INTERFACE "LINKER:--undefined=${anchor}")
endfunction()

nav_component(platform_files STEP 0
  SOURCES
    errors.cpp
    files.cpp
    filesdirectory.cpp
    filesio.cpp
    mapping.cpp
    memory.cpp
    modules.cpp
    paths.cpp
    stdio.cpp
  DEPENDS platform_kernel)

nav_component(platform_sfs STEP 0
  SOURCES
    sfs.cpp
    sfsformat.cpp
  DEPENDS platform_files)
nav_builtin_module(platform_sfs NavBuiltinModule_ziVur)

nav_test(platform_files_test
  SOURCES
    tests/errors_test.cpp
    tests/files_test.cpp
    tests/mapping_test.cpp
    tests/memory_test.cpp
    tests/modules_test.cpp
    tests/paths_test.cpp
    tests/stdio_test.cpp
  DEPENDS platform_files testdata)

nav_test(platform_sfs_test
  SOURCES
    tests/sfs_test.cpp
    tests/sfsformat_test.cpp
  DEPENDS platform_sfs testdata)

nav_fuzz(sfs_fuzz
  SOURCES
    fuzz/sfs_fuzz.cpp
  DEPENDS platform_sfs testdata)
