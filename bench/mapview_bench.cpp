// One following step of the map view (SetPosition, then UpdateFollow with the synchronous
// redraw of the old marker's rectangle, no re-centring) against a full repaint of the same view:
// the draw town in a 480 x 640 page at 2 metres per pixel. Ratio "step_vs_repaint", goal at most
// 0.1.
#include "mapdisplay/mapview.h"
#include "testdata/drawtown.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/gdi/text.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;

void BenchmarkFollowingStep(benchmark::State& state) {
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
    std::unique_ptr<MapView> view(MapView::Create(nullptr, nullptr, false, true));
    view->SetMapEngine(facade);
    view->Show(RECT{0, 0, kWidth, kHeight}, page.window);
    MapCanvas& canvas = *view->GetCanvas();
    const GeoPoint centre = MapPointToDegrees(town.GetCentre());
    canvas.SetScale(2.0);
    canvas.SetCenter(centre);
    driver.RunUntilIdle();
    const POINT middle = canvas.GeoToScreen(centre);
    const GeoPoint positions[2] = {canvas.ScreenToGeo(POINT{middle.x - 3, middle.y}),
                                   canvas.ScreenToGeo(POINT{middle.x + 3, middle.y})};
    MatchedPosition position;
    position.streetsNear = 1;
    position.fix.speed = 0;
    std::size_t step = 0;

    double stepSeconds = 0;
    double repaintSeconds = 0;
    for (auto _ : state) {
        position.matched = positions[step++ % 2];
        const auto t0 = std::chrono::steady_clock::now();
        (void)view->SetPosition(position);
        view->UpdateFollow();
        const auto t1 = std::chrono::steady_clock::now();
        canvas.InvalidateMap();
        driver.RunUntilIdle();
        const auto t2 = std::chrono::steady_clock::now();
        stepSeconds += std::chrono::duration<double>(t1 - t0).count();
        repaintSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["step_vs_repaint"] = repaintSeconds > 0 ? stepSeconds / repaintSeconds : 0.0;
    view.reset();
    platform::SetFontFile({});
}

} // namespace

BENCHMARK(BenchmarkFollowingStep)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
