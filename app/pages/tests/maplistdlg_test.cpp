#include "app/pages/maplistdlg.h"
#include "app/pages/routelist.h"
#include "app/pages/tests/listrows.h"
#include "app/pages/tourlist.h"
#include "app/startup/modalwindow.h"
#include "app/tests/pagedevice.h"
#include "app/tests/recordingmode.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "testdata/datafolderwriter.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "ui/customlistbox.h"
#include "ui/gpsstatemonitor.h"
#include "ui/statusindicators.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/modules.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char16_t kMapListSettings[] = u"\\Windows\\Quarn.ini";
const std::u16string kMapListFolders[] = {u"\\Storage Card\\maps\\Alps",
                                          u"\\Storage Card\\maps\\Europe"};

TEST(MapListItemText, SplitsAtTheLastSeparator) {
    const struct {
        std::u16string path;
        std::u16string text;
    } cases[] = {
        {u"\\Storage Card\\maps\\Europe", u"\\Storage Card\\maps\nEurope"},
        {u"/data/maps/Alps", u"/data/maps\nAlps"},
        {u"\\Data/Mixed\\Last", u"\\Data/Mixed\nLast"},
        {u"\\Data\\Mixed/Last", u"\\Data\\Mixed\nLast"},
        {u"Plain", u"Plain"},
        {u"", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MapListDlg::ItemText(c.path), c.text);
}

// Two grid databases under "\Storage Card\maps", a server over them and the dialog's device.
class MapListDlgTest : public testing::Test {
protected:
    void SetUp() override {
        testdata::DataFolderWriter writer(u"\\Storage Card\\maps");
        for (const std::u16string& folder : kMapListFolders) {
            testdata::DataFolderDatabase database;
            database.folder = folder;
            database.world =
                testdata::RoadWorld::Grid(2, 2, 1000, DegreesToMapPoint(GeoPoint{9.52f, 47.14f}));
            writer.AddDatabase(std::move(database));
        }
        writer.Setting("Properties", "Language", "0").Setting("GPS", "AutoLog", "0");
        ASSERT_TRUE(writer.WriteTo(m_root, kMapListSettings).has_value());
        platform::ResourceBundle bundle;
        bundle.strings = {{320, u"Cancel"}, {585, u"Maps"}, {1047, u"OK"}, {1138, u"GPS"}};
        m_module = apptesting::InstallPageDevice(m_root, bundle, NAV_SCREEN_DESC_FILE);
        ASSERT_NE(m_module, nullptr);
        m_engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(256));
        m_server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(m_engine));
        ASSERT_TRUE(m_server && m_engine->IsOpen());
    }
    void TearDown() override {
        GetShellFactories().mapList = nullptr;
        m_server.Release();
        m_engine.Release();
        apptesting::RemovePageDevice(m_module);
    }
    // The index of the server's current database; -1 for none.
    [[nodiscard]] int Current() const {
        DatabaseListPtr databases;
        m_server->GetDatabases(databases);
        int current = -1;
        for (std::size_t i = 0; databases && i < databases->size(); ++i) {
            if ((*databases)[i]->IsSelected())
                current = static_cast<int>(i);
        }
        return current;
    }

    testdata::TempDeviceRoot m_root;
    HMODULE m_module = nullptr;
    six::RefCntPtr<RetrievalEngineImpl> m_engine;
    Onboard::OnboardServerPtr m_server;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
};

TEST_F(MapListDlgTest, ShowsTheDatabasesAndSwitchesOnlyOnOk) {
    InstallMapListDlg();
    const int first = Current();
    ASSERT_GE(first, 0);
    const int other = 1 - first;
    const struct {
        const char* name;
        int select; // -1: keep the selection the dialog made
        UINT message;
        WPARAM wParam;
        bool switches;
    } cases[] = {
        {"Esc", other, WM_KEYDOWN, VK_ESCAPE, false},
        {"Enter", other, WM_KEYDOWN, VK_RETURN, false},
        {"Cancel", other, WM_COMMAND, MapListDlg::kCancelId, false},
        {"OK on the current one", -1, WM_COMMAND, MapListDlg::kOkId, false},
        {"OK on the other", other, WM_COMMAND, MapListDlg::kOkId, true},
        {"second OK back", first, WM_COMMAND, MapListDlg::kOtherOkId, true},
    };
    int current = first;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ModalPage> made = GetShellFactories().mapList(m_server);
        ASSERT_NE(made, nullptr);
        auto* dialog = dynamic_cast<MapListDlg*>(made.get());
        ASSERT_NE(dialog, nullptr);
        std::vector<std::u16string> shown;
        int selected = -2;
        m_driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
            const CustomListBox* list = dialog->GetListBox();
            for (int i = 0; list != nullptr && i < list->GetCount(); ++i)
                shown.push_back(list->GetText(i));
            selected = list != nullptr ? list->GetCurSel() : -2;
            // Rows as high as an entry's two lines.
            EXPECT_EQ(list->GetItemHeight(), TallestItemText(*list));
            if (c.select >= 0)
                SendMessageW(list->GetWindow(), LB_SETCURSEL, static_cast<WPARAM>(c.select), 0);
            PostMessageW(dialog->GetHwnd(), c.message, c.wParam, 0);
        })});
        RunModalWindow(dialog->GetWindowHandle());
        EXPECT_FALSE(m_driver.RanOutOfScript());
        EXPECT_EQ(shown, (std::vector<std::u16string>{u"\\Storage Card\\maps\nAlps",
                                                      u"\\Storage Card\\maps\nEurope"}));
        EXPECT_EQ(selected, current);
        if (c.switches)
            current = c.select;
        EXPECT_EQ(Current(), current);
        EXPECT_EQ(IniProfile::GetString(u"Properties", ServerConfig::kLastDatabaseKey,
                                        kMapListSettings, u""),
                  kMapListFolders[current]);
        made.reset();
        m_driver.RunUntilIdle();
    }
}

// The tour list, the route list and the map list each hand their own GPS indicator to the

// The tour list, the route list and the map list of one recording mode, each with its name.
struct ListPagesOfOneMode {
    explicit ListPagesOfOneMode(const Onboard::OnboardServerPtr& server)
        : tourList(server, &mode, &stops)
        , routeList(server, &mode, 431)
        , mapList(server) {}
    struct Entry {
        const char* name;
        PageBase* page;
    };
    [[nodiscard]] std::array<Entry, 3> Named() {
        return {{{"tour list", &tourList}, {"route list", &routeList}, {"map list", &mapList}}};
    }

    RecordingMode mode;
    std::vector<DestinationEntry> stops;
    TourList tourList;
    RouteList routeList;
    MapListDlg mapList;
};

// monitor, as every page does: a change of fix class repaints "GPS" in its new colour.
TEST_F(MapListDlgTest, ListPagesRepaintTheirGpsIndicatorOnAFixChange) {
    constexpr COLORREF kFixColour = 0x39EA84;
    constexpr COLORREF kNoFixColour = 0x0000FF;
    const auto fix = [](float hdop) {
        MatchedPosition position;
        position.fix.hdop = hdop;
        position.fix.satellites = 5;
        GpsStateMonitor::Instance().OnPosition(position);
    };
    ListPagesOfOneMode lists(m_server);
    const auto pages = lists.Named();
    for (const auto& p : pages) {
        SCOPED_TRACE(p.name);
        fix(1.0f);
        ShowPageWindow(p.page->GetPageHandle(), true);
        m_driver.RunUntilIdle();
        HWND indicator = GetDlgItem(p.page->GetHwnd(), static_cast<int>(GpsIndicator::kId));
        ASSERT_NE(indicator, nullptr);
        EXPECT_EQ(GpsStateMonitor::Instance().GetIndicatorWindow(), indicator);
        ASSERT_TRUE(apptesting::ShowsColour(indicator, kFixColour));
        fix(-1.0f);
        m_driver.RunUntilIdle();
        EXPECT_TRUE(apptesting::ShowsColour(indicator, kNoFixColour));
        EXPECT_FALSE(apptesting::ShowsColour(indicator, kFixColour));
        ShowPageWindow(p.page->GetPageHandle(), false);
        m_driver.RunUntilIdle();
    }
    GpsStateMonitor::Instance().SetIndicatorWindow(nullptr);
}

// The tour list, the route list and the map list, activated while the TMC message page is shown,
// activate that page again and leave it in front.
TEST_F(MapListDlgTest, ListPagesLeaveTheShownTmcPageInFront) {
    ListPagesOfOneMode lists(m_server);
    const auto pages = lists.Named();
    for (const auto& p : pages) {
        for (const bool tmcPageShown : {true, false}) {
            SCOPED_TRACE(testing::Message() << p.name << " " << tmcPageShown);
            ShowPageWindow(p.page->GetPageHandle(), true);
            m_driver.RunUntilIdle();
            const apptesting::TmcPageSeen seen =
                apptesting::ActivateOverTmcPage(p.page->GetHwnd(), tmcPageShown);
            EXPECT_EQ(seen.pageActivations, tmcPageShown ? 1 : 0);
            EXPECT_EQ(seen.inFront, tmcPageShown);
            ShowPageWindow(p.page->GetPageHandle(), false);
            m_driver.RunUntilIdle();
        }
    }
}

} // namespace
