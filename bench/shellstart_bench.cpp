// Start-up of the application on a generated program folder, headless: WinMain's steps (the
// language library, the instance mutex and channel, InitInstance) up to the end of the main
// window's first WM_PAINT, against making the navigation server on the same folder alone (the
// map engine facade, the data location and CreateIOnboardServer). "vs_baseline" is how many times
// longer the start takes, "startup_ms" its mean; "to_idle_ms" runs on until the loop first waits
// (every control painted).
#include "bench/startupround.h"
#include "testdata/programfolderwriter.h"

#include <benchmark/benchmark.h>

namespace {

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
    benchstartup::StartupTimes times;
    for (auto _ : state)
        benchstartup::MeasureStartupRound(times);
    if (!times.isUp)
        state.SkipWithError("the main menu did not show");
    benchstartup::ReportStartupTimes(state, times);
}

} // namespace

BENCHMARK(BM_StartToMainMenuAgainstServerAlone)->Iterations(20)->UseRealTime();
BENCHMARK_MAIN();
