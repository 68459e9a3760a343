// 5,000 line elements of 10 points in 20 classes, laid out in joined runs of 10, drawn by the
// painter (line batch, pen choice) into a 480 x 640 surface, against the same points drawn with
// one pen selection and one Polyline per element straight on our GDI in the same run
// ("vs_baseline", goal at most 1.0), and against Cairo stroking the same polylines
// ("vs_cairo").
#include "mapdisplay/painter.h"
#include "testdata/stylesheetwriter.h"
#include "utilities/usefulcode/ifile.h"

#include <benchmark/benchmark.h>

#include <cairo.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;
constexpr int kClasses = 20;
constexpr std::uint16_t kFirstClass = 1010;

class PixelTransform final : public IMapTransform {
public:
    POINT WorldToScreen(const MapPoint& p) const override { return {p.x, p.y}; }
    MapPoint ScreenToWorld(const POINT& p) const override { return {p.x, p.y}; }
    MapRect GetExtent() const override { return {}; }
    void SetScale(double) override {}
    double GetScale() const override { return 10.0; }
    void SetCenter(const MapPoint&) override {}
    MapPoint GetCenter() const override { return {}; }
    void SetSize(const SIZE&) override {}
    SIZE GetSize() const override { return {kWidth, kHeight}; }
    void SetRotation(double) override {}
    double GetRotation() const override { return 0; }
    int Query() const override { return 0; }
};

class Element final : public GeometryElement {
public:
    Element(std::uint16_t elementClass, std::vector<MapPoint> points)
        : m_points(std::move(points)) {
        std::memcpy(m_record.data() + 8, &elementClass, 2);
        m_record[11] = 'p';
        std::memset(m_record.data() + 12, 0xFF, 4);
    }
    ~Element() = default;
    Element(const Element&) = default;
    Element(Element&&) = default;
    std::uint32_t GetAttributeWord() const override { return 0; }
    std::uint16_t GetTypeCode() const override {
        std::uint16_t value = 0;
        std::memcpy(&value, m_record.data() + 8, 2);
        return value;
    }
    MapRect GetBounds() const override { return {}; }
    const std::uint8_t* GetRecord() const override { return m_record.data(); }
    bool Intersects(const MapRect&) const override { return true; }
    std::uint32_t GetPointCount() const override {
        return static_cast<std::uint32_t>(m_points.size());
    }
    bool GetPoint(std::uint32_t index, MapPoint& point) const override {
        if (index >= m_points.size())
            return false;
        point = m_points[index];
        return true;
    }
    [[nodiscard]] const std::vector<MapPoint>& Points() const { return m_points; }

private:
    std::array<std::uint8_t, 16> m_record{};
    std::vector<MapPoint> m_points;
};

const std::vector<Element>& Elements() {
    static const std::vector<Element> elements = [] {
        std::vector<Element> list;
        std::mt19937 random(11);
        const auto step = [&] { return static_cast<std::int32_t>(random() % 31) - 15; };
        for (int run = 0; run < 500; ++run) {
            const auto elementClass = static_cast<std::uint16_t>(kFirstClass + run % kClasses);
            MapPoint p{static_cast<std::int32_t>(random() % kWidth),
                       static_cast<std::int32_t>(random() % kHeight)};
            for (int e = 0; e < 10; ++e) {
                std::vector<MapPoint> points{p};
                for (int k = 1; k < 10; ++k) {
                    p = {std::clamp(p.x + step(), 0, kWidth - 1),
                         std::clamp(p.y + step(), 0, kHeight - 1)};
                    points.push_back(p);
                }
                list.emplace_back(elementClass, std::move(points));
            }
        }
        return list;
    }();
    return elements;
}

COLORREF ClassColour(int i) {
    return RGB(40 + i * 10, 200 - i * 8, (i * 37) % 256);
}
int ClassWidth(int i) {
    return 1 + i % 3;
}

// The style: one pen per class, no inner lines.
class MemoryFile final : public IFile {
public:
    explicit MemoryFile(std::vector<std::uint8_t> bytes)
        : m_bytes(std::move(bytes)) {}
    bool Open(const std::u16string&, FileAccess, FileShare, FileCreation, FileHint) override {
        return false;
    }
    bool IsOpen() const override { return true; }
    bool Close() override { return true; }
    DWORD Seek(LONG offset, SeekOrigin) override {
        m_at = static_cast<std::size_t>(offset);
        return static_cast<DWORD>(m_at);
    }
    DWORD Read(void* buffer, DWORD count) override {
        const std::size_t n = std::min<std::size_t>(count, m_bytes.size() - m_at);
        std::memcpy(buffer, m_bytes.data() + m_at, n);
        m_at += n;
        return static_cast<DWORD>(n);
    }
    DWORD Write(const void*, DWORD) override { return 0; }
    DWORD GetSize() override { return static_cast<DWORD>(m_bytes.size()); }
    bool Truncate(LONG) override { return false; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_at = 0;
};

void BuildStyle(MapStyle& style) {
    testdata::StyleSheetWriter writer;
    for (int i = 0; i < kClasses; ++i) {
        writer.pens.push_back({{static_cast<std::uint16_t>(kFirstClass + i), 0, 100, 1000, 100},
                               static_cast<std::uint16_t>(ClassWidth(i)),
                               ClassColour(i),
                               0,
                               0});
    }
    MemoryFile file(writer.Write());
    MapStyleFile sheet;
    if (sheet.Load(file))
        style.Build(sheet);
}

struct Surface {
    Surface() {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
        SelectObject(dc, bitmap);
    }
    ~Surface() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    void Clear() const {
        const RECT all{0, 0, kWidth, kHeight};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    HDC dc;
    HBITMAP bitmap;
};

void PainterDraw(MapStyle& style, DrawContext& context) {
    style.ClearSelectedClass();
    for (const Element& element : Elements())
        DrawPolyline(style, context, element, 0, 0);
    context.lineBatch->Flush(context, 0);
}

void DirectDraw(HDC dc, const std::vector<HPEN>& pens) {
    std::vector<POINT> points;
    for (const Element& element : Elements()) {
        points.clear();
        for (const MapPoint& p : element.Points())
            points.push_back({p.x, p.y});
        SelectObject(dc, pens[element.GetTypeCode() - kFirstClass]);
        Polyline(dc, points.data(), static_cast<int>(points.size()));
    }
}

void CairoDraw(cairo_t* cr) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    for (const Element& element : Elements()) {
        const int i = element.GetTypeCode() - kFirstClass;
        const COLORREF c = ClassColour(i);
        cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
        cairo_set_line_width(cr, ClassWidth(i));
        const std::vector<MapPoint>& points = element.Points();
        cairo_move_to(cr, points[0].x + 0.5, points[0].y + 0.5);
        for (const MapPoint& p : points)
            cairo_line_to(cr, p.x + 0.5, p.y + 0.5);
        cairo_stroke(cr);
    }
}

void BenchmarkPainterLines(benchmark::State& state) {
    MapStyle style;
    BuildStyle(style);
    PixelTransform transform;
    LineBatch batch;
    Surface painted;
    Surface direct;
    DrawContext context;
    context.options = std::make_shared<DrawOptions>();
    context.options->names = false;
    context.dc = painted.dc;
    context.rect = {0, 0, kWidth, kHeight};
    context.style = &style;
    context.transform = &transform;
    context.scale = 10.0F;
    context.lineBatch = &batch;
    std::vector<HPEN> pens;
    for (int i = 0; i < kClasses; ++i)
        pens.push_back(CreatePen(PS_SOLID, ClassWidth(i), ClassColour(i)));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    double painterSeconds = 0, directSeconds = 0, cairoSeconds = 0;
    for (auto _ : state) {
        painted.Clear();
        direct.Clear();
        const auto t0 = std::chrono::steady_clock::now();
        PainterDraw(style, context);
        const auto t1 = std::chrono::steady_clock::now();
        DirectDraw(direct.dc, pens);
        const auto t2 = std::chrono::steady_clock::now();
        CairoDraw(cr);
        cairo_surface_flush(surface);
        const auto t3 = std::chrono::steady_clock::now();
        painterSeconds += std::chrono::duration<double>(t1 - t0).count();
        directSeconds += std::chrono::duration<double>(t2 - t1).count();
        cairoSeconds += std::chrono::duration<double>(t3 - t2).count();
    }
    // Both drew the same lines: their inked pixels agree to within 5 %.
    int paintedInk = 0, directInk = 0;
    for (int y = 0; y < kHeight; y += 2) {
        for (int x = 0; x < kWidth; x += 2) {
            paintedInk += GetPixel(painted.dc, x, y) != 0xFFFFFF ? 1 : 0;
            directInk += GetPixel(direct.dc, x, y) != 0xFFFFFF ? 1 : 0;
        }
    }
    if (directInk == 0 || std::abs(paintedInk - directInk) * 20 > directInk)
        state.SkipWithError("the painter did not draw what the direct calls drew");
    state.counters["vs_baseline"] = directSeconds > 0 ? painterSeconds / directSeconds : 0.0;
    state.counters["vs_cairo"] = cairoSeconds > 0 ? painterSeconds / cairoSeconds : 0.0;
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    for (HPEN pen : pens)
        DeleteObject(pen);
}

} // namespace

BENCHMARK(BenchmarkPainterLines)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
