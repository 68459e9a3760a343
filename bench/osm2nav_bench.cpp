// The data tool converting the shared OpenStreetMap extract (three network levels, every file
// read back) against a plain libosmium pass over the same file that only counts its objects,
// measured in turns in the same run: without advisor data, and with the build's demo advisor
// data and German voices (copied into the output and every wave parsed back). "ratio" is
// conversion time over plain-pass time (the goal: at most 10 in both cases).
#include "testdata/tempdir.h"
#include "tools/osm/osmbaseline.h"
#include "tools/osm/osmconvert.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <sstream>
#include <string>

namespace {

void ConvertAgainstPlainPass(benchmark::State& state, bool withAdvisorData) {
    double seconds = 0.0;
    double plainSeconds = 0.0;
    int run = 0;
    for (auto _ : state) {
        testdata::TempDeviceRoot root;
        osm2nav::ConvertOptions options;
        options.extract = NAV_OSM_EXTRACT;
        options.output = root.HostPath() / ("out" + std::to_string(run++));
        options.levels = 3;
        options.language = "ger";
        if (withAdvisorData) {
            options.advisorData = NAV_DEMO_DATA;
        }
        std::ostringstream summary;
        const auto start = std::chrono::steady_clock::now();
        const std::string error = osm2nav::Convert(options, summary);
        const auto middle = std::chrono::steady_clock::now();
        const auto objects = osm2nav::CountObjects(NAV_OSM_EXTRACT);
        const auto end = std::chrono::steady_clock::now();
        if (!error.empty() || !objects) {
            state.SkipWithError(error.empty() ? "the extract cannot be read" : error.c_str());
            return;
        }
        benchmark::DoNotOptimize(*objects);
        seconds += std::chrono::duration<double>(middle - start).count();
        plainSeconds += std::chrono::duration<double>(end - middle).count();
    }
    const auto count = static_cast<double>(state.iterations());
    state.counters["convert_ms"] = seconds * 1e3 / count;
    state.counters["plain_ms"] = plainSeconds * 1e3 / count;
    state.counters["ratio"] = plainSeconds > 0.0 ? seconds / plainSeconds : 0.0;
}

void ConversionAgainstPlainPass(benchmark::State& state) {
    ConvertAgainstPlainPass(state, false);
}

void ConversionWithGermanVoicesAgainstPlainPass(benchmark::State& state) {
    ConvertAgainstPlainPass(state, true);
}

} // namespace

BENCHMARK(ConversionAgainstPlainPass)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(ConversionWithGermanVoicesAgainstPlainPass)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
