# The real X session of the window's tests: an X server, an ssh server forwarding X11 to it and
# the server's own input (XTest). Only where the window is built.
find_package(SDL2 QUIET)
find_package(X11 QUIET)
if(SDL2_FOUND AND X11_FOUND AND X11_Xtst_FOUND)
  nav_component(testdata_xsession STEP 0
    SOURCES xsession.cpp
    DEPENDS testdata
    PRIVATE_DEPENDS platform_window X11::X11 X11::Xtst)
endif()
