# The metafile player of the skin pictures: on the platform only, so the controls can use it.
nav_component(mapdisplay_emf STEP 9
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/emfplayer.cpp
  DEPENDS platform_gdi
  PRIVATE_DEPENDS platform_files platform_kernel)

nav_test(mapdisplay_emf_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/emfplayer_test.cpp
  DEPENDS mapdisplay_emf testdata_emf testdata)

nav_fuzz(emfplayer_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/emfplayer_fuzz.cpp
  DEPENDS mapdisplay_emf testdata_emf testdata)
