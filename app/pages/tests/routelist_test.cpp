#include "app/pages/routelist.h"
#include "app/pages/tests/listrows.h"
#include "app/tests/pagedevice.h"
#include "app/tests/recordingmode.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "positioning/matchedposition.h"
#include "testdata/datafolderwriter.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "ui/customlistbox.h"
#include "ui/gpsstatemonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/distancetext.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/modules.h"
#include "platform/kernel/messagebox.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char16_t kRouteSettings[] = u"\\Windows\\Quarn.ini";

TEST(RouteListDuration, TruncatesHoursAndMinutes) {
    const struct {
        std::int32_t seconds;
        std::u16string text;
    } cases[] = {{5400, u"1:30"}, {59, u"0:00"},   {0, u"0:00"},
                 {3599, u"0:59"}, {3600, u"1:00"}, {36061, u"10:01"}};
    for (const auto& c : cases)
        EXPECT_EQ(RouteList::FormatDuration(c.seconds), c.text) << c.seconds;
}

// A grid of streets, a server over it and the route list's device with a page over a recording
// mode.
class RouteListTest : public testing::Test {
protected:
    void SetUp() override {
        testdata::DataFolderDatabase database;
        database.folder = u"\\Data\\Grid";
        database.world =
            testdata::RoadWorld::Grid(4, 3, 2000, DegreesToMapPoint(GeoPoint{9.52f, 47.14f}));
        m_from = database.world.PointAlong(0, 1, 0.5);
        m_to = database.world.PointAlong(10, 11, 0.5);
        testdata::DataFolderWriter writer(u"\\Data");
        writer.AddDatabase(std::move(database))
            .Setting("Properties", "Language", "0")
            .Setting("GPS", "AutoLog", "0");
        ASSERT_TRUE(writer.WriteTo(m_root, kRouteSettings).has_value());
        platform::ResourceBundle bundle;
        bundle.strings = {{320, u"Back"},
                          {501, u"Start"},
                          {561, u"Menu"},
                          {1047, u"OK"},
                          {1066, u"No replay"},
                          {1096, u"Demo"},
                          {1099, u"Cannot simulate"},
                          {1106, u"Route"},
                          {1107, u"Map"},
                          {1168, u"Length "},
                          {1169, u"Time "},
                          {1170, u"Total "},
                          {1171, u"Total time "}};
        m_module = apptesting::InstallPageDevice(m_root, bundle, NAV_SCREEN_DESC_FILE);
        ASSERT_NE(m_module, nullptr);
        m_engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(256));
        m_server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(m_engine));
        ASSERT_TRUE(m_server && m_engine->IsOpen());
        m_page = std::make_unique<RouteList>(m_server, &m_mode, 431);
        m_page->SetLegViewer([this](int leg) { m_shownLegs.push_back(leg); });
        ShowPageWindow(m_page->GetPageHandle(), true);
        m_driver.RunUntilIdle();
        DemonstrationDriveFlag() = false;
    }
    void TearDown() override {
        m_page.reset();
        m_server.Release();
        m_engine.Release();
        apptesting::RemovePageDevice(m_module);
        DemonstrationDriveFlag() = false;
    }

    [[nodiscard]] RouteRequestResult Route() { return Route(m_from, m_to); }
    [[nodiscard]] RouteRequestResult Route(GeoPoint from, GeoPoint to) {
        RoutePositionPtr start;
        RoutePositionPtr destination;
        const std::uint32_t none = 0xFFFFFFFFu;
        (void)m_server->CreatePositionDestination(start, &none, &from);
        (void)m_server->CreatePositionDestination(destination, &none, &to);
        RouteRequestResult result;
        (void)m_server->RequestRouteBetween(result, start, destination);
        return result;
    }
    static TourEntry Leg(std::uint32_t status, std::int32_t length, std::int32_t time,
                         std::u16string from, std::u16string to) {
        TourEntry leg;
        leg.result.status = status;
        leg.result.length = length;
        leg.result.travelTime = time;
        leg.startText = std::move(from);
        leg.destinationText = std::move(to);
        return leg;
    }
    void Load(const std::vector<TourEntry>& legs) {
        std::int32_t length = 0;
        std::int32_t time = 0;
        m_page->SetLegs(legs, length, time);
        SendMessageW(m_page->GetHwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
        m_driver.RunUntilIdle();
    }
    void Select(int index) {
        SendMessageW(m_page->GetListBox()->GetWindow(), LB_SETCURSEL, static_cast<WPARAM>(index),
                     0);
    }
    void Command(UINT id) {
        SendMessageW(m_page->GetHwnd(), WM_COMMAND, id, 0);
        m_driver.RunUntilIdle();
    }
    testdata::TempDeviceRoot m_root;
    HMODULE m_module = nullptr;
    six::RefCntPtr<RetrievalEngineImpl> m_engine;
    Onboard::OnboardServerPtr m_server;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
    RecordingMode m_mode;
    std::unique_ptr<RouteList> m_page;
    std::vector<int> m_shownLegs;
    GeoPoint m_from{}, m_to{};
};

TEST_F(RouteListTest, LegsTotalsAndCommands) {
    std::int32_t length = 0;
    std::int32_t time = 0;
    const std::vector<TourEntry> legs = {Leg(8, 1500, 5400, u"A", u"B"),
                                         Leg(8, 2500, 59, u"B", u"C"), Leg(8, 100, 60, u"C", u"D")};
    m_page->SetLegs(legs, length, time);
    EXPECT_EQ(length, 4100);
    EXPECT_EQ(time, 5519);
    SendMessageW(m_page->GetHwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
    const CustomListBox* list = m_page->GetListBox();
    ASSERT_EQ(list->GetCount(), 4);
    EXPECT_EQ(list->GetText(0),
              u"Length " + FormatDistanceText(1500, false) + u"\nTime 1:30\nA\nB");
    EXPECT_EQ(list->GetText(3),
              u"Total " + FormatDistanceText(4100, false) + u"\nTotal time 1:31\n");
    EXPECT_EQ(list->GetCurSel(), 0);
    // Rows as high as a leg's four lines: the legs and the totals show together.
    EXPECT_EQ(list->GetItemHeight(), TallestItemText(*list));
    EXPECT_GE(list->GetVisibleRows(), 2);
    const struct {
        const char* name;
        int select;
        UINT command;
        std::vector<std::string> calls;
        std::vector<int> shown;
        std::size_t legsLeft;
    } cases[] = {
        {"map of the tour", 3, RouteList::kShowMapId, {"OnPageCommand(10)"}, {3}, 3},
        {"map of a leg", 1, RouteList::kOtherShowMapId, {"OnPageCommand(10)"}, {1}, 3},
        {"map without selection", -1, RouteList::kShowMapId, {"OnPageCommand(10)"}, {}, 3},
        {"guidance from the totals", 3, RouteList::kStartNavigationId, {}, {}, 3},
        {"back", 0, RouteList::kCancelId, {"OnPageCommand(2)"}, {}, 3},
        {"main menu", 0, RouteList::kMainMenuId, {"Deactivate(1)"}, {}, 3},
        {"guidance from leg 2",
         1,
         RouteList::kStartNavigationId,
         {"SetStopIndex(2)", "OnPageCommand(4)"},
         {},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_mode.ClearCalls();
        m_shownLegs.clear();
        Select(c.select);
        Command(c.command);
        EXPECT_EQ(m_mode.Calls(), c.calls);
        EXPECT_EQ(m_shownLegs, c.shown);
        EXPECT_EQ(m_page->GetLegs().size(), c.legsLeft);
    }
}

// The list's rows hold their lines, a leg's four, and lie within the list: a tour of one leg
// shows its totals below it without scrolling, a longer one scrolls to them row by row.
TEST_F(RouteListTest, RowsHoldTheirLinesWithinTheList) {
    const CustomListBox* list = m_page->GetListBox();
    const struct {
        const char* name;
        std::vector<TourEntry> legs;
        int visibleRows;
    } cases[] = {
        {"one leg", {Leg(8, 3400, 60, u"Vaduz, Aeulestrasse", u"Schaan, Landstrasse")}, 2},
        {"three legs",
         {Leg(8, 1500, 60, u"A", u"B"), Leg(8, 2500, 60, u"B", u"C"), Leg(8, 100, 60, u"C", u"D")},
         2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Load(c.legs);
        ASSERT_EQ(list->GetCount(), static_cast<int>(c.legs.size()) + 1);
        // Four lines of the list's bold 11-pixel font.
        EXPECT_GE(list->GetItemHeight(), 4 * 11);
        EXPECT_EQ(list->GetVisibleRows(), c.visibleRows);
    }
}

TEST_F(RouteListTest, DemonstrationOnlyForLegsThatCanBeReplayed) {
    const RouteRequestResult route = Route();
    ASSERT_EQ(route.status, 8u);
    RouteRequestResult empty(8);
    empty.length = 100000;
    const struct {
        const char* name;
        RouteRequestResult result;
        std::int32_t length;
        bool unwritable;
        int message; // 0: none
    } cases[] = {
        {"failed leg", RouteRequestResult(1), 10, false, 1099},
        {"too long", route, 100001, false, 1099},
        {"no points to write", empty, 100000, false, 1066},
        {"demo file that cannot be written", route, 100000, true, 1066},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TourEntry leg = Leg(c.result.status, c.length, 60, u"A", u"B");
        leg.result = c.result;
        leg.result.length = c.length;
        Load({leg});
        // A folder in the file's place cannot be written, whoever runs the test.
        if (c.unwritable) {
            ASSERT_TRUE(std::filesystem::create_directory(m_root.HostPathOf(u"\\GPSDemoFile.txt")));
        }
        int shown = 0;
        m_driver.PlayWhenIdle({platform::ScriptStep::Run([&shown] {
            ++shown;
            SendMessageW(GetActiveWindow(), WM_COMMAND, IDOK, 0);
        })});
        Select(0);
        m_mode.ClearCalls();
        Command(RouteList::kStartSimulationId);
        EXPECT_EQ(shown, 1);
        EXPECT_FALSE(m_driver.RanOutOfScript());
        EXPECT_EQ(m_page->GetLegs().size(), 1u);
        EXPECT_TRUE(m_mode.Calls().empty());
        if (c.unwritable)
            std::filesystem::remove(m_root.HostPathOf(u"\\GPSDemoFile.txt"));
    }
}

// A position of the given fix quality handed to the process-wide GPS state.
void ReportRouteFix(float hdop) {
    MatchedPosition position;
    position.fix.hdop = hdop;
    GpsStateMonitor::Instance().OnPosition(position);
}

TEST_F(RouteListTest, DemonstrationWaitsForAUsableFix) {
    const RouteRequestResult route = Route();
    ASSERT_EQ(route.status, 8u);
    const struct {
        const char* name;
        const char16_t* simulation;
        const char* leave; // how the page is left while waiting: null, "Cancel", "hide", "destroy"
        std::vector<std::string> calls;
        bool flag;
    } cases[] = {
        {"drive", u"0", nullptr, {"SetStopIndex(2)", "OnPageCommand(4)"}, true},
        {"simulation set", u"1", nullptr, {"SetStopIndex(2)", "OnPageCommand(4)"}, false},
        {"cancel while waiting", u"0", "Cancel", {}, false},
        {"hidden while waiting", u"0", "hide", {}, false},
        {"destroyed while waiting", u"0", "destroy", {}, false},
    };
    // "Cancel" goes to the mode, which shows the options page in this page's place.
    m_mode.script.onPageCommand = [this](int code) {
        if (code == 2 && m_page)
            ShowPageWindow(m_page->GetPageHandle(), false);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!m_page)
            m_page = std::make_unique<RouteList>(m_server, &m_mode, 431);
        ShowPageWindow(m_page->GetPageHandle(), true);
        m_driver.RunUntilIdle();
        DemonstrationDriveFlag() = false;
        (void)IniProfile::WriteString(u"Zudav", u"Simulation", c.simulation,
                                      AppPaths::GetSettingsFilePath().c_str());
        ReportRouteFix(-1.0f);
        TourEntry first = Leg(8, 10, 60, u"A", u"B");
        TourEntry second = Leg(8, route.length, route.travelTime, u"B", u"C");
        second.result = route;
        Load({first, second});
        Select(1);
        m_mode.ClearCalls();
        // A message box here would be a failed start: close it so the check below reports it.
        int messages = 0;
        m_driver.PlayWhenIdle({platform::ScriptStep::Run([&messages] {
            ++messages;
            SendMessageW(GetActiveWindow(), WM_COMMAND, IDOK, 0);
        })});
        Command(RouteList::kStartSimulationId);
        EXPECT_EQ(messages, 0);
        EXPECT_EQ(m_mode.Calls(), std::vector<std::string>{"StartReceiverReconnect(1)"});
        EXPECT_TRUE(m_page->GetLegs().empty());
        // Without a usable fix the timer only waits.
        m_driver.StepClock(3000);
        EXPECT_EQ(m_mode.Calls().size(), 1u);
        const std::string leave = c.leave ? c.leave : "";
        if (leave == "Cancel")
            Command(RouteList::kCancelId);
        else if (leave == "hide")
            ShowPageWindow(m_page->GetPageHandle(), false);
        else if (leave == "destroy")
            m_page.reset();
        m_driver.RunUntilIdle();
        m_mode.ClearCalls();
        ReportRouteFix(1.0f);
        m_driver.StepClock(3000);
        EXPECT_EQ(m_mode.Calls(), c.calls);
        EXPECT_EQ(DemonstrationDriveFlag(), c.flag);
        if (leave == "hide")
            m_page.reset();
    }
}

// A demonstration started while the last one still replays the demo file writes the file anew
// and replays the new leg.
TEST_F(RouteListTest, SecondDemonstrationWritesTheFileTheFirstReplays) {
    std::optional<std::string> firstFile;
    for (const RouteRequestResult& route : {Route(m_from, m_to), Route(m_to, m_from)}) {
        ASSERT_EQ(route.status, 8u);
        TourEntry leg = Leg(8, route.length, route.travelTime, u"A", u"B");
        leg.result = route;
        Load({leg});
        Select(0);
        m_mode.ClearCalls();
        int messages = 0;
        m_driver.PlayWhenIdle({platform::ScriptStep::Run([&messages] {
            ++messages;
            SendMessageW(GetActiveWindow(), WM_COMMAND, IDOK, 0);
        })});
        Command(RouteList::kStartSimulationId);
        EXPECT_EQ(messages, 0);
        EXPECT_EQ(m_mode.Calls(), std::vector<std::string>{"StartReceiverReconnect(1)"});
        EXPECT_TRUE(m_page->GetLegs().empty());
        const std::optional<std::string> written = m_root.ReadFile(u"\\GPSDemoFile.txt");
        ASSERT_TRUE(written.has_value());
        // The way back has other positions.
        if (firstFile) {
            EXPECT_NE(*written, *firstFile);
        }
        firstFile = written;
    }
}

} // namespace
