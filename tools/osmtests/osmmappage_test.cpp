// The navigation map page guiding the GPS demo drive of a route from Schaan to Vaduz over the
// converted extract: the real navigation server on the map display facade replays the drive
// through its alternative GPS device on the virtual clock, its events arrive on the GPS worker
// while the page's thread runs the loop and paints a 480 x 640 screen. The street texts follow
// the drive, the announcements reach the voice in the order the server gave them, the
// announcement key stops and speaks again, and the drive ends in one arrival. Frames in picture
// and arrow mode land in the build folder (mappage-frames/) for people to look at.
#include "app/pages/cnmappage.h"
#include "app/startup/voicepointer.h"
#include "app/tests/recordingmode.h"
#include "app/tests/recordingvoice.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "onboard/onboardserver.h"
#include "onboard/tests/serverworld.h"
#include "positioning/nmeademowriter.h"
#include "testdata/matchedpositionbuilder.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/testfiles.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/memoryarena.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/files/modules.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/text.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kPageWidth = 480;
constexpr int kPageHeight = 640;
constexpr char16_t kGuideFolder[] = u"\\guide";

class ExtractMapPage : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        ConvertOnce({{"guide", options}});
    }
};

// The announcements as the server gave them (cut at the arrival mark), in order, until the page
// stops listening.
class SpokenLog {
public:
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void OnAdvice(AdvicePtr advice) {
        if (!advice || !advice->IsValid()) {
            return;
        }
        const AdviceValuePtr value = advice->Current();
        const char16_t* speech = value ? value->GetSpeechText() : nullptr;
        bool arrival = false;
        const std::u16string text = CutAnnouncement(speech != nullptr ? speech : u"", arrival);
        std::lock_guard lock(m_mutex);
        if (!text.empty()) {
            m_said.push_back(u"Say(" + text + u")");
        }
        m_arrivals += arrival ? 1 : 0;
    }
    std::vector<std::u16string> Said() {
        std::lock_guard lock(m_mutex);
        return m_said;
    }

private:
    std::mutex m_mutex;
    std::vector<std::u16string> m_said;
    int m_arrivals = 0;
    // Last, so that the connections end before the members the handlers write go.
    OwnerHandlerList m_handlers;
};

std::u16string PageText(const CNMapPage& page, UINT id) {
    char16_t buffer[256] = {};
    GetWindowTextW(GetDlgItem(page.GetHwnd(), static_cast<int>(id)), buffer, 256);
    return buffer;
}

void SaveFrame(const std::string& name) {
    const std::filesystem::path folder("mappage-frames");
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(platform::SaveScreenshot(nullptr, folder / (name + ".png"))) << name;
}

TEST_F(ExtractMapPage, GuidesFromSchaanToVaduzAndArrivesOnce) {
    if (!MemoryArena::Shared().HoldsMemory()) {
        ASSERT_TRUE(MemoryArena::Shared().Reserve(8 << 20));
    }
    platform::SetScreenSize(kPageWidth, kPageHeight);
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    ASSERT_TRUE(s_root->WriteFile(
        u"\\Windows\\Quarn.ini",
        "[Quarn]\r\nDB=\\guide\r\n[Properties]\r\nConfigFilesDir=\\guide\\ConfigFiles"
        "\r\n[GPS]\r\nAutoLog=0\r\n"));
    ASSERT_TRUE(s_root->WriteFile(u"\\Nav\\deziv.ini", testdata::ReadTestFile(NAV_DEZIV_INI)));
    platform::SetExecutablePath(u"\\Nav\\nav.exe");
    platform::ResourceBundle bundle;
    bundle.strings = {{554, u"Distance"}, {555, u"Arrival"}, {557, u"Time"},
                      {583, u"Stop"},     {1121, u"Block"},  {1122, u"Logging"}};
    ASSERT_TRUE(
        s_root->WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(bundle)));
    HMODULE module = LoadLibraryW(u"LangEngCE.dll");
    ASSERT_NE(module, nullptr);
    platform::SetResourceInstance(module);
    ASSERT_TRUE(s_root->WriteFile(AppPaths::GetScreenDescFilePath(),
                                  testdata::ReadTestFile(NAV_SCREEN_DESC_FILE)));
    ASSERT_TRUE(s_root->WriteFile(AppPaths::GetSettingsFilePath(), "[Preferences]\r\n"));
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    clock.Advance(5000);
    platform::ScreenDriver driver(&clock);

    // The ends of the route, found on a scratch engine.
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    std::vector<GeoPoint> points;
    {
        const auto scratch = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        ASSERT_TRUE(scratch->Open(std::u16string(kGuideFolder) + osm2nav::kLevelFile));
        const auto a = extractplaces::FirstTownRoad(*scratch, u"Schaan");
        const auto b = extractplaces::FirstTownRoad(*scratch, u"Vaduz");
        ASSERT_TRUE(a && b);
        from = *a;
        to = *b;
        ASSERT_TRUE(scratch->GetElementPoints(from, points) && points.size() >= 2);
    }

    const auto facade = MapEngineFacade::Create(2048);
    ASSERT_TRUE(facade->LoadLevelFile(std::u16string(kGuideFolder) + osm2nav::kLevelFile));
    Onboard::OnboardServerPtr server =
        CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(facade));
    ASSERT_TRUE(server);
    auto* voice = new RecordingVoice;
    SetVoiceOutput(six::RefCntPtr<IVoiceOutput>(voice));
    RecordingMode mode;
    auto page = std::make_unique<CNMapPage>(&mode, server, facade);
    ShowPageWindow(page->GetPageHandle(), true);
    driver.RunUntilIdle();
    SpokenLog spoken;
    servertest::EventLog log;
    log.Connect(*server);

    const MatchedPosition start = testdata::MatchedPositionBuilder()
                                      .Fix(points[0])
                                      .OnStreet(from, points[0], points[0], points[1])
                                      .Speed(50)
                                      .Build();
    RoutePositionPtr destination;
    server->CreateElementDestination(destination, &to);
    Onboard::RouteRequest request;
    request.destination = destination;
    RouteRequestResult route;
    server->RequestRoute(route, &start, request);
    ASSERT_EQ(route.status, routestatus::kFound);
    page->ShowRoute(route);
    driver.RunUntilIdle();
    ASSERT_TRUE(page->GetMapView()->HasRoute());
    // From here on the page shows the route and so speaks every announcement.
    server->AdviceEvent.Connect(&spoken, &SpokenLog::OnAdvice);

    NmeaDemoWriter demo("\\guide\\drive.txt", route);
    ASSERT_EQ(demo.Write(), 0);
    GpsReceiverPtr receiver;
    server->OpenAlternativeGps(receiver);
    ASSERT_TRUE(receiver);
    receiver->OpenReplayFile(u"\\guide\\drive.txt");
    receiver->SetSentenceRate(3.0F);

    std::set<std::u16string> currentStreets;
    std::set<std::u16string> nextStreets;
    bool repeated = false;
    std::size_t saidBeforeKey = 0;
    bool framed = false;
    constexpr std::size_t kMostFixes = 3000;
    for (std::size_t i = 1; i <= kMostFixes && page->IsGuidanceConnected(); ++i) {
        bool isPublished = false;
        for (int tries = 0; tries < 25 && !isPublished; ++tries) {
            clock.Advance(667);
            isPublished = log.WaitFor('P', i, std::chrono::milliseconds(200));
            driver.RunUntilIdle();
        }
        if (!isPublished) {
            break; // the drive is over
        }
        currentStreets.insert(PageText(*page, CNMapPage::kCurrentStreetId));
        nextStreets.insert(PageText(*page, CNMapPage::kNextStreetId));
        // The key repeats the current advice when the server has words for it: tried every
        // tenth fix until it did.
        if (!repeated && i % 10 == 0 && voice->Calls().size() >= 3) {
            saidBeforeKey = voice->Calls().size();
            SendMessageW(page->GetHwnd(), WM_KEYDOWN, 'A', 0);
            for (int wait = 0; wait < 100 && !repeated; ++wait) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                driver.RunUntilIdle();
                const std::vector<std::u16string> now = voice->Calls();
                repeated = std::find(now.begin() + static_cast<long>(saidBeforeKey), now.end(),
                                     u"Stop") != now.end();
            }
        }
        // The frames 200 m before a manoeuvre, where the junction picture shows.
        const std::vector<std::u16string> sofar = voice->Calls();
        if (!framed && !sofar.empty() && sofar.back().starts_with(u"Say([In] [Metres200]")) {
            SaveFrame("picture");
            page->OnTap(); // arrow mode
            driver.RunUntilIdle();
            SaveFrame("arrow");
            page->OnTap();
            driver.RunUntilIdle();
            framed = true;
        }
    }
    server->CloseAlternativeGps();
    for (int i = 0; i < 50; ++i) {
        clock.Advance(100);
        driver.RunUntilIdle();
    }

    // One arrival: the bar hidden, the route cleared, guidance disconnected once.
    const std::vector<std::string>& calls = mode.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "DisconnectTrafficEvent()"), 1);
    EXPECT_FALSE(page->IsGuidanceConnected());
    EXPECT_TRUE(page->IsPositionConnected());
    EXPECT_FALSE(page->GetMapView()->HasRoute());
    EXPECT_FALSE(IsWindowVisible(page->GetDistanceBar()->GetHwnd()));
    // The streets followed the drive, cut at "/U".
    currentStreets.erase(u"");
    nextStreets.erase(u"");
    EXPECT_GE(currentStreets.size(), 2u);
    EXPECT_GE(nextStreets.size(), 1u);
    for (const auto* names : {&currentStreets, &nextStreets}) {
        for (const std::u16string& name : *names) {
            EXPECT_EQ(name.find(u"/U"), std::u16string::npos);
        }
    }
    // The announcements in the server's order; the key's repeat (a stop, then the current
    // advice again) in between. The route the server calculated first stopped the voice too.
    EXPECT_TRUE(repeated);
    std::vector<std::u16string> said = voice->Calls();
    ASSERT_GE(said.size(), saidBeforeKey);
    const auto stop =
        std::find(said.begin() + static_cast<long>(saidBeforeKey), said.end(), u"Stop");
    ASSERT_NE(stop, said.end());
    ASSERT_NE(stop + 1, said.end());
    EXPECT_TRUE((stop + 1)->starts_with(u"Say("));
    said.erase(stop, stop + 2);
    std::erase(said, u"Stop");
    const std::vector<std::u16string> given = spoken.Said();
    ASSERT_GE(given.size(), said.size());
    EXPECT_GE(said.size(), 3u);
    EXPECT_EQ(said, std::vector<std::u16string>(given.begin(),
                                                given.begin() + static_cast<long>(said.size())));
    EXPECT_NE(said.back().find(u"DestinationReached"), std::u16string::npos);

    server->AdviceEvent.Disconnect(&spoken);
    page.reset();
    SetVoiceOutput(nullptr);
    server.Release();
    platform::SetResourceInstance(nullptr);
    (void)FreeLibrary(module);
    platform::SetExecutablePath(u"");
    platform::SetFontFile({});
    platform::SetScreenSize(240, 320);
}

} // namespace
