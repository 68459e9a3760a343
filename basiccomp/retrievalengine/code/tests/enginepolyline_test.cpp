#include "basiccomp/retrievalengine/code/enginepolyline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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

// Metres on the WGS 84 ellipsoid between two nearby points (degrees, x = longitude), from the
// radii of curvature at their mean latitude: the geodesic length to 1e-6 for a few kilometres.
double GeodesicMetres(const GeoPoint& a, const GeoPoint& b) {
    constexpr double kA = 6378137.0;
    constexpr double kF = 1.0 / 298.257223563;
    constexpr double kE2 = 2.0 * kF - kF * kF;
    constexpr double kRadians = 3.14159265358979323846 / 180.0;
    const double phi = (static_cast<double>(a.y) + b.y) / 2.0 * kRadians;
    const double w = 1.0 - kE2 * std::sin(phi) * std::sin(phi);
    const double north =
        (static_cast<double>(b.y) - a.y) * kRadians * kA * (1.0 - kE2) / std::pow(w, 1.5);
    const double east =
        (static_cast<double>(b.x) - a.x) * kRadians * kA / std::sqrt(w) * std::cos(phi);
    return std::hypot(north, east);
}

// Two- and three-point elements across the meridians where the 3-degree grid zones meet: the
// length is the length on the ground and every sample lies on the element at its share of the
// length, whichever zone the points would fall in one by one.
TEST(EnginePolylineAcrossZoneEdges, LengthAndSamplesAreThoseOnTheGround) {
    const struct {
        const char* name;
        std::vector<GeoPoint> points;
    } cases[] = {
        {"across 7.5 E", {{7.49f, 50.0f}, {7.51f, 50.0f}}},
        {"across 10.5 E", {{10.49f, 50.0f}, {10.51f, 50.0f}}},
        {"across 10.5 E, westwards", {{10.51f, 48.1f}, {10.49f, 48.1f}}},
        {"across 13.5 E, slanting", {{13.495f, 52.5f}, {13.51f, 52.51f}}},
        {"across 10.5 E and back", {{10.48f, 49.0f}, {10.52f, 49.01f}, {10.47f, 49.02f}}},
        {"within one zone", {{10.40f, 50.0f}, {10.42f, 50.0f}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> vertexAt = {0.0}; // metres from the start to each point
        for (std::size_t i = 1; i < c.points.size(); ++i) {
            vertexAt.push_back(vertexAt.back() + GeodesicMetres(c.points[i - 1], c.points[i]));
        }
        const double ground = vertexAt.back();
        EnginePolyline polyline(c.points);
        EXPECT_NEAR(polyline.GetLength() / ground, 1.0, 0.005);
        // The sample's share of the length and whether it lies on its segment.
        const auto along = [&](const GeoPoint& sample) {
            double best = std::numeric_limits<double>::max();
            double share = -1.0;
            for (std::size_t i = 1; i < c.points.size(); ++i) {
                const double toStart = GeodesicMetres(c.points[i - 1], sample);
                const double off = toStart + GeodesicMetres(sample, c.points[i]) -
                                   GeodesicMetres(c.points[i - 1], c.points[i]);
                if (off < best) {
                    best = off;
                    share = (vertexAt[i - 1] + toStart) / ground;
                }
            }
            EXPECT_LT(best, 0.01) << "off the element";
            return share;
        };
        constexpr std::uint32_t kSamples = 5;
        for (const int mode : {0, 1, 2}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode);
            std::vector<GeoPoint> samples;
            polyline.GetPoints(kSamples, samples, mode);
            ASSERT_EQ(samples.size(), kSamples);
            for (std::size_t j = 0; j < samples.size(); ++j) {
                const double expected = mode == 0 ? (static_cast<double>(j) + 0.5) / kSamples
                                        : mode == 1
                                            ? (static_cast<double>(j) + 1.0) / (kSamples + 1)
                                            : static_cast<double>(j) / (kSamples - 1);
                // Float degrees resolve about 0.4 m here.
                EXPECT_NEAR(along(samples[j]) * ground, expected * ground, 0.6) << j;
            }
        }
    }
}

TEST(EnginePolylineSetPoints, AppendsToThePlanePoints) {
    EnginePolyline polyline({{9.0f, 50.0f}});
    polyline.SetPoints({{9.0f, 50.1f}});
    ASSERT_EQ(polyline.PlanePoints().size(), 2u);
    EXPECT_NEAR(polyline.GetLength(), 11120.0, 20.0);
}

} // namespace
