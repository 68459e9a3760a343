# Writer of contacts files (vCard 3.0 and 4.0) and the demo contacts.
nav_component(testdata_contacts STEP 0
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/vcardwriter.cpp)
