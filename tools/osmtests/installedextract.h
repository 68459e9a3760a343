#pragma once
// A test fixture base for runs of the program on the demo install: the extract converted once
// (three levels, with the demo advisor data) and installed as scripts/install-demo.sh does, from
// this build's files (the test target's NAV_LANGUAGES_DIR, NAV_DEMO_DATA, NAV_SOURCE_DIR and
// NAV_NAVIGATOR_PROGRAM).

#include "tools/install/demoinstall.h"
#include "tools/osmtests/convertedextract.h"

#include <sstream>
#include <string>

class InstalledExtract : public ConvertedExtract {
protected:
    // From SetUpTestSuite: converts the extract into "\extract" and lays out "<root>/install"
    // around it; empty, or why the install failed.
    static std::string ConvertAndInstall(demoinstall::DemoRoute& route) {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        options.levels = 3;
        ConvertOnce({{"extract", options}});
        std::ostringstream log;
        return demoinstall::Install(InstallOptionsFor("install"), route, log);
    }

    // The options that install the converted extract into "<root>/FOLDER".
    static demoinstall::InstallOptions InstallOptionsFor(const char* folder) {
        demoinstall::InstallOptions install;
        install.data = s_root->HostPath() / "extract";
        install.programFiles = NAV_LANGUAGES_DIR;
        install.demoData = NAV_DEMO_DATA;
        install.source = NAV_SOURCE_DIR;
        install.navigator = NAV_NAVIGATOR_PROGRAM;
        install.output = s_root->HostPath() / folder;
        return install;
    }
};
