#include "utilities/usefulcode/greatcircledistance.h"

#include <gtest/gtest.h>

#include <cmath>

// d = acos(sin y1 sin y2 + cos y1 cos y2 cos(x2 - x1)) x 6367444.0 (x = longitude):
// one degree along a meridian or the equator is 0.017453292519944444 x 6367444.0 = 111132.8627;
// a quarter turn along the equator pi/2 x 6367444.0 = 10001957.6463; antipodes pi x 6367444.0 =
// 20003915.2925; pole to equator is a quarter turn too.
TEST(GreatCircleDistance, MatchesHandComputedValues) {
    const struct {
        double x1, y1, x2, y2, metres;
    } cases[] = {
        {0.0, 0.0, 0.0, 1.0, 111132.8627},
        {0.0, 0.0, 1.0, 0.0, 111132.8627},
        {10.0, 50.0, 10.0, 51.0, 111132.8627},
        {0.0, 0.0, 90.0, 0.0, 10001957.6463},
        {0.0, 0.0, 180.0, 0.0, 20003915.2925},
        {37.0, 90.0, -120.0, 0.0, 10001957.6463},
        // At 60 degrees one degree of longitude is a little more than the 55566.43 m of the
        // parallel: acos(sin^2 60 + cos^2 60 cos 1) = 0.00872654 rad = 55565.90 m.
        {0.0, 60.0, 1.0, 60.0, 55565.90},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2);
        EXPECT_NEAR(GreatCircleDistance(c.x1, c.y1, c.x2, c.y2), c.metres, 0.01);
        EXPECT_EQ(GreatCircleDistance(c.x1, c.y1, c.x2, c.y2),
                  GreatCircleDistance(c.x2, c.y2, c.x1, c.y1));
    }
}

// sin^2 y + cos^2 y comes out one ulp above 1 at many latitudes (1 degree is one of them), where
// acos has no value, and one ulp below 1 at others, where it is 0.095 m: the distance of a
// point to itself must still be exactly 0.
TEST(GreatCircleDistance, IsExactlyZeroForIdenticalPointsAndNeverNaNNearThem) {
    for (int latitudeStep = -180; latitudeStep <= 180; ++latitudeStep) {
        for (const double longitude : {-179.5, -3.7, 0.0, 1.0, 10.6, 151.2}) {
            const double latitude = latitudeStep * 0.5;
            const double distance = GreatCircleDistance(longitude, latitude, longitude, latitude);
            ASSERT_EQ(distance, 0.0) << longitude << ", " << latitude;
            // A hair apart the sum is the same; the result stays a number within the formula's
            // 0.1 m resolution.
            const double nearly =
                GreatCircleDistance(longitude, latitude, longitude + 1e-12, latitude);
            ASSERT_FALSE(std::isnan(nearly)) << longitude << ", " << latitude;
            ASSERT_LT(nearly, 0.2) << longitude << ", " << latitude;
        }
    }
}

TEST(GreatCircleDistance, NeverExceedsHalfTheCircumference) {
    for (int step = 0; step <= 72; ++step) {
        const double longitude = -180.0 + step * 5.0;
        const double distance = GreatCircleDistance(0.0, 30.0, longitude, -30.0);
        ASSERT_FALSE(std::isnan(distance));
        ASSERT_LE(distance, 20003915.2926);
        ASSERT_GE(distance, 0.0);
    }
    EXPECT_NEAR(GreatCircleDistance(0.0, 30.0, 180.0, -30.0), 20003915.2925, 0.01);
}
