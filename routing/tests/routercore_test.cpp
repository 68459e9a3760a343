#include "routing/tests/routerfixture.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>

namespace {

using routingtest::OraclePlace;
using routingtest::RouteOracle;

constexpr std::uint32_t kColumns = 5;

// A 5 x 4 grid of two-way links about 150 m long (element id = link index + 1), with a spur
// from node 4 to a dead end (node 20) and a detached pair of nodes 21-22.
testdata::RoadWorld SmallWorld() {
    testdata::RoadWorld world = testdata::RoadWorld::Grid(kColumns, 4, 1000, {1000000, 6000000});
    for (testdata::WorldLink& link : world.links) {
        link.roadClass = 5;
    }
    const MapPoint corner = world.nodes[4];
    world.nodes.push_back({corner.x + 1000, corner.y});
    world.nodes.push_back({corner.x + 1000, corner.y + 2500});
    world.nodes.push_back({corner.x + 2000, corner.y + 2500});
    const auto add = [&](std::uint32_t a, std::uint32_t b) {
        testdata::WorldLink link;
        link.from = a;
        link.to = b;
        link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
        link.lengthUnits = testdata::FlatWorldLengthUnits(world.nodes[a], world.nodes[b]);
        link.roadClass = 5;
        world.links.push_back(link);
    };
    add(4, 20);
    add(21, 22);
    return world;
}

std::uint32_t LinkBetween(const testdata::RoadWorld& world, std::uint32_t a, std::uint32_t b) {
    for (std::uint32_t i = 0; i < world.links.size(); ++i) {
        const testdata::WorldLink& l = world.links[i];
        if ((l.from == a && l.to == b) || (l.from == b && l.to == a)) {
            return i;
        }
    }
    ADD_FAILURE() << "no link " << a << "-" << b;
    return 0;
}

// The link's index among the node's links, as the network writer numbers them.
std::uint8_t IndexAtNode(const testdata::RoadWorld& world, std::uint32_t node, std::uint32_t link) {
    std::uint8_t index = 0;
    for (std::uint32_t i = 0; i < link; ++i) {
        if (world.links[i].from == node || world.links[i].to == node) {
            ++index;
        }
    }
    return index;
}

struct Scene {
    testdata::RoadWorld world = SmallWorld();
    testdata::RoadNetworkOptions network;
    RouteOptions options;
    OraclePlace start{0, std::nullopt, 0.0};
    OraclePlace destination{19, std::nullopt, 0.0};
    std::vector<std::uint32_t> closedLinks;
    CalculationFlags flags{};
    // Raw entries instead of the places, when set.
    std::optional<RoutePositionEntry> startEntry;
    std::optional<RoutePositionEntry> destinationEntry;

    [[nodiscard]] OraclePlace On(std::uint32_t a, std::uint32_t b, double offset) const {
        return {a, LinkBetween(world, a, b), offset};
    }
    void SetList3(std::uint32_t node, std::uint32_t a, std::uint32_t b, std::uint8_t code) {
        network.extras[0][node].list3.push_back(
            {IndexAtNode(world, node, LinkBetween(world, a, b)), code, 0, 0, true});
    }
    void SetDirection(std::uint32_t a, std::uint32_t b, std::uint8_t code) {
        const std::uint32_t link = LinkBetween(world, a, b);
        network.extras[0][a].directionOverrides[IndexAtNode(world, a, link)] = code;
        network.extras[0][b].directionOverrides[IndexAtNode(world, b, link)] = code;
    }
};

struct Calculated {
    std::unique_ptr<routingtest::RouterWorld> routed;
    std::int32_t result = -1;
};

Calculated CalculateScene(const Scene& scene) {
    Calculated out;
    out.routed = routingtest::MakeRouterWorld(scene.world, scene.options, scene.network);
    if (!out.routed->IsReady()) {
        ADD_FAILURE() << "network not written";
        return out;
    }
    RoadNetwork& network = *out.routed->written->network;
    for (const std::uint32_t link : scene.closedLinks) {
        const testdata::WorldLink& l = scene.world.links[link];
        FlaggedElementList list;
        list.items = {
            {l.elementId, scene.world.Position(l.from).x, scene.world.Position(l.from).y}};
        list.value = std::make_shared<const std::uint8_t>(0);
        EXPECT_TRUE(network.AddFlaggedElements(list));
    }
    const RouteOracle oracle(out.routed->world, out.routed->options);
    out.result = out.routed->router->Calculate(
        scene.startEntry.value_or(oracle.Entry(scene.start)),
        scene.destinationEntry.value_or(oracle.Entry(scene.destination)), scene.flags);
    return out;
}

// A one-way destination link Y-Z entered at Y only from a large grid (whose search stops after
// 5000 crossings without meeting the start); the start X reaches Y directly and over W, and
// both turns from there into the destination link are prohibited. The start search settles Y
// (the turn is refused), then comes back to it from W (the link form of the meeting sees the
// seed, refuses the turn) and runs dry.
void DeniedSeedScene(Scene& s) {
    constexpr std::uint32_t kSide = 72;
    s.world = testdata::RoadWorld::Grid(kSide, kSide, 1000, {1000000, 6000000});
    testdata::RoadWorld& w = s.world;
    const MapPoint corner = w.nodes[kSide * kSide - 1];
    const auto node = [&](std::int32_t dx, std::int32_t dy) {
        w.nodes.push_back({corner.x + dx, corner.y + dy});
        return static_cast<std::uint32_t>(w.nodes.size() - 1);
    };
    const std::uint32_t y = node(2000, 2000);
    const std::uint32_t z = node(3000, 2000);
    const std::uint32_t x = node(1000, 2000);
    const std::uint32_t v = node(2000, 3000); // W
    const auto add = [&](std::uint32_t a, std::uint32_t b, bool isOneWay) {
        testdata::WorldLink link;
        link.from = a;
        link.to = b;
        link.elementId = static_cast<std::uint32_t>(w.links.size() + 1);
        link.lengthUnits = testdata::FlatWorldLengthUnits(w.nodes[a], w.nodes[b]);
        link.roadClass = 5;
        link.isOneWay = isOneWay;
        w.links.push_back(link);
    };
    add(kSide * kSide - 1, y, true);
    add(x, y, false);
    add(v, y, false);
    add(x, v, false);
    add(y, z, true);
    testdata::CrossingExtras& extras = s.network.extras[0][y];
    extras.hasTurnTable = true;
    const std::uint8_t into = IndexAtNode(w, y, LinkBetween(w, y, z));
    extras.prohibitedTurns = {{IndexAtNode(w, y, LinkBetween(w, x, y)), into},
                              {IndexAtNode(w, y, LinkBetween(w, v, y)), into}};
    s.start = {x, std::nullopt, 0.0};
    s.destination = s.On(y, z, 40.0);
}

TEST(RouterCore, ResultCodes) {
    struct Case {
        const char* name;
        std::function<void(Scene&)> change;
        std::int32_t code;
    };
    const Case cases[] = {
        {"crossing to crossing", [](Scene&) {}, 6},
        {"links to links",
         [](Scene& s) {
             s.start = s.On(0, 1, 40.0);
             s.destination = s.On(18, 19, 30.0);
         },
         6},
        {"start equals destination", [](Scene& s) { s.destination = s.start; }, 30},
        {"nothing near the start",
         [](Scene& s) {
             s.startEntry = RoutePositionEntry{{1.0f, 1.0f}, {1.0f, 1.0f}, 0xFFFFFFFF, 0.0f};
         },
         21},
        {"nothing near the destination",
         [](Scene& s) {
             s.destinationEntry = RoutePositionEntry{{1.0f, 1.0f}, {1.0f, 1.0f}, 0xFFFFFFFF, 0.0f};
         },
         22},
        {"unreachable destination",
         [](Scene& s) {
             s.destination = {21, std::nullopt, 0.0};
         },
         20},
        {"start link closed",
         [](Scene& s) {
             s.start = s.On(0, 1, 40.0);
             s.closedLinks = {LinkBetween(s.world, 0, 1)};
             s.flags.useAnnotations = 1;
         },
         17},
        {"destination link closed",
         [](Scene& s) {
             s.destination = s.On(18, 19, 30.0);
             s.closedLinks = {LinkBetween(s.world, 18, 19)};
             s.flags.useAnnotations = 1;
         },
         18},
        {"closed links ignored without annotations",
         [](Scene& s) {
             s.start = s.On(0, 1, 40.0);
             s.closedLinks = {LinkBetween(s.world, 0, 1)};
         },
         6},
        {"keep heading into a dead end",
         [](Scene& s) {
             s.start = s.On(4, 20, 40.0);
             s.flags.keepStartHeading = 1;
         },
         23},
        {"keep heading out of a dead end",
         [](Scene& s) {
             s.start = s.On(20, 4, 40.0);
             s.flags.keepStartHeading = 1;
         },
         6},
        {"start on a road without direction",
         [](Scene& s) {
             s.SetDirection(0, 1, 0);
             s.start = s.On(0, 1, 40.0);
         },
         24},
        {"start on kind 26",
         [](Scene& s) {
             s.world.links[LinkBetween(s.world, 0, 1)].roadClass = 26;
             s.SetDirection(0, 1, 0);
             s.start = s.On(0, 1, 40.0);
         },
         26},
        {"start on kind 28",
         [](Scene& s) {
             s.world.links[LinkBetween(s.world, 0, 1)].roadClass = 28;
             s.SetDirection(0, 1, 0);
             s.start = s.On(0, 1, 40.0);
         },
         26},
        {"start on kind 24 without direction",
         [](Scene& s) {
             s.world.links[LinkBetween(s.world, 0, 1)].roadClass = 24;
             s.SetDirection(0, 1, 0);
             s.start = s.On(0, 1, 40.0);
         },
         6},
        {"destination on a road without direction",
         [](Scene& s) {
             s.SetDirection(18, 19, 0);
             s.destination = s.On(18, 19, 30.0);
         },
         27},
        {"destination on kind 28",
         [](Scene& s) {
             s.world.links[LinkBetween(s.world, 18, 19)].roadClass = 28;
             s.SetDirection(18, 19, 0);
             s.destination = s.On(18, 19, 30.0);
         },
         29},
        {"one-way start link left by no end",
         [](Scene& s) {
             s.world.links[LinkBetween(s.world, 0, 1)].isOneWay = true;
             s.SetList3(0, 0, 1, 2);
             s.start = s.On(0, 1, 40.0);
         },
         31},
        {"destination with one allowed end excluded",
         [](Scene& s) {
             s.world.links[LinkBetween(s.world, 18, 19)].isOneWay = true;
             s.SetList3(19, 18, 19, 2);
             s.destination = s.On(19, 18, 30.0);
         },
         32},
        {"start link without usable end",
         [](Scene& s) {
             s.SetList3(0, 0, 1, 3);
             s.start = s.On(0, 1, 40.0);
         },
         33},
        {"destination link without usable end",
         [](Scene& s) {
             s.SetList3(18, 18, 19, 3);
             s.destination = s.On(18, 19, 30.0);
         },
         34},
        {"start meets only a destination seed it may not turn into", DeniedSeedScene, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        c.change(scene);
        const Calculated done = CalculateScene(scene);
        EXPECT_EQ(done.result, c.code);
        if (done.routed && done.routed->router) {
            RouterCore& router = *done.routed->router;
            EXPECT_EQ(router.IsRouteValid(), c.code == 6);
            EXPECT_EQ(router.BuildRecords(-1, false).empty(), c.code != 6);
            EXPECT_EQ(router.GetLength() > 0.0f, c.code == 6);
        }
    }
}

// Start and destination on one link: a route straight along it when the destination lies ahead,
// judged from the same end when the two node points are less than 5 m apart.
TEST(RouterCore, SameLinkRoutes) {
    struct Case {
        const char* name;
        bool isOneWay;
        std::uint32_t startNode; // node point of the start (the link is 6-7)
        double startOffset;
        std::uint32_t destinationNode;
        double destinationOffset;
        bool isSameLink;
        std::int32_t length; // of the single record
    };
    const testdata::RoadWorld world = SmallWorld();
    const auto metres =
        static_cast<std::int32_t>(world.links[LinkBetween(world, 6, 7)].lengthUnits * 5);
    const Case cases[] = {
        {"same end, ahead towards the far end", false, 6, 20.0, 6, 80.0, true, 60},
        {"same end, ahead towards the near end", false, 6, 80.0, 6, 20.0, true, 60},
        {"opposite ends, ahead", false, 6, 20.0, 7, 30.0, true, metres - 50},
        {"one-way, ahead", true, 6, 20.0, 6, 80.0, true, 60},
        {"one-way, behind: around the block", true, 6, 80.0, 6, 20.0, false, 0},
        {"one-way from opposite ends, behind", true, 6, 80.0, 7, 100.0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        scene.world.links[LinkBetween(scene.world, 6, 7)].isOneWay = c.isOneWay;
        scene.start = scene.On(c.startNode, c.startNode == 6 ? 7 : 6, c.startOffset);
        scene.destination =
            scene.On(c.destinationNode, c.destinationNode == 6 ? 7 : 6, c.destinationOffset);
        const Calculated done = CalculateScene(scene);
        ASSERT_EQ(done.result, 6);
        RouterCore& router = *done.routed->router;
        EXPECT_EQ(router.IsSameLink(), c.isSameLink);
        const std::vector<RouteRecord>& records = router.BuildRecords(-1, false);
        ASSERT_FALSE(records.empty());
        if (c.isSameLink) {
            ASSERT_EQ(records.size(), 1u);
            EXPECT_EQ(records[0].length, c.length);
            EXPECT_EQ(router.GetLength(), static_cast<float>(c.length));
            EXPECT_FLOAT_EQ(router.GetTravelTime(), static_cast<float>(records[0].time) / 3600.0f);
        } else {
            const RouteOracle oracle(done.routed->world, done.routed->options);
            std::string problem;
            EXPECT_TRUE(oracle.PriceRecords(records, scene.start, scene.destination, problem))
                << problem;
            EXPECT_GT(records.size(), 3u);
        }
    }
}

// A line Z - A - B - C - D - E - F (nodes 0-6, links about 150 m) with a detour A - X - B over
// node 7, which makes the way from A to B about 110 m longer.
testdata::RoadWorld LineWithDetour() {
    testdata::RoadWorld world;
    for (std::int32_t i = 0; i < 7; ++i) {
        world.nodes.push_back({1000000 + 1000 * i, 6000000});
    }
    world.nodes.push_back({1001500, 6000700});
    const auto add = [&](std::uint32_t a, std::uint32_t b) {
        testdata::WorldLink link;
        link.from = a;
        link.to = b;
        link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
        link.lengthUnits = testdata::FlatWorldLengthUnits(world.nodes[a], world.nodes[b]);
        link.roadClass = 5;
        world.links.push_back(link);
    };
    for (std::uint32_t i = 0; i + 1 < 7; ++i) {
        add(i, i + 1);
    }
    add(1, 7);
    add(7, 2);
    return world;
}

// A list-2 item that prohibits driving along the nodes in order (the turn is made at the
// last but one), with the pending-path flag on the links before the turn at both ends.
void ProhibitAlong(Scene& scene, const std::vector<std::uint32_t>& nodes) {
    const testdata::RoadWorld& world = scene.world;
    const std::size_t turn = nodes.size() - 2;
    const auto indexOf = [&](std::uint32_t at, std::uint32_t other) {
        return IndexAtNode(world, at, LinkBetween(world, at, other));
    };
    testdata::ManoeuvreItemDescription item;
    item.value0 = indexOf(nodes[turn], nodes[turn + 1]);
    for (std::size_t k = turn; k > 0; --k) {
        item.values.push_back(static_cast<std::int8_t>(indexOf(nodes[k], nodes[k - 1])));
        scene.network.extras[0][nodes[k]].pendingPathLinks.push_back(
            indexOf(nodes[k], nodes[k - 1]));
        scene.network.extras[0][nodes[k - 1]].pendingPathLinks.push_back(
            indexOf(nodes[k - 1], nodes[k]));
    }
    scene.network.extras[0][nodes[turn]].list2.push_back(item);
}

// The short way from A along the line drives a manoeuvre over several links that an item
// prohibits; the destination search takes it first, so the route must come over the detour.
// Without the item it runs straight along the line.
TEST(RouterCore, AvoidsManoeuvresOverSeveralLinks) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> prohibited; // nodes in driving order; empty: no item
        bool onLinks;                          // start on Z-A, destination on D-E or E-F
        bool isDetour;
    };
    const Case cases[] = {
        {"no item", {}, false, false},
        {"two links, then the turn", {1, 2, 3, 4}, false, true},
        {"three links, then the turn", {1, 2, 3, 4, 5}, false, true},
        {"three links, then the turn into the destination link", {1, 2, 3, 4, 5}, true, true},
        {"two links from the start link, then the turn", {0, 1, 2, 3}, true, true},
        {"no item, places on links", {}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        scene.world = LineWithDetour();
        scene.start = {1, std::nullopt, 0.0};
        scene.destination = {5, std::nullopt, 0.0};
        if (c.onLinks) {
            scene.start = scene.On(0, 1, 60.0);
            scene.destination = scene.On(4, 5, 60.0);
        }
        if (!c.prohibited.empty()) {
            ProhibitAlong(scene, c.prohibited);
        }
        const Calculated done = CalculateScene(scene);
        ASSERT_EQ(done.result, 6);
        RouteOracle oracle(done.routed->world, done.routed->options);
        for (const auto& [node, extras] : scene.network.extras[0]) {
            for (const testdata::ManoeuvreItemDescription& item : extras.list2) {
                oracle.AddManoeuvre(oracle.ManoeuvreOf(node, item).value());
            }
        }
        const std::vector<RouteRecord>& records = done.routed->router->BuildRecords(-1, false);
        std::string problem;
        const auto cost = oracle.PriceRecords(records, scene.start, scene.destination, problem);
        ASSERT_TRUE(cost) << problem;
        EXPECT_NEAR(*cost, oracle.Cost(scene.start, scene.destination), 1e-4);
        const std::uint32_t detour = scene.world.links[LinkBetween(scene.world, 1, 7)].elementId;
        EXPECT_EQ(
            std::ranges::any_of(records, [&](const RouteRecord& r) { return r.linkId == detour; }),
            c.isDetour);
    }
}

// The start on Z-A, the destination on A-B: the start side settles A first and meets the
// destination seed there when the turn from Z-A into A-B may be driven in the zone travel mode.
// A list-2 item at A prohibits that turn; its kind says for which modes. The searches enumerate
// in mode 2, so only the meeting test sees an item of kind 1: in the options' mode outside a
// restricted zone, in mode 2 (which exempts kind 1) inside the start's zone.
TEST(RouterCore, StartMeetingChecksTheTurnInTheZoneTravelMode) {
    struct Case {
        const char* name;
        std::optional<std::uint8_t> itemKind; // nullopt: no item
        std::uint32_t travelMode;
        bool isStartRestricted; // Z-A one-way towards A in mode 2: A lies in the start's zone
        bool isDetour;
    };
    const Case cases[] = {
        {"no item", std::nullopt, 1, false, false},
        {"kind 1, car outside a restricted zone", 1, 1, false, true},
        {"kind 1, car inside the start's restricted zone", 1, 1, true, false},
        {"kind 1, travel mode 2 is exempt", 1, 2, false, false},
        {"kind 0 holds for every mode", 0, 1, false, true},
        {"kind 0 inside the start's restricted zone", 0, 1, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        scene.world = LineWithDetour();
        scene.options.travelMode = c.travelMode;
        scene.start = scene.On(0, 1, 60.0);
        scene.destination = scene.On(1, 2, 60.0);
        const auto indexAt = [&](std::uint32_t node, std::uint32_t other) {
            return IndexAtNode(scene.world, node, LinkBetween(scene.world, node, other));
        };
        if (c.itemKind) {
            testdata::ManoeuvreItemDescription item;
            item.modeKind = *c.itemKind;
            item.value0 = indexAt(1, 2);
            item.values = {static_cast<std::int8_t>(indexAt(1, 0))};
            scene.network.extras[0][1].list2.push_back(item);
        }
        if (c.isStartRestricted) {
            scene.network.extras[0][0].list4.push_back({indexAt(0, 1), 1, 2, 0, true});
            scene.network.extras[0][1].list4.push_back({indexAt(1, 0), 3, 2, 0, true});
        }
        const Calculated done = CalculateScene(scene);
        ASSERT_EQ(done.result, 6);
        RouterCore& router = *done.routed->router;
        EXPECT_EQ(router.GetStartZone().empty(), !c.isStartRestricted);
        const std::vector<RouteRecord>& records = router.BuildRecords(-1, false);
        const RouteOracle oracle(done.routed->world, done.routed->options);
        std::string problem;
        EXPECT_TRUE(oracle.PriceRecords(records, scene.start, scene.destination, problem))
            << problem;
        const std::uint32_t detour = scene.world.links[LinkBetween(scene.world, 1, 7)].elementId;
        EXPECT_EQ(
            std::ranges::any_of(records, [&](const RouteRecord& r) { return r.linkId == detour; }),
            c.isDetour);
    }
}

// A route, then one that fails: the failure leaves no route behind.
TEST(RouterCore, NoStaleRouteAfterAFailure) {
    struct Case {
        const char* name;
        std::function<void(Scene&)> failing;
        std::int32_t code;
    };
    const Case cases[] = {
        {"start equals destination", [](Scene& s) { s.destination = s.start; }, 30},
        {"no route",
         [](Scene& s) {
             s.destination = {21, std::nullopt, 0.0};
         },
         20},
        {"nothing near the destination",
         [](Scene& s) {
             s.destinationEntry = RoutePositionEntry{{1.0f, 1.0f}, {1.0f, 1.0f}, 0xFFFFFFFF, 0.0f};
         },
         22},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        scene.start = {3, std::nullopt, 0.0};
        const Calculated done = CalculateScene(scene);
        ASSERT_EQ(done.result, 6);
        RouterCore& router = *done.routed->router;
        ASSERT_GT(router.GetLength(), 0.0f);
        Scene failing = scene;
        c.failing(failing);
        const RouteOracle oracle(done.routed->world, done.routed->options);
        EXPECT_EQ(
            router.Calculate(failing.startEntry.value_or(oracle.Entry(failing.start)),
                             failing.destinationEntry.value_or(oracle.Entry(failing.destination)),
                             failing.flags),
            c.code);
        EXPECT_EQ(router.GetLength(), -1.0f);
        EXPECT_EQ(router.GetTravelTime(), -1.0f);
        EXPECT_TRUE(router.BuildRecords(-1, true).empty());
    }
}

// A route is not built over a network other than the one it was calculated on.
TEST(RouterCore, AnotherNetworkEndsTheRoute) {
    Scene scene;
    const Calculated done = CalculateScene(scene);
    ASSERT_EQ(done.result, 6);
    RouterCore& router = *done.routed->router;
    const RoadNetworkPtr network = router.GetNetwork();
    router.SetNetwork(network);
    EXPECT_GT(router.GetLength(), 0.0f);
    router.SetNetwork(nullptr);
    EXPECT_EQ(router.GetLength(), -1.0f);
    EXPECT_TRUE(router.BuildRecords(-1, true).empty());
}

// Two routes from one start crossing meet where they start; each keeps its own records.
TEST(RouterCore, RoutesFromOneStartAreTheirOwn) {
    Scene scene;
    scene.start = {0, std::nullopt, 0.0};
    Calculated done = CalculateScene(scene);
    ASSERT_EQ(done.result, 6);
    RouterCore& router = *done.routed->router;
    const RouteOracle oracle(done.routed->world, done.routed->options);
    for (const std::uint32_t destination : {19u, 4u, 15u}) {
        SCOPED_TRACE(destination);
        const OraclePlace to{destination, std::nullopt, 0.0};
        ASSERT_EQ(router.Calculate(oracle.Entry(scene.start), oracle.Entry(to), {}), 6);
        std::string problem;
        const auto cost =
            oracle.PriceRecords(router.BuildRecords(-1, false), scene.start, to, problem);
        ASSERT_TRUE(cost) << problem;
        EXPECT_NEAR(*cost, oracle.Cost(scene.start, to), 1e-4);
    }
}

// Records whose arrival links run in a circle end the trace instead of looping.
TEST(RouterCore, TraceStopsOnCircularRecords) {
    Scene scene;
    Calculated done = CalculateScene(scene);
    ASSERT_EQ(done.result, 6);
    RouterCore& router = *done.routed->router;
    routingtest::WrittenNetwork& written = *done.routed->written;
    const std::uint32_t a = written.Layout(0).crossingOfNode.at(7);
    const std::uint32_t b = written.Layout(0).crossingOfNode.at(8);
    const std::uint32_t link = LinkBetween(scene.world, 7, 8);
    NodeTable& table = router.TableOf(false, 0);
    NodeRecord* first = table.GetRecord(a);
    NodeRecord* second = table.GetRecord(b);
    first->flags = 0xF8 & first->flags;
    second->flags = 0xF8 & second->flags;
    first->SetArrivalIndex(IndexAtNode(scene.world, 7, link));
    second->SetArrivalIndex(IndexAtNode(scene.world, 8, link));
    std::vector<RouteRecord> records;
    CrossingAddress address = written.AddressOfNode(0, 7);
    EXPECT_EQ(router.TraceLabelPath(records, address, false, true), 0);
    EXPECT_LE(records.size(), table.GetNodeCount());
}

// A clock that moves on by a step whenever it is read.
class SteppingClock final : public platform::Clock {
public:
    explicit SteppingClock(std::uint64_t step)
        : m_step(step) {}
    [[nodiscard]] std::uint64_t TickMs() const override { return m_tick += m_step; }
    [[nodiscard]] std::uint64_t UtcFileTime() const override { return 0; }
    [[nodiscard]] int LocalOffsetMinutes(std::uint64_t) const override { return 0; }
    [[nodiscard]] bool FollowsHostTime() const override { return false; }

private:
    std::uint64_t m_step;
    mutable std::atomic<std::uint64_t> m_tick{0};
};

class CancellingObserver final : public ProgressObserver {
public:
    bool IsCancelled() override {
        ++asked;
        return asked > cancelAfter;
    }
    void ReportProgress(std::int32_t percent) override { reports.push_back(percent); }

    int asked = 0;
    int cancelAfter = 1000000;
    std::vector<std::int32_t> reports;
};

// Progress on the installed clock: nothing within 200 ms, rising, 100 only at the end; a
// cancelling observer ends the calculation with 0.
TEST(RouterCore, ProgressAndCancellation) {
    struct Case {
        const char* name;
        std::uint64_t stepMs;
        int cancelAfter;
        std::int32_t code;
        bool hasReportsBefore100;
    };
    const Case cases[] = {
        {"clock standing still", 0, 0, 6, false},
        {"clock running", 7, 1000000, 6, true},
        {"cancelled", 7, 0, 0, false},
    };
    testdata::RandomWorldOptions worldOptions;
    worldOptions.columns = 30;
    worldOptions.rows = 30;
    worldOptions.missingPercent = 0;
    worldOptions.oneWayPercent = 0;
    auto routed = routingtest::MakeRouterWorld(testdata::MakeRandomWorld(worldOptions).world, {});
    ASSERT_TRUE(routed->IsReady());
    const RouteOracle oracle(routed->world, routed->options);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SteppingClock clock(c.stepMs);
        platform::ScopedClock installed(clock);
        CancellingObserver observer;
        observer.cancelAfter = c.cancelAfter;
        routed->router->SetProgressObserver(&observer);
        EXPECT_EQ(routed->router->Calculate(oracle.Entry({0, std::nullopt, 0.0}),
                                            oracle.Entry({899, std::nullopt, 0.0}), {}),
                  c.code);
        routed->router->SetProgressObserver(nullptr);
        if (c.code != 6) {
            EXPECT_TRUE(observer.reports.empty());
            EXPECT_EQ(routed->router->GetLength(), -1.0f);
            continue;
        }
        ASSERT_FALSE(observer.reports.empty());
        EXPECT_EQ(observer.reports.back(), 100);
        EXPECT_EQ(observer.reports.size() > 1, c.hasReportsBefore100);
        for (std::size_t i = 0; i + 1 < observer.reports.size(); ++i) {
            EXPECT_LE(observer.reports[i], observer.reports[i + 1]);
            EXPECT_LT(observer.reports[i], 100);
        }
    }
}

// Search memory that the reserve refuses: 10 in the destination search, 19 in the start search.
TEST(RouterCore, SearchMemoryRefused) {
    testdata::RandomWorldOptions worldOptions;
    worldOptions.columns = 40;
    worldOptions.rows = 40;
    worldOptions.missingPercent = 0;
    worldOptions.oneWayPercent = 0;
    const testdata::RoadWorld world = testdata::MakeRandomWorld(worldOptions).world;
    auto plenty = routingtest::MakeRouterWorld(world, {});
    ASSERT_TRUE(plenty->IsReady());
    const RouteOracle oracle(plenty->world, plenty->options);
    const auto& ids = plenty->written->Layout(0).crossingOfNode;
    // A start whose neighbour's record lies on another page than its own.
    std::uint32_t start = 0;
    for (const testdata::WorldLink& link : world.links) {
        if (ids.at(link.from) >> 9 != ids.at(link.to) >> 9) {
            start = link.from;
            break;
        }
    }
    const OraclePlace from{start, std::nullopt, 0.0};
    const OraclePlace to{start < 800 ? 1599u : 0u, std::nullopt, 0.0};
    ASSERT_EQ(plenty->router->Calculate(oracle.Entry(from), oracle.Entry(to), {}), 6);
    const std::uint32_t used = plenty->router->TableOf(true, 0).GetPagesInUse();
    ASSERT_GT(used, 1u);
    struct Case {
        const char* name;
        std::uint32_t pages;
        std::int32_t code;
    };
    const Case cases[] = {
        {"enough for both searches", used + 4, 6},
        {"too little for the destination search", used - 1, 10},
        {"one page left for the start search", used + 1, 19},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SearchMemoryReserve reserve(c.pages * NodeTable::kPageBytes);
        testdata::RoadNetworkOptions network;
        auto routed = routingtest::MakeRouterWorld(world, {}, network, reserve);
        ASSERT_TRUE(routed->IsReady());
        EXPECT_EQ(routed->router->Calculate(oracle.Entry(from), oracle.Entry(to), {}), c.code);
        routed->router.reset();
    }
}

// The destination search gives up after 5000 settled crossings when it has not met the start;
// the start search then goes on until it meets the crossings the other side settled.
TEST(RouterCore, DestinationSearchStopsAfter5000) {
    testdata::RandomWorldOptions worldOptions;
    worldOptions.columns = 80;
    worldOptions.rows = 80;
    worldOptions.missingPercent = 0;
    worldOptions.oneWayPercent = 0;
    worldOptions.specialPercent = 100;
    auto routed = routingtest::MakeRouterWorld(testdata::MakeRandomWorld(worldOptions).world, {});
    ASSERT_TRUE(routed->IsReady());
    const RouteOracle oracle(routed->world, routed->options);
    struct Case {
        const char* name;
        std::uint32_t start;
        std::int32_t code;
        int settled;
    };
    const Case cases[] = {
        {"start beyond 5000 crossings: the start side comes to meet it", 0, 6, 5001},
        {"start nearby: 100 more after meeting", 6399 - 81, 6, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(routed->router->Calculate(oracle.Entry({c.start, std::nullopt, 0.0}),
                                            oracle.Entry({6399, std::nullopt, 0.0}), {}),
                  c.code);
        if (c.settled > 0) {
            EXPECT_EQ(routed->router->GetDestinationSettled(), c.settled);
        } else {
            EXPECT_LT(routed->router->GetDestinationSettled(), 300);
        }
        std::string problem;
        EXPECT_TRUE(oracle.PriceRecords(routed->router->BuildRecords(-1, false),
                                        {c.start, std::nullopt, 0.0}, {6399, std::nullopt, 0.0},
                                        problem))
            << problem;
    }
}

// Restricted zones (list-4 data: cars in mode 2 see another direction) grow along restricted
// links and stop after 100 of them.
TEST(RouterCore, RestrictedZoneStopsAt100Links) {
    struct Case {
        const char* name;
        std::uint32_t nodes;
        std::size_t zoneAtMost;
        std::size_t zoneAtLeast;
    };
    const Case cases[] = {
        {"short chain: all of it", 40, 40, 40},
        {"long chain: 100 links", 160, 101, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RoadWorld world = testdata::RoadWorld::Grid(c.nodes, 1, 1000, {1000000, 6000000});
        testdata::RoadNetworkOptions network;
        // Cars in mode 2 may only drive the chain upwards; in mode 1 both ways.
        for (std::uint32_t node = 0; node < c.nodes; ++node) {
            std::uint8_t index = 0;
            if (node > 0) {
                network.extras[0][node].list4.push_back({index++, 3, 2, 0, true});
            }
            if (node + 1 < c.nodes) {
                network.extras[0][node].list4.push_back({index, 1, 2, 0, true});
            }
        }
        auto routed = routingtest::MakeRouterWorld(world, {}, network);
        ASSERT_TRUE(routed->IsReady());
        RouterCore& router = *routed->router;
        const NetworkCrossingPtr first = routed->written->CrossingOf(0, 0);
        ASSERT_TRUE(router.IsRestricted(*first, 0xFFFFFFFF));
        const CrossingSet zone = router.BuildRestrictedZone(*first);
        EXPECT_LE(zone.size(), c.zoneAtMost);
        EXPECT_GE(zone.size(), c.zoneAtLeast);
        // A calculation from inside builds the start zone.
        const RouteOracle oracle(routed->world, routed->options);
        EXPECT_EQ(router.Calculate(oracle.Entry({0, std::nullopt, 0.0}),
                                   oracle.Entry({5, std::nullopt, 0.0}), {}),
                  6);
        EXPECT_EQ(router.GetStartZone().size(), zone.size());
    }
}

} // namespace
