// Start-up of the application on a generated program folder, headless: WinMain's steps (the
// language library, the instance mutex and channel, InitInstance) up to the end of the main
// window's first WM_PAINT, against making the navigation server on the same folder alone (the
// map engine facade, the data location and CreateIOnboardServer). "vs_baseline" is how many times
// longer the start takes, "startup_ms" its mean; "to_idle_ms" runs on until the loop first waits
// (every control painted).
#include "app/startup/navapp.h"
#include "testdata/programfolderwriter.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/datalocation.h"

#include "platform/window/instancechannel.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_StartToMainMenuAgainstServerAlone(benchmark::State& state) {
    testdata::TempDeviceRoot root;
    testdata::DataFolderWriter data(u"\\Data");
    testdata::DataFolderDatabase database;
    database.folder = u"\\Data\\Grid";
    database.world = testdata::RoadWorld::Grid(8, 8, 2000, {1'260'000, 5'300'000});
    database.mapSet.names[0] = "Hauptstrasse";
    data.AddDatabase(std::move(database)).Setting("GPS", "AutoLog", "0");
    testdata::ProgramFolderWriter program(std::move(data));
    program.HostFiles(NAV_LANGUAGES_DIR).Pk("Zudav", "NoWarning", "1");
    program.ScreenDescription(testdata::ReadHostFile(NAV_SCREEN_DESC_FILE).value_or(""));
    if (!program.WriteTo(root)) {
        state.SkipWithError("the program folder cannot be written");
        return;
    }
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
                idleSeconds += SecondsSince(start);
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
                seconds += SecondsSince(start);
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
            benchmark::DoNotOptimize(server.Get());
            baselineSeconds += SecondsSince(start);
        }
    }
    if (!hasMenu)
        state.SkipWithError("the main menu did not show");
    const double count = static_cast<double>(rounds);
    state.counters["startup_ms"] = count > 0 ? 1000.0 * seconds / count : 0.0;
    state.counters["to_idle_ms"] = count > 0 ? 1000.0 * idleSeconds / count : 0.0;
    state.counters["baseline_ms"] = count > 0 ? 1000.0 * baselineSeconds / count : 0.0;
    state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
}

} // namespace

BENCHMARK(BM_StartToMainMenuAgainstServerAlone)->Iterations(20)->UseRealTime();
BENCHMARK_MAIN();
