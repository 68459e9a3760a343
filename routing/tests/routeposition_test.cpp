// Route positions over a written map set: the nearest-road search through its rings, projection
// onto a given element, point elements by their entry points, located addresses, element sets
// and the current matched position.
#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/routepositionimpl.h"
#include "testdata/matchedpositionbuilder.h"
#include "testdata/worldmapset.h"
#include "utilities/usefulcode/greatcircledistance.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace maprecord;
constexpr std::uint32_t kNone = 0xFFFFFFFF;
// The place every case measures from; 0.0002 degrees (a ring width) are about 149 map units.
constexpr MapPoint kCentre{1'260'000, 5'300'000};

GeoPoint At(std::int32_t dx, std::int32_t dy) {
    return MapPointToDegrees({kCentre.x + dx, kCentre.y + dy});
}

double Metres(const GeoPoint& a, const GeoPoint& b) {
    return GreatCircleDistance(a.x, a.y, b.x, b.y);
}

// An east-west road 1000 map units long, dy map units north of the centre.
struct Road {
    std::int32_t dy = 0;
    std::uint16_t typeCode = kResidentialType;
    std::uint32_t raw = kRawBothWays;
};

// A map set written and opened, with the world whose links carry its element ids.
struct OpenedWorld {
    testdata::RoadWorld world;
    testdata::WorldMapSet mapSet;
    RetrievalEngine::RetrievalEnginePtr engine;

    [[nodiscard]] std::uint32_t Link(std::size_t index) const {
        return world.links[index].elementId;
    }
};

std::unique_ptr<OpenedWorld> Open(const testdata::TempDeviceRoot& root, testdata::RoadWorld world,
                                  testdata::WorldMapSetOptions options) {
    static int count = 0;
    options.baseName = "World" + std::to_string(++count);
    // Two corner points put the centre well inside the map set's extent.
    for (const std::int32_t corner : {-3000, 3000}) {
        options.points.push_back(
            {{kCentre.x + corner, kCentre.y + corner}, kCityType, std::nullopt, "Corner"});
    }
    auto opened = std::make_unique<OpenedWorld>();
    opened->world = std::move(world);
    auto written = testdata::WriteWorldMapSet(opened->world, options, root, u"\\maps");
    if (!written) {
        return nullptr;
    }
    opened->mapSet = *written;
    opened->engine = RetrievalEngineImpl::Create(BlockCache::Create(256));
    if (!opened->engine->Open(opened->mapSet.ridPath)) {
        return nullptr;
    }
    return opened;
}

std::unique_ptr<OpenedWorld> OpenRoads(const testdata::TempDeviceRoot& root,
                                       const std::vector<Road>& roads,
                                       testdata::WorldMapSetOptions options = {}) {
    testdata::RoadWorld world;
    for (const Road& road : roads) {
        const auto first = static_cast<std::uint32_t>(world.nodes.size());
        world.nodes.push_back({kCentre.x - 500, kCentre.y + road.dy});
        world.nodes.push_back({kCentre.x + 500, kCentre.y + road.dy});
        options.typeCodes[static_cast<std::uint32_t>(world.links.size())] = road.typeCode;
        options.attributes[static_cast<std::uint32_t>(world.links.size())] = road.raw;
        world.links.push_back({first, first + 1});
    }
    return Open(root, std::move(world), std::move(options));
}

TEST(NearestRoad, AttachesThroughTheRingsToAcceptedRoads) {
    const Road far{1000}; // about 150 m north: found when nothing nearer is accepted
    const struct {
        std::string name;
        std::vector<Road> roads;
        int expected; // road index, -1 none
    } cases[] = {
        {"pedestrian zone whatever its word", {{-100, kPedestrianZoneType, kRawNotDriven}, far}, 0},
        {"1007 never", {{-100, kUnattachedType, kRawBothWays}, far}, 1},
        {"not driven refused", {{-100, kResidentialType, kRawNotDriven}, far}, 1},
        {"one-way along (0x200)", {{-100, kPrimaryType, kRawOneWayAlong}, far}, 0},
        {"one-way against (0x600)", {{-100, kRampType, kRawOneWayAgainst}, far}, 0},
        {"both ways (0x400)", {{-100, kFerryType, kRawBothWays}, far}, 0},
        {"the nearer of two in the square", {{-120}, {60}}, 1},
        {"a far ring", {{-2000}}, 0},
        {"a nearer road beats one through the next strip's middle", {{-120}, {298}}, 0},
        {"nothing within 127 ring widths", {{-20000}, {20000}}, -1},
    };
    testdata::TempDeviceRoot root;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto opened = OpenRoads(root, c.roads);
        ASSERT_TRUE(opened);
        const std::uint32_t expected =
            c.expected < 0 ? kNone : opened->Link(static_cast<std::size_t>(c.expected));
        const RoutePositionImpl position(opened->engine, kNone, At(0, 0));
        EXPECT_EQ(position.GetKind(), RoutePosition::kNearestRoad);
        ASSERT_EQ(position.Count(), 1u);
        const RoutePositionEntry& entry = *position.Begin();
        EXPECT_EQ(entry.elementId, expected);
        if (c.expected >= 0) {
            // Projected onto the road, measured from its first vertex.
            const Road& road = c.roads[static_cast<std::size_t>(c.expected)];
            EXPECT_NEAR(entry.point.y, At(0, road.dy).y, 1e-6);
            EXPECT_EQ(entry.nodePoint, At(-500, road.dy));
            EXPECT_NEAR(entry.offset, Metres(entry.nodePoint, entry.point), 0.2);
        }
    }
}

TEST(NearestRoad, TiesKeepTheRoadTheQueryYieldsFirst) {
    testdata::TempDeviceRoot root;
    const auto opened = OpenRoads(root, {{100}, {100}}); // the same line twice
    ASSERT_TRUE(opened);
    auto* query = dynamic_cast<RetrievalEngine::IAreaQuery*>(opened->engine.Get());
    ASSERT_NE(query, nullptr);
    const GeoPoint p = At(0, 0);
    auto cursor = query->QueryArea({p.x - 0.0002f, p.y - 0.0002f, p.x + 0.0002f, p.y + 0.0002f},
                                   kFirstRoadType, kRoadTypeEnd);
    ASSERT_TRUE(cursor && cursor->IsValid());
    RoutePositionImpl position(opened->engine, kNone, p);
    EXPECT_EQ(position.FindNearestRoadElement(p), cursor->GetElementId());
}

TEST(RoutePositionOnElement, ProjectsOntoTheElementOrFallsBackToTheNearestRoad) {
    testdata::TempDeviceRoot root;
    testdata::RoadWorld world;
    world.nodes = {{kCentre.x, kCentre.y}, {kCentre.x + 1000, kCentre.y}};
    world.links = {{0, 1}};
    testdata::WorldMapSetOptions options;
    options.bends[0] = {{kCentre.x + 500, kCentre.y + 500}}; // a bent line of three vertices
    const auto opened = Open(root, world, options);
    ASSERT_TRUE(opened);
    const std::uint32_t road = opened->Link(0);
    const GeoPoint first = At(0, 0);
    const GeoPoint bend = At(500, 500);
    const GeoPoint last = At(1000, 0);
    const GeoPoint firstMiddle{(first.x + bend.x) / 2, (first.y + bend.y) / 2};
    const GeoPoint lastMiddle{(bend.x + last.x) / 2, (bend.y + last.y) / 2};
    const double half = Metres(first, bend) / 2;
    const GeoPoint outside = At(-50000, 0);
    const struct {
        std::string name;
        bool hasEngine;
        std::uint32_t id;
        GeoPoint p;
        RoutePositionEntry expected;
        std::uint32_t kind;
    } cases[] = {
        {"on the first vertex", true, road, first, {firstMiddle, first, road, 0}, 1},
        {"on the last vertex", true, road, last, {lastMiddle, first, road, 0}, 1},
        {"on the bend", true, road, bend, {bend, first, road, 0}, 1},
        {"no id: the nearest road", true, kNone, first, {firstMiddle, first, road, 0}, 2},
        {"unknown id: the nearest road", true, 0x7FFFF, first, {firstMiddle, first, road, 0}, 2},
        {"outside the extent", true, kNone, outside, {outside, outside, kNone, 0}, 2},
        {"no engine", false, road, first, {first, first, kNone, 0}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RoutePositionImpl position(c.hasEngine ? opened->engine : nullptr, c.id, c.p);
        EXPECT_EQ(position.GetKind(), c.kind);
        EXPECT_EQ(position.GetSingleElementId(), c.expected.elementId);
        ASSERT_EQ(position.Count(), 1u);
        const RoutePositionEntry& entry = *position.Begin();
        EXPECT_NEAR(entry.point.x, c.expected.point.x, 1e-6);
        EXPECT_NEAR(entry.point.y, c.expected.point.y, 1e-6);
        EXPECT_EQ(entry.nodePoint, c.expected.nodePoint);
        const double offset = c.expected.elementId == kNone ? 0.0
                              : entry.point == lastMiddle   ? 3 * half
                              : entry.point == bend         ? 2 * half
                                                            : half;
        EXPECT_NEAR(entry.offset, offset, 0.3);
    }
}

struct FixedAddress final : ILocatedAddress {
    AddressLocation location;
    AddressLocation GetLocation() override { return location; }
};

TEST(RoutePositionKinds, PointElementsAddressesAndElementSets) {
    testdata::TempDeviceRoot root;
    testdata::WorldMapSetOptions options;
    const GeoPoint entry = At(0, -90); // nearer the south road than the north one
    options.points = {{{kCentre.x, kCentre.y + 90}, kFirstPoiType, entry, "Fuel"},
                      {{kCentre.x, kCentre.y + 90}, kFirstPoiType, std::nullopt, "Park"}};
    const auto opened = OpenRoads(root, {{-100}, {100}}, options);
    ASSERT_TRUE(opened);
    const std::uint32_t south = opened->Link(0);
    const std::uint32_t north = opened->Link(1);
    const std::uint32_t withEntry = opened->mapSet.pointIds[0];
    const std::uint32_t withoutEntry = opened->mapSet.pointIds[1];
    const std::int16_t number = 12;
    const std::int16_t zero = 0;
    const std::int16_t minusOne = -1;
    const auto address = [&](std::uint32_t id, std::int32_t dy, const std::int16_t* houseNumber) {
        FixedAddress located;
        const GeoPoint p = At(0, dy);
        located.location = {id, p.x, p.y};
        return std::make_unique<RoutePositionImpl>(opened->engine, located, houseNumber);
    };
    const struct {
        std::string name;
        std::unique_ptr<RoutePositionImpl> position;
        std::uint32_t kind;
        std::uint32_t elementId;
    } cases[] = {
        {"point element through its entry",
         std::make_unique<RoutePositionImpl>(opened->engine, withEntry, At(0, 0)), 4, south},
        {"point element without entry",
         std::make_unique<RoutePositionImpl>(opened->engine, withoutEntry, At(0, 0)), 4, north},
        {"point element by its id alone",
         std::make_unique<RoutePositionImpl>(opened->engine, withEntry), 4, south},
        {"address with a house number", address(north, 100, &number), 6, north},
        {"address with number 0", address(north, 100, &zero), 5, north},
        {"address with number -1", address(north, 100, &minusOne), 5, north},
        {"address without number", address(north, 100, nullptr), 5, north},
        {"address at the nearest road keeps kind 2", address(kNone, -95, &number), 2, south},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.position->GetKind(), c.kind);
        EXPECT_EQ(c.position->GetSingleElementId(), c.elementId);
    }

    // Element sets: one candidate per element at its middle vertex, in cursor order; none from
    // an empty cursor or an element without geometry.
    auto* query = dynamic_cast<RetrievalEngine::IAreaQuery*>(opened->engine.Get());
    ASSERT_NE(query, nullptr);
    const GeoRect whole{At(-1000, -1000).x, At(-1000, -1000).y, At(1000, 1000).x, At(1000, 1000).y};
    std::vector<std::uint32_t> order;
    for (auto cursor = query->QueryArea(whole, kFirstRoadType, kRoadTypeEnd); cursor->IsValid();
         cursor->Next()) {
        order.push_back(cursor->GetElementId());
    }
    ASSERT_EQ(order.size(), 2u);
    auto roads = query->QueryArea(whole, kFirstRoadType, kRoadTypeEnd);
    const RoutePositionImpl set(opened->engine, *roads);
    EXPECT_EQ(set.GetKind(), RoutePosition::kOnElement);
    ASSERT_EQ(set.Count(), 2u);
    EXPECT_EQ(set.GetSingleElementId(), kNone);
    EXPECT_EQ(set.GetSinglePoint(), GeoPoint{});
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(set.Begin()[i].elementId, order[i]);
        EXPECT_NEAR(set.Begin()[i].point.x, At(0, 0).x, 1e-6); // the middle of the road
    }
    auto nothing = query->QueryArea({0.0f, 0.0f, 0.001f, 0.001f}, kFirstRoadType, kRoadTypeEnd);
    ASSERT_TRUE(nothing);
    const RoutePositionImpl none(opened->engine, *nothing);
    EXPECT_EQ(none.GetKind(), RoutePosition::kNoCandidate);
    EXPECT_EQ(none.Count(), 0u);
    const RoutePositionImpl unknown(opened->engine, 0x7FFFFu);
    EXPECT_EQ(unknown.GetKind(), RoutePosition::kNoCandidate);
    EXPECT_EQ(unknown.Count(), 0u);
}

TEST(CurrentPosition, OrientsTheMatchedElementByTheMatchedSegment) {
    testdata::TempDeviceRoot root;
    testdata::RoadWorld world;
    world.nodes = {{kCentre.x, kCentre.y}, {kCentre.x + 2000, kCentre.y}};
    world.links = {{0, 1}};
    testdata::WorldMapSetOptions options;
    options.bends[0] = {{kCentre.x + 1000, kCentre.y}};
    const auto opened = Open(root, world, options);
    ASSERT_TRUE(opened);
    const std::uint32_t road = opened->Link(0);
    const GeoPoint a = At(0, 0);
    const GeoPoint b = At(1000, 0);
    const GeoPoint c = At(2000, 0);
    const GeoPoint matched = At(1500, 0);
    const GeoPoint fix = At(1500, 30);
    const double ab = Metres(a, b);
    const struct {
        std::string name;
        MatchedPosition current;
        RoutePositionEntry expected;
    } cases[] = {
        {"along the points",
         testdata::MatchedPositionBuilder().Fix(fix).OnStreet(road, matched, b, c).Build(),
         {matched, a, road, static_cast<float>(1.5 * ab)}},
        {"against the points",
         testdata::MatchedPositionBuilder().Fix(fix).OnStreet(road, matched, c, b).Build(),
         {matched, c, road, static_cast<float>(0.5 * ab)}},
        {"not matched: the nearest road to the fix",
         testdata::MatchedPositionBuilder().Fix(fix).Build(),
         {matched, a, road, static_cast<float>(1.5 * ab)}},
        {"no fix: the nearest road to the matched point",
         testdata::MatchedPositionBuilder().Fix({0.0f, 0.0f}).OnStreet(road, matched, c, b).Build(),
         {matched, a, road, static_cast<float>(1.5 * ab)}},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        const RoutePositionImpl position(opened->engine, t.current);
        EXPECT_EQ(position.GetKind(), RoutePosition::kCurrent);
        ASSERT_EQ(position.Count(), 1u);
        const RoutePositionEntry& entry = *position.Begin();
        EXPECT_EQ(entry.elementId, t.expected.elementId);
        EXPECT_NEAR(entry.point.x, t.expected.point.x, 1e-6);
        EXPECT_NEAR(entry.point.y, t.expected.point.y, 1e-6);
        EXPECT_EQ(entry.nodePoint, t.expected.nodePoint);
        EXPECT_NEAR(entry.offset, t.expected.offset, 0.3);
    }
}

} // namespace
