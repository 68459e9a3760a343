// The traffic overlay's cost on a full repaint: the draw town (30 blocks a side, all of it in a
// 480 x 640 canvas at 10 metres per pixel) with 200 blocking and 500 non-blocking TMC messages
// in view, against the same repaint with the overlay detached. Ratio "overlay_vs_plain", goal
// at most 1.25.
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "mapdisplay/mapcanvas.h"
#include "mapdisplay/parkinglayer.h"
#include "testdata/alertcencoder.h"
#include "testdata/drawtown.h"
#include "testdata/tempdir.h"
#include "testdata/tmctableswriter.h"
#include "traffic/tmcdecoder.h"
#include "traffic/tmcmessagestore.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/gdi/text.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;
constexpr int kBlocks = 30;

TmcRawMessage Decoded(const std::string& text) {
    TmcDecoder decoder;
    TmcRawMessage raw{};
    int offset = 0;
    while (offset < static_cast<int>(text.size())) {
        offset += decoder.Decode(text.data() + offset, static_cast<int>(text.size()) - offset);
        if (const TmcRawMessage* message = decoder.TakeMessage()) {
            raw = *message;
        }
    }
    return raw;
}

TmcRawMessage Message(unsigned event, std::uint32_t point) {
    testdata::AlertCMessage m;
    m.event = event;
    m.location = point % 100000;
    m.extent = 1;
    testdata::AlertCEncoder encoder;
    encoder.AddTable(m.programmeId, 1);
    return Decoded(encoder.AddMessage(m).Build());
}

void BenchmarkOverlay(benchmark::State& state) {
    if (!MemoryArena::Shared().HoldsMemory() && !MemoryArena::Shared().Reserve(16 << 20)) {
        state.SkipWithError("no memory arena");
        return;
    }
    platform::SetScreenSize(kWidth, kHeight);
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    testdata::TempDeviceRoot root;
    testdata::DrawTownWriter town(kBlocks, 7);
    if (!town.WriteTo(root, u"\\maps")) {
        state.SkipWithError("the draw town cannot be written");
        return;
    }
    auto facade = MapEngineFacade::Create(2048);
    if (!facade->LoadLevelFile(u"\\maps\\town.lvl")) {
        state.SkipWithError("the level file does not load");
        return;
    }
    // A TMC line along every row of streets, with a point at every grid point.
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    std::vector<std::uint32_t> points;
    for (int j = 1; j < kBlocks; ++j) {
        std::vector<testdata::TmcRoadElement> road;
        std::vector<std::size_t> crossings;
        for (int i = 1; i < kBlocks - 1; ++i) {
            const std::uint32_t id = town.GetDetailIds()[town.GetStreetSegment(i, j, true)];
            std::vector<GeoPoint> line;
            six::IntfPtr<MapElement> element = facade->GetMappedElement(id);
            if (!element || !element->GetPoints(line) || line.size() < 2) {
                state.SkipWithError("a street has no geometry");
                return;
            }
            road.push_back({id, line.front().x, line.front().y, line.back().x, line.back().y});
            if (i + 2 < kBlocks) {
                crossings.push_back(road.size() - 1);
            }
        }
        const std::uint32_t first = 1000 + 100 * static_cast<std::uint32_t>(j);
        const testdata::TmcRoadLine line = testdata::TmcLineAlongRoad(
            model, road, crossings, MakeTmcLocationCode(1, 1, first),
            MakeTmcLocationCode(1, 1, first + 1), "Weg " + std::to_string(j), "1");
        points.insert(points.end(), line.points.begin() + 1, line.points.end());
    }
    if (points.size() < 700 ||
        !testdata::TmcTablesWriter(model).WriteFolder(root, u"\\tmc", true)) {
        state.SkipWithError("too few TMC points");
        return;
    }

    OwnerHandlerList handlers;
    WindowHandle page;
    CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, WS_POPUP | WS_VISIBLE, 0, 0,
                    kWidth, kHeight, nullptr, nullptr, nullptr, &page);
    MapCanvas canvas;
    platform::ScreenDriver driver;
    if (!canvas.Create(page.window, nullptr, WS_CHILD | WS_VISIBLE, false)) {
        state.SkipWithError("no canvas");
        return;
    }
    canvas.SetEngine(facade);
    canvas.SetCenter(MapPointToDegrees(town.GetCentre()));
    canvas.SetScale(10.0);
    driver.RunUntilIdle();

    const auto store = CreateTmcMessageStore();
    const auto layer = CreateParkingLayer();
    if (!store || !layer || !store->OpenDatabaseWithCache(u"\\tmc", BlockCache::Create(512))) {
        state.SkipWithError("no store");
        return;
    }
    layer->Connect(store);
    layer->AttachMapView(&canvas);
    store->AnnounceAll();
    (void)layer->Load(u"\\tmc\\");
    for (std::size_t k = 0; k < 700; ++k) {
        const TmcRawMessage raw = Message(k < 200 ? 401 : 115, points[k]);
        (void)store->AddRawMessage(&raw);
    }
    driver.RunUntilIdle();
    if (layer->GetEntryIds().size() != 200) {
        state.SkipWithError("the blocking messages did not all arrive");
        return;
    }

    double overlaySeconds = 0;
    double plainSeconds = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        canvas.InvalidateMap();
        driver.RunUntilIdle();
        const auto t1 = std::chrono::steady_clock::now();
        state.PauseTiming();
        layer->AttachMapView(nullptr);
        state.ResumeTiming();
        const auto t2 = std::chrono::steady_clock::now();
        canvas.InvalidateMap();
        driver.RunUntilIdle();
        const auto t3 = std::chrono::steady_clock::now();
        state.PauseTiming();
        layer->AttachMapView(&canvas);
        state.ResumeTiming();
        overlaySeconds += std::chrono::duration<double>(t1 - t0).count();
        plainSeconds += std::chrono::duration<double>(t3 - t2).count();
    }
    state.counters["messages"] = static_cast<double>(store->GetCount());
    state.counters["overlay_vs_plain"] = plainSeconds > 0 ? overlaySeconds / plainSeconds : 0.0;
    layer->AttachMapView(nullptr);
    platform::SetFontFile({});
}

} // namespace

BENCHMARK(BenchmarkOverlay)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
