# Enhanced metafiles of the skin pictures' record subset.
nav_component(testdata_emf STEP 0
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/emfwriter.cpp)
