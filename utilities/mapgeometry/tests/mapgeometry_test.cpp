#include "utilities/mapgeometry/mapgeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(DegreesToMapUnits, TruncatesTowardZeroAndSaturates) {
    const struct {
        float degrees;
        std::int32_t units;
    } cases[] = {
        {1.0f, 745654},
        {-1.0f, -745654},
        {12.345678f, 9205604},
        {-12.345678f, -9205604},
        {0.000001f, 0},
        {-0.000001f, 0},
        {180.0f, 134217728},
        {-180.0f, -134217728},
        {360.0f, 268435456},
        {2880.0f, kMax},
        {-2881.0f, kMin},
        {1e30f, kMax},
        {-std::numeric_limits<float>::infinity(), kMin},
        {std::nanf(""), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.degrees);
        const MapRect rect = DegreesToMapUnits(GeoRect(c.degrees, 0.5f, -c.degrees, -0.5f));
        EXPECT_EQ(rect.x1, c.units);
        EXPECT_EQ(rect.y1, 372827);
        EXPECT_EQ(rect.y2, -372827);
        EXPECT_EQ(DegreesToMapPoint({c.degrees, 0.0f}).x, c.units);
    }
}

TEST(DegreesToMapUnits, KeepsCoordinateOrder) {
    const MapRect rect = DegreesToMapUnits(GeoRect(1.0f, 2.0f, 3.0f, 4.0f));
    EXPECT_EQ(rect, (MapRect{745654, 1491308, 2236962, 2982616}));
}

TEST(MapUnitsToDegrees, ScalesAndRoundsToFloat) {
    EXPECT_EQ(MapPointToDegrees({134217728, -268435456}), (GeoPoint{180.0f, -360.0f}));
    // 745654 units lie just below one degree and stay below it as a float.
    const GeoRect rect = MapUnitsToDegrees({745654, 0, -745654, 1});
    EXPECT_EQ(rect.minX, 0.99999994f);
    EXPECT_EQ(rect.maxX, -0.99999994f);
    EXPECT_EQ(rect.minY, 0.0f);
    EXPECT_FLOAT_EQ(rect.maxY, 1.341104507446289e-6f);
}

TEST(GeoRect, UnionExtendInflateAndCenter) {
    GeoRect rect(-2.0f, 1.0f, 4.0f, 3.0f);
    const GeoRect unchanged = rect;
    rect.Extend({0.0f, 2.0f});
    EXPECT_EQ(rect, unchanged);
    rect.Extend({-5.0f, 7.0f});
    EXPECT_EQ(rect, GeoRect(-5.0f, 1.0f, 4.0f, 7.0f));

    GeoRect other(-1.0f, -6.0f, 9.0f, 2.0f);
    EXPECT_EQ(&rect.Union(other), &rect);
    EXPECT_EQ(rect, GeoRect(-5.0f, -6.0f, 9.0f, 7.0f));

    rect.Inflate(1.0f, 0.5f);
    EXPECT_EQ(rect, GeoRect(-6.0f, -6.5f, 10.0f, 7.5f));
    EXPECT_EQ(rect.GetCenter(), (GeoPoint{2.0f, 0.5f}));
    EXPECT_EQ((GeoPoint{1.5f, -2.0f} - GeoPoint{0.5f, 3.0f}), (GeoPoint{1.0f, -5.0f}));
}

TEST(GeoRect, UnionIntoEmptyAccumulator) {
    // Callers start from an inverted rectangle so that the first union takes the other one whole.
    const float big = std::numeric_limits<float>::max();
    GeoRect accumulator(big, big, -big, -big);
    accumulator.Union(GeoRect(-3.0f, 5.0f, -1.0f, 6.0f));
    EXPECT_EQ(accumulator, GeoRect(-3.0f, 5.0f, -1.0f, 6.0f));
}

// Rectangles as (x1, y1, x2, y2) in whole units, used both as map units and as float degrees.
struct RectPair {
    const char* what;
    MapRect a;
    MapRect b;
    bool intersects; // shares a point
    bool overlaps;   // shares an area
};

GeoRect AsFloat(const MapRect& r) {
    return GeoRect(static_cast<float>(r.x1), static_cast<float>(r.y1), static_cast<float>(r.x2),
                   static_cast<float>(r.y2));
}

TEST(RectangleTests, TouchingEdgesIntersectButDoNotOverlap) {
    const RectPair cases[] = {
        {"inside", {0, 0, 10, 10}, {2, 2, 4, 4}, true, true},
        {"crossing", {0, 0, 10, 10}, {5, -5, 15, 5}, true, true},
        {"same", {0, 0, 10, 10}, {0, 0, 10, 10}, true, true},
        {"touching right edge", {0, 0, 10, 10}, {10, 0, 20, 10}, true, false},
        {"touching left edge", {0, 0, 10, 10}, {-10, 0, 0, 10}, true, false},
        {"touching top edge", {0, 0, 10, 10}, {0, 10, 10, 20}, true, false},
        {"touching bottom edge", {0, 0, 10, 10}, {3, -4, 6, 0}, true, false},
        {"touching corner", {0, 0, 10, 10}, {10, 10, 12, 12}, true, false},
        {"apart in x", {0, 0, 10, 10}, {11, 0, 20, 10}, false, false},
        {"apart in y", {0, 0, 10, 10}, {0, -9, 10, -1}, false, false},
        {"given reversed", {10, 10, 0, 0}, {12, 8, 8, 12}, true, true},
        {"reversed and touching", {10, 10, 0, 0}, {20, 0, 10, 10}, true, false},
        // A zero-width extent covers its start only: lower edges inclusive, upper exclusive.
        {"line on lower edge", {0, 0, 10, 10}, {0, 2, 0, 8}, true, true},
        {"line on upper edge", {0, 0, 10, 10}, {10, 2, 10, 8}, true, false},
        {"horizontal line inside", {0, 0, 10, 10}, {2, 5, 8, 5}, true, true},
        {"point inside", {0, 0, 10, 10}, {5, 5, 5, 5}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(MapRect::Intersects(c.a, c.b), c.intersects);
        EXPECT_EQ(MapRect::Intersects(c.b, c.a), c.intersects);
        EXPECT_EQ(MapRect::Overlaps(c.a, c.b), c.overlaps);
        EXPECT_EQ(MapRect::Overlaps(c.b, c.a), c.overlaps);
        EXPECT_EQ(RectF::Intersects(AsFloat(c.a), AsFloat(c.b)), c.overlaps);
    }
}

TEST(MapRect, NormalizeOrdersEachAxis) {
    const struct {
        MapRect in;
        MapRect out;
    } cases[] = {
        {{1, 2, 3, 4}, {1, 2, 3, 4}},
        {{3, 2, 1, 4}, {1, 2, 3, 4}},
        {{1, 4, 3, 2}, {1, 2, 3, 4}},
        {{3, 4, 1, 2}, {1, 2, 3, 4}},
        {{kMax, 0, kMin, 0}, {kMin, 0, kMax, 0}},
    };
    for (const auto& c : cases) {
        MapRect rect = c.in;
        rect.Normalize();
        EXPECT_EQ(rect, c.out);
    }
    RectF floats(5.0f, -1.0f, -5.0f, -2.0f);
    floats.Normalize();
    EXPECT_EQ(floats, GeoRect(-5.0f, -2.0f, 5.0f, -1.0f));
}

TEST(MapRect, CenterHalvesTowardZero) {
    const struct {
        MapRect rect;
        MapPoint center;
    } cases[] = {
        {{0, 0, 10, 20}, {5, 10}},          {{0, 0, 3, 5}, {1, 2}},
        {{-3, -5, 0, 0}, {-1, -2}}, // floor division would give (-2, -3)
        {{-7, 1, 2, 2}, {-2, 1}},           {{kMax, kMin, kMax, kMin}, {kMax, kMin}},
        {{kMin, kMin, kMax, kMax}, {0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.rect.GetCenter(), c.center);
    }
}

TEST(MapRect, ExtendAndInequality) {
    MapRect rect{0, 0, 10, 10};
    rect.Extend({5, 5});
    EXPECT_FALSE(rect != (MapRect{0, 0, 10, 10}));
    rect.Extend({-3, 12});
    EXPECT_EQ(rect, (MapRect{-3, 0, 10, 12}));

    const MapRect base{1, 2, 3, 4};
    EXPECT_TRUE(base != (MapRect{0, 2, 3, 4}));
    EXPECT_TRUE(base != (MapRect{1, 0, 3, 4}));
    EXPECT_TRUE(base != (MapRect{1, 2, 0, 4}));
    EXPECT_TRUE(base != (MapRect{1, 2, 3, 0}));
}

TEST(SquaredDistance, Wraps32Bit) {
    const struct {
        MapPoint a;
        MapPoint b;
        std::int32_t squared;
    } cases[] = {
        {{3, 4}, {0, 0}, 25},
        {{-3, 10}, {0, 14}, 25},
        {{46340, 0}, {0, 0}, 2147395600},
        {{46341, 0}, {0, 0}, -2147479015}, // 2147488281 - 2^32
        {{0, 65536}, {0, 0}, 0},           // exactly 2^32
        {{kMax, 0}, {kMin, 0}, 1},         // the difference itself wraps to -1
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SquaredDistance(c.a, c.b), c.squared);
        EXPECT_EQ(SquaredDistance(c.b, c.a), c.squared);
    }
}

TEST(ProjectOntoSegment, ClampsToStartOrEnd) {
    const MapPoint start{0, 0};
    const MapPoint end{10, 0};
    const struct {
        MapPoint p;
        MapPoint result;
    } cases[] = {
        {{-5, 3}, start},                  // behind the start
        {{0, 0}, start},  {{5, 7}, start}, // the middle still truncates to t = 0
        {{9, 0}, start},  {{10, -4}, end}, // exactly at the end: t = 1
        {{25, 1}, end},                    // beyond the end
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProjectOntoSegment(c.p, end, start), c.result);
    }
}

TEST(ProjectOntoSegment, ZeroLengthSegmentGivesStart) {
    EXPECT_EQ(ProjectOntoSegment({7, 7}, {3, 4}, {3, 4}), (MapPoint{3, 4}));
    EXPECT_EQ(ProjectOntoSegment({kMax, kMin}, {3, 4}, {3, 4}), (MapPoint{3, 4}));
}

TEST(ProjectOntoSegment, ExactForExtremeCoordinates) {
    const MapPoint start{kMin, kMin};
    const MapPoint end{kMax, kMax};
    EXPECT_EQ(ProjectOntoSegment({kMax, kMax}, end, start), end);
    EXPECT_EQ(ProjectOntoSegment({kMax, kMax - 1}, end, start), start);
    EXPECT_EQ(ProjectOntoSegment({kMin, kMax}, end, start), start);
}

TEST(AngleUnit, ConvertsToRadiansByUnit) {
    EXPECT_EQ(AngleUnit.load(), kAngleUnitDegrees);
    EXPECT_EQ(ToRadians(kAngleUnitDegrees, 180.0), 3.141592654); // the constant's product
    EXPECT_EQ(ToRadians(kAngleUnitRadians, 1.25), 1.25);
    EXPECT_EQ(ToRadians(kAngleUnitGrads, 200.0), 3.141592654);
    for (int unit : {-1, 3, 100}) {
        EXPECT_EQ(ToRadians(unit, 180.0), 0.0);
    }
}

} // namespace
