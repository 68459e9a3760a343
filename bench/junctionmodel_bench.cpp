// The junction view's computed model for every advice of the four longest routes between the
// municipalities of the shared extract (converted at the start, with the demo advisor data):
// build, orient, map and trim into 200 x 200, against fetching the same data alone in the same
// run (the route walk with the items' polylines, the junction streets and theirs, the same map
// lookups and area queries). Counters: "junctions", "fetch_ms" and "model_ms" per junction,
// "ratio" (model over fetch; the goal: at most 1.5, and below 1 ms a junction).
#include "advisor/advisor.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "bench/benchextract.h"
#include "junctionview/model/crossingmodel.h"
#include "testdata/simulateddrive.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kModelRoutes = 4;
constexpr double kModelRadius = 200.0;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The map calls of one build, to be made again without the model.
class RecordingJunctionMap final : public JunctionMap {
public:
    explicit RecordingJunctionMap(JunctionMapPtr map)
        : m_map(std::move(map)) {}
    bool GetElement(std::uint32_t id, JunctionMapElement& element) override {
        elements.push_back(id);
        return m_map->GetElement(id, element);
    }
    void QueryRoads(const GeoRect& rect, std::vector<JunctionMapElement>& out) override {
        rects.push_back(rect);
        m_map->QueryRoads(rect, out);
    }
    std::vector<std::uint32_t> elements;
    std::vector<GeoRect> rects;

private:
    JunctionMapPtr m_map;
};

struct Junction {
    RouteIteratorPtr cursor;
    std::set<std::uint32_t> steps; // the route steps the model drew
    bool isRoundabout = false;
    std::vector<std::uint32_t> elements;
    std::vector<GeoRect> rects;
};

struct ModelExtract : benchextract::Extract {
    JunctionMapPtr map;
    std::vector<std::vector<Junction>> junctions; // per route
};

void BuildModel(const RouteRequestResult& route, const JunctionMapPtr& map,
                const RouteIteratorPtr& cursor, CrossingModel* keep = nullptr) {
    CrossingModel model(route.route, map);
    CrossingModel& m = keep != nullptr ? *keep : model;
    m.SetRouteCursor(cursor);
    if (m.BuildComputedJunction(kModelRadius)) {
        m.OrientModel();
        m.MapModelToRect({0, 0, 200, 200});
        m.TrimToRect(0, 0, 200, 200);
    }
    benchmark::DoNotOptimize(m.ScreenRouteSegments().data());
}

// The advice junctions of a drive along the route, each with what its model fetches.
std::vector<Junction> AdviceJunctions(ModelExtract& extract, const RouteRequestResult& route) {
    std::vector<Junction> junctions;
    AdvisorPtr advisor;
    CreateAdvisorFacade(advisor, RetrievalEngine::RetrievalEnginePtr(extract.engine), route,
                        u"\\bench\\ConfigFiles", {});
    if (!advisor) {
        return junctions;
    }
    std::set<std::pair<std::uint32_t, std::int32_t>> seen;
    testdata::SimulatedDrive drive(route.route, 10.0);
    for (testdata::DrivePosition at; drive.Next(at);) {
        AdvicePtr advice;
        if (!advisor->CreateAdvice(advice, at.position, at.route, 0) || !advice->IsValid()) {
            continue;
        }
        const AdviceValuePtr value = advice->Current();
        const RouteIteratorPtr cursor = value ? value->GetRouteIterator() : nullptr;
        if (!cursor || !cursor->IsValid() ||
            !seen.insert({cursor->Current().linkId, value->GetKind()}).second) {
            continue;
        }
        Junction junction;
        junction.cursor = cursor->Clone();
        const auto recording = std::make_shared<RecordingJunctionMap>(extract.map);
        CrossingModel model(route.route, recording);
        BuildModel(route, recording, junction.cursor, &model);
        for (const JunctionSegment& s : model.RouteSegments()) {
            junction.steps.insert(s.streetId);
        }
        junction.isRoundabout = model.IsRoundabout();
        junction.elements = recording->elements;
        junction.rects = recording->rects;
        junctions.push_back(std::move(junction));
    }
    return junctions;
}

ModelExtract& TheModelExtract() {
    static const std::unique_ptr<ModelExtract> extract = [] {
        auto made = std::make_unique<ModelExtract>();
        benchextract::Open(*made, "bench", kModelRoutes);
        if (!made->error.empty()) {
            return made;
        }
        made->map = CreateEngineJunctionMap(RetrievalEngine::RetrievalEnginePtr(made->engine));
        for (const RouteRequestResult& route : made->routes) {
            made->junctions.push_back(AdviceJunctions(*made, route));
        }
        return made;
    }();
    return *extract;
}

// Reads an item's polyline, the streets at its crossing and their polylines.
std::size_t ReadItem(const RouteIteratorPtr& it) {
    std::size_t points = 0;
    std::vector<GeoPoint> polyline;
    std::vector<NeighbourLink> allowed;
    std::vector<NeighbourLink> forbidden;
    if (it->GetItemPolyline(RouteItemRef(it->Current()), polyline)) {
        points += polyline.size();
    }
    it->GetJunctionStreets(allowed, forbidden);
    for (const auto* streets : {&allowed, &forbidden}) {
        for (const NeighbourLink& street : *streets) {
            if (it->GetItemPolyline(RouteItemRef(street), polyline)) {
                points += polyline.size();
            }
        }
    }
    return points;
}

// The route's part of what the model of one junction reads: for a roundabout the walk from the
// route's start to the ring, else the steps it drew with their streets.
std::size_t FetchRoute(const RouteRequestResult& route, const Junction& junction) {
    std::size_t points = 0;
    if (junction.isRoundabout) {
        for (RouteIteratorPtr it = GetRouteIterator(route); it && it->IsValid(); it->Next()) {
            if (it->Current().linkId == junction.cursor->Current().linkId) {
                break;
            }
            ++points;
        }
        return points;
    }
    RouteIteratorPtr it = junction.cursor->Clone();
    while (it->Previous() && junction.steps.count(it->Current().linkId) != 0) {
    }
    for ((void)it->Next(); it->IsValid() && junction.steps.count(it->Current().linkId) != 0;
         it->Next()) {
        points += ReadItem(it);
    }
    return points + ReadItem(it->IsValid() ? it : junction.cursor->Clone());
}

// What the model of one junction reads, without the model.
std::size_t Fetch(const ModelExtract& extract, const RouteRequestResult& route,
                  const Junction& junction) {
    std::size_t points = FetchRoute(route, junction);
    JunctionMapElement element;
    for (const std::uint32_t id : junction.elements) {
        points += extract.map->GetElement(id, element) ? element.points.size() : 0;
    }
    std::vector<JunctionMapElement> roads;
    for (const GeoRect& rect : junction.rects) {
        extract.map->QueryRoads(rect, roads);
        points += roads.size();
    }
    return points;
}

void JunctionModelAgainstFetch(benchmark::State& state) {
    ModelExtract& extract = TheModelExtract();
    if (!extract.error.empty()) {
        state.SkipWithError(extract.error.c_str());
        return;
    }
    const auto index = static_cast<std::size_t>(state.range(0));
    const RouteRequestResult& route = extract.routes[index];
    const std::vector<Junction>& junctions = extract.junctions[index];
    if (junctions.empty()) {
        state.SkipWithError("no advice");
        return;
    }
    double fetchMs = 0.0;
    double modelMs = 0.0;
    for (auto _ : state) {
        auto start = Clock::now();
        for (const Junction& junction : junctions) {
            benchmark::DoNotOptimize(Fetch(extract, route, junction));
        }
        fetchMs += MsSince(start);
        start = Clock::now();
        for (const Junction& junction : junctions) {
            BuildModel(route, extract.map, junction.cursor);
        }
        modelMs += MsSince(start);
    }
    const double per =
        static_cast<double>(state.iterations()) * static_cast<double>(junctions.size());
    std::size_t roundabouts = 0;
    for (const Junction& junction : junctions) {
        roundabouts += junction.isRoundabout ? 1 : 0;
    }
    state.counters["length_m"] = route.length;
    state.counters["junctions"] = static_cast<double>(junctions.size());
    state.counters["roundabouts"] = static_cast<double>(roundabouts);
    state.counters["fetch_ms"] = fetchMs / per;
    state.counters["model_ms"] = modelMs / per;
    state.counters["ratio"] = fetchMs > 0.0 ? modelMs / fetchMs : 0.0;
}

} // namespace

BENCHMARK(JunctionModelAgainstFetch)
    ->DenseRange(0, kModelRoutes - 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
