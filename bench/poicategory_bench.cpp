// Loading 1,000 point-of-interest categories from their enciphered file beside the executable:
// read, deciphered, parsed and sorted. The baseline in the same run reads and deciphers the same
// bytes alone. "vs_baseline" is how many times longer the loading takes.
#include "app/destinations/poicategory.h"
#include "testdata/destinationwriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/blowfish.h"

#include "platform/files/stdio.h"
#include "platform/shell/modulepath.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

constexpr int kCategories = 1000;

double ElapsedSeconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Reads the whole file and deciphers it block by block, as the loader does before parsing.
std::size_t ReadAndDecipher(const char16_t* path) {
    NavFile* file = _wfopen(path, u"rb");
    if (file == nullptr) {
        return 0;
    }
    (void)fseek(file, 0, SEEK_END);
    const long size = ftell(file);
    (void)fseek(file, 0, SEEK_SET);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max(size, 0L)));
    const std::size_t got = fread(bytes.data(), 1, bytes.size(), file);
    (void)fclose(file);
    Blowfish cipher;
    if (!cipher.Init(reinterpret_cast<const std::uint8_t*>(kPoiCategoryKey.data()),
                     kPoiCategoryKey.size(), 0, 0)) {
        return 0;
    }
    cipher.ProcessBuffer(bytes.data(), got / 8 * 8, Blowfish::kModeEcb);
    return bytes.empty() ? 0 : bytes[got / 2];
}

void BM_PoiCategoriesLoadedAgainstDeciphering(benchmark::State& state) {
    testdata::TempDeviceRoot root;
    platform::SetExecutablePath(u"\\Nav\\nav.exe");
    std::vector<testdata::PoiCategorySource> sources;
    for (int i = 0; i < kCategories; ++i) {
        // Names in no particular order, so that the sort has work to do.
        sources.push_back(
            {"Category " + std::to_string((i * 7919) % kCategories), 5000 + i, 5000 + i});
    }
    if (!root.WriteFile(u"\\Nav\\PoiEng.bin", testdata::WritePoiCategoryFile(sources))) {
        state.SkipWithError("the category file cannot be written");
        return;
    }
    std::vector<PoiCategory> categories;
    benchmark::IterationCount rounds = 0;
    double seconds = 0.0;
    double baselineSeconds = 0.0;
    for (auto _ : state) {
        ++rounds;
        auto start = std::chrono::steady_clock::now();
        LoadPoiCategories(categories, 1);
        benchmark::DoNotOptimize(categories.data());
        seconds += ElapsedSeconds(start);

        start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(ReadAndDecipher(u"\\Nav\\PoiEng.bin"));
        baselineSeconds += ElapsedSeconds(start);
    }
    if (categories.size() != static_cast<std::size_t>(kCategories)) {
        state.SkipWithError("the loader does not list every category");
    }
    platform::SetExecutablePath(u"");
    const double count = static_cast<double>(rounds);
    state.counters["rounds_per_s"] = seconds > 0.0 ? count / seconds : 0.0;
    state.counters["baseline_per_s"] = baselineSeconds > 0.0 ? count / baselineSeconds : 0.0;
    state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
}

} // namespace

BENCHMARK(BM_PoiCategoriesLoadedAgainstDeciphering)->Iterations(200)->UseRealTime();
BENCHMARK_MAIN();
