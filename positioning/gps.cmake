# The sentence parser and the GPS receiver (handle, replay file or receiver library), with the
# GPS settings "deziv.ini" of the demo data.
nav_component(positioning_gps STEP 6
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/sentenceparser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gpsreceiver.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gpssettings.cpp
  DEPENDS positioning_types positioning_receiver usefulcode_signals usefulcode_framework six
  PRIVATE_DEPENDS usefulcode_settings platform_files platform_kernel)

nav_test(positioning_gps_test THREADED
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/sentenceparser_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/gpsreceiver_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/gpsreceiverlibrary_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/gpsdecode_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/receivermixes_test.cpp
  DEPENDS positioning_gps usefulcode_settings platform_window_testdriver testdata
          testdata_gpsfixes)

nav_fuzz(sentence_feed_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/sentence_feed_fuzz.cpp
  DEPENDS positioning_gps usefulcode_settings)

nav_fuzz(sentence_load_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/sentence_load_fuzz.cpp
  DEPENDS positioning_gps usefulcode_settings)

# "deziv.ini" goes with the demo data, which only the normal build makes.
if(NOT NAV_SANITIZE AND NOT NAV_FUZZ AND NOT NAV_TSAN)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/demo/deziv.ini
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/data/deziv.ini
            ${CMAKE_BINARY_DIR}/demo/deziv.ini
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/data/deziv.ini
    COMMENT "Copying the demo deziv.ini"
    VERBATIM)
  add_custom_target(positioning_demo_data ALL DEPENDS ${CMAKE_BINARY_DIR}/demo/deziv.ini)
endif()
if(TARGET positioning_gps_test)
  target_compile_definitions(positioning_gps_test
                             PRIVATE NAV_DEZIV_INI="${CMAKE_CURRENT_LIST_DIR}/data/deziv.ini")
endif()
