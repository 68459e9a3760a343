// Guidance on the navigation map page per advice event, over the advice sequence of an extract
// route of about 20 km (the advisor asked every 10 m, as the server fires its event): the page's
// advice handler and the user-interface work it causes (the schematic window's picture whenever
// the manoeuvre changes, texts, distance field and bar), against a schematic window alone given
// the same advice and painted, in turns in the same run. Counters: "page_us" and "alone_us" per
// advice event, "ratio" (page over alone; the goal: at most 1.3), "events", "length_m".
#include "advisor/advisor.h"
#include "app/pages/cnmappage.h"
#include "app/tests/recordingmode.h"
#include "bench/benchextract.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/simulateddrive.h"
#include "tools/osm/osmadvisor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/files/modules.h"
#include "platform/gdi/text.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kRoutes = 40;
constexpr double kWantedMetres = 20000.0;

double MicrosecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// A server that only carries the events; the page asks it for nothing else here.
class EventsOnlyServer final : public Onboard::IOnboardServer {
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
    RoutePositionPtr& CreatePositionDestination(RoutePositionPtr& out, const std::uint32_t*,
                                                const GeoPoint*) override {
        return out = nullptr;
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
    six::RefCntPtr<TmcMessageStore> GetTmcMessageStore() override { return {}; }
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
};

benchextract::Extract& TheExtract() {
    static const std::unique_ptr<benchextract::Extract> extract = [] {
        auto made = std::make_unique<benchextract::Extract>();
        benchextract::Open(*made, "bench", kRoutes);
        return made;
    }();
    return *extract;
}

void GuidancePerAdvice(benchmark::State& state) {
    benchextract::Extract& extract = TheExtract();
    if (!extract.error.empty()) {
        state.SkipWithError(extract.error.c_str());
        return;
    }
    // The route nearest to 20 km.
    const RouteRequestResult* route = &extract.routes.front();
    for (const RouteRequestResult& candidate : extract.routes) {
        if (std::abs(candidate.length - kWantedMetres) < std::abs(route->length - kWantedMetres)) {
            route = &candidate;
        }
    }
    AdvisorPtr advisor;
    CreateAdvisorFacade(advisor, RetrievalEngine::RetrievalEnginePtr(extract.engine), *route,
                        u"\\bench" + std::u16string(osm2nav::kAdvisorFolder), {});
    if (!advisor) {
        state.SkipWithError("no advisor");
        return;
    }
    std::vector<AdvicePtr> advices;
    testdata::SimulatedDrive drive(route->route, 10.0);
    for (testdata::DrivePosition at; drive.Next(at);) {
        AdvicePtr advice;
        if (advisor->CreateAdvice(advice, at.position, at.route, 0) && advice->IsValid()) {
            advices.push_back(advice);
        }
    }

    platform::SetExecutablePath(u"\\Nav\\nav.exe");
    platform::SetScreenSize(240, 320);
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    testdata::TempDeviceRoot& root = extract.root;
    (void)root.WriteFile(u"\\Windows\\LangEngCE.dll",
                         testdata::WriteResourceBundle(platform::ResourceBundle{}));
    HMODULE module = LoadLibraryW(u"LangEngCE.dll");
    platform::SetResourceInstance(module);
    std::ifstream layout(NAV_SCREEN_DESC_FILE, std::ios::binary);
    (void)root.WriteFile(AppPaths::GetScreenDescFilePath(),
                         std::string(std::istreambuf_iterator<char>(layout), {}));
    // Arrow mode: the schematic window is the one shown.
    (void)root.WriteFile(AppPaths::GetSettingsFilePath(), "[Preferences]\r\nArrowMode=1\r\n");
    const auto facade = MapEngineFacade::Create(2048);
    if (!facade || !facade->LoadLevelFile(u"\\bench" + std::u16string(osm2nav::kLevelFile))) {
        state.SkipWithError("no map display facade");
        return;
    }
    platform::ScreenDriver driver;
    MatchedPosition picture;
    picture.streetsNear = 1;
    picture.fix.hdop = 1.0f;

    RecordingMode mode;
    Onboard::OnboardServerPtr server(new EventsOnlyServer);
    auto page = std::make_unique<CNMapPage>(&mode, server, facade);
    ShowPageWindow(page->GetPageHandle(), true);
    driver.RunUntilIdle();
    page->OnRouteChanged(route);
    page->OnPosition(&picture);
    driver.RunUntilIdle();

    WindowHandle other;
    CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", WS_POPUP, 0, 0, 240, 320, nullptr,
                    nullptr, platform::ResourceInstance(), &other);
    std::unique_ptr<ISchematicWnd> alone(CreateSchematicWnd(nullptr));
    const RECT area = page->GetAreaRect(CNMapPage::kRealAreaKey);
    alone->Create(area, other.window);
    alone->SetDataSource(facade);
    alone->SetRoute(*route);
    alone->SetPosition(picture);
    driver.RunUntilIdle();

    double pageUs = 0.0;
    double aloneUs = 0.0;
    std::int64_t pagePictures = 0;
    std::int64_t alonePictures = 0;
    for (auto _ : state) {
        ShowWindow(other.window, SW_HIDE);
        ShowWindow(page->GetHwnd(), SW_SHOW);
        // The arrival at the end of the last run cleared the route: given again, untimed.
        page->OnRouteChanged(route);
        driver.RunUntilIdle();
        std::int64_t made = SchematicWnd::CrossingViewsMade();
        auto start = Clock::now();
        for (const AdvicePtr& advice : advices) {
            page->OnAdvice(advice);
            driver.RunUntilIdle();
        }
        pageUs += MicrosecondsSince(start);
        pagePictures += SchematicWnd::CrossingViewsMade() - made;

        ShowWindow(page->GetHwnd(), SW_HIDE);
        ShowWindow(other.window, SW_SHOW);
        driver.RunUntilIdle();
        made = SchematicWnd::CrossingViewsMade();
        start = Clock::now();
        for (const AdvicePtr& advice : advices) {
            alone->SetAdvice(advice->Clone());
            UpdateWindow(alone->GetHwnd());
            driver.RunUntilIdle();
        }
        aloneUs += MicrosecondsSince(start);
        alonePictures += SchematicWnd::CrossingViewsMade() - made;
    }
    const double events = static_cast<double>(state.iterations() * advices.size());
    state.counters["events"] = static_cast<double>(advices.size());
    state.counters["length_m"] = route->length;
    state.counters["page_us"] = events > 0 ? pageUs / events : 0.0;
    state.counters["alone_us"] = events > 0 ? aloneUs / events : 0.0;
    state.counters["ratio"] = aloneUs > 0.0 ? pageUs / aloneUs : 0.0;
    // Crossing views made per run: both sides render the same pictures.
    const auto runs = static_cast<double>(state.iterations());
    state.counters["page_pictures"] = static_cast<double>(pagePictures) / runs;
    state.counters["alone_pictures"] = static_cast<double>(alonePictures) / runs;

    alone.reset();
    DestroyWindow(other.window);
    page.reset();
    platform::SetResourceInstance(nullptr);
    FreeLibrary(module);
}

} // namespace

BENCHMARK(GuidancePerAdvice)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
