// A map view following the GPS demo drive of a route between two villages of the converted
// extract: the real navigation server over the extract's database replays the drive through its
// alternative GPS device on the virtual clock; each position event is posted to a 480 x 640
// headless page, which hands it to the view (SetPosition, then UpdateFollow) on its own thread.
// The marker stays inside the non-scroll rectangle and the scale follows the speed table; a
// frame every 30 s lands in the build folder (mapview-frames/) for people to look at.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "mapdisplay/mapview.h"
#include "onboard/onboardserver.h"
#include "onboard/tests/serverworld.h"
#include "testdata/testfiles.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/gdi/screenshot.h"
#include "platform/gdi/text.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;
constexpr UINT kPositionMessage = WM_USER + 1;

class ExtractMapView : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        ConvertOnce({{"mapview", options}});
    }
};

// The page: positions from the server's thread are queued and posted; the page's thread feeds
// them to the view and checks each step.
class FollowingPage {
public:
    explicit FollowingPage(platform::VirtualClock& clock)
        : m_clock(clock) {
        ConnectMessageHandler(m_handle.map, kPositionMessage, this, &FollowingPage::OnPositions);
        CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, WS_POPUP | WS_VISIBLE, 0, 0,
                        kWidth, kHeight, nullptr, nullptr, nullptr, &m_handle);
    }
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    HWND GetWindow() const { return m_handle.window; }

    void OnServerPosition(const MatchedPosition* position) {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(*position);
        }
        PostMessageW(m_handle.window, kPositionMessage, 0, 0);
    }

    MapView* view = nullptr;
    std::size_t fed = 0;
    std::size_t outside = 0;    // markers outside the non-scroll rectangle
    std::size_t wrongScale = 0; // scales other than the speed table's
    std::size_t frames = 0;
    std::vector<int> speeds;

private:
    void OnPositions(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
        std::vector<MatchedPosition> positions;
        {
            std::lock_guard lock(m_mutex);
            positions.swap(m_queue);
        }
        for (const MatchedPosition& p : positions) {
            (void)view->SetPosition(p);
            view->UpdateFollow();
            ++fed;
            speeds.push_back(p.fix.speed);
            MapCanvas* canvas = view->GetCanvas();
            const POINT s = canvas->GeoToScreen(p.matched);
            if (PtInRect(&view->GetNonScrollRect(), s) == FALSE) {
                ++outside;
            }
            m_width = LookUpSpeedRange(view->GetSpeedTable(), p.fix.speed, m_width);
            RECT client{};
            GetClientRect(view->GetHwnd(), &client);
            if (m_width > 0 &&
                std::abs(canvas->GetScale() - m_width * 1000.0 / client.right) > 1e-6) {
                ++wrongScale;
            }
            const std::uint64_t now = m_clock.TickMs();
            if (now >= m_nextFrame) {
                m_nextFrame = now + 30000;
                WriteFrame();
            }
        }
        *result = 0;
        *handled = true;
    }
    void WriteFrame() {
        std::vector<std::uint32_t> pixels;
        int w = 0;
        int h = 0;
        const RECT all{0, 0, kWidth, kHeight};
        if (!platform::ReadScreenPixels(&all, &pixels, &w, &h)) {
            return;
        }
        const std::vector<std::uint8_t> png = platform::EncodePng(pixels, w, h);
        const std::filesystem::path folder("mapview-frames");
        std::filesystem::create_directories(folder);
        std::ofstream(folder / ("frame" + std::to_string(frames++) + ".png"), std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()),
                   static_cast<std::streamsize>(png.size()));
    }

    platform::VirtualClock& m_clock;
    WindowHandle m_handle;
    std::mutex m_mutex;
    std::vector<MatchedPosition> m_queue;
    double m_width = 0.0;
    std::uint64_t m_nextFrame = 0;
    // Last, so that the connections end before the members the handlers write go.
    OwnerHandlerList m_handlers;
};

// What the tests share: the settings, a virtual clock with the screen, the server on the extract
// and its route from a street of Schaan to one of Triesen.
struct ServerRoute {
    platform::VirtualClock clock;
    platform::ScopedClock installed{clock};
    std::optional<platform::ScreenDriver> driver;
    six::RefCntPtr<RetrievalEngineImpl> engine;
    Onboard::OnboardServerPtr server;
    MatchedPosition start;
    RouteRequestResult route;
};

void SetUpServerRoute(testdata::TempDeviceRoot& root, ServerRoute& s) {
    if (!MemoryArena::Shared().HoldsMemory()) {
        ASSERT_TRUE(MemoryArena::Shared().Reserve(8 << 20));
    }
    platform::SetScreenSize(kWidth, kHeight);
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    ASSERT_TRUE(root.WriteFile(
        u"\\Windows\\Quarn.ini",
        "[Quarn]\r\nDB=\\mapview\r\n[Properties]\r\nConfigFilesDir=\\mapview\\ConfigFiles"
        "\r\n[GPS]\r\nAutoLog=0\r\n"));
    ASSERT_TRUE(root.WriteFile(u"\\Nav\\deziv.ini", testdata::ReadTestFile(NAV_DEZIV_INI)));
    platform::SetExecutablePath(u"\\Nav\\nav.exe");
    s.clock.Advance(5000);
    s.driver.emplace(&s.clock);

    s.engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(2048));
    s.server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(s.engine));
    ASSERT_TRUE(s.server);
    auto any = [](std::uint32_t, std::int32_t) { return true; };
    const auto from = extractplaces::FirstStreetElement(*s.engine, u"Schaan", any);
    const auto to = extractplaces::FirstStreetElement(*s.engine, u"Triesen", any);
    ASSERT_TRUE(from && to);
    std::vector<GeoPoint> points;
    ASSERT_TRUE(s.engine->GetElementPoints(*from, points) && points.size() >= 2);
    s.start = testdata::MatchedPositionBuilder()
                  .Fix(points[0])
                  .OnStreet(*from, points[0], points[0], points[1])
                  .Speed(50)
                  .Build();
    RoutePositionPtr destination;
    s.server->CreateElementDestination(destination, &*to);
    Onboard::RouteRequest request;
    request.destination = destination;
    s.server->RequestRoute(s.route, &s.start, request);
    ASSERT_EQ(s.route.status, routestatus::kFound);
}

TEST_F(ExtractMapView, FollowsTheDemoDriveBetweenTwoVillages) {
    const std::u16string folder = u"\\mapview";
    ServerRoute shared;
    ASSERT_NO_FATAL_FAILURE(SetUpServerRoute(*s_root, shared));
    platform::VirtualClock& clock = shared.clock;
    platform::ScreenDriver& driver = *shared.driver;
    Onboard::OnboardServerPtr& server = shared.server;
    const RouteRequestResult& route = shared.route;

    // The view in the page, over the facade on the extract's level file.
    const auto facade = MapEngineFacade::Create(2048);
    ASSERT_TRUE(facade->LoadLevelFile(folder + osm2nav::kLevelFile));
    FollowingPage page(clock);
    std::unique_ptr<MapView> view(MapView::Create(server, nullptr, false, true));
    ASSERT_TRUE(view);
    view->SetMapEngine(facade);
    view->Show(RECT{0, 0, kWidth, kHeight}, page.GetWindow());
    page.view = view.get();
    driver.RunUntilIdle();
    server->PositionEvent.Connect(&page, &FollowingPage::OnServerPosition);
    servertest::EventLog log;
    log.Connect(*server);

    NmeaDemoWriter demo("\\mapview\\drive.txt", route);
    ASSERT_EQ(demo.Write(), 0);
    GpsReceiverPtr receiver;
    server->OpenAlternativeGps(receiver);
    ASSERT_TRUE(receiver);
    receiver->OpenReplayFile(u"\\mapview\\drive.txt");
    receiver->SetSentenceRate(3.0F);
    constexpr std::size_t kFixes = 300;
    for (std::size_t i = 1; i <= kFixes; ++i) {
        bool isPublished = false;
        for (int tries = 0; tries < 25 && !isPublished; ++tries) {
            clock.Advance(667);
            isPublished = log.WaitFor('P', i, std::chrono::milliseconds(200));
        }
        if (!isPublished) {
            break; // the drive is over
        }
        driver.RunUntilIdle();
    }
    server->CloseAlternativeGps();
    server->PositionEvent.Disconnect(&page);
    driver.RunUntilIdle();

    EXPECT_GE(page.fed, 100u);
    EXPECT_EQ(page.outside, 0u);
    EXPECT_EQ(page.wrongScale, 0u);
    EXPECT_GE(page.frames, 2u);
    view.reset();
    server.Release();
    platform::SetExecutablePath(u"");
    platform::SetFontFile({});
    platform::SetScreenSize(240, 320);
}

// The route between the two villages set on a preview view and on a guidance view over the
// extract: after ZoomToRoute every record's point lies in the view, and points sampled along
// the records' polylines carry the route colour (a band under the roads in preview, a line over
// them in guidance); the frames land in the build folder (route-frames/) for people to look at.
TEST_F(ExtractMapView, DrawsARouteBetweenTwoVillages) {
    ServerRoute shared;
    ASSERT_NO_FATAL_FAILURE(SetUpServerRoute(*s_root, shared));
    platform::ScreenDriver& driver = *shared.driver;
    Onboard::OnboardServerPtr& server = shared.server;
    const MatchedPosition& start = shared.start;
    const RouteRequestResult& route = shared.route;
    // The route in magenta, a colour the extract's day sheet does not use.
    constexpr std::uint32_t kMagenta = 0xFF00FF;
    ASSERT_TRUE(
        s_root->WriteFile(AppPaths::GetSettingsFilePath(), "[Map]\r\nRouteColor=16711935\r\n"));
    std::vector<GeoPoint> recordPoints;
    std::vector<std::vector<GeoPoint>> samples; // per record: its polyline and the midpoints
    for (RouteIteratorPtr it = GetRouteIterator(route); it && it->IsValid(); it->Next()) {
        const RouteRecord& record = it->Current();
        recordPoints.push_back(GeoPoint{record.x, record.y});
        std::vector<GeoPoint>& along = samples.emplace_back();
        for (std::size_t i = 0; i < record.polyline.size(); ++i) {
            along.push_back(record.polyline[i]);
            if (i + 1 < record.polyline.size()) {
                along.push_back(GeoPoint{(record.polyline[i].x + record.polyline[i + 1].x) / 2,
                                         (record.polyline[i].y + record.polyline[i + 1].y) / 2});
            }
        }
    }
    ASSERT_GE(recordPoints.size(), 2u);

    const auto facade = MapEngineFacade::Create(2048);
    ASSERT_TRUE(facade->LoadLevelFile(std::u16string(u"\\mapview") + osm2nav::kLevelFile));
    WindowHandle page;
    CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, WS_POPUP | WS_VISIBLE, 0, 0,
                    kWidth, kHeight, nullptr, nullptr, nullptr, &page);
    for (const bool guidance : {false, true}) {
        SCOPED_TRACE(guidance ? "guidance" : "preview");
        std::unique_ptr<MapView> view(MapView::Create(server, nullptr, guidance, false));
        ASSERT_TRUE(view);
        view->SetMapEngine(facade);
        view->Show(RECT{0, 0, kWidth, kHeight}, page.window);
        const GeoPoint last = view->SetRoute({route.route});
        EXPECT_EQ(last, view->GetDestination());
        EXPECT_NE(last, GeoPoint{});
        ASSERT_TRUE(view->HasRoute());
        if (guidance) {
            (void)view->SetPosition(start);
            view->UpdateFollow();
        }
        view->ZoomToRoute();
        view->GetCanvas()->InvalidateMap();
        driver.RunUntilIdle();
        MapCanvas* canvas = view->GetCanvas();
        const GeoRect visible = canvas->GetVisibleGeoRect();
        std::vector<std::uint32_t> pixels;
        int w = 0;
        int h = 0;
        const RECT all{0, 0, kWidth, kHeight};
        ASSERT_TRUE(platform::ReadScreenPixels(&all, &pixels, &w, &h));
        std::size_t outside = 0;
        for (const GeoPoint& p : recordPoints) {
            if (p.x < visible.minX || p.x > visible.maxX || p.y < visible.minY ||
                p.y > visible.maxY) {
                ++outside;
            }
        }
        EXPECT_EQ(outside, 0u);
        // A sampled point carries the route colour when a pixel within 5 of it has it: the
        // preview's band lies under the roads, which are up to 8 pixels wide.
        constexpr int kNear = 5;
        const auto routeNear = [&](GeoPoint at) {
            POINT s = canvas->GeoToScreen(at);
            ClientToScreen(view->GetHwnd(), &s);
            for (int y = std::max(0, int(s.y) - kNear); y <= std::min(h - 1, int(s.y) + kNear); ++y)
                for (int x = std::max(0, int(s.x) - kNear); x <= std::min(w - 1, int(s.x) + kNear);
                     ++x)
                    if ((pixels[std::size_t(y) * std::size_t(w) + std::size_t(x)] & 0xFFFFFF) ==
                        kMagenta)
                        return true;
            return false;
        };
        std::size_t sampled = 0;
        std::size_t coloured = 0;
        std::size_t bareRecords = 0;
        for (const std::vector<GeoPoint>& along : samples) {
            std::size_t hits = 0;
            for (const GeoPoint& p : along) {
                hits += routeNear(p) ? 1 : 0;
            }
            sampled += along.size();
            coloured += hits;
            bareRecords += !along.empty() && hits == 0 ? 1 : 0;
        }
        // Labels, symbols and the vehicle marker lie over a few points.
        EXPECT_GE(coloured * 20, sampled * 19) << coloured << " of " << sampled;
        EXPECT_LE(bareRecords * 20, samples.size()) << bareRecords << " of " << samples.size();
        const std::vector<std::uint8_t> png = platform::EncodePng(pixels, w, h);
        const std::filesystem::path folder("route-frames");
        std::filesystem::create_directories(folder);
        std::ofstream(folder / (guidance ? "guidance.png" : "preview.png"), std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()),
                   static_cast<std::streamsize>(png.size()));
        view.reset();
    }
    server.Release();
    platform::SetExecutablePath(u"");
    platform::SetFontFile({});
    platform::SetScreenSize(240, 320);
}

} // namespace
