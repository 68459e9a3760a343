#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "junctionview/model/crossingmodel.h"
#include "junctionview/tests/junctionworld.h"
#include "junctionview/tests/scriptedjunctionmap.h"
#include "routing/tests/scriptedroute.h"

#include "platform/kernel/debug.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using junctionworld::RouteWorld;

constexpr double kBuildTolerance = 1e-6; // degrees

// The segment runs between the two points, in either direction when `eitherWay`.
::testing::AssertionResult Joins(const JunctionSegment& s, GeoPoint a, GeoPoint b,
                                 bool eitherWay = false) {
    const auto near = [](float x, float y, GeoPoint p) {
        return std::fabs(x - p.x) <= kBuildTolerance && std::fabs(y - p.y) <= kBuildTolerance;
    };
    if ((near(s.x1, s.y1, a) && near(s.x2, s.y2, b)) ||
        (eitherWay && near(s.x1, s.y1, b) && near(s.x2, s.y2, a))) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "(" << s.x1 << "," << s.y1 << ")-(" << s.x2 << "," << s.y2 << ") is not (" << a.x
           << "," << a.y << ")-(" << b.x << "," << b.y << ")";
}

GeoPoint Middle(GeoPoint a, GeoPoint b) {
    return {static_cast<float>((static_cast<double>(a.x) + b.x) / 2),
            static_cast<float>((static_cast<double>(a.y) + b.y) / 2)};
}

const MapPoint kBuildCentres[] = {testdata::kScenarioCentre, testdata::kNorthScenarioCentre};

TEST(JunctionBuildOrdinary, TakesTheRouteAndTheStreetsMeetingItAtBothLatitudes) {
    for (const MapPoint centre : kBuildCentres) {
        for (const bool isCross : {false, true}) {
            SCOPED_TRACE(testing::Message() << (isCross ? "cross" : "T") << " at " << centre.y);
            const auto world = RouteWorld(
                testdata::ScenarioAt(isCross ? testdata::CrossingScenario(1070, 1070, 1070, 1070)
                                             : testdata::TJunctionScenario(),
                                     centre));
            ASSERT_TRUE(world);
            const char leave = isCross ? 'N' : 'E';
            const GeoPoint s = world->Node('S');
            const GeoPoint j = world->Node('J');
            const GeoPoint l = world->Node(leave);
            CrossingModel model(world->result.route, world->map);
            model.SetRouteCursor(world->At(0));
            ASSERT_TRUE(model.BuildComputedJunction(300.0));
            EXPECT_FALSE(model.IsRoundabout());
            EXPECT_NEAR(model.JunctionCentre().x, j.x, kBuildTolerance);
            EXPECT_NEAR(model.JunctionCentre().y, j.y, kBuildTolerance);
            const auto& route = model.RouteSegments();
            ASSERT_EQ(route.size(), 2u);
            EXPECT_EQ(route[0].streetId, world->written.Element("SJ"));
            EXPECT_TRUE(Joins(route[0], Middle(s, j), j));
            EXPECT_EQ(route[1].streetId, world->written.Element(std::string("J") + leave));
            EXPECT_TRUE(Joins(route[1], j, Middle(j, l)));
            EXPECT_EQ(model.ApproachSegment(), route[0]);
            std::vector<char> others = {'W'};
            if (isCross) {
                others.push_back('E');
            }
            const auto& side = model.SideSegments();
            ASSERT_EQ(side.size(), others.size());
            for (const char other : others) {
                const std::uint32_t id = world->written.Element(std::string("J") + other);
                const auto found = std::find_if(side.begin(), side.end(),
                                                [&](const auto& x) { return x.streetId == id; });
                ASSERT_NE(found, side.end()) << other;
                EXPECT_TRUE(Joins(*found, j, world->Node(other), true));
            }
            EXPECT_TRUE(model.ExtraSegments().empty());
            const double r = 300.0 / 108000.0;
            EXPECT_NEAR(model.ModelExtent()[0], j.x - r, kBuildTolerance);
            EXPECT_NEAR(model.ModelExtent()[3], j.y + r, kBuildTolerance);

            // At the route's last record there is no record after the junction.
            model.SetRouteCursor(world->At(1));
            EXPECT_FALSE(model.BuildComputedJunction(300.0));
            EXPECT_TRUE(model.RouteSegments().empty());
        }
    }
}

struct BuildRingCase {
    const char* name;
    std::string route;
    std::string cursorOn; // the link of the junction record
    std::string entry;    // "" when the entry spoke is not on the route
    std::string exit;
    std::string approachFrom; // the entry arm's ring end, or "start" for the route's start
    std::size_t side;
};

TEST(JunctionBuildRoundabout, SortsTheSpokesOfEachEntryCaseAtBothLatitudes) {
    const BuildRingCase cases[] = {
        // The step after the junction is in the ring: the entry spoke is not found.
        {"following in the ring", "S123bWV", "S1", "", "bW", "start", 2},
        // The junction step is in the ring: back to the step before it.
        {"junction in the ring", "S123bWV", "23", "S1", "bW", "1", 1},
        // Over a looked-past link into the ring.
        {"looked past", "VWa12E", "VW", "Wa", "2E", "ba", 1},
    };
    for (const MapPoint centre : kBuildCentres) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << " at " << centre.y);
            const auto world = RouteWorld(
                testdata::ScenarioAt(testdata::ArmedRoundaboutScenario(c.route), centre));
            ASSERT_TRUE(world);
            const std::uint32_t exitId = world->written.Element(c.exit);
            for (const bool isDestination : {false, true}) {
                std::vector<std::uint32_t> destination;
                if (isDestination) {
                    destination = {exitId};
                }
                CrossingModel model(world->result.route, world->map, destination);
                model.SetRouteCursor(world->At(world->IndexOf(c.cursorOn)));
                ASSERT_TRUE(model.BuildComputedJunction(300.0));
                ASSERT_TRUE(model.IsRoundabout());
                // 4 arms: S, E, N and the pair as one.
                const std::size_t routeCount = c.entry.empty() ? 1 : 2;
                EXPECT_EQ(model.RouteSegments().size(), routeCount);
                EXPECT_EQ(model.SideSegments().size(), c.side);
                ASSERT_EQ(model.ExtraSegments().size(), 1u); // the entry-only arm N
                const JunctionSegment exit = model.ExitSpoke();
                ASSERT_TRUE(junctionview::IsSegmentSet(exit));
                EXPECT_NE(
                    std::find(model.RouteSegments().begin(), model.RouteSegments().end(), exit),
                    model.RouteSegments().end());
                if (isDestination) {
                    EXPECT_EQ(exit.streetId, exitId);
                } else {
                    EXPECT_LT(exit.streetId, 4u);
                }
                const GeoPoint cc = model.JunctionCentre();
                EXPECT_EQ(exit.x1, cc.x);
                EXPECT_EQ(exit.y1, cc.y);
                const double length = std::hypot(exit.x2 - exit.x1, exit.y2 - exit.y1);
                EXPECT_NEAR(length, 0.0011111111, 1e-6);
                // The exit spoke points at the exit arm's ring end (the pair: its middle).
                const GeoPoint end =
                    c.exit == "bW" ? Middle(world->Node('b'), world->Node('a')) : world->Node('2');
                const double k = std::cos(end.y * junctionview::kPi / 180.0);
                const double want = std::atan2(end.y - cc.y, (end.x - cc.x) * k);
                const double got = std::atan2(exit.y2 - exit.y1, exit.x2 - exit.x1);
                EXPECT_NEAR(std::remainder(got - want, 2 * junctionview::kPi), 0.0, 1e-3);
                // The extra spoke points north, the entry-only arm.
                const JunctionSegment north = model.ExtraSegments()[0];
                EXPECT_NEAR(std::atan2(north.y2 - north.y1, north.x2 - north.x1),
                            junctionview::kPi / 2, 2e-2);
                // Where the approach comes from.
                const JunctionSegment a = model.ApproachSegment();
                GeoPoint from;
                if (c.approachFrom == "start") {
                    from = {world->records[0].x, world->records[0].y};
                } else if (c.approachFrom == "ba") {
                    from = Middle(world->Node('b'), world->Node('a'));
                } else {
                    from = world->Node(c.approachFrom[0]);
                }
                EXPECT_TRUE(Joins(a, from, cc));
            }
        }
    }
}

// A ring of four one-way elements around (1, 1) through its points at kRingD (27 m) south, east,
// north and west of it, and the arms given.
constexpr float kRingD = 1.0f / 4096.0f;

GeoPoint RingAt(float dx, float dy) {
    return {1.0f + dx * kRingD, 1.0f + dy * kRingD};
}

std::vector<JunctionMapElement> ScriptedRing(std::vector<JunctionMapElement> arms,
                                             std::size_t leaveOut = 99) {
    const std::uint32_t ringWord = maprecord::kRing | 1u << maprecord::kDirectionShift;
    const GeoPoint p[] = {RingAt(0, -1), RingAt(1, 0), RingAt(0, 1), RingAt(-1, 0)};
    std::vector<JunctionMapElement> elements;
    for (std::uint32_t i = 0; i < 4; ++i) {
        if (i != leaveOut) {
            elements.push_back({100 + i, {p[i], p[(i + 1) % 4]}, ringWord, 1070});
        }
    }
    elements.insert(elements.end(), arms.begin(), arms.end());
    return elements;
}

JunctionMapElement ScriptedArm(std::uint32_t id, std::vector<GeoPoint> points,
                               std::uint32_t direction, std::int32_t type = 1070) {
    return {id, std::move(points), direction << maprecord::kDirectionShift, type};
}

RouteRecord BuildRecord(std::uint32_t id, std::vector<GeoPoint> polyline, std::uint32_t flags = 0) {
    const GeoPoint at = polyline.empty() ? GeoPoint{} : polyline.front();
    RouteRecord record = ScriptedRecord(at, id, std::move(polyline));
    record.elementAttributes = flags;
    return record;
}

TEST(JunctionBuildRoundabout, BuildsFromTheScriptedMapWhatTheRouteServiceCannotMake) {
    const std::uint32_t ring = maprecord::kRing;
    // From the south arm 1 into the ring at (1, 0), out at (1, 2) north over arm 3.
    const std::vector<RouteRecord> records = {BuildRecord(1, {RingAt(0, -2), RingAt(0, -1)}),
                                              BuildRecord(100, {RingAt(0, -1), RingAt(1, 0)}, ring),
                                              BuildRecord(101, {RingAt(1, 0), RingAt(0, 1)}, ring),
                                              BuildRecord(3, {RingAt(0, 1), RingAt(0, 2)})};
    const JunctionMapElement south = ScriptedArm(1, {RingAt(0, -2), RingAt(0, -1)}, 2);
    const JunctionMapElement north = ScriptedArm(3, {RingAt(0, 1), RingAt(0, 2)}, 2);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* name;
        std::vector<JunctionMapElement> map;
        bool built;
        bool isRoundabout;
        std::size_t route, side, extra;
        std::u16string debug;
    } cases[] = {
        {"closed ring", ScriptedRing({south, north}), true, true, 1, 1, 0, u""},
        {"open ring", ScriptedRing({south, north}, 3), true, true, 1, 1, 0, u""},
        {"a railway is no arm",
         ScriptedRing({south, north, ScriptedArm(7, {RingAt(1, 0), RingAt(2, 0)}, 2, 1100)}), true,
         true, 1, 1, 0, u""},
        {"a road off the ring is no arm",
         ScriptedRing({south, north, ScriptedArm(8, {RingAt(1.5f, 0.5f), RingAt(2, 0)}, 2)}), true,
         true, 1, 1, 0, u""},
        {"a two-way pair: one spoke beside the route",
         ScriptedRing({south, north, ScriptedArm(5, {RingAt(2, 0.5f), RingAt(1, 0)}, 2),
                       ScriptedArm(6, {RingAt(2, 0.5f), RingAt(-1, 0)}, 2)}),
         true, true, 1, 2, 0, u""},
        {"the ring's start element missing", ScriptedRing({south, north}, 0), false, false, 0, 0, 0,
         u"element 100 "},
        {"a ring point that is no position",
         [&] {
             auto map = ScriptedRing({south, north});
             map[2].points[1].x = nan;
             return map;
         }(),
         false, false, 0, 0, 0, u"element 102 "},
        {"an arm point that is no position",
         ScriptedRing({south, north, ScriptedArm(9, {RingAt(1, 0), {3e38f, 1}}, 2)}), false, false,
         0, 0, 0, u"element 9 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto route = ScriptedRoute::WithJunctions(records, {});
        CrossingModel model(route, std::make_shared<ScriptedJunctionMap>(c.map));
        model.SetRouteCursor(route);
        platform::DebugOutputCapture debug;
        EXPECT_EQ(model.BuildComputedJunction(300.0), c.built);
        EXPECT_EQ(model.IsRoundabout(), c.isRoundabout);
        EXPECT_EQ(model.RouteSegments().size(), c.route);
        EXPECT_EQ(model.SideSegments().size(), c.side);
        EXPECT_EQ(model.ExtraSegments().size(), c.extra);
        if (c.debug.empty()) {
            EXPECT_TRUE(debug.Texts().empty());
        } else {
            EXPECT_TRUE(debug.Contains(c.debug));
            EXPECT_EQ(debug.Texts().size(), 1u);
        }
        if (c.isRoundabout) {
            // The exit north: a spoke due north of the centre (1, 1).
            EXPECT_EQ(model.JunctionCentre(), (GeoPoint{1, 1}));
            const JunctionSegment exit = model.ExitSpoke();
            EXPECT_EQ(exit.x2, 1.0f);
            EXPECT_NEAR(exit.y2, 1.0f + 0.0011111111f, 1e-7);
            // The entry arm is two-way: beside the route, the approach from the route's start.
            EXPECT_TRUE(Joins(model.ApproachSegment(), RingAt(0, -2), {1, 1}));
        }
    }
}

TEST(JunctionBuildOrdinary, WalksTheRouteWithinTheRadiusOnly) {
    // A straight route north through junctions every 0.001 degree (111 m).
    const auto step = [](std::uint32_t id, float from, float to) {
        return BuildRecord(id, {{0, from}, {0, to}});
    };
    const auto street = [](std::uint32_t id, float y) {
        ScriptedStreet s;
        s.link.elementId = id;
        s.link.position = {0, y};
        s.polyline = {{0, y}, {0.001f, y}};
        return s;
    };
    const std::vector<RouteRecord> records = {step(1, 0, 0.001f), step(2, 0.001f, 0.002f),
                                              step(3, 0.002f, 0.003f), step(4, 0.003f, 0.004f),
                                              step(5, 0.004f, 0.005f)};
    ScriptedRoute::Junctions junctions;
    for (std::uint32_t i = 1; i < 5; ++i) {
        junctions[i].allowed = {street(10 + i, 0.001f * static_cast<float>(i))};
        junctions[i].forbidden = {street(20 + i, 0.001f * static_cast<float>(i))};
    }
    const struct {
        const char* name;
        std::size_t cursor;
        double radius;
        std::vector<std::uint32_t> route, side, extra;
    } cases[] = {
        // Centre at 0.002 (the start of 3). 150 m: 2 whole, 1 with one end inside, then out.
        {"one end inside ends the walks", 1, 150.0, {1, 2, 3, 4}, {11, 12, 13}, {21, 22, 23}},
        {"all inside", 1, 400.0, {1, 2, 3, 4, 5}, {11, 12, 13, 14}, {21, 22, 23, 24}},
        // 50 m: the step after the junction still has its first point inside.
        {"small", 1, 50.0, {2, 3}, {12}, {22}},
        {"no radius: nothing is inside", 1, 0.0, {2}, {}, {}},
        {"at the start", 0, 150.0, {1, 2, 3}, {11, 12}, {21, 22}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto route = ScriptedRoute::WithJunctions(records, junctions);
        CrossingModel model(route, std::make_shared<ScriptedJunctionMap>());
        RouteIteratorPtr cursor = route->Clone();
        for (std::size_t i = 0; i < c.cursor; ++i) {
            (void)cursor->Next();
        }
        model.SetRouteCursor(cursor);
        ASSERT_TRUE(model.BuildComputedJunction(c.radius));
        std::vector<std::uint32_t> route_, side, extra;
        for (const auto& s : model.RouteSegments()) {
            route_.push_back(s.streetId);
        }
        for (const auto& s : model.SideSegments()) {
            side.push_back(s.streetId);
        }
        for (const auto& s : model.ExtraSegments()) {
            extra.push_back(s.streetId);
        }
        EXPECT_EQ(route_, c.route);
        EXPECT_EQ(side, c.side);
        EXPECT_EQ(extra, c.extra);
    }
}

TEST(JunctionBuildOrdinary, EndsWithoutAModelOnUnusableGeometry) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* name;
        std::vector<RouteRecord> records;
        bool built;
        std::u16string debug;
        std::size_t route;
    } cases[] = {
        {"no geometry after the junction",
         {BuildRecord(1, {{0, 0}, {0, 1}}), BuildRecord(2, {})},
         false,
         u"element 2 ",
         0},
        {"a point after the junction that is no position",
         {BuildRecord(1, {{0, 0}, {0, 1}}), BuildRecord(2, {{0, 1}, {nan, 2}})},
         false,
         u"element 2 ",
         0},
        {"no geometry of the junction step",
         {BuildRecord(1, {}), BuildRecord(2, {{0, 1}, {0, 2}})},
         false,
         u"element 1 ",
         0},
        {"a walk step without geometry ends the walk",
         {BuildRecord(1, {{0, 0}, {0, 0.0001f}}), BuildRecord(2, {{0, 0.0001f}, {0, 0.0002f}}),
          BuildRecord(3, {}), BuildRecord(4, {{0, 0.0003f}, {0, 0.0004f}})},
         true,
         u"",
         2},
        {"a huge point in the walk",
         {BuildRecord(1, {{0, 0}, {0, 0.0001f}}), BuildRecord(2, {{0, 0.0001f}, {0, 0.0002f}}),
          BuildRecord(3, {{0, 0.0002f}, {3e38f, 0.0003f}})},
         false,
         u"element 3 ",
         0},
        {"the junction is the last step", {BuildRecord(1, {{0, 0}, {0, 1}})}, false, u"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto route = ScriptedRoute::WithJunctions(c.records, {});
        CrossingModel model(route, std::make_shared<ScriptedJunctionMap>());
        model.SetRouteCursor(route);
        platform::DebugOutputCapture debug;
        EXPECT_EQ(model.BuildComputedJunction(300.0), c.built);
        EXPECT_EQ(model.RouteSegments().size(), c.route);
        if (c.debug.empty()) {
            EXPECT_TRUE(debug.Texts().empty());
        } else {
            EXPECT_EQ(debug.Texts().size(), 1u);
            EXPECT_TRUE(debug.Contains(c.debug));
        }
    }
}

} // namespace
