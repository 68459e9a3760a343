// Two speeds against baselines in the same run. FindCrossingNear (radius 2000 m) on a level of
// 1,000,000 crossings against a scan of all crossing positions held in memory ("ratio" is scan
// time over query time; goal at least 50). The node heap's push and pop against
// std::priority_queue on the same keys ("ratio" is heap time over queue time; goal at most 1.5).
#include "positioning/geodistance.h"
#include "routing/roadnetwork.h"
#include "routing/searchheap.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/tempdir.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <queue>
#include <random>
#include <vector>

namespace {

struct BenchNetwork {
    testdata::TempDeviceRoot root;
    RoadNetwork network;
    std::vector<GeoPoint> positions;
    GeoRect bounds;
};

BenchNetwork& Network() {
    static const std::unique_ptr<BenchNetwork> network = [] {
        auto made = std::make_unique<BenchNetwork>();
        testdata::RoadNetworkOptions options;
        options.pageSize = 8192;
        testdata::RoadNetworkWriter writer(
            testdata::RoadWorld::Grid(1000, 1000, 300, {1000000, 6000000}), options);
        if (!writer.WriteTo(made->root, u"\\Net") || !made->root.InstallModule(u"ziVur.dll") ||
            !made->network.Load(u"\\Net\\Net.rd", nullptr)) {
            std::abort();
        }
        const testdata::RoadWorld& world = writer.GetWorld();
        for (std::uint32_t node = 0; node < world.nodes.size(); ++node) {
            made->positions.push_back(world.Position(node));
        }
        made->bounds = world.Bounds();
        return made;
    }();
    return *network;
}

void FindCrossingNearAgainstScan(benchmark::State& state) {
    BenchNetwork& net = Network();
    std::mt19937 random(7);
    std::uniform_real_distribution<float> x(net.bounds.minX, net.bounds.maxX);
    std::uniform_real_distribution<float> y(net.bounds.minY, net.bounds.maxY);
    double seconds = 0.0;
    double scanSeconds = 0.0;
    std::uint64_t disagreements = 0;
    for (auto _ : state) {
        const GeoPoint at{x(random), y(random)};
        const auto start = std::chrono::steady_clock::now();
        CrossingQuery query;
        query.input = at;
        query.radius = 2000.0f;
        const bool isFound = net.network.FindCrossingNear(query);
        const auto middle = std::chrono::steady_clock::now();
        std::uint64_t best = 2000;
        GeoPoint nearest{};
        for (const GeoPoint& p : net.positions) {
            const double d = GeoDistance(at, p);
            if (d < static_cast<double>(best)) {
                best = static_cast<std::uint64_t>(d);
                nearest = p;
            }
        }
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(nearest);
        disagreements += isFound && !(query.output == nearest) ? 1 : 0;
        seconds += std::chrono::duration<double>(middle - start).count();
        scanSeconds += std::chrono::duration<double>(end - middle).count();
    }
    const auto count = static_cast<double>(state.iterations());
    state.counters["query_us"] = seconds * 1e6 / count;
    state.counters["scan_us"] = scanSeconds * 1e6 / count;
    state.counters["ratio"] = seconds > 0.0 ? scanSeconds / seconds : 0.0;
    state.counters["disagreements"] = static_cast<double>(disagreements);
}

void HeapAgainstPriorityQueue(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::mt19937 random(11);
    std::uniform_real_distribution<float> cost(0.0f, 100000.0f);
    std::vector<float> keys(n);
    for (float& key : keys) {
        key = cost(random);
    }
    SearchLabelPool pool;
    SearchNodeHeap heap(pool);
    std::vector<SearchLabel*> labels(n);
    double seconds = 0.0;
    double queueSeconds = 0.0;
    float sum = 0.0f;
    float queueSum = 0.0f;
    for (auto _ : state) {
        for (std::size_t i = 0; i < n; ++i) {
            labels[i] = pool.Allocate();
            labels[i]->cost = keys[i];
        }
        const auto start = std::chrono::steady_clock::now();
        for (SearchLabel* label : labels) {
            if (!heap.Push(label)) {
                state.SkipWithError("push failed");
                return;
            }
        }
        while (!heap.IsEmpty()) {
            sum += heap.PopMin()->cost;
        }
        const auto middle = std::chrono::steady_clock::now();
        std::priority_queue<float, std::vector<float>, std::greater<>> queue;
        for (const float key : keys) {
            queue.push(key);
        }
        while (!queue.empty()) {
            queueSum += queue.top();
            queue.pop();
        }
        const auto end = std::chrono::steady_clock::now();
        seconds += std::chrono::duration<double>(middle - start).count();
        queueSeconds += std::chrono::duration<double>(end - middle).count();
    }
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(queueSum);
    state.counters["ratio"] = queueSeconds > 0.0 ? seconds / queueSeconds : 0.0;
}

} // namespace

BENCHMARK(FindCrossingNearAgainstScan)->Unit(benchmark::kMicrosecond);
BENCHMARK(HeapAgainstPriorityQueue)->Arg(1000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
