#pragma once
// The shared OpenStreetMap extract of the benchmarks on real data (NAV_OSM_EXTRACT, with the demo
// advisor data of NAV_DEMO_DATA): converted into a folder of a temporary device root, its engine
// and route service open, and the longest routes between its municipalities. The root and
// everything in it (about 14 MB) go with the extract.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/routeservice.h"
#include "testdata/tempdir.h"
#include "tools/osm/osmconvert.h"
#include "tools/osmtests/extractplaces.h"
#include "utilities/usefulcode/memoryarena.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace benchextract {

struct Extract {
    testdata::TempDeviceRoot root;
    six::RefCntPtr<RetrievalEngineImpl> engine;
    RouteServicePtr service;
    std::vector<RouteRequestResult> routes; // the longest first
    std::string error;                      // empty while all went well

    Extract() = default;
    Extract(const Extract&) = delete;
    Extract& operator=(const Extract&) = delete;
    // The routes and the service read through the engine, whose files close before the root goes.
    virtual ~Extract() {
        routes.clear();
        service.reset();
        if (engine) {
            engine->Close();
        }
    }
};

// A position on the first town road of the municipality; null when it has none.
inline RoutePositionPtr TownPosition(Extract& extract, const std::u16string& name) {
    const std::optional<std::uint32_t> id = extractplaces::FirstTownRoad(*extract.engine, name);
    return id ? extract.service->CreateElementPosition(&*id) : nullptr;
}

// Converts the extract into "\<folder>" with three levels, opens it and keeps the `routes`
// longest routes between the municipalities; on failure `error` names the step.
inline void Open(Extract& extract, const std::string& folder, std::size_t routes) {
    if (!extract.root.InstallModule(u"ziVur.dll")) {
        extract.error = "no archive library";
        return;
    }
    osm2nav::ConvertOptions options;
    options.extract = NAV_OSM_EXTRACT;
    options.output = extract.root.HostPath() / folder;
    options.levels = 3;
    options.advisorData = NAV_DEMO_DATA;
    std::ostringstream summary;
    extract.error = osm2nav::Convert(options, summary);
    if (!extract.error.empty()) {
        return;
    }
    (void)MemoryArena::Shared().Reserve(4 << 20);
    const std::u16string path = u"\\" + std::u16string(folder.begin(), folder.end());
    extract.engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    extract.service = CreateRouteService(RetrievalEngine::RetrievalEnginePtr(extract.engine));
    if (!extract.engine->Open(path + osm2nav::kLevelFile) ||
        !extract.service->OpenNetwork(path + osm2nav::kNetworkFile)) {
        extract.error = "the converted extract does not open";
        return;
    }
    const std::u16string names[] = {u"Vaduz",   u"Schaan",       u"Balzers",     u"Triesen",
                                    u"Eschen",  u"Mauren",       u"Triesenberg", u"Gamprin",
                                    u"Ruggell", u"Schellenberg", u"Planken"};
    std::vector<RoutePositionPtr> places;
    for (const auto& name : names) {
        if (RoutePositionPtr place = TownPosition(extract, name)) {
            places.push_back(std::move(place));
        }
    }
    for (const auto& from : places) {
        for (const auto& to : places) {
            if (from != to) {
                RouteRequestResult route = extract.service->RequestRoute(from, to, nullptr);
                if (route.status == routestatus::kFound) {
                    extract.routes.push_back(std::move(route));
                }
            }
        }
    }
    std::sort(extract.routes.begin(), extract.routes.end(),
              [](const auto& a, const auto& b) { return a.length > b.length; });
    extract.routes.resize(std::min(extract.routes.size(), routes));
    if (extract.routes.empty()) {
        extract.error = "no route between the municipalities";
    }
}

} // namespace benchextract
