// Start-up of the application on the demo install around the converted extract, headless, as
// shellstart_bench measures it on a generated folder: WinMain's steps (the language library, the
// instance mutex and channel, InitInstance with the receiver supervision and the voices) up to
// the end of the main window's first WM_PAINT, against making the navigation server on the same
// install alone (the map engine facade, the data location and CreateIOnboardServer).
// "vs_baseline" is how many times longer the start takes, "startup_ms" its mean; "to_idle_ms"
// runs on until the loop first waits. The safety notice is turned off: it waits for the user.
#include "bench/benchinstall.h"
#include "bench/startupround.h"

#include "platform/files/modules.h"
#include "platform/files/paths.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

void BM_StartOnInstallToMainMenuAgainstServerAlone(benchmark::State& state) {
    const testdata::TempDeviceRoot root;
    if (const std::string error = benchinstall::LayOutInstall(root, {}, true); !error.empty()) {
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
