#pragma once
// One round of the start-up benchmarks on the device root set up by the caller: WinMain's steps
// (the language library, the instance mutex and channel, InitInstance) up to the end of the main
// window's first WM_PAINT, on until the loop first waits, then quit; and, as the baseline, the
// navigation server alone made on the same root (the map engine facade, the data location and
// CreateIOnboardServer). Times are summed over the rounds and reported as the benchmarks'
// counters: "startup_ms", "to_idle_ms", "baseline_ms" and "vs_baseline".
#include "app/startup/navapp.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/datalocation.h"

#include "platform/window/instancechannel.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace benchstartup {

struct StartupTimes {
    double seconds = 0.0;         // to the main menu painted
    double idleSeconds = 0.0;     // to the message loop's first wait
    double baselineSeconds = 0.0; // the server alone
    benchmark::IterationCount rounds = 0;
    bool isUp = true; // every round showed the main menu and made the server
};

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline void MeasureStartupRound(StartupTimes& times) {
    ++times.rounds;
    auto start = std::chrono::steady_clock::now();
    {
        platform::ScreenDriver driver;
        driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
            times.idleSeconds += SecondsSince(start);
            PostMessageW(FindWindowW(nullptr, u"Navigator"), WM_COMMAND, 460, 0);
        })});
        NavApp app;
        const InstanceMutex mutex(LoadAppTitle());
        (void)platform::OpenInstanceChannel(mutex.GetName(),
                                            [](const platform::InstanceRequest&) { return true; });
        if (app.IsOk() && app.InitInstance() == 1) {
            HWND menu = app.GetMainMenu()->GetHwnd();
            times.isUp = times.isUp && menu != nullptr;
            UpdateWindow(menu); // the first WM_PAINT, sent at once
            times.seconds += SecondsSince(start);
            app.Run();
        } else {
            times.isUp = false;
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
        times.isUp = times.isUp && server;
        benchmark::DoNotOptimize(server.Get());
        times.baselineSeconds += SecondsSince(start);
    }
}

inline void ReportStartupTimes(benchmark::State& state, const StartupTimes& times) {
    const double count = static_cast<double>(times.rounds);
    state.counters["startup_ms"] = count > 0 ? 1000.0 * times.seconds / count : 0.0;
    state.counters["to_idle_ms"] = count > 0 ? 1000.0 * times.idleSeconds / count : 0.0;
    state.counters["baseline_ms"] = count > 0 ? 1000.0 * times.baselineSeconds / count : 0.0;
    state.counters["vs_baseline"] =
        times.baselineSeconds > 0.0 ? times.seconds / times.baselineSeconds : 0.0;
}

} // namespace benchstartup
