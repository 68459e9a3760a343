# The crawler: the elements of one named feature, spread from one element.
nav_component(retrievalengine_crawler STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/rtecrawler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/crawlerhits.cpp
  DEPENDS retrievalengine_engine
  PRIVATE_DEPENDS platform_kernel app_geohelpers retrievalengine_searchfold tablefiles_collation
                  usefulcode_text)

nav_test(retrievalengine_crawler_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/rtecrawler_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/crawlerhits_test.cpp
  DEPENDS retrievalengine_crawler testdata_mapset testdata usefulcode_arena)
