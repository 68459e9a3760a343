# The compiler cache and the source paths the objects carry. ccache's hashes leave out where the
# checkout lies: paths below the checkout count relative to the build folder
# (cmake/ccache-launcher.sh, ccache's base directory), the build folder itself is not hashed, and
# the objects carry no absolute path (the prefix maps below), so that a fresh clone finds what
# another clone compiled. Sources compiled with a precompiled header are cached only when ccache
# is told to accept them.
include_guard(GLOBAL)

# The checkout's physical path: a checkout reached through a symbolic link is spelled one way by
# CMake and another by the folder the compiler runs in.
file(REAL_PATH ${PROJECT_SOURCE_DIR} NAV_REAL_SOURCE_DIR)
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_CXX_COMPILER_LAUNCHER bash ${CMAKE_CURRENT_LIST_DIR}/ccache-launcher.sh
                                  ${CCACHE_PROGRAM} ${PROJECT_SOURCE_DIR} ${NAV_REAL_SOURCE_DIR})
  set(CMAKE_C_COMPILER_LAUNCHER ${CMAKE_CXX_COMPILER_LAUNCHER})
endif()
# Source paths in line tables, __FILE__ and sanitizer reports are relative to the checkout (the
# launcher names the compiler's working folder by the checkout's spelled path too). A debugger
# started in a test program's build folder finds them through the .gdbinit written there (nav_test
# in NavComponent.cmake).
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)
