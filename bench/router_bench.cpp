// Route calculation on generated worlds of about 10,000 (two levels), 100,000 and 1,000,000
// (three levels) level-0 crossings, each loaded with mapped page stores and with cached
// ("separated") ones at the minimum cache budget of 1536 KB. For random pairs of places on links
// in three distance bands and for each route type, Calculate and BuildRecords of the router core
// run against a bidirectional Dijkstra over the same level-0 graph in the same run (the Dijkstra
// once per pair and route type, for both stores).
// Counters: "time_ratio" is router time over Dijkstra time on the pairs the router routes;
// "router_ms" and "dijkstra_ms" are mean times per pair, "dijkstra_settled" the Dijkstra's mean
// settled nodes; "cost_median", "cost_p95" and "cost_max" the route's cost over the optimum (1.0
// is optimal) on the "routes" priced; "unreachable" counts pairs without any route, "failed"
// those the router finds none for (of them "code10_19" out of search memory), "broken" routes
// whose records do not make a drivable route; "load_s" is the network's load time and "write_s"
// the time to generate and write the world.
// The whole run takes about a minute and 800 MB, two thirds of it for the largest world;
// --benchmark_filter='Route/(10k|100k)/' leaves that out.
#include "bench/bidirectionaldijkstra.h"
#include "positioning/geodistance.h"
#include "routing/routercore.h"
#include "routing/tests/networkfixture.h"
#include "routing/tests/routeoracle.h"
#include "routing/tests/routerfixture.h"
#include "testdata/randomworld.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/memoryarena.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

using routingtest::OraclePlace;
using Clock = std::chrono::steady_clock;

struct WorldSpec {
    const char* name;
    std::uint32_t side; // grid nodes per row and column
    std::uint32_t levels;
    std::uint32_t seed;
};
constexpr WorldSpec kWorlds[] = {{"10k", 100, 2, 31}, {"100k", 316, 3, 32}, {"1M", 1000, 3, 33}};
constexpr const char* kStoreNames[] = {"mapped", "separated"};
constexpr double kBandMetres[] = {0.0, 5000.0, 40000.0, 1e12};
constexpr const char* kBandNames[] = {"under5km", "5to40km", "over40km"};
constexpr const char* kRouteTypeNames[] = {"shortest", "quickest", "mixed"};
constexpr std::size_t kPairsPerBand = 32;
constexpr std::int32_t kSpacing = 1000; // map units, about 150 m

using Pair = std::pair<OraclePlace, OraclePlace>;

// The Dijkstra's answer for one pair and route type.
struct Optimum {
    double cost = 0.0;
    double seconds = 0.0;
    std::uint32_t settled = 0;
};

// A generated world with its baseline, reference pricing and pairs by band, and the Dijkstra's
// answers once measured (the same for both stores).
struct GeneratedWorld {
    std::size_t world = 0;
    testdata::RandomWorld random;
    double generateSeconds = 0.0;
    std::array<RouteOptions, 3> options; // by route type
    std::vector<std::unique_ptr<routingtest::RouteOracle>> oracles;
    std::unique_ptr<bench::BidirectionalDijkstra> baseline;
    std::array<std::vector<Pair>, 3> pairs;
    std::map<std::tuple<std::size_t, std::uint32_t, std::size_t>, Optimum> optima;
};

// The world written for one store and loaded, with its router.
struct LoadedNetwork {
    int store = 0;
    testdata::TempDeviceRoot root;
    std::unique_ptr<RoadNetwork> network;
    std::unique_ptr<RouterCore> router;
    double writeSeconds = 0.0;
    double loadSeconds = 0.0;
    std::string error;
};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Random pairs of places on links until every band has its share (or the draws run out: a small
// world has no far pairs).
void DrawPairs(GeneratedWorld& generated) {
    const routingtest::RouteOracle& oracle = *generated.oracles[1];
    routingtest::PlaceDraw draw(generated.random.world, kWorlds[generated.world].seed * 7919u);
    for (int attempt = 0; attempt < 400000; ++attempt) {
        const auto places = draw.Pair(true);
        if (!places) {
            continue;
        }
        const double metres =
            GeoDistance(oracle.Entry(places->first).point, oracle.Entry(places->second).point);
        const auto band = static_cast<std::size_t>(
            std::upper_bound(std::begin(kBandMetres), std::end(kBandMetres), metres) -
            std::begin(kBandMetres) - 1);
        if (band < 3 && generated.pairs[band].size() < kPairsPerBand) {
            generated.pairs[band].push_back(*places);
        }
    }
}

std::unique_ptr<GeneratedWorld> Generate(std::size_t world) {
    auto generated = std::make_unique<GeneratedWorld>();
    generated->world = world;
    const WorldSpec& spec = kWorlds[world];
    const Clock::time_point start = Clock::now();
    testdata::RandomWorldOptions worldOptions;
    worldOptions.seed = spec.seed;
    worldOptions.columns = spec.side;
    worldOptions.rows = spec.side;
    worldOptions.spacing = kSpacing;
    worldOptions.levels = spec.levels;
    generated->random = testdata::MakeRandomWorld(worldOptions);
    generated->generateSeconds = SecondsSince(start);
    const testdata::RoadWorld& roads = generated->random.world;
    for (std::uint32_t type = 0; type < 3; ++type) {
        generated->options[type].routeType = type;
        generated->oracles.push_back(
            std::make_unique<routingtest::RouteOracle>(roads, generated->options[type]));
    }
    generated->baseline =
        std::make_unique<bench::BidirectionalDijkstra>(roads, generated->options[1]);
    DrawPairs(*generated);
    return generated;
}

std::unique_ptr<LoadedNetwork> Load(const GeneratedWorld& generated, int store) {
    auto loaded = std::make_unique<LoadedNetwork>();
    loaded->store = store;
    const Clock::time_point writeStart = Clock::now();
    testdata::RoadNetworkOptions networkOptions =
        testdata::RandomWorldNetworkOptions(generated.random, true);
    networkOptions.pageSize = 4096;
    networkOptions.isArchived = store == 1;
    networkOptions.separated = {store == 1, store == 1, store == 1};
    {
        testdata::RoadNetworkWriter writer(generated.random.world, networkOptions);
        if (!writer.WriteTo(loaded->root, u"\\Net") || !loaded->root.InstallModule(u"ziVur.dll")) {
            loaded->error = "the world cannot be written";
            return loaded;
        }
    }
    loaded->writeSeconds = SecondsSince(writeStart);
    routingtest::SetFreeMemory(2u << 20); // the minimum budget, 1536 KB
    const Clock::time_point loadStart = Clock::now();
    loaded->network = std::make_unique<RoadNetwork>();
    if (!loaded->network->Load(u"\\Net\\Net.rd", nullptr)) {
        loaded->error = "the network does not load";
        return loaded;
    }
    loaded->loadSeconds = SecondsSince(loadStart);
    const auto expected =
        store == 1 ? SeparatedPageStore::Kind::Separated : SeparatedPageStore::Kind::Mapped;
    if (GetCacheBudget() != 1536 || loaded->network->GetStore(0)->GetKind() != expected) {
        loaded->error = "level 0 is not in the store asked for";
        return loaded;
    }
    loaded->router = std::make_unique<RouterCore>();
    // The network lives in the loaded world, which outlives the router.
    loaded->router->SetNetwork(RoadNetworkPtr(loaded->network.get(), [](RoadNetwork*) {}));
    return loaded;
}

// One world and one store at a time: the benchmarks run world by world, store by store.
std::pair<GeneratedWorld*, LoadedNetwork*> WorldFor(std::size_t world, int store) {
    static std::unique_ptr<GeneratedWorld> generated;
    static std::unique_ptr<LoadedNetwork> loaded;
    if (!generated || generated->world != world) {
        loaded.reset();
        generated.reset();
        generated = Generate(world);
    }
    if (!loaded || loaded->store != store) {
        loaded.reset();
        loaded = Load(*generated, store);
    }
    return {generated.get(), loaded.get()};
}

double Quantile(const std::vector<double>& sorted, double q) {
    return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(q * sorted.size()))];
}

// The Dijkstra's answer for a pair, measured the first time it is asked for.
const Optimum& OptimumOf(GeneratedWorld& generated, std::size_t band, std::uint32_t routeType,
                         std::size_t index) {
    const auto key = std::make_tuple(band, routeType, index);
    if (const auto found = generated.optima.find(key); found != generated.optima.end()) {
        return found->second;
    }
    const auto& [start, destination] = generated.pairs[band][index];
    bench::BidirectionalDijkstra& baseline = *generated.baseline;
    baseline.SetOptions(generated.options[routeType]);
    const Clock::time_point begin = Clock::now();
    Optimum optimum;
    optimum.cost = baseline.Cost({start.node, start.link, start.offset},
                                 {destination.node, destination.link, destination.offset});
    optimum.seconds = SecondsSince(begin);
    optimum.settled = baseline.GetSettledCount();
    return generated.optima[key] = optimum;
}

struct Tally {
    double routerSeconds = 0.0;
    double baselineSeconds = 0.0;
    double routedSeconds = 0.0; // of the pairs the router found a route for
    double routedBaselineSeconds = 0.0;
    double settled = 0.0;
    std::vector<double> ratios;
    int unreachable = 0;
    int failed = 0;
    int exhausted = 0;
    int broken = 0;

    void Report(benchmark::State& state, const LoadedNetwork& loaded, double generateSeconds) {
        const auto iterations = static_cast<double>(state.iterations());
        if (routedBaselineSeconds > 0.0) {
            state.counters["time_ratio"] = routedSeconds / routedBaselineSeconds;
        }
        state.counters["router_ms"] = routerSeconds * 1e3 / iterations;
        state.counters["dijkstra_ms"] = baselineSeconds * 1e3 / iterations;
        state.counters["dijkstra_settled"] = settled / iterations;
        if (!ratios.empty()) {
            std::sort(ratios.begin(), ratios.end());
            state.counters["cost_median"] = Quantile(ratios, 0.5);
            state.counters["cost_p95"] = Quantile(ratios, 0.95);
            state.counters["cost_max"] = ratios.back();
        }
        state.counters["routes"] = static_cast<double>(ratios.size());
        state.counters["unreachable"] = unreachable;
        state.counters["failed"] = failed;
        state.counters["code10_19"] = exhausted;
        state.counters["broken"] = broken;
        state.counters["load_s"] = loaded.loadSeconds;
        state.counters["write_s"] = generateSeconds + loaded.writeSeconds;
    }
};

void CalculateAgainstDijkstra(benchmark::State& state, std::size_t world, int store,
                              std::size_t band, std::uint32_t routeType) {
    const auto [generated, loaded] = WorldFor(world, store);
    if (!loaded->error.empty()) {
        state.SkipWithError(loaded->error.c_str());
        return;
    }
    const std::vector<Pair>& pairs = generated->pairs[band];
    if (pairs.empty()) {
        state.SkipWithError("no pair this far apart in the world");
        return;
    }
    RouterCore& router = *loaded->router;
    router.SetOptions(generated->options[routeType]);
    const routingtest::RouteOracle& oracle = *generated->oracles[routeType];
    Tally tally;
    std::size_t next = 0;
    for (auto _ : state) {
        const std::size_t index = next++ % pairs.size();
        const auto& [start, destination] = pairs[index];
        const Clock::time_point begin = Clock::now();
        const std::int32_t result =
            router.Calculate(oracle.Entry(start), oracle.Entry(destination), CalculationFlags{});
        // With points: expanded records of optimised links carry their crossings' positions,
        // which the pricing joins the records by.
        const std::vector<RouteRecord>& records = router.BuildRecords(-1, true);
        const double seconds = SecondsSince(begin);
        const Optimum& optimum = OptimumOf(*generated, band, routeType, index);
        tally.routerSeconds += seconds;
        tally.baselineSeconds += optimum.seconds;
        tally.settled += optimum.settled;
        if (optimum.cost == bench::BidirectionalDijkstra::kUnreachable) {
            ++tally.unreachable;
            continue;
        }
        if (result != 6) {
            ++tally.failed;
            tally.exhausted += result == 10 || result == 19 ? 1 : 0;
            continue;
        }
        tally.routedSeconds += seconds;
        tally.routedBaselineSeconds += optimum.seconds;
        std::string problem;
        if (const auto cost = oracle.PriceRecords(records, start, destination, problem)) {
            tally.ratios.push_back(*cost / optimum.cost);
        } else {
            ++tally.broken;
        }
    }
    tally.Report(state, *loaded, generated->generateSeconds);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The archived O2S table of the separated store reads its blocks into the block arena, which
    // the application reserves at start-up; without it every lookup finds nothing.
    if (!MemoryArena::Shared().Reserve(8u << 20)) {
        return 1;
    }
    for (std::size_t world = 0; world < std::size(kWorlds); ++world) {
        const WorldSpec& spec = kWorlds[world];
        const double diagonalMetres = 1.42 * spec.side * kSpacing * kMetresPerMapUnit;
        for (int store = 0; store < 2; ++store) {
            for (std::size_t band = 0; band < 3; ++band) {
                if (kBandMetres[band] >= diagonalMetres) {
                    continue;
                }
                for (std::uint32_t type = 0; type < 3; ++type) {
                    const std::string name = std::string("Route/") + spec.name + "/" +
                                             kStoreNames[store] + "/" + kBandNames[band] + "/" +
                                             kRouteTypeNames[type];
                    benchmark::RegisterBenchmark(name.c_str(), CalculateAgainstDijkstra, world,
                                                 store, band, type)
                        ->Iterations(kPairsPerBand)
                        ->Unit(benchmark::kMillisecond);
                }
            }
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
