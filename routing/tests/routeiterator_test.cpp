// The route iterator over routes of a generated world with its map set: records joined in
// driving direction and cut at both ends, attribute words with reversed direction bits, junction
// streets, clones and walking back, the start correction, and iterators of one route walked on
// two threads while the router calculates the next route.
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "positioning/geodistance.h"
#include "routing/routepositionimpl.h"
#include "routing/routesnapshot.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/worldmapset.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr MapPoint kOrigin{1'260'000, 5'300'000};
constexpr std::int32_t kSpacing = 1000; // map units, about 150 m
constexpr std::uint32_t kColumns = 4;
constexpr std::uint32_t kRows = 3;
constexpr std::uint32_t kTwoWay = 0x400;

// A 4 x 3 grid whose first link is bent, every link with link nibbles A and C set, written as a
// map set and a road network in one device root.
struct RoutedWorld {
    testdata::TempDeviceRoot root;
    testdata::RoadWorld world;
    RetrievalEngine::RetrievalEnginePtr engine;
    std::shared_ptr<RoadNetwork> network;
    std::unique_ptr<RouterCore> router;

    // Degrees at a fraction of the way along the link between two grid nodes.
    [[nodiscard]] GeoPoint Along(std::uint32_t from, std::uint32_t to, double t) const {
        return world.PointAlong(from, to, t);
    }
    [[nodiscard]] std::uint32_t ElementBetween(std::uint32_t a, std::uint32_t b) const {
        return world.ElementBetween(a, b);
    }
    [[nodiscard]] std::vector<GeoPoint> Points(std::uint32_t elementId) const {
        std::vector<GeoPoint> points;
        const auto element = engine->GetMappedElement(elementId);
        if (element) {
            (void)element->GetPoints(points);
        }
        return points;
    }
    [[nodiscard]] std::uint32_t Word(std::uint32_t elementId) const {
        ElementAttributes attributes;
        engine->GetMappedElement(elementId)->GetAttributes(attributes);
        return attributes.word;
    }
    [[nodiscard]] RoutePositionEntry Position(std::uint32_t from, std::uint32_t to,
                                              double t) const {
        const RoutePositionImpl position(engine, ElementBetween(from, to), Along(from, to, t));
        return *position.Begin();
    }
    // 6 when the route was found.
    [[nodiscard]] std::int32_t Route(const RoutePositionEntry& start,
                                     const RoutePositionEntry& destination) const {
        CalculationFlags flags;
        flags.allowReuse = 1;
        return router->Calculate(start, destination, flags);
    }
};

std::unique_ptr<RoutedWorld> MakeWorld() {
    auto out = std::make_unique<RoutedWorld>();
    out->world = testdata::RoadWorld::Grid(kColumns, kRows, kSpacing, kOrigin);
    testdata::WorldMapSetOptions options;
    options.bends[0] = {{kOrigin.x + kSpacing / 2, kOrigin.y - 300}};
    const std::uint32_t nibbles = testdata::LinkAttributeBits(testdata::LinkNibble::A, 0b0001) |
                                  testdata::LinkAttributeBits(testdata::LinkNibble::C, 0b0100);
    for (std::uint32_t i = 0; i < out->world.links.size(); ++i) {
        options.attributes[i] = nibbles | maprecord::kRawBothWays;
    }
    if (!testdata::WriteWorldMapSet(out->world, options, out->root, u"\\maps")) {
        return nullptr;
    }
    testdata::RoadNetworkWriter writer(out->world, {});
    if (!writer.WriteTo(out->root, u"\\Net") || !out->root.InstallModule(u"ziVur.dll")) {
        return nullptr;
    }
    out->engine = RetrievalEngineImpl::Create(BlockCache::Create(256));
    if (!out->engine->Open(u"\\maps\\World.rid")) {
        return nullptr;
    }
    out->network = std::make_shared<RoadNetwork>();
    if (!out->network->Load(u"\\Net\\Net.rd", out->engine)) {
        return nullptr;
    }
    out->router = std::make_unique<RouterCore>();
    out->router->SetNetwork(out->network);
    return out;
}

RoutedWorld& World() {
    static const std::unique_ptr<RoutedWorld> world = MakeWorld();
    return *world;
}

double Metres(const GeoPoint& a, const GeoPoint& b) {
    return GeoDistance(a, b);
}

std::vector<RouteRecord> Walk(RouteIterator& it) {
    std::vector<RouteRecord> records;
    for (; it.IsValid(); it.Next()) {
        records.push_back(it.Current());
    }
    return records;
}

struct RouteCase {
    std::string name;
    std::uint32_t startFrom, startTo;
    double startAt;
    std::uint32_t destinationFrom, destinationTo;
    double destinationAt;
};

const RouteCase kRoutes[] = {
    {"along the bent link and across", 0, 1, 0.3, 10, 11, 0.6},
    {"against the bent link", 3, 7, 0.5, 1, 0, 0.8},
    {"one link forward", 1, 2, 0.2, 1, 2, 0.7},
    {"one link backward", 1, 2, 0.7, 1, 2, 0.2},
    {"up the grid", 4, 8, 0.5, 2, 3, 0.5},
};

TEST(RouteIteratorRecords, JoinInDrivingDirectionAndAreCutAtBothEnds) {
    RoutedWorld& w = World();
    ASSERT_TRUE(w.router);
    for (const RouteCase& c : kRoutes) {
        SCOPED_TRACE(c.name);
        const RoutePositionEntry start = w.Position(c.startFrom, c.startTo, c.startAt);
        const RoutePositionEntry destination =
            w.Position(c.destinationFrom, c.destinationTo, c.destinationAt);
        ASSERT_EQ(w.Route(start, destination), 6);
        const RouteIteratorPtr it = MakeRouteIterator(*w.router, w.engine, 1, false);
        ASSERT_TRUE(it);
        const std::vector<RouteRecord> records = Walk(*it);
        ASSERT_FALSE(records.empty());
        EXPECT_LT(Metres(records.front().polyline.front(), start.point), 1.0);
        EXPECT_LT(Metres(records.back().polyline.back(), destination.point), 1.0);
        for (std::size_t i = 0; i < records.size(); ++i) {
            SCOPED_TRACE(i);
            const RouteRecord& r = records[i];
            ASSERT_GE(r.polyline.size(), 2u);
            if (i > 0) {
                EXPECT_LT(Metres(records[i - 1].polyline.back(), r.polyline.front()), 1.0);
            }
            // Against the element's points: bit 28 set, nibble bits 12 -> 13 and 22 -> 23, a
            // two-way code stays two-way.
            const std::vector<GeoPoint> points = w.Points(r.linkId);
            ASSERT_GE(points.size(), 2u);
            const bool isReversed = Metres(r.polyline.back(), points.front()) <
                                    Metres(r.polyline.back(), points.back());
            const std::uint32_t nibbles = isReversed ? 0x00802000u : 0x00401000u;
            EXPECT_EQ(r.elementAttributes & 0x1FFFF800u, nibbles | (isReversed ? 0x10000000u : 0u));
            EXPECT_EQ(w.Word(r.linkId) & 0x1FFFF800u, 0x00401000u);
            const std::uint32_t code = r.attributes.DirectionCode();
            const std::uint32_t drivenCode = isReversed && (code & 1u) != 0 ? code ^ 2u : code;
            EXPECT_EQ((r.elementAttributes >> 9) & 3u, drivenCode);
        }
        const bool isSameLink = c.startFrom == c.destinationFrom && c.startTo == c.destinationTo;
        EXPECT_EQ(records.size() == 1, isSameLink);
    }
}

TEST(RouteIteratorJunctions, ListTheOtherStreetsFromTheCrossing) {
    RoutedWorld& w = World();
    ASSERT_TRUE(w.router);
    for (const RouteCase& c : kRoutes) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(w.Route(w.Position(c.startFrom, c.startTo, c.startAt),
                          w.Position(c.destinationFrom, c.destinationTo, c.destinationAt)),
                  6);
        const RouteIteratorPtr it = MakeRouteIterator(*w.router, w.engine, 1, false);
        ASSERT_TRUE(it);
        for (std::size_t i = 0; it->IsValid(); it->Next(), ++i) {
            SCOPED_TRACE(i);
            std::vector<NeighbourLink> allowed{NeighbourLink{}};
            std::vector<NeighbourLink> forbidden{NeighbourLink{}};
            it->GetJunctionStreets(allowed, forbidden);
            if (i == 0) {
                EXPECT_TRUE(allowed.empty());
                EXPECT_TRUE(forbidden.empty());
                continue;
            }
            // The crossing's node and its degree in the grid, less the two route links.
            const GeoPoint crossing = it->Current().polyline.front();
            std::uint32_t degree = 0;
            for (const auto& link : w.world.links) {
                for (const std::uint32_t node : {link.from, link.to}) {
                    degree += Metres(w.world.Position(node), crossing) < 1.0 ? 1 : 0;
                }
            }
            EXPECT_EQ(allowed.size() + forbidden.size(), degree - 2);
            EXPECT_TRUE(forbidden.empty()); // every turn is allowed in this world
            for (const NeighbourLink& link : allowed) {
                EXPECT_LT(Metres(link.position, crossing), 1.0);
                std::vector<GeoPoint> line;
                ASSERT_TRUE(it->GetItemPolyline(link, line));
                ASSERT_GE(line.size(), 2u);
                EXPECT_LT(Metres(line.front(), crossing), 1.0); // leads away from the crossing
                EXPECT_EQ(link.classWord & 0x600u, kTwoWay);
            }
            // The record's own polyline comes back as well.
            std::vector<GeoPoint> own;
            ASSERT_TRUE(it->GetItemPolyline(it->Current(), own));
            EXPECT_EQ(own, it->Current().polyline);
        }
    }
}

TEST(RouteIteratorWalk, ClonesPreviousAndTheEnds) {
    RoutedWorld& w = World();
    ASSERT_TRUE(w.router);
    ASSERT_EQ(w.Route(w.Position(0, 1, 0.3), w.Position(10, 11, 0.6)), 6);
    const RouteIteratorPtr it = MakeRouteIterator(*w.router, w.engine, 1, false);
    ASSERT_TRUE(it);
    const std::vector<RouteRecord> records = Walk(*it->CreateIterator());
    ASSERT_GE(records.size(), 3u);
    const std::size_t last = records.size() - 1;
    const struct {
        std::string name;
        std::vector<int> steps; // +1 Next, -1 Previous
        int expected;           // index, -1 invalid
    } cases[] = {
        {"at the start", {}, 0},
        {"previous from the first", {-1}, -1},
        {"next past the last", std::vector<int>(last + 1, 1), -1},
        {"forward and back", {1, 1, -1}, 1},
        {"to the last", std::vector<int>(last, 1), static_cast<int>(last)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RouteIteratorPtr walker = GetRouteIterator(it);
        ASSERT_TRUE(walker);
        for (const int step : c.steps) {
            (void)(step > 0 ? walker->Next() : walker->Previous());
        }
        const RouteIteratorPtr clone = walker->Clone();
        ASSERT_TRUE(clone);
        for (const RouteIterator* i : {walker.get(), clone.get()}) {
            EXPECT_EQ(i->IsValid(), c.expected >= 0);
            const RouteRecord& current = i->Current();
            if (c.expected < 0) {
                EXPECT_EQ(current.linkId, 0u);
                EXPECT_EQ(current.length, 0);
                EXPECT_TRUE(current.polyline.empty());
                continue;
            }
            const RouteRecord& expected = records[static_cast<std::size_t>(c.expected)];
            EXPECT_EQ(current.linkId, expected.linkId);
            EXPECT_EQ(current.polyline, expected.polyline);
        }
        // The clone walks on its own.
        if (c.expected >= 0) {
            clone->Next();
            EXPECT_EQ(walker->Current().linkId,
                      records[static_cast<std::size_t>(c.expected)].linkId);
        }
    }
    struct Holder {
        RouteIteratorPtr route;
    };
    EXPECT_FALSE(GetRouteIterator(Holder{}));
    const RouteIteratorPtr fresh = GetRouteIterator(Holder{it});
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->Current().linkId, records.front().linkId);
}

TEST(RouteIteratorStartCorrection, RunsToTheFarEndAndBackWhenTheSpeedIsKnown) {
    RoutedWorld& w = World();
    ASSERT_TRUE(w.router);
    // From the middle of the bent link towards node 0, on to node 4: record 1 begins at node 0.
    ASSERT_EQ(w.Route(w.Position(0, 1, 0.5), w.Position(4, 8, 0.5)), 6);
    const std::vector<RouteRecord> records = w.router->BuildRecords(-1, true);
    ASSERT_GE(records.size(), 2u);
    const std::vector<GeoPoint> points = w.Points(records[0].linkId);
    double whole = 0.0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        whole += Metres(points[i - 1], points[i]);
    }
    const struct {
        std::string name;
        bool flag;
        std::int32_t time0;
        std::int32_t length0;
        bool farNext; // record 1 moved away from the element's ends
        bool expected;
    } cases[] = {
        {"applies", true, records[0].time, records[0].length, false, true},
        {"not asked", false, records[0].time, records[0].length, false, false},
        {"no time: speed undefined", true, 0, records[0].length, false, false},
        {"no length", true, records[0].time, 0, false, false},
        {"second record off the element's ends", true, records[0].time, records[0].length, true,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<RouteRecord> input = records;
        input[0].time = c.time0;
        input[0].length = c.length0;
        if (c.farNext) {
            input[1].y += 0.001f;
        }
        const auto snapshot = RouteSnapshot::FromRecords(input, w.router->GetDestinationPosition(),
                                                         w.network, w.engine, 1, c.flag);
        ASSERT_TRUE(snapshot);
        EXPECT_EQ(snapshot->WasStartCorrected(), c.expected);
        SnapshotRouteIterator it(snapshot);
        const std::vector<RouteRecord> out = Walk(it);
        ASSERT_EQ(out.size(), input.size() + (c.expected ? 1 : 0));
        if (!c.expected) {
            EXPECT_EQ(out[0].length, input[0].length);
            continue;
        }
        const double speed = static_cast<double>(c.length0) / c.time0;
        const auto length = static_cast<std::int32_t>(whole + 0.5);
        EXPECT_NEAR(out[1].length, length, 1);
        EXPECT_EQ(out[0].length, out[1].length - c.length0);
        EXPECT_EQ(out[0].time, static_cast<std::int32_t>(out[0].length / speed));
        EXPECT_EQ(out[1].time, static_cast<std::int32_t>(out[1].length / speed));
        // Out to the far end, then the whole element back to where record 2 begins.
        EXPECT_LT(Metres(out[0].polyline.front(), {input[0].x, input[0].y}), 1.0);
        EXPECT_LT(Metres(out[0].polyline.back(), out[1].polyline.front()), 1.0);
        EXPECT_EQ(out[1].polyline.size(), points.size());
        EXPECT_LT(Metres(out[1].polyline.back(), {input[1].x, input[1].y}), 1.0);
    }
}

TEST(RouteIteratorThreads, IteratorsKeepTheirRecordsWhileTheRouterCalculatesOn) {
    RoutedWorld& w = World();
    ASSERT_TRUE(w.router);
    ASSERT_EQ(w.Route(w.Position(0, 1, 0.3), w.Position(10, 11, 0.6)), 6);
    std::vector<std::uint32_t> expected;
    for (const RouteRecord& r : w.router->BuildRecords(-1, true)) {
        expected.push_back(r.linkId);
    }
    RouteIteratorPtr owner = MakeRouteIterator(*w.router, w.engine, 1, false);
    ASSERT_TRUE(owner);
    RouteIteratorPtr first = owner->CreateIterator();
    RouteIteratorPtr second = owner->Clone();
    ASSERT_TRUE(first && second);
    const auto walk = [&expected](RouteIteratorPtr it, std::vector<std::uint32_t>& seen,
                                  bool& isSound) {
        isSound = true;
        for (int round = 0; round < 20; ++round) {
            seen.clear();
            RouteIteratorPtr fresh = it->CreateIterator();
            for (; fresh->IsValid(); fresh->Next()) {
                seen.push_back(fresh->Current().linkId);
                isSound = isSound && fresh->Current().polyline.size() >= 2;
                std::vector<NeighbourLink> allowed;
                std::vector<NeighbourLink> forbidden;
                fresh->GetJunctionStreets(allowed, forbidden);
                const RouteIteratorPtr back = fresh->Clone();
                while (back->Previous()) {
                    isSound = isSound && !back->Current().polyline.empty();
                }
            }
            isSound = isSound && seen == expected;
        }
    };
    std::vector<std::uint32_t> seen1;
    std::vector<std::uint32_t> seen2;
    bool isSound1 = false;
    bool isSound2 = false;
    std::thread t1(walk, std::move(first), std::ref(seen1), std::ref(isSound1));
    std::thread t2(walk, std::move(second), std::ref(seen2), std::ref(isSound2));
    owner.reset();
    // The router's next route replaces its own records, never the snapshot's.
    EXPECT_EQ(w.Route(w.Position(3, 7, 0.5), w.Position(8, 9, 0.5)), 6);
    EXPECT_FALSE(w.router->BuildRecords(-1, true).empty());
    t1.join();
    t2.join();
    EXPECT_TRUE(isSound1);
    EXPECT_TRUE(isSound2);
    EXPECT_EQ(seen1, expected);
    EXPECT_EQ(seen2, expected);
}

} // namespace
