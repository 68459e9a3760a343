// A writer-made style sheet and map set painted through the engine's geometry and names.

#include "mapdisplay/enginenamereader.h"
#include "mapdisplay/painter.h"
#include "testdata/golden.h"
#include "testdata/mapsetwriter.h"
#include "testdata/memoryblockfile.h"
#include "testdata/stylesheetwriter.h"
#include "testdata/tempdir.h"
#include "utilities/mapgeometry/elementrecord.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr MapPoint kCentre{4000000, 3000000};
constexpr COLORREF kBackground = 0xE0F0F0;
constexpr COLORREF kRoad = 0x3050C0;
constexpr COLORREF kRoadInner = 0x80E0FF;
constexpr COLORREF kStreet = 0x707070;

testdata::StyleHeaderSpec FrameHeader(std::uint16_t elementClass, float labelScale) {
    return {elementClass, 0, 100, 1000.0F, labelScale};
}

testdata::StyleSheetWriter FrameSheet() {
    testdata::StyleSheetWriter w;
    w.pens = {{FrameHeader(1010, 50), 3, kRoad, 1, kRoadInner},
              {FrameHeader(1070, 50), 2, kStreet, 0, 0}};
    testdata::BitmapSpec image{8, 8, 4, false, false, {0x008080, 0xC02020, 0xFFFFFF}, {}};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool isRing = std::max(std::abs(2 * x - 7), std::abs(2 * y - 7)) >= 5;
            image.pixels.push_back((x + y) % 7 == 0 ? 0 : (isRing ? 1 : 2));
        }
    }
    testdata::BitmapSpec mask{8, 8, 1, false, false, {0x000000, 0xFFFFFF}, {}};
    for (int i = 0; i < 64; ++i) {
        mask.pixels.push_back((i / 8 + i % 8) % 2);
    }
    w.symbols = {{FrameHeader(5001, 50), image, std::nullopt},
                 {FrameHeader(5002, 50), image, mask}};
    testdata::FontSpec font;
    font.header = FrameHeader(5001, 50);
    font.faceName = u"Arial";
    font.size = -11;
    font.styleFlags = 1;
    font.textColour = 0x202080;
    w.fonts = {font};
    w.brushes = {{FrameHeader(2000, 50), 0x90D090, std::nullopt},
                 {FrameHeader(2001, 50), 0xD09090,
                  std::array<std::uint8_t, 8>{0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88}}};
    w.background = kBackground;
    return w;
}

MapPoint At(int x, int y) {
    return {kCentre.x + x, kCentre.y + y};
}

// Areas, lines of every letter, polylines, symbols; names with road numbers and without.
std::vector<testdata::ElementDescription> FrameElements() {
    using E = testdata::ElementDescription;
    std::vector<E> elements;
    const auto make = [](char letter, MapRect bounds, std::vector<MapPoint> points,
                         std::uint16_t typeCode, std::string name) {
        E element;
        element.typeLetter = letter;
        element.bounds = bounds;
        element.points = std::move(points);
        element.typeCode = typeCode;
        element.name = std::move(name);
        return element;
    };
    elements.push_back(
        make('y', {}, {At(-1400, 600), At(-200, 700), At(-300, 1800), At(-1300, 1500)}, 2000, ""));
    elements.push_back(make('z',
                            {kCentre.x + 200, kCentre.y - 1900, kCentre.x + 1400, kCentre.y - 1000},
                            {{0, 0}, {1200, 0}, {1200, 900}, {0, 900}}, 2001, ""));
    // Two streets of segments, whose directions take all four letters.
    const auto addStreet = [&](std::vector<MapPoint> points, const char* name) {
        for (std::size_t i = 0; i + 1 < points.size(); ++i) {
            const MapPoint from = points[i];
            const MapPoint to = points[i + 1];
            E segment;
            segment.bounds = {from.x, from.y, to.x, to.y};
            segment.bounds.Normalize();
            const bool isRightwards = to.x > from.x;
            const bool isRising = to.y > from.y;
            segment.typeLetter = isRightwards ? (isRising ? 'l' : 'o') : (isRising ? 'm' : 'n');
            segment.typeCode = 1070;
            segment.name = name;
            elements.push_back(segment);
        }
    };
    addStreet({At(-1500, -300), At(-700, 200), At(0, -200), At(700, 300), At(1500, -100)},
              "Lettstrasse");
    addStreet({At(1500, -900), At(700, -600), At(-100, -800)}, "Bachweg");
    elements.push_back(make('p', {},
                            {At(-1500, 1200), At(-400, 1000), At(600, 1300), At(1500, 1100)}, 1010,
                            "Landstrasse/28"));
    elements.push_back(make('r',
                            {kCentre.x - 1100, kCentre.y - 2100, kCentre.x + 700, kCentre.y + 1100},
                            {{0, 0}, {900, 1500}, {1800, 3200}}, 1010, "/A7/A8"));
    const auto point = [](MapPoint p) { return MapRect{p.x, p.y, p.x + 10, p.y + 10}; };
    elements.push_back(make('t', point(At(-900, -1200)), {}, 5001, "Hauptpost"));
    elements.push_back(make('t', point(At(800, 700)), {}, 5002, "Museum"));
    return elements;
}

class PainterFrame : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        for (const testdata::ElementDescription& element : FrameElements()) {
            ASSERT_TRUE(m_writer.Add(element));
        }
        const testdata::MapSetFiles files = m_writer.Build();
        const auto memory = [](const std::vector<std::uint8_t>& bytes) {
            return testdata::MakeMemoryBlockFile(bytes, maprecord::kBlockSize);
        };
        ASSERT_TRUE(m_engine->Attach(memory(files.rid), memory(files.dat), memory(files.nam)));
        ASSERT_TRUE(m_root.MakeFolder(u"\\maps"));
        const std::vector<std::uint8_t> sheet = FrameSheet().Write();
        ASSERT_TRUE(m_root.WriteFile(u"\\maps\\day.mpl", sheet));
        ASSERT_TRUE(m_style.Load(u"\\maps\\day.mpl"));
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateBitmap(240, 320, 1, 32, nullptr);
        m_old = SelectObject(m_dc, m_bitmap);
    }
    void TearDown() override {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
        platform::SetFontFile({});
    }

    // Every element in writer order, lines in two passes, between BeginPaint and EndPaint.
    void Paint(double scale) {
        MapTransform transform(MapRect{0, 0, 1 << 24, 1 << 24});
        transform.SetSize({240, 320});
        transform.SetScale(scale);
        transform.SetCenter(kCentre);
        BeginPaint(m_context, m_options, m_dc, {0, 0, 240, 320}, transform, m_dc, true);
        m_context.style = &m_style;
        m_context.nameReader = MakeEngineNameReader(m_engine);
        m_style.FillBackground(m_context);
        m_style.ClearSelectedClass();
        std::vector<std::uint32_t> secondPass;
        for (const std::uint32_t id : m_writer.GetElementIds()) {
            const ElementData data = m_engine->GetElementGeometry(id);
            ASSERT_TRUE(data.geometry);
            if (DrawElement(m_context, *data.geometry.Get(), 0, 17) == 1)
                secondPass.push_back(id);
        }
        m_context.lineBatch->Flush(m_context, 0);
        for (const std::uint32_t id : secondPass) {
            const ElementData data = m_engine->GetElementGeometry(id);
            DrawElement(m_context, *data.geometry.Get(), 1, 0);
        }
        m_context.lineBatch->Flush(m_context, 1);
        m_labels = m_options->state->labels.Labels();
        EndPaint(m_context);
    }

    testdata::TempDeviceRoot m_root;
    testdata::MapSetWriter m_writer;
    six::RefCntPtr<RetrievalEngineImpl> m_engine =
        RetrievalEngineImpl::CreateEngine(BlockCache::Create(64));
    MapStyle m_style;
    std::shared_ptr<DrawOptions> m_options = std::make_shared<DrawOptions>();
    DrawContext m_context;
    std::vector<Label> m_labels;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
};

TEST_F(PainterFrame, MapSetAtScale2MatchesTheGolden) {
    // A sheet that does not load leaves the style as it was.
    EXPECT_FALSE(m_style.Load(u"\\maps\\none.mpl"));
    Paint(2.0);
    EXPECT_TRUE(testdata::DcMatchesGolden(m_dc, 240, 320, NAV_MAPDISPLAY_DIR, "painter_frame"));
}

std::vector<std::u16string> Texts(const std::vector<Label>& labels) {
    std::vector<std::u16string> texts;
    for (const Label& label : labels)
        texts.push_back(label.text);
    std::sort(texts.begin(), texts.end());
    return texts;
}

// At 10 the motorway gets its shield; the road whose number has no "A" gets neither a shield
// nor, being of a shield class, a name. At 100, above every label scale, lines are one pixel
// wide and nothing is labelled.
TEST_F(PainterFrame, LabelScaleDecidesPensLabelsAndShields) {
    Paint(10.0);
    const std::vector<std::u16string> texts = Texts(m_labels);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), u"A8/A7"), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), u"Landstrasse"), 0);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), u"28"), 0);
    Paint(100.0);
    EXPECT_TRUE(m_labels.empty());
    // The road's vertical extent in the column through the map centre: one pixel of road colour.
    int roadPixels = 0;
    for (int y = 0; y < 320; ++y) {
        roadPixels += GetPixel(m_dc, 120, y) == kRoad ? 1 : 0;
    }
    EXPECT_LE(roadPixels, 2); // the road and the motorway each cross once
    EXPECT_GE(roadPixels, 1);
    EXPECT_EQ(GetPixel(m_dc, 0, 0), kBackground);
}

} // namespace
