// The map canvas in a 480 x 640 headless window over the draw town: frames, the signals of the
// drawing hook, fitting on loads, facades set twice or replaced, and hits under a tap.

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "mapdisplay/mapcanvas.h"
#include "testdata/drawtown.h"
#include "testdata/golden.h"
#include "testdata/tempdir.h"

#include "platform/gdi/screenshot.h"
#include "platform/gdi/text.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;

struct CanvasPage {
    CanvasPage() {
        platform::SetScreenSize(kWidth, kHeight);
        platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, WS_POPUP | WS_VISIBLE, 0, 0,
                        kWidth, kHeight, nullptr, nullptr, nullptr, &page);
        EXPECT_TRUE(canvas.Create(page.window, nullptr, WS_CHILD | WS_VISIBLE, false));
        canvas.MapOpened.ConnectUnlocked(this, &CanvasPage::OnOpened);
        canvas.MapClosed.ConnectUnlocked(this, &CanvasPage::OnClosed);
        canvas.BeginDraw.ConnectUnlocked(this, &CanvasPage::OnBeginDraw);
        canvas.EndDraw.ConnectUnlocked(this, &CanvasPage::OnEndDraw);
        canvas.BeginLayer.ConnectUnlocked(this, &CanvasPage::OnBeginLayer);
        driver.RunUntilIdle();
    }
    ~CanvasPage() {
        platform::SetFontFile({});
        platform::SetScreenSize(240, 320);
    }
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnOpened() { log.emplace_back("MapOpened"); }
    void OnClosed() { log.emplace_back("MapClosed"); }
    void OnBeginDraw(std::uint32_t* result, DrawContext*) { beginDrawResults.push_back(*result); }
    void OnEndDraw(DrawContext*) { log.emplace_back("EndDraw"); }
    void OnBeginLayer(std::uint32_t* result, DrawContext*, std::uint32_t, std::uint32_t*) {
        beginLayerResults.push_back(*result);
    }
    void Repaint() {
        canvas.InvalidateMap();
        driver.RunUntilIdle();
    }
    COLORREF ScreenAt(int x, int y) const {
        std::vector<std::uint32_t> pixels;
        int width = 0;
        int height = 0;
        const RECT one{x, y, x + 1, y + 1};
        EXPECT_TRUE(platform::ReadScreenPixels(&one, &pixels, &width, &height));
        const std::uint32_t rgb = pixels.empty() ? 0 : pixels[0];
        return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }

    OwnerHandlerList handlers;
    WindowHandle page;
    MapCanvas canvas;
    platform::ScreenDriver driver;
    std::vector<std::string> log;
    std::vector<std::uint32_t> beginDrawResults;
    std::vector<std::uint32_t> beginLayerResults;
};

class Canvas : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_town.WriteTo(m_root, u"\\maps")); }

    testdata::TempDeviceRoot m_root;
    testdata::DrawTownWriter m_town{12, 1};
    CanvasPage m_page;
};

TEST_F(Canvas, PaintsWhiteWithoutAMap) {
    m_page.Repaint();
    EXPECT_EQ(m_page.ScreenAt(10, 10), 0xFFFFFFu);
    EXPECT_EQ(m_page.ScreenAt(470, 630), 0xFFFFFFu);
    EXPECT_FALSE(m_page.canvas.IsMapOpen());
    EXPECT_FALSE(m_page.canvas.FindElementAt(RECT{0, 0, 10, 10}));
    EXPECT_FALSE(m_page.canvas.GetMappedElement(1));
    EXPECT_FALSE(m_page.canvas.GetOptionFlag());
    EXPECT_TRUE(m_page.beginDrawResults.empty());
}

// The day frames at 1, 10 and 100 metres per pixel (the overview above 20), and the night.
TEST_F(Canvas, FramesMatchTheGoldens) {
    auto facade = MapEngineFacade::Create(1024);
    ASSERT_TRUE(facade->LoadLevelFile(u"\\maps\\town.lvl"));
    m_page.canvas.SetEngine(facade);
    m_page.canvas.SetCenter(MapPointToDegrees(m_town.GetCentre()));
    for (const double scale : {1.0, 10.0, 100.0}) {
        m_page.canvas.SetScale(scale);
        m_page.Repaint();
        EXPECT_TRUE(testdata::WindowMatchesGolden(m_page.canvas.GetHwnd(), NAV_MAPDISPLAY_DIR,
                                                  "canvas_" + std::to_string(int(scale))));
    }
    // Without observers the pass got 2 from BeginDraw (EndDraw called, no layer announced).
    EXPECT_EQ(m_page.beginDrawResults, (std::vector<std::uint32_t>{2, 2, 2}));
    EXPECT_TRUE(m_page.beginLayerResults.empty());
    EXPECT_EQ(std::count(m_page.log.begin(), m_page.log.end(), "EndDraw"), 3);
    ASSERT_TRUE(facade->SelectLevelStyle(10.0F, true));
    m_page.canvas.SetScale(10.0);
    m_page.Repaint();
    EXPECT_EQ(m_page.ScreenAt(2, 2), 0x202830u);
}

// Set with levels, the facade fits at once; set before, on its opened signal. Setting the same
// facade twice listens once; a replaced facade is no longer listened to.
TEST_F(Canvas, FitsOncePerLoad) {
    auto loaded = MapEngineFacade::Create(1024);
    ASSERT_TRUE(loaded->LoadLevelFile(u"\\maps\\town.lvl"));
    m_page.canvas.SetEngine(loaded);
    ASSERT_NE(m_page.canvas.GetTransform(), nullptr);
    EXPECT_EQ(m_page.canvas.GetScale(), 10.0);
    EXPECT_TRUE(m_page.log.empty());

    CanvasPage other;
    auto later = MapEngineFacade::Create(1024);
    other.canvas.SetEngine(later);
    other.canvas.SetEngine(later);
    EXPECT_EQ(other.canvas.GetTransform(), nullptr);
    ASSERT_TRUE(later->LoadLevelFile(u"\\maps\\town.lvl"));
    ASSERT_NE(other.canvas.GetTransform(), nullptr);
    EXPECT_EQ(other.canvas.GetTransform()->GetCenter(),
              DegreesToMapUnits(later->GetExtent()).GetCenter());
    other.canvas.SetScale(3.0);
    later->Clear();
    ASSERT_TRUE(later->LoadLevelFile(u"\\maps\\town.lvl"));
    EXPECT_EQ(other.canvas.GetScale(), 10.0);
    // A load clears first: closed, then opened.
    EXPECT_EQ(other.log, (std::vector<std::string>{"MapClosed", "MapOpened", "MapClosed",
                                                   "MapClosed", "MapOpened"}));

    other.canvas.SetEngine(loaded);
    other.canvas.SetScale(3.0);
    later->Clear();
    ASSERT_TRUE(later->LoadLevelFile(u"\\maps\\town.lvl"));
    EXPECT_EQ(other.canvas.GetScale(), 3.0);
    EXPECT_EQ(other.log.size(), 5u);
    EXPECT_EQ(other.canvas.GetEngine().Get(), loaded.Get());
    EXPECT_TRUE(other.canvas.GetEngineIntf());
}

// The map rectangle under a screen rectangle: a 3 x 3 sampling with steps of at least a pixel.
TEST_F(Canvas, ScreenRectanglesCoverTheirMapRectangle) {
    auto facade = m_page.canvas.GetEngine();
    ASSERT_TRUE(facade);
    ASSERT_TRUE(facade->LoadLevelFile(u"\\maps\\town.lvl"));
    const IMapTransform& t = *m_page.canvas.GetTransform();
    const auto expected = [&](POINT a, POINT b) {
        const MapPoint p = t.ScreenToWorld(a);
        MapRect r{p.x, p.y, p.x, p.y};
        r.Extend(t.ScreenToWorld(b));
        return r;
    };
    struct Case {
        RECT screen;
        MapRect map;
    };
    for (const Case& c : {Case{{100, 100, 110, 120}, expected({100, 100}, {110, 120})},
                          Case{{100, 100, 100, 120}, expected({100, 100}, {100, 120})},
                          Case{{100, 100, 120, 100}, expected({100, 100}, {120, 100})},
                          Case{{100, 100, 100, 100}, expected({100, 100}, {100, 100})},
                          Case{{110, 100, 100, 120}, expected({110, 100}, {110, 100})}}) {
        EXPECT_EQ(m_page.canvas.MapUnderScreenRect(c.screen), c.map);
    }
}

// A tap on a street finds it on the detailed level; on the overview a tap on the motorway
// finds the detailed motorway by its link id.
TEST_F(Canvas, TapFindsTheStreetUnderIt) {
    auto facade = m_page.canvas.GetEngine();
    ASSERT_TRUE(facade->LoadLevelFile(u"\\maps\\town.lvl"));
    m_page.canvas.SetCenter(MapPointToDegrees(m_town.GetCentre()));
    m_page.canvas.SetScale(2.0);
    const std::size_t segment = m_town.GetStreetSegment(2, 1, true);
    const MapRect bounds = m_town.GetDetailElements()[segment].bounds;
    const POINT middle = m_page.canvas.GeoToScreen(MapPointToDegrees(bounds.GetCenter()));
    const auto hit =
        m_page.canvas.FindElementAt({middle.x - 2, middle.y - 2, middle.x + 2, middle.y + 2});
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->GetId(), m_town.GetDetailIds()[segment]);

    m_page.canvas.SetScale(50.0);
    const auto& motorway = m_town.GetDetailElements()[m_town.GetMotorway()];
    const MapPoint a = motorway.points[3];
    const MapPoint b = motorway.points[4];
    const POINT on = m_page.canvas.GeoToScreen(
        MapPointToDegrees({a.x + (b.x - a.x) / 2, a.y + (b.y - a.y) / 2}));
    const auto mapped = m_page.canvas.FindElementAt({on.x - 2, on.y - 2, on.x + 2, on.y + 2});
    ASSERT_TRUE(mapped);
    EXPECT_EQ(mapped->GetId(), m_town.GetDetailIds()[m_town.GetMotorway()]);
    EXPECT_EQ(mapped->GetTypeCode(), 1010);
}

// Without observers the hook answers 2, 0, 0 and 0; an observer's word is passed on.
TEST_F(Canvas, HookAnswersWhatTheObserversLeave) {
    MapCanvas bare;
    MapCanvasDrawState::Hook hook(bare);
    DrawContext context;
    std::uint32_t state = 0;
    EXPECT_EQ(hook.BeginDraw(context), 2u);
    EXPECT_EQ(hook.BeginLayer(context, 0x10006, state), 0u);
    EXPECT_EQ(hook.FilterClass(context, 1070), 0u);
    EXPECT_EQ(hook.FilterElement(context, nullptr), 0u);
    struct Observer {
        OwnerHandlerList handlers;
        OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
        void OnLayer(std::uint32_t* result, DrawContext*, std::uint32_t code, std::uint32_t* s) {
            *result = code == 0x10006 ? 1 : 0;
            *s = 7;
        }
        void OnElement(DrawContext*, six::RefCntPtr<MapElement>, std::uint32_t* result) {
            *result = 1;
        }
    } observer;
    bare.BeginLayer.ConnectUnlocked(&observer, &Observer::OnLayer);
    bare.FilterElement.ConnectUnlocked(&observer, &Observer::OnElement);
    EXPECT_EQ(hook.BeginLayer(context, 0x10006, state), 1u);
    EXPECT_EQ(state, 7u);
    EXPECT_EQ(hook.FilterElement(context, nullptr), 1u);
}

TEST_F(Canvas, OptionSettersActOnlyWithAMap) {
    const auto& options = m_page.canvas.GetDrawOptions();
    m_page.canvas.SetHaloFlag(false);
    m_page.canvas.SetShieldCountryFlag(true);
    m_page.canvas.SetOptionFlag(false);
    EXPECT_TRUE(options->halo);
    EXPECT_FALSE(options->shieldCountry);
    EXPECT_TRUE(options->streetNames);
    ASSERT_TRUE(m_page.canvas.GetEngine()->LoadLevelFile(u"\\maps\\town.lvl"));
    EXPECT_TRUE(m_page.canvas.GetOptionFlag());
    m_page.canvas.SetHaloFlag(false);
    m_page.canvas.SetShieldCountryFlag(true);
    m_page.canvas.SetOptionFlag(false);
    EXPECT_FALSE(options->halo);
    EXPECT_TRUE(options->shieldCountry);
    EXPECT_FALSE(m_page.canvas.GetOptionFlag());
}

} // namespace
