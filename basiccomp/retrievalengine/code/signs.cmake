# Sign tables and the sign information of elements' ADAS records.
nav_component(retrievalengine_signs STEP 3
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/signtables.cpp
    ${CMAKE_CURRENT_LIST_DIR}/signinfo.cpp
  DEPENDS retrievalengine_interfaces
  PRIVATE_DEPENDS usefulcode_files usefulcode_text platform_kernel)

nav_test(retrievalengine_signs_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/signs_test.cpp
  DEPENDS retrievalengine_signs testdata_addressindex testdata)

nav_fuzz(retrievalengine_signtables_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fuzz/signtables_fuzz.cpp
  DEPENDS retrievalengine_signs)

nav_fuzz(retrievalengine_signinfo_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fuzz/signinfo_fuzz.cpp
  DEPENDS retrievalengine_signs testdata_addressindex testdata)
