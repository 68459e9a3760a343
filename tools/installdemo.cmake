# installdemo: lays out the demo install, <build>/install/, as a device root around the folder
# osm2nav wrote (scripts/install-demo.sh converts the extract and runs it).
# The list of an install's own files, read by the installer and the fuzz target.
nav_component(demoinstall_list STEP 8
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/install/installedfiles.cpp)
nav_fuzz(installedfiles_fuzz
  SOURCES fuzz/installedfiles_fuzz.cpp
  DEPENDS demoinstall_list)

if(TARGET onboard_traffic)
  nav_component(demoinstall STEP 8
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/install/demoinstall.cpp
            ${CMAKE_CURRENT_LIST_DIR}/install/helpviewer.cpp
            ${CMAKE_CURRENT_LIST_DIR}/install/installswap.cpp
            ${CMAKE_CURRENT_LIST_DIR}/install/userfiles.cpp
    DEPENDS demoinstall_list retrievalengine_engine routing_service testdata_programfolder
            testdata_tmctables testdata osm2nav_convert
    PRIVATE_DEPENDS onboard_config onboard_traffic traffic_tmcdata traffic_tmcmessage usefulcode_cache
                    usefulcode_settings platform_files platform_kernel)

  add_executable(installdemo ${CMAKE_CURRENT_LIST_DIR}/installdemo.cpp)
  target_compile_options(installdemo PRIVATE ${NAV_WARNINGS})
  target_link_libraries(installdemo PRIVATE demoinstall)
  # The set-up of the tests that run the program on the demo install, at the install's step.
  nav_headers(demoinstall osmtests/installedextract.h)
endif()

# The install script on a build folder of its own around this build's data tools: a data folder
# that is not the current conversion of the extract is replaced only when it is the script's own,
# and a failed conversion leaves it and the old install as they were. The explorer script beside a
# stand-in install: its summary of failed seeds, one run at a time in a build folder.
if(TARGET installdemo AND NOT NAV_SANITIZE AND NOT NAV_FUZZ AND NOT NAV_TSAN)
  nav_test(install_script_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/installscript_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/tests/explorescript_test.cpp
    DEPENDS osm2nav_convert testdata)
  target_compile_definitions(install_script_test PRIVATE NAV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                             NAV_BUILD_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(install_script_test osm2nav installdemo)
  nav_after_generated(install_script_test advisor_demo_data)
endif()

# The main job leaves the user's install as it was and plays the German scenario on a fresh
# install of its own, twice, on a build folder of its own around this build's programs and data.
if(TARGET installdemo AND TARGET navigator AND NOT NAV_SANITIZE AND NOT NAV_FUZZ AND NOT NAV_TSAN)
  add_test(NAME installdemo.main_job_leaves_the_install
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/tests/mainjob_test.sh ${PROJECT_SOURCE_DIR}
            ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_BINARY_DIR}/mainjob_check)
  set_tests_properties(installdemo.main_job_leaves_the_install PROPERTIES TIMEOUT 300
    PASS_REGULAR_EXPRESSION "the install unchanged, the scenario passed twice"
    FAIL_REGULAR_EXPRESSION "FAILED")
endif()

# The checks of the source resources the install takes: the six language sources, the voice
# script, the page layout and the captions that must fit its rectangles, the dialogs' backgrounds
# in the program's skin folder (skin_pictures), every button's caption on what the skin and the
# bundles' pictures put under it, and every string id the program's sources load.
nav_test(install_checks_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/installchecks_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/tests/stringids_test.cpp
  DEPENDS ui_skin usefulcode_locations platform_shell platform_files testdata platform_kernel
          platform_gdi)
if(TARGET install_checks_test)
  target_compile_definitions(install_checks_test PRIVATE NAV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                             NAV_SKIN_DIR="${CMAKE_BINARY_DIR}/languages/Bitmaps"
                             NAV_SKIN_PICTURE_DIR="${CMAKE_BINARY_DIR}/skin")
endif()
