#include "app/pages/cnmappage.h"
#include "app/startup/gpssimulationdlg.h"
#include "app/startup/replayfilecheck.h"
#include "app/startup/voicepointer.h"
#include "app/tests/pagedevice.h"
#include "app/tests/recordingmode.h"
#include "app/tests/recordingvoice.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "mapdisplay/tests/mapviewfixture.h"
#include "testdata/nmeawriter.h"
#include "testdata/rdsgroupfilewriter.h"
#include "ui/dialogbase.h"
#include "ui/messagedialogs.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/filecheck.h"
#include "utilities/usefulcode/memoryarena.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/files/files.h"
#include "platform/kernel/clockwaits.h"
#include "platform/kernel/messagebox.h"
#include "platform/shell/dialogs.h"
#include "platform/shell/modulepath.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

// One advice record as the page reads it.
struct GuidanceStep {
    std::u16string street;
    std::u16string speech;
    std::uint32_t remainingMetres = 1000;
    std::uint32_t remainingSeconds = 120;
    std::int16_t approach = 50;
};

class StepValue final : public IAdviceValue {
public:
    explicit StepValue(GuidanceStep step)
        : m_step(std::move(step)) {}
    const char16_t* GetFromStreet() const override { return u""; }
    const char16_t* GetStreetName() const override { return m_step.street.c_str(); }
    std::int32_t GetDistance() const override { return 100; }
    std::uint32_t GetTravelTime() const override { return 10; }
    std::int32_t GetKind() const override { return 0; }
    std::uint32_t GetRemainingDistance() const override { return m_step.remainingMetres; }
    std::uint32_t GetRemainingTime() const override { return m_step.remainingSeconds; }
    const char16_t* GetDisplayText() const override { return u""; }
    const char16_t* GetSpeechText() const override { return m_step.speech.c_str(); }
    GeoPoint GetPosition() const override { return {}; }
    const char16_t* GetPropertyText() const override { return u""; }
    const char16_t* GetPlaceName() const override { return u""; }
    RouteIteratorPtr GetRouteIterator() const override { return nullptr; }
    std::int16_t GetApproachPercent() const override { return m_step.approach; }
    std::uint8_t IsLinkedToNext() const override { return 0; }

private:
    GuidanceStep m_step;
};

class StepAdvice final : public IAdvice {
public:
    explicit StepAdvice(GuidanceStep step)
        : m_step(std::move(step)) {}
    bool Next() override { return false; }
    AdviceValuePtr Current() const override { return AdviceValuePtr(new StepValue(m_step)); }
    bool IsValid() const override { return true; }
    AdvicePtr Clone() const override { return AdvicePtr(new StepAdvice(m_step)); }

private:
    GuidanceStep m_step;
};

// The scripted server, recording the street blocks and answering the current advice.
class GuidanceServer final : public mapviewtest::ScriptedServer {
public:
    const std::vector<std::uint32_t>* AvoidRoadAhead(std::int32_t distance, bool replan) override {
        std::lock_guard lock(mutex);
        blocks.push_back(std::to_string(distance) + (replan ? " replan" : ""));
        return &blockedIds;
    }
    AdvicePtr& GetAdviceAtPosition(AdvicePtr& out) override {
        // A slow server: host time passes while it looks, which a clock that moves only when
        // told does not see.
        std::this_thread::sleep_for(std::chrono::milliseconds(adviceDelayMs.load()));
        std::lock_guard lock(mutex);
        ++adviceRequests;
        out = current;
        return out;
    }
    GpsReceiverPtr& OpenAlternativeGps(GpsReceiverPtr& out) override { return out = replay; }
    six::RefCntPtr<TmcReceiver> GetTmcReceiver() override { return tmc; }
    std::vector<std::string> Blocks() {
        std::lock_guard lock(mutex);
        return blocks;
    }

    std::mutex mutex;
    std::vector<std::string> blocks;
    std::vector<std::uint32_t> blockedIds;
    AdvicePtr current;
    std::atomic<int> adviceDelayMs{0};
    std::atomic<int> adviceRequests{0};
    GpsReceiverPtr replay;
    six::RefCntPtr<TmcReceiver> tmc;
};

// A message store counting its AnnounceAll calls.
class CountingStore final : public TmcMessageStore {
public:
    void AnnounceAll() override {
        ++announced;
        TmcMessageStore::AnnounceAll();
    }
    int announced = 0;
};

// The replay devices of the simulation keys, recording what the page sets (user-interface
// thread only: nothing runs them). Their files, positions and lengths are the receivers' own: a
// replay file, once opened, is read as it is at each call.
constexpr DWORD kSimulatedFileLength = 20000;

// The replay files of the simulated devices, kSimulatedFileLength bytes each (the last line cut
// short): a fix a second, and the tuning group of a station over and over.
std::string SimulatedReplaySentences() {
    testdata::NmeaWriter writer;
    testdata::NmeaFixValues values;
    for (int second = 0; second < 600; ++second) {
        values.minute = second / 60;
        values.second = second % 60;
        writer.AddCycle(values);
    }
    std::string bytes = writer.Build();
    EXPECT_GE(bytes.size(), kSimulatedFileLength);
    bytes.resize(kSimulatedFileLength);
    return bytes;
}

std::string SimulatedReplayGroups() {
    testdata::RdsGroupFileWriter writer;
    for (DWORD line = 0; line <= kSimulatedFileLength / 16; ++line) {
        writer.Add(testdata::RdsGroupFileWriter::TuningGroup(0xD301));
    }
    std::string bytes = writer.Build();
    EXPECT_GE(bytes.size(), kSimulatedFileLength);
    bytes.resize(kSimulatedFileLength);
    return bytes;
}

class SimulatedGps final : public GpsReceiver {
public:
    SimulatedGps(const std::u16string& settings, std::vector<std::string>& record)
        : GpsReceiver(settings)
        , calls(record) {}
    // Replays path from position on, as 'L' and then 'P' leave the receiver; records nothing.
    void ReplayFrom(const std::u16string& path, DWORD position) {
        GpsReceiver::OpenReplayFile(path);
        ASSERT_TRUE(GpsReceiver::SetFilePosition(position));
        calls.clear();
    }
    bool SetFilePosition(DWORD offset) override {
        calls.push_back("gps SetFilePosition(" + std::to_string(offset) + ")");
        if (beforeMove) {
            beforeMove();
        }
        return GpsReceiver::SetFilePosition(offset);
    }
    void SetSentenceRate(float rate) override {
        calls.push_back("gps SetSentenceRate(" + std::to_string(static_cast<int>(rate)) + ")");
    }
    float GetSentenceRate() override { return 4.0f; }
    std::vector<std::string>& calls;
    std::function<void()> beforeMove; // what befalls the file as the page moves the replay
};

class SimulatedTmc final : public TmcReceiver {
public:
    SimulatedTmc(const std::u16string& settings, std::vector<std::string>& record)
        : TmcReceiver(settings)
        , calls(record) {}
    void ReplayFrom(const std::u16string& path, DWORD position) {
        ASSERT_TRUE(TmcReceiver::OpenReplayFile(path));
        ASSERT_TRUE(TmcReceiver::SetFilePosition(position));
    }
    bool OpenReplayFile(const std::u16string& path) override {
        calls.push_back("tmc OpenReplayFile(" + std::string(path.begin(), path.end()) + ")");
        return true;
    }
    bool SetFilePosition(DWORD offset) override {
        calls.push_back("tmc SetFilePosition(" + std::to_string(offset) + ")");
        if (beforeMove) {
            beforeMove();
        }
        return TmcReceiver::SetFilePosition(offset);
    }
    void SetReplayRate(float rate) override {
        calls.push_back("tmc SetReplayRate(" + std::to_string(static_cast<int>(rate * 10)) +
                        "/10)");
    }
    std::vector<std::string>& calls;
    std::function<void()> beforeMove;
};

class NavMapPageTest : public testing::Test {
protected:
    void SetUp() override {
        if (!MemoryArena::Shared().HoldsMemory()) {
            ASSERT_TRUE(MemoryArena::Shared().Reserve(8 << 20));
        }
        platform::SetExecutablePath(u"\\Nav\\nav.exe");
        platform::ResourceBundle bundle;
        bundle.strings = {{554, u"Distance"},
                          {555, u"Arrival"},
                          {557, u"Time"},
                          {583, u"Stop"},
                          {1121, u"Block"},
                          {1122, u"Logging"},
                          {1126, u"Block how far?"},
                          {1127, u"Lift the block?"},
                          {1189, u"Too far"},
                          {1408, u"No sentences: %s"},
                          {1409, u"No groups: %s"},
                          {1410, u"At most <@>"},
                          {1411, u"No file: <@>"}};
        m_module = windowtesting::LoadLanguage(m_root, bundle);
        ASSERT_NE(m_module, nullptr);
        platform::SetResourceInstance(m_module);
        const auto layout = testdata::ReadHostFile(NAV_SCREEN_DESC_FILE);
        ASSERT_TRUE(layout && m_root.WriteFile(AppPaths::GetScreenDescFilePath(), *layout));
        ASSERT_TRUE(m_root.WriteFile(AppPaths::GetSettingsFilePath(),
                                     "[Preferences]\r\nDistToDestMode=0\r\n"));
        ASSERT_TRUE(m_root.MakeFolder(u"\\My Documents"));
        ASSERT_TRUE(m_town.WriteTo(m_root, u"\\maps"));
        m_facade = MapEngineFacade::Create(1024);
        ASSERT_TRUE(m_facade->LoadLevelFile(u"\\maps\\town.lvl"));
        m_scripted = new GuidanceServer;
        m_server = Onboard::OnboardServerPtr(m_scripted);
        m_voice = new RecordingVoice;
        SetVoiceOutput(six::RefCntPtr<IVoiceOutput>(m_voice));
    }
    void TearDown() override {
        m_page.reset();
        SetVoiceOutput(nullptr);
        m_server = nullptr;
        m_facade = nullptr;
        platform::SetResourceInstance(nullptr);
        if (m_module != nullptr) {
            (void)FreeLibrary(m_module);
        }
        platform::SetExecutablePath(u"");
    }
    // A page showing a two-record route through the town's centre, eastwards, its end riseDegrees
    // north of its start.
    void OpenWithRoute(float riseDegrees = 0.0f) {
        m_page = std::make_unique<CNMapPage>(&m_mode, m_server, m_facade);
        ShowPageWindow(m_page->GetPageHandle(), true);
        m_driver.RunUntilIdle();
        const GeoPoint a = MapPointToDegrees(m_town.GetCentre());
        const GeoPoint b{a.x + 0.002f, a.y};
        const GeoPoint c{a.x + 0.004f, a.y + riseDegrees};
        RouteRequestResult result(routestatus::kFound);
        result.route = std::make_shared<ScriptedRoute>(
            std::vector<RouteRecord>{ScriptedRecord(a, 1, {a, b}), ScriptedRecord(b, 2, {b, c})});
        result.length = 2000;
        result.travelTime = 600;
        m_page->ShowRoute(result);
        // The page connected its handlers when its window was made: the route comes as the
        // server's route event, as after a calculation.
        std::thread routeThread([&] { m_server->RouteEvent.Emit(&result); });
        routeThread.join();
        m_driver.RunUntilIdle();
        ASSERT_TRUE(m_page->GetMapView()->HasRoute());
        m_mode.ClearCalls();
        m_voice->Clear();
    }
    std::u16string Text(UINT id) const {
        char16_t buffer[128] = {};
        GetWindowTextW(GetDlgItem(m_page->GetHwnd(), static_cast<int>(id)), buffer, 128);
        return buffer;
    }
    // What a driver that steps the clock does before it moves it: waits (host time, 5 s at most)
    // until the threads the page set off on the clock's side have done their work, then runs the
    // loop.
    void LetWokenThreadsRun() {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (platform::ThreadsWokenByTheClock() != 0 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        m_driver.RunUntilIdle();
    }
    // Runs the loop until done() holds, letting worker threads go on (host time).
    void RunUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 500 && !done(); ++i) {
            m_driver.RunUntilIdle();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        m_driver.RunUntilIdle();
    }

    testdata::TempDeviceRoot m_root;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
    testdata::DrawTownWriter m_town{12, 1};
    HMODULE m_module = nullptr;
    six::RefCntPtr<MapEngineFacade> m_facade;
    GuidanceServer* m_scripted = nullptr; // held by m_server
    Onboard::OnboardServerPtr m_server;
    RecordingVoice* m_voice = nullptr; // held by the voice pointer
    RecordingMode m_mode;
    std::unique_ptr<CNMapPage> m_page;
};

TEST(NavMapPageText, StreetsAndAnnouncementsAreCut) {
    struct Row {
        const char16_t* text;
        const char16_t* street;
        const char16_t* spoken;
        bool arrival;
    };
    const Row rows[] = {
        {u"Landstrasse/U12", u"Landstrasse", u"Landstrasse/U12", false},
        {u"Im Feld", u"Im Feld", u"Im Feld", false},
        // An arrival is said: without words before its mark, those after it, else the
        // destination reached.
        {u"@", u"@", u"[DestinationReached]", true},
        {u" @ [DestinationAhead]", u" @ [DestinationAhead]", u"[DestinationAhead]", true},
        {u"@  ", u"@  ", u"[DestinationReached]", true},
        {u"[DestinationReached] @", u"[DestinationReached] @", u"[DestinationReached] ", true}};
    for (const Row& row : rows) {
        bool arrival = false;
        EXPECT_EQ(CutStreetName(row.text), row.street);
        EXPECT_EQ(CutAnnouncement(row.text, arrival), row.spoken);
        EXPECT_EQ(arrival, row.arrival);
    }
}

TEST_F(NavMapPageTest, TheBarBesideTheMapAndThreeTapsOnTheField) {
    OpenWithRoute();
    RECT bar{};
    ASSERT_NE(m_page->GetDistanceBar()->GetHwnd(), nullptr);
    GetWindowRect(m_page->GetDistanceBar()->GetHwnd(), &bar);
    EXPECT_EQ(bar.right - bar.left, 39) << "a 240-pixel area";
    EXPECT_EQ(Text(CNMapPage::kDistValueId), u"2.0km");
    const char16_t* labels[] = {u"Time", u"Arrival", u"Distance"};
    RECT field{};
    GetWindowRect(GetDlgItem(m_page->GetHwnd(), CNMapPage::kDistValueId), &field);
    POINT inside{(field.left + field.right) / 2, (field.top + field.bottom) / 2};
    ScreenToClient(m_page->GetHwnd(), &inside);
    for (const char16_t* label : labels) {
        SendMessageW(m_page->GetHwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(inside.x, inside.y));
        EXPECT_EQ(Text(CNMapPage::kDistLabelId), label);
    }
    EXPECT_EQ(Text(CNMapPage::kDistValueId), u"2.0km");
}

// Advice arrives on a worker thread while the page's thread runs its loop. Before any, the
// route's first picture shows the advice at the position where the car stands, unsaid.
TEST_F(NavMapPageTest, AdviceShowsTheNextStreetSpeaksAndReportsTheArrival) {
    struct Row {
        std::vector<GuidanceStep> steps;
        const char16_t* nextStreet;
        std::vector<std::u16string> voice;
        bool arrived;
        std::optional<GuidanceStep> atPosition = std::nullopt; // the server's advice there
        const char16_t* label = nullptr; // the map's distance label; null: not looked at
        bool isTourStop = false;         // the mode has a next stop: it is told and routed
    };
    const Row rows[] = {
        {{{u"Landstrasse/U7", u"[TurnLeft]"}}, u"Landstrasse", {u"Say([TurnLeft])"}, false},
        {{{u"Im Feld", u"[A]"}, {u"Im Feld", u""}, {u"Au", u"[B]"}},
         u"Au",
         {u"Say([A])", u"Say([B])"},
         false},
        {{{u"Kirchweg", u"@", 1000, 120, 0}}, u"", {u"Say([DestinationReached])"}, true},
        {{{u"Kirchweg", u"@ [DestinationAhead] [ThenImmediately] [DestinationReached]", 1000, 120,
           0}},
         u"",
         {u"Say([DestinationAhead] [ThenImmediately] [DestinationReached])"},
         true},
        {{{u"Kirchweg", u"[DestinationReached] @", 1000, 120, 0}},
         u"",
         {u"Say([DestinationReached] )"},
         true},
        {{{u"Kirchweg", u"[Now] [DestinationReached] @", 1000, 120, 0}},
         u"",
         {u"Say([StopReached])"},
         true,
         std::nullopt,
         nullptr,
         true},
        {{},
         u"Au",
         {},
         false,
         GuidanceStep{u"Au", u"[In] [Metres100] [TurnLeft]", 1000, 120, 0},
         u"100m"},
    };
    for (const Row& row : rows) {
        m_scripted->current = row.atPosition ? AdvicePtr(new StepAdvice(*row.atPosition)) : nullptr;
        m_mode.script.hasNextStop = row.isTourStop;
        OpenWithRoute();
        if (row.label != nullptr) {
            HWND label = m_page->GetMapView()->GetButtonBar().GetLabel()->GetWindow();
            char16_t shown[32] = {};
            GetWindowTextW(label, shown, 32);
            EXPECT_EQ(std::u16string(shown), row.label);
            EXPECT_TRUE(IsWindowVisible(label));
        }
        std::thread worker([&] {
            for (const GuidanceStep& step : row.steps) {
                m_server->AdviceEvent.Emit(AdvicePtr(new StepAdvice(step)));
            }
        });
        RunUntil([&] { return m_voice->Calls().size() >= row.voice.size(); });
        worker.join();
        m_driver.RunUntilIdle();
        EXPECT_EQ(Text(CNMapPage::kNextStreetId), row.nextStreet);
        EXPECT_EQ(m_voice->Calls(), row.voice);
        const std::vector<std::string>& calls = m_mode.Calls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "NextStop(0)"), row.isTourStop ? 1 : 0);
        EXPECT_EQ(m_page->GetMapView()->HasRoute(), !row.arrived);
        EXPECT_EQ(m_page->IsGuidanceConnected(), !row.arrived);
        EXPECT_TRUE(m_page->IsPositionConnected());
        if (row.arrived) {
            // The junction view got the arrival's advice (its distance label) before the route
            // was cleared: it shows the destination's picture.
            auto* schematic = dynamic_cast<SchematicWnd*>(m_page->GetSchematic());
            ASSERT_NE(schematic, nullptr);
            EXPECT_EQ(schematic->GetLabelDistance(), 100);
        }
        m_page.reset();
    }
}

// The mode shows the route before the page has its window, and the server's route event came
// before the page listened: the view takes the route once the page is made, and advice speaks.
TEST_F(NavMapPageTest, ARouteShownBeforeThePageIsMadeIsGuided) {
    m_page = std::make_unique<CNMapPage>(&m_mode, m_server, m_facade);
    const GeoPoint a = MapPointToDegrees(m_town.GetCentre());
    const GeoPoint b{a.x + 0.002f, a.y};
    RouteRequestResult result(routestatus::kFound);
    result.route =
        std::make_shared<ScriptedRoute>(std::vector<RouteRecord>{ScriptedRecord(a, 1, {a, b})});
    result.length = 1000;
    m_page->ShowRoute(result);
    ShowPageWindow(m_page->GetPageHandle(), true);
    m_driver.RunUntilIdle();
    EXPECT_TRUE(m_page->GetMapView()->HasRoute());
    std::thread worker([&] {
        m_server->AdviceEvent.Emit(AdvicePtr(new StepAdvice({u"Au", u"[TurnLeft]"})));
    });
    worker.join();
    RunUntil([&] { return !m_voice->Calls().empty(); });
    EXPECT_EQ(m_voice->Calls(), (std::vector<std::u16string>{u"Say([TurnLeft])"}));
    EXPECT_EQ(Text(CNMapPage::kNextStreetId), u"Au");
}

// Keypad 1 has the code of 'a', which a key-down message never gives: it is no announcement key.
// The answer is said by the time a driver that steps the clock has waited for the threads the
// key set off, however long the server takes to look.
TEST_F(NavMapPageTest, TheAnnouncementKeyStopsAndSpeaksAgain) {
    const struct {
        UINT key;
        int adviceMs; // host time the server takes to look
        int asked;    // advice requests
        std::vector<std::u16string> said;
    } rows[] = {{'A', 0, 1, {u"Stop", u"Say([Again])"}},
                {'A', 100, 1, {u"Stop", u"Say([Again])"}},
                {VK_NUMPAD0 + 1, 0, 0, {}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << row.key << ", the server looks " << row.adviceMs << " ms");
        OpenWithRoute();
        m_scripted->current = AdvicePtr(new StepAdvice({u"Au", u"[Again]@"}));
        m_scripted->adviceDelayMs = row.adviceMs;
        const int askedBefore = m_scripted->adviceRequests;
        SendMessageW(m_page->GetHwnd(), WM_KEYDOWN, row.key, 0);
        LetWokenThreadsRun();
        EXPECT_EQ(m_voice->Calls(), row.said);
        m_page.reset(); // joins the announcement thread
        EXPECT_EQ(m_scripted->adviceRequests - askedBefore, row.asked);
    }
}

// What guidance handed to the page just before "Stop" is neither said nor shown after it: an
// advice with its announcement, and the announcement key's repeat.
TEST_F(NavMapPageTest, NothingQueuedBeforeStopIsSaidAfterIt) {
    const struct {
        const char* name;
        bool byKey; // the announcement key; otherwise an advice event
    } rows[] = {{"advice", false}, {"repeat", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        OpenWithRoute();
        if (row.byKey) {
            m_scripted->current = AdvicePtr(new StepAdvice({u"Au", u"[Again]"}));
            SendMessageW(m_page->GetHwnd(), WM_KEYDOWN, 'A', 0);
        } else {
            std::thread worker([&] {
                m_server->AdviceEvent.Emit(AdvicePtr(new StepAdvice({u"Au", u"[TurnLeft]"})));
            });
            worker.join();
        }
        m_page->StopNavigation(false); // joins the announcement thread
        m_driver.RunUntilIdle();
        EXPECT_EQ(m_voice->Calls(), std::vector<std::u16string>{u"Stop"});
        EXPECT_EQ(Text(CNMapPage::kNextStreetId), u"");
        m_page.reset();
    }
}

// The navigation map page that becomes active while the TMC message page is shown activates
// that page again and leaves it in front.
TEST_F(NavMapPageTest, ActivationLeavesTheShownTmcPageInFront) {
    for (const bool tmcPageShown : {true, false}) {
        SCOPED_TRACE(tmcPageShown);
        OpenWithRoute();
        const apptesting::TmcPageSeen seen =
            apptesting::ActivateOverTmcPage(m_page->GetHwnd(), tmcPageShown);
        EXPECT_EQ(seen.pageActivations, tmcPageShown ? 1 : 0);
        EXPECT_EQ(seen.inFront, tmcPageShown);
        m_page.reset();
    }
}

TEST_F(NavMapPageTest, BlockDistanceIsCheckedBeforeTheServerIsAsked) {
    struct Row {
        std::u16string typed; // kilometres
        std::vector<std::string> blocks;
        bool tooFar;
    };
    const Row rows[] = {{u"5", {"5000 replan"}, false},
                        {u"0.09", {}, false},
                        {u"100.1", {}, true},
                        {u"1" + std::u16string(300, u'0'), {}, true}};
    // The server names two streets, one with flag bits above the low 28.
    const std::uint32_t first = m_town.GetDetailIds()[m_town.GetStreetSegment(2, 2, true)];
    const std::uint32_t second = m_town.GetDetailIds()[m_town.GetStreetSegment(3, 2, false)];
    m_scripted->blockedIds = {first | 0x30000000u, second};
    std::vector<std::vector<GeoPoint>> lines(2);
    ASSERT_TRUE(m_facade->GetMappedElement(first)->GetPoints(lines[0]));
    ASSERT_TRUE(m_facade->GetMappedElement(second)->GetPoints(lines[1]));
    for (const Row& row : rows) {
        OpenWithRoute();
        bool tooFar = false;
        auto dialog = [] {
            HWND window = FindWindowW(u"Dialog", nullptr);
            return window != nullptr ? DialogBase::FromWindow(window) : nullptr;
        };
        m_driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
                                   auto* box = dynamic_cast<StreetBlockDlg*>(dialog());
                                   ASSERT_NE(box, nullptr);
                                   SetWindowTextW(box->GetEdit()->GetWindow(), row.typed.c_str());
                                   PostMessageW(box->GetWindow(), WM_COMMAND, 1, 0);
                               }),
                               platform::ScriptStep::Run([&] {
                                   DialogBase* box = dialog();
                                   tooFar = box != nullptr && box->GetSection() == u"MsgBox";
                                   if (box != nullptr) {
                                       PostMessageW(box->GetWindow(), WM_COMMAND, 1, 0);
                                   }
                               })});
        SendMessageW(m_page->GetHwnd(), WM_COMMAND, CNMapPage::kBlockStreetId, 0);
        RunUntil([&] {
            return m_scripted->Blocks().size() >= row.blocks.size() &&
                   m_page->GetBlockedLines().size() == (row.blocks.empty() ? 0u : 2u);
        });
        EXPECT_EQ(m_scripted->Blocks(), row.blocks)
            << std::string(row.typed.begin(), row.typed.end());
        EXPECT_EQ(tooFar, row.tooFar);
        EXPECT_EQ(m_page->IsStreetBlocked(), !row.blocks.empty());
        EXPECT_EQ(m_page->GetBlockedLines(),
                  row.blocks.empty() ? std::vector<std::vector<GeoPoint>>{} : lines);
        m_page.reset();
        std::lock_guard lock(m_scripted->mutex);
        m_scripted->blocks.clear();
    }
}

TEST_F(NavMapPageTest, StopAnswersEndOrKeepGuidance) {
    using Calls = std::vector<std::string>;
    const Calls stopped = {"ControlLogbook(1, 0)", "DisconnectTrafficEvent()", "ArmServerTimer()"};
    auto with = [](Calls first, const Calls& middle, Calls last) {
        first.insert(first.end(), middle.begin(), middle.end());
        first.insert(first.end(), last.begin(), last.end());
        return first;
    };
    struct Row {
        const char* name;
        UINT key;   // 0: the "Stop" button; 1: without confirmation
        int answer; // 0: no dialog expected
        Calls calls;
        bool guiding;
        bool visible;
        int announced; // the traffic messages said again
    };
    const Row rows[] = {
        {"new destination", 0, 534, with({"NextStop(1)"}, stopped, {"Activate()"}), false, false,
         0},
        {"menu", 0, 470, with({"NextStop(1)"}, stopped, {"Deactivate(0)"}), false, true, 0},
        {"no confirmation", 1, 0, with({}, stopped, {"Deactivate(0)"}), false, true, 0},
        {"Esc asks", VK_ESCAPE, 470, with({"NextStop(1)"}, stopped, {"Deactivate(0)"}), false, true,
         0},
        {"S asks", 'S', 535, {"NextStop(1)"}, true, true, 0},
        {"F4 (the code of 's') does not", VK_F1 + 3, 0, {}, true, true, 0},
        {"next destination", 0, 1150, {"NextStop(1)", "NextStop(0)"}, true, true, 1},
        {"map", 0, 430, {"NextStop(1)"}, true, true, 0},
        {"continue", 0, 535, {"NextStop(1)"}, true, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto* store = new CountingStore;
        m_scripted->store = six::RefCntPtr<TmcMessageStore>(store);
        m_mode.script.hasNextStop = true;
        OpenWithRoute();
        const int announcedBefore = store->announced;
        bool asked = false;
        if (row.answer != 0) {
            m_driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
                HWND window = FindWindowW(u"Dialog", nullptr);
                DialogBase* box = window != nullptr ? DialogBase::FromWindow(window) : nullptr;
                asked = box != nullptr && box->GetSection() == u"StopNavigTourDlg";
                if (box != nullptr) {
                    PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(row.answer), 0);
                }
            })});
        }
        if (row.key == 0) {
            SendMessageW(m_page->GetHwnd(), WM_COMMAND, CNMapPage::kStopId, 0);
        } else if (row.key == 1) {
            m_page->StopNavigation(false);
        } else {
            SendMessageW(m_page->GetHwnd(), WM_KEYDOWN, row.key, 0);
        }
        m_driver.RunUntilIdle();
        EXPECT_EQ(asked, row.answer != 0);
        EXPECT_EQ(m_mode.Calls(), row.calls);
        EXPECT_EQ(m_page->IsGuidanceConnected(), row.guiding);
        EXPECT_EQ(m_page->IsPositionConnected(), row.guiding);
        EXPECT_EQ(IsWindowVisible(m_page->GetHwnd()) != FALSE, row.visible);
        EXPECT_EQ(store->announced - announcedBefore, row.announced);
        m_page.reset();
    }
}

// A server that holds its answers until released, so that the page goes while its two worker
// threads wait in the server.
class HeldServer final : public mapviewtest::ScriptedServer {
public:
    const std::vector<std::uint32_t>* AvoidRoadAhead(std::int32_t, bool) override {
        Hold();
        return &ids;
    }
    AdvicePtr& GetAdviceAtPosition(AdvicePtr& out) override {
        Hold();
        out = AdvicePtr(new StepAdvice({u"Au", u"[Again]"}));
        return out;
    }
    void Release() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    int Waiting() {
        std::lock_guard lock(mutex);
        return waiting;
    }

private:
    void Hold() {
        std::unique_lock lock(mutex);
        ++waiting;
        changed.wait(lock, [this] { return released; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    int waiting = 0;
    std::vector<std::uint32_t> ids;
};

TEST_F(NavMapPageTest, APageDeletedWhileItsThreadsRunWaitsForThem) {
    auto* held = new HeldServer;
    Onboard::OnboardServerPtr server(held);
    auto page = std::make_unique<CNMapPage>(&m_mode, server, m_facade);
    ShowPageWindow(page->GetPageHandle(), true);
    m_driver.RunUntilIdle();
    m_driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
        HWND window = FindWindowW(u"Dialog", nullptr);
        auto* box = window != nullptr
                        ? dynamic_cast<StreetBlockDlg*>(DialogBase::FromWindow(window))
                        : nullptr;
        ASSERT_NE(box, nullptr);
        SetWindowTextW(box->GetEdit()->GetWindow(), u"5");
        PostMessageW(window, WM_COMMAND, 1, 0);
    })});
    page->ToggleStreetBlock(true);
    SendMessageW(page->GetHwnd(), WM_KEYDOWN, 'A', 0);
    for (int i = 0; i < 500 && held->Waiting() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(held->Waiting(), 2);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        held->Release();
    });
    page.reset(); // joins both threads; under ASan nothing is used after free
    release.join();
    m_driver.RunUntilIdle();
    EXPECT_EQ(m_voice->Calls(), std::vector<std::u16string>{});
}

TEST_F(NavMapPageTest, SimulationKeysNeedTheSimulationSetting) {
    struct Row {
        const char* settings;
        bool hasDevice;
    };
    const Row rows[] = {
        {"[Zudav]\r\nSimulation=1\r\n", true}, {"[Zudav]\r\nSimulation=0\r\n", false}, {"", false}};
    for (const Row& row : rows) {
        ASSERT_TRUE(m_root.WriteFile(AppPaths::GetSettingsFilePath(), row.settings));
        m_scripted->replay = GpsReceiverPtr(new GpsReceiver(AppPaths::GetSettingsFilePath()));
        CNMapPage page(&m_mode, m_server, m_facade);
        EXPECT_EQ(static_cast<bool>(page.GetReplayDevice()), row.hasDevice) << row.settings;
    }
}

// Positions from the GPS worker: one redraw request however many arrive before the page's
// thread gets to it; the newest street's name is shown then.
TEST_F(NavMapPageTest, PositionsAskForOneRedrawAndShowTheStreet) {
    struct Row {
        std::vector<float> hdops; // negative: no fix
        int posted;
    };
    const Row rows[] = {{{-1.0f}, 0}, {{1.0f}, 1}, {{1.0f, 1.0f, 1.0f}, 1}};
    OpenWithRoute();
    const std::uint32_t street = m_town.GetDetailIds()[m_town.GetStreetSegment(2, 2, true)];
    const six::IntfPtr<MapElement> element = m_facade->GetMappedElement(street);
    ASSERT_TRUE(element && element->GetName() != nullptr);
    const std::u16string name = element->GetName();
    for (const Row& row : rows) {
        std::thread worker([&] {
            for (float hdop : row.hdops) {
                MatchedPosition position;
                position.matched = MapPointToDegrees(m_town.GetCentre());
                position.fix.hdop = hdop;
                position.street = static_cast<std::int32_t>(street);
                m_server->PositionEvent.Emit(&position);
            }
        });
        worker.join();
        int posted = 0;
        MSG message{};
        while (PeekMessageW(&message, m_page->GetHwnd(), CNMapPage::kRedrawMessage,
                            CNMapPage::kRedrawMessage, PM_REMOVE)) {
            ++posted;
            DispatchMessageW(&message);
        }
        EXPECT_EQ(posted, row.posted) << row.hdops.size();
    }
    EXPECT_EQ(Text(CNMapPage::kCurrentStreetId), CutStreetName(name));
}

class StatusRecorder {
public:
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void OnStatus(DWORD status) {
        std::lock_guard lock(m_mutex);
        statuses.push_back(status);
    }
    std::vector<DWORD> Statuses() {
        std::lock_guard lock(m_mutex);
        return statuses;
    }

private:
    std::mutex m_mutex;
    std::vector<DWORD> statuses;
    // Last, so that the connections end before the members the handlers write go.
    OwnerHandlerList m_handlers;
};

// A chosen file from which its replay reads nothing (no NMEA sentence for 'L', no RDS group for
// 'T') is named in a message, once a run for each file. In the words of the built bundles, the
// message for RDS groups shows a group in the form the replay reads.
TEST_F(NavMapPageTest, TheReplayKeyOpensTheChosenFileOnlyInSimulation) {
    testdata::RdsGroupFileWriter groups;
    groups.Add(testdata::RdsGroupFileWriter::TuningGroup(0xD301))
        .Add(testdata::RdsGroupFileWriter::ApplicationGroup(0xD301, testdata::kTmcApplicationId,
                                                            0x0040, 0x10));
    const std::string rds = groups.Build();
    const std::string spaced = groups.SetLayout(testdata::RdsGroupLayout::SpacedBlocks).Build();
    const std::string timed = groups.SetLayout(testdata::RdsGroupLayout::TimedBlocks).Build();
    const std::string stamped = groups.SetLayout(testdata::RdsGroupLayout::StampedDigits).Build();
    const std::string stampedBlocks =
        groups.SetLayout(testdata::RdsGroupLayout::StampedBlocks).Build();
    testdata::NmeaWriter sentences;
    sentences.AddCycle({}).AddCycle({.second = 1});
    const std::string nmea = sentences.Build();
    // A receiver's log with its own sentences of long hexadecimal fields between the cycles.
    testdata::NmeaWriter receiver;
    receiver.AddCycle({}).AddEphemeris(5).AddEphemeris(12).AddCycle({.second = 1});
    const std::string receiverLog = receiver.Build();
    testdata::RdsGroupFileWriter oneGroup;
    oneGroup.Add(testdata::RdsGroupFileWriter::TuningGroup(0xD301));
    const std::string unended = oneGroup.Build(testdata::RdsGroupFault::UnendedLastLine);
    struct Row {
        const char* name;
        UINT key;
        bool simulation;
        std::optional<std::u16string> chosen;
        std::optional<std::string> content; // written to the chosen file; none: no file
        std::size_t requests;
        std::vector<DWORD> statuses; // of the GPS receiver
        std::vector<std::u16string> told;
        // The built bundle of this language in place of the stand-in texts: the one message told
        // names the file and shows a group that the replay reads.
        const char* language = nullptr;
    };
    const Row rows[] = {
        {"an existing file", 'L', true, u"\\Nav\\drive.txt", nmea, 1, {}, {}},
        {"a missing file",
         'L',
         true,
         u"\\Nav\\gone.txt",
         std::nullopt,
         1,
         {GpsDevice::kStatusReplayFileMissing},
         {}},
        {"cancelled", 'L', true, std::nullopt, std::nullopt, 1, {}, {}},
        {"no simulation", 'L', false, u"\\Nav\\gone.txt", std::nullopt, 0, {}, {}},
        {"an RDS group file", 'T', true, u"\\Nav\\groups.txt", rds, 1, {}, {}},
        {"an RDS group file as GPS sentences",
         'L',
         true,
         u"\\Nav\\groups.txt",
         rds,
         1,
         {},
         {u"No sentences: \\Nav\\groups.txt"}},
        {"an empty file as GPS sentences",
         'L',
         true,
         u"\\Nav\\empty.txt",
         "",
         1,
         {},
         {u"No sentences: \\Nav\\empty.txt"}},
        {"an empty file as RDS groups",
         'T',
         true,
         u"\\Nav\\empty.txt",
         "",
         1,
         {},
         {u"No groups: \\Nav\\empty.txt"}},
        {"NMEA sentences as RDS groups",
         'T',
         true,
         u"\\Nav\\drive.txt",
         nmea,
         1,
         {},
         {u"No groups: \\Nav\\drive.txt"}},
        {"another program's log, blocks apart",
         'T',
         true,
         u"\\Nav\\spaced.txt",
         spaced,
         1,
         {},
         {u"No groups: \\Nav\\spaced.txt"}},
        {"another program's log, timed",
         'T',
         true,
         u"\\Nav\\timed.txt",
         timed,
         1,
         {},
         {u"No groups: \\Nav\\timed.txt"}},
        {"a recorder's log, the time after each group",
         'T',
         true,
         u"\\Nav\\stamped.txt",
         stamped,
         1,
         {},
         {}},
        {"a recorder's log, blocks apart and the time after them",
         'T',
         true,
         u"\\Nav\\stampedblocks.txt",
         stampedBlocks,
         1,
         {},
         {u"No groups: \\Nav\\stampedblocks.txt"}},
        {"a receiver's NMEA log with its own sentences",
         'L',
         true,
         u"\\Nav\\receiver.txt",
         receiverLog,
         1,
         {},
         {}},
        {"a receiver's NMEA log with its own sentences as RDS groups",
         'T',
         true,
         u"\\Nav\\receiver.txt",
         receiverLog,
         1,
         {},
         {u"No groups: \\Nav\\receiver.txt"}},
        {"a group on a line without its end", 'T', true, u"\\Nav\\unended.txt", unended, 1, {}, {}},
        {"the same file again", 'T', true, u"\\Nav\\timed.txt", std::nullopt, 1, {}, {}},
        {"NMEA sentences as RDS groups, Ger", 'T', true, u"\\Nav\\ger.txt", nmea, 1, {}, {}, "Ger"},
        {"NMEA sentences as RDS groups, Eng", 'T', true, u"\\Nav\\eng.txt", nmea, 1, {}, {}, "Eng"},
        {"NMEA sentences as RDS groups, Fre", 'T', true, u"\\Nav\\fre.txt", nmea, 1, {}, {}, "Fre"},
        {"NMEA sentences as RDS groups, Spa", 'T', true, u"\\Nav\\spa.txt", nmea, 1, {}, {}, "Spa"},
        {"NMEA sentences as RDS groups, Ita", 'T', true, u"\\Nav\\ita.txt", nmea, 1, {}, {}, "Ita"},
        {"NMEA sentences as RDS groups, Dut", 'T', true, u"\\Nav\\dut.txt", nmea, 1, {}, {}, "Dut"},
    };
    // The loaded bundle's file: a row's language takes its place, re-read by the next text loaded.
    constexpr char16_t kLoadedBundle[] = u"\\Windows\\LangEngCE.dll";
    const std::optional<std::string> standIn = m_root.ReadFile(kLoadedBundle);
    ASSERT_TRUE(standIn);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(m_root.WriteFile(AppPaths::GetSettingsFilePath(),
                                     row.simulation ? "[Zudav]\r\nSimulation=1\r\n" : ""));
        if (row.content) {
            ASSERT_TRUE(m_root.WriteFile(*row.chosen, *row.content));
        }
        std::optional<std::string> bundle = standIn;
        if (row.language != nullptr) {
            bundle = testdata::ReadHostFile(std::filesystem::path(NAV_LANGUAGES_DIR) /
                                            (std::string("Lang") + row.language + "CE.dll"));
            ASSERT_TRUE(bundle);
        }
        ASSERT_TRUE(m_root.WriteFile(kLoadedBundle, *bundle));
        m_scripted->replay = GpsReceiverPtr(new GpsReceiver(AppPaths::GetSettingsFilePath()));
        m_scripted->tmc = CreateTmcReceiver();
        StatusRecorder recorder;
        m_scripted->replay->GetStatusSignal().Connect(&recorder, &StatusRecorder::OnStatus);
        OpenWithRoute();
        platform::ClearOpenFileDialogs();
        platform::ClearRecordedMessageBoxes();
        const std::size_t before = platform::RecordedOpenFileRequests().size();
        platform::PushOpenFileAnswer(row.chosen);
        SendMessageW(m_page->GetHwnd(), WM_KEYDOWN, row.key, 0);
        m_driver.RunUntilIdle();
        EXPECT_EQ(platform::RecordedOpenFileRequests().size() - before, row.requests);
        EXPECT_EQ(recorder.Statuses(), row.statuses);
        std::vector<std::u16string> told;
        for (const platform::MessageBoxRecord& box : platform::RecordedMessageBoxes()) {
            told.push_back(box.text);
        }
        if (row.language == nullptr) {
            EXPECT_EQ(told, row.told);
        } else {
            ASSERT_EQ(told.size(), 1u);
            EXPECT_NE(told[0].find(*row.chosen), std::u16string::npos);
            // Its word of 16 hexadecimal digits, alone on a line, is a group the replay reads.
            std::string example;
            std::string word;
            for (const char16_t c : told[0] + u' ') {
                if (c < 0x80 && std::isalnum(static_cast<unsigned char>(c)) != 0) {
                    word += static_cast<char>(c);
                    continue;
                }
                if (word.size() == 16 && std::ranges::all_of(word, [](char digit) {
                        return std::isxdigit(static_cast<unsigned char>(digit)) != 0;
                    })) {
                    example = word;
                }
                word.clear();
            }
            EXPECT_EQ(example.size(), 16u) << "no group shown";
            ASSERT_TRUE(m_root.WriteFile(u"\\Nav\\example.txt", example + "\r\n"));
            EXPECT_TRUE(HoldsReplayData(u"\\Nav\\example.txt", ReplayFileKind::Tmc)) << example;
        }
        EXPECT_TRUE(m_page->IsGuidanceConnected()) << "the page stays as it was";
        EXPECT_EQ(m_mode.Calls(), std::vector<std::string>{});
        m_page.reset();
        m_scripted->replay->GetStatusSignal().Disconnect(&recorder);
        m_scripted->replay = nullptr;
        m_scripted->tmc = nullptr;
        platform::ClearOpenFileDialogs();
    }
    ForgetFileCheckMessages();
}

// In simulation 'S', 'P' and 'N' ask for a replay value, 'L' and 'T' for a replay file. A box or
// dialog the user cancelled was the key's answer: the page stays as it was, and the key does not
// go on into its meaning on the page ('S' the question whether to stop, 'T' night or day, 'N'
// north-up), which it has only without simulation.
TEST_F(NavMapPageTest, ACancelledSimulationBoxLeavesThePageAsItWas) {
    constexpr int kNoAnswer = 0; // no value box expected
    struct Row {
        const char* what;
        UINT key;
        bool simulation;
        int valueAnswer;          // the value box's button: 1 OK, 2 Cancel
        std::size_t fileRequests; // open-file dialogs asked (each cancelled)
        std::vector<std::u16string> dialogs;
        bool isNightToggled;
        bool isHeadingToggled;
        std::vector<std::string> modeCalls = {};
    };
    const Row rows[] = {
        {"S cancelled", 'S', true, 2, 0, {u"GpsSimulationDlg"}, false, false},
        {"S confirmed", 'S', true, 1, 0, {u"GpsSimulationDlg"}, false, false},
        // Answered "continue": the mode goes on to the route's next stop.
        {"S without simulation asks to stop",
         'S',
         false,
         kNoAnswer,
         0,
         {u"StopNavigDlg"},
         false,
         false,
         {"NextStop(1)"}},
        {"T cancelled", 'T', true, kNoAnswer, 1, {}, false, false},
        {"T without simulation turns night", 'T', false, kNoAnswer, 0, {}, true, false},
        {"N cancelled", 'N', true, 2, 0, {u"GpsSimulationDlg"}, false, false},
        {"N without simulation turns north-up", 'N', false, kNoAnswer, 0, {}, false, true},
        {"P cancelled", 'P', true, 2, 0, {u"GpsSimulationDlg"}, false, false},
        {"L cancelled", 'L', true, kNoAnswer, 1, {}, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(m_root.WriteFile(AppPaths::GetSettingsFilePath(),
                                     row.simulation ? "[Zudav]\r\nSimulation=1\r\n" : ""));
        std::vector<std::string> calls;
        m_scripted->replay =
            GpsReceiverPtr(new SimulatedGps(AppPaths::GetSettingsFilePath(), calls));
        m_scripted->tmc =
            six::RefCntPtr<TmcReceiver>(new SimulatedTmc(AppPaths::GetSettingsFilePath(), calls));
        OpenWithRoute();
        const bool night = IsMapNightMode();
        const bool headingUp = m_page->GetMapView()->IsHeadingUp();
        platform::ClearOpenFileDialogs();
        for (std::size_t i = 0; i < row.fileRequests; ++i)
            platform::PushOpenFileAnswer(std::nullopt);
        std::vector<std::u16string> seen;
        auto answer = [&seen, &row] {
            return platform::ScriptStep::Run([&seen, &row] {
                HWND window = FindWindowW(u"Dialog", nullptr);
                DialogBase* box = window != nullptr ? DialogBase::FromWindow(window) : nullptr;
                if (box == nullptr) {
                    return;
                }
                seen.push_back(box->GetSection());
                const bool isValue = box->GetSection() == u"GpsSimulationDlg";
                PostMessageW(
                    window, WM_COMMAND,
                    static_cast<WPARAM>(isValue ? row.valueAnswer : CNMapPage::kAnswerContinue), 0);
            });
        };
        m_driver.PlayWhenIdle({answer(), answer()});
        SendMessageW(m_page->GetHwnd(), WM_KEYDOWN, row.key, 0);
        m_driver.RunUntilIdle();
        EXPECT_EQ(seen, row.dialogs);
        EXPECT_EQ(platform::RecordedOpenFileRequests().size(), row.fileRequests);
        EXPECT_EQ(IsMapNightMode(), row.isNightToggled ? !night : night) << "night or day";
        EXPECT_EQ(m_page->GetMapView()->IsHeadingUp(),
                  row.isHeadingToggled ? !headingUp : headingUp)
            << "north-up or heading-up";
        if (row.valueAnswer != 1) {
            EXPECT_EQ(calls, std::vector<std::string>{}) << "no replay value set";
        }
        EXPECT_TRUE(m_page->IsGuidanceConnected());
        EXPECT_EQ(m_mode.Calls(), row.modeCalls);
        if (IsMapNightMode() != night) {
            m_page->GetMapView()->ToggleNightMode(); // the next row starts in the day's colours
        }
        m_page.reset();
        m_scripted->replay = nullptr;
        m_scripted->tmc = nullptr;
        platform::ClearOpenFileDialogs();
    }
}

// In simulation, a confirmed dialog hands its value to the replay device and ends the key. A
// position ('P', 'N') takes digits only; one past the end of the replay file as it is when "OK" is
// pressed, or as the receiver moves, is refused in a box that gives the file's length then, the
// replay left where it was; without a replay file a box tells the key that opens one.
TEST_F(NavMapPageTest, ConfirmedSimulationDialogsSetTheReplayDevices) {
    struct Row {
        UINT key;
        const char16_t* shown; // the value the dialog starts with; null: a file is asked
        const char16_t* typed; // set as the field's text; null: nothing set
        std::vector<std::string> calls;
        const char16_t* keyed = nullptr; // typed on the keys as the dialog opens
        const char16_t* told = nullptr;  // the box that came after the dialog
        bool hasFile = true;             // the replay devices read a file
        std::size_t shrunkTo = 0;        // the files cut to this many bytes while the box is up
        bool isShrunkOnMove = false;     // cut instead as the page moves the replay
    };
    const Row rows[] = {
        {'P', u"77", u"1234", {"gps SetFilePosition(1234)"}},
        {'S', u"4", u"9", {"gps SetSentenceRate(9)"}},
        {'N', u"31", u"55", {"tmc SetFilePosition(55)"}},
        {'P', u"77", nullptr, {"gps SetFilePosition(123)"}, u"-12x3"},
        {'N', u"31", nullptr, {"tmc SetFilePosition(55)"}, u"5+5-"},
        {'P', u"77", u"20000", {"gps SetFilePosition(20000)"}},
        {'P', u"77", u"20001", {}, nullptr, u"At most 20000"},
        {'N', u"31", u"200000", {}, nullptr, u"At most 20000"},
        {'P', u"77", u"99999999999", {}, nullptr, u"At most 20000"},
        {'N', u"31", u"99999999999", {}, nullptr, u"At most 20000"},
        // Wrapped to 32 bits it would be 1, within the file.
        {'P', u"77", u"4294967297", {}, nullptr, u"At most 20000"},
        // A file cut by another program while the box is up, and one cut between the page's look
        // at it and the receiver's move.
        {'P', u"77", u"10000", {}, nullptr, u"At most 1000", true, 1000},
        {'N', u"31", u"10000", {}, nullptr, u"At most 1000", true, 1000},
        {'P',
         u"77",
         u"10000",
         {"gps SetFilePosition(10000)"},
         nullptr,
         u"At most 1000",
         true,
         1000,
         true},
        {'N',
         u"31",
         u"10000",
         {"tmc SetFilePosition(10000)"},
         nullptr,
         u"At most 1000",
         true,
         1000,
         true},
        // Without a replay file: an empty field, and whatever is taken, the key that opens one.
        {'P', u"", nullptr, {}, nullptr, u"No file: L", false},
        {'P', u"", u"5", {}, nullptr, u"No file: L", false},
        {'N', u"", u"12", {}, nullptr, u"No file: T", false},
        {'T', nullptr, nullptr, {"tmc SetReplayRate(2/10)", "tmc OpenReplayFile(\\Nav\\tmc.txt)"}},
        // The codes of the lower-case letters are other keys' (a key-down message gives letters
        // upper case): F1 ('p'), F3 ('r'), F4 ('s'), F5 ('t'), the keypad's separator ('l') and
        // decimal point ('n') neither ask nor act as those letters.
        {VK_F1, nullptr, nullptr, {}},
        {VK_F3, nullptr, nullptr, {}},
        {VK_F1 + 3, nullptr, nullptr, {}},
        {VK_F5, nullptr, nullptr, {}},
        {0x6C, nullptr, nullptr, {}},
        {VK_DECIMAL, nullptr, nullptr, {}},
    };
    ASSERT_TRUE(m_root.WriteFile(AppPaths::GetSettingsFilePath(), "[Zudav]\r\nSimulation=1\r\n"));
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<char>(row.key));
        std::vector<std::string> calls;
        auto* gps = new SimulatedGps(AppPaths::GetSettingsFilePath(), calls);
        auto* tmc = new SimulatedTmc(AppPaths::GetSettingsFilePath(), calls);
        const std::string sentences = SimulatedReplaySentences();
        const std::string groups = SimulatedReplayGroups();
        const auto shrink = [&] {
            ASSERT_TRUE(m_root.WriteFile(u"\\Nav\\replay.nmea", sentences.substr(0, row.shrunkTo)));
            ASSERT_TRUE(m_root.WriteFile(u"\\Nav\\replay.txt", groups.substr(0, row.shrunkTo)));
        };
        if (row.hasFile) {
            ASSERT_TRUE(m_root.WriteFile(u"\\Nav\\replay.nmea", sentences));
            ASSERT_TRUE(m_root.WriteFile(u"\\Nav\\replay.txt", groups));
            gps->ReplayFrom(u"\\Nav\\replay.nmea", 77);
            tmc->ReplayFrom(u"\\Nav\\replay.txt", 31);
            if (row.isShrunkOnMove) {
                gps->beforeMove = shrink;
                tmc->beforeMove = shrink;
            }
        }
        m_scripted->replay = GpsReceiverPtr(gps);
        m_scripted->tmc = six::RefCntPtr<TmcReceiver>(tmc);
        OpenWithRoute(0.002f); // a route that is an area to show
        const bool night = IsMapNightMode();
        // Away from the whole route, so that showing it would move the map.
        m_page->GetMapView()->PanLeft();
        const float left = m_page->GetMapView()->GetCanvas()->GetVisibleGeoRect().minX;
        std::vector<std::u16string> seen;
        std::u16string shown;
        std::u16string told;
        platform::ClearOpenFileDialogs();
        if (row.shown != nullptr) {
            std::vector<platform::ScriptStep> steps{platform::ScriptStep::Run([&] {
                HWND window = FindWindowW(u"Dialog", nullptr);
                auto* box = window != nullptr
                                ? dynamic_cast<GpsSimulationDlg*>(DialogBase::FromWindow(window))
                                : nullptr;
                ASSERT_NE(box, nullptr);
                seen.push_back(box->GetSection());
                shown = platform::WindowTextOf(box->GetEdit()->GetWindow());
                if (row.typed != nullptr) {
                    SetWindowTextW(box->GetEdit()->GetWindow(), row.typed);
                }
                if (row.shrunkTo != 0 && !row.isShrunkOnMove) {
                    shrink();
                }
            })};
            for (const char16_t* key = row.keyed; key != nullptr && *key != u'\0'; ++key) {
                steps.push_back(platform::ScriptStep::Type(std::u16string(1, *key)));
            }
            steps.push_back(platform::ScriptStep::Run(
                [&] { PostMessageW(FindWindowW(u"Dialog", nullptr), WM_COMMAND, 1, 0); }));
            // A box that comes up after the dialog is read and closed.
            steps.push_back(platform::ScriptStep::Run([&] {
                if (HWND window = FindWindowW(u"Dialog", nullptr)) {
                    DialogBase* box = DialogBase::FromWindow(window);
                    seen.push_back(box->GetSection());
                    for (const UINT id : {kPositionPastEndText, kNoReplayFileText}) {
                        if (const DialogItem* text = box->FindItem(id)) {
                            told = text->text;
                        }
                    }
                    PostMessageW(window, WM_COMMAND, 1, 0);
                }
            }));
            m_driver.PlayWhenIdle(std::move(steps));
        } else {
            platform::PushOpenFileAnswer(u"\\Nav\\tmc.txt");
            // A value dialog that comes up nonetheless is seen and cancelled.
            m_driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
                if (HWND window = FindWindowW(u"Dialog", nullptr)) {
                    seen.push_back(DialogBase::FromWindow(window)->GetSection());
                    PostMessageW(window, WM_COMMAND, 2, 0);
                }
            })});
        }
        SendMessageW(m_page->GetHwnd(), WM_KEYDOWN, row.key, 0);
        m_driver.RunUntilIdle();
        EXPECT_EQ(calls, row.calls);
        std::vector<std::u16string> dialogs;
        if (row.shown != nullptr) {
            dialogs.emplace_back(u"GpsSimulationDlg");
        }
        if (row.told != nullptr) {
            dialogs.emplace_back(u"MsgBox");
        }
        EXPECT_EQ(seen, dialogs);
        EXPECT_EQ(shown, row.shown != nullptr ? row.shown : u"");
        EXPECT_EQ(told, row.told != nullptr ? row.told : u"");
        if (row.told != nullptr && row.hasFile) {
            EXPECT_EQ(gps->GetFilePosition(), 77U) << "the replay open where it was";
            EXPECT_EQ(tmc->GetFilePosition(), 31U) << "the replay open where it was";
        }
        EXPECT_EQ(IsMapNightMode(), night) << "no general key after it";
        EXPECT_EQ(m_page->GetMapView()->GetCanvas()->GetVisibleGeoRect().minX, left)
            << "no whole route shown";
        EXPECT_TRUE(m_page->IsGuidanceConnected());
        EXPECT_EQ(m_mode.Calls(), std::vector<std::string>{});
        m_page.reset();
        m_scripted->replay = nullptr;
        m_scripted->tmc = nullptr;
        platform::ClearOpenFileDialogs();
    }
}

TEST_F(NavMapPageTest, NextDestinationLiftsABlockWithoutAsking) {
    m_mode.script.hasNextStop = true;
    OpenWithRoute();
    auto dialog = [] {
        HWND window = FindWindowW(u"Dialog", nullptr);
        return window != nullptr ? DialogBase::FromWindow(window) : nullptr;
    };
    m_driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
        auto* box = dynamic_cast<StreetBlockDlg*>(dialog());
        ASSERT_NE(box, nullptr);
        SetWindowTextW(box->GetEdit()->GetWindow(), u"5");
        PostMessageW(box->GetWindow(), WM_COMMAND, 1, 0);
    })});
    m_page->ToggleStreetBlock(true);
    RunUntil([&] { return m_scripted->Blocks().size() == 1; });
    ASSERT_TRUE(m_page->IsStreetBlocked());
    std::vector<std::u16string> asked;
    m_driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
        DialogBase* box = dialog();
        ASSERT_NE(box, nullptr);
        asked.push_back(box->GetSection());
        PostMessageW(box->GetWindow(), WM_COMMAND, CNMapPage::kAnswerNextDestination, 0);
    })});
    SendMessageW(m_page->GetHwnd(), WM_COMMAND, CNMapPage::kStopId, 0);
    RunUntil([&] { return m_scripted->Blocks().size() == 2; });
    EXPECT_EQ(asked, std::vector<std::u16string>{u"StopNavigTourDlg"});
    EXPECT_EQ(m_scripted->Blocks(), (std::vector<std::string>{"5000 replan", "0"}));
    EXPECT_FALSE(m_page->IsStreetBlocked());
    EXPECT_TRUE(m_page->IsGuidanceConnected());
    EXPECT_FALSE(m_page->GetMapView()->HasRoute());
}

TEST_F(NavMapPageTest, LiftingABlockAsksFirst) {
    struct Row {
        WPARAM answer; // 538: "Yes"
        std::vector<std::string> blocks;
        bool blocked;
    };
    const Row rows[] = {{538, {"5000 replan", "0"}, false}, {2, {"5000 replan"}, true}};
    for (const Row& row : rows) {
        OpenWithRoute();
        auto dialog = [] {
            HWND window = FindWindowW(u"Dialog", nullptr);
            return window != nullptr ? DialogBase::FromWindow(window) : nullptr;
        };
        m_driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
            auto* box = dynamic_cast<StreetBlockDlg*>(dialog());
            ASSERT_NE(box, nullptr);
            SetWindowTextW(box->GetEdit()->GetWindow(), u"5");
            PostMessageW(box->GetWindow(), WM_COMMAND, 1, 0);
        })});
        m_page->ToggleStreetBlock(true);
        RunUntil([&] { return m_scripted->Blocks().size() == 1; });
        std::u16string asked;
        m_driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
            DialogBase* box = dialog();
            ASSERT_NE(box, nullptr);
            asked = box->GetSection();
            PostMessageW(box->GetWindow(), WM_COMMAND, row.answer, 0);
        })});
        SendMessageW(m_page->GetHwnd(), WM_COMMAND, CNMapPage::kBlockStreetId, 0);
        RunUntil([&] { return m_scripted->Blocks().size() == row.blocks.size(); });
        EXPECT_EQ(asked, u"YesNoDlg");
        EXPECT_EQ(m_scripted->Blocks(), row.blocks);
        EXPECT_EQ(m_page->IsStreetBlocked(), row.blocked);
        m_page.reset();
        std::lock_guard lock(m_scripted->mutex);
        m_scripted->blocks.clear();
    }
}

} // namespace
