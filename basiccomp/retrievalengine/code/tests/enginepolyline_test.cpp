#include "basiccomp/retrievalengine/code/enginepolyline.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double Distance(const PlanePoint& a, const PlanePoint& b) {
    return std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y);
}

// A straight street about 11 km long along a central meridian of the plane, its inner vertex
// off the middle, so that the samples' distances from the start are fractions of the length.
const std::vector<GeoPoint> kStraight = {{9.0f, 50.0f}, {9.0f, 50.03f}, {9.0f, 50.1f}};

TEST(EnginePolylineResample, PlacesSamplesAtFractionsOfTheLength) {
    const struct {
        int n, mode;
        std::vector<double> fractions;
    } cases[] = {
        {4, 0, {0.125, 0.375, 0.625, 0.875}},
        {1, 0, {0.5}},
        {4, 1, {0.2, 0.4, 0.6, 0.8}},
        {1, 1, {0.5}},
        {4, 2, {0.0, 1.0 / 3.0, 2.0 / 3.0, 1.0}},
        {2, 2, {0.0, 1.0}},
        {1, 2, {0.0, 0.5}}, // no last point
        {0, 0, {}},
        {-3, 2, {}},
    };
    EnginePolyline polyline(kStraight);
    const double length = polyline.GetLength();
    ASSERT_NEAR(length, 11120.0, 20.0);
    const PlanePoint start = polyline.PlanePoints().front();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c.n << " mode " << c.mode);
        polyline.Resample(c.n, c.mode);
        const auto& samples = polyline.ResampledPoints();
        ASSERT_EQ(samples.size(), c.fractions.size());
        for (std::size_t i = 0; i < samples.size(); ++i) {
            EXPECT_NEAR(Distance(start, samples[i]) / length, c.fractions[i], 2e-4) << i;
        }
        std::vector<GeoPoint> degrees = {{1.0f, 1.0f}};
        polyline.GetPoints(static_cast<std::uint32_t>(c.n), degrees, c.mode);
        ASSERT_EQ(degrees.size(), c.fractions.size());
        if (c.mode == 2 && !degrees.empty()) {
            EXPECT_NEAR(degrees.front().x, 9.0f, 1e-5f);
            EXPECT_NEAR(degrees.front().y, 50.0f, 1e-5f);
        }
        for (const GeoPoint& point : degrees) {
            EXPECT_NEAR(point.x, 9.0f, 1e-5f);
            EXPECT_TRUE(point.y >= 50.0f - 1e-5f && point.y <= 50.1f + 1e-5f) << point.y;
        }
    }
}

TEST(EnginePolylineResample, DegenerateElementsGiveNoSamples) {
    const struct {
        const char* name;
        std::vector<GeoPoint> points;
    } cases[] = {
        {"empty", {}},
        {"one point", {{9.0f, 50.0f}}},
        {"coincident points", {{9.0f, 50.0f}, {9.0f, 50.0f}, {9.0f, 50.0f}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EnginePolyline polyline(c.points);
        EXPECT_EQ(polyline.GetLength(), 0.0);
        for (const int mode : {0, 1, 2}) {
            std::vector<GeoPoint> out = {{1.0f, 1.0f}};
            polyline.GetPoints(4, out, mode);
            EXPECT_TRUE(out.empty()) << mode;
            polyline.Resample(4, mode);
            EXPECT_TRUE(polyline.ResampledPoints().empty()) << mode;
        }
    }
}

TEST(EnginePolylineResample, SampleOnAnInnerVertexStartsTheNextSegment) {
    // Two equal halves: the single mode 1 sample falls on the inner vertex.
    EnginePolyline polyline({{9.0f, 50.0f}, {9.0f, 50.05f}, {9.0f, 50.1f}});
    const PlanePoint vertex = polyline.PlanePoints()[1];
    polyline.Resample(1, 1);
    ASSERT_EQ(polyline.ResampledPoints().size(), 1u);
    EXPECT_LT(Distance(polyline.ResampledPoints()[0], vertex), 1.0);
}

TEST(EnginePolylineSetPoints, AppendsToThePlanePoints) {
    EnginePolyline polyline({{9.0f, 50.0f}});
    polyline.SetPoints({{9.0f, 50.1f}});
    ASSERT_EQ(polyline.PlanePoints().size(), 2u);
    EXPECT_NEAR(polyline.GetLength(), 11120.0, 20.0);
}

} // namespace
