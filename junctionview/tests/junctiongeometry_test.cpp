#include "junctionview/model/junctiongeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

TEST(JunctionHaversine, MeasuresTheGreatCircle) {
    const struct {
        float x1, y1, x2, y2;
        float metres;
        float tolerance;
    } cases[] = {
        {9.5f, 47.1f, 9.5f, 47.1f, 0.0f, 0.0f},        // a point with itself
        {0.0f, 0.0f, 0.0f, 1.0f, 111120.0f, 0.5f},     // one degree of latitude
        {10.0f, 46.5f, 10.0f, 47.5f, 111120.0f, 0.5f}, // the same anywhere
        {0.0f, 0.0f, 1.0f, 0.0f, 111120.0f, 0.5f},     // one degree of longitude at the equator
        {0.0f, 60.0f, 1.0f, 60.0f, 55560.0f, 2.0f},    // half of it at 60 degrees
        {0.0f, 0.0f, 180.0f, 0.0f, 2.00016e7f, 1.0f},  // half way round
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2);
        EXPECT_NEAR(HaversineDistance(c.x1, c.y1, c.x2, c.y2), c.metres, c.tolerance);
    }
}

TEST(JunctionSlope, GivesTheMarkerForVerticalLinesAndCorrectsByTheSecondLatitude) {
    const double pi = junctionview::kPi;
    const struct {
        float x0, y0, x1, y1;
        bool corrected;
        double angle;
    } cases[] = {
        {1.0f, 1.0f, 1.0f, 5.0f, false, DBL_MAX},
        {1.0f, 5.0f, 1.0f, 1.0f, true, DBL_MAX},
        {1.0f, 1.0f, 1.0f, 1.0f, false, DBL_MAX},
        {0.0f, 0.0f, 1.0f, 1.0f, false, pi / 4},
        {0.0f, 0.0f, -1.0f, 1.0f, false, -pi / 4},
        {0.0f, 0.0f, 2.0f, 0.0f, false, 0.0},
        // At 60 degrees a degree of longitude is half as long: the slope doubles.
        {0.0f, 60.0f, 1.0f, 60.0f, true, 0.0},
        {0.0f, 59.5f, 1.0f, 60.0f, true, std::atan(0.5 / std::cos(60.0 * pi / 180.0))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x0 << "," << c.y0 << " " << c.x1 << "," << c.y1);
        const double angle = LineSlopeAngle(c.x0, c.y0, c.x1, c.y1, c.corrected);
        if (c.angle == DBL_MAX) {
            EXPECT_EQ(angle, DBL_MAX);
        } else {
            EXPECT_NEAR(angle, c.angle, 1e-6);
        }
    }
}

TEST(JunctionRotation, TurnsCounterClockwiseAndScalesTheOffsetWhenCorrected) {
    const double pi = junctionview::kPi;
    const float c60 = static_cast<float>(std::cos(60.0 * pi / 180.0));
    const struct {
        float px, py;
        double theta;
        float cx, cy;
        bool corrected;
        GeoPoint expected;
    } cases[] = {
        {3.0f, 4.0f, 0.0, 1.0f, 1.0f, false, {3.0f, 4.0f}},     // by 0: unchanged
        {2.0f, 1.0f, pi / 2, 1.0f, 1.0f, false, {1.0f, 2.0f}},  // east of the centre to north
        {1.0f, 2.0f, pi, 1.0f, 1.0f, false, {1.0f, 0.0f}},      // north to south
        {2.0f, 1.0f, -pi / 2, 1.0f, 1.0f, false, {1.0f, 0.0f}}, // east to south
        {12.0f, 60.0f, 0.0, 10.0f, 60.0f, true, {10.0f + 2.0f * c60, 60.0f}}, // by 0, scaled
        {11.0f, 60.0f, pi / 2, 10.0f, 60.0f, true, {10.0f, 60.0f + c60}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.px << "," << c.py << " by " << c.theta);
        const GeoPoint p = RotateAboutCentre(c.px, c.py, c.theta, c.cx, c.cy, c.corrected);
        EXPECT_NEAR(p.x, c.expected.x, 1e-5);
        EXPECT_NEAR(p.y, c.expected.y, 1e-5);
    }
}

TEST(JunctionScale, GivesUnitsPerDegreeAndOneForAZeroExtent) {
    const double pi = junctionview::kPi;
    const struct {
        JunctionRect rect;
        float x0, y0, x1, y1;
        bool corrected;
        float sx, sy;
    } cases[] = {
        {{0, 0, 200, 100}, 0.0f, 0.0f, 2.0f, 1.0f, false, 100.0f, 100.0f},
        {{200, 100, 0, 0}, 0.0f, 0.0f, 2.0f, 1.0f, false, 100.0f, 100.0f}, // abs of the sides
        {{0, 0, 200, 100}, 5.0f, 0.0f, 5.0f, 1.0f, false, 1.0f, 100.0f},   // zero width
        {{0, 0, 200, 100},
         0.0f,
         3.0f,
         2.0f,
         3.0f,
         true, // zero height
         static_cast<float>(200.0 * std::cos(static_cast<float>(3.0f * pi / 180.0)) / 2.0),
         1.0f},
        {{0, 0, 100, 100},
         0.0f,
         59.0f,
         1.0f,
         61.0f,
         true,
         static_cast<float>(100.0 * std::cos(static_cast<float>(60.0f * pi / 180.0))),
         50.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rect.right << "x" << c.rect.bottom);
        float sx = 0.0f;
        float sy = 0.0f;
        ComputeScaleFactors(c.rect, c.x0, c.y0, c.x1, c.y1, sx, sy, c.corrected);
        EXPECT_FLOAT_EQ(sx, c.sx);
        EXPECT_FLOAT_EQ(sy, c.sy);
    }
}

TEST(JunctionPointInRect, IncludesAllFourEdges) {
    const struct {
        std::int32_t x, y;
        bool inside;
    } cases[] = {{0, 50, true},   {100, 50, true},  {50, 0, true},   {50, 100, true},
                 {0, 0, true},    {100, 100, true}, {-1, 50, false}, {101, 50, false},
                 {50, -1, false}, {50, 101, false}, {50, 50, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(IsPointInRect(0, 0, 100, 100, c.x, c.y), c.inside);
    }
}

TEST(JunctionIntersection, FindsTheCrossingOfTwoLines) {
    const struct {
        double x1, y1, x2, y2, x3, y3, x4, y4;
        bool found;
        double x, y;
    } cases[] = {
        {5, 0, 5, 10, 0, 0, 10, 10, true, 5, 5},   // first vertical
        {0, 0, 10, 10, 5, 0, 5, 10, true, 5, 5},   // second vertical
        {1, 0, 1, 9, 4, 0, 4, 9, false, 0, 0},     // both vertical
        {0, 0, 10, 10, 0, 1, 10, 11, false, 0, 0}, // parallel
        {0, 0, 10, 0, 0, 5, 10, 5, false, 0, 0},   // parallel, flat
        {0, 0, 10, 10, 0, 10, 10, 0, true, 5, 5},  // a cross
        {10, 10, 200, 10, 100, 0, 100, 100, true, 100, 10},
        {0, 0, 2, 1, 0, 6, 2, 4, true, 4, 2}, // lines, not segments
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << " " << c.x3 << "," << c.y3);
        double x = 0.0;
        double y = 0.0;
        EXPECT_EQ(IntersectLines(c.x1, c.y1, c.x2, c.y2, c.x3, c.y3, c.x4, c.y4, x, y), c.found);
        if (c.found) {
            EXPECT_NEAR(x, c.x, 1e-9);
            EXPECT_NEAR(y, c.y, 1e-9);
        }
    }
}

TEST(JunctionSortCoordinates, SortsEachAxisApartToGiveTheBoundingBox) {
    const struct {
        std::vector<GeoPoint> points;
        std::vector<GeoPoint> sorted;
    } cases[] = {
        {{}, {}},
        {{{3.0f, -2.0f}}, {{3.0f, -2.0f}}},
        {{{3.0f, 1.0f}, {1.0f, 5.0f}, {2.0f, -4.0f}}, {{1.0f, -4.0f}, {2.0f, 1.0f}, {3.0f, 5.0f}}},
        {{{1.0f, 1.0f}, {1.0f, 1.0f}}, {{1.0f, 1.0f}, {1.0f, 1.0f}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.points.size());
        std::vector<GeoPoint> points = c.points;
        SortCoordinates(points);
        EXPECT_EQ(points, c.sorted);
    }
}

TEST(JunctionClamp, ClampsNonFiniteAndOutOfRangeValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        std::int32_t expected;
    } cases[] = {{12.9, 12},
                 {-12.9, -12},
                 {std::nan(""), 0},
                 {inf, 2147483647},
                 {-inf, -2147483647 - 1},
                 {1e12, 2147483647},
                 {-1e12, -2147483647 - 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(junctionview::ClampToInt(c.value), c.expected);
    }
}

} // namespace
