# The device contacts and the contact destination page.
nav_component(app_contacts STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/contacts/contactsession.cpp
    ${CMAKE_CURRENT_LIST_DIR}/contacts/extcontactdlg.cpp
  DEPENDS platform_contacts platform_kernel six app_modes_types onboard_server ui_layout
  PRIVATE_DEPENDS app_destinations app_tmc ui_lists ui_tmcmonitor ui_dialogs ui_skin usefulcode_framework
                  platform_files platform_shell platform_gdi platform_window)

nav_test(app_contacts_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/contacts/tests/contactsession_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/contacts/tests/extcontactdlg_test.cpp
  DEPENDS app_contacts app_destinations app_testing testdata testdata_contacts testdata_gazetteer
          platform_window_testdriver)
if(TARGET app_contacts_test)
  target_compile_definitions(app_contacts_test
    PRIVATE NAV_SCREEN_DESC_FILE="${PROJECT_SOURCE_DIR}/resources/screens/screendesc.ini")
endif()

nav_fuzz(contacts_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz/contacts_fuzz.cpp
  DEPENDS app_contacts testdata)
