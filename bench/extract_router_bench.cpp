// Route calculation on a real road network: the shared OpenStreetMap extract (about 2,600
// level-0 crossings), converted at start-up by the data tool with one and with three network
// levels and loaded with its map data. For 1,000 random pairs of places on links, Calculate and
// BuildRecords of the router core (with positions, as the route service builds them) run against
// the bidirectional Dijkstra over the same level-0 graph in the same run (the Dijkstra once per
// pair, for both networks).
// Counters: those of bench::RouteTally, bench::SearchTally and bench::ReuseTally (pairs of 5 km
// and more, which reuse on three levels only); "router_settled" is the router's mean settled
// crossings (both sides, all levels), "convert_s" the time to convert the extract, "load_s" the
// network's load time; those of bench::SameRouteTally check every pair against a router that
// reads every target record. The whole run takes a few seconds.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "bench/bidirectionaldijkstra.h"
#include "bench/routererun.h"
#include "bench/routetally.h"
#include "bench/sameroute.h"
#include "positioning/geodistance.h"
#include "routing/routercore.h"
#include "routing/tests/routeoracle.h"
#include "routing/tests/routerfixture.h"
#include "testdata/tempdir.h"
#include "tools/osm/osmconvert.h"
#include "utilities/usefulcode/memoryarena.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

using bench::Clock;
using bench::Optimum;
using bench::SecondsSince;
using routingtest::OraclePlace;

constexpr std::size_t kPairs = 1000;
constexpr std::uint32_t kSeed = 27;

// The extract converted with one level count, loaded with its map data, and its router.
struct ConvertedNetwork {
    BlockCachePtr cache;
    six::RefCntPtr<RetrievalEngineImpl> engine;
    std::unique_ptr<RoadNetwork> network;
    std::unique_ptr<RouterCore> router;
    double convertSeconds = 0.0;
    double loadSeconds = 0.0;
    std::string error;

    ~ConvertedNetwork() {
        router.reset();
        network.reset();
        if (engine) {
            engine->Close();
        }
    }
};

// Both conversions in one device root, the level-0 world they were written from, the pairs and
// the Dijkstra's answers for them.
struct Extract {
    testdata::TempDeviceRoot root;
    testdata::RoadWorld world;
    RouteOptions options;
    std::unique_ptr<routingtest::RouteOracle> oracle;
    std::unique_ptr<bench::BidirectionalDijkstra> baseline;
    std::unordered_map<std::uint32_t, std::uint32_t> linkOfElement; // world link index + 1
    std::vector<std::pair<OraclePlace, OraclePlace>> pairs;
    // By pair of 5 km and more: a start about 1.1 times as far from the destination.
    std::vector<std::optional<OraclePlace>> fartherStarts;
    std::vector<Optimum> optima; // by pair, once measured
    std::unique_ptr<ConvertedNetwork> networks[2];
    std::string error;
};

constexpr std::uint32_t kLevels[] = {1, 3};

std::unique_ptr<ConvertedNetwork> ConvertAndLoad(Extract& extract, std::uint32_t levels) {
    auto converted = std::make_unique<ConvertedNetwork>();
    const std::u16string folder = levels == 1 ? u"one" : u"three";
    osm2nav::ConvertOptions options;
    options.extract = NAV_OSM_EXTRACT;
    options.output = extract.root.HostPath() / folder;
    options.levels = levels;
    std::ostringstream summary;
    testdata::RoadWorld world;
    const Clock::time_point start = Clock::now();
    converted->error = osm2nav::Convert(options, summary, &world);
    converted->convertSeconds = SecondsSince(start);
    if (!converted->error.empty()) {
        return converted;
    }
    if (extract.world.links.empty()) {
        extract.world = std::move(world);
    }
    const Clock::time_point loadStart = Clock::now();
    converted->cache = BlockCache::Create(1024);
    converted->engine = RetrievalEngineImpl::CreateEngine(converted->cache);
    converted->network = std::make_unique<RoadNetwork>();
    if (!converted->engine->Open(u"\\" + folder + osm2nav::kLevelFile) ||
        !converted->network->Load(u"\\" + folder + osm2nav::kNetworkFile,
                                  RetrievalEngine::RetrievalEnginePtr(converted->engine))) {
        converted->error = "the converted extract does not load";
        return converted;
    }
    converted->loadSeconds = SecondsSince(loadStart);
    converted->router = std::make_unique<RouterCore>();
    // The network lives in this object, which outlives the router.
    converted->router->SetNetwork(RoadNetworkPtr(converted->network.get(), [](RoadNetwork*) {}));
    return converted;
}

std::unique_ptr<Extract> Prepare() {
    auto extract = std::make_unique<Extract>();
    if (!extract->root.InstallModule(u"ziVur.dll") ||
        (!MemoryArena::Shared().HoldsMemory() && !MemoryArena::Shared().Reserve(4 << 20))) {
        extract->error = "no device root";
        return extract;
    }
    for (std::size_t i = 0; i < std::size(kLevels); ++i) {
        extract->networks[i] = ConvertAndLoad(*extract, kLevels[i]);
        if (!extract->networks[i]->error.empty()) {
            extract->error = extract->networks[i]->error;
            return extract;
        }
    }
    const testdata::RoadWorld& world = extract->world;
    for (std::uint32_t i = 0; i < world.links.size(); ++i) {
        extract->linkOfElement[world.links[i].elementId] = i + 1;
    }
    extract->oracle = std::make_unique<routingtest::RouteOracle>(world, extract->options);
    extract->baseline = std::make_unique<bench::BidirectionalDijkstra>(world, extract->options);
    routingtest::PlaceDraw draw(world, kSeed);
    while (extract->pairs.size() < kPairs) {
        if (const auto places = draw.Pair(true)) {
            extract->pairs.push_back(*places);
        }
    }
    const routingtest::RouteOracle& oracle = *extract->oracle;
    for (const auto& [start, destination] : extract->pairs) {
        const GeoPoint to = oracle.Entry(destination).point;
        const double metres = GeoDistance(oracle.Entry(start).point, to);
        std::optional<OraclePlace> farther;
        for (int attempt = 0; attempt < 20000 && !farther && metres >= 5000.0; ++attempt) {
            const OraclePlace place = draw.OnLink();
            const double ratio = GeoDistance(oracle.Entry(place).point, to) / metres;
            if (ratio >= 1.08 && ratio <= 1.12 && place.link != destination.link) {
                farther = place;
            }
        }
        extract->fartherStarts.push_back(farther);
    }
    return extract;
}

Extract& SharedExtract() {
    static const std::unique_ptr<Extract> extract = Prepare();
    return *extract;
}

const Optimum& OptimumOf(Extract& extract, std::size_t index) {
    if (extract.optima.size() <= index) {
        const auto& [start, destination] = extract.pairs[index];
        const Clock::time_point begin = Clock::now();
        Optimum optimum;
        optimum.cost =
            extract.baseline->Cost({start.node, start.link, start.offset},
                                   {destination.node, destination.link, destination.offset});
        optimum.seconds = SecondsSince(begin);
        optimum.settled = extract.baseline->GetSettledCount();
        extract.optima.push_back(optimum);
    }
    return extract.optima[index];
}

// The route's cost over the world, its records naming world links as the oracle does.
std::optional<double> Price(const Extract& extract, std::vector<RouteRecord> records,
                            const OraclePlace& start, const OraclePlace& destination) {
    for (RouteRecord& record : records) {
        const auto found = extract.linkOfElement.find(record.linkId);
        record.linkId = found == extract.linkOfElement.end() ? 0 : found->second;
    }
    std::string problem;
    return extract.oracle->PriceRecords(records, start, destination, problem);
}

void CalculateAgainstDijkstra(benchmark::State& state, std::size_t network) {
    Extract& extract = SharedExtract();
    if (!extract.error.empty()) {
        state.SkipWithError(extract.error.c_str());
        return;
    }
    const ConvertedNetwork& converted = *extract.networks[network];
    RouterCore& router = *converted.router;
    router.SetOptions(extract.options);
    bench::RouteTally tally;
    bench::SearchTally search;
    bench::ReuseTally reuse;
    bench::ReuseTally checkReuse; // not reported: keeps the check routers' state in step
    bench::SameRouteTally same;
    double routerSettled = 0.0;
    std::size_t next = 0;
    for (auto _ : state) {
        const std::size_t index = next++ % extract.pairs.size();
        const auto& [start, destination] = extract.pairs[index];
        const RoutePositionEntry from = extract.oracle->Entry(start);
        const RoutePositionEntry to = extract.oracle->Entry(destination);
        const std::uint64_t reads = bench::PageReads(*converted.network);
        const bench::TimedCalculation timed = bench::TimeCalculation(router, from, to);
        const std::int32_t result = timed.result;
        const std::vector<RouteRecord>& records = timed.outcome.records;
        const double seconds = timed.seconds;
        search.Add(router.GetStatistics(), bench::PageReads(*converted.network) - reads);
        for (const auto& side : router.GetSettledCounts()) {
            for (const std::uint32_t settled : side) {
                routerSettled += settled;
            }
        }
        const Optimum& optimum = OptimumOf(extract, index);
        if (tally.Add(result, seconds, optimum)) {
            tally.AddPrice(Price(extract, records, start, destination), optimum);
        }
        if (result == 6 && extract.fartherStarts[index]) {
            bench::Rerun(router, *extract.oracle, *extract.fartherStarts[index], destination,
                         reuse);
        }
        same.Add(timed, from, to);
    }
    // The same calculations, reruns included, by the check routers.
    bench::CheckRouters check(router.GetNetwork(), extract.options);
    for (std::size_t i = 0; i < same.kept.size(); ++i) {
        const std::size_t index = i % extract.pairs.size();
        same.Check(i, check);
        if (same.kept[i].outcome.result == 6 && extract.fartherStarts[index]) {
            for (RouterCore* checking : {&check.checking, &check.reading}) {
                bench::Rerun(*checking, *extract.oracle, *extract.fartherStarts[index],
                             extract.pairs[index].second, checkReuse);
            }
        }
    }
    tally.Report(state);
    search.Report(state);
    reuse.Report(state);
    same.Report(state);
    state.counters["router_settled"] = routerSettled / static_cast<double>(state.iterations());
    state.counters["convert_s"] = converted.convertSeconds;
    state.counters["load_s"] = converted.loadSeconds;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (std::size_t i = 0; i < std::size(kLevels); ++i) {
        const std::string name = "ExtractRoute/" + std::to_string(kLevels[i]) + "level";
        benchmark::RegisterBenchmark(name.c_str(), CalculateAgainstDijkstra, i)
            ->Iterations(kPairs)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
