// Route calculation on generated worlds of about 10,000 (two levels), 100,000 and 1,000,000
// (three levels) level-0 crossings, each loaded with mapped page stores and with cached
// ("separated") ones at the minimum cache budget of 1536 KB. For random pairs of places on links
// in three distance bands and for each route type, Calculate and BuildRecords of the router core
// run against a bidirectional Dijkstra over the same level-0 graph in the same run (the Dijkstra
// once per pair and route type, for both stores).
// Counters: those of bench::RouteTally, bench::SearchTally and bench::ReuseTally (pairs of 5 km
// and more); "load_s" is the network's load time and "write_s" the time to generate and write the
// world; those of bench::SameRouteTally check every pair against a router that reads every
// target record.
// The whole run takes about a minute and 800 MB, two thirds of it for the largest world;
// --benchmark_filter='Route/(10k|100k)/' leaves that out.
#include "bench/bidirectionaldijkstra.h"
#include "bench/routererun.h"
#include "bench/routetally.h"
#include "bench/sameroute.h"
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
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using bench::Clock;
using bench::Optimum;
using bench::SecondsSince;
using routingtest::OraclePlace;

struct WorldSpec {
    const char* name;
    std::uint32_t side; // grid nodes per row and column
    std::uint32_t levels;
    std::uint32_t seed;
};
constexpr WorldSpec kWorlds[] = {{"10k", 100, 2, 31}, {"100k", 316, 3, 32}, {"1M", 1000, 3, 33}};
constexpr const char* kStoreNames[] = {"mapped", "separated"};
constexpr const char* kBandNames[] = {"under5km", "5to40km", "over40km"};
constexpr const char* kRouteTypeNames[] = {"shortest", "quickest", "mixed"};
constexpr std::size_t kPairsPerBand = 32;
constexpr std::int32_t kSpacing = 1000; // map units, about 150 m

using Pair = std::pair<OraclePlace, OraclePlace>;

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
    // By band and pair: a start about 1.1 times as far from the destination, when one was drawn.
    std::array<std::vector<std::optional<OraclePlace>>, 3> fartherStarts;
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
        const std::size_t band = routingtest::DistanceBand(metres);
        if (band < 3 && generated.pairs[band].size() < kPairsPerBand) {
            generated.pairs[band].push_back(*places);
        }
    }
    // Reuse needs a level above 0: pairs under 5 km get none.
    for (std::size_t band = 1; band < 3; ++band) {
        for (const auto& [start, destination] : generated.pairs[band]) {
            const GeoPoint to = oracle.Entry(destination).point;
            const double metres = GeoDistance(oracle.Entry(start).point, to);
            std::optional<OraclePlace> farther;
            for (int attempt = 0; attempt < 100000 && !farther; ++attempt) {
                const OraclePlace place = draw.OnLink();
                const double ratio = GeoDistance(oracle.Entry(place).point, to) / metres;
                if (ratio >= 1.08 && ratio <= 1.12 && place.link != destination.link) {
                    farther = place;
                }
            }
            generated.fartherStarts[band].push_back(farther);
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
    bench::RouteTally tally;
    bench::SearchTally search;
    bench::ReuseTally reuse;
    bench::ReuseTally checkReuse; // not reported: keeps the check routers' state in step
    bench::SameRouteTally same;
    std::size_t next = 0;
    for (auto _ : state) {
        const std::size_t index = next++ % pairs.size();
        const auto& [start, destination] = pairs[index];
        const RoutePositionEntry from = oracle.Entry(start);
        const RoutePositionEntry to = oracle.Entry(destination);
        const std::uint64_t reads = bench::PageReads(*loaded->network);
        // With points: expanded records of optimised links carry their crossings' positions,
        // which the pricing joins the records by.
        const bench::TimedCalculation timed = bench::TimeCalculation(router, from, to);
        const std::int32_t result = timed.result;
        const std::vector<RouteRecord>& records = timed.outcome.records;
        const double seconds = timed.seconds;
        search.Add(router.GetStatistics(), bench::PageReads(*loaded->network) - reads);
        const Optimum& optimum = OptimumOf(*generated, band, routeType, index);
        if (tally.Add(result, seconds, optimum)) {
            std::string problem;
            tally.AddPrice(oracle.PriceRecords(records, start, destination, problem), optimum);
        }
        if (result == 6 && band > 0 && generated->fartherStarts[band][index]) {
            bench::Rerun(router, oracle, *generated->fartherStarts[band][index], destination,
                         reuse);
        }
        same.Add(timed, from, to);
    }
    // The same calculations, reruns included, by the check routers.
    bench::CheckRouters check(router.GetNetwork(), generated->options[routeType]);
    for (std::size_t i = 0; i < same.kept.size(); ++i) {
        const std::size_t index = i % pairs.size();
        same.Check(i, check);
        const auto& farther = generated->fartherStarts[band];
        if (same.kept[i].outcome.result == 6 && band > 0 && farther[index]) {
            for (RouterCore* checking : {&check.checking, &check.reading}) {
                bench::Rerun(*checking, oracle, *farther[index], pairs[index].second, checkReuse);
            }
        }
    }
    tally.Report(state);
    search.Report(state);
    reuse.Report(state);
    same.Report(state);
    state.counters["load_s"] = loaded->loadSeconds;
    state.counters["write_s"] = generated->generateSeconds + loaded->writeSeconds;
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
                if (routingtest::kBandMetres[band] >= diagonalMetres) {
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
