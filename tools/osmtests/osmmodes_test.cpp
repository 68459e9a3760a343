// The modes of the main menu on the converted extract with the real navigation server on the
// map display facade, its route service and advisor, and a recording voice. The navigation mode
// made by the shell's factory takes "Vaduz, Äulestrasse" typed in its German pages while a
// replayed fix in Schaan arrives; without a fix it waits in the GPS-wait dialog; the route it
// calculates is stored as the most recent destination and its demo drive is guided to arrival
// on the map page. A tour of three stops, a TMC closure on the route re-planned on the
// interface thread and a contact's address routed complete the round. Frames land in the build
// folder (modes-frames/) for people to look at.
#include "app/contacts/extcontactdlg.h"
#include "app/destinations/addresspage.h"
#include "app/destinations/destinationinputpage.h"
#include "app/destinations/storeddestinationlist.h"
#include "app/destinations/uddrecord.h"
#include "app/modes/modes.h"
#include "app/pages/cnmappage.h"
#include "app/pages/navshowpage.h"
#include "app/pages/routelist.h"
#include "app/pages/tourlist.h"
#include "app/settings/optionspage.h"
#include "app/startup/voicepointer.h"
#include "app/tests/pagedevice.h"
#include "app/tests/recordingvoice.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "mapdisplay/mapenginefacade.h"
#include "mapdisplay/mapview.h"
#include "onboard/onboardserver.h"
#include "onboard/tests/serverworld.h"
#include "onboard/traffichandler.h"
#include "positioning/nmeademowriter.h"
#include "testdata/alertcencoder.h"
#include "testdata/matchedpositionbuilder.h"
#include "testdata/testfiles.h"
#include "testdata/tmctableswriter.h"
#include "testdata/vcardwriter.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"
#include "traffic/tests/decodedmessage.h"
#include "traffic/tmcdecoder.h"
#include "ui/gpsstatemonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/files/modules.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/text.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char16_t kModesFolder[] = u"\\modes";
constexpr char16_t kModesCity[] = u"Vaduz";
constexpr char16_t kModesStreet[] = u"\u00c4ulestrasse";
constexpr int kModesWidth = 480;
constexpr int kModesHeight = 640;
constexpr std::uint32_t kRouteFoundCode = 8;

// The main window's services; nothing to record here.
class QuietApplication final : public ApplicationInterface {
public:
    void NotifyModeClosed(bool) override {}
    bool RunLogbookDialog(HWND, bool, bool) override { return true; }
    void ControlReconnectThread(bool) override {}
};

// Keeps the newest position the server publishes (GPS worker) for the interface thread, which
// hands it to the GPS state monitor and the modes' position record, as the receiver supervision
// does.
class ModesFixRelay {
public:
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void OnPosition(const MatchedPosition* position) {
        std::lock_guard lock(m_mutex);
        m_newest = *position;
    }
    // Interface thread: the newest position, when there is one and it is matched to a street
    // or matchedOnly is false.
    bool Take(MatchedPosition& into, bool matchedOnly) {
        std::lock_guard lock(m_mutex);
        if (!m_newest || (matchedOnly && m_newest->street == MatchedPosition::kNoStreet)) {
            return false;
        }
        into = *std::exchange(m_newest, std::nullopt);
        GpsStateMonitor::Instance().OnPosition(into);
        return true;
    }

private:
    std::mutex m_mutex;
    std::optional<MatchedPosition> m_newest;
    // Last, so that the connections end before the members the handlers write go.
    OwnerHandlerList m_handlers;
};

bool ModesRouteDrives(const RouteRequestResult& result, std::uint32_t element) {
    for (RouteIteratorPtr it = GetRouteIterator(result); it && it->IsValid(); it->Next()) {
        if (it->Current().linkId == element) {
            return true;
        }
    }
    return false;
}

// Place and street of the record at key 0 of a list section in the settings file.
std::pair<std::u16string, std::u16string> FirstStored(const std::u16string& section) {
    const std::vector<std::u16string> records = StoredDestinationList(u"", section).Records();
    if (records.empty()) {
        return {};
    }
    float x = 0, y = 0;
    std::u16string placeLine, streetLine, place, street, extra, number;
    std::uint8_t userDefined = 0;
    (void)UddRecord::Parse(records[0], x, y, placeLine, streetLine, place, street, extra, number,
                           userDefined);
    return {place, street};
}

void SaveModesFrame(const std::string& name) {
    const std::filesystem::path folder("modes-frames");
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(platform::SaveScreenshot(nullptr, folder / (name + ".png"))) << name;
}

class ExtractModes : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        ConvertOnce({{"modes", options}});
        const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        ASSERT_TRUE(engine->Open(std::u16string(kModesFolder) + osm2nav::kLevelFile));
        for (const char16_t* town : {u"Schaan", u"Triesen"}) {
            const auto road = extractplaces::FirstTownRoad(*engine, town);
            ASSERT_TRUE(road);
            s_towns.push_back(*road);
        }
        std::vector<GeoPoint> points;
        ASSERT_TRUE(engine->GetElementPoints(s_towns[0], points) && points.size() >= 2);
        s_schaan = {points[0], points[1]};
    }

    void SetUp() override {
        ASSERT_TRUE(s_root->WriteFile(u"\\Windows\\Quarn.ini",
                                      "[Quarn]\r\nDB=\\modes\r\n[Properties]\r\nConfigFilesDir="
                                      "\\modes\\ConfigFiles\r\n[GPS]\r\nAutoLog=0\r\n"));
        ASSERT_TRUE(s_root->WriteFile(u"\\Nav\\deziv.ini", testdata::ReadTestFile(NAV_DEZIV_INI)));
        platform::SetExecutablePath(u"\\Nav\\nav.exe");
        const auto bundle =
            testdata::ReadHostFile(std::filesystem::path(NAV_LANGUAGES_DIR) / "LangGerCE.dll");
        ASSERT_TRUE(bundle && s_root->WriteFile(u"\\Windows\\LangGerCE.dll", *bundle));
        m_module = LoadLibraryW(u"LangGerCE.dll");
        ASSERT_NE(m_module, nullptr);
        platform::SetResourceInstance(m_module);
        ASSERT_TRUE(s_root->WriteFile(AppPaths::GetScreenDescFilePath(),
                                      testdata::ReadTestFile(NAV_SCREEN_DESC_FILE)));
        ASSERT_TRUE(s_root->WriteFile(AppPaths::GetSettingsFilePath(), "[Preferences]\r\n"));
        platform::SetScreenSize(kModesWidth, kModesHeight);
        platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        m_clock.Advance(5000);
        m_voice = new RecordingVoice;
        SetVoiceOutput(six::RefCntPtr<IVoiceOutput>(m_voice));
        (void)CreateWindowExW(0, WindowClassRegistry::ClassName(), u"Main", WS_POPUP | WS_VISIBLE,
                              0, 0, kModesWidth, kModesHeight, nullptr, nullptr, nullptr, &m_main);
        PickedDestination::Instance().Clear();
        InstallModes();
    }
    void TearDown() override {
        if (m_server) {
            m_server->CloseAlternativeGps();
            m_server->PositionEvent.Disconnect(&m_relay);
        }
        m_mode.reset();
        m_driver.RunUntilIdle();
        GetShellFactories().navigationMode = nullptr;
        GetShellFactories().tourMode = nullptr;
        GetShellFactories().movingMapMode = nullptr;
        m_main.Destroy();
        SetVoiceOutput(nullptr);
        m_server.Release();
        m_facade.Release();
        MatchedPosition noFix;
        noFix.fix.hdop = -2.0f;
        GpsStateMonitor::Instance().OnPosition(noFix);
        PickedDestination::Instance().Clear();
        platform::SetResourceInstance(nullptr);
        if (m_module != nullptr) {
            (void)FreeLibrary(m_module);
        }
        platform::SetExecutablePath(u"");
        platform::SetFontFile({});
        platform::SetScreenSize(240, 320);
    }

    // The server on the facade over the extract, its events logged and its positions relayed.
    void StartServer() {
        m_facade = MapEngineFacade::Create(2048);
        ASSERT_TRUE(m_facade->LoadLevelFile(std::u16string(kModesFolder) + osm2nav::kLevelFile));
        m_server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(m_facade));
        ASSERT_TRUE(m_server);
        m_log.Connect(*m_server);
        m_server->PositionEvent.Connect(&m_relay, &ModesFixRelay::OnPosition);
    }
    // The mode the shell's factory makes, started as the menu does.
    template <class Mode> Mode* OpenMode(const ShellFactories::ModeFactory& factory, int menuId) {
        ModeContext context;
        context.server = m_server;
        context.lastPosition = &m_position;
        context.facade = m_facade;
        context.application = &m_application;
        context.mainWindow = m_main.window;
        m_mode = factory(context);
        auto* mode = dynamic_cast<Mode*>(m_mode.get());
        if (mode != nullptr) {
            m_mode->Activate(menuId, 0);
            m_driver.RunUntilIdle();
        }
        return mode;
    }
    // A matched position at the start of the Schaan road with a usable fix.
    void StandInSchaan() {
        m_position = testdata::MatchedPositionBuilder()
                         .Fix(s_schaan[0])
                         .OnStreet(s_towns[0], s_schaan[0], s_schaan[0], s_schaan[1])
                         .Speed(30)
                         .Build();
        m_position.fix.hdop = 1.0f;
        GpsStateMonitor::Instance().OnPosition(m_position);
    }
    // The city (and street) typed into the main page as a user would, with the first house
    // number the address index holds for the street (none when it holds none).
    void TypeDestination(DestinationInputPage& page, const std::u16string& city,
                         const std::u16string& street) {
        const auto notify = [&page](UINT id, WORD code) {
            SendMessageW(page.GetHwnd(), WM_COMMAND, MAKEWPARAM(id, code),
                         reinterpret_cast<LPARAM>(page.Item(id)));
        };
        SetWindowTextW(page.Item(DestinationInputPage::kCityBoxId), city.c_str());
        notify(DestinationInputPage::kCityBoxId, 5);
        notify(DestinationInputPage::kCityBoxId, 10);
        m_driver.RunUntilIdle();
        m_houseNumber.clear();
        if (street.empty()) {
            return;
        }
        SetWindowTextW(page.Item(DestinationInputPage::kStreetBoxId), street.c_str());
        notify(DestinationInputPage::kStreetBoxId, 5);
        const std::vector<std::u16string> streets =
            apptesting::ComboBoxTexts(page.Item(DestinationInputPage::kStreetBoxId));
        const auto found =
            std::find_if(streets.begin(), streets.end(), [&](const std::u16string& s) {
                return s == street || s.starts_with(street + u", ");
            });
        ASSERT_NE(found, streets.end()) << ::testing::PrintToString(streets);
        SendMessageW(page.Item(DestinationInputPage::kStreetBoxId), CB_SETCURSEL,
                     static_cast<WPARAM>(found - streets.begin()), 0);
        notify(DestinationInputPage::kStreetBoxId, 9);
        m_driver.RunUntilIdle();
        HWND number = page.Item(DestinationInputPage::kHouseNumberId);
        const DestinationDescription& chosen = GetMode().GetDescription();
        ASSERT_TRUE(chosen.street);
        for (unsigned short n = 1; n < 400 && IsWindowEnabled(number) && m_houseNumber.empty();
             ++n) {
            HouseNumber candidate;
            const std::string digits = std::to_string(n);
            const std::u16string text(digits.begin(), digits.end());
            (void)candidate.Parse(reinterpret_cast<const WCHAR*>(text.c_str()));
            if (chosen.street->HasHouseNumber(candidate)) {
                m_houseNumber = text;
            }
        }
        if (!m_houseNumber.empty()) {
            SetWindowTextW(number, m_houseNumber.c_str());
            notify(DestinationInputPage::kHouseNumberId, 0x300);
        }
    }
    // Steps the virtual clock until the server has published count positions; runs the loop
    // after each step unless called from inside it.
    bool StepUntilPublished(std::size_t count, bool runLoop = true) {
        for (int tries = 0; tries < 25; ++tries) {
            m_clock.Advance(667);
            const bool isPublished = m_log.WaitFor('P', count, std::chrono::milliseconds(200));
            if (runLoop) {
                m_driver.RunUntilIdle();
            }
            if (isPublished) {
                return true;
            }
        }
        return false;
    }
    // Clicks the control id of page (its window's WM_COMMAND).
    static void Click(PageBase* page, UINT id) {
        HWND window = page->GetPageHandle().window;
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, static_cast<int>(id))));
    }
    // "Finish" on the main page, then "NavStart" on the options page, with the steps played
    // while the loop waits (the GPS-wait dialog).
    void FinishAndStart(std::vector<platform::ScriptStep> whileWaiting = {}) {
        ModeControllerBase& mode = GetMode();
        Click(mode.GetMainPage(), NavigMainPage::kFinishId);
        m_driver.RunUntilIdle();
        ASSERT_TRUE(Shown(mode.GetOptionsPage()));
        EXPECT_FALSE(Shown(mode.GetMainPage()));
        SaveModesFrame("options");
        const bool scripted = !whileWaiting.empty();
        if (scripted) {
            m_driver.PlayWhenIdle(std::move(whileWaiting));
        }
        Click(mode.GetOptionsPage(), OptionsPage::kNavStartId);
        m_driver.RunUntilIdle();
        EXPECT_FALSE(scripted && m_driver.RanOutOfScript());
    }
    // Replays the route's demo drive through the server's replay device.
    void Replay(const RouteRequestResult& route, const std::string& file) {
        m_server->CloseAlternativeGps();
        const std::string path = "\\modes\\" + file;
        NmeaDemoWriter demo(path, route);
        ASSERT_EQ(demo.Write(), 0);
        GpsReceiverPtr receiver;
        m_server->OpenAlternativeGps(receiver);
        ASSERT_TRUE(receiver);
        receiver->OpenReplayFile(std::u16string(path.begin(), path.end()));
        receiver->SetSentenceRate(3.0F);
    }
    [[nodiscard]] ModeControllerBase& GetMode() const {
        return dynamic_cast<ModeControllerBase&>(*m_mode);
    }
    [[nodiscard]] static bool Shown(PageBase* page) {
        return page != nullptr && page->GetPageHandle().window != nullptr &&
               IsWindowVisible(page->GetPageHandle().window);
    }

    static inline std::vector<std::uint32_t> s_towns; // roads of Schaan and Triesen
    static inline std::vector<GeoPoint> s_schaan;     // the first segment of the Schaan road
    HMODULE m_module = nullptr;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
    six::RefCntPtr<MapEngineFacade> m_facade;
    Onboard::OnboardServerPtr m_server;
    servertest::EventLog m_log;
    ModesFixRelay m_relay;
    MatchedPosition m_position;
    QuietApplication m_application;
    RecordingVoice* m_voice = nullptr; // held by the voice pointer
    WindowHandle m_main;
    std::unique_ptr<MenuMode> m_mode;
    std::u16string m_houseNumber;
};

// From the menu to arrival: the destination typed in Schaan, the GPS wait cancelled, then closed
// by the replay's first matched fix, the route (code 8) stored as the most recent destination,
// shown on the map page and its demo drive guided to arrival with bar and phrases; there the
// tour's "CurrentPos" takes Vaduz and the street.
TEST_F(ExtractModes, TypedAddressIsRoutedFromAReplayedFixAndGuidedToArrival) {
    StartServer();
    MatchedPosition noFix;
    noFix.fix.hdop = -2.0f;
    GpsStateMonitor::Instance().OnPosition(noFix);
    auto* mode = OpenMode<NavigationMode>(GetShellFactories().navigationMode,
                                          static_cast<int>(NavigationMode::kPageId));
    ASSERT_NE(mode, nullptr);
    ASSERT_TRUE(Shown(mode->GetMainPage()));
    TypeDestination(*mode->GetMainPage(), kModesCity, kModesStreet);
    RecordProperty("houseNumber", std::string(m_houseNumber.begin(), m_houseNumber.end()));
    SaveModesFrame("1-main");
    const DestinationEntry target = mode->EntryFromDescription(mode->GetDescription());
    ASSERT_TRUE(target.location);

    // No fix: the GPS-wait dialog shows and cancel requests nothing.
    HWND waited = nullptr;
    FinishAndStart({platform::ScriptStep::Run([&] {
        waited = mode->GetGpsWaitWindow();
        SaveModesFrame("2-gps-wait");
        PostMessageW(waited, WM_COMMAND, 2, 0);
    })});
    EXPECT_NE(waited, nullptr);
    EXPECT_EQ(m_log.Count('R'), 0u);
    EXPECT_FALSE(Shown(mode->GetMapPage()));

    // A drive replayed from Schaan: its first matched fix closes the dialog, the route follows.
    RoutePositionPtr schaan;
    (void)m_server->CreateElementDestination(schaan, &s_towns[0]);
    RouteRequestResult approach;
    (void)m_server->RequestRouteBetween(approach, schaan, target.location);
    ASSERT_EQ(approach.status, kRouteFoundCode);
    const std::size_t routesBefore = m_log.Count('R');
    Replay(approach, "approach.txt");
    waited = nullptr;
    bool fixed = false;
    FinishAndStart({platform::ScriptStep::Run([&] {
        waited = mode->GetGpsWaitWindow();
        for (std::size_t i = m_log.Count('P') + 1; i < 60 && !fixed; ++i) {
            fixed = StepUntilPublished(i, false) && m_relay.Take(m_position, true);
        }
    })});
    ASSERT_TRUE(fixed);
    EXPECT_NE(waited, nullptr);
    EXPECT_EQ(mode->GetGpsWaitWindow(), nullptr);
    ASSERT_EQ(m_log.Count('R'), routesBefore + 1);
    const RouteRequestResult route = m_log.LastRoute();
    ASSERT_EQ(route.status, kRouteFoundCode);
    EXPECT_LT(extractplaces::kMetresPerDegree * std::hypot(m_position.matched.x - s_schaan[0].x,
                                                           m_position.matched.y - s_schaan[0].y),
              2000.0);
    EXPECT_EQ(FirstStored(u"Recent"),
              std::make_pair(std::u16string(kModesCity), std::u16string(kModesStreet)));
    EXPECT_TRUE(mode->HasRecent());
    CNMapPage* page = mode->GetMapPage();
    ASSERT_TRUE(Shown(page));
    EXPECT_TRUE(page->GetMapView()->HasRoute());
    EXPECT_TRUE(page->IsGuidanceConnected());
    SaveModesFrame("3-route");

    // The route's demo drive, guided to arrival.
    m_voice->Clear();
    Replay(route, "drive.txt");
    bool barShown = false;
    bool pictured = false;
    MatchedPosition lastOnStreet;
    for (std::size_t i = m_log.Count('P') + 1; i < 5000 && page->IsGuidanceConnected(); ++i) {
        if (!StepUntilPublished(i)) {
            break; // the drive is over
        }
        MatchedPosition now;
        if (m_relay.Take(now, false) && now.street != MatchedPosition::kNoStreet) {
            lastOnStreet = now;
        }
        m_driver.RunUntilIdle();
        barShown = barShown || IsWindowVisible(page->GetDistanceBar()->GetHwnd());
        const std::vector<std::u16string> said = m_voice->Calls();
        if (!pictured && !said.empty() && said.back().starts_with(u"Say([In] [Metres200]")) {
            SaveModesFrame("4-picture");
            page->OnTap(); // arrow mode
            m_driver.RunUntilIdle();
            SaveModesFrame("4-arrow");
            page->OnTap();
            m_driver.RunUntilIdle();
            pictured = true;
        }
    }
    m_server->CloseAlternativeGps();
    m_driver.RunUntilIdle();
    SaveModesFrame("5-arrived");
    const std::vector<std::u16string> said = m_voice->Calls();
    EXPECT_GE(std::count_if(said.begin(), said.end(),
                            [](const std::u16string& s) { return s.starts_with(u"Say("); }),
              3);
    ASSERT_FALSE(said.empty());
    EXPECT_TRUE(said.back().starts_with(u"Say([Now] [DestinationReached]"))
        << ::testing::PrintToString(said);
    EXPECT_TRUE(pictured);
    EXPECT_TRUE(barShown);
    EXPECT_FALSE(page->IsGuidanceConnected());
    EXPECT_FALSE(page->GetMapView()->HasRoute());
    EXPECT_FALSE(IsWindowVisible(page->GetDistanceBar()->GetHwnd()));

    // Where the drive ended, "CurrentPos" on the tour's page takes the town and the street.
    ASSERT_NE(lastOnStreet.street, MatchedPosition::kNoStreet);
    m_position = lastOnStreet;
    GpsStateMonitor::Instance().OnPosition(m_position);
    auto* tour = OpenMode<TourMode>(GetShellFactories().tourMode, 430);
    ASSERT_NE(tour, nullptr);
    DestinationInputPage* tourPage = tour->GetMainPage();
    ASSERT_TRUE(Shown(tourPage));
    EXPECT_TRUE(IsWindowEnabled(tourPage->Item(DestinationInputPage::kCurrentPosId)));
    Click(tourPage, DestinationInputPage::kCurrentPosId);
    m_driver.RunUntilIdle();
    SaveModesFrame("6-current-position");
    const DestinationDescription& here = tour->GetDescription();
    ASSERT_TRUE(here.city);
    ASSERT_TRUE(here.street);
    EXPECT_EQ(here.city->GetName(), kModesCity);
    EXPECT_EQ(here.street->GetName(), kModesStreet);
    EXPECT_EQ(apptesting::ComboBoxTexts(tourPage->Item(DestinationInputPage::kCityBoxId)),
              std::vector<std::u16string>{kModesCity});
    EXPECT_EQ(apptesting::ComboBoxTexts(tourPage->Item(DestinationInputPage::kStreetBoxId)),
              std::vector<std::u16string>{kModesStreet});
}

// A tour typed stop by stop (Schaan, Vaduz Äulestrasse, Triesen): two legs on the route list,
// the tour map showing them.
TEST_F(ExtractModes, TourOfThreeStopsFillsRouteListAndTourMap) {
    StartServer();
    StandInSchaan();
    auto* tour = OpenMode<TourMode>(GetShellFactories().tourMode, 430);
    ASSERT_NE(tour, nullptr);
    const std::pair<const char16_t*, const char16_t*> stops[] = {
        {u"Schaan", u""}, {kModesCity, kModesStreet}, {u"Triesen", u""}};
    for (const auto& [city, street] : stops) {
        ASSERT_TRUE(Shown(tour->GetMainPage()));
        TypeDestination(*tour->GetMainPage(), city, street);
        Click(tour->GetMainPage(), TourMainPage::kTakeOnId);
        m_driver.RunUntilIdle();
        ASSERT_TRUE(Shown(tour->GetTourList()));
        tour->OnPageCommand(6, tour->GetTourList()->GetHwnd());
        m_driver.RunUntilIdle();
    }
    tour->OnPageCommand(11, tour->GetMainPage()->GetHwnd());
    m_driver.RunUntilIdle();
    ASSERT_EQ(tour->GetStops().size(), 3u);
    SaveModesFrame("tour-list");
    tour->OnPageCommand(3, tour->GetTourList()->GetHwnd());
    m_driver.RunUntilIdle();
    const std::vector<TourEntry>& legs = tour->GetRouteListPage()->GetLegs();
    ASSERT_EQ(legs.size(), 2u);
    EXPECT_EQ(legs[0].startText, u"Schaan, Schaan");
    EXPECT_EQ(legs[1].startText, std::u16string(kModesCity) + u", " + kModesStreet);
    EXPECT_EQ(legs[1].destinationText, u"Triesen, Triesen");
    for (const TourEntry& leg : legs) {
        EXPECT_EQ(leg.result.status, kRouteFoundCode);
        EXPECT_GT(leg.result.length, 0);
    }
    ASSERT_TRUE(Shown(tour->GetRouteCalcPage()));
    EXPECT_FALSE(tour->GetRouteCalcPage()->GetViewPoints().empty());
    EXPECT_TRUE(tour->GetRouteCalcPage()->GetMapView()->HasRoute());
    SaveModesFrame("tour-map");
    tour->OnPageCommand(9, tour->GetRouteCalcPage()->GetHwnd());
    m_driver.RunUntilIdle();
    EXPECT_TRUE(Shown(tour->GetRouteListPage()));
    SaveModesFrame("route-list");
}

// A TMC line along a road of the navigation route that can be driven around: its closure turns
// into one traffic event on the server's thread, and the route is planned again on the
// interface thread, once, around the road.
TEST_F(ExtractModes, TmcClosureOnTheRouteIsReplannedAroundItOnTheInterfaceThread) {
    // The road, found with a first server that has no TMC tables.
    std::optional<RouteRecord> road;
    std::vector<GeoPoint> roadPoints;
    {
        StartServer();
        StandInSchaan();
        auto* mode = OpenMode<NavigationMode>(GetShellFactories().navigationMode, 420);
        ASSERT_NE(mode, nullptr);
        TypeDestination(*mode->GetMainPage(), kModesCity, kModesStreet);
        FinishAndStart();
        const RouteRequestResult route = m_log.LastRoute();
        ASSERT_EQ(route.status, kRouteFoundCode);
        std::vector<RouteRecord> records;
        for (RouteIteratorPtr it = GetRouteIterator(route); it && it->IsValid(); it->Next()) {
            records.push_back(it->Current());
        }
        const DestinationEntry target = mode->EntryFromDescription(mode->GetDescription());
        for (std::size_t i = records.size() / 2; i + 1 < records.size() && !road; ++i) {
            const std::vector<std::uint32_t> key = {records[i].linkId | 0x80000000U};
            ASSERT_TRUE(m_server->AddFlaggedElements(key, TrafficHandler::kAvoidanceFlag));
            RouteRequestResult around;
            (void)m_server->RequestRoute(around, &m_position,
                                         Onboard::RouteRequest{target.location, 0, nullptr});
            (void)m_server->RemoveFlaggedElements(key);
            if (around.status == kRouteFoundCode && !ModesRouteDrives(around, records[i].linkId)) {
                road = records[i];
            }
        }
        ASSERT_TRUE(road) << "no road of the route can be driven around";
        const auto scratch = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        ASSERT_TRUE(scratch->Open(std::u16string(kModesFolder) + osm2nav::kLevelFile));
        ASSERT_TRUE(scratch->GetElementPoints(road->linkId, roadPoints) && roadPoints.size() >= 2);
        m_server->PositionEvent.Disconnect(&m_relay);
        m_mode.reset();
        m_driver.RunUntilIdle();
        m_server.Release();
        m_facade.Release();
    }
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    const testdata::TmcRoadLine line = testdata::TmcLineAlongRoad(
        model,
        {{road->linkId, roadPoints.front().x, roadPoints.front().y, roadPoints.back().x,
          roadPoints.back().y}},
        {}, MakeTmcLocationCode(1, 1, 700), MakeTmcLocationCode(1, 1, 701), "Landstrasse", "28");
    ASSERT_TRUE(testdata::TmcTablesWriter(model).WriteFolder(
        *s_root, std::u16string(kModesFolder) + u"\\tmc", true));

    StartServer();
    auto* mode = OpenMode<NavigationMode>(GetShellFactories().navigationMode, 420);
    ASSERT_NE(mode, nullptr);
    TypeDestination(*mode->GetMainPage(), kModesCity, kModesStreet);
    FinishAndStart();
    ASSERT_EQ(m_log.LastRoute().status, kRouteFoundCode);
    ASSERT_TRUE(ModesRouteDrives(m_log.LastRoute(), road->linkId));

    testdata::AlertCMessage closure;
    closure.event = 401;
    closure.location = line.points[1] % 100000;
    closure.extent = 1;
    testdata::AlertCEncoder encoder;
    encoder.AddTable(closure.programmeId, 1);
    const TmcRawMessage message = DecodeLastTmcMessage(encoder.AddMessage(closure).Build());
    const std::size_t routes = m_log.Count('R');
    // Connected after the mode: once it has seen the event, the mode's handler has run.
    servertest::EventLog after;
    after.Connect(*m_server);
    m_voice->Clear();
    ASSERT_TRUE(m_server->GetTmcMessageStore()->AddRawMessage(&message));
    m_clock.Advance(TrafficHandler::kNotifyDelayMs + 1000);
    ASSERT_TRUE(after.WaitFor('T', 1));
    // Nothing is requested on the traffic thread: the re-plan waits for the interface thread.
    EXPECT_EQ(m_log.Count('R'), routes);
    m_driver.RunUntilIdle();
    EXPECT_EQ(m_log.Count('R'), routes + 1);
    EXPECT_EQ(m_log.LastRoute().status, kRouteFoundCode);
    EXPECT_FALSE(ModesRouteDrives(m_log.LastRoute(), road->linkId));
    const std::vector<std::u16string> said = m_voice->Calls();
    EXPECT_EQ(std::count(said.begin(), said.end(), u"Say([TrafficJamCollideWithRoute])"), 1)
        << ::testing::PrintToString(said);
}

// A contact's work address (Äulestrasse 12, Vaduz) taken on the mode's contacts page and
// routed from Schaan.
TEST_F(ExtractModes, ContactAddressIsRouted) {
    ASSERT_TRUE(s_root->InstallModule(u"pimstore.dll"));
    ASSERT_TRUE(s_root->WriteFile(
        platform::kContactsFilePath,
        testdata::WriteVCards(testdata::DemoContacts(), testdata::VCardVersion::V40)));
    StartServer();
    StandInSchaan();
    auto* mode = OpenMode<NavigationMode>(GetShellFactories().navigationMode, 420);
    ASSERT_NE(mode, nullptr);
    mode->OnPageCommand(14, mode->GetMainPage()->GetHwnd());
    m_driver.RunUntilIdle();
    ExtContactDlg* contacts = mode->GetContactsPage();
    ASSERT_TRUE(Shown(contacts));
    EXPECT_FALSE(Shown(mode->GetMainPage()));
    contacts->FillList();
    ASSERT_FALSE(contacts->GetEntries().empty());
    EXPECT_EQ(contacts->GetEntries()[0].street, kModesStreet);
    SaveModesFrame("contacts");
    std::vector<UINT> messages;
    contacts->SetMessageShower([&](UINT id) { messages.push_back(id); });
    contacts->SetListChooser(
        [](const std::vector<std::u16string>&, const std::u16string&, UINT) { return 0; });
    contacts->SetCurSel(0);
    contacts->ChooseAddress();
    m_driver.RunUntilIdle();
    EXPECT_TRUE(messages.empty());
    ASSERT_TRUE(Shown(mode->GetMainPage()));
    FinishAndStart();
    EXPECT_EQ(m_log.LastRoute().status, kRouteFoundCode);
    EXPECT_TRUE(Shown(mode->GetMapPage()));
    EXPECT_EQ(FirstStored(u"Recent"),
              std::make_pair(std::u16string(kModesCity), std::u16string(kModesStreet)));
    ContactSession::ReleaseInstance();
}

} // namespace
