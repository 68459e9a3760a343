#include "testdata/routedscenario.h"

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "utilities/usefulcode/cache/blockcache.h"

#include <string>

namespace testdata {

std::optional<RoutedScenario> RouteJunctionScenario(const JunctionScenario& scenario,
                                                    TempDeviceRoot& root,
                                                    std::u16string_view folder) {
    std::optional<WrittenScenario> written = WriteJunctionScenario(scenario, root, folder);
    if (!written || !root.InstallModule(u"ziVur.dll")) {
        return std::nullopt;
    }
    RoutedScenario run;
    run.written = std::move(*written);
    run.engine = RetrievalEngineImpl::Create(BlockCache::Create(64));
    if (!run.engine->Open(run.written.mapSet.ridPath)) {
        return std::nullopt;
    }
    run.service = CreateRouteService(run.engine);
    if (!run.service || !run.service->OpenNetwork(run.written.networkPath)) {
        return std::nullopt;
    }
    const std::string& route = scenario.route;
    const auto position = [&](char a, char b) {
        const RoadWorld& world = run.written.world;
        const std::uint32_t id = run.written.Element(std::string{a, b});
        const GeoPoint point = world.PointAlong(*world.NodeNamed(a), *world.NodeNamed(b), 0.5);
        return run.service->CreatePosition(&id, &point);
    };
    const RoutePositionPtr start = position(route[0], route[1]);
    const RoutePositionPtr destination = position(route[route.size() - 2], route[route.size() - 1]);
    run.result = run.service->RequestRoute(start, destination, nullptr);
    if (!run.result.route) {
        return std::nullopt;
    }
    return run;
}

} // namespace testdata
