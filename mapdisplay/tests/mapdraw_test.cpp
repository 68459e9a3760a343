// The drawing pass over the draw town: the hook's protocol, skipped layers, the country and
// layer-6 questions it asks, interruption, highlights, house numbers and the night sheet.

#include "mapdisplay/mapenginefacade.h"
#include "testdata/drawtown.h"
#include "testdata/mapsetwriter.h"
#include "testdata/tempdir.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/kernel/sync.h"
#include "platform/window/input.h"
#include "platform/window/message.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <vector>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;

// Counts the questions the pass asks a level's engine.
class CountingEngine : public LevelEngine {
public:
    using LevelEngine::LevelEngine;
    std::int16_t GetCountryOfElement(std::uint32_t id) override {
        ++countryLookups;
        return LevelEngine::GetCountryOfElement(id);
    }
    std::unique_ptr<LayerCursor> QueryOnLayer(const LayerFilter& filter) override {
        ++layerQueries;
        return LevelEngine::QueryOnLayer(filter);
    }
    int countryLookups = 0;
    int layerQueries = 0;
};

// Records every hook call; its answers come from the test.
class RecordingHook : public DrawHook {
public:
    std::uint32_t BeginDraw(DrawContext&) override {
        calls.push_back("BeginDraw");
        return drawFlags;
    }
    std::uint32_t BeginLayer(DrawContext& context, std::uint32_t code, std::uint32_t&) override {
        codes.push_back(code);
        calls.push_back("BeginLayer");
        return layerFlags ? layerFlags(context, code) : 0;
    }
    std::uint32_t FilterClass(DrawContext&, std::uint32_t classId) override {
        classes.insert(classId);
        ++filtered;
        if (onClass)
            onClass(filtered);
        return 0;
    }
    void EndLayer(DrawContext&, std::uint32_t code) override {
        ended.push_back(code);
        calls.push_back("EndLayer");
    }
    void EndDraw(DrawContext&) override { calls.push_back("EndDraw"); }

    std::uint32_t drawFlags = 0;
    std::function<std::uint32_t(DrawContext&, std::uint32_t)> layerFlags;
    std::function<void(int)> onClass;
    std::vector<std::string> calls;
    std::vector<std::uint32_t> codes;
    std::vector<std::uint32_t> ended;
    std::set<std::uint32_t> classes;
    int filtered = 0;
};

class DrawPass : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        ASSERT_TRUE(m_town.WriteTo(m_root, u"\\maps"));
        m_facade = MapEngineFacade::Create(1024, [this](const BlockCachePtr& cache) {
            auto engine =
                std::make_unique<CountingEngine>(RetrievalEngineImpl::CreateEngine(cache));
            m_engines.push_back(engine.get());
            return engine;
        });
        ASSERT_TRUE(m_facade->LoadLevelFile(u"\\maps\\town.lvl"));
        ASSERT_EQ(m_engines.size(), 2u);
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
        m_old = SelectObject(m_dc, m_bitmap);
        m_options->backBuffer = false;
    }
    void TearDown() override {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
        platform::SetFontFile({});
    }

    // A paint of the town's centre moved right by `shift` map units; not a full redraw, the
    // painter may reuse its last picture.
    int Paint(double scale, DrawHook* hook = nullptr, bool isFullRedraw = true,
              std::int32_t shift = 0) {
        MapTransform transform(MapRect{0, 0, 1 << 28, 1 << 28});
        transform.SetSize({kWidth, kHeight});
        transform.SetScale(scale);
        const MapPoint centre = m_town.GetCentre();
        transform.SetCenter({centre.x + shift, centre.y});
        DrawContext context;
        BeginPaint(context, m_options, m_dc, {0, 0, kWidth, kHeight}, transform, m_dc,
                   isFullRedraw);
        const int result = m_facade->Draw(context, static_cast<float>(scale), hook);
        EndPaint(context);
        return result;
    }
    std::vector<COLORREF> Pixels() const {
        std::vector<COLORREF> pixels;
        for (int y = 0; y < kHeight; y += 2)
            for (int x = 0; x < kWidth; x += 2)
                pixels.push_back(GetPixel(m_dc, x, y));
        return pixels;
    }
    int CountColour(COLORREF colour) const {
        int count = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                count += GetPixel(m_dc, x, y) == colour ? 1 : 0;
        return count;
    }
    CountingEngine& Detail() { return *m_engines[0]; }

    testdata::TempDeviceRoot m_root;
    testdata::DrawTownWriter m_town{6, 1};
    std::vector<CountingEngine*> m_engines;
    six::RefCntPtr<MapEngineFacade> m_facade;
    std::shared_ptr<DrawOptions> m_options = std::make_shared<DrawOptions>();
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
};

// The hook sees BeginDraw, the layer codes rising with their class groups (the empty layer 0
// announced with the code before it, 0), each layer's EndLayer, the end code and EndDraw.
TEST_F(DrawPass, HookSeesTheLayersInRisingOrder) {
    RecordingHook hook;
    hook.drawFlags = 2 | 4;
    hook.layerFlags = [](DrawContext&, std::uint32_t) { return 2u; };
    EXPECT_EQ(Paint(2.0, &hook), 1);
    const std::vector<std::uint32_t> codes = {0,       0x1,     0x2,     0x10006,   0x10007,
                                              0x10008, 0x2000A, 0x2000B, kLayersEnd};
    EXPECT_EQ(hook.codes, codes);
    EXPECT_EQ(hook.ended, std::vector<std::uint32_t>(codes.begin() + 1, codes.end() - 1));
    ASSERT_GE(hook.calls.size(), 4u);
    EXPECT_EQ(hook.calls.front(), "BeginDraw");
    EXPECT_EQ(hook.calls[1], "BeginLayer");
    EXPECT_EQ(hook.calls[2], "BeginLayer");
    EXPECT_EQ(hook.calls[3], "EndLayer");
    EXPECT_EQ(hook.calls.back(), "EndDraw");
    // Without bit 2 no layer is announced, without bit 1 no EndDraw.
    RecordingHook quiet;
    EXPECT_EQ(Paint(2.0, &quiet), 1);
    EXPECT_EQ(quiet.calls, std::vector<std::string>{"BeginDraw"});
}

TEST_F(DrawPass, HookSkipsThePassOrALayer) {
    RecordingHook skipAll;
    skipAll.drawFlags = 1 | 4;
    EXPECT_EQ(Paint(2.0, &skipAll), 1);
    EXPECT_EQ(skipAll.calls, std::vector<std::string>{"BeginDraw"});

    // Layer 6 skipped, every other layer offers its classes: no street class is offered and the
    // layers above are drawn all the same.
    RecordingHook skipStreets;
    skipStreets.drawFlags = 4;
    skipStreets.layerFlags = [](DrawContext&, std::uint32_t code) {
        return code == 0x10006 ? 1u : 16u;
    };
    EXPECT_EQ(Paint(2.0, &skipStreets), 1);
    for (const std::uint32_t street : {1040u, 1050u, 1060u, 1070u, 1080u, 1090u})
        EXPECT_EQ(skipStreets.classes.count(street), 0u) << street;
    EXPECT_EQ(skipStreets.classes.count(1010), 1u);
    EXPECT_EQ(skipStreets.classes.count(4000), 1u);
    EXPECT_EQ(skipStreets.codes.back(), kLayersEnd);
}

// Road-number countries are asked for classes 1010 to 1030 strictly between 2 and 500 metres
// per pixel, on the overview through level 0 by the link id; layer 6 is queried only for
// highlight colours (below 16) and house numbers (below 1).
TEST_F(DrawPass, AsksForCountriesAndLayerSixOnlyWhenNeeded) {
    m_options->shieldCountry = true;
    struct Case {
        double scale;
        bool highlights;
        bool houseNumbers;
        bool hasCountries;
        int layerQueries;
    };
    for (const Case& c : {Case{2.0, false, false, false, 0}, Case{10.0, false, false, true, 0},
                          Case{100.0, false, false, true, 0}, Case{500.0, false, false, false, 0},
                          Case{10.0, true, false, true, 1}, Case{20.0, true, false, true, 0},
                          Case{0.5, false, true, false, 1}, Case{0.5, true, true, false, 2},
                          Case{2.0, false, true, false, 0}}) {
        m_options->highlightColours = {c.highlights ? COLORREF{0x00FF00} : 0, 0, 0, 0, 0};
        m_options->houseNumbers = c.houseNumbers;
        Detail().countryLookups = 0;
        Detail().layerQueries = 0;
        EXPECT_EQ(Paint(c.scale), 1);
        EXPECT_EQ(Detail().countryLookups > 0, c.hasCountries) << c.scale;
        EXPECT_EQ(Detail().layerQueries, c.layerQueries) << c.scale;
    }
    EXPECT_EQ(m_engines[1]->countryLookups, 0); // the overview never answers them itself

    // Of a road of class 1020 and one of 1031 side by side only the first is asked about.
    testdata::MapSetWriter writer;
    for (const std::uint16_t code : {std::uint16_t{1020}, std::uint16_t{1031}}) {
        testdata::ElementDescription road;
        road.typeLetter = 'p';
        road.typeCode = code;
        const MapPoint c = m_town.GetCentre();
        road.points = {{c.x - 2000, c.y + code - 1020}, {c.x + 2000, c.y + code - 1010}};
        ASSERT_TRUE(writer.Add(road));
    }
    testdata::RidHeaderFields header;
    header.mapKind = 2;
    writer.SetHeader(header);
    ASSERT_TRUE(writer.WriteTo(m_root.HostPathOf(u"\\maps\\roads")));
    ASSERT_TRUE(m_root.WriteFile(u"\\maps\\roads.lvl", "roads.rid day.mpl 1000\n"));
    ASSERT_TRUE(m_facade->LoadLevelFile(u"\\maps\\roads.lvl"));
    ASSERT_EQ(m_engines.size(), 3u);
    m_options->highlightColours = {};
    EXPECT_EQ(Paint(100.0), 1);
    EXPECT_EQ(m_engines[2]->countryLookups, 1);
}

// Esc pressed, or a tap waiting, stops the pass within 10 elements with result 0; the next
// paint completes.
TEST_F(DrawPass, EscOrATapInterruptsThePass) {
    for (const bool isTap : {false, true}) {
        RecordingHook hook;
        hook.drawFlags = 4;
        hook.layerFlags = [](DrawContext&, std::uint32_t) { return 16u; };
        hook.onClass = [isTap](int count) {
            if (count != 3)
                return;
            if (isTap)
                PostThreadMessageW(GetCurrentThreadId(), WM_LBUTTONDOWN, 0, 0);
            else
                platform::InjectKey(VK_ESCAPE, true);
        };
        EXPECT_EQ(Paint(2.0, &hook), 0) << isTap;
        EXPECT_GE(hook.filtered, 3);
        EXPECT_LE(hook.filtered, 12);
        platform::InjectKey(VK_ESCAPE, false);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
        }
        RecordingHook next;
        next.drawFlags = 4;
        next.layerFlags = [](DrawContext&, std::uint32_t) { return 16u; };
        EXPECT_EQ(Paint(2.0, &next), 1);
        EXPECT_GT(next.filtered, 100);
    }
}

// A pass the hook skipped, or one Esc stopped, leaves no picture of the view: the next paint of
// a view moved by a pixel draws it whole, where it would reuse a complete picture and draw
// only the uncovered strip.
TEST_F(DrawPass, APassNotDrawnToItsEndLeavesNoPictureToReuse) {
    constexpr std::int32_t kPixel = 13; // map units of one pixel at 2 m per pixel, about
    m_options->backBuffer = true;
    ASSERT_EQ(Paint(2.0, nullptr, true, kPixel), 1);
    const std::vector<COLORREF> whole = Pixels();
    for (const bool isInterrupted : {false, true}) {
        SCOPED_TRACE(isInterrupted ? "interrupted" : "skipped");
        RecordingHook first;
        first.drawFlags = isInterrupted ? 4 : 1;
        first.layerFlags = [](DrawContext&, std::uint32_t) { return 16u; };
        first.onClass = [](int count) {
            if (count == 3)
                platform::InjectKey(VK_ESCAPE, true);
        };
        EXPECT_EQ(Paint(2.0, &first), isInterrupted ? 0 : 1);
        platform::InjectKey(VK_ESCAPE, false);
        EXPECT_NE(Pixels(), whole);
        EXPECT_EQ(Paint(2.0, nullptr, false, kPixel), 1);
        EXPECT_EQ(Pixels(), whole);
    }
}

// Each highlight colour marks its bits; the night sheet changes the background.
TEST_F(DrawPass, HighlightsAndTheNightSheet) {
    Paint(5.0);
    const COLORREF day = GetPixel(m_dc, 0, 0);
    EXPECT_EQ(day, 0xE8F0F0u);
    const std::array<COLORREF, 5> colours = {0x0000FE, 0x00FE00, 0xFE0000, 0xFE00FE, 0x00FEFE};
    for (std::size_t i = 0; i < colours.size(); ++i) {
        m_options->highlightColours = {};
        m_options->highlightColours[i] = colours[i];
        Paint(5.0);
        EXPECT_GT(CountColour(colours[i]), 20) << i;
    }
    ASSERT_TRUE(m_facade->SelectLevelStyle(5.0F, true));
    m_options->highlightColours = {};
    Paint(5.0);
    EXPECT_EQ(GetPixel(m_dc, 0, 0), 0x202830u);
    // The overview keeps the day sheet until it is drawn: the choice is the list's.
    Paint(50.0);
    EXPECT_EQ(GetPixel(m_dc, 0, 0), 0x202830u);
}

TEST_F(DrawPass, HouseNumbersBelowOneMetrePerPixel) {
    for (const double scale : {0.5, 2.0}) {
        m_options->houseNumbers = false;
        Paint(scale);
        const std::vector<COLORREF> without = Pixels();
        m_options->houseNumbers = true;
        Paint(scale);
        EXPECT_EQ(Pixels() != without, scale < 1.0) << scale;
    }
}

// The context keeps the level's style until EndPaint even when the levels go meanwhile (a
// load on another thread between the pass and the end of the paint).
TEST_F(DrawPass, TheContextKeepsItsStyleUntilEndPaint) {
    MapTransform transform(MapRect{0, 0, 1 << 28, 1 << 28});
    transform.SetSize({kWidth, kHeight});
    transform.SetScale(5.0);
    transform.SetCenter(m_town.GetCentre());
    ASSERT_TRUE(m_facade->SelectLevelStyle(5.0F, true));
    DrawContext context;
    BeginPaint(context, m_options, m_dc, {0, 0, kWidth, kHeight}, transform, m_dc, true);
    EXPECT_EQ(m_facade->Draw(context, 5.0F, nullptr), 1);
    m_facade->Clear();
    EndPaint(context);
    EXPECT_EQ(m_options->state->lastBackground, 0x202830u);
}

// A level whose sheet does not load is not drawn; with every geometry slot taken the pass goes
// on and draws nothing but the background.
TEST_F(DrawPass, MissingStyleOrFullPoolDrawsNoElements) {
    Paint(2.0);
    const int background = CountColour(0xE8F0F0);
    std::vector<ElementData> hold;
    while (GeometryPool::GetLiveCount() < GeometryPool::kSlotCount) {
        hold.push_back(m_engines[0]->Get().GetElementGeometry(m_town.GetDetailIds()[0]));
        ASSERT_TRUE(hold.back().geometry);
    }
    EXPECT_EQ(Paint(2.0), 1);
    EXPECT_GT(CountColour(0xE8F0F0), background);
    hold.clear();

    ASSERT_TRUE(m_root.WriteFile(u"\\maps\\broken.lvl", "town.rid day.mpl 20 none.mpl\n"));
    ASSERT_TRUE(m_facade->LoadLevelFile(u"\\maps\\broken.lvl"));
    EXPECT_FALSE(m_facade->SelectLevelStyle(2.0F, true));
    EXPECT_EQ(Paint(2.0), 0);
    EXPECT_TRUE(m_facade->SelectLevelStyle(2.0F, false));
    EXPECT_EQ(Paint(2.0), 1);
    m_facade->Clear();
    EXPECT_EQ(Paint(2.0), 0);
}

} // namespace
