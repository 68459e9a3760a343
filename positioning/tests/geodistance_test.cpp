#include "positioning/geodistance.h"

#include <gtest/gtest.h>

#include <cmath>

// One degree of latitude is 6367444.0 x 0.017453292519944444 = 111132.8627 m. At 60 degrees
// the cosine is 0.5: one degree of longitude is 55566.4314 m. The products with the float factor
// round the cosine's argument to float, which moves these by less than 1 mm.
TEST(GeoDistance, MatchesHandComputedFlatEarthValues) {
    const struct {
        GeoPoint a, b;
        double metres;
    } cases[] = {
        {{10.0f, 50.0f}, {10.0f, 51.0f}, 111132.8627},
        {{10.0f, 51.0f}, {10.0f, 50.0f}, 111132.8627},
        {{0.0f, 60.0f}, {1.0f, 60.0f}, 55566.4314},
        // sqrt(55566.4314^2 + 111132.8627^2) = 55566.4314 x sqrt(5)
        {{0.0f, 60.0f}, {1.0f, 61.0f}, 124250.3178},
        // Seen from 61 degrees: cos 61 = 0.4848096, dx = 53878.2810 m.
        {{1.0f, 61.0f}, {0.0f, 60.0f}, 123504.5843},
        {{7.0f, -20.0f}, {7.0f, -20.0f}, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.a.x << "," << c.a.y << " -> " << c.b.x << "," << c.b.y);
        EXPECT_NEAR(GeoDistance(c.a, c.b), c.metres, 0.005);
    }
}

// e = asin(north metres / distance); the quadrant rules then measure clockwise from north.
// (0,60) -> (1,61): asin(111132.8627 / 124250.3178) = 63.4349, so 90 - 63.4349 = 26.5651
// (= atan 0.5). At the equator one degree east and north give e = 45.
TEST(GeoBearing, FollowsTheQuadrantRules) {
    const struct {
        GeoPoint a, b;
        double degrees;
    } cases[] = {
        {{5.0f, 5.0f}, {5.0f, 5.0f}, 0.0},       // equal points
        {{10.0f, 50.0f}, {10.0f, 51.0f}, 0.0},   // due north
        {{10.0f, 50.0f}, {11.0f, 50.0f}, 90.0},  // due east
        {{10.0f, 50.0f}, {10.0f, 49.0f}, 180.0}, // due south: not 179.9929
        {{10.0f, 50.0f}, {9.0f, 50.0f}, 270.0},  // due west
        {{0.0f, 0.0f}, {1.0f, 1.0f}, 45.0},      {{0.0f, 0.0f}, {1.0f, -1.0f}, 135.0},
        {{0.0f, 0.0f}, {-1.0f, -1.0f}, 225.0},   {{0.0f, 0.0f}, {-1.0f, 1.0f}, 315.0},
        {{0.0f, 60.0f}, {1.0f, 61.0f}, 26.5651},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.a.x << "," << c.a.y << " -> " << c.b.x << "," << c.b.y);
        EXPECT_NEAR(GeoBearing(c.a, c.b), c.degrees, 1e-4);
    }
}

TEST(GeoBearing, GivesThreeHundredSixtyForDueNorthFromJustEast) {
    const double bearing = GeoBearing({10.00001f, 50.0f}, {10.0f, 51.0f});
    EXPECT_GT(bearing, 359.99);
    EXPECT_LE(bearing, 360.0);
}

// Along a meridian the bearing is north or south to within 1e-11 degrees (the radian factor
// 57.29577951307855 makes asin(1) 89.99999999999407), at any latitude and distance.
TEST(GeoBearing, IsNorthOrSouthAlongAMeridian) {
    for (int i = 1; i <= 2000; ++i) {
        const GeoPoint a{8.25f, -40.0f + static_cast<float>(i) * 0.0371f};
        const GeoPoint north{a.x, a.y + static_cast<float>(i) * 0.00917f};
        const GeoPoint south{a.x, a.y - static_cast<float>(i) * 0.00917f};
        ASSERT_NEAR(GeoBearing(a, north), 0.0, 1e-9) << i;
        ASSERT_NEAR(GeoBearing(a, south), 180.0, 1e-9) << i;
    }
}
