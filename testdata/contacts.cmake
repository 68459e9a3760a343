# Writer of contacts files (vCard 2.1, 3.0 and 4.0, in the shapes of real exports) and the demo
# contacts.
nav_component(testdata_contacts STEP 0
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/vcardwriter.cpp)

# An engine answering address searches from lists in memory (for address resolution tests).
nav_component(testdata_gazetteer STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/gazetteerengine.cpp
  DEPENDS retrievalengine_engine)
