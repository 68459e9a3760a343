#include "testdata/drivegenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

// The reported positions' error per axis keeps its standard deviation in both noise models; it
// is independent from one second to the next when white, and drifts with the correlation time
// asked otherwise.
TEST(DriveGenerator, NoiseHasItsDeviationAndCorrelation) {
    const struct {
        double drift;
        double lag1, lag60; // expected correlations one and sixty seconds apart
    } cases[] = {{0.0, 0.0, 0.0}, {60.0, std::exp(-1.0 / 60.0), std::exp(-1.0)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.drift);
        testdata::DriveGenerator generator;
        generator.AddPiece(1, {{47.1, 9.5}, {47.2, 9.5}});
        testdata::DriveSettings settings;
        settings.speedProfile = {{0.0, 0.0}}; // standing: only the noise moves the fix
        settings.noiseMetres = 10.0;
        settings.noiseCorrelationSeconds = c.drift;
        settings.maxSamples = 60000;
        const std::vector<testdata::DriveSample> samples = generator.Generate(settings);
        ASSERT_EQ(samples.size(), 60000u);
        constexpr double kMetresPerDegree = 6367444.0 * std::numbers::pi / 180.0;
        std::vector<double> east;
        std::vector<double> north;
        for (const testdata::DriveSample& s : samples) {
            north.push_back((s.reported.latitude - s.truePosition.latitude) * kMetresPerDegree);
            east.push_back((s.reported.longitude - s.truePosition.longitude) * kMetresPerDegree *
                           std::cos(s.truePosition.latitude * std::numbers::pi / 180.0));
        }
        for (const std::vector<double>* axis : {&east, &north}) {
            const auto correlation = [&](std::size_t lag) {
                double sum = 0.0;
                for (std::size_t i = lag; i < axis->size(); ++i) {
                    sum += (*axis)[i] * (*axis)[i - lag];
                }
                return sum / static_cast<double>(axis->size() - lag);
            };
            const double variance = correlation(0);
            EXPECT_NEAR(std::sqrt(variance), 10.0, 1.0);
            EXPECT_NEAR(correlation(1) / variance, c.lag1, 0.03);
            EXPECT_NEAR(correlation(60) / variance, c.lag60, 0.1);
        }
    }
}

} // namespace
