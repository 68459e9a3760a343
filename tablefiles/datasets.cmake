# Address datasets (step 2): the shared address interfaces and the engine interface they hand
# unanswered questions to (header only), and the dataset folder's tables, streets and cursors.
add_library(tablefiles_interfaces INTERFACE)
set_target_properties(tablefiles_interfaces PROPERTIES NAV_STEP 2)
target_include_directories(tablefiles_interfaces INTERFACE ${PROJECT_SOURCE_DIR})
target_link_libraries(tablefiles_interfaces INTERFACE mapdisplay_geometry six
                      tablefiles_housenumber usefulcode_cache)

nav_component(tablefiles_datasets STEP 2
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/datasettable.cpp
    ${CMAKE_CURRENT_LIST_DIR}/datasetsimpl.cpp
    ${CMAKE_CURRENT_LIST_DIR}/datasetstreet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/datasetcursors.cpp
  DEPENDS tablefiles_interfaces retrievalengine_interfaces tablefiles_fsr usefulcode_signals
  PRIVATE_DEPENDS usefulcode_settings usefulcode_locations usefulcode_text)
nav_headers(tablefiles_datasets detail/datasettext.h)

nav_test(tablefiles_datasets_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/datasets_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/datasetstreet_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/datasetlayouts_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/datasets_threads_test.cpp
  DEPENDS tablefiles_datasets testdata_datasets usefulcode_arena)

nav_fuzz(tablefiles_datasets_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fuzz/datasettables_fuzz.cpp
  DEPENDS tablefiles_datasets testdata_datasets testdata_memoryfile usefulcode_arena)
