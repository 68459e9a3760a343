// The junction picture for every advice of the four longest routes between the municipalities of
// the shared extract (converted at the start, with the demo data): the whole picture (a new
// crossing view, its appearance, Draw into 240 x 200) per advice, and the painting of the built
// pictures against Cairo (antialiasing off) drawing the same recorded primitives in the same
// run. Counters: "advices", "picture_ms" per advice (the goal: below 2 ms), "paint_ms" and
// "cairo_ms" per picture and "ratio" (painting over Cairo; the goal: at most 1.0).
#include "advisor/advisor.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "bench/benchextract.h"
#include "junctionview/paint/crossingview.h"
#include "testdata/simulateddrive.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cairo.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kRoutes = 4;
constexpr int kWidth = 240;
constexpr int kHeight = 200;
constexpr RECT kPicture{0, 0, kWidth, kHeight};
const std::u16string kFolder = u"\\jvbench";

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Advised {
    AdvicePtr advice;
    RouteIteratorPtr route;
    std::int32_t kind = -1;
};

struct ViewExtract : benchextract::Extract {
    std::vector<std::vector<Advised>> advice; // per route
};

// The first advice of every junction and kind along a drive in steps of 10 m.
std::vector<Advised> DriveAdvice(ViewExtract& extract, const RouteRequestResult& route) {
    std::vector<Advised> advised;
    AdvisorPtr advisor;
    CreateAdvisorFacade(advisor, RetrievalEngine::RetrievalEnginePtr(extract.engine), route,
                        kFolder + u"\\ConfigFiles", {});
    if (!advisor) {
        return advised;
    }
    std::set<std::pair<std::uint32_t, std::int32_t>> seen;
    testdata::SimulatedDrive drive(route.route, 10.0);
    for (testdata::DrivePosition at; drive.Next(at);) {
        AdvicePtr advice;
        if (!advisor->CreateAdvice(advice, at.position, at.route, 0) || !advice->IsValid()) {
            continue;
        }
        const AdviceValuePtr value = advice->Current();
        const RouteIteratorPtr cursor = value ? value->GetRouteIterator() : nullptr;
        if (cursor && cursor->IsValid() &&
            seen.insert({cursor->Current().linkId, value->GetKind()}).second) {
            advised.push_back({advice->Clone(), cursor->Clone(), value->GetKind()});
        }
    }
    return advised;
}

bool CopyPictures(ViewExtract& extract) {
    const std::filesystem::path from =
        std::filesystem::path(NAV_DEMO_DATA) / "ConfigFiles" / "HiWayImages";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(from, error)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        const std::string name = entry.path().filename().string();
        if (!extract.root.WriteFile(kFolder + u"\\ConfigFiles\\HiWayImages\\" +
                                        std::u16string(name.begin(), name.end()),
                                    bytes.str())) {
            return false;
        }
    }
    return !error;
}

ViewExtract& TheViewExtract() {
    static const std::unique_ptr<ViewExtract> extract = [] {
        auto made = std::make_unique<ViewExtract>();
        benchextract::Open(*made, "jvbench", kRoutes);
        if (!made->error.empty()) {
            return made;
        }
        if (!CopyPictures(*made)) {
            made->error = "the demo junction pictures cannot be copied";
            return made;
        }
        for (const RouteRequestResult& route : made->routes) {
            made->advice.push_back(DriveAdvice(*made, route));
        }
        return made;
    }();
    return *extract;
}

CrossingViewPtr NewView(const ViewExtract& extract, const RouteRequestResult& route) {
    CrossingViewPtr view = CreateCrossingView(
        route, RetrievalEngine::RetrievalEnginePtr(extract.engine), kFolder.c_str());
    view->SetAppearance(RGB(30, 80, 220), RGB(250, 250, 235), RGB(90, 90, 90), RGB(210, 210, 210),
                        RGB(230, 160, 160), RGB(0, 0, 0), 0.05, 16, 200, 10, 8, u"");
    return view;
}

// A 240 x 200 memory DC.
struct Surface {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    Surface() = default;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    ~Surface() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

void WholePicture(benchmark::State& state) {
    ViewExtract& extract = TheViewExtract();
    if (!extract.error.empty()) {
        state.SkipWithError(extract.error.c_str());
        return;
    }
    const auto index = static_cast<std::size_t>(state.range(0));
    const std::vector<Advised>& advised = extract.advice[index];
    if (advised.empty()) {
        state.SkipWithError("no advice");
        return;
    }
    Surface surface;
    const auto start = Clock::now();
    for (auto _ : state) {
        for (const Advised& a : advised) {
            const CrossingViewPtr view = NewView(extract, extract.routes[index]);
            std::int32_t result = 0;
            view->Draw(a.route, a.advice, kPicture, surface.dc, &result);
            benchmark::DoNotOptimize(result);
        }
    }
    const double ms = MsSince(start);
    state.counters["advices"] = static_cast<double>(advised.size());
    state.counters["picture_ms"] =
        ms / (static_cast<double>(state.iterations()) * static_cast<double>(advised.size()));
}

void SetSource(cairo_t* cr, COLORREF colour) {
    cairo_set_source_rgb(cr, GetRValue(colour) / 255.0, GetGValue(colour) / 255.0,
                         GetBValue(colour) / 255.0);
}

void CairoPath(cairo_t* cr, const std::vector<POINT>& points, bool isClosed) {
    cairo_new_path(cr);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double x = points[i].x + 0.5;
        const double y = points[i].y + 0.5;
        if (i == 0) {
            cairo_move_to(cr, x, y);
        } else {
            cairo_line_to(cr, x, y);
        }
    }
    if (isClosed) {
        cairo_close_path(cr);
    }
}

// Fills with the brush and outlines with the pen (none for PS_NULL).
void CairoFillAndStroke(cairo_t* cr, const JunctionPrimitive& p) {
    SetSource(cr, p.brush);
    if (p.pen.style == PS_NULL) {
        cairo_fill(cr);
        return;
    }
    cairo_fill_preserve(cr);
    SetSource(cr, p.pen.colour);
    cairo_set_line_width(cr, std::max(1, p.pen.width));
    cairo_stroke(cr);
}

void CairoReplay(cairo_t* cr, const std::vector<JunctionPrimitive>& primitives) {
    for (const JunctionPrimitive& p : primitives) {
        switch (p.kind) {
        case JunctionPrimitive::Kind::Polygon:
            CairoPath(cr, p.points, true);
            CairoFillAndStroke(cr, p);
            break;
        case JunctionPrimitive::Kind::Polyline:
            CairoPath(cr, p.points, false);
            SetSource(cr, p.pen.colour);
            cairo_set_line_width(cr, std::max(1, p.pen.width));
            cairo_stroke(cr);
            break;
        case JunctionPrimitive::Kind::Ellipse: {
            const double cx = (p.points[0].x + p.points[1].x) / 2.0;
            const double cy = (p.points[0].y + p.points[1].y) / 2.0;
            const double r = std::max(1.0, (p.points[1].x - p.points[0].x) / 2.0);
            cairo_new_path(cr);
            cairo_arc(cr, cx, cy, r, 0, 6.2832);
            CairoFillAndStroke(cr, p);
            break;
        }
        case JunctionPrimitive::Kind::Rectangle:
            cairo_new_path(cr);
            cairo_rectangle(cr, p.points[0].x, p.points[0].y, p.points[1].x - p.points[0].x,
                            p.points[1].y - p.points[0].y);
            CairoFillAndStroke(cr, p);
            break;
        case JunctionPrimitive::Kind::Bitmap:
            break;
        }
    }
}

void PaintingAgainstCairo(benchmark::State& state) {
    ViewExtract& extract = TheViewExtract();
    if (!extract.error.empty()) {
        state.SkipWithError(extract.error.c_str());
        return;
    }
    const auto index = static_cast<std::size_t>(state.range(0));
    // The built pictures (bitmaps left out) with their recorded primitives.
    std::vector<CrossingViewPtr> views;
    std::vector<std::vector<JunctionPrimitive>> recorded;
    for (const Advised& a : extract.advice[index]) {
        if (a.kind == CrossingView::kDestinationReached ||
            a.kind == CrossingView::kDestinationAhead) {
            continue;
        }
        CrossingViewPtr view = NewView(extract, extract.routes[index]);
        RecordingJunctionCanvas canvas;
        std::int32_t result = 0;
        view->Draw(a.route, a.advice, kPicture, canvas, &result);
        if (result == 1) {
            views.push_back(view);
            recorded.push_back(canvas.Primitives());
        }
    }
    if (views.empty()) {
        state.SkipWithError("no picture");
        return;
    }
    Surface surface;
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(target);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    double paintMs = 0.0;
    double cairoMs = 0.0;
    for (auto _ : state) {
        auto start = Clock::now();
        for (const CrossingViewPtr& view : views) {
            GdiJunctionCanvas canvas(surface.dc);
            const COLORREF background = view->Style().backgroundColour;
            canvas.SetBrush(background);
            canvas.SetPen({PS_SOLID, 1, background});
            canvas.DrawRectangle(-20, -20, kWidth + 20, kHeight + 20);
            view->PaintJunction(canvas);
        }
        paintMs += MsSince(start);
        start = Clock::now();
        for (const auto& primitives : recorded) {
            CairoReplay(cr, primitives);
        }
        cairo_surface_flush(target);
        cairoMs += MsSince(start);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(target);
    const double per = static_cast<double>(state.iterations()) * static_cast<double>(views.size());
    state.counters["pictures"] = static_cast<double>(views.size());
    state.counters["paint_ms"] = paintMs / per;
    state.counters["cairo_ms"] = cairoMs / per;
    state.counters["ratio"] = cairoMs > 0.0 ? paintMs / cairoMs : 0.0;
}

} // namespace

BENCHMARK(WholePicture)->DenseRange(0, kRoutes - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(PaintingAgainstCairo)->DenseRange(0, kRoutes - 1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
