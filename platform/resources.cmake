# Shell services of the platform (platform_shell): module file names, the open-file dialog,
# process start, and the language resource libraries with LoadStringW over resource bundles.
nav_component(platform_shell STEP 0
  SOURCES
    dialogs.cpp
    modulepath.cpp
    process.cpp
    resourcebundle.cpp
    resources.cpp
  DEPENDS platform_files platform_kernel)
nav_builtin_module(platform_shell NavBuiltinModule_LanguageLibraries)

nav_test(platform_shell_test
  SOURCES
    tests/dialogs_test.cpp
    tests/modulepath_test.cpp
    tests/process_test.cpp
    tests/resourcebundle_test.cpp
    tests/resources_test.cpp
  DEPENDS platform_shell testdata)

nav_fuzz(resourcebundle_fuzz
  SOURCES
    fuzz/resourcebundle_fuzz.cpp
  DEPENDS platform_shell)
