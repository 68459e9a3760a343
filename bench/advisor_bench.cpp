// The advisor on the longest routes between the municipalities of the shared extract (converted
// at the start, with the demo advisor data): its creation, and advice every 10 m along the route,
// each against one walk of the same route's iterator reading every item's polyline, in turns in
// the same run. Counters: "walk_ms" (one walk), "create_ms" and "create_ratio" (creation over
// walk), "advice_mean_ms", "advice_worst_ms" and "advice_ratio" (mean advice over walk; the
// goal: at most 0.1, as a fix comes once a second), "worst_ratio", "positions" per route.
#include "advisor/advisor.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/routeservice.h"
#include "testdata/simulateddrive.h"
#include "testdata/tempdir.h"
#include "tools/osm/osmadvisor.h"
#include "tools/osm/osmconvert.h"
#include "tools/osmtests/extractplaces.h"
#include "utilities/usefulcode/memoryarena.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kRoutes = 4;
constexpr char16_t kBenchFolder[] = u"\\bench";

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The converted extract in a temporary device root (about 14 MB), removed with everything in it
// when the program ends, whether the conversion and the benchmarks succeeded or not.
struct Extract {
    testdata::TempDeviceRoot root;
    six::RefCntPtr<RetrievalEngineImpl> engine;
    RouteServicePtr service;
    std::vector<RouteRequestResult> routes; // the longest first
    std::string error;

    Extract() = default;
    Extract(const Extract&) = delete;
    Extract& operator=(const Extract&) = delete;
    // The routes and the service read through the engine, whose files close before the root goes.
    ~Extract() {
        routes.clear();
        service.reset();
        if (engine) {
            engine->Close();
        }
    }
};

RoutePositionPtr PositionIn(Extract& extract, const std::u16string& name) {
    const std::optional<std::uint32_t> id = extractplaces::FirstTownRoad(*extract.engine, name);
    return id ? extract.service->CreateElementPosition(&*id) : nullptr;
}

std::unique_ptr<Extract> Prepare() {
    auto made = std::make_unique<Extract>();
    if (!made->root.InstallModule(u"ziVur.dll")) {
        made->error = "no archive library";
        return made;
    }
    osm2nav::ConvertOptions options;
    options.extract = NAV_OSM_EXTRACT;
    options.output = made->root.HostPath() / "bench";
    options.levels = 3;
    options.advisorData = NAV_DEMO_DATA;
    std::ostringstream summary;
    made->error = osm2nav::Convert(options, summary);
    if (!made->error.empty()) {
        return made;
    }
    (void)MemoryArena::Shared().Reserve(4 << 20);
    made->engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    made->service = CreateRouteService(RetrievalEngine::RetrievalEnginePtr(made->engine));
    if (!made->engine->Open(kBenchFolder + std::u16string(osm2nav::kLevelFile)) ||
        !made->service->OpenNetwork(kBenchFolder + std::u16string(osm2nav::kNetworkFile))) {
        made->error = "the converted extract does not open";
        return made;
    }
    const std::u16string names[] = {u"Vaduz",   u"Schaan",       u"Balzers",     u"Triesen",
                                    u"Eschen",  u"Mauren",       u"Triesenberg", u"Gamprin",
                                    u"Ruggell", u"Schellenberg", u"Planken"};
    std::vector<RoutePositionPtr> places;
    for (const auto& name : names) {
        places.push_back(PositionIn(*made, name));
    }
    for (const auto& from : places) {
        for (const auto& to : places) {
            if (from && to && from != to) {
                RouteRequestResult route = made->service->RequestRoute(from, to, nullptr);
                if (route.status == routestatus::kFound) {
                    made->routes.push_back(std::move(route));
                }
            }
        }
    }
    std::sort(made->routes.begin(), made->routes.end(),
              [](const auto& a, const auto& b) { return a.length > b.length; });
    made->routes.resize(std::min(made->routes.size(), kRoutes));
    if (made->routes.empty()) {
        made->error = "no route between the municipalities";
    }
    return made;
}

Extract& TheExtract() {
    static const std::unique_ptr<Extract> extract = Prepare();
    return *extract;
}

// One walk of the route: every item with its polyline.
std::size_t WalkRoute(const RouteRequestResult& route) {
    std::size_t points = 0;
    std::vector<GeoPoint> polyline;
    for (RouteIteratorPtr it = GetRouteIterator(route); it && it->IsValid(); it->Next()) {
        polyline.clear();
        if (it->GetItemPolyline(RouteItemRef(it->Current()), polyline)) {
            points += polyline.size();
        }
    }
    return points;
}

void AdvisorAgainstRouteWalk(benchmark::State& state) {
    Extract& extract = TheExtract();
    if (!extract.error.empty()) {
        state.SkipWithError(extract.error.c_str());
        return;
    }
    const RouteRequestResult& route = extract.routes[static_cast<std::size_t>(state.range(0))];
    std::vector<testdata::DrivePosition> positions;
    testdata::SimulatedDrive drive(route.route, 10.0);
    for (testdata::DrivePosition at; drive.Next(at);) {
        positions.push_back(at);
    }
    double walkMs = 0.0;
    double createMs = 0.0;
    double adviceMs = 0.0;
    double worstMs = 0.0;
    std::size_t calls = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        benchmark::DoNotOptimize(WalkRoute(route));
        walkMs += MillisecondsSince(start);
        start = Clock::now();
        AdvisorPtr advisor;
        CreateAdvisorFacade(advisor, RetrievalEngine::RetrievalEnginePtr(extract.engine), route,
                            kBenchFolder + std::u16string(osm2nav::kAdvisorFolder), {});
        createMs += MillisecondsSince(start);
        if (!advisor) {
            state.SkipWithError("no advisor");
            return;
        }
        for (const auto& at : positions) {
            start = Clock::now();
            AdvicePtr advice;
            advisor->CreateAdvice(advice, at.position, at.route, 0);
            const double ms = MillisecondsSince(start);
            benchmark::DoNotOptimize(advice);
            adviceMs += ms;
            worstMs = std::max(worstMs, ms);
            ++calls;
        }
    }
    const auto runs = static_cast<double>(state.iterations());
    const double walk = walkMs / runs;
    const double mean = calls > 0 ? adviceMs / static_cast<double>(calls) : 0.0;
    state.counters["length_m"] = route.length;
    state.counters["positions"] = static_cast<double>(positions.size());
    state.counters["walk_ms"] = walk;
    state.counters["create_ms"] = createMs / runs;
    state.counters["create_ratio"] = walk > 0.0 ? createMs / runs / walk : 0.0;
    state.counters["advice_mean_ms"] = mean;
    state.counters["advice_worst_ms"] = worstMs;
    state.counters["advice_ratio"] = walk > 0.0 ? mean / walk : 0.0;
    state.counters["worst_ratio"] = walk > 0.0 ? worstMs / walk : 0.0;
}

} // namespace

BENCHMARK(AdvisorAgainstRouteWalk)->DenseRange(0, kRoutes - 1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
