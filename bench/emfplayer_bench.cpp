// A 300-record skin metafile played into a 64 x 64 face, against the same GDI calls made
// directly in the same run (pens and brushes created, selected and deleted alike).
// "vs_baseline" is how many times longer the play takes (goal: at most 1.3).
#include "testdata/emfwriter.h"
#include "ui/emfplayer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace {

constexpr int kSide = 64;
constexpr int kShapes = 36; // 8 records each, plus the header, extent, 2 tools and the end

struct Shape {
    int x;
    int y;
    COLORREF colour;
};

std::vector<Shape> Shapes() {
    std::vector<Shape> shapes;
    for (int i = 0; i < kShapes; ++i)
        shapes.push_back(Shape{(i * 7) % 48, (i * 11) % 48, static_cast<COLORREF>(i * 0x030507)});
    return shapes;
}

std::vector<std::uint8_t> Picture() {
    testdata::EmfWriter w;
    w.SetWindowExtent(kSide, kSide).SetBkMode(1);
    for (const Shape& s : Shapes()) {
        w.CreatePen(1, 0, 1, s.colour)
            .CreateBrush(2, 0, s.colour ^ 0xFFFFFF)
            .SelectObject(1)
            .SelectObject(2)
            .Rectangle(s.x, s.y, s.x + 12, s.y + 10)
            .MoveTo(s.x, s.y)
            .LineTo(s.x + 16, s.y + 14)
            .DeleteObject(1);
    }
    w.SelectObject(0x80000000u | 7).SelectObject(0x80000000u | 0);
    return w.Build();
}

void Direct(HDC dc) {
    for (const Shape& s : Shapes()) {
        HPEN pen = CreatePen(PS_SOLID, 1, s.colour);
        HBRUSH brush = CreateSolidBrush(s.colour ^ 0xFFFFFF);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        Rectangle(dc, s.x, s.y, s.x + 12, s.y + 10);
        const POINT line[2] = {{s.x, s.y}, {s.x + 16, s.y + 14}};
        Polyline(dc, line, 2);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
    }
}

template <class Draw> double Seconds(const Draw& draw) {
    const auto start = std::chrono::steady_clock::now();
    draw();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void SkinMetafileAgainstDirectCalls(benchmark::State& state) {
    const std::vector<std::uint8_t> file = Picture();
    std::unique_ptr<EmfPlayer> player = EmfPlayer::Create();
    if (!player->LoadBytes(file.data(), file.size())) {
        state.SkipWithError("the picture was refused");
        return;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(kSide, kSide, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const RECT face{0, 0, kSide, kSide};
    double playSeconds = 0.0;
    double directSeconds = 0.0;
    for (auto _ : state) {
        playSeconds += Seconds([&] { player->Play(dc, face); });
        directSeconds += Seconds([&] { Direct(dc); });
    }
    state.counters["records"] = static_cast<double>(kShapes * 8 + 6);
    state.counters["vs_baseline"] = directSeconds > 0.0 ? playSeconds / directSeconds : 0.0;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

} // namespace

BENCHMARK(SkinMetafileAgainstDirectCalls)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
