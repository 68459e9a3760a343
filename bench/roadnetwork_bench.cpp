// Random crossing records of a generated map of 1,000,000 crossings, read through each page
// store, against a baseline measured in the same run over the same addresses: the same page
// bytes held in one vector. "ratio" is store time over copy time (the goal for the mapped and
// whole-map stores: at most 1.5); "hit_rate" is the page cache's share of hits (cached store,
// given the minimum budget of 1536 KB).
#include "routing/crossingrecord.h"
#include "routing/pagestore.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/tempdir.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr std::uint32_t kSide = 1000;
constexpr std::uint32_t kPageSize = 8192;

struct BenchNetwork {
    testdata::TempDeviceRoot root;
    PageStoreParameters parameters;
    std::vector<std::uint8_t> pages; // the in-memory copy
    std::vector<testdata::WrittenAddress> addresses;
};

BenchNetwork& Network() {
    static const std::unique_ptr<BenchNetwork> network = [] {
        auto made = std::make_unique<BenchNetwork>();
        testdata::RoadNetworkOptions options;
        options.pageSize = kPageSize;
        testdata::RoadNetworkWriter writer(
            testdata::RoadWorld::Grid(kSide, kSide, 300, {1000000, 6000000}), options);
        auto files = writer.Build();
        if (!files ||
            !made->root.WriteFile(u"\\Net\\Net0.pag", std::string(files->at("Net0.pag").begin(),
                                                                  files->at("Net0.pag").end()))) {
            std::abort();
        }
        const testdata::RoadNetworkLevelLayout& layout = writer.GetLayout()[0];
        made->pages = std::move(files->at("Net0.pag"));
        made->addresses = layout.addresses;
        PageStoreParameters& p = made->parameters;
        p.pageFileName = u"\\Net\\Net0.pag";
        p.pageSize = kPageSize;
        p.crossingCount = static_cast<std::uint32_t>(layout.addresses.size());
        p.endPage = layout.lastPage;
        p.endOffset = layout.lastOffset;
        p.isWithoutIndex = true;
        return made;
    }();
    return *network;
}

std::vector<testdata::WrittenAddress> RandomAddresses(const BenchNetwork& network) {
    std::mt19937 random(5);
    std::uniform_int_distribution<std::size_t> pick(0, network.addresses.size() - 1);
    std::vector<testdata::WrittenAddress> addresses(1 << 16);
    for (auto& address : addresses) {
        address = network.addresses[pick(random)];
    }
    return addresses;
}

std::unique_ptr<SeparatedPageStore> OpenStore(int kind, const PageStoreParameters& parameters) {
    std::unique_ptr<SeparatedPageStore> store;
    if (kind == 0) {
        store = std::make_unique<MappedPageStore>(nullptr);
    } else if (kind == 1) {
        store = std::make_unique<WholeMapStore>(nullptr);
    } else {
        store = std::make_unique<SeparatedPageStore>(nullptr);
    }
    if (!store->Open(parameters)) {
        return nullptr;
    }
    store->SetCacheBudget(1536);
    return store;
}

// The argument picks the store: 0 mapped, 1 whole map, 2 cached pages.
void RandomRecordsAgainstCopy(benchmark::State& state) {
    BenchNetwork& network = Network();
    const std::unique_ptr<SeparatedPageStore> store =
        OpenStore(static_cast<int>(state.range(0)), network.parameters);
    if (!store) {
        state.SkipWithError("the store does not open");
        return;
    }
    const std::vector<testdata::WrittenAddress> addresses = RandomAddresses(network);
    // Batches of the store and of the copy alternate, so that both see the same machine load.
    constexpr std::size_t kBatch = 256;
    std::size_t next = 0;
    std::uint64_t ids = 0;
    std::uint64_t copyIds = 0;
    double seconds = 0.0;
    double copySeconds = 0.0;
    // One untimed pass over the addresses warms both.
    for (const testdata::WrittenAddress& a : addresses) {
        benchmark::DoNotOptimize(store->GetRecord(a.page, a.offset).data);
        benchmark::DoNotOptimize(network.pages[std::size_t{a.page} * kPageSize + a.offset]);
    }
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < kBatch; ++i) {
            const testdata::WrittenAddress a = addresses[(next + i) & 0xFFFF];
            const RecordBytes bytes = store->GetRecord(a.page, a.offset);
            const auto record = CrossingRecord::Parse(bytes.data, bytes.available, false);
            ids += record ? record->Id() : 0u;
        }
        const auto middle = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < kBatch; ++i) {
            const testdata::WrittenAddress a = addresses[(next + i) & 0xFFFF];
            const std::size_t at = std::size_t{a.page} * kPageSize + a.offset;
            const auto record =
                CrossingRecord::Parse(network.pages.data() + at, kPageSize - a.offset, false);
            copyIds += record ? record->Id() : 0u;
        }
        benchmark::DoNotOptimize(copyIds);
        seconds += std::chrono::duration<double>(middle - start).count();
        copySeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - middle).count();
        next = (next + kBatch) & 0xFFFF;
    }
    if (ids != copyIds) {
        state.SkipWithError("the store and the copy disagree");
        return;
    }
    const auto count = static_cast<double>(state.iterations() * kBatch);
    const SeparatedPageStore::CacheCounts counts = store->GetCacheCounts();
    state.counters["store_ns"] = seconds * 1e9 / count;
    state.counters["copy_ns"] = copySeconds * 1e9 / count;
    state.counters["ratio"] = copySeconds > 0.0 ? seconds / copySeconds : 0.0;
    const auto lookups = static_cast<double>(counts.hits + counts.misses);
    state.counters["hit_rate"] = lookups > 0.0 ? static_cast<double>(counts.hits) / lookups : 1.0;
}

} // namespace

BENCHMARK(RandomRecordsAgainstCopy)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK_MAIN();
