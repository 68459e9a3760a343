# The program's files on a device root around a data folder (the application shell's tests).
nav_component(testdata_programfolder STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/programfolderwriter.cpp
  DEPENDS testdata_datafolder testdata platform_shell
  PRIVATE_DEPENDS platform_kernel)
