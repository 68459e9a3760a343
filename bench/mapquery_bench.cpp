// Area queries over a map data file of 100,000 generated elements, each against a baseline
// measured in the same run over the same rectangles: a linear scan of all element records held
// in memory. Query rectangles cover 0.1% and 1% of the map's extent. "speedup" is how many times
// faster the walk of the block tree is than the scan.
#include "basiccomp/retrievalengine/code/elementwalks.h"
#include "basiccomp/retrievalengine/code/ridfile.h"
#include "testdata/mapsetwriter.h"
#include "testdata/tempdir.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr std::int32_t kExtent = 1000000;
constexpr int kElements = 100000;

struct BenchMap {
    testdata::TempDeviceRoot root;
    BlockCachePtr cache = BlockCache::Create(16u << 10);
    RidFile rid{cache};
    CachedFilePtr dat;
    std::vector<std::uint8_t> records; // every element record, for the scan
};

BenchMap& Map() {
    static const std::unique_ptr<BenchMap> map = [] {
        auto made = std::make_unique<BenchMap>();
        testdata::MapSetWriter writer;
        std::mt19937 random(7);
        std::uniform_int_distribution<std::int32_t> position(0, kExtent - 2000);
        std::uniform_int_distribution<std::int32_t> size(0, 2000);
        const char letters[] = {'t', 'l', 'm', 'n', 'o'};
        for (int i = 0; i < kElements; ++i) {
            testdata::ElementDescription element;
            element.typeLetter = letters[i % 5];
            const std::int32_t x = position(random);
            const std::int32_t y = position(random);
            element.bounds = {x, y, x + size(random), y + size(random)};
            element.typeCode = static_cast<std::uint16_t>(1000 + i % 50);
            if (!writer.Add(element)) {
                std::abort();
            }
        }
        writer.SetDepth(3);
        if (!made->root.MakeFolder(u"\\maps") ||
            !writer.WriteTo(made->root.HostPathOf(u"\\maps\\Bench")) ||
            !made->rid.Open(u"\\maps\\Bench")) {
            std::abort();
        }
        made->dat =
            made->cache->GetMappedFile(u"\\maps\\Bench.dat", FileCreation::OpenExisting,
                                       FileAccess::Read, FileShare::Read, maprecord::kBlockSize);
        const testdata::MapSetFiles files = writer.Build();
        for (const std::uint32_t id : writer.GetElementIds()) {
            const std::size_t at =
                std::size_t{id >> 8} * maprecord::kBlockSize + 8 + std::size_t{32} * (id & 0xFF);
            made->records.insert(made->records.end(), files.rid.begin() + static_cast<long>(at),
                                 files.rid.begin() + static_cast<long>(at + 32));
        }
        return made;
    }();
    return *map;
}

// Rectangles of `fraction` of the extent's area at random places.
std::vector<MapRect> Queries(double fraction) {
    const auto side = static_cast<std::int32_t>(kExtent * std::sqrt(fraction));
    std::mt19937 random(11);
    std::uniform_int_distribution<std::int32_t> corner(0, kExtent - side);
    std::vector<MapRect> queries;
    for (int i = 0; i < 256; ++i) {
        const std::int32_t x = corner(random);
        const std::int32_t y = corner(random);
        queries.push_back({x, y, x + side, y + side});
    }
    return queries;
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void AreaQueryAgainstScan(benchmark::State& state) {
    BenchMap& map = Map();
    const std::vector<MapRect> queries = Queries(static_cast<double>(state.range(0)) / 1000.0);
    std::size_t next = 0;
    std::size_t found = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (AreaElementIterator walk(map.rid.GetBlockFile(), map.rid.GetRoot(), queries[next],
                                      map.rid.GetVersion(), map.dat);
             walk.IsValid(); walk.Next()) {
            ++found;
        }
        next = (next + 1) % queries.size();
    }
    const double seconds = Seconds(start);
    std::size_t scanned = 0;
    next = 0;
    const auto baselineStart = std::chrono::steady_clock::now();
    for (benchmark::IterationCount i = 0; i < state.iterations(); ++i) {
        for (std::size_t at = 0; at < map.records.size(); at += maprecord::kRecordSize) {
            scanned +=
                MapRect::Intersects(queries[next], maprecord::RecordBounds(map.records.data() + at))
                    ? 1
                    : 0;
        }
        next = (next + 1) % queries.size();
    }
    const double baselineSeconds = Seconds(baselineStart);
    if (found != scanned) {
        state.SkipWithError("the walk and the scan disagree");
        return;
    }
    const auto count = static_cast<double>(state.iterations());
    state.counters["walk_us"] = seconds * 1e6 / count;
    state.counters["scan_us"] = baselineSeconds * 1e6 / count;
    state.counters["speedup"] = seconds > 0.0 ? baselineSeconds / seconds : 0.0;
}

} // namespace

// The argument is the query's share of the extent in thousandths.
BENCHMARK(AreaQueryAgainstScan)->Arg(1)->Arg(10);
BENCHMARK_MAIN();
