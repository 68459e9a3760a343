// The staged calculation with a maximum stage count of 1 against the plain calculation alone,
// on the router benchmark's world of about 100,000 level-0 crossings (three levels, chained
// upper links) with its map set, for the same random pairs of places on links about 20 km
// apart, in the same run. Counters per route: "staged_ms", "calculate_ms", "ratio" (staged over
// calculate), "calculations" (the staged run's, the main one included), "elements" and
// "encoded_bytes" of the tree.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "bench/routetally.h"
#include "bench/serviceworld.h"
#include "positioning/geodistance.h"
#include "routing/routercore.h"
#include "routing/routeservice.h"
#include "routing/routetree.h"
#include "routing/tests/routerfixture.h"
#include "testdata/randomworld.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/tempdir.h"
#include "testdata/worldmapset.h"
#include "utilities/usefulcode/memoryarena.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::SecondsSince;

constexpr std::uint32_t kSide = 316; // the router benchmark's "100k" world
constexpr std::uint32_t kSeed = 32;
constexpr std::size_t kPairs = 6;

using Pair = std::pair<RoutePositionEntry, RoutePositionEntry>;

struct StagedWorld : BenchServiceWorld {
    std::vector<Pair> pairs;
};

RoutePositionEntry EntryOf(StagedWorld& w, const routingtest::OraclePlace& place) {
    const testdata::WorldLink& link = w.random.world.links[*place.link];
    const std::uint32_t other = link.from == place.node ? link.to : link.from;
    const double share = std::min(place.offset / (link.lengthUnits * 5.0), 1.0);
    const GeoPoint point = w.random.world.PointAlong(place.node, other, share);
    const RoutePositionPtr position = w.service->CreatePosition(&link.elementId, &point);
    return position && position->Count() > 0 ? *position->Begin() : RoutePositionEntry{};
}

// Pairs 18 to 22 km apart, drawn as the router benchmark draws them.
void DrawPairs(StagedWorld& w) {
    routingtest::PlaceDraw draw(w.random.world, kSeed * 7919u);
    for (int attempt = 0; attempt < 400000 && w.pairs.size() < kPairs; ++attempt) {
        const auto places = draw.Pair(true);
        if (!places) {
            continue;
        }
        const RoutePositionEntry start = EntryOf(w, places->first);
        const RoutePositionEntry destination = EntryOf(w, places->second);
        const double metres = GeoDistance(start.point, destination.point);
        if (start.elementId != 0xFFFFFFFF && destination.elementId != 0xFFFFFFFF &&
            metres > 18000.0 && metres < 22000.0) {
            w.pairs.emplace_back(start, destination);
        }
    }
}

std::unique_ptr<StagedWorld> MakeWorld() {
    auto w = std::make_unique<StagedWorld>();
    testdata::RandomWorldOptions options;
    options.seed = kSeed;
    options.columns = kSide;
    options.rows = kSide;
    options.levels = 3;
    w->random = testdata::MakeRandomWorld(options);
    OpenBenchServiceWorld(*w);
    if (!w->error.empty()) {
        return w;
    }
    DrawPairs(*w);
    return w;
}

StagedWorld& World() {
    static const std::unique_ptr<StagedWorld> world = MakeWorld();
    return *world;
}

void StagedAgainstCalculate(benchmark::State& state) {
    StagedWorld& w = World();
    if (!w.error.empty() || w.pairs.empty()) {
        state.SkipWithError(w.error.empty() ? "no pair 20 km apart" : w.error.c_str());
        return;
    }
    double staged = 0.0;
    double calculate = 0.0;
    double calculations = 0.0;
    double elements = 0.0;
    double bytes = 0.0;
    std::size_t next = 0;
    for (auto _ : state) {
        const auto& [start, destination] = w.pairs[next++ % w.pairs.size()];
        Clock::time_point begin = Clock::now();
        const std::int32_t code = w.router->Calculate(start, destination, {});
        benchmark::DoNotOptimize(w.router->BuildRecords(-1, true).data());
        calculate += SecondsSince(begin);
        const auto tree = std::make_shared<RouteTree>();
        begin = Clock::now();
        const std::int32_t stagedCode =
            w.router->CalculateStaged(tree, start, destination, {}, 1, 0.0f);
        staged += SecondsSince(begin);
        if (code != 6 || stagedCode != 6) {
            state.SkipWithError("a pair without route");
            return;
        }
        calculations += w.router->GetStagedCalculationCount();
        const auto lock = tree->Lock();
        elements += static_cast<double>(tree->GetElementCount());
        bytes += tree->GetEncodedSize();
    }
    const auto perRoute = [&](double value) {
        return value / static_cast<double>(state.iterations());
    };
    state.counters["staged_ms"] = perRoute(staged * 1000.0);
    state.counters["calculate_ms"] = perRoute(calculate * 1000.0);
    state.counters["ratio"] = calculate > 0.0 ? staged / calculate : 0.0;
    state.counters["calculations"] = perRoute(calculations);
    state.counters["elements"] = perRoute(elements);
    state.counters["encoded_bytes"] = perRoute(bytes);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!MemoryArena::Shared().Reserve(8u << 20)) {
        return 1;
    }
    benchmark::RegisterBenchmark("CalculateStaged/100k/20km", StagedAgainstCalculate)
        ->Iterations(kPairs)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
