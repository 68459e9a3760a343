#include "routing/georectaround.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

// At 50 degrees: cos 50 = 0.6427876, x 6367444.0 = 4092914.1 m per radian of longitude;
// 1000 m / 4092914.1 = 2.4432470e-4 rad = 0.0139988 degrees. Latitude: 1000 x 8.998239e-6 =
// 0.0089982 degrees. At the equator the longitude offset is 1000 / 6367444.0 rad = 0.0089982
// degrees, the same as the latitude offset (8.998239e-6 is one over 111132.86 m).
TEST(GeoRectAround, SpansTheDistanceInBothDirections) {
    const struct {
        GeoPoint position;
        double metres;
        double longitudeOffset, latitudeOffset;
    } cases[] = {
        {{10.0f, 50.0f}, 1000.0, 0.0139988, 0.0089982},
        {{-3.7f, 0.0f}, 1000.0, 0.0089982, 0.0089982},
        {{151.2f, -33.9f}, 500.0, 0.0054205, 0.0044991}, // cos 33.9 = 0.83001
        {{10.0f, 50.0f}, 0.0, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.position.x << ", " << c.position.y << ", " << c.metres);
        const GeoRect rect = GeoRectAround(c.position, c.metres);
        // The longitude goes through a float product in radians: 1.2e-7 of its value.
        const double longitudeTolerance = 2e-6 + std::abs(c.position.x) * 1.2e-7;
        EXPECT_NEAR(rect.minX, c.position.x - c.longitudeOffset, longitudeTolerance);
        EXPECT_NEAR(rect.maxX, c.position.x + c.longitudeOffset, longitudeTolerance);
        EXPECT_NEAR(rect.minY, c.position.y - c.latitudeOffset, 2e-6);
        EXPECT_NEAR(rect.maxY, c.position.y + c.latitudeOffset, 2e-6);
    }
}

TEST(GeoRectAround, TakesANegativeDistanceAsItsSizeAndNaNAsZero) {
    const GeoPoint position{10.0f, 50.0f};
    EXPECT_EQ(GeoRectAround(position, -1000.0), GeoRectAround(position, 1000.0));
    EXPECT_EQ(GeoRectAround(position, std::numeric_limits<double>::quiet_NaN()),
              GeoRectAround(position, 0.0));
}

// Within the distance of a pole every longitude is inside; the float factor makes the cosine
// of 90 degrees slightly negative, which without care flips the rectangle inside out.
TEST(GeoRectAround, SpansAllLongitudesNearThePoles) {
    const struct {
        GeoPoint position;
        double metres;
    } cases[] = {
        {{10.0f, 90.0f}, 1000.0},
        {{10.0f, -90.0f}, 1000.0},
        {{-120.0f, 89.9999f}, 1000.0},
        {{45.0f, 0.0f}, 1e40},
        {{45.0f, 0.0f}, std::numeric_limits<double>::infinity()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.position.x << ", " << c.position.y);
        const GeoRect rect = GeoRectAround(c.position, c.metres);
        EXPECT_EQ(rect.minX, -180.0f);
        EXPECT_EQ(rect.maxX, 180.0f);
        EXPECT_LT(rect.minY, c.position.y);
        EXPECT_GT(rect.maxY, c.position.y);
    }
    // Just far enough from the pole the offset stays below 180 degrees.
    const GeoRect nearPole = GeoRectAround({10.0f, 80.0f}, 1000.0);
    EXPECT_NEAR(nearPole.maxX - 10.0f, 0.0518, 1e-4); // 1000 / (0.173648 x 6367444.0) rad
}

TEST(GeoRectAround, DoesNotWrapAtTheAntimeridian) {
    const GeoRect rect = GeoRectAround({179.999f, 0.0f}, 1000.0);
    EXPECT_GT(rect.maxX, 180.0f);
    EXPECT_LT(rect.minX, rect.maxX);
    EXPECT_NEAR(rect.maxX, 180.0080, 1e-4);
}
