// A map-like scene on a 480 x 640 surface drawn by our GDI, against the same primitives drawn
// by Cairo (antialiasing off) in the same run: 1,000 polylines of 20 points with pens of width
// 1 to 5, 200 filled polygons, 100 texts of 10 characters and 50 masked bitmap blits.
// "vs_baseline" is how many times longer our scene takes than Cairo's. Also texts under a clip
// region of many rectangles against the same texts unclipped, and measuring texts in fonts not
// yet cached against drawing them.
#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"

#include <benchmark/benchmark.h>

#include <cairo.h>
#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;
constexpr int kBitmapSide = 24;

struct Line {
    std::vector<POINT> points;
    int width;
    COLORREF colour;
};
struct Area {
    std::vector<POINT> points;
    COLORREF colour;
};
struct Label {
    POINT at;
    std::u16string text;
    std::string utf8;
};

struct Scene {
    std::vector<Line> lines;
    std::vector<Area> areas;
    std::vector<Label> labels;
    std::vector<POINT> symbols;
};

const Scene& TheScene() {
    static const Scene scene = [] {
        Scene s;
        std::mt19937 random(7);
        auto coordinate = [&](int most) { return static_cast<LONG>(random() % most); };
        for (int i = 0; i < 1000; ++i) {
            Line line{{}, 1 + i % 5, RGB(random() % 256, random() % 256, random() % 256)};
            POINT p{coordinate(kWidth), coordinate(kHeight)};
            for (int k = 0; k < 20; ++k) {
                line.points.push_back(p);
                p.x += coordinate(41) - 20;
                p.y += coordinate(41) - 20;
            }
            s.lines.push_back(std::move(line));
        }
        for (int i = 0; i < 200; ++i) {
            Area area{{}, RGB(random() % 256, random() % 256, random() % 256)};
            const POINT centre{coordinate(kWidth), coordinate(kHeight)};
            for (int k = 0; k < 8; ++k) {
                area.points.push_back(
                    POINT{centre.x + coordinate(61) - 30, centre.y + coordinate(61) - 30});
            }
            s.areas.push_back(std::move(area));
        }
        for (int i = 0; i < 100; ++i) {
            Label label{POINT{coordinate(kWidth - 60), coordinate(kHeight - 12)}, u"", ""};
            for (int k = 0; k < 10; ++k) {
                const char c = static_cast<char>('a' + random() % 26);
                label.text += static_cast<char16_t>(c);
                label.utf8 += c;
            }
            s.labels.push_back(std::move(label));
        }
        for (int i = 0; i < 50; ++i)
            s.symbols.push_back(
                POINT{coordinate(kWidth - kBitmapSide), coordinate(kHeight - kBitmapSide)});
        return s;
    }();
    return scene;
}

// Our GDI: a back buffer, a symbol image and its mask, and the scene's pens and brushes.
struct GdiScene {
    HDC dc, imageDc, maskDc;
    HBITMAP buffer, image, mask;
    HFONT font;
    std::vector<HPEN> pens;
    std::vector<HBRUSH> brushes;

    GdiScene() {
        dc = CreateCompatibleDC(nullptr);
        buffer = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
        SelectObject(dc, buffer);
        imageDc = CreateCompatibleDC(nullptr);
        image = CreateBitmap(kBitmapSide, kBitmapSide, 1, 32, nullptr);
        SelectObject(imageDc, image);
        maskDc = CreateCompatibleDC(nullptr);
        mask = CreateBitmap(kBitmapSide, kBitmapSide, 1, 1, nullptr);
        SelectObject(maskDc, mask);
        const RECT all{0, 0, kBitmapSide, kBitmapSide};
        FillRect(imageDc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        FillRect(maskDc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SelectObject(imageDc, GetStockObject(NULL_PEN));
        SelectObject(maskDc, GetStockObject(NULL_PEN));
        SelectObject(imageDc, GetStockObject(LTGRAY_BRUSH));
        SelectObject(maskDc, GetStockObject(BLACK_BRUSH));
        Ellipse(imageDc, 2, 2, kBitmapSide - 2, kBitmapSide - 2);
        Ellipse(maskDc, 2, 2, kBitmapSide - 2, kBitmapSide - 2);
        LOGFONTW logFont{};
        logFont.lfHeight = -12;
        const char16_t face[] = u"DejaVu Sans";
        std::copy(std::begin(face), std::end(face), logFont.lfFaceName);
        font = CreateFontIndirectW(&logFont);
        SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        for (const Line& line : TheScene().lines)
            pens.push_back(CreatePen(PS_SOLID, line.width, line.colour));
        for (const Area& area : TheScene().areas)
            brushes.push_back(CreateSolidBrush(area.colour));
    }

    void Draw() {
        const Scene& s = TheScene();
        const RECT all{0, 0, kWidth, kHeight};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SelectObject(dc, GetStockObject(NULL_PEN));
        for (std::size_t i = 0; i < s.areas.size(); ++i) {
            SelectObject(dc, brushes[i]);
            Polygon(dc, s.areas[i].points.data(), static_cast<int>(s.areas[i].points.size()));
        }
        for (std::size_t i = 0; i < s.lines.size(); ++i) {
            SelectObject(dc, pens[i]);
            Polyline(dc, s.lines[i].points.data(), static_cast<int>(s.lines[i].points.size()));
        }
        for (const Label& label : s.labels)
            TextOutW(dc, label.at.x, label.at.y, label.text.c_str(), 10);
        for (const POINT& at : s.symbols) {
            BitBlt(dc, at.x, at.y, kBitmapSide, kBitmapSide, maskDc, 0, 0, SRCAND);
            BitBlt(dc, at.x, at.y, kBitmapSide, kBitmapSide, imageDc, 0, 0, SRCPAINT);
        }
    }
};

// Cairo with the same scene, antialiasing off.
struct CairoScene {
    cairo_surface_t* surface;
    cairo_surface_t* image;
    cairo_surface_t* mask;
    cairo_t* cr;

    CairoScene() {
        surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
        image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kBitmapSide, kBitmapSide);
        mask = cairo_image_surface_create(CAIRO_FORMAT_A8, kBitmapSide, kBitmapSide);
        for (cairo_surface_t* target : {image, mask}) {
            cairo_t* c = cairo_create(target);
            cairo_set_antialias(c, CAIRO_ANTIALIAS_NONE);
            cairo_set_source_rgba(c, 0.75, 0.75, 0.75, 1);
            cairo_arc(c, kBitmapSide / 2.0, kBitmapSide / 2.0, kBitmapSide / 2.0 - 2, 0, 6.2832);
            cairo_fill(c);
            cairo_destroy(c);
        }
        cr = cairo_create(surface);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                               CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, 12);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
        cairo_set_font_options(cr, options);
        cairo_font_options_destroy(options);
    }
    ~CairoScene() {
        cairo_destroy(cr);
        cairo_surface_destroy(mask);
        cairo_surface_destroy(image);
        cairo_surface_destroy(surface);
    }
    CairoScene(const CairoScene&) = delete;
    CairoScene& operator=(const CairoScene&) = delete;

    static void Colour(cairo_t* cr, COLORREF c) {
        cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
    }

    void Draw() {
        const Scene& s = TheScene();
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        for (const Area& area : s.areas) {
            Colour(cr, area.colour);
            cairo_move_to(cr, area.points[0].x, area.points[0].y);
            for (const POINT& p : area.points)
                cairo_line_to(cr, p.x, p.y);
            cairo_close_path(cr);
            cairo_fill(cr);
        }
        for (const Line& line : s.lines) {
            Colour(cr, line.colour);
            cairo_set_line_width(cr, line.width);
            cairo_move_to(cr, line.points[0].x + 0.5, line.points[0].y + 0.5);
            for (const POINT& p : line.points)
                cairo_line_to(cr, p.x + 0.5, p.y + 0.5);
            cairo_stroke(cr);
        }
        cairo_set_source_rgb(cr, 0, 0, 0);
        for (const Label& label : s.labels) {
            cairo_move_to(cr, label.at.x, label.at.y + 11);
            cairo_show_text(cr, label.utf8.c_str());
        }
        for (const POINT& at : s.symbols) {
            cairo_set_source_surface(cr, image, at.x, at.y);
            cairo_mask_surface(cr, mask, at.x, at.y);
        }
        cairo_surface_flush(surface);
    }
};

void BenchmarkMapScene(benchmark::State& state) {
    GdiScene ours;
    CairoScene cairo;
    double oursSeconds = 0, cairoSeconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        ours.Draw();
        const auto middle = std::chrono::steady_clock::now();
        cairo.Draw();
        const auto end = std::chrono::steady_clock::now();
        oursSeconds += std::chrono::duration<double>(middle - start).count();
        cairoSeconds += std::chrono::duration<double>(end - middle).count();
    }
    state.counters["vs_baseline"] = cairoSeconds > 0 ? oursSeconds / cairoSeconds : 0.0;
    state.counters["scenes"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The scene's 100 texts on a memory DC without a clip region and under a region of 160 small
// holes cut into the surface (a text near a row of holes crosses many of its rectangles), in
// the same run. "vs_baseline" is how many times longer the clipped texts take than the unclipped.
void BenchmarkTextUnderClip(benchmark::State& state) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP buffer = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
    SelectObject(dc, buffer);
    LOGFONTW logFont{};
    logFont.lfHeight = -12;
    logFont.lfQuality = ANTIALIASED_QUALITY;
    const char16_t face[] = u"DejaVu Sans";
    std::copy(std::begin(face), std::end(face), logFont.lfFaceName);
    HFONT font = CreateFontIndirectW(&logFont);
    SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    const auto drawTexts = [&] {
        for (const Label& label : TheScene().labels)
            TextOutW(dc, label.at.x, label.at.y, label.text.c_str(), 10);
    };
    const auto cutHoles = [&] {
        for (int y = 0; y < kHeight; y += 64) {
            for (int x = 0; x < kWidth; x += 30)
                ExcludeClipRect(dc, x, y, x + 4, y + 4);
        }
    };
    double plainSeconds = 0, clippedSeconds = 0;
    for (auto _ : state) {
        SelectClipRgn(dc, nullptr);
        const auto start = std::chrono::steady_clock::now();
        drawTexts();
        const auto middle = std::chrono::steady_clock::now();
        cutHoles();
        const auto cut = std::chrono::steady_clock::now();
        drawTexts();
        const auto end = std::chrono::steady_clock::now();
        plainSeconds += std::chrono::duration<double>(middle - start).count();
        clippedSeconds += std::chrono::duration<double>(end - cut).count();
    }
    state.counters["vs_baseline"] = plainSeconds > 0 ? clippedSeconds / plainSeconds : 0.0;
    SelectClipRgn(dc, nullptr);
    DeleteDC(dc);
    DeleteObject(buffer);
    DeleteObject(font);
}

// A text measured (GetTextExtentPoint32W) against the same text drawn (TextOutW), each time in
// a font of a size not yet in the font cache (100 sizes from 12 to 408 pixels, one set of fonts
// for measuring and an equal one for drawing, more than the cache holds), in the same run.
// "vs_baseline" is how many times longer measuring takes than drawing.
void BenchmarkMeasureAgainstDraw(benchmark::State& state) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP buffer = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
    SelectObject(dc, buffer);
    SetBkMode(dc, TRANSPARENT);
    std::vector<HFONT> measured, drawn;
    for (LONG size = 12; size < 412; size += 4) {
        LOGFONTW logFont{};
        logFont.lfHeight = -size;
        const char16_t face[] = u"DejaVu Sans";
        std::copy(std::begin(face), std::end(face), logFont.lfFaceName);
        measured.push_back(CreateFontIndirectW(&logFont));
        logFont.lfWidth = 1; // unused by the rasteriser, but a font of its own
        drawn.push_back(CreateFontIndirectW(&logFont));
    }
    const std::u16string text = u"Hallo, Weg";
    const int length = static_cast<int>(text.size());
    HGDIOBJ oldFont = SelectObject(dc, measured.front());
    double measureSeconds = 0, drawSeconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (HFONT font : measured) {
            SelectObject(dc, font);
            SIZE size{};
            benchmark::DoNotOptimize(GetTextExtentPoint32W(dc, text.c_str(), length, &size));
            benchmark::DoNotOptimize(size);
        }
        const auto middle = std::chrono::steady_clock::now();
        for (HFONT font : drawn) {
            SelectObject(dc, font);
            TextOutW(dc, 10, 10, text.c_str(), length);
        }
        const auto end = std::chrono::steady_clock::now();
        measureSeconds += std::chrono::duration<double>(middle - start).count();
        drawSeconds += std::chrono::duration<double>(end - middle).count();
    }
    state.counters["vs_baseline"] = drawSeconds > 0 ? measureSeconds / drawSeconds : 0.0;
    SelectObject(dc, oldFont);
    for (HFONT font : measured)
        DeleteObject(font);
    for (HFONT font : drawn)
        DeleteObject(font);
    DeleteDC(dc);
    DeleteObject(buffer);
}

} // namespace

BENCHMARK(BenchmarkMapScene)->Unit(benchmark::kMillisecond);
BENCHMARK(BenchmarkTextUnderClip)->Unit(benchmark::kMillisecond);
BENCHMARK(BenchmarkMeasureAgainstDraw)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
