// Start-up of the application on the demo install around the converted extract, headless, as
// shellstart_bench measures it on a generated folder: WinMain's steps (the language library, the
// instance mutex and channel, InitInstance with the receiver supervision and the voices) up to
// the end of the main window's first WM_PAINT, against making the navigation server on the same
// install alone (the map engine facade, the data location and CreateIOnboardServer).
// "vs_baseline" is how many times longer the start takes, "startup_ms" its mean; "to_idle_ms"
// runs on until the loop first waits. The safety notice is turned off: it waits for the user.
#include "bench/startupround.h"
#include "testdata/tempdir.h"
#include "tools/install/demoinstall.h"
#include "tools/osm/osmconvert.h"

#include "platform/files/modules.h"
#include "platform/files/paths.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

// Converts the extract and lays out the install in "<root>/install"; empty on success.
std::string LayOutInstall(const testdata::TempDeviceRoot& root) {
    osm2nav::ConvertOptions convert;
    convert.extract = NAV_OSM_EXTRACT;
    convert.output = root.HostPath() / "extract";
    convert.levels = 3;
    convert.advisorData = NAV_DEMO_DATA;
    std::ostringstream log;
    if (std::string error = osm2nav::Convert(convert, log); !error.empty())
        return error;
    if (!root.WriteFile(u"\\stand-in\\navigator", "#!/bin/sh\n"))
        return "the program's stand-in cannot be written";
    demoinstall::InstallOptions install;
    install.data = root.HostPath() / "extract";
    install.programFiles = NAV_LANGUAGES_DIR;
    install.demoData = NAV_DEMO_DATA;
    install.source = NAV_SOURCE_DIR;
    install.navigator = root.HostPath() / "stand-in" / "navigator";
    install.output = root.HostPath() / "install";
    demoinstall::DemoRoute route;
    if (std::string error = demoinstall::Install(install, route, log); !error.empty())
        return error;
    std::ofstream(install.output / "PK.ini", std::ios::app) << "\r\nNoWarning=1\r\n";
    return {};
}

void BM_StartOnInstallToMainMenuAgainstServerAlone(benchmark::State& state) {
    const testdata::TempDeviceRoot root;
    if (const std::string error = LayOutInstall(root); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    platform::SetDeviceRoot(root.HostPath() / "install");
    platform::SetProgramFolder(u"\\");
    benchstartup::StartupTimes times;
    for (auto _ : state)
        benchstartup::MeasureStartupRound(times);
    platform::SetDeviceRoot(root.HostPath());
    if (!times.isUp)
        state.SkipWithError("the main menu or the server did not come up");
    benchstartup::ReportStartupTimes(state, times);
}

} // namespace

BENCHMARK(BM_StartOnInstallToMainMenuAgainstServerAlone)->Iterations(20)->UseRealTime();
BENCHMARK_MAIN();
