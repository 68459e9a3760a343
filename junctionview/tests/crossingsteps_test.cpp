#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "junctionview/model/crossingmodel.h"
#include "junctionview/tests/scriptedjunctionmap.h"
#include "routing/tests/scriptedroute.h"

#include "platform/kernel/debug.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

RouteRecord StepsRecord(std::uint32_t id, std::vector<GeoPoint> polyline, std::uint32_t flags = 0) {
    RouteRecord record =
        ScriptedRecord(polyline.empty() ? GeoPoint{} : polyline.front(), id, std::move(polyline));
    record.elementAttributes = flags;
    return record;
}

ScriptedStreet StepsStreet(std::uint32_t id, std::vector<GeoPoint> polyline) {
    ScriptedStreet street;
    street.link.elementId = id;
    street.link.position = polyline.empty() ? GeoPoint{} : polyline.front();
    street.polyline = std::move(polyline);
    return street;
}

std::vector<std::uint32_t> IdsOf(const std::vector<JunctionSegment>& list) {
    std::vector<std::uint32_t> ids;
    ids.reserve(list.size());
    for (const JunctionSegment& s : list) {
        ids.push_back(s.streetId);
    }
    return ids;
}

// Three records: 1 (two segments), 2, 3; the streets at the crossing where record 1 begins.
std::shared_ptr<ScriptedRoute> StepsRoute(ScriptedJunction junction) {
    return ScriptedRoute::WithJunctions({StepsRecord(1, {{0, 0}, {0, 1}, {0, 2}}),
                                         StepsRecord(2, {{0, 2}, {0, 3}}),
                                         StepsRecord(3, {{0, 3}, {1, 3}})},
                                        {{1, std::move(junction)}});
}

TEST(JunctionStepRoads, AddsOwnSegmentsAndTheStreetsOfTheNextCrossing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* name;
        RouteRecord step;
        bool skipOwn;
        ScriptedJunction junction;
        std::vector<std::uint32_t> route, side, extra;
        std::size_t sideOf7; // segments of street 7 in the side list
    } cases[] = {
        {"own and both lists",
         StepsRecord(1, {{0, 0}, {0, 1}, {0, 2}}),
         false,
         {{StepsStreet(7, {{0, 2}, {1, 2}})}, {StepsStreet(8, {{0, 2}, {-1, 2}, {-2, 2}})}},
         {1, 1},
         {7},
         {8, 8},
         1},
        {"own skipped",
         StepsRecord(1, {{0, 0}, {0, 1}, {0, 2}}),
         true,
         {{StepsStreet(7, {{0, 2}, {1, 2}})}, {}},
         {},
         {7},
         {},
         1},
        {"link 0 adds nothing",
         StepsRecord(0, {{0, 0}, {0, 1}}),
         false,
         {{StepsStreet(7, {{0, 2}, {1, 2}})}, {}},
         {},
         {},
         {},
         0},
        {"no link adds nothing",
         StepsRecord(0xFFFFFFFF, {{0, 0}, {0, 1}}),
         false,
         {{StepsStreet(7, {{0, 2}, {1, 2}})}, {}},
         {},
         {},
         {},
         0},
        {"in both collections: extra only",
         StepsRecord(1, {{0, 0}, {0, 1}, {0, 2}}),
         true,
         {{StepsStreet(7, {{0, 2}, {1, 2}})}, {StepsStreet(7, {{0, 2}, {1, 2}})}},
         {},
         {},
         {7},
         0},
        {"twice in the first: once, the last geometry",
         StepsRecord(1, {{0, 0}, {0, 1}, {0, 2}}),
         true,
         {{StepsStreet(7, {{0, 2}, {1, 2}}), StepsStreet(7, {{0, 2.5f}, {1, 2}, {2, 2}})}, {}},
         {},
         {7, 7},
         {},
         2},
        {"one point: no segment",
         StepsRecord(1, {{0, 0}, {0, 1}, {0, 2}}),
         true,
         {{StepsStreet(7, {{0, 2}})}, {StepsStreet(8, {{0, 2}, {0, 2}})}},
         {},
         {},
         {},
         0},
        {"a street off the route's records: no polyline, no segment",
         StepsRecord(9, {{5, 5}, {6, 6}}),
         false,
         {{StepsStreet(7, {{0, 2}, {1, 2}})}, {}},
         {},
         {7},
         {},
         1},
        {"a street point that is no position ends it",
         StepsRecord(1, {{0, 0}, {0, 1}, {0, 2}}),
         false,
         {{StepsStreet(7, {{0, 2}, {nan, 2}})}, {StepsStreet(8, {{0, 2}, {1, 2}})}},
         {},
         {},
         {},
         0},
        {"a huge street point ends it",
         StepsRecord(1, {{0, 0}, {0, 1}, {0, 2}}),
         false,
         {{StepsStreet(7, {{0, 2}, {3e38f, 2}})}, {}},
         {},
         {},
         {},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto route = StepsRoute(c.junction);
        CrossingModel model(route, std::make_shared<ScriptedJunctionMap>());
        platform::DebugOutputCapture debug;
        model.AddStepRoads(route, c.step, c.skipOwn);
        EXPECT_EQ(IdsOf(model.RouteSegments()), c.route);
        EXPECT_EQ(IdsOf(model.SideSegments()), c.side);
        EXPECT_EQ(IdsOf(model.ExtraSegments()), c.extra);
        EXPECT_EQ(std::count(c.side.begin(), c.side.end(), 7u), c.sideOf7);
        const bool isRejected = std::string(c.name).find("ends it") != std::string::npos;
        EXPECT_EQ(debug.Contains(u"element 7 "), isRejected);
    }
}

TEST(JunctionStepRoads, KeepsThePointsOfOwnAndStreetSegmentsInOrder) {
    const auto route = StepsRoute({{StepsStreet(7, {{0, 2}, {1, 2}, {1, 2}, {2, 3}})}, {}});
    CrossingModel model(route, std::make_shared<ScriptedJunctionMap>());
    model.AddStepRoads(route, route->Current(), false);
    const std::vector<JunctionSegment> own = {{1, 0, 0, 0, 1}, {1, 0, 1, 0, 2}};
    const std::vector<JunctionSegment> side = {{7, 0, 2, 1, 2}, {7, 1, 2, 2, 3}};
    EXPECT_EQ(model.RouteSegments(), own);
    EXPECT_EQ(model.SideSegments(), side);
}

TEST(JunctionStepRoads, AddsNothingFromACursorThatIsNotValid) {
    const auto route = StepsRoute({{StepsStreet(7, {{0, 2}, {1, 2}})}, {}});
    CrossingModel model(route, std::make_shared<ScriptedJunctionMap>());
    const RouteIteratorPtr ended = route->Clone();
    while (ended->Next()) {
    }
    model.AddStepRoads(ended, route->Current(), false);
    model.AddStepRoads(nullptr, route->Current(), false);
    EXPECT_TRUE(model.RouteSegments().empty());
    EXPECT_TRUE(model.SideSegments().empty());
}

TEST(JunctionRouteSteps, FindsTheLastStepAndAStepsGeometryOrNothing) {
    const auto route = StepsRoute({});
    const auto empty = ScriptedRoute::WithJunctions({}, {});
    const struct {
        const char* name;
        RouteIteratorPtr route;
        std::uint32_t lookFor;
        std::uint32_t lastId;
        std::vector<GeoPoint> geometry;
    } cases[] = {
        {"on the route", route, 2, 3, {{0, 2}, {0, 3}}},
        {"the last", route, 3, 3, {{0, 3}, {1, 3}}},
        {"not on the route: ends", route, 42, 3, {}},
        {"link 0", route, 0, 3, {}},
        {"an empty route", empty, 1, 0, {}},
        {"no route", nullptr, 1, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CrossingModel model(c.route, std::make_shared<ScriptedJunctionMap>());
        EXPECT_EQ(model.GetLastRouteStep().linkId, c.lastId);
        RouteRecord step;
        step.linkId = c.lookFor;
        EXPECT_EQ(model.GetStepGeometry(step), c.geometry);
    }
}

TEST(JunctionRouteSteps, FindsTheFirstStepAfterTheRing) {
    const std::uint32_t ring = maprecord::kRing;
    const auto route = ScriptedRoute::WithJunctions(
        {StepsRecord(1, {{0, 0}, {0, 1}}), StepsRecord(2, {{0, 1}, {1, 1}}, ring),
         StepsRecord(3, {{1, 1}, {1, 2}}, ring), StepsRecord(4, {{1, 2}, {1, 3}}),
         StepsRecord(5, {{1, 3}, {2, 3}}, ring), StepsRecord(6, {{2, 3}, {2, 4}}, ring)},
        {});
    const struct {
        std::uint32_t from;
        std::uint32_t exit;
    } cases[] = {{1, 4}, {2, 4}, {3, 4}, {4, 6}, {5, 6}, {6, 6}, {42, 0}, {0, 0}};
    const CrossingModel model(route, std::make_shared<ScriptedJunctionMap>());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        RouteRecord step;
        step.linkId = c.from;
        EXPECT_EQ(model.FindRingExit(step).linkId, c.exit);
    }
}

TEST(JunctionArmDirection, ReadsTheTravelDirectionAtTheRingPoint) {
    const std::vector<GeoPoint> ring = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const auto word = [](std::uint32_t code) { return code << maprecord::kDirectionShift; };
    const struct {
        std::vector<GeoPoint> points;
        std::uint32_t attributes;
        std::int32_t direction;
    } cases[] = {
        {{{1, 0}, {2, 0}}, word(1), 0}, // starts at the ring, one-way along: out of it
        {{{1, 0}, {2, 0}}, word(3), 1}, // against: into it
        {{{1, 0}, {2, 0}}, word(2), 2}, // both ways
        {{{2, 0}, {1, 0}}, word(1), 1}, // ends at the ring, along: into it
        {{{2, 0}, {1, 0}}, word(3), 0},
        {{{2, 0}, {1, 1}}, word(2), 2},
        {{{2, 0}, {1, 0}}, word(0), -1}, // not driven
        {{{0, 1}, {0, 2}}, word(1), -1}, // the last ring point is not read
        {{{5, 5}, {6, 6}}, word(1), -1}, // does not touch
        {{}, word(1), -1},
    };
    const CrossingModel model(nullptr, std::make_shared<ScriptedJunctionMap>());
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        JunctionMapElement arm;
        arm.points = cases[i].points;
        arm.attributes = cases[i].attributes;
        EXPECT_EQ(model.ArmDirection(arm, ring), cases[i].direction);
    }
}

TEST(JunctionRouteElements, TellsTheDestinationStreetsElements) {
    const CrossingModel model(nullptr, std::make_shared<ScriptedJunctionMap>(), {4, 9, 12});
    EXPECT_TRUE(model.ContainsRouteElement(9));
    EXPECT_TRUE(model.ContainsRouteElement(12));
    EXPECT_FALSE(model.ContainsRouteElement(10));
    EXPECT_FALSE(model.ContainsRouteElement(0));
}

} // namespace
