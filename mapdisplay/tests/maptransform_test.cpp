#include "mapdisplay/maptransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

ViewportTransform MakeTransform(double metresPerPixel, MapPoint center, double rotation) {
    ViewportTransform t(MapRect{-1000000, -1000000, 1000000, 1000000});
    t.SetScale(metresPerPixel);
    t.SetCenter(center);
    t.SetSize(SIZE{240, 320});
    t.SetRotation(rotation);
    return t;
}

// Expected values worked out from the fixed-point rules: kx = 1 + trunc(256 * m * 6.70896 /
// cos lat), sx = (dx * 256) / kx + 120, sy = (-dy * 256) / ky + 160, then the float rotation.
TEST(MapTransform, ConvertsThroughFixedPointFactorsAndFloatRotation) {
    const struct {
        double rotation;
        double metres;
        int latitude;
        MapPoint offset;
        POINT screen;
        std::int32_t kx;
        std::int32_t ky;
    } cases[] = {
        {0, 1, 0, {12345, 6789}, {1959, -851}, 1718, 1718},
        {0, 1, 50, {-500, -70000}, {73, 10590}, 2672, 1718},
        {0, 1, 90, {12345, 6789}, {120, -851}, 1717493998, 1718},
        {0, 10, 0, {-500, -70000}, {113, 1203}, 17175, 17175},
        {0, 10, 50, {12345, 6789}, {238, 59}, 26720, 17175},
        {0, 10, 90, {12345, 6789}, {120, 59}, kMax, 17175}, // cosine held at 1e-6, saturated
        {0, 1000, 50, {-500, -70000}, {120, 170}, 2671947, 1717494},
        {0, 1000, 90, {12345, 6789}, {120, 159}, kMax, 1717494},
        {30, 1, 0, {-500, -70000}, {-5159, 9155}, 1718, 1718},
        {30, 1, 50, {12345, 6789}, {1649, -124}, 2672, 1718},
        {30, 1, 90, {12345, 6789}, {625, -715}, 1717493998, 1718},
        {30, 10, 50, {-500, -70000}, {-404, 1061}, 26720, 17175},
        {30, 1000, 0, {-500, -70000}, {115, 168}, 1717494, 1717494},
        {90, 1, 0, {12345, 6789}, {1131, 1999}, 1718, 1718},
        {90, 1, 50, {-500, -70000}, {-10310, 113}, 2672, 1718},
        {90, 10, 90, {-500, -70000}, {-923, 160}, kMax, 17175},
        {90, 1000, 0, {-500, -70000}, {110, 160}, 1717494, 1717494},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.rotation << " deg, " << c.metres << " m/px, lat " << c.latitude << ", ("
                     << c.offset.x << ", " << c.offset.y << ")");
        const MapPoint center{1000, static_cast<std::int32_t>(c.latitude * kMapUnitsPerDegree)};
        const ViewportTransform t = MakeTransform(c.metres, center, c.rotation);
        EXPECT_EQ(t.GetKx(), c.kx);
        EXPECT_EQ(t.GetKy(), c.ky);
        const POINT p = t.WorldToScreen(MapPoint{center.x + c.offset.x, center.y + c.offset.y});
        EXPECT_EQ(p.x, c.screen.x);
        EXPECT_EQ(p.y, c.screen.y);
        const POINT middle = t.WorldToScreen(center);
        EXPECT_EQ(middle.x, 120);
        EXPECT_EQ(middle.y, 160);
    }
}

TEST(MapTransform, SaturatesFarFromTheCentre) {
    const struct {
        double metres;
        MapPoint center;
        double rotation;
        MapPoint world;
        POINT screen;
        POINT probe;
        MapPoint probeWorld;
    } cases[] = {
        {1, {0, 0}, 0, {kMax, kMin}, {319997683, 319997723}, {kMax, kMin}, {kMax, kMax}},
        {1, {0, 0}, 0, {1 << 30, 0}, {159998901, 160}, {120, 160}, {0, 0}},
        {1000, {0, 0}, 30, {kMax, kMin}, {117281, 437412}, {kMax, kMin}, {kMax, kMax}},
        {1000, {0, 0}, 30, {0, 0}, {120, 160}, {100000, 0}, {579774986, 335971345}},
        {1, {kMax - 1000, 0}, 0, {kMin, 0}, {-639994857, 160}, {100000, 0}, {kMax, 1073}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.world.x << ", " << c.world.y);
        const ViewportTransform t = MakeTransform(c.metres, c.center, c.rotation);
        const POINT p = t.WorldToScreen(c.world);
        EXPECT_EQ(p.x, c.screen.x);
        EXPECT_EQ(p.y, c.screen.y);
        EXPECT_EQ(t.ScreenToWorld(c.probe), c.probeWorld);
    }
}

TEST(MapTransform, KeepsScaleRotationAndQueryAsSet) {
    ViewportTransform t = MakeTransform(10.0, MapPoint{0, 0}, 0.0);
    t.SetScale(0.0);
    t.SetScale(-3.0);
    EXPECT_DOUBLE_EQ(t.GetScale(), 10.0 * kMapUnitsPerMetre * kMetresPerMapUnit);
    EXPECT_EQ(t.GetKx(), 17175);
    t.SetRotation(-10.0);
    EXPECT_EQ(t.GetRotation(), -10.0);
    EXPECT_EQ(t.Query(), 0);
    EXPECT_EQ(ToRadians(kAngleUnitDegrees, 180.0), 180.0 * 0.017453292522222223);
    EXPECT_EQ(t.GetExtent(), (MapRect{-1000000, -1000000, 1000000, 1000000}));
    const ViewportTransform swapped(MapRect{5, 9, -5, -9});
    EXPECT_EQ(swapped.GetExtent(), (MapRect{-5, -9, 5, 9}));
}

TEST(MapTransform, ScreenToWorldOfWorldToScreenStaysWithinOnePixel) {
    std::mt19937 random(44);
    std::uniform_int_distribution<std::int32_t> offset(-2000000, 2000000);
    std::uniform_real_distribution<double> metres(0.5, 500.0);
    std::uniform_int_distribution<std::int32_t> latitude(-60 * 745654, 60 * 745654);
    for (int i = 0; i < 2000; ++i) {
        const MapPoint center{offset(random), latitude(random)};
        const ViewportTransform t = MakeTransform(metres(random), center, 0.0);
        const MapPoint p{center.x + offset(random) / 8, center.y + offset(random) / 8};
        const MapPoint back = t.ScreenToWorld(t.WorldToScreen(p));
        ASSERT_LE(std::abs(back.x - p.x), t.GetKx() / 256 + 1) << i;
        ASSERT_LE(std::abs(back.y - p.y), t.GetKy() / 256 + 1) << i;
    }
}

} // namespace
