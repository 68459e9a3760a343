#include "utilities/usefulcode/segmentgeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace {

TEST(ArcSinDegrees, WholeDegreesBelowTheTableValue) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float s;
        int degrees;
    } cases[] = {
        {0.5f, 29}, // exactly sin 30: the degree below
        {1.0f, 89}, // never 90
        {0.0f, 0},   {-0.3f, 0},    {-inf, 0},  {nan, 0},    {0.02f, 1},
        {0.71f, 45}, {0.9999f, 89}, {2.0f, 89}, {1e30f, 89}, {inf, 89},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.s);
        EXPECT_EQ(ArcSinDegrees(c.s), c.degrees);
    }
}

TEST(ArcSinDegrees, HalfDegreesFallToTheWholeDegreeBelow) {
    for (int k = 0; k < 90; ++k) {
        SCOPED_TRACE(k);
        const double radians = (k + 0.5) * std::numbers::pi / 180.0;
        EXPECT_EQ(ArcSinDegrees(static_cast<float>(std::sin(radians))), k);
    }
}

// A search area of 2 x 1 degrees that stands for 2000 x 1000 metres: 1000 m per degree.
const RectF kArea(10.0f, 50.0f, 12.0f, 51.0f);

TEST(ScaledDistance, ScalesEachAxisByTheArea) {
    const struct {
        GeoPoint a;
        GeoPoint b;
        float fx;
        float metres;
    } cases[] = {
        {{10.0f, 50.0f}, {10.375f, 50.5f}, 2000.0f, 625.0f},
        {{10.375f, 50.5f}, {10.0f, 50.0f}, 2000.0f, 625.0f},
        {{11.0f, 50.5f}, {11.0f, 50.5f}, 2000.0f, 0.0f},
        {{10.0f, 50.0f}, {12.0f, 50.0f}, 200.0f, 200.0f}, // x counts 100 m per degree here
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScaledDistance(c.a, c.b, kArea, c.fx, 1000.0f), c.metres);
    }
}

TEST(ScaledDistance, AxisWithoutExtentContributesNothing) {
    const RectF flat(10.0f, 50.0f, 10.0f, 51.0f);
    EXPECT_EQ(ScaledDistance({10.0f, 50.0f}, {10.5f, 50.25f}, flat, 2000.0f, 1000.0f), 250.0f);
    const RectF empty;
    EXPECT_EQ(ScaledDistance({10.0f, 50.0f}, {10.5f, 50.25f}, empty, 0.0f, 0.0f), 0.0f);
    EXPECT_EQ(ScaledBearing({10.0f, 50.0f}, {10.5f, 50.25f}, empty, 0.0f, 0.0f), 0.0f);
}

TEST(ScaledBearing, QuadrantsFromTheSignsOfTheDifferences) {
    const GeoPoint from{11.0f, 50.5f};
    const struct {
        const char* what;
        float dx; // degrees; 1000 m per degree on both axes
        float dy;
        float bearing;
    } cases[] = {
        {"east", 0.1f, 0.0f, 90.0f},
        {"north (the table never reaches 90)", 0.0f, 0.1f, 1.0f},
        {"south", 0.0f, -0.1f, 179.0f},
        {"west", -0.1f, 0.0f, 270.0f},
        {"north-east", 0.25f, 0.25f, 46.0f}, // sin 45 hits the table: 44
        {"south-east", 0.25f, -0.25f, 134.0f},
        {"south-west", -0.25f, -0.25f, 226.0f},
        {"north-west", -0.25f, 0.25f, 314.0f},
        {"steep north-east", 0.1f, 0.3f, 19.0f}, // asin(0.9487) = 71.6
        {"same point", 0.0f, 0.0f, 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const GeoPoint to{from.x + c.dx, from.y + c.dy};
        EXPECT_EQ(ScaledBearing(from, to, kArea, 2000.0f, 1000.0f), c.bearing);
    }
}

TEST(ClosestPointOnSegment, ClampsToTheSegment) {
    const GeoPoint a{0.0f, 0.0f};
    const GeoPoint b{10.0f, 0.0f};
    const struct {
        GeoPoint p;
        GeoPoint closest;
    } cases[] = {
        {{4.0f, 3.0f}, {4.0f, 0.0f}}, {{-2.0f, 1.0f}, a},  {{0.0f, -5.0f}, a},
        {{10.0f, 2.0f}, b},           {{13.0f, -1.0f}, b},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClosestPointOnSegment(c.p, b, a), c.closest);
    }
    EXPECT_EQ(ClosestPointOnSegment({5.0f, 5.0f}, {2.0f, 3.0f}, {2.0f, 3.0f}),
              (GeoPoint{2.0f, 3.0f}));
    EXPECT_EQ(SquaredDistanceF({1.0f, 2.0f}, {4.0f, -2.0f}), 25.0f);
}

TEST(NearestSegmentIndex, LaterSegmentWinsTies) {
    const std::vector<GeoPoint> line = {{0.0f, 0.0f}, {10.0f, 0.0f}, {10.0f, 10.0f}, {0.0f, 10.0f}};
    const struct {
        GeoPoint p;
        std::size_t index;
    } cases[] = {
        {{5.0f, 1.0f}, 1},   {{10.0f, 0.0f}, 2}, // on the joint of segments 1 and 2
        {{11.0f, 5.0f}, 2},  {{5.0f, 9.0f}, 3},
        {{-5.0f, 0.0f}, 1},                     // as near to point 0 as to segment 1
        {{10.0f, 10.0f}, 3}, {{5.0f, 5.0f}, 3}, // equally far from three segments
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(NearestSegmentIndex(c.p, line), c.index);
    }
    EXPECT_EQ(NearestSegmentIndex({1.0f, 1.0f}, std::vector<GeoPoint>{}), 0u);
    EXPECT_EQ(NearestSegmentIndex({1.0f, 1.0f}, std::vector<GeoPoint>{{3.0f, 3.0f}}), 0u);
}

// A straight road along x with points every 100 units.
const std::vector<MapPoint> kRoad = {{0, 0}, {100, 0}, {200, 0}, {300, 0}, {400, 0}};

TEST(NearestMapSegmentIndex, ComparesTheProjectedEndPoints) {
    const struct {
        MapPoint p;
        std::size_t index;
    } cases[] = {
        {{-50, 0}, 1}, // behind the start: point 0 via segment 1
        {{195, 5}, 3}, // nearest point 2, reached by segment 2 and (tie) segment 3
        {{290, 5}, 4}, // nearest point 3, reached by segment 3 and (tie) segment 4
        {{210, 5}, 2}, // nearest point 2, which segment 3 does not reach
        {{500, 0}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(NearestMapSegmentIndex(c.p, kRoad), c.index);
    }
    EXPECT_EQ(NearestMapSegmentIndex({5, 5}, std::vector<MapPoint>{{1, 1}}), 0u);
}

TEST(NearestMapSegmentIndex, FarPointsDoNotWrapToNear) {
    // Point 1 lies 65536 units away: its 32-bit squared distance would wrap to 0 and make
    // segment 2 look nearest. Point 0, 1000 units away, is the nearest.
    const std::vector<MapPoint> line = {{1000, 0}, {65536, 0}, {70000, 0}};
    EXPECT_EQ(SquaredDistance({0, 0}, line[1]), 0);
    EXPECT_EQ(NearestMapSegmentIndex({0, 0}, line), 1u);
}

TEST(TrimPolylineAtPoint, StartsThePolylineAtThePoint) {
    const MapPoint p{195, 5};
    std::vector<MapPoint> longer = kRoad;
    TrimPolylineAtPoint(p, longer); // nearest segment 3: points 0 and 1 go, point 2 becomes p
    EXPECT_EQ(longer, (std::vector<MapPoint>{p, {300, 0}, {400, 0}}));

    std::vector<MapPoint> two = {{0, 0}, {100, 0}};
    TrimPolylineAtPoint({50, 50}, two);
    EXPECT_EQ(two, (std::vector<MapPoint>{{50, 50}, {100, 0}}));

    std::vector<MapPoint> behind = kRoad;
    TrimPolylineAtPoint({-50, 0}, behind); // index 1 erases nothing
    EXPECT_EQ(behind.size(), kRoad.size());
    EXPECT_EQ(behind.front(), (MapPoint{-50, 0}));

    std::vector<MapPoint> far = {{1000, 0}, {65536, 0}, {70000, 0}};
    TrimPolylineAtPoint({0, 0}, far);
    EXPECT_EQ(far, (std::vector<MapPoint>{{0, 0}, {65536, 0}, {70000, 0}}));
}

TEST(TrimPolylineAtPoint, LeavesShortPolylinesAlone) {
    std::vector<MapPoint> empty;
    TrimPolylineAtPoint({1, 2}, empty);
    EXPECT_TRUE(empty.empty());
    std::vector<MapPoint> single = {{7, 8}};
    TrimPolylineAtPoint({1, 2}, single);
    EXPECT_EQ(single, (std::vector<MapPoint>{{7, 8}}));
}

} // namespace
