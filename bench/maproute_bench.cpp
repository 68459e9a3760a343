// The map view's route line in guidance: DrawRoute of a 5,000-point route with the vehicle cut
// on a 480 x 640 view of the draw town, against Polyline of the same device points straight on
// the device context. Ratio "route_vs_polyline", goal at most 1.5.
#include "mapdisplay/mapview.h"
#include "routing/tests/scriptedroute.h"
#include "testdata/drawtown.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;
constexpr int kPoints = 5000;

void BenchmarkRouteLine(benchmark::State& state) {
    if (!MemoryArena::Shared().HoldsMemory() && !MemoryArena::Shared().Reserve(16 << 20)) {
        state.SkipWithError("no memory arena");
        return;
    }
    platform::SetScreenSize(kWidth, kHeight);
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    clock.Advance(1000);
    platform::ScreenDriver driver(&clock);
    testdata::TempDeviceRoot root;
    testdata::DrawTownWriter town(12, 1);
    auto facade = MapEngineFacade::Create(2048);
    if (!town.WriteTo(root, u"\\maps") || !facade->LoadLevelFile(u"\\maps\\town.lvl")) {
        state.SkipWithError("the draw town does not load");
        return;
    }
    WindowHandle page;
    CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, WS_POPUP | WS_VISIBLE, 0, 0,
                    kWidth, kHeight, nullptr, nullptr, nullptr, &page);
    std::unique_ptr<MapView> view(MapView::Create(nullptr, nullptr, true, false));
    view->SetMapEngine(facade);
    view->Show(RECT{0, 0, kWidth, kHeight}, page.window);
    MapCanvas& canvas = *view->GetCanvas();
    const GeoPoint centre = MapPointToDegrees(town.GetCentre());
    canvas.SetScale(2.0);
    canvas.SetCenter(centre);
    MatchedPosition position;
    position.streetsNear = 1;
    position.matched = centre;
    (void)view->SetPosition(position);
    view->UpdateFollow();
    driver.RunUntilIdle();
    // A winding line over the whole view that passes the vehicle.
    std::vector<GeoPoint> line;
    std::vector<POINT> device;
    for (int i = 0; i < kPoints; ++i) {
        const int x = 10 + i * (kWidth - 20) / kPoints;
        const int y = kHeight / 2 + static_cast<int>(200 * std::sin(i * 0.01));
        line.push_back(canvas.ScreenToGeo(POINT{x, y}));
        device.push_back(canvas.GeoToScreen(line.back()));
    }
    position.matched = line[kPoints / 2];
    (void)view->SetPosition(position);
    view->UpdateFollow();
    (void)view->SetPosition(position);
    (void)view->SetRoute({std::make_shared<ScriptedRoute>(
        std::vector<RouteRecord>{ScriptedRecord(line.front(), 0, line)})});

    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HPEN pen = CreatePen(PS_SOLID, 8, 0xFF0000);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    double routeSeconds = 0;
    double polylineSeconds = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        view->DrawRoute(dc);
        const auto t1 = std::chrono::steady_clock::now();
        Polyline(dc, device.data(), static_cast<int>(device.size()));
        const auto t2 = std::chrono::steady_clock::now();
        routeSeconds += std::chrono::duration<double>(t1 - t0).count();
        polylineSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["route_vs_polyline"] =
        polylineSeconds > 0 ? routeSeconds / polylineSeconds : 0.0;
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBitmap);
    DeleteObject(pen);
    DeleteObject(bitmap);
    DeleteDC(dc);
    view.reset();
    platform::SetFontFile({});
}

} // namespace

BENCHMARK(BenchmarkRouteLine)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
