// The route service end to end against the router alone, on the router benchmark's world of
// about 100,000 level-0 crossings (three levels, chained upper links, mapped page stores) with
// its map set, for the same random pairs of places on links in three distance bands. The
// service's side makes both positions from element and point, requests the route (a fresh
// router core, calculation, records, snapshot) and walks it whole, reading every record with
// its polyline and the junction streets before it. The router's side calculates between the
// same position entries and builds the records (with points) on one router core.
// Counters (milliseconds per route, averaged over the pairs): "service_ms", "router_ms",
// "ratio" (service over router), and the service's parts "positions_ms", "request_ms" and
// "walk_ms"; "records" and "junction_streets" per route.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "bench/routetally.h"
#include "bench/serviceworld.h"
#include "positioning/geodistance.h"
#include "routing/routercore.h"
#include "routing/routeservice.h"
#include "routing/tests/routerfixture.h"
#include "testdata/randomworld.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/tempdir.h"
#include "testdata/worldmapset.h"
#include "utilities/usefulcode/memoryarena.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::SecondsSince;
using routingtest::OraclePlace;

constexpr std::uint32_t kSide = 316; // the router benchmark's "100k" world
constexpr std::uint32_t kSeed = 32;
constexpr std::size_t kPairsPerBand = 32;
constexpr const char* kBandNames[] = {"under5km", "5to40km", "over40km"};

// A place as an element and a point on it.
struct Place {
    std::uint32_t elementId = 0;
    GeoPoint point;
};
using Pair = std::pair<Place, Place>;

struct ServiceWorld : BenchServiceWorld {
    std::array<std::vector<Pair>, 3> pairs;
    std::uint32_t largestElementId = 0;
};

Place PlaceOf(const testdata::RoadWorld& world, const OraclePlace& place) {
    const testdata::WorldLink& link = world.links[*place.link];
    const std::uint32_t other = link.from == place.node ? link.to : link.from;
    const double share = place.offset / (link.lengthUnits * 5.0);
    return {link.elementId, world.PointAlong(place.node, other, std::min(share, 1.0))};
}

// The router benchmark's pairs: the same draw over the same world.
void DrawPairs(ServiceWorld& w) {
    routingtest::PlaceDraw draw(w.random.world, kSeed * 7919u);
    for (int attempt = 0; attempt < 400000; ++attempt) {
        const auto places = draw.Pair(true);
        if (!places) {
            continue;
        }
        const Place start = PlaceOf(w.random.world, places->first);
        const Place destination = PlaceOf(w.random.world, places->second);
        const std::size_t band =
            routingtest::DistanceBand(GeoDistance(start.point, destination.point));
        if (band < 3 && w.pairs[band].size() < kPairsPerBand) {
            w.pairs[band].emplace_back(start, destination);
        }
    }
}

std::unique_ptr<ServiceWorld> MakeWorld() {
    auto w = std::make_unique<ServiceWorld>();
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
    for (const testdata::WorldLink& link : w->random.world.links) {
        w->largestElementId = std::max(w->largestElementId, link.elementId);
    }
    // Chained upper links take ids from the first chain start on; an element id there would
    // name two links.
    if (w->largestElementId >= testdata::kRandomWorldChainStarts[1]) {
        w->error = "element ids reach the optimised link ids";
        return w;
    }
    DrawPairs(*w);
    return w;
}

ServiceWorld& World() {
    static const std::unique_ptr<ServiceWorld> world = MakeWorld();
    return *world;
}

void ServiceAgainstRouter(benchmark::State& state, std::size_t band) {
    ServiceWorld& w = World();
    if (!w.error.empty()) {
        state.SkipWithError(w.error.c_str());
        return;
    }
    const std::vector<Pair>& pairs = w.pairs[band];
    if (pairs.empty()) {
        state.SkipWithError("no pair this far apart in the world");
        return;
    }
    double positions = 0.0;
    double request = 0.0;
    double walk = 0.0;
    double router = 0.0;
    std::size_t records = 0;
    std::size_t junctionStreets = 0;
    std::size_t found = 0;
    std::size_t next = 0;
    std::vector<NeighbourLink> allowed;
    std::vector<NeighbourLink> forbidden;
    for (auto _ : state) {
        const auto& [from, to] = pairs[next++ % pairs.size()];
        Clock::time_point begin = Clock::now();
        const RoutePositionPtr start = w.service->CreatePosition(&from.elementId, &from.point);
        const RoutePositionPtr destination = w.service->CreatePosition(&to.elementId, &to.point);
        positions += SecondsSince(begin);
        begin = Clock::now();
        const RouteRequestResult result = w.service->RequestRoute(start, destination, nullptr);
        request += SecondsSince(begin);
        begin = Clock::now();
        for (RouteIteratorPtr it = GetRouteIterator(result); it && it->IsValid(); it->Next()) {
            benchmark::DoNotOptimize(it->Current().polyline.data());
            it->GetJunctionStreets(allowed, forbidden);
            junctionStreets += allowed.size() + forbidden.size();
            ++records;
        }
        walk += SecondsSince(begin);
        found += result.status == routestatus::kFound ? 1 : 0;

        if (!start || start->Count() == 0 || !destination || destination->Count() == 0) {
            continue;
        }
        CalculationFlags flags;
        flags.allowReuse = 1;
        flags.useAnnotations = 1;
        begin = Clock::now();
        const std::int32_t code =
            w.router->Calculate(*start->Begin(), *destination->Begin(), flags);
        benchmark::DoNotOptimize(w.router->BuildRecords(-1, true).data());
        router += SecondsSince(begin);
        // Both sides must have calculated the same route for the comparison to hold.
        const bool isSame =
            code == 6 ? result.status == routestatus::kFound &&
                            static_cast<std::int32_t>(w.router->GetLength()) == result.length
                      : result.status != routestatus::kFound;
        if (!isSame) {
            state.SkipWithError("the router alone and the service differ");
            return;
        }
    }
    const auto perRoute = [&](double seconds) {
        return seconds * 1000.0 / static_cast<double>(state.iterations());
    };
    const double service = positions + request + walk;
    state.counters["service_ms"] = perRoute(service);
    state.counters["router_ms"] = perRoute(router);
    state.counters["ratio"] = router > 0.0 ? service / router : 0.0;
    state.counters["positions_ms"] = perRoute(positions);
    state.counters["request_ms"] = perRoute(request);
    state.counters["walk_ms"] = perRoute(walk);
    state.counters["records"] =
        static_cast<double>(records) / static_cast<double>(state.iterations());
    state.counters["junction_streets"] =
        static_cast<double>(junctionStreets) / static_cast<double>(state.iterations());
    state.counters["found"] = static_cast<double>(found);
    state.counters["largest_element_id"] = static_cast<double>(w.largestElementId);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!MemoryArena::Shared().Reserve(8u << 20)) {
        return 1;
    }
    for (std::size_t band = 0; band < 3; ++band) {
        const std::string name = std::string("RouteService/100k/") + kBandNames[band];
        benchmark::RegisterBenchmark(name.c_str(), ServiceAgainstRouter, band)
            ->Iterations(kPairsPerBand)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
