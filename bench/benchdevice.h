#pragma once
// The device of the page benchmarks on real data: the OpenStreetMap extract (NAV_OSM_EXTRACT, with
// the demo advisor data of NAV_DEMO_DATA) converted into a folder of a temporary device root with
// the settings file naming it, the street places the pages are filled from, and the counters
// of a measurement against its baseline in the same run.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "testdata/tempdir.h"
#include "tools/osm/osmconvert.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

namespace benchdevice {

// Converts the extract into "\<folder>" and writes "\Windows\Quarn.ini" naming it as the data
// folder (GPS log off); false when the archive library, the conversion or the file fails.
[[nodiscard]] inline bool ConvertExtract(testdata::TempDeviceRoot& root,
                                         const std::string& folder) {
    osm2nav::ConvertOptions options;
    options.extract = NAV_OSM_EXTRACT;
    options.output = root.HostPath() / folder;
    options.advisorData = NAV_DEMO_DATA;
    std::ostringstream summary;
    return root.InstallModule(u"ziVur.dll") && osm2nav::Convert(options, summary).empty() &&
           root.WriteFile(u"\\Windows\\Quarn.ini",
                          "[Quarn]\r\nDB=\\" + folder + "\r\n[GPS]\r\nAutoLog=0\r\n");
}

struct StreetPlace {
    GeoPoint point; // the middle point of the street's first element
    std::u16string city;
    std::u16string street;
};

// The first perCity named streets of each of five municipalities of the extract, in order.
inline std::vector<StreetPlace> StreetPlaces(RetrievalEngineImpl& engine, std::size_t perCity) {
    std::vector<StreetPlace> places;
    for (const char16_t* city : {u"Vaduz", u"Schaan", u"Balzers", u"Triesen", u"Eschen"}) {
        AddressCursorPtr cities = engine.FindCities(city, 0);
        AddressResultPtr found = cities && cities->IsValid() ? cities->GetCurrent() : nullptr;
        if (!found) {
            continue;
        }
        std::size_t taken = 0;
        for (auto streets = engine.FindInArea(static_cast<std::uint32_t>(found->GetAreaId()), u"");
             streets && streets->IsValid() && taken < perCity; streets->Next()) {
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

// The counters of rounds measured against the baseline: "<name>" and "baseline_per_s" (rounds a
// second) and "vs_baseline" (how many times longer a measured round takes); 0 for no time.
inline void SetRatioCounters(benchmark::State& state, const char* name,
                             benchmark::IterationCount rounds, double seconds,
                             double baselineSeconds) {
    const double count = static_cast<double>(rounds);
    state.counters[name] = seconds > 0.0 ? count / seconds : 0.0;
    state.counters["baseline_per_s"] = baselineSeconds > 0.0 ? count / baselineSeconds : 0.0;
    state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
}

} // namespace benchdevice
