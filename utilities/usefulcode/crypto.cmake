# Blowfish block cipher. blowfishinit.cpp is generated once by blowfishinit_generate.py.
nav_component(usefulcode_blowfish STEP 1
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/blowfish.cpp
    ${CMAKE_CURRENT_LIST_DIR}/blowfishinit.cpp)

nav_test(usefulcode_blowfish_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/blowfish_test.cpp
  DEPENDS usefulcode_blowfish)
