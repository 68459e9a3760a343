// The route options' road-kind switches: the record they make, and the roads a route takes
// through the route service on a world where a motorway, a ferry and a toll road each spare a
// detour.
#include "app/modeinterface/routeswitches.h"
#include "routing/tests/serviceworld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

using namespace servicetest;

constexpr std::int32_t kUnit = 1000; // map units
constexpr std::uint8_t kMotorwayClass = 0;
constexpr std::uint8_t kFerryClass = 0x14; // a special link
constexpr std::uint8_t kTownClass = 4;

// One stretch of the world: a lead-in to s, the road of the kind from s to d, a detour
// s -> p -> q -> d of ordinary roads and a lead-out from d; all two-way.
struct Stretch {
    std::uint32_t leadIn = 0; // link indexes
    std::uint32_t shortcut = 0;
    std::uint32_t leadOut = 0;
    std::uint32_t a = 0, s = 0, d = 0, b = 0; // node indexes
};

std::uint32_t AddNode(testdata::RoadWorld& world, std::int32_t x, std::int32_t y) {
    world.nodes.push_back(MapPoint{kOrigin.x + x * kUnit, kOrigin.y + y * kUnit});
    return static_cast<std::uint32_t>(world.nodes.size() - 1);
}

std::uint32_t AddLink(testdata::RoadWorld& world, std::uint32_t from, std::uint32_t to,
                      std::uint8_t roadClass, bool extendedBit) {
    testdata::WorldLink link;
    link.from = from;
    link.to = to;
    link.roadClass = roadClass;
    link.extendedBit = extendedBit;
    link.lengthUnits = testdata::FlatWorldLengthUnits(world.nodes[from], world.nodes[to]);
    link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
    world.links.push_back(link);
    return static_cast<std::uint32_t>(world.links.size() - 1);
}

// The shortcut is `length` units long, the detour `detourHeight` up, across and down again.
Stretch AddStretch(testdata::RoadWorld& world, std::int32_t y, std::int32_t length,
                   std::int32_t detourHeight, std::uint8_t roadClass, bool extendedBit) {
    Stretch stretch;
    stretch.a = AddNode(world, -1, y);
    stretch.s = AddNode(world, 0, y);
    stretch.d = AddNode(world, length, y);
    stretch.b = AddNode(world, length + 1, y);
    const std::uint32_t p = AddNode(world, 0, y + detourHeight);
    const std::uint32_t q = AddNode(world, length, y + detourHeight);
    stretch.leadIn = AddLink(world, stretch.a, stretch.s, kTownClass, false);
    stretch.shortcut = AddLink(world, stretch.s, stretch.d, roadClass, extendedBit);
    (void)AddLink(world, stretch.s, p, kTownClass, false);
    (void)AddLink(world, p, q, kTownClass, false);
    (void)AddLink(world, q, stretch.d, kTownClass, false);
    stretch.leadOut = AddLink(world, stretch.d, stretch.b, kTownClass, false);
    return stretch;
}

struct SwitchWorld {
    std::unique_ptr<ServiceWorld> service;
    Stretch motorway, ferry, toll;
};

SwitchWorld& World() {
    static SwitchWorld w = [] {
        SwitchWorld made;
        testdata::RoadWorld world;
        // Motorway 120 km/h against 75 on the detour (1.5 times longer); avoided, 6 km/h.
        made.motorway = AddStretch(world, 0, 4, 1, kMotorwayClass, false);
        // Ferry 10 km/h against a detour eleven times longer; avoided, 0.5 km/h.
        made.ferry = AddStretch(world, 10, 1, 5, kFerryClass, false);
        // Toll road 75 km/h as the detour; avoided, 3.75 km/h.
        made.toll = AddStretch(world, 20, 4, 1, kTownClass, true);
        testdata::RoadNetworkOptions network;
        network.hasAdditionalAttributes = true; // the extended bit reaches the router
        made.service = MakeWorld(u"\\switches", std::move(world), network);
        return made;
    }();
    return w;
}

bool TakesShortcut(ServiceWorld& w, const Stretch& stretch) {
    const std::uint32_t in = w.world.links[stretch.leadIn].elementId;
    const std::uint32_t out = w.world.links[stretch.leadOut].elementId;
    const std::uint32_t shortcut = w.world.links[stretch.shortcut].elementId;
    const GeoPoint from = w.Along(stretch.a, stretch.s, 0.5);
    const GeoPoint to = w.Along(stretch.d, stretch.b, 0.5);
    const RouteRequestResult result = w.service->RequestRoute(
        w.service->CreatePosition(&in, &from), w.service->CreatePosition(&out, &to), nullptr);
    const std::vector<RouteRecord> records = Walk(result);
    EXPECT_FALSE(records.empty());
    return std::any_of(records.begin(), records.end(),
                       [&](const RouteRecord& r) { return r.linkId == shortcut; });
}

TEST(RoadKindSwitches, AllowedKindsKeepTheirCostAndTheOthersAreAvoided) {
    struct Row {
        bool motorways, ferries, tolls;
    };
    const Row rows[] = {{false, false, false},
                        {true, false, false},
                        {false, true, false},
                        {false, false, true},
                        {true, true, true}};
    for (const Row& row : rows) {
        ExternalRouteOptions options(1, 1);
        options.preference.fill(1); // every other class keeps its own value
        options.speed[3] = 33;
        ApplyRoadKindSwitches(options, row.motorways, row.ferries, row.tolls);
        const std::uint32_t motorway = row.motorways ? 0 : 3;
        EXPECT_EQ(options.preference[0], motorway);
        EXPECT_EQ(options.preference[8], motorway);
        EXPECT_EQ(options.specialLinkPreference, row.ferries ? 0u : 3u);
        EXPECT_EQ(options.extraLinkPreference, row.tolls ? 0u : 3u);
        for (const std::size_t other : {1u, 4u, 7u, 9u, 15u}) {
            EXPECT_EQ(options.preference[other], 1u);
        }
        EXPECT_EQ(options.speed[3], 33);
        EXPECT_EQ(options.routeType, 1u);
    }
}

TEST(RoadKindSwitches, RoutesTakeEachAllowedRoadAndDetourAroundTheOthers) {
    SwitchWorld& w = World();
    ASSERT_TRUE(w.service);
    struct Row {
        bool motorways, ferries, tolls;
    };
    // The first row is what a new mode starts with: all three switches off.
    const Row rows[] = {{false, false, false},
                        {true, false, false},
                        {false, true, false},
                        {false, false, true},
                        {true, true, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.motorways << row.ferries << row.tolls);
        ExternalRouteOptions options(1, 1);
        ApplyRoadKindSwitches(options, row.motorways, row.ferries, row.tolls);
        w.service->service->SetOptions(&options);
        EXPECT_EQ(TakesShortcut(*w.service, w.motorway), row.motorways);
        EXPECT_EQ(TakesShortcut(*w.service, w.ferry), row.ferries);
        EXPECT_EQ(TakesShortcut(*w.service, w.toll), row.tolls);
    }
}

} // namespace
