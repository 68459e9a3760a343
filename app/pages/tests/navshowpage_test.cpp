#include "app/pages/navshowpage.h"
#include "app/tests/pagedevice.h"
#include "app/tests/recordingmode.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "mapdisplay/tests/mapviewfixture.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/memoryarena.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/shell/modulepath.h"
#include "platform/window/input.h"
#include "platform/window/message.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// The three map pages over the draw town, a scripted server and a recording mode.
class MapPagesTest : public testing::Test {
protected:
    void SetUp() override {
        if (!MemoryArena::Shared().HoldsMemory()) {
            ASSERT_TRUE(MemoryArena::Shared().Reserve(8 << 20));
        }
        platform::SetExecutablePath(u"\\Nav\\nav.exe");
        platform::ResourceBundle bundle;
        bundle.strings = {{320, u"Cancel"},  {501, u"Start"},       {554, u"Distance"},
                          {555, u"Arrival"}, {557, u"Time"},        {560, u"Tour"},
                          {561, u"Menu"},    {1045, u""},           {1046, u""},
                          {1102, u"Moving"}, {1108, u"Route list"}, {1122, u"Logging"}};
        m_module = windowtesting::LoadLanguage(m_root, bundle);
        ASSERT_NE(m_module, nullptr);
        platform::SetResourceInstance(m_module);
        const auto layout = testdata::ReadHostFile(NAV_SCREEN_DESC_FILE);
        ASSERT_TRUE(layout && m_root.WriteFile(AppPaths::GetScreenDescFilePath(), *layout));
        WriteSettings("");
        ASSERT_TRUE(m_root.MakeFolder(u"\\My Documents"));
        ASSERT_TRUE(m_town.WriteTo(m_root, u"\\maps"));
        m_facade = MapEngineFacade::Create(1024);
        ASSERT_TRUE(m_facade->LoadLevelFile(u"\\maps\\town.lvl"));
        m_server = Onboard::OnboardServerPtr(new mapviewtest::ScriptedServer);
    }
    void TearDown() override {
        m_server = nullptr;
        m_facade = nullptr;
        platform::SetResourceInstance(nullptr);
        if (m_module != nullptr) {
            (void)FreeLibrary(m_module);
        }
        platform::SetExecutablePath(u"");
    }
    void WriteSettings(const std::string& preferences) {
        ASSERT_TRUE(m_root.WriteFile(AppPaths::GetSettingsFilePath(),
                                     "[Preferences]\r\nDistToDestMode=0\r\n" + preferences));
    }
    template <typename Page> void Open(Page& page) {
        ShowPageWindow(page.GetPageHandle(), true);
        m_driver.RunUntilIdle();
        m_mode.ClearCalls();
    }
    std::unique_ptr<NavShowPage> MakePlainPage() {
        return std::make_unique<NavShowPage>(m_server, u"NavShowPage", &m_mode, m_facade, true, 420,
                                             false);
    }
    // 0 the plain page, 1 the tour result, 2 the moving map.
    std::unique_ptr<NavShowPage> MakePage(int kind) {
        if (kind == 0) {
            return MakePlainPage();
        }
        if (kind == 1) {
            return std::make_unique<RouteCalcPage>(&m_mode, m_server, m_facade);
        }
        return std::make_unique<MovingMap>(&m_mode, m_server, m_facade, GeoPoint{});
    }
    static void Key(NavShowPage& page, UINT key) {
        SendMessageW(page.GetHwnd(), WM_KEYDOWN, key, 0);
    }
    static void Command(NavShowPage& page, UINT id) {
        SendMessageW(page.GetHwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }

    testdata::TempDeviceRoot m_root;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
    testdata::DrawTownWriter m_town{12, 1};
    HMODULE m_module = nullptr;
    six::RefCntPtr<MapEngineFacade> m_facade;
    Onboard::OnboardServerPtr m_server;
    RecordingMode m_mode;
};

TEST_F(MapPagesTest, HidingAfterEscapeDetachesTheViewLater) {
    struct Row {
        bool escapeFirst;
        bool attachedRightAfterHiding;
    };
    const Row rows[] = {{true, true}, {false, false}};
    for (const Row& row : rows) {
        auto page = MakePlainPage();
        Open(*page);
        ASSERT_NE(page->GetMapView()->GetHwnd(), nullptr);
        if (row.escapeFirst) {
            Key(*page, VK_ESCAPE);
            EXPECT_EQ(m_mode.Calls(), Calls{"OnPageCommand(0)"});
        }
        ShowPageWindow(page->GetPageHandle(), false);
        m_driver.RunUntilIdle();
        EXPECT_EQ(page->GetMapView()->GetHwnd() != nullptr, row.attachedRightAfterHiding)
            << row.escapeFirst;
        m_clock.Advance(NavShowPage::kDetachDelayMs);
        m_driver.RunUntilIdle();
        EXPECT_EQ(page->GetMapView()->GetHwnd(), nullptr) << row.escapeFirst;
    }
}

TEST_F(MapPagesTest, CommandsReachTheMode) {
    struct Row {
        int page; // 0 plain, 1 tour result, 2 moving map
        UINT command;
        Calls calls;
    };
    const Row rows[] = {
        {0, NavShowPage::kCancelId, {"OnPageCommand(0)"}},
        {0, NavShowPage::kStartNavigationId, {"OnPageCommand(2)"}},
        {1, RouteCalcPage::kMainMenuId, {"Deactivate(1)"}},
        {1, NavShowPage::kCancelId, {"OnPageCommand(2)"}},
        {1, NavShowPage::kStartNavigationId, {"OnPageCommand(4)"}},
        {1, RouteCalcPage::kRouteListId, {"OnPageCommand(9)"}},
        {2, MovingMap::kLoggingId, {"ControlLogbook(0, 1)"}},
        {2, NavShowPage::kCancelId, {"ControlLogbook(1, 1)", "Deactivate(1)"}},
    };
    for (const Row& row : rows) {
        std::unique_ptr<NavShowPage> page = MakePage(row.page);
        Open(*page);
        Command(*page, row.command);
        EXPECT_EQ(m_mode.Calls(), row.calls) << row.page << " " << row.command;
    }
}

TEST_F(MapPagesTest, TourKeysStepThroughTheViewPoints) {
    struct Row {
        UINT key;
        std::size_t cursor;
    };
    const Row rows[] = {{'B', 1}, {VK_NUMPAD0 + 2, 2}, {'A', 1}, {VK_NUMPAD0 + 1, 0}, {'B', 1}};
    RouteCalcPage page(&m_mode, m_server, m_facade);
    Open(page);
    const GeoPoint centre = MapPointToDegrees(m_town.GetCentre());
    page.GetMapView()->SetPointList(
        {centre, {centre.x + 0.001f, centre.y}, {centre.x + 0.002f, centre.y}});
    for (const Row& row : rows) {
        Key(page, row.key);
        EXPECT_EQ(page.GetMapView()->GetPointCursor(), row.cursor) << row.key;
    }
}

TEST_F(MapPagesTest, TourTotalsFollowTheDistanceUnit) {
    struct Row {
        const char* preference;
        const char16_t* distance;
    };
    const Row rows[] = {{"DistanceUnitKilometres=1\r\n", u"2.0km"},
                        {"DistanceUnitKilometres=0\r\n", u"1.2mls"}};
    for (const Row& row : rows) {
        WriteSettings(row.preference);
        RouteCalcPage page(&m_mode, m_server, m_facade);
        Open(page);
        page.SetTour({}, 2000, 4500);
        EXPECT_EQ(page.GetDistanceField().GetValue(DistanceField::kDistanceMode), row.distance);
        EXPECT_EQ(page.GetDistanceField().GetValue(DistanceField::kTimeMode), u"1:15");
    }
}

TEST_F(MapPagesTest, MovingMapStartOpensTheLogbookOnlyWithMoveMap) {
    struct Row {
        const char* preference;
        Calls calls;
    };
    const Row rows[] = {{"MoveMap=1\r\n", {"ControlLogbook(0, 1)"}}, {"MoveMap=0\r\n", {}}};
    for (const Row& row : rows) {
        WriteSettings(row.preference);
        MovingMap page(&m_mode, m_server, m_facade, MapPointToDegrees(m_town.GetCentre()));
        Open(page);
        page.Start();
        EXPECT_EQ(m_mode.Calls(), row.calls) << row.preference;
    }
}

// Positions from the worker thread: those without a fix are dropped, and positions that arrive
// before the page handled its redraw request make no second request.
TEST_F(MapPagesTest, MovingMapPostsOneRedrawForSeveralPositions) {
    struct Row {
        std::vector<float> hdops; // one position each; negative: no fix
        int posted;
    };
    const Row rows[] = {{{-1.0f}, 0}, {{1.0f}, 1}, {{1.0f, 1.0f}, 1}, {{-1.0f, -1.0f, 2.0f}, 1}};
    MovingMap page(&m_mode, m_server, m_facade, MapPointToDegrees(m_town.GetCentre()));
    Open(page);
    ASSERT_TRUE(page.IsFollowing());
    for (const Row& row : rows) {
        std::thread worker([&] {
            for (float hdop : row.hdops) {
                MatchedPosition position;
                position.matched = MapPointToDegrees(m_town.GetCentre());
                position.fix.hdop = hdop;
                m_server->PositionEvent.Emit(&position);
            }
        });
        worker.join();
        int posted = 0;
        MSG message{};
        while (PeekMessageW(&message, page.GetHwnd(), MovingMap::kRedrawMessage,
                            MovingMap::kRedrawMessage, PM_REMOVE)) {
            ++posted;
            DispatchMessageW(&message);
        }
        EXPECT_EQ(posted, row.posted) << row.hdops.size();
    }
    Command(page, NavShowPage::kCancelId);
    EXPECT_FALSE(page.IsFollowing());
}

// The view's centre in degrees.
GeoPoint ShownCentre(MapView& view) {
    return MapPointToDegrees(view.GetCanvas()->GetTransform()->GetCenter());
}

TEST_F(MapPagesTest, ShowDestinationCentresOnThePointOrTheElement) {
    const std::uint32_t street = m_town.GetDetailIds()[m_town.GetStreetSegment(2, 2, true)];
    const six::IntfPtr<MapElement> element = m_facade->GetMappedElement(street);
    ASSERT_TRUE(element);
    WriteSettings("[Map]\r\nPointResolution=6\r\n");
    GeoRect bounds;
    element->GetBounds(bounds);
    const GeoPoint centre = MapPointToDegrees(m_town.GetCentre());
    const GeoPoint point{centre.x + 0.003f, centre.y - 0.002f};
    struct Row {
        const char* name;
        GeoPoint at;
        GeoPoint centred;
        GeoPoint flag;
    };
    const Row rows[] = {
        {"at a point", point, point, point},
        {"at (0, 0): the element's place", {}, bounds.GetCenter(), {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto page = MakePlainPage();
        Open(*page);
        MapView& view = *page->GetMapView();
        ASSERT_NE(view.GetCanvas(), nullptr);
        view.ShowPoint({centre.x - 0.004f, centre.y + 0.004f});
        view.GetCanvas()->SetScale(40.0);
        view.SetPickMode(false);
        page->ShowDestination(row.at.x, row.at.y, element, -1);
        EXPECT_TRUE(view.IsPickMode());
        // As shown, and again after the page was activated (the view placed anew) and redrawn.
        for (const bool activated : {false, true}) {
            SCOPED_TRACE(activated);
            if (activated) {
                SendMessageW(page->GetHwnd(), WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), 0);
                m_driver.RunUntilIdle();
            }
            EXPECT_EQ(view.GetShownObject().Get(), element.Get()) << "the element is shown";
            EXPECT_NEAR(ShownCentre(view).x, row.centred.x, 1e-5);
            EXPECT_NEAR(ShownCentre(view).y, row.centred.y, 1e-5);
            EXPECT_DOUBLE_EQ(view.GetCanvas()->GetScale(), 6.0);
            EXPECT_EQ(view.GetFlagPoint(), row.flag);
        }
    }
}

// A map page that becomes active while the TMC message page is shown activates that page again
// and leaves it in front.
TEST_F(MapPagesTest, ActivationLeavesTheShownTmcPageInFront) {
    struct Row {
        int page; // 0 plain, 1 tour result, 2 moving map
        bool tmcPageShown;
    };
    const Row rows[] = {{0, true}, {0, false}, {1, true}, {2, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.page << " " << row.tmcPageShown);
        std::unique_ptr<NavShowPage> page = MakePage(row.page);
        Open(*page);
        const apptesting::TmcPageSeen seen =
            apptesting::ActivateOverTmcPage(page->GetHwnd(), row.tmcPageShown);
        EXPECT_EQ(seen.pageActivations, row.tmcPageShown ? 1 : 0);
        EXPECT_EQ(seen.inFront, row.tmcPageShown);
    }
}

// On activation the totals go to the value labels: the distance, then the duration; an empty
// tour keeps what the labels showed.
TEST_F(MapPagesTest, TourPageShowsItsTotalsOnActivation) {
    struct Row {
        const char* preference;
        bool withTour;
        const char16_t* distance;
        const char16_t* duration;
    };
    const Row rows[] = {{"DistanceUnitKilometres=1\r\n", true, u"2.0km", u"1:15"},
                        {"DistanceUnitKilometres=0\r\n", true, u"1.2mls", u"1:15"},
                        {"DistanceUnitKilometres=1\r\n", false, u"old", u"old"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.preference);
        WriteSettings(row.preference);
        RouteCalcPage page(&m_mode, m_server, m_facade);
        Open(page);
        HWND distance = GetDlgItem(page.GetHwnd(), RouteCalcPage::kDistValueId);
        HWND duration = GetDlgItem(page.GetHwnd(), RouteCalcPage::kDurationValueId);
        ASSERT_NE(distance, nullptr);
        ASSERT_NE(duration, nullptr);
        (void)SetWindowTextW(distance, u"old");
        (void)SetWindowTextW(duration, u"old");
        if (row.withTour) {
            page.SetTour({}, 2000, 4500);
        }
        SendMessageW(page.GetHwnd(), WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), 0);
        char16_t text[32] = {};
        GetWindowTextW(distance, text, 32);
        EXPECT_EQ(std::u16string(text), row.distance);
        GetWindowTextW(duration, text, 32);
        EXPECT_EQ(std::u16string(text), row.duration);
    }
}

// Two legs apart: a view point at each leg's start and the tour's end; each leg, then the
// whole tour, brought into view.
TEST_F(MapPagesTest, TourLegsGiveViewPointsAndAreShownOneByOne) {
    const GeoPoint centre = MapPointToDegrees(m_town.GetCentre());
    const GeoPoint a{centre.x - 0.004f, centre.y};
    const GeoPoint b{centre.x - 0.002f, centre.y + 0.001f};
    const GeoPoint c{centre.x + 0.002f, centre.y - 0.001f};
    const GeoPoint d{centre.x + 0.004f, centre.y};
    RouteCalcPage page(&m_mode, m_server, m_facade);
    Open(page);
    page.SetTour({ScriptedLine(a, b), ScriptedLine(c, d)}, 2000, 600);
    MapView& view = *page.GetMapView();
    ASSERT_TRUE(view.HasRoute());
    ASSERT_EQ(page.GetViewPoints().size(), 3u);
    EXPECT_EQ(page.GetViewPoints()[0], a);
    EXPECT_EQ(page.GetViewPoints()[1], c);
    EXPECT_EQ(page.GetViewPoints()[2], d);
    ASSERT_EQ(view.GetAreas().size(), 2u);
    struct Row {
        std::size_t leg;
        GeoPoint centred;
    };
    const Row rows[] = {{0, {(a.x + b.x) / 2, (a.y + b.y) / 2}},
                        {1, {(c.x + d.x) / 2, (c.y + d.y) / 2}},
                        {2, {(a.x + d.x) / 2, (b.y + c.y) / 2}},
                        {0, {(a.x + b.x) / 2, (a.y + b.y) / 2}}};
    for (const Row& row : rows) {
        page.ShowLeg(row.leg);
        EXPECT_NEAR(ShownCentre(view).x, row.centred.x, 1e-4) << row.leg;
        EXPECT_NEAR(ShownCentre(view).y, row.centred.y, 1e-4) << row.leg;
    }
}

// A leg without a route ends the drawn tour: the view points are those of the legs drawn before
// it, one per area, so that each view point and each area are the same leg.
TEST_F(MapPagesTest, TourViewPointsEndWhereTheDrawnLegsEnd) {
    const GeoPoint centre = MapPointToDegrees(m_town.GetCentre());
    const GeoPoint a{centre.x - 0.004f, centre.y};
    const GeoPoint b{centre.x - 0.002f, centre.y + 0.001f};
    const GeoPoint c{centre.x + 0.002f, centre.y - 0.001f};
    const GeoPoint d{centre.x + 0.004f, centre.y};
    const RouteIteratorPtr none;
    const struct {
        const char* name;
        std::vector<RouteIteratorPtr> legs;
        std::vector<GeoPoint> points;
        std::size_t areas;
    } rows[] = {
        {"invalid leg in the middle", {ScriptedLine(a, b), none, ScriptedLine(c, d)}, {a}, 1},
        {"invalid last leg", {ScriptedLine(a, b), ScriptedLine(c, d), none}, {a, c}, 2},
        {"invalid first leg", {none, ScriptedLine(a, b), ScriptedLine(c, d)}, {}, 0},
        {"all legs", {ScriptedLine(a, b), ScriptedLine(c, d)}, {a, c, d}, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RouteCalcPage page(&m_mode, m_server, m_facade);
        Open(page);
        page.SetTour(row.legs, 2000, 600);
        EXPECT_EQ(page.GetViewPoints(), row.points);
        EXPECT_EQ(page.GetMapView()->GetAreas().size(), row.areas);
    }
}

} // namespace
