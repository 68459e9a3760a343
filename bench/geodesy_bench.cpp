// Conversions per second of the map-geometry plane (ToPlane, FromPlane around one origin) and of
// the DHDN datum shift, each against a baseline measured in the same run: the same points turned
// from degrees into radians. "vs_baseline" is how many times longer a conversion takes than that.
#include "positioning/datumconverter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace {

struct Sample {
    float latitude;
    float longitude;
};

// 1024 positions spread over Germany, where the engine's map geometry lies.
const std::vector<Sample>& Points() {
    static const std::vector<Sample> points = [] {
        std::vector<Sample> result;
        for (int row = 0; row < 32; ++row) {
            for (int column = 0; column < 32; ++column) {
                result.push_back({47.3f + 0.27f * static_cast<float>(row),
                                  5.9f + 0.29f * static_cast<float>(column)});
            }
        }
        return result;
    }();
    return points;
}

// The plane's origin: the middle of the points.
constexpr GeodeticPositionF kPlaneOrigin{51.4f, 10.4f};

double BaselineSeconds(benchmark::IterationCount passes) {
    const auto start = std::chrono::steady_clock::now();
    for (benchmark::IterationCount pass = 0; pass < passes; ++pass) {
        for (const Sample& point : Points()) {
            double latitude = static_cast<double>(point.latitude) * kGeodeticRadiansPerDegree;
            double longitude = static_cast<double>(point.longitude) * kGeodeticRadiansPerDegree;
            benchmark::DoNotOptimize(latitude);
            benchmark::DoNotOptimize(longitude);
        }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs convert over every point per iteration and reports the rate and the baseline ratio.
template <typename Convert> void AgainstBaseline(benchmark::State& state, Convert convert) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (const Sample& point : Points()) {
            convert(point);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double baseline = BaselineSeconds(state.iterations());
    const double ratio = baseline > 0.0 ? seconds / baseline : 0.0;
    const auto conversions =
        static_cast<double>(state.iterations()) * static_cast<double>(Points().size());
    state.counters["conversions"] = benchmark::Counter(conversions, benchmark::Counter::kIsRate);
    state.counters["vs_baseline"] = ratio;
}

void BenchmarkToPlane(benchmark::State& state) {
    const DatumConverter converter(kWgs84Datum);
    AgainstBaseline(state, [&](const Sample& point) {
        benchmark::DoNotOptimize(converter.ToPlane(point.latitude, point.longitude, kPlaneOrigin));
    });
}

void BenchmarkFromPlane(benchmark::State& state) {
    const DatumConverter converter(kWgs84Datum);
    std::vector<PlanePoint> planes;
    for (const Sample& point : Points()) {
        planes.push_back(converter.ToPlane(point.latitude, point.longitude, kPlaneOrigin));
    }
    std::size_t next = 0;
    AgainstBaseline(state, [&](const Sample&) {
        benchmark::DoNotOptimize(converter.FromPlane(planes[next], kPlaneOrigin));
        next = (next + 1) % planes.size();
    });
}

void BenchmarkDhdnToWgs84(benchmark::State& state) {
    const DatumConverter converter(kWgs84Datum);
    AgainstBaseline(state, [&](const Sample& point) {
        benchmark::DoNotOptimize(
            converter.DatumToWgs84(point.latitude, point.longitude, kDhdnDatum));
    });
}

void BenchmarkWgs84ToDhdn(benchmark::State& state) {
    const DatumConverter converter(kWgs84Datum);
    AgainstBaseline(state, [&](const Sample& point) {
        benchmark::DoNotOptimize(
            converter.Wgs84ToDatum(point.latitude, point.longitude, kDhdnDatum));
    });
}

} // namespace

BENCHMARK(BenchmarkToPlane);
BENCHMARK(BenchmarkFromPlane);
BENCHMARK(BenchmarkDhdnToWgs84);
BENCHMARK(BenchmarkWgs84ToDhdn);

BENCHMARK_MAIN();
