# The fix and matched-position records (header only). Built at step 3 because routing reads them
# long before the position pipeline exists.
add_library(positioning_types INTERFACE)
set_target_properties(positioning_types PROPERTIES NAV_STEP 3)
target_include_directories(positioning_types INTERFACE ${PROJECT_SOURCE_DIR})
target_link_libraries(positioning_types INTERFACE mapdisplay_geometry)
nav_headers(positioning_types matchedposition.h)
