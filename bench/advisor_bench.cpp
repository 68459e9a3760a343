// The advisor on the longest routes between the municipalities of the shared extract (converted
// at the start, with the demo advisor data): its creation, and advice every 10 m along the route,
// each against one walk of the same route's iterator reading every item's polyline, in turns in
// the same run. Counters: "walk_ms" (one walk), "create_ms" and "create_ratio" (creation over
// walk), "advice_mean_ms", "advice_worst_ms" and "advice_ratio" (mean advice over walk; the
// goal: at most 0.1, as a fix comes once a second), "worst_ratio", "positions" per route.
#include "advisor/advisor.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "bench/benchextract.h"
#include "testdata/simulateddrive.h"
#include "tools/osm/osmadvisor.h"

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

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

using Extract = benchextract::Extract;

Extract& TheExtract() {
    static const std::unique_ptr<Extract> extract = [] {
        auto made = std::make_unique<Extract>();
        benchextract::Open(*made, "bench", kRoutes);
        return made;
    }();
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
                            u"\\bench" + std::u16string(osm2nav::kAdvisorFolder), {});
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
