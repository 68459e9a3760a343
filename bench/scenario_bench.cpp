// The German scenario (resources/scenarios/german.txt) played headless by the navigator program
// on a fresh copy of the demo install, as scripts/main-job.sh plays it: "scenario_s" is the wall
// time of a whole run (the program's start to its exit), "drive_fps" the frames the map drew a
// second of wall time while the car drove (the steps "drive", "traffic" and "arrival" of the run's
// "steps.txt"), "drive_frames" how many. The clock is stepped: the drive runs as fast as the
// program draws and guides.
#include "bench/benchinstall.h"
#include "testdata/hostprogram.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The program's exit code, -1 when it could not be run or did not exit.
int RunScenario(const fs::path& install, const fs::path& out) {
    return testdata::RunHostProgram(
               {(install / "navigator").string(), install.string(), "--script",
                (fs::path(NAV_SOURCE_DIR) / "resources/scenarios/german.txt").string(), "--out",
                out.string()},
               {}, fs::path(install).concat(".err"))
        .exitCode;
}

// Adds the drive's frames and wall milliseconds from a run's "steps.txt".
void AddDriveTimes(const fs::path& steps, double& frames, double& wallMs) {
    std::ifstream file(steps);
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string name;
        double wall = 0;
        double virtualMs = 0;
        double drawn = 0;
        if (fields >> name >> wall >> virtualMs >> drawn &&
            (name == "drive" || name == "traffic" || name == "arrival")) {
            frames += drawn;
            wallMs += wall;
        }
    }
}

void BM_GermanScenarioOnInstall(benchmark::State& state) {
    const testdata::TempDeviceRoot root;
    if (const std::string error = benchinstall::LayOutInstall(root, NAV_NAVIGATOR_PROGRAM, false);
        !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const fs::path fresh = root.HostPath() / "install";
    const fs::path run = root.HostPath() / "run";
    const fs::path out = root.HostPath() / "out";
    double seconds = 0.0;
    double frames = 0.0;
    double driveMs = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code error;
        fs::remove_all(run, error);
        fs::remove_all(out, error);
        fs::copy(fresh, run, fs::copy_options::recursive, error);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        const int code = RunScenario(run, out);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (error || code != 0) {
            state.SkipWithError(("the scenario ended with " + std::to_string(code)).c_str());
            return;
        }
        AddDriveTimes(out / "steps.txt", frames, driveMs);
    }
    const auto rounds = static_cast<double>(state.iterations());
    state.counters["scenario_s"] = seconds / rounds;
    state.counters["drive_frames"] = frames / rounds;
    state.counters["drive_fps"] = driveMs > 0 ? frames / (driveMs / 1000.0) : 0.0;
}

} // namespace

BENCHMARK(BM_GermanScenarioOnInstall)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
