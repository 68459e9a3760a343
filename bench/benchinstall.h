#pragma once
// The demo install around the converted extract, laid out for the application benchmarks in
// "<root>/install" (tools/install/demoinstall.h), with a stand-in or the real program.
#include "testdata/tempdir.h"
#include "tools/install/demoinstall.h"
#include "tools/osm/osmconvert.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace benchinstall {

// Converts the extract and lays out the install; navigator is the program copied in (a stand-in
// script when empty). With isNoticeOff the safety notice, which waits for the user, is turned
// off. Empty on success, otherwise why not.
inline std::string LayOutInstall(const testdata::TempDeviceRoot& root,
                                 const std::filesystem::path& navigator, bool isNoticeOff) {
    osm2nav::ConvertOptions convert;
    convert.extract = NAV_OSM_EXTRACT;
    convert.output = root.HostPath() / "extract";
    convert.levels = 3;
    convert.advisorData = NAV_DEMO_DATA;
    std::ostringstream log;
    if (std::string error = osm2nav::Convert(convert, log); !error.empty())
        return error;
    demoinstall::InstallOptions install;
    install.navigator = navigator;
    if (navigator.empty()) {
        if (!root.WriteFile(u"\\stand-in\\navigator", "#!/bin/sh\n"))
            return "the program's stand-in cannot be written";
        install.navigator = root.HostPath() / "stand-in" / "navigator";
    }
    install.data = root.HostPath() / "extract";
    install.programFiles = NAV_LANGUAGES_DIR;
    install.demoData = NAV_DEMO_DATA;
    install.source = NAV_SOURCE_DIR;
    install.output = root.HostPath() / "install";
    demoinstall::DemoRoute route;
    if (std::string error = demoinstall::Install(install, route, log); !error.empty())
        return error;
    if (isNoticeOff)
        std::ofstream(install.output / "PK.ini", std::ios::app) << "\r\nNoWarning=1\r\n";
    return {};
}

} // namespace benchinstall
