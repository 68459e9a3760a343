#pragma once
// A map view over the draw town in a headless page: the language library with the marker and
// direction-arrow bitmaps (one colour each), the settings file beside it, a scripted navigation
// server and a recording listener.

#include "mapdisplay/mapview.h"
#include "routing/tests/scriptedroute.h"
#include "testdata/bitmapwriter.h"
#include "testdata/drawtown.h"
#include "testdata/tempdir.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/gdi/screenshot.h"
#include "platform/gdi/text.h"
#include "platform/kernel/time.h"
#include "platform/shell/resources.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace mapviewtest {

// A position of the route service with one candidate.
class ScriptedPosition : public RoutePosition {
public:
    ScriptedPosition(std::uint32_t id, GeoPoint point)
        : m_id(id)
        , m_point(point) {}
    std::uint32_t GetKind() const override { return kNearestRoad; }
    std::uint32_t GetSingleElementId() const override { return m_id; }
    GeoPoint GetSinglePoint() const override { return m_point; }
    const RoutePositionEntry* Begin() const override { return nullptr; }
    const RoutePositionEntry* End() const override { return nullptr; }
    std::uint32_t Count() const override { return 1; }

private:
    std::uint32_t m_id;
    GeoPoint m_point;
};

// The server a test steers: a TMC message store without database and a scripted nearest road
// for the point-position slot; everything else answers empty.
class ScriptedServer : public Onboard::IOnboardServer {
public:
    std::int32_t Reserved() override { return 0; }
    RouteRequestResult& RequestRoute(RouteRequestResult& out, const MatchedPosition*,
                                     const Onboard::RouteRequest&) override {
        return out;
    }
    std::vector<RouteRequestResult>& RequestTour(std::vector<RouteRequestResult>& out,
                                                 std::vector<RoutePositionPtr>) override {
        return out;
    }
    RouteRequestResult& RequestRouteBetween(RouteRequestResult& out, const RoutePositionPtr&,
                                            const RoutePositionPtr&,
                                            ProgressObserver* = nullptr) override {
        return out;
    }
    RoutePositionPtr& CreateStreetDestination(RoutePositionPtr& out, ILocatedAddress&,
                                              const std::int16_t*) override {
        return out = nullptr;
    }
    RoutePositionPtr& CreateElementSetDestination(RoutePositionPtr& out,
                                                  ElementCursorPtr) override {
        return out = nullptr;
    }
    RoutePositionPtr& CreatePositionDestination(RoutePositionPtr& out,
                                                const std::uint32_t* elementId,
                                                const GeoPoint* point) override {
        ++positionCalls;
        askedElement = elementId != nullptr ? *elementId : 0;
        askedPoint = point != nullptr ? *point : GeoPoint{};
        out = nearestRoad;
        return out;
    }
    RoutePositionPtr& CreateElementDestination(RoutePositionPtr& out,
                                               const std::uint32_t*) override {
        return out = nullptr;
    }
    void SetRoutingOptions(const ExternalRouteOptions*) override {}
    const ExternalRouteOptions* GetRoutingOptions() override { return nullptr; }
    bool AddFlaggedElementsMarked(std::span<const std::uint32_t>, std::uint8_t) override {
        return false;
    }
    bool AddFlaggedElements(std::span<const std::uint32_t>, std::uint8_t) override { return false; }
    bool RemoveFlaggedElements(std::span<const std::uint32_t>) override { return false; }
    six::IntfPtr<IDatasets> GetDatasets() override { return {}; }
    RetrievalEngine::RetrievalEnginePtr GetRetrievalEngine() override { return {}; }
    six::RefCntPtr<TmcMessageStore> GetTmcMessageStore() override { return store; }
    AdvicePtr& GetAdviceAtPosition(AdvicePtr& out) override { return out; }
    void GetDatabases(DatabaseListPtr&) override {}
    GpsReceiverPtr& OpenAlternativeGps(GpsReceiverPtr& out) override { return out; }
    void CloseAlternativeGps() override {}
    six::RefCntPtr<TmcReceiver> GetTmcReceiver() override { return {}; }
    std::int32_t DetectGpsPort(std::int16_t) override { return 0; }
    const std::vector<std::uint32_t>* AvoidRoadAhead(std::int32_t, bool) override {
        return nullptr;
    }
    void EnableTrafficAvoidance(bool) override {}
    std::int32_t GetLanguage() override { return 0; }
    void SetAdvisorSettings(const AdviceSettings*) override {}
    void ClearRoute() override {}

    six::RefCntPtr<TmcMessageStore> store = CreateTmcMessageStore();
    RoutePositionPtr nearestRoad;
    int positionCalls = 0;
    std::uint32_t askedElement = 0;
    GeoPoint askedPoint;
};

class RecordingListener : public IMapViewListener {
public:
    void OnKey(UINT key) override { keys.push_back(key); }
    bool OnTap() override {
        ++taps;
        return true;
    }
    void OnMapOpened() override { ++opened; }
    void OnMapClosed() override { ++closed; }
    void OnBarButton() override { ++barButtons; }

    std::vector<UINT> keys;
    int taps = 0;
    int opened = 0;
    int closed = 0;
    int barButtons = 0;
};

// The colour of direction-arrow bitmap i: distinct for each.
inline std::uint32_t ArrowRgb(std::size_t i) {
    return 0x101010u * static_cast<std::uint32_t>(i + 1) + 0x000040u;
}

inline std::vector<std::uint8_t> Square(int size, std::uint32_t rgb) {
    testdata::BitmapSpec spec;
    spec.width = spec.height = size;
    spec.pixels.assign(static_cast<std::size_t>(size * size), rgb);
    return testdata::WriteBitmapFile(spec);
}

// The flag bitmap's one colour.
inline constexpr std::uint32_t kFlagRgb = 0x00FFFF;

class MapViewFixture : public ::testing::Test {
protected:
    // Writes the settings and the town and creates the view (not yet shown).
    void Start(int width, int height, const std::string& settings, bool isGuidance,
               bool isTracking) {
        if (!MemoryArena::Shared().HoldsMemory()) {
            ASSERT_TRUE(MemoryArena::Shared().Reserve(8 << 20));
        }
        m_width = width;
        m_height = height;
        platform::SetScreenSize(width, height);
        platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        platform::ResourceBundle bundle;
        for (std::size_t i = 0; i < DirectionArrowWindow::kBitmapIds.size(); ++i) {
            bundle.bitmaps[static_cast<UINT>(DirectionArrowWindow::kBitmapIds[i])] =
                Square(47, ArrowRgb(i));
        }
        bundle.bitmaps[390] = Square(16, 0x00FF00);
        bundle.bitmaps[1089] = Square(10, kFlagRgb);
        for (const auto& [id, picture] : extraBitmaps) {
            bundle.bitmaps[id] = picture;
        }
        m_module = windowtesting::LoadLanguage(root, bundle);
        ASSERT_NE(m_module, nullptr);
        platform::SetResourceInstance(m_module);
        ASSERT_TRUE(root.WriteFile(u"\\Windows\\PK.ini", settings));
        ASSERT_TRUE(root.MakeFolder(u"\\My Documents"));
        ASSERT_TRUE(town.WriteTo(root, u"\\maps"));
        facade = MapEngineFacade::Create(1024);
        ASSERT_TRUE(facade->LoadLevelFile(levelFile));
        CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, WS_POPUP | WS_VISIBLE, 0, 0,
                        width, height, nullptr, nullptr, nullptr, &page);
        scripted = new ScriptedServer;
        server = Onboard::OnboardServerPtr(scripted);
        view.reset(MapView::Create(server, &listener, isGuidance, isTracking));
        ASSERT_TRUE(view);
        view->SetMapEngine(facade);
    }
    void ShowWhole() {
        view->Show(RECT{0, 0, m_width, m_height}, page.window);
        driver.RunUntilIdle();
    }
    // Starts a 240x320 view, shows it whole and centres it on the town at scale 2.
    void StartOverTown(const std::string& settings, bool isGuidance, bool isTracking) {
        Start(240, 320, settings, isGuidance, isTracking);
        if (HasFatalFailure()) {
            return;
        }
        ShowWhole();
        Canvas().SetScale(2.0);
        Canvas().SetCenter(TownCentre());
    }
    void TearDown() override {
        view.reset();
        server = nullptr;
        facade = nullptr;
        TmcMonitor::Instance().SetDialog(nullptr);
        platform::SetResourceInstance(nullptr);
        if (m_module != nullptr) {
            FreeLibrary(m_module);
        }
        platform::SetFontFile({});
        platform::SetScreenSize(240, 320);
    }

    // Ends one round of a test that starts the view more than once: the view and the page go.
    void EndRound() {
        TearDown();
        if (page.window != nullptr) {
            DestroyWindow(page.window);
            page.window = nullptr;
        }
    }

    [[nodiscard]] MapCanvas& Canvas() { return *view->GetCanvas(); }
    // The screen point of a client point of the canvas.
    [[nodiscard]] POINT OnScreen(POINT client) {
        ClientToScreen(view->GetHwnd(), &client);
        return client;
    }
    [[nodiscard]] COLORREF ScreenAt(POINT screen) const {
        std::vector<std::uint32_t> pixels;
        int w = 0;
        int h = 0;
        const RECT one{screen.x, screen.y, screen.x + 1, screen.y + 1};
        EXPECT_TRUE(platform::ReadScreenPixels(&one, &pixels, &w, &h));
        const std::uint32_t rgb = pixels.empty() ? 0 : pixels[0];
        return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }
    [[nodiscard]] std::vector<std::uint32_t> Pixels(const RECT& screen) const {
        std::vector<std::uint32_t> pixels;
        int w = 0;
        int h = 0;
        EXPECT_TRUE(platform::ReadScreenPixels(&screen, &pixels, &w, &h));
        return pixels;
    }
    [[nodiscard]] GeoPoint TownCentre() const { return MapPointToDegrees(town.GetCentre()); }

    static MatchedPosition Position(GeoPoint at, int heading, int speed, bool streetsNear = true) {
        MatchedPosition p;
        p.matched = at;
        p.fix.speed = static_cast<decltype(p.fix.speed)>(speed);
        p.fix.hdop = 1.0;
        p.heading = static_cast<std::uint16_t>(heading);
        p.speed = static_cast<std::uint16_t>(speed);
        p.streetsNear = streetsNear ? 1 : 0;
        return p;
    }

    platform::VirtualClock clock;
    platform::ScopedClock installed{clock};
    testdata::TempDeviceRoot root;
    testdata::DrawTownWriter town{12, 1};
    // Pictures Start adds to the language bundle (button faces, say).
    std::map<UINT, std::vector<std::uint8_t>> extraBitmaps;
    // The level file Start loads (written before Start when it is not the town's).
    std::u16string levelFile = u"\\maps\\town.lvl";
    OwnerHandlerList handlers;
    WindowHandle page;
    platform::ScreenDriver driver{&clock};
    six::RefCntPtr<MapEngineFacade> facade;
    Onboard::OnboardServerPtr server;
    ScriptedServer* scripted = nullptr; // held by server
    RecordingListener listener;
    std::unique_ptr<MapView> view;
    HMODULE m_module = nullptr;
    int m_width = 240;
    int m_height = 320;
};

} // namespace mapviewtest
