# The engine's interfaces (header only, at the table files' step so that the address datasets
# compile against them): the engine and its area query, element cursors, sign information.
add_library(retrievalengine_interfaces INTERFACE)
set_target_properties(retrievalengine_interfaces PROPERTIES NAV_STEP 2)
target_include_directories(retrievalengine_interfaces INTERFACE ${PROJECT_SOURCE_DIR})
target_link_libraries(retrievalengine_interfaces INTERFACE tablefiles_interfaces
                      mapdisplay_engineservices six usefulcode_cache)
nav_headers(retrievalengine_interfaces iretrievalengine.h ielementcursor.h isigninfo.h
            elementcodes.h)
