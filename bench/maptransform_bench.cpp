// WorldToScreen of 1,000,000 map points, unrotated and at 30 degrees, against a baseline in the
// same run: a plain double-precision affine transform of the same points into the same pixel
// type. "vs_baseline" is how many times longer the map transform takes (goal: at most 1.2
// unrotated, 2 rotated).
#include "mapdisplay/maptransform.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kPointCount = 1000000;
const MapPoint kCenter{7456540, 37282702}; // 10 E, 50 N

const std::vector<MapPoint>& Points() {
    static const std::vector<MapPoint> points = [] {
        std::mt19937 random(1);
        std::uniform_int_distribution<std::int32_t> offset(-200000, 200000);
        std::vector<MapPoint> result(kPointCount);
        for (MapPoint& p : result)
            p = MapPoint{kCenter.x + offset(random), kCenter.y + offset(random)};
        return result;
    }();
    return points;
}

ViewportTransform MakeTransform(double rotation) {
    ViewportTransform t(MapRect{0, 0, 14913080, 44739243});
    t.SetScale(10.0);
    t.SetCenter(kCenter);
    t.SetSize(SIZE{240, 320});
    t.SetRotation(rotation);
    return t;
}

// The same mapping in doubles: scale, rotation and offset folded into six coefficients.
struct Affine {
    double a, b, c, d, e, f;
    POINT operator()(const MapPoint& p) const {
        const double x = p.x;
        const double y = p.y;
        return POINT{static_cast<LONG>(a * x + b * y + c), static_cast<LONG>(d * x + e * y + f)};
    }
};

Affine MakeAffine(const MapTransform& t, double rotation) {
    const double sx = 256.0 / t.GetKx();
    const double sy = -256.0 / t.GetKy();
    const double r = ToRadians(kAngleUnitDegrees, rotation);
    const double cosine = std::cos(r);
    const double sine = std::sin(r);
    return Affine{
        cosine * sx, -sine * sy,  120.0 - (cosine * sx * kCenter.x - sine * sy * kCenter.y),
        sine * sx,   cosine * sy, 160.0 - (sine * sx * kCenter.x + cosine * sy * kCenter.y)};
}

template <class Convert> double Seconds(const Convert& convert, std::vector<POINT>& out) {
    const auto start = std::chrono::steady_clock::now();
    const std::vector<MapPoint>& points = Points();
    for (std::size_t i = 0; i < points.size(); ++i)
        out[i] = convert(points[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void WorldToScreenAgainstAffine(benchmark::State& state) {
    const double rotation = static_cast<double>(state.range(0));
    const ViewportTransform transform = MakeTransform(rotation);
    // Through an interface pointer the compiler cannot see through, as the painter holds it.
    const IMapTransform* interface = &transform;
    benchmark::DoNotOptimize(interface);
    const Affine affine = MakeAffine(transform, rotation);
    std::vector<POINT> out(kPointCount);
    double mapSeconds = 0.0;
    double baselineSeconds = 0.0;
    for (auto _ : state) {
        mapSeconds += Seconds([&](const MapPoint& p) { return interface->WorldToScreen(p); }, out);
        baselineSeconds += Seconds(affine, out);
    }
    state.counters["points"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kPointCount, benchmark::Counter::kIsRate);
    state.counters["vs_baseline"] = baselineSeconds > 0.0 ? mapSeconds / baselineSeconds : 0.0;
}

} // namespace

BENCHMARK(WorldToScreenAgainstAffine)->Arg(0)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
