# osm2nav: converts an OpenStreetMap extract (read with libosmium) into a device data folder
# through the test-data writers, reading every file back with the system's readers.
find_package(ZLIB REQUIRED)
find_package(BZip2 REQUIRED)
find_package(EXPAT REQUIRED)
find_package(Threads REQUIRED)

nav_component(osm2nav_convert STEP 5
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/osm/osmmapping.cpp
    ${CMAKE_CURRENT_LIST_DIR}/osm/osmconvert.cpp
    ${CMAKE_CURRENT_LIST_DIR}/osm/osmaddressindex.cpp
    ${CMAKE_CURRENT_LIST_DIR}/osm/osmcookies.cpp
    ${CMAKE_CURRENT_LIST_DIR}/osm/osmhousenumbers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/osm/osmadvisor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/osm/osmnetwork.cpp
    ${CMAKE_CURRENT_LIST_DIR}/osm/osmbaseline.cpp
  DEPENDS routing_network retrievalengine_engine retrievalengine_cities tablefiles_datasets
          testdata_roadnetwork testdata_mapset testdata_datasets testdata_cityindex testdata_addressindex testdata
          usefulcode_arena advisor_configuration platform_sfs platform_sound
          ZLIB::ZLIB BZip2::BZip2 EXPAT::EXPAT Threads::Threads
  PRIVATE_DEPENDS app_geohelpers retrievalengine_searchfold)

# libosmium's inlined builders trip GCC's string overread analysis.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(osm2nav_convert PRIVATE -Wno-stringop-overread)
endif()

add_executable(osm2nav ${CMAKE_CURRENT_LIST_DIR}/osm2nav.cpp)
target_compile_options(osm2nav PRIVATE ${NAV_WARNINGS})
target_link_libraries(osm2nav PRIVATE osm2nav_convert)
target_compile_definitions(osm2nav PRIVATE NAV_DEMO_DATA="${CMAKE_BINARY_DIR}/demo")

set(NAV_OSM_EXTRACT ${CMAKE_CURRENT_LIST_DIR}/data/osm/liechtenstein-2013-08-03.osm.pbf
    CACHE FILEPATH "The OpenStreetMap extract the data tool's tests convert")
# The suites on the shared extract convert it once, in one process each.
foreach(test osm2nav_test osmnetwork_test)
  if(test STREQUAL "osm2nav_test")
    set(shared SharedExtract)
  else()
    set(shared SharedNetwork)
  endif()
  nav_test(${test}
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/osmtests/${test}.cpp
    DEPENDS osm2nav_convert routing_network routing_costs
    ONE_PROCESS ${shared})
  if(TARGET ${test})
    target_compile_definitions(${test} PRIVATE NAV_OSM_EXTRACT="${NAV_OSM_EXTRACT}")
  endif()
endforeach()
# Routes on the shared extract with three levels against one level, converted once.
nav_test(osmroutes_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/osmtests/osmroutes_test.cpp
  DEPENDS osm2nav_convert routing_router positioning_geodesy
  ONE_PROCESS ExtractRoutes)
if(TARGET osmroutes_test)
  target_compile_definitions(osmroutes_test PRIVATE NAV_OSM_EXTRACT="${NAV_OSM_EXTRACT}")
endif()
# Route positions on the shared extract, converted once.
nav_test(osmpositions_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/osmtests/osmpositions_test.cpp
  DEPENDS osm2nav_convert routing_position retrievalengine_engine app_geohelpers
  ONE_PROCESS ExtractPositions)
if(TARGET osmpositions_test)
  target_compile_definitions(osmpositions_test PRIVATE NAV_OSM_EXTRACT="${NAV_OSM_EXTRACT}")
endif()
# Route requests of the route service on the shared extract with three levels, converted once.
nav_test(osmservice_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/osmtests/osmservice_test.cpp
  DEPENDS osm2nav_convert routing_service retrievalengine_engine positioning_geodesy
          app_geohelpers testdata_worldmapset
  ONE_PROCESS ExtractService)
if(TARGET osmservice_test)
  target_compile_definitions(osmservice_test PRIVATE NAV_OSM_EXTRACT="${NAV_OSM_EXTRACT}")
endif()
# The advisor's junction analysis on routes of the shared extract, converted once.
nav_test(osmadvice_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/osmtests/osmadvice_test.cpp
  DEPENDS osm2nav_convert advisor_rules routing_service retrievalengine_engine
  ONE_PROCESS ExtractAdvice)
if(TARGET osmadvice_test)
  target_compile_definitions(osmadvice_test PRIVATE NAV_OSM_EXTRACT="${NAV_OSM_EXTRACT}")
endif()
# The staged calculation on the shared extract with three levels, converted once.
nav_test(osmstaged_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/osmtests/osmstaged_test.cpp
  DEPENDS osm2nav_convert routing_service retrievalengine_engine positioning_geodesy
  ONE_PROCESS ExtractStaged)
if(TARGET osmstaged_test)
  target_compile_definitions(osmstaged_test PRIVATE NAV_OSM_EXTRACT="${NAV_OSM_EXTRACT}")
endif()
# The map matcher's street graph on the shared extract, converted once.
nav_test(osmmatcher_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/osmtests/osmmatcher_test.cpp
  DEPENDS positioning_matcher osm2nav_convert retrievalengine_engine positioning_gps
          usefulcode_settings testdata platform_kernel
  ONE_PROCESS ExtractMatcher)
if(TARGET osmmatcher_test)
  target_compile_definitions(osmmatcher_test PRIVATE NAV_OSM_EXTRACT="${NAV_OSM_EXTRACT}")
endif()
# Simulated drives advised all the way on the shared extract, converted once.
nav_test(osmdrive_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/osmtests/osmdrive_test.cpp
  DEPENDS osm2nav_convert advisor_core advisor_voice routing_service retrievalengine_engine
          testdata_drive platform_sfs
  ONE_PROCESS ExtractDrive)
if(TARGET osmdrive_test)
  target_compile_definitions(osmdrive_test PRIVATE NAV_OSM_EXTRACT="${NAV_OSM_EXTRACT}"
                                                 NAV_DEMO_DATA="${CMAKE_BINARY_DIR}/demo")
  # The drives speak through the build's demo voices.
  if(TARGET advisor_demo_data)
    add_dependencies(osmdrive_test advisor_demo_data)
  endif()
endif()
# TMC locations along a street of the shared extract, converted once (at the step of the TMC
# messages it tests).
nav_test(osmtmc_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/osmtests/osmtmc_test.cpp
  DEPENDS traffic_tmcmessage osm2nav_convert traffic_receiver testdata_tmctables testdata
          retrievalengine_engine
  ONE_PROCESS ExtractTmc)
if(TARGET osmtmc_test)
  target_compile_definitions(osmtmc_test PRIVATE NAV_OSM_EXTRACT="${NAV_OSM_EXTRACT}")
endif()
