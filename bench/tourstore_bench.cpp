// Loading the tour point store of 30 stops over the converted extract and the real server on the
// map display facade: the store read, each record parsed, matched to its street near its point
// and made a street destination, the country line fetched, the stops listed and painted. The
// baseline in the same run is the 30 street lookups near the points alone (FindStreetNearPoint).
// "vs_baseline" is how many times longer the load takes; the goal is at most 1.3.
#include "app/destinations/uddrecord.h"
#include "app/pages/tourlist.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
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
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kStops = 30;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct StopPlace {
    GeoPoint point;
    std::u16string city;
    std::u16string street;
};

// A point on each of the first named streets of the extract's municipalities.
std::vector<StopPlace> StopPlaces(RetrievalEngineImpl& engine) {
    std::vector<StopPlace> places;
    for (const char16_t* city : {u"Vaduz", u"Schaan", u"Balzers", u"Triesen", u"Eschen"}) {
        AddressCursorPtr cities = engine.FindCities(city, 0);
        AddressResultPtr found = cities && cities->IsValid() ? cities->GetCurrent() : nullptr;
        if (!found) {
            continue;
        }
        std::size_t taken = 0;
        for (auto streets = engine.FindInArea(static_cast<std::uint32_t>(found->GetAreaId()), u"");
             streets && streets->IsValid() && taken < kStops / 5; streets->Next()) {
            GeoMoleculePtr street = streets->GetCurrent();
            std::vector<GeoPoint> line;
            if (street && !street->GetName().empty() &&
                engine.GetElementPoints(street->GetElementIds().at(0), line) && !line.empty()) {
                places.push_back({line[line.size() / 2], city, street->GetName()});
                ++taken;
            }
        }
    }
    return places;
}

void BM_TourStoreLoadedAgainstStreetLookups(benchmark::State& state) {
    testdata::TempDeviceRoot root;
    osm2nav::ConvertOptions options;
    options.extract = NAV_OSM_EXTRACT;
    options.output = root.HostPath() / "tour";
    options.advisorData = NAV_DEMO_DATA;
    std::ostringstream summary;
    const auto layout = testdata::ReadHostFile(NAV_SCREEN_DESC_FILE);
    if (!root.InstallModule(u"ziVur.dll") || !osm2nav::Convert(options, summary).empty() ||
        !layout ||
        !root.WriteFile(u"\\Windows\\Quarn.ini",
                        "[Quarn]\r\nDB=\\tour\r\n[GPS]\r\nAutoLog=0\r\n")) {
        state.SkipWithError("the device cannot be set up");
        return;
    }
    (void)MemoryArena::Shared().Reserve(4 << 20);
    platform::SetExecutablePath(u"\\Nav\\nav.exe");
    (void)root.WriteFile(AppPaths::GetScreenDescFilePath(), *layout);
    const auto facade = MapEngineFacade::Create(2048);
    Onboard::OnboardServerPtr server =
        CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(facade));
    std::vector<StopPlace> places;
    {
        const auto scratch = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        if (scratch->Open(u"\\tour" + std::u16string(osm2nav::kLevelFile))) {
            places = StopPlaces(*scratch);
        }
    }
    std::vector<std::u16string> records;
    for (const StopPlace& place : places) {
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
            for (const StopPlace& place : places) {
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
        const double count = static_cast<double>(rounds);
        state.counters["loads_per_s"] = seconds > 0.0 ? count / seconds : 0.0;
        state.counters["baseline_per_s"] = baselineSeconds > 0.0 ? count / baselineSeconds : 0.0;
        state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
    }
    server.Release();
    platform::SetExecutablePath(u"");
}

} // namespace

BENCHMARK(BM_TourStoreLoadedAgainstStreetLookups)->Iterations(300)->UseRealTime();
BENCHMARK_MAIN();
