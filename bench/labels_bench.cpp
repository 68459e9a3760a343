// Label placement: 1,000 candidate street and point labels (street names along polylines of 2 to
// 40 points) offered to a layer that keeps at most 200, against a baseline measured in the same
// run that only measures the same texts with GetTextExtentExPointW in the street font.
// "vs_baseline" is how many times longer placing takes than measuring; the goal is at most 2.
// "admitted" counts the placements that succeeded, displaced labels included;
// "tests_per_candidate" the placed labels each label offered for a place is tested against.
#include "mapdisplay/labellayer.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kCandidates = 1000;

struct Candidate {
    std::vector<POINT> points; // one point pair for a point label
    std::u16string text;
    std::uint32_t elementClass;
    bool isStreet;
};

const std::vector<Candidate>& Candidates() {
    static const std::vector<Candidate> candidates = [] {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> coordinate(0, 800);
        std::uniform_int_distribution<int> step(-6, 6); // gently bending streets
        std::uniform_int_distribution<int> pointCount(2, 40);
        std::vector<Candidate> made;
        for (int i = 0; i < kCandidates; ++i) {
            Candidate c;
            c.isStreet = i % 3 != 0;
            c.elementClass = 1010 + static_cast<std::uint32_t>(i % 9) * 10;
            const std::string digits = std::to_string(i);
            const std::u16string number(digits.begin(), digits.end());
            c.text = (c.isStreet ? u"Street " : u"Place ") + number;
            POINT p{coordinate(random), coordinate(random)};
            const int count = c.isStreet ? pointCount(random) : 2;
            for (int k = 0; k < count; ++k) {
                c.points.push_back(p);
                p = {p.x + 10 + step(random) / 3, p.y + step(random)};
            }
            made.push_back(std::move(c));
        }
        return made;
    }();
    return candidates;
}

std::size_t Place(LabelLayer& layer) {
    layer.Clear();
    std::size_t placed = 0;
    for (const Candidate& c : Candidates()) {
        const bool isPlaced =
            c.isStreet ? layer.AddStreetLabel(c.points.data(), static_cast<int>(c.points.size()),
                                              c.text, c.elementClass)
                       : layer.AddPointLabel(c.points[0], c.points[1], c.text, c.elementClass,
                                             nullptr, 0, 0xFFFFFF);
        placed += isPlaced ? 1 : 0;
    }
    return placed;
}

std::int64_t Measure(HDC dc, HFONT font) {
    HGDIOBJ old = SelectObject(dc, font);
    std::int64_t sum = 0;
    for (const Candidate& c : Candidates()) {
        SIZE size{};
        (void)GetTextExtentExPointW(dc, c.text.data(), static_cast<int>(c.text.size()), 0, nullptr,
                                    nullptr, &size);
        sum += size.cx;
    }
    SelectObject(dc, old);
    return sum;
}

void BenchmarkPlaceLabels(benchmark::State& state) {
    HDC dc = CreateCompatibleDC(nullptr);
    // The layer's fonts are made once, as across the paints of a map view.
    LabelLayer layer;
    layer.Begin(dc);
    const std::optional<LOGFONTW> street = LabelFontTable::Instance().FontOf(0);
    HFONT font = CreateFontIndirectW(&*street);
    (void)Measure(dc, font); // glyphs cached for both
    std::size_t placed = 0;
    const LabelLayer::PlacementCounts before = layer.Counts();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        placed = Place(layer);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto baselineStart = std::chrono::steady_clock::now();
    for (benchmark::IterationCount pass = 0; pass < state.iterations(); ++pass) {
        benchmark::DoNotOptimize(Measure(dc, font));
    }
    const double baseline =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - baselineStart).count();
    DeleteObject(font);
    DeleteDC(dc);
    const LabelLayer::PlacementCounts& after = layer.Counts();
    const std::uint64_t offered = after.candidates - before.candidates;
    state.counters["tests_per_candidate"] =
        offered > 0 ? static_cast<double>(after.tests - before.tests) / offered : 0.0;
    state.counters["admitted"] = static_cast<double>(placed);
    state.counters["vs_baseline"] = baseline > 0.0 ? seconds / baseline : 0.0;
}

} // namespace

BENCHMARK(BenchmarkPlaceLabels)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
