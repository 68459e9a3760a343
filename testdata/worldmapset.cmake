#The map set of a road world with its address index, and matched positions(step 3 : the
#matched position is the position pipeline's record).
nav_component(testdata_worldmapset STEP 3 SOURCES ${CMAKE_CURRENT_LIST_DIR} /
              matchedpositionbuilder.cpp ${CMAKE_CURRENT_LIST_DIR} /
              worldmapset.cpp ${CMAKE_CURRENT_LIST_DIR} / bentlinks.cpp ${CMAKE_CURRENT_LIST_DIR} /
              junctionscenarios.cpp DEPENDS testdata_roadnetwork testdata_mapset
                  testdata_addressindex testdata_cityindex testdata positioning_types)

#Device data folders of whole databases for the navigation server's tests.
    nav_component(testdata_datafolder STEP 3 SOURCES ${CMAKE_CURRENT_LIST_DIR} /
                  datafolderwriter.cpp DEPENDS testdata_worldmapset testdata_roadnetwork
                      testdata_datasets testdata_tmctables testdata platform_kernel)

#Junction scenarios opened and routed by the route service(step 4, on the route service).
        nav_component(testdata_routedscenario STEP 4 SOURCES ${CMAKE_CURRENT_LIST_DIR} /
                      routedscenario.cpp DEPENDS testdata_worldmapset routing_service
                          retrievalengine_interfaces testdata PRIVATE_DEPENDS retrievalengine_engine
                              usefulcode_cache)
