#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "junctionview/model/crossingmodel.h"
#include "junctionview/tests/junctionworld.h"
#include "junctionview/tests/scriptedjunctionmap.h"
#include "routing/tests/scriptedroute.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using junctionworld::RouteWorld;

constexpr double kMappingPi = junctionview::kPi;

double DirectionOf(const JunctionSegment& s) {
    return std::atan2(static_cast<double>(s.y2) - s.y1, static_cast<double>(s.x2) - s.x1);
}

double AngleBetween(double a, double b) {
    return std::fabs(std::remainder(a - b, 2 * kMappingPi));
}

RouteRecord MappingRecord(std::uint32_t id, std::vector<GeoPoint> polyline,
                          std::uint32_t flags = 0) {
    const GeoPoint at = polyline.empty() ? GeoPoint{} : polyline.front();
    RouteRecord record = ScriptedRecord(at, id, std::move(polyline));
    record.elementAttributes = flags;
    return record;
}

// A route arriving at (1, 1) from `heading` radians (counter-clockwise from east) and going on
// straight, with a street leaving the junction to the left of the route.
std::shared_ptr<ScriptedRoute> HeadingRoute(double heading) {
    const auto at = [&](double metres, double turn) {
        const double d = metres / 108000.0;
        return GeoPoint{static_cast<float>(1.0 + d * std::cos(heading + turn)),
                        static_cast<float>(1.0 + d * std::sin(heading + turn))};
    };
    const GeoPoint j{1, 1};
    ScriptedStreet left;
    left.link.elementId = 9;
    left.link.position = j;
    left.polyline = {j, at(80, kMappingPi / 2)};
    ScriptedRoute::Junctions junctions;
    junctions[1].allowed = {left};
    return ScriptedRoute::WithJunctions(
        {MappingRecord(1, {at(-100, 0), j}), MappingRecord(2, {j, at(100, 0)})}, junctions);
}

TEST(JunctionOrient, TurnsTheApproachUpByTheHeadingsAngle) {
    const struct {
        const char* name;
        double heading;
        double theta; // the turn expected
    } cases[] = {
        {"north: unturned", kMappingPi / 2, 0.0},
        {"south: by pi", -kMappingPi / 2, kMappingPi},
        {"east: by pi/2", 0.0, kMappingPi / 2},
        {"west: by 3 pi/2", kMappingPi, 3 * kMappingPi / 2},
        {"north-east", kMappingPi / 4, kMappingPi / 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto route = HeadingRoute(c.heading);
        CrossingModel model(route, std::make_shared<ScriptedJunctionMap>());
        model.SetRouteCursor(route);
        ASSERT_TRUE(model.BuildComputedJunction(300.0));
        const std::vector<JunctionSegment> before = model.SideSegments();
        ASSERT_EQ(before.size(), 1u);
        model.OrientModel();
        const JunctionSegment& street = model.SideSegments()[0];
        const GeoPoint turned = RotateAboutCentre(before[0].x2, before[0].y2, c.theta, 1, 1, true);
        EXPECT_NEAR(street.x2, turned.x, 1e-6);
        EXPECT_NEAR(street.y2, turned.y, 1e-6);
        // The arriving segment points up, the street to the left of it points west.
        EXPECT_LT(AngleBetween(DirectionOf(model.RouteSegments()[0]), kMappingPi / 2), 1e-3);
        EXPECT_LT(AngleBetween(DirectionOf(street), kMappingPi), 1e-3);
        EXPECT_LT(AngleBetween(DirectionOf(model.ApproachSegment()), kMappingPi / 2), 1e-3);
    }
}

const MapPoint kMappingCentres[] = {testdata::kScenarioCentre, testdata::kNorthScenarioCentre};

TEST(JunctionOrient, TurnsEachRoutedEntryUpAtBothLatitudes) {
    const struct {
        const char* name;
        testdata::JunctionScenario scenario;
        std::string cursorOn;
        std::string entrySpoke; // the entry arm's link when its spoke is on the route
    } cases[] = {
        {"T", testdata::TJunctionScenario(), "SJ", ""},
        {"cross", testdata::CrossingScenario(1070, 1070, 1070, 1070), "SJ", ""},
        {"ring, following step in it", testdata::ArmedRoundaboutScenario("S123bWV"), "S1", ""},
        {"ring, junction in it", testdata::ArmedRoundaboutScenario("S123bWV"), "23", "S1"},
        {"ring, looked past", testdata::ArmedRoundaboutScenario("VWa12E"), "VW", "Wa"},
    };
    for (const MapPoint centre : kMappingCentres) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << " at " << centre.y);
            const auto world = RouteWorld(testdata::ScenarioAt(c.scenario, centre));
            ASSERT_TRUE(world);
            CrossingModel model(world->result.route, world->map);
            model.SetRouteCursor(world->At(world->IndexOf(c.cursorOn)));
            ASSERT_TRUE(model.BuildComputedJunction(300.0));
            model.OrientModel();
            if (!model.IsRoundabout()) {
                // The segment arriving at the junction.
                EXPECT_LT(AngleBetween(DirectionOf(model.RouteSegments()[0]), kMappingPi / 2),
                          1e-3);
                continue;
            }
            EXPECT_LT(AngleBetween(DirectionOf(model.ApproachSegment()), kMappingPi / 2), 1e-3);
            if (!c.entrySpoke.empty()) {
                // The entry spoke runs from the centre down to the entry arm.
                const auto& route = model.RouteSegments();
                ASSERT_EQ(route.size(), 2u);
                const JunctionSegment& entry = route[0] == model.ExitSpoke() ? route[1] : route[0];
                EXPECT_LT(AngleBetween(DirectionOf(entry), -kMappingPi / 2), 1e-3);
            }
        }
    }
}

TEST(JunctionMapToRect, CentresTheJunctionAndKeepsTheProportions) {
    const auto route = HeadingRoute(kMappingPi / 2);
    const struct {
        const char* name;
        JunctionRect rect;
        std::int32_t width, height; // of the target rectangle
    } cases[] = {
        {"square", {0, 0, 200, 200}, 200, 200},
        {"tall: full width", {10, 20, 110, 320}, 100, 100},
        {"wide: full height", {0, 0, 300, 100}, 100, 100},
        {"odd", {-7, 3, 94, 55}, 52, 52},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CrossingModel model(route, std::make_shared<ScriptedJunctionMap>());
        model.SetRouteCursor(route);
        ASSERT_TRUE(model.BuildComputedJunction(300.0));
        model.OrientModel();
        model.MapModelToRect(c.rect);
        const JunctionRect target = model.TargetRect();
        EXPECT_EQ(target.right - target.left, c.width);
        EXPECT_EQ(target.bottom - target.top, c.height);
        // The rectangle's centre in whole device units.
        const std::int32_t centreX = (c.rect.left + c.rect.right) / 2;
        const std::int32_t centreY = (c.rect.top + c.rect.bottom) / 2;
        const auto cx = static_cast<float>(centreX);
        const auto cy = static_cast<float>(centreY);
        const auto& screen = model.ScreenRouteSegments();
        ASSERT_EQ(screen.size(), 2u);
        // The junction: where the arriving segment ends.
        EXPECT_NEAR(screen[0].x2, cx, 1.0);
        EXPECT_NEAR(screen[0].y2, cy, 1.0);
        // Unbroken, arriving from below, 100 m of 300 m radius: a sixth of the height.
        EXPECT_EQ(screen[1].x1, screen[0].x2);
        EXPECT_EQ(screen[1].y1, screen[0].y2);
        EXPECT_NEAR(screen[0].y1 - screen[0].y2, c.height / 6.0, 1.0);
        EXPECT_NEAR(screen[0].x1, screen[0].x2, 1e-3);
        // The side street leaves to the left.
        ASSERT_EQ(model.ScreenSideSegments().size(), 1u);
        EXPECT_LT(model.ScreenSideSegments()[0].x2, cx - c.width / 10.0);
        // No arrow for an ordinary junction.
        EXPECT_EQ(model.ArrowSegment(), junctionview::UnsetSegment());
    }
}

TEST(JunctionMapToRect, KeepsTheRouteLineUnbrokenOverManySteps) {
    // A route that zigzags: the device line is one polyline.
    std::vector<RouteRecord> records;
    for (std::uint32_t i = 0; i < 8; ++i) {
        const float y = 0.0003f * static_cast<float>(i);
        records.push_back(MappingRecord(i + 1, {{(i % 2) * 0.0002f, y},
                                                {0.0001f, y + 0.00015f},
                                                {((i + 1) % 2) * 0.0002f, y + 0.0003f}}));
    }
    const auto route = ScriptedRoute::WithJunctions(records, {});
    CrossingModel model(route, std::make_shared<ScriptedJunctionMap>());
    RouteIteratorPtr cursor = route->Clone();
    for (int i = 0; i < 4; ++i) {
        (void)cursor->Next();
    }
    model.SetRouteCursor(cursor);
    ASSERT_TRUE(model.BuildComputedJunction(400.0));
    model.OrientModel();
    model.MapModelToRect({0, 0, 240, 180});
    const auto& screen = model.ScreenRouteSegments();
    ASSERT_EQ(screen.size(), 16u);
    for (std::size_t i = 1; i < screen.size(); ++i) {
        EXPECT_EQ(screen[i].x1, screen[i - 1].x2) << i;
        EXPECT_EQ(screen[i].y1, screen[i - 1].y2) << i;
    }
}

TEST(JunctionMapToRect, CoversTheNextManoeuvreWithMarginsForASecondJunction) {
    const auto route = HeadingRoute(kMappingPi / 2);
    CrossingModel model(route, std::make_shared<ScriptedJunctionMap>());
    model.SetRouteCursor(route);
    ASSERT_TRUE(model.BuildComputedJunction(300.0));
    model.OrientModel();
    model.SetSecondJunction(true, 200);
    model.SetRadiusFactor(0.5);
    model.MapModelToRect({0, 0, 200, 200});
    const JunctionRect target = model.TargetRect();
    // Margins of a quarter of the side on each side.
    EXPECT_EQ(target.right - target.left, 100);
    EXPECT_EQ(target.bottom - target.top, 100);
    // 400 m across 100 units: the 100 m before the junction are 25 units.
    const auto& screen = model.ScreenRouteSegments();
    EXPECT_NEAR(screen[0].y1 - screen[0].y2, 25.0, 1.0);
    EXPECT_NEAR(screen[0].x2, 100.0, 1.0);
    EXPECT_NEAR(screen[0].y2, 100.0, 1.0);
}

TEST(JunctionMapToRect, KeepsAnAspectBoxOfAVeryFlatModel) {
    // Near 999 degrees east a float cannot tell the extent's sides apart: width 0, height not.
    const auto route =
        ScriptedRoute::WithJunctions({MappingRecord(1, {{999.0f, 0.0f}, {999.0f, 0.00001f}}),
                                      MappingRecord(2, {{999.0f, 0.00001f}, {999.0f, 0.00002f}})},
                                     {});
    CrossingModel model(route, std::make_shared<ScriptedJunctionMap>());
    model.SetRouteCursor(route);
    ASSERT_TRUE(model.BuildComputedJunction(0.5));
    ASSERT_EQ(model.ModelExtent()[0], model.ModelExtent()[2]);
    ASSERT_NE(model.ModelExtent()[1], model.ModelExtent()[3]);
    model.OrientModel();
    model.MapModelToRect({0, 0, 300, 200});
    const JunctionRect target = model.TargetRect();
    EXPECT_EQ(target.right - target.left, 300);
    EXPECT_EQ(target.bottom - target.top, 3);
    for (const JunctionSegment& s : model.ScreenRouteSegments()) {
        EXPECT_TRUE(std::isfinite(s.x1) && std::isfinite(s.y1) && std::isfinite(s.x2) &&
                    std::isfinite(s.y2));
    }
}

TEST(JunctionMapToRect, PointsTheArrowAtTheRoundaboutsExit) {
    // A ring around (1, 1) entered from the east arm; the route leaves over the north arm (an
    // arm of the ring) or, when that is left out of the map, over a street the map does not
    // know, whose end stands in for the exit.
    const float d = 1.0f / 4096.0f;
    const auto p = [&](float x, float y) { return GeoPoint{1.0f + x * d, 1.0f + y * d}; };
    const std::uint32_t ringWord = maprecord::kRing | 1u << maprecord::kDirectionShift;
    const std::uint32_t both = 2u << maprecord::kDirectionShift;
    std::vector<JunctionMapElement> map = {{100, {p(1, 0), p(0, 1)}, ringWord, 1070},
                                           {101, {p(0, 1), p(-1, 0)}, ringWord, 1070},
                                           {102, {p(-1, 0), p(0, -1)}, ringWord, 1070},
                                           {103, {p(0, -1), p(1, 0)}, ringWord, 1070},
                                           {1, {p(2, 0), p(1, 0)}, both, 1070}};
    const std::vector<RouteRecord> records = {
        MappingRecord(1, {p(2, 0), p(1, 0)}),
        MappingRecord(100, {p(1, 0), p(0, 1)}, maprecord::kRing),
        MappingRecord(3, {p(0, 1), p(0, 3)})};
    for (const bool isArm : {true, false}) {
        SCOPED_TRACE(isArm ? "exit arm" : "stand-in exit");
        auto withExit = map;
        if (isArm) {
            withExit.push_back({3, {p(0, 1), p(0, 3)}, both, 1070});
        }
        const auto route = ScriptedRoute::WithJunctions(records, {});
        CrossingModel model(route, std::make_shared<ScriptedJunctionMap>(withExit));
        model.SetRouteCursor(route);
        ASSERT_TRUE(model.BuildComputedJunction(300.0));
        ASSERT_TRUE(model.IsRoundabout());
        EXPECT_EQ(junctionview::IsFirstPointSet(model.ExitSpoke()), isArm);
        ASSERT_TRUE(junctionview::IsSecondPointSet(model.ExitSpoke()));
        const JunctionSegment exit = model.ExitSpoke();
        model.OrientModel();
        // Arriving from the east: turned by 3 pi / 2, the north exit now points east.
        const GeoPoint turned =
            RotateAboutCentre(exit.x2, exit.y2, 3 * kMappingPi / 2, 1, 1, false);
        EXPECT_NEAR(model.ExitSpoke().x2, turned.x, 1e-6);
        EXPECT_NEAR(model.ExitSpoke().y2, turned.y, 1e-6);
        EXPECT_GT(model.ExitSpoke().x2, 1.0f);
        model.MapModelToRect({0, 0, 300, 200});
        const JunctionSegment arrow = model.ArrowSegment();
        EXPECT_EQ(junctionview::IsFirstPointSet(arrow), isArm);
        ASSERT_TRUE(junctionview::IsSecondPointSet(arrow));
        // Right of the centre, at its height.
        EXPECT_GT(arrow.x2, 150.0f + 20.0f);
        EXPECT_NEAR(arrow.y2, 100.0f, 1.0f);
        if (isArm) {
            EXPECT_NEAR(arrow.x1, 150.0f, 1.0f);
            EXPECT_NEAR(arrow.y1, 100.0f, 1.0f);
        }
        EXPECT_EQ(model.TargetRect().bottom - model.TargetRect().top, 200);
        EXPECT_EQ(model.TargetRect().right - model.TargetRect().left, 200);

        // A rebuild starts with the arrow, the exit spoke and the approach unset.
        const auto line = HeadingRoute(kMappingPi / 2);
        model.SetRouteCursor(nullptr);
        EXPECT_FALSE(model.BuildComputedJunction(300.0));
        EXPECT_EQ(model.ArrowSegment(), junctionview::UnsetSegment());
        EXPECT_EQ(model.ExitSpoke(), junctionview::UnsetSegment());
        EXPECT_EQ(model.ApproachSegment(), junctionview::UnsetSegment());
    }
}

} // namespace
