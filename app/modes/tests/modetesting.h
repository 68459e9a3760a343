#pragma once
// Shared by the modes' tests: a server that answers route requests from a script (or passes
// them to the real server over a generated town), the main window's services recorded, and a
// fixture with the town, the page layouts, a position in the town and a recording voice.

#include "app/destinations/addresspage.h"
#include "app/destinations/storeddestinationlist.h"
#include "app/destinations/uddrecord.h"
#include "app/modes/modes.h"
#include "app/startup/voicepointer.h"
#include "app/tests/pagedevice.h"
#include "app/tests/recordingvoice.h"
#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "mapdisplay/mapenginefacade.h"
#include "testdata/datafolderwriter.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "ui/gpsstatemonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/modules.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace modetesting {

// Passes everything to the real server, except route requests while codes are scripted: each
// such request takes the next code and returns a result without a route.
class ScriptedServer final : public Onboard::IOnboardServer {
public:
    // A scripted code that lets its request through to the real server.
    static constexpr std::uint32_t kPassThrough = 0xFFFFFFFFu;

    explicit ScriptedServer(Onboard::OnboardServerPtr real)
        : m_real(std::move(real)) {}

    void Script(std::vector<std::uint32_t> codes) {
        std::lock_guard lock(m_mutex);
        m_codes.assign(codes.begin(), codes.end());
    }
    [[nodiscard]] int Requests() const { return m_requests.load(); }
    // Run once inside the next RequestRoute, before it is answered.
    void DuringNextRequest(std::function<void(const Onboard::RouteRequest&)> call) {
        m_during = std::move(call);
    }
    // Run once inside the next RequestRouteBetween, with its observer, before it is answered.
    void DuringNextLeg(std::function<void(ProgressObserver*)> call) {
        m_duringLeg = std::move(call);
    }
    // The most route requests that ran inside one another.
    [[nodiscard]] int DeepestNesting() const { return m_deepest; }
    // The thread of the last route request.
    [[nodiscard]] std::thread::id LastRequestThread() {
        std::lock_guard lock(m_mutex);
        return m_lastThread;
    }
    [[nodiscard]] std::vector<bool> TrafficSwitches() {
        std::lock_guard lock(m_mutex);
        return m_trafficSwitches;
    }
    [[nodiscard]] const ExternalRouteOptions* LastOptions() { return m_real->GetRoutingOptions(); }

    std::int32_t Reserved() override { return 0; }
    RouteRequestResult& RequestRoute(RouteRequestResult& out, const MatchedPosition* start,
                                     const Onboard::RouteRequest& request) override {
        Count();
        ++m_depth;
        m_deepest = std::max(m_deepest, m_depth);
        if (auto during = std::exchange(m_during, nullptr))
            during(request);
        if (!Scripted(out))
            (void)m_real->RequestRoute(out, start, request);
        --m_depth;
        return out;
    }
    std::vector<RouteRequestResult>& RequestTour(std::vector<RouteRequestResult>& out,
                                                 std::vector<RoutePositionPtr> stops) override {
        return m_real->RequestTour(out, std::move(stops));
    }
    RouteRequestResult& RequestRouteBetween(RouteRequestResult& out, const RoutePositionPtr& from,
                                            const RoutePositionPtr& to,
                                            ProgressObserver* observer = nullptr) override {
        Count();
        if (auto during = std::exchange(m_duringLeg, nullptr))
            during(observer);
        if (Scripted(out))
            return out;
        return m_real->RequestRouteBetween(out, from, to, observer);
    }
    RoutePositionPtr& CreateStreetDestination(RoutePositionPtr& out, ILocatedAddress& address,
                                              const std::int16_t* number) override {
        return m_real->CreateStreetDestination(out, address, number);
    }
    RoutePositionPtr& CreateElementSetDestination(RoutePositionPtr& out,
                                                  ElementCursorPtr elements) override {
        return m_real->CreateElementSetDestination(out, std::move(elements));
    }
    RoutePositionPtr& CreatePositionDestination(RoutePositionPtr& out, const std::uint32_t* id,
                                                const GeoPoint* point) override {
        return m_real->CreatePositionDestination(out, id, point);
    }
    RoutePositionPtr& CreateElementDestination(RoutePositionPtr& out,
                                               const std::uint32_t* id) override {
        return m_real->CreateElementDestination(out, id);
    }
    void SetRoutingOptions(const ExternalRouteOptions* options) override {
        m_real->SetRoutingOptions(options);
    }
    const ExternalRouteOptions* GetRoutingOptions() override { return m_real->GetRoutingOptions(); }
    bool AddFlaggedElementsMarked(std::span<const std::uint32_t> keys, std::uint8_t flag) override {
        return m_real->AddFlaggedElementsMarked(keys, flag);
    }
    bool AddFlaggedElements(std::span<const std::uint32_t> keys, std::uint8_t flag) override {
        return m_real->AddFlaggedElements(keys, flag);
    }
    bool RemoveFlaggedElements(std::span<const std::uint32_t> keys) override {
        return m_real->RemoveFlaggedElements(keys);
    }
    six::IntfPtr<IDatasets> GetDatasets() override { return m_real->GetDatasets(); }
    RetrievalEngine::RetrievalEnginePtr GetRetrievalEngine() override {
        return m_real->GetRetrievalEngine();
    }
    six::RefCntPtr<TmcMessageStore> GetTmcMessageStore() override {
        return m_real->GetTmcMessageStore();
    }
    AdvicePtr& GetAdviceAtPosition(AdvicePtr& out) override {
        return m_real->GetAdviceAtPosition(out);
    }
    void GetDatabases(DatabaseListPtr& out) override { m_real->GetDatabases(out); }
    GpsReceiverPtr& OpenAlternativeGps(GpsReceiverPtr& out) override {
        return m_real->OpenAlternativeGps(out);
    }
    void CloseAlternativeGps() override { m_real->CloseAlternativeGps(); }
    six::RefCntPtr<TmcReceiver> GetTmcReceiver() override { return {}; }
    std::int32_t DetectGpsPort(std::int16_t port) override { return m_real->DetectGpsPort(port); }
    const std::vector<std::uint32_t>* AvoidRoadAhead(std::int32_t distance, bool replan) override {
        return m_real->AvoidRoadAhead(distance, replan);
    }
    void EnableTrafficAvoidance(bool isOn) override {
        {
            std::lock_guard lock(m_mutex);
            m_trafficSwitches.push_back(isOn);
        }
        m_real->EnableTrafficAvoidance(isOn);
    }
    std::int32_t GetLanguage() override { return m_real->GetLanguage(); }
    void SetAdvisorSettings(const AdviceSettings* settings) override {
        m_real->SetAdvisorSettings(settings);
    }
    void ClearRoute() override { m_real->ClearRoute(); }

private:
    void Count() {
        std::lock_guard lock(m_mutex);
        m_lastThread = std::this_thread::get_id();
        ++m_requests;
    }
    bool Scripted(RouteRequestResult& out) {
        std::lock_guard lock(m_mutex);
        if (m_codes.empty())
            return false;
        const std::uint32_t code = m_codes.front();
        m_codes.pop_front();
        if (code == kPassThrough)
            return false;
        out = RouteRequestResult(code);
        return true;
    }

    Onboard::OnboardServerPtr m_real;
    std::mutex m_mutex;
    std::deque<std::uint32_t> m_codes;
    std::vector<bool> m_trafficSwitches;
    std::atomic<int> m_requests{0};
    std::thread::id m_lastThread;
    // Interface thread only.
    std::function<void(const Onboard::RouteRequest&)> m_during;
    std::function<void(ProgressObserver*)> m_duringLeg;
    int m_depth = 0;
    int m_deepest = 0;
};

// The main window's services, recorded as text lines.
class RecordingApplication final : public ApplicationInterface {
public:
    void NotifyModeClosed(bool apply) override {
        calls.push_back(apply ? "NotifyModeClosed(1)" : "NotifyModeClosed(0)");
    }
    bool RunLogbookDialog(HWND, bool end, bool interactive) override {
        calls.push_back(std::string("RunLogbookDialog(") + (end ? "1," : "0,") +
                        (interactive ? "1)" : "0)"));
        return logbookResult;
    }
    void ControlReconnectThread(bool stop) override {
        calls.push_back(stop ? "ControlReconnectThread(1)" : "ControlReconnectThread(0)");
    }
    std::vector<std::string> calls;
    bool logbookResult = true;
};

// One answer of the failure dialog as the modes asked it.
struct FailureShown {
    UINT textId = 0;
    std::u16string insert;
};

// The town "Karlsruhe" on a 3 x 2 grid (400 map units apart): "Kaiserstrasse" (numbers 1-21,
// 2-20) on link 0, "Waldstrasse" in its district "Suedstadt" on link 5, "Am Bahnhof" (a pedestrian
// zone, type 1005) on link 6; a real server behind a scripted one, the map display facade, a main
// window, the position in the middle of link 0 with a usable fix, and a recording voice.
class ModeFixture : public testing::Test {
protected:
    static constexpr std::uint32_t kKaiserLink = 0;
    static constexpr std::uint32_t kWaldLink = 5;
    static constexpr std::uint32_t kBahnhofLink = 6;

    void SetUp() override {
        testdata::DataFolderDatabase database = testdata::GridTownDatabase(2);
        database.mapSet.typeCodes[kBahnhofLink] = maprecord::kPedestrianZoneType;
        // "Waldstrasse" lies in the district "Suedstadt" of the town.
        testdata::AreaSpec district = database.mapSet.treeAreas.at(0);
        district.name = "Suedstadt";
        district.level = 1;
        district.parent = 0;
        database.mapSet.treeAreas.push_back(district);
        database.mapSet.linkTreeAreas[kWaldLink] = 1;
        m_kaiser = database.world.PointAlong(0, 1, 0.5);
        m_wald = database.world.PointAlong(3, 4, 0.5);
        m_bahnhof = database.world.PointAlong(4, 5, 0.5);
        testdata::DataFolderWriter writer(u"\\Data");
        writer.AddDatabase(std::move(database))
            .Setting("Properties", "Language", "0")
            .Setting("GPS", "AutoLog", "0");
        const auto written = writer.WriteTo(m_root, u"\\Windows\\Quarn.ini");
        ASSERT_TRUE(written.has_value());
        m_world = written->front().world;
        platform::ResourceBundle bundle;
        bundle.strings = {{420, u"Navigation"}, {431, u"Tour"},    {531, u"Calculating"},
                          {1068, u"Back"},      {1069, u"Map"},    {1166, u"From "},
                          {1167, u"To "},       {1209, u"No GPS"}, {1188, u"Re-planning"}};
        m_module = apptesting::InstallPageDevice(m_root, bundle, NAV_SCREEN_DESC_FILE);
        ASSERT_NE(m_module, nullptr);
        m_engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(256));
        Onboard::OnboardServerPtr real =
            CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(m_engine));
        ASSERT_TRUE(real && m_engine->IsOpen());
        m_scripted = new ScriptedServer(real);
        m_server = Onboard::OnboardServerPtr(m_scripted);
        m_facade = MapEngineFacade::Create(1024);
        ASSERT_TRUE(m_facade->LoadLevelFile(written->front().levelFile));
        (void)CreateWindowExW(0, WindowClassRegistry::ClassName(), u"Main", WS_POPUP | WS_VISIBLE,
                              0, 0, 240, 320, nullptr, nullptr, nullptr, &m_main);
        m_position.matched = m_kaiser;
        m_position.fix.longitude = m_kaiser.x;
        m_position.fix.latitude = m_kaiser.y;
        SetFix(2);
        m_voice = new RecordingVoice;
        SetVoiceOutput(six::RefCntPtr<IVoiceOutput>(m_voice));
        PickedDestination::Instance().Clear();
        ModeControllerBase::SetFailureDialog(
            [this](UINT textId, const std::u16string& insert, HWND) {
                m_failures.push_back({textId, insert});
                return m_failureAnswer;
            });
    }
    void TearDown() override {
        ModeControllerBase::SetFailureDialog(nullptr);
        PickedDestination::Instance().Clear();
        SetVoiceOutput(nullptr);
        m_main.Destroy();
        m_facade = nullptr;
        m_server.Release();
        m_engine.Release();
        apptesting::RemovePageDevice(m_module);
    }

    [[nodiscard]] ModeContext Context() {
        ModeContext context;
        context.server = m_server;
        context.lastPosition = &m_position;
        context.facade = m_facade;
        context.application = &m_application;
        context.mainWindow = m_main.window;
        return context;
    }
    // The GPS state monitor's fix class: 2 (usable), 1 (none) or 0 (silent receiver).
    void SetFix(int fixClass) {
        MatchedPosition position = m_position;
        position.fix.hdop = fixClass == 2 ? 1.0f : (fixClass == 1 ? -1.0f : -2.0f);
        GpsStateMonitor::Instance().OnPosition(position);
    }
    // A destination at a point of link, carrying that link's element.
    [[nodiscard]] DestinationEntry At(std::uint32_t link, GeoPoint point, std::u16string second) {
        DestinationEntry entry;
        const std::uint32_t id = m_world.links[link].elementId;
        (void)m_server->CreatePositionDestination(entry.location, &id, &point);
        entry.name = u"Karlsruhe";
        entry.secondText = std::move(second);
        return entry;
    }
    [[nodiscard]] static std::vector<std::u16string> List(const std::u16string& section) {
        return StoredDestinationList(u"", section).Records();
    }
    [[nodiscard]] static std::u16string StreetOf(const std::u16string& record) {
        float x = 0, y = 0;
        std::u16string placeLine, streetLine, place, street, extra, number;
        std::uint8_t userDefined = 0;
        (void)UddRecord::Parse(record, x, y, placeLine, streetLine, place, street, extra, number,
                               userDefined);
        return street;
    }
    [[nodiscard]] static bool Visible(PageBase* page) {
        return page != nullptr && page->GetPageHandle().window != nullptr &&
               IsWindowVisible(page->GetPageHandle().window);
    }

    testdata::TempDeviceRoot m_root;
    HMODULE m_module = nullptr;
    testdata::RoadWorld m_world;
    six::RefCntPtr<RetrievalEngineImpl> m_engine;
    ScriptedServer* m_scripted = nullptr; // held by m_server
    Onboard::OnboardServerPtr m_server;
    six::RefCntPtr<MapEngineFacade> m_facade;
    WindowHandle m_main;
    MatchedPosition m_position;
    RecordingApplication m_application;
    RecordingVoice* m_voice = nullptr; // held by the voice pointer
    std::vector<FailureShown> m_failures;
    int m_failureAnswer = 0;
    GeoPoint m_kaiser{};
    GeoPoint m_wald{};
    GeoPoint m_bahnhof{};
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
};

} // namespace modetesting
