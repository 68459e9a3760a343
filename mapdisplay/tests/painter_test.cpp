#include "mapdisplay/enginenamereader.h"
#include "mapdisplay/painter.h"
#include "testdata/bytesfile.h"
#include "testdata/mapsetwriter.h"
#include "testdata/memoryblockfile.h"
#include "testdata/stylesheetwriter.h"
#include "utilities/mapgeometry/elementrecord.h"

#include "platform/gdi/gdi.h"
#include "platform/kernel/debug.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr COLORREF kPaper = 0x123456;
constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kYellow = 0x00FFFF;
constexpr COLORREF kGreen = 0x00FF00;

// A view of 200 x 100 pixels: unit map units per pixel around a centre, y down, so that
// whole-pixel moves are exact. The default maps map units one to one onto pixels.
class GridTransform final : public IMapTransform {
public:
    explicit GridTransform(int unit = 1, MapPoint centre = {100, 50})
        : m_unit(unit)
        , m_centre(centre) {}
    POINT WorldToScreen(const MapPoint& p) const override {
        return {(p.x - m_centre.x) / m_unit + 100, (p.y - m_centre.y) / m_unit + 50};
    }
    MapPoint ScreenToWorld(const POINT& p) const override {
        return {m_centre.x + (p.x - 100) * m_unit, m_centre.y + (p.y - 50) * m_unit};
    }
    MapRect GetExtent() const override { return {}; }
    void SetScale(double metresPerPixel) override { m_scale = metresPerPixel; }
    double GetScale() const override { return m_scale; }
    void SetCenter(const MapPoint& centre) override { m_centre = centre; }
    MapPoint GetCenter() const override { return m_centre; }
    void SetSize(const SIZE&) override {}
    SIZE GetSize() const override { return {200, 100}; }
    void SetRotation(double rotation) override { m_rotation = rotation; }
    double GetRotation() const override { return m_rotation; }
    int Query() const override { return 0; }

private:
    int m_unit;
    MapPoint m_centre;
    double m_scale = 2.0;
    double m_rotation = 0;
};

// An element of a kind letter, class, attribute word and name id with its points.
class Element final : public GeometryElement {
public:
    Element(char letter, std::uint16_t elementClass, std::vector<MapPoint> points,
            std::uint32_t attributes = 0, std::uint32_t nameId = 0xFFFFFFFF)
        : m_points(std::move(points)) {
        std::memcpy(m_record.data(), &attributes, 4);
        std::memcpy(m_record.data() + 8, &elementClass, 2);
        m_record[11] = static_cast<std::uint8_t>(letter);
        std::memcpy(m_record.data() + 12, &nameId, 4);
    }
    ~Element() = default;
    std::uint32_t GetAttributeWord() const override { return maprecord::ReadU32(m_record.data()); }
    std::uint16_t GetTypeCode() const override { return maprecord::ReadU16(m_record.data() + 8); }
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

private:
    std::array<std::uint8_t, 16> m_record{};
    std::vector<MapPoint> m_points;
};

// A memory DC on a bitmap of the given depth filled with kPaper.
class Surface {
public:
    Surface(int width, int height, int bits = 32) {
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateBitmap(width, height, 1, bits, nullptr);
        m_old = SelectObject(m_dc, m_bitmap);
        HBRUSH brush = CreateSolidBrush(kPaper);
        const RECT all{0, 0, width, height};
        FillRect(m_dc, &all, brush);
        DeleteObject(brush);
    }
    ~Surface() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    [[nodiscard]] HDC Dc() const { return m_dc; }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
};

testdata::StyleHeaderSpec Header(std::uint16_t elementClass, float labelScale) {
    return {elementClass, 0, 100, 1000.0F, labelScale};
}

testdata::StyleSheetWriter TestSheet() {
    testdata::StyleSheetWriter w;
    w.pens = {{Header(1010, 100), 3, kRed, 1, kYellow},
              {Header(1040, 100), 2, kGreen, 0, 0},
              {Header(1050, 1), 3, kRed, 1, kYellow}};
    testdata::BitmapSpec image{4, 4, 24, true, false, {}, {}};
    image.pixels = {0x008080, 0xFF0000, 0xFF0000, 0x008080, 0xFF0000, 0x00FF00, 0x00FF00, 0xFF0000,
                    0xFF0000, 0x00FF00, 0x00FF00, 0xFF0000, 0x008080, 0xFF0000, 0xFF0000, 0x008080};
    testdata::BitmapSpec mask{4, 4, 1, true, false, {0x000000, 0xFFFFFF}, {}};
    mask.pixels = {1, 1, 1, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1};
    w.symbols = {{Header(5001, 100), image, std::nullopt}, {Header(5002, 100), image, mask}};
    w.brushes = {{Header(2000, 100), kGreen, std::nullopt},
                 {Header(2001, 100), kRed, std::array<std::uint8_t, 8>{1, 1, 1, 1, 1, 1, 1, 1}},
                 {Header(2002, 100), 0xFFFFFF,
                  std::array<std::uint8_t, 8>{0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}}};
    w.background = 0xEEEEEE;
    return w;
}

void BuildStyle(MapStyle& style, const testdata::StyleSheetWriter& writer) {
    const std::vector<std::uint8_t> bytes = writer.Write();
    testdata::BytesFile file(bytes);
    MapStyleFile sheet;
    ASSERT_TRUE(sheet.Load(file));
    style.Build(sheet);
}

struct Painting {
    explicit Painting(HDC dc, float scale = 2.0F) {
        BuildStyle(style, TestSheet());
        transform.SetScale(scale);
        context.options = options;
        context.dc = dc;
        context.rect = {0, 0, 200, 100};
        context.style = &style;
        context.transform = &transform;
        context.scale = scale;
        context.lineBatch = &batch;
    }
    std::shared_ptr<DrawOptions> options = std::make_shared<DrawOptions>();
    MapStyle style;
    GridTransform transform;
    LineBatch batch;
    DrawContext context;
};

std::array<LONG, 4> Sides(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// The rows of column x whose pixel is not the paper, top to bottom.
std::vector<int> InkedRows(HDC dc, int x, int height) {
    std::vector<int> rows;
    for (int y = 0; y < height; ++y) {
        if (GetPixel(dc, x, y) != kPaper)
            rows.push_back(y);
    }
    return rows;
}

TEST(PainterLines, WidthInnerLineAndSecondPassFollowScaleAndClass) {
    const struct {
        const char* name;
        std::uint16_t elementClass;
        float scale;
        std::size_t outerRows;
        bool hasSecondPass;
    } cases[] = {
        {"widened with inner line", 1010, 2.0F, 4, true},
        {"above the widen scale", 1010, 10.0F, 3, true},
        {"label scale below the scale: thin", 1050, 2.0F, 1, false},
        {"no inner line: widened outer only", 1040, 2.0F, 4, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Surface surface(200, 100);
        Painting painting(surface.Dc(), c.scale);
        const Element line('l', c.elementClass, {{10, 50}, {90, 50}});
        const int result = DrawLine(painting.style, painting.context, line, 0, 0);
        painting.batch.Flush(painting.context, 0);
        const std::vector<int> rows = InkedRows(surface.Dc(), 50, 100);
        EXPECT_EQ(rows.size(), c.outerRows);
        EXPECT_EQ(result == 0, c.hasSecondPass);
        if (!c.hasSecondPass)
            continue;
        EXPECT_EQ(DrawLine(painting.style, painting.context, line, 1, 0), 1);
        painting.batch.Flush(painting.context, 1);
        EXPECT_EQ(GetPixel(surface.Dc(), 50, 50), kYellow);
        EXPECT_EQ(InkedRows(surface.Dc(), 50, 100), rows);
    }
}

TEST(PainterLines, FewerThanTwoDevicePointsAddNothing) {
    Surface surface(200, 100);
    Painting painting(surface.Dc());
    const Element dot('l', 1010, {{10, 50}, {10, 50}});
    EXPECT_EQ(DrawLine(painting.style, painting.context, dot, 0, 0), 1);
    const Element single('p', 1010, {{10, 50}});
    EXPECT_EQ(DrawPolyline(painting.style, painting.context, single, 0, 0), 1);
    EXPECT_EQ(painting.batch.PointCount(), 0U);
}

TEST(PainterLines, SegmentOutsideTheViewEndsAVisibleRun) {
    Surface surface(200, 100);
    Painting painting(surface.Dc());
    const std::vector<MapPoint> points = {{10, 50},   {150, 50}, {150, 500},
                                          {160, 500}, {160, 50}, {190, 50}};
    const std::vector<POINT>& visible =
        painting.batch.Add(painting.context, points.data(), points.size(), 1040, 0, 0);
    EXPECT_EQ(visible.size(), 6U);
    EXPECT_EQ(painting.batch.RunStarts(), (std::vector<std::size_t>{0, 3}));
    // The first run was drawn when the outside segment ended it; the second waits in the batch.
    EXPECT_EQ(GetPixel(surface.Dc(), 100, 50), kGreen);
    EXPECT_EQ(GetPixel(surface.Dc(), 175, 50), kPaper);
    EXPECT_EQ(painting.batch.PointCount(), 3U);
}

// A part of the view being drawn gets the edge of a wide line that runs outside it, as a whole
// repaint draws it there, however far the pen of the scale reaches.
TEST(PainterLines, AWideLineBesideThePartDrawnReachesIntoIt) {
    const struct {
        const char* name;
        float scale;
        LONG lineY; // the part drawn begins at row 50
    } cases[] = {
        {"just outside, 4 pixels wide", 2.0F, 49},
        {"20 pixels outside, widened to 42 pixels", 0.1F, 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Surface surface(200, 100);
        Painting painting(surface.Dc(), c.scale);
        painting.context.rect = {0, 50, 200, 100};
        const std::vector<MapPoint> points = {{10, c.lineY}, {190, c.lineY}};
        (void)painting.batch.Add(painting.context, points.data(), points.size(), 1010, 0, 0);
        painting.batch.Flush(painting.context, 0);
        EXPECT_EQ(GetPixel(surface.Dc(), 100, 50), kRed);
    }
}

TEST(PainterLines, JoinedLinesGetArrowsEvery600Pixels) {
    const struct {
        const char* name;
        bool isJoined;
        int direction;
        std::size_t arrows;
    } cases[] = {
        {"joined, along", true, 1, 1},
        {"joined, against", true, 2, 1},
        {"separate", false, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Surface surface(800, 100);
        Painting painting(surface.Dc());
        painting.context.rect = {0, 0, 800, 100};
        painting.batch.SetArrows(true);
        for (int i = 0; i < 3; ++i) {
            const int start = 10 + i * (c.isJoined ? 250 : 260);
            const Element line('p', 1010, {{start, 50}, {start + 250, 50}},
                               static_cast<std::uint32_t>(c.direction));
            DrawPolyline(painting.style, painting.context, line, 1, 0);
        }
        painting.batch.Flush(painting.context, 1);
        // The arrow sits at the middle of the third segment (x = 635): its apex is there, its
        // tail 20 pixels behind; the white fill shows between.
        const int apex = 635;
        const int tail = c.direction == 1 ? apex - 20 : apex + 20;
        const int inside = c.direction == 1 ? apex - 15 : apex + 15;
        EXPECT_EQ(GetPixel(surface.Dc(), apex, 50) == 0x000000, c.arrows == 1);
        EXPECT_EQ(GetPixel(surface.Dc(), tail, 48) == 0x000000, c.arrows == 1);
        EXPECT_EQ(GetPixel(surface.Dc(), inside, 50) == 0xFFFFFF, c.arrows == 1);
    }
}

TEST(PainterLines, ArrowPolygonPointsAlongOrAgainstTheSegment) {
    const std::array<POINT, 7> along = DirectionArrow({0, 0}, {100, 0}, {50, 0}, 1);
    const std::array<POINT, 7> expectedAlong = {POINT{30, -2}, POINT{40, -2}, POINT{38, -3},
                                                POINT{50, 0},  POINT{38, 3},  POINT{40, 2},
                                                POINT{30, 2}};
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(along[i].x, expectedAlong[i].x) << i;
        EXPECT_EQ(along[i].y, expectedAlong[i].y) << i;
    }
    const std::array<POINT, 7> against = DirectionArrow({0, 0}, {100, 0}, {50, 0}, 2);
    EXPECT_EQ(against[0].x, 70);
    EXPECT_EQ(against[3].x, 50);
    EXPECT_EQ(against[2].x, 61); // 50 + 12 cos 18 degrees, truncated
}

TEST(PainterAreas, FillWithoutOutlineInBrushPatternOrOneBitGrey) {
    const struct {
        const char* name;
        std::uint16_t elementClass;
        int bits;
        COLORREF column0; // at (24, 30): column 0 of the pattern
        COLORREF column1; // at (25, 30)
    } cases[] = {
        {"solid", 2000, 32, kGreen, kGreen},
        {"pattern bit x sets column x", 2001, 32, kRed, 0xFFFFFF},
        {"one-bit target: solid grey", 2002, 1, 0xFFFFFF, 0xFFFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Surface surface(200, 100, c.bits);
        Painting painting(surface.Dc());
        const COLORREF paper = GetPixel(surface.Dc(), 0, 0);
        const Element area('y', c.elementClass, {{20, 20}, {60, 20}, {60, 40}, {20, 40}});
        DrawArea(painting.style, painting.context, area);
        EXPECT_EQ(GetPixel(surface.Dc(), 24, 30), c.column0);
        EXPECT_EQ(GetPixel(surface.Dc(), 25, 30), c.column1);
        EXPECT_EQ(GetPixel(surface.Dc(), 24, 20), c.column0); // the top edge is filled too
        EXPECT_EQ(GetPixel(surface.Dc(), 60, 30), paper);
        EXPECT_EQ(GetPixel(surface.Dc(), 30, 40), paper);
        EXPECT_EQ(GetPixel(surface.Dc(), 19, 30), paper);
    }
    EXPECT_EQ(OneBitGrey(0xFFFFFF), 0xFFFFFFU);
    EXPECT_EQ(OneBitGrey(0x0000FF), RGB(94, 94, 94));
}

TEST(PainterAreas, FarVertexIsClampedAndThePolygonCloses) {
    Surface surface(200, 100);
    Painting painting(surface.Dc());
    const Element area('y', 2000, {{10, 10}, {100000, 10}, {10, 60}});
    DrawArea(painting.style, painting.context, area);
    EXPECT_EQ(GetPixel(surface.Dc(), 11, 58), kGreen);
    EXPECT_EQ(GetPixel(surface.Dc(), 150, 40), kGreen);
    EXPECT_EQ(GetPixel(surface.Dc(), 150, 70), kPaper);
    const Element two('y', 2000, {{10, 10}, {50, 50}});
    Surface untouched(200, 100);
    Painting second(untouched.Dc());
    DrawArea(second.style, second.context, two);
    EXPECT_TRUE(InkedRows(untouched.Dc(), 30, 100).empty());
}

TEST(PainterSymbols, MaskKeepsTheMapDepthSkipsTargetPpiScales) {
    const struct {
        const char* name;
        std::uint16_t elementClass;
        bool depthDiffers;
        std::uint32_t targetPpi;
        int size; // drawn pixels per side; 0: nothing drawn
        bool isCentreMasked;
    } cases[] = {
        {"mask from 0x008080 pixels", 5001, false, 96, 4, false},
        {"mask from the sheet", 5002, false, 96, 4, true},
        {"depths differ", 5001, true, 96, 0, false},
        {"twice the pixels per inch", 5001, false, 192, 8, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Surface surface(200, 100);
        Painting painting(surface.Dc());
        painting.context.depthDiffers = c.depthDiffers;
        painting.context.targetPpiX = c.targetPpi;
        painting.context.targetPpiY = c.targetPpi;
        DrawSymbol(painting.style, painting.context, Element('t', c.elementClass, {{40, 40}}));
        if (c.size == 0) {
            EXPECT_TRUE(InkedRows(surface.Dc(), 40, 100).empty());
            continue;
        }
        const int left = 40 - c.size / 2;
        const int cell = c.size / 4;
        // The 0x008080 corners are transparent without the sheet's mask, which instead hides
        // the green centre.
        const COLORREF corner = c.isCentreMasked ? RGB(0, 0x80, 0x80) : kPaper;
        EXPECT_EQ(GetPixel(surface.Dc(), left, left), corner);
        EXPECT_EQ(GetPixel(surface.Dc(), left + c.size - 1, left + c.size - 1), corner);
        EXPECT_EQ(GetPixel(surface.Dc(), left + cell, left), RGB(255, 0, 0));
        EXPECT_EQ(GetPixel(surface.Dc(), left + 2 * cell, left + 2 * cell),
                  c.isCentreMasked ? kPaper : RGB(0, 255, 0));
        EXPECT_EQ(GetPixel(surface.Dc(), left + c.size, left + cell), kPaper);
    }
}

TEST(PainterStyle, GdiFailuresLeaveNullSlotsAndNothingBehind) {
    const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
    for (int failing : {1, 3, 7, 12, 40}) {
        SCOPED_TRACE(failing);
        {
            Surface surface(200, 100);
            Painting painting(surface.Dc());
            platform::DebugOutputCapture debug;
            platform::FailNextGdiCreations(failing);
            MapStyle style;
            BuildStyle(style, TestSheet());
            painting.context.style = &style;
            DrawLine(style, painting.context, Element('l', 1010, {{10, 50}, {90, 50}}), 0, 0);
            painting.batch.Flush(painting.context, 2);
            DrawArea(style, painting.context,
                     Element('y', 2001, {{20, 20}, {60, 20}, {60, 40}, {20, 40}}));
            DrawSymbol(style, painting.context, Element('t', 5001, {{40, 40}}));
            platform::FailNextGdiCreations(0);
            // One line per failed creation; the sheet makes more than 12 objects.
            if (failing <= 12) {
                EXPECT_EQ(debug.Texts().size(), static_cast<std::size_t>(failing));
            }
        }
        EXPECT_EQ(platform::CountLiveGdiObjects(), before);
    }
}

TEST(PainterShields, TextsByPrefixAndRowsByCountryAndClass) {
    const struct {
        std::u16string_view roadNumber;
        std::optional<std::u16string_view> prefix;
        std::u16string_view shield;
    } texts[] = {
        {u"A7/A8", u"A", u"A8/A7"},
        {u"A7/AB/A8x", u"A", u"A8x"},
        {u"B3", u"A", u""},
        {u"E 45/12", std::nullopt, u"12"},
        {u"E45", std::nullopt, u""},
        {u"12/E 45", std::nullopt, u"12"},
        {u"Elm/5", std::nullopt, u"Elm/5"},
    };
    for (const auto& t : texts) {
        EXPECT_EQ(ShieldText(t.roadNumber, t.prefix), t.shield);
    }
    ASSERT_EQ(ShieldTable().size(), 21U);
    EXPECT_EQ(ShieldTable().front().country, 17);
    EXPECT_EQ(ShieldTable().back().country, 20);
    const struct {
        int country;
        std::uint16_t elementClass;
        std::optional<std::u16string_view> prefix;
        COLORREF background;
        COLORREF text;
    } rows[] = {
        {17, 1010, u"A", 0xFF0000, 0xFFFFFF}, {99, 1010, u"A", 0xFF0000, 0xFFFFFF},
        {17, 1030, u"B", 0x00C8FF, 0x000000}, {45, 1020, std::nullopt, 0xFF0000, 0xFFFFFF},
        {48, 1020, u"A", 0x00FF00, 0x00C8FF}, {12, 1010, std::nullopt, 0x00C8FF, 0x000000},
        {34, 1010, u"E", 0x00FF00, 0xFFFFFF}, {36, 1030, u"IP", 0x0000FF, 0xFFFFFF},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.country);
        const std::optional<ShieldStyle> style = ShieldStyleFor(r.country, r.elementClass);
        ASSERT_TRUE(style);
        EXPECT_EQ(style->prefix, r.prefix);
        EXPECT_EQ(style->background, r.background);
        EXPECT_EQ(style->text, r.text);
    }
    EXPECT_FALSE(ShieldStyleFor(17, 1031));
    EXPECT_FALSE(ShieldStyleFor(17, 1015));
}

// A map set in memory with one element per name, read through the engine's name reader.
TEST(PainterNames, LabelAndRoadNumberThroughTheEngine) {
    const struct {
        std::string name;
        std::optional<std::u16string> label;
        std::u16string roadNumber;
    } cases[] = {
        {"Landstrasse/28", u"Landstrasse", u"28"},
        {"/A7/A8", std::nullopt, u"A7/A8"},
        {"Lettstrasse", u"Lettstrasse", u""},
    };
    testdata::MapSetWriter writer;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        testdata::ElementDescription element;
        element.typeLetter = 'p';
        element.points = {{0, static_cast<std::int32_t>(i * 100)},
                          {100, static_cast<std::int32_t>(i * 100)}};
        element.typeCode = 1010;
        element.name = cases[i].name;
        ASSERT_TRUE(writer.Add(element));
    }
    const testdata::MapSetFiles files = writer.Build();
    const auto memory = [](const std::vector<std::uint8_t>& bytes) {
        return testdata::MakeMemoryBlockFile(bytes, maprecord::kBlockSize);
    };
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(64));
    ASSERT_TRUE(engine->Attach(memory(files.rid), memory(files.dat), memory(files.nam)));
    const std::shared_ptr<INameReader> reader = MakeEngineNameReader(engine);
    ASSERT_TRUE(reader);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        const ElementData data = engine->GetElementGeometry(writer.GetElementIds()[i]);
        ASSERT_TRUE(data.geometry);
        EXPECT_EQ(data.geometry->GetRecord()[27 - 16], 'p'); // the kind letter
        const std::uint32_t nameId = maprecord::ReadU32(data.geometry->GetRecord() + 12);
        std::u16string full;
        std::u16string roadNumber;
        ASSERT_TRUE(reader->GetName(nameId, full));
        EXPECT_EQ(reader->GetRoadNumber(nameId, roadNumber), !cases[i].roadNumber.empty());
        EXPECT_EQ(roadNumber, cases[i].roadNumber);
        EXPECT_EQ(LabelText(full, roadNumber), cases[i].label);
    }
    ASSERT_TRUE(engine->Attach(memory(files.rid), memory(files.dat), nullptr));
    EXPECT_FALSE(MakeEngineNameReader(engine));
}

} // namespace

namespace {

// A 200 x 100 view painted into a window-sized DC.
struct PaintedView {
    // BeginPaint, a picture that differs in every pixel row and column, EndPaint; the change
    // code.
    int Paint(bool isFullRedraw = false) {
        BeginPaint(context, options, screen.Dc(), rect, transform, screen.Dc(), isFullRedraw);
        const int code = options->state->changeCode;
        for (int x = context.rect.left; x < context.rect.right; ++x) {
            for (int y = context.rect.top; y < context.rect.bottom; ++y) {
                // The map point under the pixel, so that a scrolled picture must match.
                const MapPoint p = transform.ScreenToWorld({x, y});
                SetPixel(context.dc, x, y, static_cast<COLORREF>((p.x * 7 + p.y * 13) & 0xFFFFFF));
            }
        }
        EndPaint(context);
        return code;
    }
    // The view moved by (dx, dy) pixels.
    void Pan(int dx, int dy) { transform.SetCenter(transform.ScreenToWorld({100 + dx, 50 + dy})); }

    Surface screen{200, 100};
    GridTransform transform{16, {1 << 20, 1 << 20}};
    RECT rect{0, 0, 200, 100};
    std::shared_ptr<DrawOptions> options = std::make_shared<DrawOptions>();
    DrawContext context;
};

} // namespace

TEST(PainterPaint, ChangeCodesByHowTheViewChanged) {
    const struct {
        const char* name;
        void (*change)(PaintedView&);
        bool isFullRedraw;
        int code;
    } cases[] = {
        {"full redraw", [](PaintedView&) {}, true, 7},
        {"rectangle",
         [](PaintedView& v) {
             v.rect = {0, 0, 150, 100};
         },
         false, 1},
        {"scale and rotation",
         [](PaintedView& v) {
             v.transform.SetScale(4.0);
             v.transform.SetRotation(30);
         },
         false, 7},
        {"rotation", [](PaintedView& v) { v.transform.SetRotation(30); }, false, 2},
        {"scale smaller", [](PaintedView& v) { v.transform.SetScale(1.0); }, false, 3},
        {"scale larger", [](PaintedView& v) { v.transform.SetScale(4.0); }, false, 4},
        {"nothing", [](PaintedView&) {}, false, 6},
        {"nothing, but a new back buffer",
         [](PaintedView& v) {
             v.options->backBuffer = false;
             v.Paint();
             v.options->backBuffer = true;
         },
         false, 7},
        {"pan along x", [](PaintedView& v) { v.Pan(20, 0); }, false, 5},
        {"pan along y, 2 pixels across", [](PaintedView& v) { v.Pan(2, -30); }, false, 5},
        {"diagonal pan", [](PaintedView& v) { v.Pan(20, 20); }, false, 8},
        {"diagonal pan and scale",
         [](PaintedView& v) {
             v.Pan(20, 20);
             v.transform.SetScale(4.0);
         },
         false, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PaintedView view;
        EXPECT_EQ(view.Paint(), 0);
        c.change(view);
        EXPECT_EQ(view.Paint(c.isFullRedraw), c.code);
    }
}

TEST(PainterPaint, UnchangedViewRedrawsTheClipBox) {
    const struct {
        RECT clip;
        RECT drawn;
    } cases[] = {
        {{10, 20, 60, 40}, {10, 20, 60, 40}},
        {{0, 0, 0, 0}, {0, 0, 2, 2}},
    };
    for (const auto& c : cases) {
        PaintedView view;
        view.Paint();
        HRGN clip = CreateRectRgnIndirect(&c.clip);
        SelectClipRgn(view.screen.Dc(), clip);
        DeleteObject(clip);
        BeginPaint(view.context, view.options, view.screen.Dc(), view.rect, view.transform,
                   view.screen.Dc(), false);
        EXPECT_EQ(view.options->state->changeCode, 6);
        EXPECT_EQ(Sides(view.context.rect), Sides(c.drawn));
        EndPaint(view.context);
        SelectClipRgn(view.screen.Dc(), nullptr);
    }
}

// A scroll keeps the old picture shifted and leaves only the uncovered strip to draw; the
// picture matches a full redraw of the new view exactly.
TEST(PainterPaint, ScrollReusesThePictureAndDrawsTheStrip) {
    const struct {
        int dx;
        int dy;
        RECT strip;
    } cases[] = {
        {30, 0, {170, 0, 200, 100}},
        {-30, 0, {0, 0, 30, 100}},
        {0, 25, {0, 75, 200, 100}},
        {300, 0, {0, 0, 200, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dx * 1000 + c.dy);
        PaintedView view;
        view.Paint();
        // A label collected in the last paint moves with the picture.
        LabelLayer& labels = view.options->state->labels;
        ASSERT_TRUE(labels.AddPointLabel({90, 50}, {110, 50}, u"Au", 5000, nullptr, 0, 0xFFFFFF));
        const RECT before = labels.Labels().front().bounds;
        view.Pan(c.dx, c.dy);
        BeginPaint(view.context, view.options, view.screen.Dc(), view.rect, view.transform,
                   view.screen.Dc(), false);
        EXPECT_EQ(view.options->state->changeCode, 5);
        if (std::abs(c.dx) < 100) {
            ASSERT_EQ(labels.Labels().size(), 1U);
            EXPECT_EQ(labels.Labels().front().bounds.left, before.left - c.dx);
            EXPECT_EQ(labels.Labels().front().bounds.top, before.top - c.dy);
        }
        const RECT& strip = view.context.rect;
        EXPECT_EQ(Sides(strip), Sides(c.strip));
        EndPaint(view.context);

        PaintedView fresh;
        fresh.transform.SetCenter(view.transform.GetCenter());
        fresh.Paint();
        int differing = 0;
        for (int x = 0; x < 200; ++x) {
            for (int y = 0; y < 100; ++y) {
                const bool inStrip =
                    x >= strip.left && x < strip.right && y >= strip.top && y < strip.bottom;
                if (!inStrip &&
                    GetPixel(view.screen.Dc(), x, y) != GetPixel(fresh.screen.Dc(), x, y))
                    ++differing;
            }
        }
        EXPECT_EQ(differing, 0);
    }
}

// Moves below 3 pixels are not lost: after each paint some shift of at most 2 pixels makes the
// picture's inner part equal a full redraw of the view.
TEST(PainterPaint, SlowDiagonalDriveStaysWithinTwoPixels) {
    PaintedView view;
    view.Paint();
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        view.Pan(2, 2);
        view.Paint();
        PaintedView fresh;
        fresh.transform.SetCenter(view.transform.GetCenter());
        fresh.Paint();
        bool isWithinTwo = false;
        for (int rx = -2; rx <= 2 && !isWithinTwo; ++rx) {
            for (int ry = -2; ry <= 2 && !isWithinTwo; ++ry) {
                bool isSame = true;
                for (int x = 10; x < 190 && isSame; x += 3) {
                    for (int y = 10; y < 90 && isSame; y += 3) {
                        isSame = GetPixel(view.screen.Dc(), x, y) ==
                                 GetPixel(fresh.screen.Dc(), x + rx, y + ry);
                    }
                }
                isWithinTwo = isSame;
            }
        }
        EXPECT_TRUE(isWithinTwo);
    }
}

// Without a back buffer (one that cannot be made, or the flag clear) the paint goes straight
// into the target.
TEST(PainterPaint, WithoutBackBufferThePaintGoesIntoTheTarget) {
    for (const bool isFlagSet : {true, false}) {
        PaintedView view;
        view.options->backBuffer = isFlagSet;
        platform::FailNextGdiCreations(isFlagSet ? 20 : 0); // fonts, buffer, clip
        EXPECT_EQ(view.Paint(), 0);
        platform::FailNextGdiCreations(0);
        EXPECT_FALSE(view.options->state->backBuffer);
        EXPECT_EQ(view.context.dc, view.screen.Dc());
        EXPECT_NE(GetPixel(view.screen.Dc(), 150, 70), kPaper);
    }
}

TEST(PainterPaint, NorthArrowNeedleTurnsWithTheAngle) {
    const struct {
        double angle;
        POINT onNeedle;
        POINT offNeedle;
    } cases[] = {
        {0, {125, 100}, {160, 125}},
        {90, {160, 125}, {125, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.angle);
        Surface surface(200, 200);
        DrawNorthArrow(surface.Dc(), {200, 200}, c.angle);
        EXPECT_EQ(GetPixel(surface.Dc(), c.onNeedle.x, c.onNeedle.y), 0x000000U);
        EXPECT_EQ(GetPixel(surface.Dc(), c.offNeedle.x, c.offNeedle.y), kPaper);
    }
}

TEST(PainterPaint, TargetPixelsPerInchAndDepthComeFromTheTargetDc) {
    PaintedView view;
    Surface printer(10, 10);
    ASSERT_TRUE(platform::SetDcPixelsPerInch(printer.Dc(), 192, 144));
    EXPECT_FALSE(platform::SetDcPixelsPerInch(printer.Dc(), 0, 144));
    Surface mono(10, 10, 1);
    BeginPaint(view.context, view.options, view.screen.Dc(), view.rect, view.transform,
               printer.Dc(), false);
    EXPECT_EQ(view.context.targetPpiX, 192U);
    EXPECT_EQ(view.context.targetPpiY, 144U);
    EXPECT_EQ(view.context.screenPpiX, 96U);
    EXPECT_FALSE(view.context.depthDiffers);
    EndPaint(view.context);
    BeginPaint(view.context, view.options, view.screen.Dc(), view.rect, view.transform, mono.Dc(),
               false);
    EXPECT_TRUE(view.context.depthDiffers);
    EndPaint(view.context);
}
