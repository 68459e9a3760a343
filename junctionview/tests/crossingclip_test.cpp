#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "junctionview/model/crossingmodel.h"
#include "junctionview/tests/scriptedjunctionmap.h"
#include "routing/tests/scriptedroute.h"

#include <gtest/gtest.h>

namespace {

using Segments = std::vector<JunctionSegment>;

TEST(JunctionClip, CutsSegmentsAtTheBorderAndDropsWhatLiesOutside) {
    const struct {
        const char* name;
        JunctionSegment in;
        Segments out;
    } cases[] = {
        {"inside", {1, 10, 10, 90, 90}, {{1, 10, 10, 90, 90}}},
        {"on the border", {1, 0, 0, 100, 100}, {{1, 0, 0, 100, 100}}},
        {"out on the right", {1, 10, 10, 200, 10}, {{1, 10, 10, 100, 10}}},
        {"reversed keeps its direction", {1, 200, 10, 10, 10}, {{1, 100, 10, 10, 10}}},
        {"out on the left", {2, 50, 50, -50, 0}, {{2, 50, 50, 0, 25}}},
        {"out at the top", {3, 50, 50, 70, -50}, {{3, 50, 50, 60, 0}}},
        {"out at the bottom", {3, 50, 50, 50, 150}, {{3, 50, 50, 50, 100}}},
        {"a corner: through the bottom", {4, 90, 90, 110, 120}, {{4, 90, 90, 96.666664f, 100}}},
        {"a corner: through the right", {4, 90, 90, 120, 110}, {{4, 90, 90, 100, 96.666664f}}},
        {"a corner: through the corner", {4, 90, 90, 110, 110}, {{4, 90, 90, 100, 100}}},
        {"across, both ends outside", {5, -10, 50, 110, 50}, {}},
        {"wholly outside", {5, 150, 150, 200, 200}, {}},
        {"cut to one point", {6, 100.5f, 50, 150, 50}, {}},
        {"a fraction beyond the border is inside",
         {7, 50, 50, 100.9f, 50},
         {{7, 50, 50, 100.9f, 50}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Segments list = {c.in};
        CrossingModel::ClipSegments(list, 0, 0, 100, 100);
        ASSERT_EQ(list.size(), c.out.size());
        if (!list.empty()) {
            EXPECT_EQ(list[0].streetId, c.out[0].streetId);
            EXPECT_NEAR(list[0].x1, c.out[0].x1, 1e-4);
            EXPECT_NEAR(list[0].y1, c.out[0].y1, 1e-4);
            EXPECT_NEAR(list[0].x2, c.out[0].x2, 1e-4);
            EXPECT_NEAR(list[0].y2, c.out[0].y2, 1e-4);
        }
    }
}

TEST(JunctionClip, KeepsTheOrderOfTheList) {
    Segments list = {{1, 10, 10, 20, 20}, {2, 150, 0, 160, 0}, {3, 20, 20, 120, 20}};
    CrossingModel::ClipSegments(list, 0, 0, 100, 100);
    const Segments expected = {{1, 10, 10, 20, 20}, {3, 20, 20, 100, 20}};
    EXPECT_EQ(list, expected);
}

TEST(JunctionTouches, CountsSharedEndsInEitherOrderButNotTheSegmentItself) {
    const JunctionSegment s{1, 0, 0, 10, 0};
    const struct {
        const char* name;
        Segments list;
        bool touches;
    } cases[] = {
        {"empty", {}, false},
        {"itself", {s}, false},
        {"itself under another id", {{9, 0, 0, 10, 0}}, false},
        {"reversed", {{2, 10, 0, 0, 0}}, true},
        {"at its end", {{2, 10, 0, 10, 10}}, true},
        {"at its start", {{2, -5, 0, 0, 0}}, true},
        {"crossing its middle", {{2, 5, -5, 5, 5}}, false},
        {"apart", {{2, 20, 0, 30, 0}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CrossingModel::TouchesList(s, c.list), c.touches);
    }
}

TEST(JunctionPrune, KeepsWhatHangsTogetherWithTheRoute) {
    // The route: (0,0) (10,0) (20,0); a lone route piece at (50,50).
    const Segments route = {{1, 0, 0, 10, 0}, {2, 10, 0, 20, 0}};
    const JunctionSegment lone{3, 50, 50, 60, 50};
    const struct {
        const char* name;
        Segments route, side, extra;
        Segments keptRoute, keptSide, keptExtra;
    } cases[] = {
        {"a detached route piece is dropped", {route[0], route[1], lone}, {}, {}, route, {}, {}},
        {"one route segment: kept, nothing attached",
         {route[0]},
         {{7, 10, 0, 10, 10}},
         {{8, 0, 0, 0, 5}},
         {route[0]},
         {},
         {}},
        {"no route", {}, {{7, 10, 0, 10, 10}}, {}, {}, {}, {}},
        {"a street grows piece by piece from the route",
         route,
         {{7, 10, 20, 10, 30}, {7, 10, 10, 10, 20}, {7, 10, 0, 10, 10}, {7, 40, 40, 40, 50}},
         {},
         route,
         {{7, 10, 0, 10, 10}, {7, 10, 10, 10, 20}, {7, 10, 20, 10, 30}},
         {}},
        {"a street touching only through a clipped piece is dropped",
         route,
         {{7, 10, 5, 10, 30}},
         {},
         route,
         {},
         {}},
        {"an extra street grows onto a side street, once it touches the route",
         route,
         {{7, 20, 0, 20, 10}},
         {{8, 20, 10, 30, 10}, {8, 0, 0, 0, -10}, {9, 20, 10, 20, 20}},
         route,
         {{7, 20, 0, 20, 10}},
         {{8, 20, 10, 30, 10}, {8, 0, 0, 0, -10}}},
        {"streets are taken from the last id found to the first",
         route,
         {{7, 0, 0, 0, 10}, {6, 20, 0, 20, 10}},
         {},
         route,
         {{6, 20, 0, 20, 10}, {7, 0, 0, 0, 10}},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Segments r = c.route;
        Segments s = c.side;
        Segments x = c.extra;
        CrossingModel::PruneDetached(r, s, x);
        EXPECT_EQ(r, c.keptRoute);
        EXPECT_EQ(s, c.keptSide);
        EXPECT_EQ(x, c.keptExtra);
    }
}

RouteRecord ClipRecord(std::uint32_t id, std::vector<GeoPoint> polyline, std::uint32_t flags = 0) {
    const GeoPoint at = polyline.empty() ? GeoPoint{} : polyline.front();
    RouteRecord record = ScriptedRecord(at, id, std::move(polyline));
    record.elementAttributes = flags;
    return record;
}

TEST(JunctionTrim, ClipsAnOrdinaryJunctionButNoRoundabout) {
    const float d = 1.0f / 4096.0f;
    const auto p = [&](float x, float y) { return GeoPoint{1.0f + x * d, 1.0f + y * d}; };
    const std::uint32_t ringWord = maprecord::kRing | 1u << maprecord::kDirectionShift;
    const std::uint32_t both = 2u << maprecord::kDirectionShift;
    const std::vector<JunctionMapElement> map = {
        {100, {p(0, -1), p(1, 0)}, ringWord, 1070}, {101, {p(1, 0), p(0, 1)}, ringWord, 1070},
        {102, {p(0, 1), p(-1, 0)}, ringWord, 1070}, {103, {p(-1, 0), p(0, -1)}, ringWord, 1070},
        {1, {p(0, -3), p(0, -1)}, both, 1070},      {3, {p(0, 1), p(0, 3)}, both, 1070}};
    for (const bool isRing : {false, true}) {
        SCOPED_TRACE(isRing ? "roundabout" : "ordinary");
        const std::vector<RouteRecord> records =
            isRing
                ? std::vector<RouteRecord>{ClipRecord(1, {p(0, -3), p(0, -1)}),
                                           ClipRecord(100, {p(0, -1), p(1, 0)}, maprecord::kRing),
                                           ClipRecord(101, {p(1, 0), p(0, 1)}, maprecord::kRing),
                                           ClipRecord(3, {p(0, 1), p(0, 3)})}
                : std::vector<RouteRecord>{ClipRecord(1, {p(0, -3), p(0, 0)}),
                                           ClipRecord(2, {p(0, 0), p(0, 3)})};
        const auto route = ScriptedRoute::WithJunctions(records, {});
        CrossingModel model(route, std::make_shared<ScriptedJunctionMap>(map));
        model.SetRouteCursor(route);
        ASSERT_TRUE(model.BuildComputedJunction(300.0));
        ASSERT_EQ(model.IsRoundabout(), isRing);
        model.OrientModel();
        model.MapModelToRect({0, 0, 200, 200});
        const Segments before = model.ScreenRouteSegments();
        // A frame of 20 around the centre.
        model.TrimToRect(90, 90, 110, 110);
        if (isRing) {
            EXPECT_EQ(model.ScreenRouteSegments(), before);
            continue;
        }
        ASSERT_EQ(model.ScreenRouteSegments().size(), 2u);
        for (const JunctionSegment& s : model.ScreenRouteSegments()) {
            EXPECT_GE(s.y1, 90.0f);
            EXPECT_LE(s.y1, 110.0f);
            EXPECT_GE(s.y2, 90.0f);
            EXPECT_LE(s.y2, 110.0f);
        }
    }
}

} // namespace
