// Start-up of the application on the demo install around the converted extract, headless, as
// shellstart_bench measures it on a generated folder: WinMain's steps (the language library, the
// instance mutex and channel, InitInstance with the receiver supervision and the voices) up to
// the end of the main window's first WM_PAINT, against making the navigation server on the same
// install alone (the map engine facade, the data location and CreateIOnboardServer).
// "vs_baseline" is how many times longer the start takes, "startup_ms" its mean; "to_idle_ms"
// runs on until the loop first waits. The safety notice is turned off: it waits for the user.
#include "app/startup/navapp.h"
#include "testdata/tempdir.h"
#include "tools/install/demoinstall.h"
#include "tools/osm/osmconvert.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/datalocation.h"

#include "platform/files/modules.h"
#include "platform/files/paths.h"
#include "platform/window/instancechannel.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

namespace {

double InstallSecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

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
    double seconds = 0.0;
    double baselineSeconds = 0.0;
    double idleSeconds = 0.0;
    benchmark::IterationCount rounds = 0;
    bool hasMenu = true;
    for (auto _ : state) {
        ++rounds;
        auto start = std::chrono::steady_clock::now();
        {
            platform::ScreenDriver driver;
            driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
                idleSeconds += InstallSecondsSince(start);
                PostMessageW(FindWindowW(nullptr, u"Navigator"), WM_COMMAND, 460, 0);
            })});
            NavApp app;
            const InstanceMutex mutex(LoadAppTitle());
            (void)platform::OpenInstanceChannel(
                mutex.GetName(), [](const platform::InstanceRequest&) { return true; });
            if (app.IsOk() && app.InitInstance() == 1) {
                HWND menu = app.GetMainMenu()->GetHwnd();
                hasMenu = hasMenu && menu != nullptr;
                UpdateWindow(menu); // the first WM_PAINT, sent at once
                seconds += InstallSecondsSince(start);
                app.Run();
            } else {
                hasMenu = false;
            }
            (void)app.ExitInstance();
            platform::CloseInstanceChannel();
        }

        start = std::chrono::steady_clock::now();
        {
            auto facade = MapEngineFacade::Create(4096);
            auto location = CreateDataLocation(AppPaths::GetServerSettingsFilePath());
            Onboard::OnboardServerPtr server =
                CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(facade), location);
            hasMenu = hasMenu && server;
            benchmark::DoNotOptimize(server.Get());
            baselineSeconds += InstallSecondsSince(start);
        }
    }
    platform::SetDeviceRoot(root.HostPath());
    if (!hasMenu)
        state.SkipWithError("the main menu or the server did not come up");
    const double count = static_cast<double>(rounds);
    state.counters["startup_ms"] = count > 0 ? 1000.0 * seconds / count : 0.0;
    state.counters["to_idle_ms"] = count > 0 ? 1000.0 * idleSeconds / count : 0.0;
    state.counters["baseline_ms"] = count > 0 ? 1000.0 * baselineSeconds / count : 0.0;
    state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
}

} // namespace

BENCHMARK(BM_StartOnInstallToMainMenuAgainstServerAlone)->Iterations(20)->UseRealTime();
BENCHMARK_MAIN();
