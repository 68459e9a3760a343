# installdemo: lays out the demo install, <build>/install/, as a device root around the folder
# osm2nav wrote (scripts/install-demo.sh converts the extract and runs it).
if(TARGET onboard_traffic)
  nav_component(demoinstall STEP 8
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/install/demoinstall.cpp
            ${CMAKE_CURRENT_LIST_DIR}/install/installswap.cpp
            ${CMAKE_CURRENT_LIST_DIR}/install/userfiles.cpp
    DEPENDS retrievalengine_engine routing_service testdata_programfolder testdata_tmctables
            testdata osm2nav_convert
    PRIVATE_DEPENDS onboard_config onboard_traffic traffic_tmcdata traffic_tmcmessage usefulcode_cache
                    usefulcode_settings platform_files platform_kernel)

  add_executable(installdemo ${CMAKE_CURRENT_LIST_DIR}/installdemo.cpp)
  target_compile_options(installdemo PRIVATE ${NAV_WARNINGS})
  target_link_libraries(installdemo PRIVATE demoinstall)
  # The set-up of the tests that run the program on the demo install, at the install's step.
  nav_headers(demoinstall osmtests/installedextract.h)
endif()

# Without the extract the install script ends with osm2nav's message and a non-zero exit, and
# leaves the converted folder and the old install as they were.
if(TARGET installdemo AND NOT NAV_SANITIZE AND NOT NAV_FUZZ AND NOT NAV_TSAN)
  set(install_check_dir ${CMAKE_CURRENT_BINARY_DIR}/install_check)
  add_test(NAME installdemo.no_extract_keeps_the_old_install
    COMMAND bash -c "rm -rf \"$1\" && mkdir -p \"$1/install\" \"$1/extract/kwa\" && echo old > \"$1/install/old.txt\" && echo net > \"$1/extract/kwa/Net.rd\" && if bash \"$2/scripts/install-demo.sh\" \"$3\" --extract \"$1/missing.osm.pbf\" --data \"$1/extract\" --out \"$1/install\"; then echo 'install-demo.sh: exit 0'; exit 1; fi && test \"$(cat \"$1/install/old.txt\")\" = old && test \"$(ls \"$1/install\")\" = old.txt && test \"$(cat \"$1/extract/kwa/Net.rd\")\" = net && test ! -e \"$1/install.new\" && test ! -e \"$1/extract.new\" && echo 'old install kept'"
            _ ${install_check_dir} ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  set_tests_properties(installdemo.no_extract_keeps_the_old_install PROPERTIES
    PASS_REGULAR_EXPRESSION "osm2nav: .*missing\\.osm\\.pbf.*old install kept"
    FAIL_REGULAR_EXPRESSION "exit 0")
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
# script, the page layout and the captions that must fit its rectangles.
nav_test(install_checks_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/installchecks_test.cpp
  DEPENDS ui_skin platform_shell testdata platform_kernel platform_gdi)
if(TARGET install_checks_test)
  target_compile_definitions(install_checks_test PRIVATE NAV_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
