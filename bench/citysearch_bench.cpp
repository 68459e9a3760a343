// A three-letter city search over a by-name city index file of 50,000 generated cities: the time
// to the first result and to all results, each against a baseline measured in the same run, a
// scan of the same folded names held as strings (prefix test, then substring test). "vs_baseline"
// is how many times longer the index search takes than that scan.
#include "basiccomp/retrievalengine/code/cityindexfile.h"
#include "basiccomp/retrievalengine/code/namesearchcursor.h"
#include "basiccomp/retrievalengine/code/searchfold.h"
#include "testdata/cityindexwriter.h"
#include "testdata/memorybytefile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kCities = 50000;
constexpr char16_t kText[] = u"BER";
constexpr char kFoldedText[] = "BER";

struct Fixture {
    Fixture() {
        static const char* const kSyllables[] = {"ber", "lin",   "ham",  "burg",  "mun",  "chen",
                                                 "kol", "frank", "furt", "stutt", "gart", "dorf",
                                                 "bad", "wies",  "en",   "ho",    "sen",  "tal"};
        std::mt19937 random(7);
        std::uniform_int_distribution<std::size_t> pick(0, std::size(kSyllables) - 1);
        std::uniform_int_distribution<int> count(2, 4);
        testdata::CityIndexWriter writer;
        for (std::uint32_t i = 0; i < kCities; ++i) {
            std::string name;
            for (int part = count(random); part > 0; --part) {
                name += kSyllables[pick(random)];
            }
            writer.Add({name, i + 1, false, static_cast<std::uint16_t>(i), 1});
            names.push_back(FoldSearchText(name.c_str()));
        }
        std::sort(names.begin(), names.end());
        testdata::MemoryByteFile file(writer.BuildByName());
        index = CityIndexFile::Load(file);
    }

    CityIndexFilePtr index;
    std::vector<std::string> names; // folded and sorted, as in the file
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

// Index search: up to limit results (0: all).
std::size_t SearchIndex(std::size_t limit) {
    NameSearchCursor cursor(Shared().index, kText, 0);
    std::size_t found = 0;
    while (cursor.HasNext()) {
        benchmark::DoNotOptimize(cursor.GetRecordNumber());
        if (++found == limit) {
            break;
        }
        cursor.Next();
    }
    return found;
}

// Baseline: the prefix matches, then the names holding the text further inside.
std::size_t ScanNames(std::size_t limit) {
    const std::vector<std::string>& names = Shared().names;
    std::size_t found = 0;
    for (const std::string& name : names) {
        if (name.starts_with(kFoldedText)) {
            benchmark::DoNotOptimize(name.data());
            if (++found == limit) {
                return found;
            }
        }
    }
    for (const std::string& name : names) {
        const std::size_t at = name.find(kFoldedText);
        if (at != std::string::npos && at != 0) {
            benchmark::DoNotOptimize(name.data());
            if (++found == limit) {
                return found;
            }
        }
    }
    return found;
}

void AgainstScan(benchmark::State& state, std::size_t limit) {
    if (!Shared().index || Shared().index->GetData() == nullptr) {
        state.SkipWithError("the city index could not be loaded");
        return;
    }
    std::size_t results = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        results = SearchIndex(limit);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto baselineStart = std::chrono::steady_clock::now();
    std::size_t baselineResults = 0;
    for (benchmark::IterationCount pass = 0; pass < state.iterations(); ++pass) {
        baselineResults = ScanNames(limit);
    }
    const double baselineSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - baselineStart).count();
    if (results != baselineResults) {
        state.SkipWithError("the index and the scan found different numbers of cities");
        return;
    }
    const double ratio = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
    state.counters["results"] = static_cast<double>(results);
    state.counters["vs_baseline"] = ratio;
    state.SetLabel("x" + std::to_string(ratio) + " of a scan of folded strings");
}

void FirstResult(benchmark::State& state) {
    AgainstScan(state, 1);
}

void AllResults(benchmark::State& state) {
    AgainstScan(state, 0);
}

} // namespace

BENCHMARK(FirstResult);
BENCHMARK(AllResults);
BENCHMARK_MAIN();
