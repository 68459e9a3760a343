// Loading the tour point store of 30 stops over the converted extract and the real server on the
// map display facade: the store read, each record parsed, matched to its street near its point
// and made a street destination, the country line fetched, the stops listed and painted. The
// baseline in the same run is the 30 street lookups near the points alone (FindStreetNearPoint).
// "vs_baseline" is how many times longer the load takes; the goal is at most 1.3.
#include "app/destinations/uddrecord.h"
#include "app/pages/tourlist.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "bench/benchdevice.h"
#include "mapdisplay/mapenginefacade.h"
#include "testdata/destinationwriter.h"
#include "testdata/tempdir.h"
#include "tools/osm/osmconvert.h"
#include "ui/customlistbox.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/files/modules.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kStops = 30;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_TourStoreLoadedAgainstStreetLookups(benchmark::State& state) {
    testdata::TempDeviceRoot root;
    const auto layout = testdata::ReadHostFile(NAV_SCREEN_DESC_FILE);
    if (!benchdevice::ConvertExtract(root, "tour") || !layout) {
        state.SkipWithError("the device cannot be set up");
        return;
    }
    (void)MemoryArena::Shared().Reserve(4 << 20);
    platform::SetExecutablePath(u"\\Nav\\nav.exe");
    (void)root.WriteFile(AppPaths::GetScreenDescFilePath(), *layout);
    const auto facade = MapEngineFacade::Create(2048);
    Onboard::OnboardServerPtr server =
        CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(facade));
    std::vector<benchdevice::StreetPlace> places;
    {
        const auto scratch = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        if (scratch->Open(u"\\tour" + std::u16string(osm2nav::kLevelFile))) {
            places = benchdevice::StreetPlaces(*scratch, kStops / 5);
        }
    }
    std::vector<std::u16string> records;
    for (const benchdevice::StreetPlace& place : places) {
        records.push_back(testdata::UddRecordText(
            {place.point.x, place.point.y, place.city, place.street, u"", u"", u"", u"", false}));
    }
    if (!server || records.size() != kStops ||
        !root.WriteFile(AppPaths::GetRoutePointsFilePath(),
                        testdata::WriteListSection("DestList", records))) {
        state.SkipWithError("no 30 stops");
        return;
    }
    {
        std::vector<DestinationEntry> stops;
        TourList page(server, nullptr, &stops);
        ShowPageWindow(page.GetPageHandle(), true);
        platform::ScreenDriver driver;
        driver.RunUntilIdle();

        benchmark::IterationCount rounds = 0;
        double seconds = 0.0;
        double baselineSeconds = 0.0;
        std::size_t found = 0;
        for (auto _ : state) {
            ++rounds;
            auto start = std::chrono::steady_clock::now();
            page.LoadTourPoints();
            driver.RunUntilIdle(); // the list painted
            seconds += SecondsSince(start);

            start = std::chrono::steady_clock::now();
            for (const benchdevice::StreetPlace& place : places) {
                found += FindStreetNearPoint(server, place.point.x, place.point.y, place.street,
                                             place.city)
                             ? 1
                             : 0;
            }
            benchmark::DoNotOptimize(found);
            baselineSeconds += SecondsSince(start);
        }
        if (stops.size() != kStops || page.GetListBox()->GetCount() != static_cast<int>(kStops) ||
            found != kStops * static_cast<std::size_t>(rounds)) {
            state.SkipWithError("a stop was not matched");
        }
        benchdevice::SetRatioCounters(state, "loads_per_s", rounds, seconds, baselineSeconds);
    }
    server.Release();
    platform::SetExecutablePath(u"");
}

} // namespace

BENCHMARK(BM_TourStoreLoadedAgainstStreetLookups)->Iterations(300)->UseRealTime();
BENCHMARK_MAIN();
