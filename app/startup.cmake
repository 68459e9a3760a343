# The application shell: start-up, the main menu window, the presettings record and the cache
# budget, and the executable "navigator".
nav_component(app_startup STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/startup/gpssimulationdlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/headlessanswers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/mainmenucommands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/mainmenuwnd.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/modalwindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/navapp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/preferences.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/replayfilecheck.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/splashwnd.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/voicepointer.cpp
  DEPENDS app_receiver app_logbook onboard_server mapdisplay_facade ui_layout ui_dialogs ui_lists usefulcode_framework
    advisor_voice
  PRIVATE_DEPENDS app_contacts app_tmc ui_tmcmonitor ui_skin usefulcode_settings usefulcode_files usefulcode_cache
    usefulcode_arena usefulcode_locations positioning_receiver traffic_receiver platform_receiver
    platform_files platform_window
    platform_gdi platform_shell platform_sound platform_kernel)

if(TARGET platform_gdi_sdl AND NOT (NAV_FUZZ AND NOT NAV_SANITIZE))
  add_executable(navigator ${CMAKE_CURRENT_LIST_DIR}/startup/navigatormain.cpp)
  target_compile_options(navigator PRIVATE ${NAV_WARNINGS})
  target_link_libraries(navigator PRIVATE app_startup app_settings app_scenario platform_gdi_sdl platform_files
                        platform_window platform_gdi platform_shell platform_kernel)
  target_link_libraries(navigator PRIVATE app_modes)
  if(TARGET language_bundles)
    add_dependencies(navigator language_bundles)
  endif()
  if(TARGET screen_descriptions)
    add_dependencies(navigator screen_descriptions)
  endif()
endif()

nav_test(app_startup_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/startup/tests/gpssimulationdlg_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/tests/modes_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/tests/preferences_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/tests/presettings_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/tests/logbookshell_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/tests/mainmenu_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/tests/menulook_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup/tests/startup_test.cpp
  DEPENDS app_startup app_settings mapdisplay_facade usefulcode_arena ui_tmcmonitor testdata
    testdata_programfolder testdata_golden platform_window_testdriver platform_sound)
if(TARGET app_startup_test)
  target_compile_definitions(app_startup_test PRIVATE
    NAV_LANGUAGES_DIR="${CMAKE_BINARY_DIR}/languages"
    NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini"
    NAV_APP_STARTUP_DIR="${CMAKE_CURRENT_LIST_DIR}/startup"
    NAV_NAVIGATOR_PROGRAM="$<IF:$<TARGET_EXISTS:navigator>,$<TARGET_FILE:navigator>,navigator>")
  nav_after_generated(app_startup_test language_bundles screen_descriptions navigator)
  if(TARGET viewerprobe)
    add_dependencies(app_startup_test viewerprobe)
    target_compile_definitions(app_startup_test PRIVATE
      NAV_VIEWER_PROBE="$<TARGET_FILE:viewerprobe>")
  endif()
endif()

# The TMC store's signals from other threads (also run under ThreadSanitizer).
nav_test(app_startup_threaded_test THREADED
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/startup/tests/tmcsignals_threaded_test.cpp
  DEPENDS app_startup testdata testdata_programfolder testdata_tmctables traffic_tmcmessage
    ui_tmcmonitor usefulcode_cache platform_window_testdriver)
if(TARGET app_startup_threaded_test)
  target_compile_definitions(app_startup_threaded_test PRIVATE
    NAV_LANGUAGES_DIR="${CMAKE_BINARY_DIR}/languages"
    NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini")
  if(TARGET language_bundles)
    add_dependencies(app_startup_threaded_test language_bundles)
  endif()
endif()

# The program in the visible SDL2 window, under a virtual X display when xvfb-run is there.
if(TARGET navigator)
  add_executable(app_startup_visible_test
    ${CMAKE_CURRENT_LIST_DIR}/startup/tests/visiblestart_test.cpp)
  target_compile_options(app_startup_visible_test PRIVATE ${NAV_WARNINGS})
  target_link_libraries(app_startup_visible_test PRIVATE app_startup platform_gdi_sdl testdata
    testdata_programfolder testdata_xsession platform_window_testdriver GTest::gtest
    GTest::gtest_main Threads::Threads)
  target_compile_definitions(app_startup_visible_test PRIVATE
    NAV_LANGUAGES_DIR="${CMAKE_BINARY_DIR}/languages"
    NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini"
    NAV_NAVIGATOR_PROGRAM="$<TARGET_FILE:navigator>")
  add_dependencies(app_startup_visible_test navigator)
  find_program(XVFB_RUN xvfb-run)
  if(XVFB_RUN)
    add_test(NAME app_startup_visible_test
             COMMAND ${XVFB_RUN} -a $<TARGET_FILE:app_startup_visible_test>)
  else()
    add_test(NAME app_startup_visible_test COMMAND app_startup_visible_test)
  endif()
  # The X and SDL libraries keep allocations to the end of the process. With four copies at once
  # on two cores under the sanitizers the program takes about 70 s.
  nav_timeout(timeout 240)
  set_tests_properties(app_startup_visible_test PROPERTIES TIMEOUT ${timeout}
                       ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0;SDL_AUDIODRIVER=dummy")
endif()
