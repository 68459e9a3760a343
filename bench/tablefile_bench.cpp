// Equal and floor lookups per second in a memory-mapped table file of 1 million records (warm),
// each against a baseline measured in the same run: std::lower_bound over the same keys held in
// memory. "vs_baseline" is how many times longer a table lookup takes than that; "vs_baseline_cpu"
// the same in the thread's processor time, which other work on a busy machine disturbs less.
#include "tablefiles/fsrtable.h"
#include "testdata/tablefilewriter.h"
#include "testdata/tempdir.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <time.h>
#include <vector>

namespace {

constexpr std::uint32_t kRecords = 1000000;
constexpr std::size_t kProbes = 4096;

// The table: keys 0, 2, 4, ... (u32) with a u32 payload, in blocks of 4096 bytes.
struct Fixture {
    Fixture() {
        testdata::TableFileWriter writer({ColumnType::UInt32, ColumnType::UInt32});
        writer.SetBlockSize(4096);
        for (std::uint32_t i = 0; i < kRecords; ++i) {
            writer.AddRow({std::int64_t{i} * 2, std::int64_t{i}});
            keys.push_back(i * 2);
        }
        if (!root.WriteFile(u"\\bench.fsr", writer.Build()) || !table.OpenMapped(u"\\bench.fsr")) {
            keys.clear();
        }
        std::mt19937 random(42);
        std::uniform_int_distribution<std::uint32_t> pick(0, kRecords - 2);
        for (std::size_t i = 0; i < kProbes; ++i) {
            equalProbes.push_back(pick(random) * 2);
            floorProbes.push_back(pick(random) * 2 + 1); // between two records
        }
    }

    testdata::TempDeviceRoot root;
    BlockCachePtr cache = BlockCache::Create(1024);
    FsrTable table{cache};
    std::vector<std::uint32_t> keys;
    std::vector<std::uint32_t> equalProbes;
    std::vector<std::uint32_t> floorProbes;
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

ByteSpan KeyOf(const std::uint32_t& key) {
    return {reinterpret_cast<const std::uint8_t*>(&key), 4};
}

// Processor time of the calling thread.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <typename Lookup>
double Seconds(benchmark::IterationCount passes, const std::vector<std::uint32_t>& probes,
               Lookup lookup) {
    const auto start = std::chrono::steady_clock::now();
    for (benchmark::IterationCount pass = 0; pass < passes; ++pass) {
        for (const std::uint32_t key : probes) {
            lookup(key);
        }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs the table lookup over every probe per iteration, then the baseline as often.
template <typename Lookup, typename Baseline>
void AgainstLowerBound(benchmark::State& state, const std::vector<std::uint32_t>& probes,
                       Lookup lookup, Baseline baseline) {
    if (Shared().keys.empty()) {
        state.SkipWithError("the table could not be written or opened");
        return;
    }
    for (const std::uint32_t key : probes) { // warm the mapping
        lookup(key);
    }
    const auto start = std::chrono::steady_clock::now();
    const double threadStart = ThreadSeconds();
    for (auto _ : state) {
        for (const std::uint32_t key : probes) {
            lookup(key);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double threadSeconds = ThreadSeconds() - threadStart;
    const double baselineThreadStart = ThreadSeconds();
    const double baselineSeconds = Seconds(state.iterations(), probes, baseline);
    const double baselineThreadSeconds = ThreadSeconds() - baselineThreadStart;
    const double ratio = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
    const double lookups = static_cast<double>(state.iterations()) * static_cast<double>(kProbes);
    state.counters["lookups"] = benchmark::Counter(lookups, benchmark::Counter::kIsRate);
    state.counters["vs_baseline"] = ratio;
    state.counters["vs_baseline_cpu"] =
        baselineThreadSeconds > 0.0 ? threadSeconds / baselineThreadSeconds : 0.0;
    state.SetLabel("x" + std::to_string(ratio) + " of std::lower_bound in memory");
}

void EqualLookup(benchmark::State& state) {
    Fixture& fixture = Shared();
    AgainstLowerBound(
        state, fixture.equalProbes,
        [&](const std::uint32_t& key) {
            const FsrKeyRange range = fixture.table.Find(KeyOf(key), false);
            benchmark::DoNotOptimize(range.GetRecord());
        },
        [&](const std::uint32_t& key) {
            const auto found = std::lower_bound(fixture.keys.begin(), fixture.keys.end(), key);
            benchmark::DoNotOptimize(found != fixture.keys.end() && *found == key);
        });
}

void FloorLookup(benchmark::State& state) {
    Fixture& fixture = Shared();
    AgainstLowerBound(
        state, fixture.floorProbes,
        [&](const std::uint32_t& key) {
            const FsrRecord record = fixture.table.FindRecord(KeyOf(key), false);
            benchmark::DoNotOptimize(record.GetRecord());
        },
        [&](const std::uint32_t& key) {
            const auto found = std::upper_bound(fixture.keys.begin(), fixture.keys.end(), key);
            benchmark::DoNotOptimize(found == fixture.keys.begin() ? nullptr : &*(found - 1));
        });
}

} // namespace

BENCHMARK(EqualLookup);
BENCHMARK(FloorLookup);

BENCHMARK_MAIN();
