// The map display facade's drawing pass, one core, 480 x 640 with the back buffer, against
// Cairo (antialiasing off) drawing the same scene: the lines, areas, symbols and labels the pass
// draws, recorded once from the map data, the style and the pass's labels. Two ratios per map:
// a full repaint ("full_vs_cairo", goal at most 1.5) and the strip repaint after a pan of 10 % of
// the width ("strip_vs_cairo", goal at most 0.5), both against Cairo's full scene. "identical"
// is 1 when both repaints give the pixels recorded below; the glyphs one full and one strip
// repaint draw, the share of glyph bitmaps found in the cache and the placed labels each
// label offered is tested against explain the figures. The draw town
// (30 blocks a side at 8 metres per pixel: about 2,000 elements and 130 labels in view) and
// Vaduz at 10 metres per pixel on the converted extract.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "mapdisplay/mapenginefacade.h"
#include "testdata/drawtown.h"
#include "testdata/tempdir.h"
#include "tools/osm/osmconvert.h"
#include "utilities/mapgeometry/elementrecord.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/window/paint.h"

#include <benchmark/benchmark.h>

#include <cairo.h>
#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;

struct Stroke {
    std::vector<POINT> points;
    double width = 1;
    COLORREF colour = 0;
};
struct Fill {
    std::vector<POINT> points;
    COLORREF colour = 0;
};
struct Scene {
    COLORREF background = 0xFFFFFF;
    std::vector<Fill> areas;
    std::vector<Stroke> lines;
    std::vector<POINT> symbols;
    std::vector<Label> labels;
    std::size_t elements = 0;
};

// A map loaded in a facade, a transform over it and the DCs the pass draws into.
struct MapFrame {
    MapFrame(const std::u16string& levelFile, MapPoint centre, double scale)
        : facade(MapEngineFacade::Create(4096))
        , transform(MapRect{0, 0, 1 << 28, 1 << 28}) {
        isLoaded = facade && facade->LoadLevelFile(levelFile) && facade->HasLevels();
        transform.SetSize({kWidth, kHeight});
        transform.SetScale(scale);
        transform.SetCenter(centre);
        screen = CreateCompatibleDC(nullptr);
        bitmap = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
        old = SelectObject(screen, bitmap);
        options->backBuffer = true;
    }
    ~MapFrame() {
        SelectObject(screen, old);
        DeleteObject(bitmap);
        DeleteDC(screen);
    }
    MapFrame(const MapFrame&) = delete;
    MapFrame& operator=(const MapFrame&) = delete;

    // One paint; the labels placed are kept when asked.
    int Paint(bool isFull, std::vector<Label>* labels = nullptr) {
        DrawContext context;
        BeginPaint(context, options, screen, {0, 0, kWidth, kHeight}, transform, screen, isFull);
        const int result = facade->Draw(context, static_cast<float>(transform.GetScale()), nullptr);
        if (labels != nullptr)
            *labels = options->state->labels.Labels();
        EndPaint(context);
        return result;
    }

    six::RefCntPtr<MapEngineFacade> facade;
    MapTransform transform;
    std::shared_ptr<DrawOptions> options = std::make_shared<DrawOptions>();
    HDC screen = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    bool isLoaded = false;
};

// What the pass draws in the view: every element visible at the scale with its style's pens,
// brushes and symbols, and the labels of one paint.
Scene RecordScene(MapFrame& frame) {
    Scene scene;
    const float scale = static_cast<float>(frame.transform.GetScale());
    RetrievalEngineImpl* engine = frame.facade->GetLevelEngine(scale);
    MapStyle style;
    if (engine == nullptr || !style.Load(frame.facade->GetLevelStyleName(scale, false)))
        return scene;
    frame.Paint(true, &scene.labels);
    scene.background = style.Background();
    MapRect view;
    const MapPoint corner = frame.transform.ScreenToWorld({-8, -8});
    view = {corner.x, corner.y, corner.x, corner.y};
    view.Extend(frame.transform.ScreenToWorld({kWidth + 8, kHeight + 8}));
    view.Extend(frame.transform.ScreenToWorld({-8, kHeight + 8}));
    view.Extend(frame.transform.ScreenToWorld({kWidth + 8, -8}));
    ScaleFilter filter;
    filter.rect = view;
    filter.scale = scale;
    filter.table = &style.ScaleTable();
    for (auto cursor = QueryElementsByScale(*engine, filter); cursor && cursor->IsValid();
         cursor->Next()) {
        const GeometryRef& geometry = cursor->GetGeometry();
        if (!geometry)
            continue;
        ++scene.elements;
        std::vector<POINT> points;
        MapPoint p;
        for (std::uint32_t i = 0; i < geometry->GetPointCount() && geometry->GetPoint(i, p); ++i)
            points.push_back(frame.transform.WorldToScreen(p));
        const std::uint16_t elementClass = geometry->GetTypeCode();
        switch (ElementGeometryClass(cursor->GetRecord())) {
        case 0:
            if (!points.empty())
                scene.symbols.push_back(points[0]);
            break;
        case 2:
            scene.areas.push_back({points, style.brushes.Get(elementClass).colour});
            break;
        default: {
            const MapStyle::PenEntry& pen = style.pens.Get(elementClass);
            const bool isThin = style.LabelScale(elementClass) < scale;
            scene.lines.push_back({points, isThin ? 1.0 : pen.outerWidth, pen.colour});
            if (!isThin && pen.hasInner && pen.innerWidth > 0)
                scene.lines.push_back(
                    {points, static_cast<double>(pen.innerWidth), pen.innerColour});
        }
        }
    }
    return scene;
}

// The full and the strip repaint's frames as the drawing pass first gave them, by FrameHash: a
// faster pass must give the same pixels (new map data or fonts need new values).
struct FrameHashes {
    std::uint64_t full;
    std::uint64_t strip;
};
constexpr FrameHashes kDrawTownFrames{0xe79be1d4d854c250ULL, 0x4bd57871ba60764dULL};
constexpr FrameHashes kVaduzFrames{0xdaa72e15520ff8ddULL, 0xdf784bd65aa9e335ULL};

// FNV-1a over the frame's pixels, row after row.
std::uint64_t FrameHash(HDC dc) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const COLORREF pixel = GetPixel(dc, x, y);
            for (int shift = 0; shift < 32; shift += 8) {
                hash ^= (pixel >> shift) & 0xFF;
                hash *= 1099511628211ULL;
            }
        }
    }
    return hash;
}

void SetColour(cairo_t* cr, COLORREF c) {
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

void CairoDraw(cairo_t* cr, const Scene& scene, cairo_surface_t* symbol) {
    SetColour(cr, scene.background);
    cairo_paint(cr);
    for (const Fill& area : scene.areas) {
        if (area.points.size() < 3)
            continue;
        SetColour(cr, area.colour);
        cairo_move_to(cr, area.points[0].x, area.points[0].y);
        for (const POINT& p : area.points)
            cairo_line_to(cr, p.x, p.y);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
    for (const Stroke& line : scene.lines) {
        if (line.points.size() < 2)
            continue;
        SetColour(cr, line.colour);
        cairo_set_line_width(cr, line.width);
        cairo_move_to(cr, line.points[0].x + 0.5, line.points[0].y + 0.5);
        for (const POINT& p : line.points)
            cairo_line_to(cr, p.x + 0.5, p.y + 0.5);
        cairo_stroke(cr);
    }
    for (const POINT& p : scene.symbols) {
        cairo_set_source_surface(cr, symbol, p.x - 4, p.y - 4);
        cairo_rectangle(cr, p.x - 4, p.y - 4, 8, 8);
        cairo_fill(cr);
    }
    cairo_set_font_size(cr, 11);
    for (const Label& label : scene.labels) {
        std::string text;
        for (const char16_t c : label.text)
            text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        cairo_save(cr);
        cairo_translate(cr, label.corners[0].x, label.corners[0].y);
        cairo_rotate(cr, -label.angle);
        SetColour(cr, label.haloColour);
        for (const auto& [dx, dy] :
             {std::pair{-1, 0}, std::pair{1, 0}, std::pair{0, -1}, std::pair{0, 1}}) {
            cairo_move_to(cr, dx, 11 + dy);
            cairo_show_text(cr, text.c_str());
        }
        SetColour(cr, label.textColour);
        cairo_move_to(cr, 0, 11);
        cairo_show_text(cr, text.c_str());
        cairo_restore(cr);
    }
}

// Full repaints, strip repaints after pans of a tenth of the width (right, then back), and
// Cairo's full scene, in turn.
void MeasureFrame(benchmark::State& state, MapFrame& frame, const FrameHashes& frames) {
    if (!frame.isLoaded) {
        state.SkipWithError("the map does not load");
        return;
    }
    const Scene scene = RecordScene(frame);
    if (scene.elements == 0) {
        state.SkipWithError("no element in view");
        return;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_surface_t* symbol = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    {
        cairo_t* s = cairo_create(symbol);
        cairo_set_source_rgb(s, 0.8, 0.1, 0.1);
        cairo_paint(s);
        cairo_destroy(s);
    }
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_font_options_t* fontOptions = cairo_font_options_create();
    cairo_font_options_set_antialias(fontOptions, CAIRO_ANTIALIAS_NONE);
    cairo_set_font_options(cr, fontOptions);
    const MapPoint home = frame.transform.GetCenter();
    const MapPoint panned = frame.transform.ScreenToWorld({kWidth / 2 + kWidth / 10, kHeight / 2});
    // The frames of one full and one strip repaint, and the glyphs each draws.
    const platform::GlyphCounts beforeFull = platform::CountGlyphs();
    frame.Paint(true);
    const platform::GlyphCounts beforeStrip = platform::CountGlyphs();
    const bool isFullSame = FrameHash(frame.screen) == frames.full;
    frame.transform.SetCenter(panned);
    frame.Paint(false);
    const platform::GlyphCounts afterStrip = platform::CountGlyphs();
    const bool isStripSame = FrameHash(frame.screen) == frames.strip;
    const LabelLayer::PlacementCounts placedBefore = frame.options->state->labels.Counts();
    double fullSeconds = 0, stripSeconds = 0, cairoSeconds = 0;
    for (auto _ : state) {
        frame.transform.SetCenter(home);
        const auto t0 = std::chrono::steady_clock::now();
        frame.Paint(true);
        const auto t1 = std::chrono::steady_clock::now();
        frame.transform.SetCenter(panned);
        frame.Paint(false);
        const auto t2 = std::chrono::steady_clock::now();
        CairoDraw(cr, scene, symbol);
        cairo_surface_flush(surface);
        const auto t3 = std::chrono::steady_clock::now();
        fullSeconds += std::chrono::duration<double>(t1 - t0).count();
        stripSeconds += std::chrono::duration<double>(t2 - t1).count();
        cairoSeconds += std::chrono::duration<double>(t3 - t2).count();
    }
    frame.transform.SetCenter(home);
    // The pan must have reused the picture (change code 5: only the strip drawn).
    if (frame.options->state->changeCode != 5)
        state.SkipWithError("the pan did not scroll the picture");
    const platform::GlyphCounts afterAll = platform::CountGlyphs();
    const LabelLayer::PlacementCounts placedAfter = frame.options->state->labels.Counts();
    state.SetLabel(isFullSame && isStripSame ? "frames identical" : "frames DIFFER");
    state.counters["identical"] = isFullSame && isStripSame ? 1.0 : 0.0;
    state.counters["glyphs_full"] = static_cast<double>(beforeStrip.drawn - beforeFull.drawn);
    state.counters["glyphs_strip"] = static_cast<double>(afterStrip.drawn - beforeStrip.drawn);
    const std::uint64_t hits = afterAll.cacheHits - beforeFull.cacheHits;
    const std::uint64_t looked = hits + afterAll.rasterised - beforeFull.rasterised;
    state.counters["glyph_cache_hits"] = looked > 0 ? static_cast<double>(hits) / looked : 0.0;
    const std::uint64_t candidates = placedAfter.candidates - placedBefore.candidates;
    state.counters["label_tests_per_candidate"] =
        candidates > 0 ? static_cast<double>(placedAfter.tests - placedBefore.tests) / candidates
                       : 0.0;
    state.counters["elements"] = static_cast<double>(scene.elements);
    state.counters["labels"] = static_cast<double>(scene.labels.size());
    state.counters["full_vs_cairo"] = cairoSeconds > 0 ? fullSeconds / cairoSeconds : 0.0;
    state.counters["strip_vs_cairo"] = cairoSeconds > 0 ? stripSeconds / cairoSeconds : 0.0;
    cairo_font_options_destroy(fontOptions);
    cairo_destroy(cr);
    cairo_surface_destroy(symbol);
    cairo_surface_destroy(surface);
}

void BenchmarkDrawTown(benchmark::State& state) {
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    testdata::TempDeviceRoot root;
    testdata::DrawTownWriter town(30, 7);
    if (!town.WriteTo(root, u"\\maps")) {
        state.SkipWithError("the draw town cannot be written");
        return;
    }
    MapFrame frame(u"\\maps\\town.lvl", town.GetCentre(), 8.0);
    MeasureFrame(state, frame, kDrawTownFrames);
}

void BenchmarkVaduz(benchmark::State& state) {
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    testdata::TempDeviceRoot root;
    osm2nav::ConvertOptions options;
    options.extract = NAV_OSM_EXTRACT;
    options.output = root.HostPath() / "extract";
    std::ostringstream summary;
    if (!osm2nav::Convert(options, summary).empty()) {
        state.SkipWithError("the extract does not convert");
        return;
    }
    // Vaduz's town centre.
    MapFrame frame(std::u16string(u"\\extract") + osm2nav::kLevelFile,
                   DegreesToMapPoint(GeoPoint{9.5215F, 47.1405F}), 10.0);
    MeasureFrame(state, frame, kVaduzFrames);
}

} // namespace

BENCHMARK(BenchmarkDrawTown)->Unit(benchmark::kMillisecond);
BENCHMARK(BenchmarkVaduz)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
