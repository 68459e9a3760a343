#pragma once
// Generated grid worlds written as a map set and a road network, each with a route service that
// has the network open, for the route service's tests.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "positioning/geodistance.h"
#include "routing/routeservice.h"
#include "testdata/matchedpositionbuilder.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/worldmapset.h"

#include <memory>
#include <string>
#include <vector>

namespace servicetest {

inline constexpr MapPoint kOrigin{1'260'000, 5'300'000};

// The device root of every world of this file (there is one device root at a time).
inline testdata::TempDeviceRoot& Root() {
    static testdata::TempDeviceRoot root;
    return root;
}

// A grid written as a map set and a road network (folder + "\Net\Net.rd") into the device root,
// and a service with that network open.
struct ServiceWorld {
    std::u16string folder;
    testdata::RoadWorld world;
    RetrievalEngine::RetrievalEnginePtr engine;
    RouteServicePtr service;

    // A device path inside the world's folder.
    [[nodiscard]] std::u16string Path(std::u16string_view path) const {
        return folder + std::u16string(path);
    }
    [[nodiscard]] std::u16string Net() const { return Path(u"\\Net\\Net.rd"); }
    [[nodiscard]] GeoPoint Node(std::uint32_t node) const {
        return MapPointToDegrees(world.nodes[node]);
    }
    [[nodiscard]] GeoPoint Along(std::uint32_t from, std::uint32_t to, double t) const {
        return world.PointAlong(from, to, t);
    }
    [[nodiscard]] std::uint32_t ElementBetween(std::uint32_t a, std::uint32_t b) const {
        return world.ElementBetween(a, b);
    }
    [[nodiscard]] RoutePositionPtr Position(std::uint32_t from, std::uint32_t to, double t) const {
        const std::uint32_t id = ElementBetween(from, to);
        const GeoPoint point = Along(from, to, t);
        return service->CreatePosition(&id, &point);
    }
    // Driving from `from` towards `to`, at the fraction t of the link.
    [[nodiscard]] MatchedPosition Driving(std::uint32_t from, std::uint32_t to, double t) const {
        const GeoPoint at = Along(from, to, t);
        return testdata::MatchedPositionBuilder()
            .Fix(at)
            .OnStreet(ElementBetween(from, to), at, Node(from), Node(to))
            .Speed(50)
            .Build();
    }
};

// The world written as a map set and a network with the options, and a service with it open.
inline std::unique_ptr<ServiceWorld>
MakeWorld(std::u16string folder, testdata::RoadWorld world,
          const testdata::RoadNetworkOptions& options,
          const testdata::WorldMapSetOptions& mapSetOptions = {}) {
    auto out = std::make_unique<ServiceWorld>();
    out->folder = std::move(folder);
    out->world = std::move(world);
    if (!testdata::WriteWorldMapSet(out->world, mapSetOptions, Root(), out->Path(u"\\maps"))) {
        return nullptr;
    }
    testdata::RoadNetworkWriter writer(out->world, options);
    if (!writer.WriteTo(Root(), out->Path(u"\\Net")) || !Root().InstallModule(u"ziVur.dll")) {
        return nullptr;
    }
    out->engine = RetrievalEngineImpl::Create(BlockCache::Create(256));
    if (!out->engine->Open(out->Path(u"\\maps\\World.rid"))) {
        return nullptr;
    }
    out->service = CreateRouteService(out->engine);
    if (!out->service || !out->service->OpenNetwork(out->Net())) {
        return nullptr;
    }
    return out;
}

inline std::unique_ptr<ServiceWorld> MakeWorld(std::u16string folder, std::uint32_t columns,
                                               std::uint32_t rows, std::int32_t spacing) {
    return MakeWorld(std::move(folder), testdata::RoadWorld::Grid(columns, rows, spacing, kOrigin),
                     testdata::RoadNetworkOptions{});
}

// 4 x 3 nodes about 150 m apart.
inline ServiceWorld& SmallWorld() {
    static const std::unique_ptr<ServiceWorld> world = MakeWorld(u"\\small", 4, 3, 1000);
    return *world;
}

// 2 x 4 nodes about 6 km apart, for routes longer than the retry rule's thresholds.
inline ServiceWorld& LongWorld() {
    static const std::unique_ptr<ServiceWorld> world = MakeWorld(u"\\long", 2, 4, 40000);
    return *world;
}

// The value byte the service's network holds for the element's link at the node (the one with
// the smallest value when several do); -1 without one, -2 when the link is not there.
inline int ValueAt(const ServiceWorld& w, const RouteService& service, std::uint32_t node,
                   std::uint32_t element) {
    const RoadNetworkPtr network = service.GetNetwork();
    CrossingQuery query;
    query.input = w.Node(node);
    query.radius = 10.0f;
    if (!network || !network->FindCrossingNear(query)) {
        return -2;
    }
    const NetworkCrossingPtr crossing = network->CreateCrossing(query.address);
    for (LinkCursorPtr c = network->CreateCursor(*crossing, 0, 0); c->IsValid(); c->Next()) {
        if (c->GetElementId() == element) {
            const AnnotationValuePtr value = network->GetLinkAnnotation(*c, 0);
            return value ? *value : -1;
        }
    }
    return -2;
}

inline std::vector<RouteRecord> Walk(const RouteRequestResult& result) {
    std::vector<RouteRecord> records;
    const RouteIteratorPtr it = GetRouteIterator(result);
    for (; it && it->IsValid(); it->Next()) {
        records.push_back(it->Current());
    }
    return records;
}

// Counts the calculations that found a route.
class CountingObserver final : public ProgressObserver {
public:
    bool IsCancelled() override { return false; }
    void ReportProgress(std::int32_t percent) override { found += percent == 100 ? 1 : 0; }
    int found = 0;
};

// Candidates given as they stand.
class ScriptedPosition final : public RoutePosition {
public:
    explicit ScriptedPosition(std::vector<RoutePositionEntry> entries)
        : m_entries(std::move(entries)) {}
    std::uint32_t GetKind() const override { return kOnElement; }
    std::uint32_t GetSingleElementId() const override { return 0xFFFFFFFF; }
    GeoPoint GetSinglePoint() const override { return {0.0f, 0.0f}; }
    const RoutePositionEntry* Begin() const override { return m_entries.data(); }
    const RoutePositionEntry* End() const override { return m_entries.data() + m_entries.size(); }
    std::uint32_t Count() const override { return static_cast<std::uint32_t>(m_entries.size()); }

private:
    std::vector<RoutePositionEntry> m_entries;
};

} // namespace servicetest
