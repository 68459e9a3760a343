# The modes: so far the value types the destination pages and the modes exchange (header only).
add_library(app_modes_types INTERFACE)
set_target_properties(app_modes_types PROPERTIES NAV_STEP 12)
target_include_directories(app_modes_types INTERFACE ${PROJECT_SOURCE_DIR})
target_link_libraries(app_modes_types INTERFACE retrievalengine_interfaces routing_service
                      tablefiles_housenumber)
nav_headers(app_modes_types modes/destinationtypes.h)
