// The junction view's computed model for every advice of the four longest routes between the
// municipalities of the shared extract (converted at the start, with the demo advisor data):
// build, orient, map and trim into 200 x 200, against fetching the same data alone in the same
// run (the route walk with the items' polylines, the junction streets and theirs, the same map
// lookups and area queries). Counters: "junctions", "fetch_ms" and "model_ms" per junction,
// "ratio" (model over fetch; the goal: at most 1.5, and below 1 ms a junction).
#include "advisor/advisor.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "junctionview/model/crossingmodel.h"
#include "routing/routeservice.h"
#include "testdata/simulateddrive.h"
#include "testdata/tempdir.h"
#include "tools/osm/osmconvert.h"
#include "tools/osmtests/extractplaces.h"
#include "utilities/usefulcode/memoryarena.h"

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

struct ModelExtract {
    testdata::TempDeviceRoot root;
    six::RefCntPtr<RetrievalEngineImpl> engine;
    RouteServicePtr service;
    JunctionMapPtr map;
    std::vector<RouteRequestResult> routes;
    std::vector<std::vector<Junction>> junctions; // per route
    std::string error;
};

RoutePositionPtr PlaceIn(ModelExtract& extract, const std::u16string& name) {
    const std::optional<std::uint32_t> id = extractplaces::FirstTownRoad(*extract.engine, name);
    return id ? extract.service->CreateElementPosition(&*id) : nullptr;
}

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

// The longest routes between the municipalities, the longest first.
std::vector<RouteRequestResult> LongestRoutes(ModelExtract& extract) {
    const std::u16string names[] = {u"Vaduz",   u"Schaan",       u"Balzers",     u"Triesen",
                                    u"Eschen",  u"Mauren",       u"Triesenberg", u"Gamprin",
                                    u"Ruggell", u"Schellenberg", u"Planken"};
    std::vector<RoutePositionPtr> places;
    for (const auto& name : names) {
        if (RoutePositionPtr place = PlaceIn(extract, name)) {
            places.push_back(std::move(place));
        }
    }
    std::vector<RouteRequestResult> routes;
    for (const auto& from : places) {
        for (const auto& to : places) {
            if (from == to) {
                continue;
            }
            RouteRequestResult route = extract.service->RequestRoute(from, to, nullptr);
            if (route.status == routestatus::kFound) {
                routes.push_back(std::move(route));
            }
        }
    }
    std::sort(routes.begin(), routes.end(),
              [](const auto& a, const auto& b) { return a.length > b.length; });
    routes.resize(std::min(routes.size(), kModelRoutes));
    return routes;
}

ModelExtract& TheModelExtract() {
    static ModelExtract* extract = [] {
        auto* made = new ModelExtract;
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
        if (!made->engine->Open(std::u16string(u"\\bench") + osm2nav::kLevelFile) ||
            !made->service->OpenNetwork(std::u16string(u"\\bench") + osm2nav::kNetworkFile)) {
            made->error = "the converted extract does not open";
            return made;
        }
        made->map = CreateEngineJunctionMap(RetrievalEngine::RetrievalEnginePtr(made->engine));
        made->routes = LongestRoutes(*made);
        if (made->routes.empty()) {
            made->error = "no route between the municipalities";
        }
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
