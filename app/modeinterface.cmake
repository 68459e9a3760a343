# Below the modes and their pages: the value types the destination pages and the modes exchange,
# the interface the pages talk to their mode through and the meaning of the road-kind switches
# (header only). Its test, of the switches, runs in app_modes_test (modes.cmake).
add_library(app_modes_types INTERFACE)
set_target_properties(app_modes_types PROPERTIES NAV_STEP 12)
target_include_directories(app_modes_types INTERFACE ${PROJECT_SOURCE_DIR})
target_link_libraries(app_modes_types INTERFACE retrievalengine_interfaces routing_service
                      tablefiles_housenumber)
nav_headers(app_modes_types modeinterface/destinationtypes.h modeinterface/modecontroller.h
            modeinterface/routeswitches.h)
