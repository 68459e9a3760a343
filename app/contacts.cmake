# The device contacts and the contact destination page.
nav_component(app_contacts STEP 12
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/contacts/contactsession.cpp
  DEPENDS platform_contacts platform_kernel six
  PRIVATE_DEPENDS platform_files)

nav_test(app_contacts_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/contacts/tests/contactsession_test.cpp
  DEPENDS app_contacts testdata testdata_contacts)
