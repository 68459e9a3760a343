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
  PRIVATE_DEPENDS usefulcode_geohelpers retrievalengine_searchfold)

# The shared set-up of the tests over the converted extract, at the converter's step.
nav_headers(osm2nav_convert osmtests/convertedextract.h osmtests/extractchains.h
            osmtests/extractplaces.h)

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
# A test program over the shared extract, tools/osmtests/<name>.cpp. A suite named in ONE_PROCESS
# runs as one CTest test, all its tests in one process, which converts the extract once (a second
# or more under the sanitizers): a suite of light tests, or one whose set-up plays what its tests
# look at. The tests of a program whose suites are long (installs, whole drives of the program)
# are CTest tests of their own, each in a process of its own.
# The first of DEPENDS gives its build step. THREADED, as for nav_test, marks a program whose tests
# run threads (built and run under ThreadSanitizer); TIMEOUT as for nav_test.
function(nav_extract_test name)
  cmake_parse_arguments(ARG "THREADED" "TIMEOUT" "ONE_PROCESS;DEPENDS" ${ARGN})
  set(extra "")
  if(ARG_THREADED)
    list(APPEND extra THREADED)
  endif()
  if(ARG_TIMEOUT)
    list(APPEND extra TIMEOUT ${ARG_TIMEOUT})
  endif()
  if(ARG_ONE_PROCESS)
    list(APPEND extra ONE_PROCESS ${ARG_ONE_PROCESS})
  endif()
  nav_test(${name} ${extra}
    SOURCES ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/osmtests/${name}.cpp
    DEPENDS ${ARG_DEPENDS})
  if(TARGET ${name})
    target_compile_definitions(${name} PRIVATE NAV_OSM_EXTRACT="${NAV_OSM_EXTRACT}")
  endif()
endfunction()

# Defines NAV_DEMO_DATA for target: the folder NAV_DEMO_DATA_DIR names (the sanitizer builds
# take the normal build's), else this build's demo folder, made before target.
function(nav_demo_data target)
  if(NAV_DEMO_DATA_DIR)
    target_compile_definitions(${target} PRIVATE NAV_DEMO_DATA="${NAV_DEMO_DATA_DIR}")
  else()
    target_compile_definitions(${target} PRIVATE NAV_DEMO_DATA="${CMAKE_BINARY_DIR}/demo")
    nav_after_generated(${target} advisor_demo_data)
  endif()
endfunction()

nav_extract_test(osm2nav_test ONE_PROCESS SharedExtract
  DEPENDS osm2nav_convert routing_network routing_costs usefulcode_locations)
nav_extract_test(osmnetwork_test ONE_PROCESS SharedNetwork
  DEPENDS osm2nav_convert routing_network routing_costs)
# Routes with three levels against one level.
nav_extract_test(osmroutes_test ONE_PROCESS ExtractRoutes
  DEPENDS osm2nav_convert routing_router positioning_geodesy)
# Route positions.
nav_extract_test(osmpositions_test ONE_PROCESS ExtractPositions
  DEPENDS osm2nav_convert routing_position retrievalengine_engine usefulcode_geohelpers)
# Route requests of the route service, three levels.
nav_extract_test(osmservice_test ONE_PROCESS ExtractService
  DEPENDS osm2nav_convert routing_service retrievalengine_engine positioning_geodesy
          usefulcode_geohelpers testdata_worldmapset)
# The advisor's junction analysis on routes.
nav_extract_test(osmadvice_test ONE_PROCESS ExtractAdvice
  DEPENDS osm2nav_convert advisor_rules routing_service retrievalengine_engine)
# The staged calculation, three levels.
nav_extract_test(osmstaged_test ONE_PROCESS ExtractStaged
  DEPENDS osm2nav_convert routing_service retrievalengine_engine positioning_geodesy)
# The map matcher's street graph, walks and noisy drives along routes.
nav_extract_test(osmmatcher_test ONE_PROCESS ExtractMatcher
  DEPENDS positioning_matcher osm2nav_convert retrievalengine_engine positioning_gps
          routing_service usefulcode_settings testdata testdata_gpsfixes platform_kernel)
# The GPS demo drive replayed through the GPS manager.
nav_extract_test(osmgpsdemo_test ONE_PROCESS ExtractGpsDemo
  DEPENDS positioning_manager osm2nav_convert gpsdemo_steps retrievalengine_engine)
if(TARGET osmgpsdemo_test)
  target_compile_definitions(osmgpsdemo_test PRIVATE
                             NAV_DEZIV_INI="${PROJECT_SOURCE_DIR}/positioning/data/deziv.ini")
endif()
# The trip logbook fed by the GPS demo drive, three levels.
nav_extract_test(osmlogbook_test ONE_PROCESS ExtractLogbook
  DEPENDS app_logbook positioning_manager osm2nav_convert gpsdemo_steps retrievalengine_engine
          app_receiver platform_window_testdriver)
if(TARGET osmlogbook_test)
  target_compile_definitions(osmlogbook_test PRIVATE
                             NAV_DEZIV_INI="${PROJECT_SOURCE_DIR}/positioning/data/deziv.ini")
endif()
# Simulated drives advised all the way, spoken through the build's demo voices, or those of the
# build named by NAV_DEMO_DATA_DIR.
nav_extract_test(osmdrive_test ONE_PROCESS ExtractDrive
  DEPENDS osm2nav_convert advisor_core advisor_voice routing_service retrievalengine_engine
          testdata_drive platform_sfs)
if(TARGET osmdrive_test)
  nav_demo_data(osmdrive_test)
endif()
# The junction view's computed model for every advice of a simulated drive.
nav_extract_test(osmjunctionview_test ONE_PROCESS ExtractJunctionView
  DEPENDS junctionview_paint junctionview_model osm2nav_convert advisor_core routing_service
          retrievalengine_engine mapdisplay_facade testdata_drive testdata_golden)
if(TARGET osmjunctionview_test)
  target_compile_definitions(osmjunctionview_test PRIVATE
                             NAV_JUNCTIONVIEW_DIR="${PROJECT_SOURCE_DIR}/junctionview")
  nav_demo_data(osmjunctionview_test)
endif()
# TMC locations along a street, a blocking message turning routes away, and messages listed in
# the order of the TMC message dialog (at the step of the dialog's listing order, the last
# component it tests).
nav_extract_test(osmtmc_test ONE_PROCESS ExtractTmc
  DEPENDS app_tmc onboard_traffic traffic_tmcmessage osm2nav_convert traffic_receiver
          testdata_tmctables testdata retrievalengine_engine routing_service ui_tmcmonitor)
# The navigation server on the extract as its database, with TMC tables along a road of a route.
nav_extract_test(osmserver_test ONE_PROCESS ExtractServer
  DEPENDS onboard_server osm2nav_convert testdata_tmctables testdata_worldmapset testdata
          retrievalengine_engine traffic_receiver)
if(TARGET osmserver_test)
  target_compile_definitions(osmserver_test PRIVATE NAV_DEMO_DATA="${CMAKE_BINARY_DIR}/demo"
                             NAV_DEZIV_INI="${PROJECT_SOURCE_DIR}/positioning/data/deziv.ini"
                             NAV_ADVISOR_DATA_DIR="${PROJECT_SOURCE_DIR}/advisor/data")
  nav_after_generated(osmserver_test advisor_demo_data)
endif()
# A map view following the GPS demo drive of a route through the real server; frames land in
# the build folder.
nav_extract_test(osmmapview_test ONE_PROCESS ExtractMapView
  DEPENDS mapdisplay_mapview onboard_server osm2nav_convert testdata_worldmapset testdata
          retrievalengine_engine platform_gdi platform_window platform_window_testdriver)
if(TARGET osmmapview_test)
  target_compile_definitions(osmmapview_test PRIVATE NAV_DEMO_DATA="${CMAKE_BINARY_DIR}/demo"
                             NAV_DEZIV_INI="${PROJECT_SOURCE_DIR}/positioning/data/deziv.ini"
                             NAV_ADVISOR_DATA_DIR="${PROJECT_SOURCE_DIR}/advisor/data")
  nav_after_generated(osmmapview_test advisor_demo_data)
endif()
# The painter drawing the extract around Vaduz; the frames land in the build folder.
nav_extract_test(osmpainter_test ONE_PROCESS ExtractPainter
  DEPENDS mapdisplay_painter osm2nav_convert retrievalengine_engine testdata platform_gdi)
# The map display facade loading osm2nav's level file and drawing Vaduz by day and night.
nav_extract_test(osmfacade_test ONE_PROCESS ExtractFacade
  DEPENDS mapdisplay_facade osm2nav_convert retrievalengine_engine testdata platform_gdi)
# The traffic overlay drawing a closure along the longest chained street of Vaduz.
nav_extract_test(osmoverlay_test ONE_PROCESS ExtractOverlay
  DEPENDS mapdisplay_overlay osm2nav_convert retrievalengine_engine traffic_receiver
          testdata_tmctables testdata platform_gdi platform_window platform_window_testdriver)
# The application started on the extract as its database, up to the main menu.
nav_extract_test(osmnavigator_test ONE_PROCESS ExtractNavigator
  DEPENDS app_startup app_modes app_tourlists osm2nav_convert testdata_programfolder testdata platform_window
          platform_window_testdriver retrievalengine_engine testdata_worldmapset usefulcode_files
          advisor_core platform_shell testdata_tmctables traffic_receiver traffic_messagestore)
if(TARGET osmnavigator_test)
  target_compile_definitions(osmnavigator_test PRIVATE NAV_DEMO_DATA="${CMAKE_BINARY_DIR}/demo"
                             NAV_LANGUAGES_DIR="${CMAKE_BINARY_DIR}/languages"
    NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini")
  nav_after_generated(osmnavigator_test advisor_demo_data language_bundles screen_descriptions)
endif()
# The stored destination lists and their page over the extract: records taken back to streets
# and points of interest, and the categories' search in a city.
nav_extract_test(osmdestinations_test ONE_PROCESS ExtractDestinations
  DEPENDS app_destinations app_testing osm2nav_convert onboard_server retrievalengine_engine
          testdata_destinations testdata platform_window_testdriver)
if(TARGET osmdestinations_test)
  target_compile_definitions(osmdestinations_test PRIVATE NAV_DEMO_DATA="${CMAKE_BINARY_DIR}/demo"
    NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini"
    NAV_POI_CATEGORY_DIR="${CMAKE_BINARY_DIR}/languages")
  add_dependencies(osmdestinations_test poi_categories language_bundles)
  nav_after_generated(osmdestinations_test advisor_demo_data)
endif()

# The contact destination page over the extract: a contact's address resolved to city and street.
nav_extract_test(osmcontacts_test ONE_PROCESS ExtractContacts
  DEPENDS app_contacts app_destinations osm2nav_convert onboard_server retrievalengine_engine
          testdata_contacts testdata)
if(TARGET osmcontacts_test)
  target_compile_definitions(osmcontacts_test PRIVATE NAV_DEMO_DATA="${CMAKE_BINARY_DIR}/demo"
    NAV_LANGUAGE_DIR="${CMAKE_BINARY_DIR}/languages")
  add_dependencies(osmcontacts_test language_bundles)
  nav_after_generated(osmcontacts_test advisor_demo_data)
endif()

# The navigation map page guiding the demo drive of a route over the extract through the real
# server; frames in picture and arrow mode land in the build folder.
nav_extract_test(osmmappage_test THREADED ONE_PROCESS ExtractMapPage
  DEPENDS app_mappages app_testing app_startup onboard_server osm2nav_convert testdata_worldmapset
          retrievalengine_engine testdata platform_gdi platform_window platform_window_testdriver)
if(TARGET osmmappage_test)
  target_compile_definitions(osmmappage_test PRIVATE NAV_DEMO_DATA="${CMAKE_BINARY_DIR}/demo"
    NAV_DEZIV_INI="${PROJECT_SOURCE_DIR}/positioning/data/deziv.ini"
    NAV_ADVISOR_DATA_DIR="${PROJECT_SOURCE_DIR}/advisor/data"
    NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini")
  nav_after_generated(osmmappage_test advisor_demo_data)
endif()

# The tour list's store matched on the extract again, and the route list's demonstration drive
# replayed through the real server until guidance starts.
nav_extract_test(osmtourlists_test THREADED ONE_PROCESS ExtractTourLists
  DEPENDS app_tourlists app_testing osm2nav_convert onboard_server mapdisplay_facade
          retrievalengine_engine testdata_destinations testdata platform_window_testdriver)
if(TARGET osmtourlists_test)
  target_compile_definitions(osmtourlists_test PRIVATE NAV_DEMO_DATA="${CMAKE_BINARY_DIR}/demo"
    NAV_DEZIV_INI="${PROJECT_SOURCE_DIR}/positioning/data/deziv.ini"
    NAV_ADVISOR_DATA_DIR="${PROJECT_SOURCE_DIR}/advisor/data"
    NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini")
  nav_after_generated(osmtourlists_test advisor_demo_data)
endif()

# The modes made by the shell's factories over the extract with the real server: an address
# typed in German routed from a replayed fix and guided to arrival, a tour, a TMC closure
# re-planned around, a contact's address routed; frames land in the build folder.
nav_extract_test(osmmodes_test THREADED ONE_PROCESS ExtractModes
  DEPENDS app_modes app_testing app_destinations app_mappages app_tourlists app_settings
          app_contacts osm2nav_convert onboard_server mapdisplay_facade retrievalengine_engine
          testdata_tmctables testdata_contacts testdata_worldmapset traffic_receiver testdata
          platform_gdi
          platform_window platform_window_testdriver)
if(TARGET osmmodes_test)
  target_compile_definitions(osmmodes_test PRIVATE NAV_DEMO_DATA="${CMAKE_BINARY_DIR}/demo"
    NAV_DEZIV_INI="${PROJECT_SOURCE_DIR}/positioning/data/deziv.ini"
    NAV_ADVISOR_DATA_DIR="${PROJECT_SOURCE_DIR}/advisor/data"
    NAV_LANGUAGES_DIR="${CMAKE_BINARY_DIR}/languages"
    NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini")
  nav_after_generated(osmmodes_test advisor_demo_data language_bundles screen_descriptions)
endif()

# The demo install laid out around the converted extract: its files, the TMC line along the demo
# route turning the route away once the RDS file's closure is received, and the old install kept
# when the new one cannot be made.
if(TARGET demoinstall)
  nav_extract_test(osminstall_test
    DEPENDS demoinstall onboard_server osm2nav_convert retrievalengine_engine routing_service
            traffic_receiver traffic_tmcdata testdata_programfolder testdata_destinations
            testdata_contacts testdata)
  if(TARGET osminstall_test)
    nav_demo_data(osminstall_test)
    target_compile_definitions(osminstall_test PRIVATE
      NAV_LANGUAGES_DIR="${CMAKE_BINARY_DIR}/languages"
      NAV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
      NAV_DEZIV_INI="${PROJECT_SOURCE_DIR}/positioning/data/deziv.ini"
      NAV_ADVISOR_DATA_DIR="${PROJECT_SOURCE_DIR}/advisor/data")
    nav_after_generated(osminstall_test advisor_demo_data junctionview_demo_data language_bundles
                        poi_categories skin_pictures)
  endif()
endif()

# The navigator program on a demo install in each language besides German: a scenario script a
# language (resources/scenarios/), its main menu golden and its first advice from its voices; and
# the script of every page, button and key (pages.txt) in German and French. ExtractExplore: the
# explorer's fixed seeds in the six languages, a test of its own beside the others.
if(TARGET demoinstall)
  nav_extract_test(osmlanguages_test TIMEOUT 300
    DEPENDS demoinstall osm2nav_convert testdata testdata_golden platform_sfs platform_sound)
  if(TARGET osmlanguages_test)
    nav_demo_data(osmlanguages_test)
    target_compile_definitions(osmlanguages_test PRIVATE
      NAV_LANGUAGES_DIR="${CMAKE_BINARY_DIR}/languages"
      NAV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
      NAV_NAVIGATOR_PROGRAM="$<IF:$<TARGET_EXISTS:navigator>,$<TARGET_FILE:navigator>,navigator>")
    nav_after_generated(osmlanguages_test advisor_demo_data junctionview_demo_data
                        language_bundles poi_categories skin_pictures navigator)
  endif()
endif()

# The device recipe of README.md followed line by line, the English scenario routed on it.
if(TARGET navigator AND NOT NAV_SANITIZE AND NOT NAV_FUZZ AND NOT NAV_TSAN)
  add_test(NAME readme.device_recipe
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/tests/devicerecipe_test.sh ${PROJECT_SOURCE_DIR}
            ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_BINARY_DIR}/devicerecipe_check)
  set_tests_properties(readme.device_recipe PROPERTIES TIMEOUT 120
    PASS_REGULAR_EXPRESSION "the English scenario routed on it" FAIL_REGULAR_EXPRESSION "FAILED")
endif()
