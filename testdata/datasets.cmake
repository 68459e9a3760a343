# Writer of address dataset folders and the recording retrieval engine, at the datasets' step.
nav_component(testdata_datasets STEP 2
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/datasetfolderwriter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recordingengine.cpp
  DEPENDS testdata testdata_tablefiles tablefiles_datasets retrievalengine_interfaces
          mapdisplay_geometry)
