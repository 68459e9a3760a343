#include "junctionview/tests/junctionworld.h"

#include "testdata/tempdir.h"

#include <string>

namespace junctionworld {

testdata::TempDeviceRoot& WorldRoot() {
    static testdata::TempDeviceRoot root;
    return root;
}

RouteIteratorPtr RoutedWorld::At(std::size_t index) const {
    RouteIteratorPtr it = GetRouteIterator(result);
    for (std::size_t i = 0; it && i < index; ++i) {
        (void)it->Next();
    }
    return it && it->IsValid() ? it : nullptr;
}

std::size_t RoutedWorld::IndexOf(const std::string& nodes) const {
    const std::uint32_t id = written.Element(nodes);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].linkId == id) {
            return i;
        }
    }
    return records.size();
}

GeoPoint RoutedWorld::Node(char name) const {
    const auto index = written.world.NodeNamed(name);
    return index ? MapPointToDegrees(written.world.nodes[*index]) : GeoPoint{};
}

std::unique_ptr<RoutedWorld> RouteWorld(const testdata::JunctionScenario& scenario) {
    static int folders = 0;
    const std::string name = "\\junction" + std::to_string(++folders);
    auto run = std::make_unique<RoutedWorld>();
    auto written = testdata::WriteJunctionScenario(scenario, WorldRoot(),
                                                   std::u16string(name.begin(), name.end()));
    if (!written || !WorldRoot().InstallModule(u"ziVur.dll")) {
        return nullptr;
    }
    run->written = std::move(*written);
    run->engine = RetrievalEngineImpl::Create(BlockCache::Create(64));
    if (!run->engine->Open(run->written.mapSet.ridPath)) {
        return nullptr;
    }
    run->service = CreateRouteService(run->engine);
    if (!run->service || !run->service->OpenNetwork(run->written.networkPath)) {
        return nullptr;
    }
    const std::string& route = scenario.route;
    const auto position = [&](char a, char b) {
        const testdata::RoadWorld& world = run->written.world;
        const std::uint32_t id = run->written.Element(std::string{a, b});
        const GeoPoint point = world.PointAlong(*world.NodeNamed(a), *world.NodeNamed(b), 0.5);
        return run->service->CreatePosition(&id, &point);
    };
    const RoutePositionPtr start = position(route[0], route[1]);
    const RoutePositionPtr destination = position(route[route.size() - 2], route[route.size() - 1]);
    run->result = run->service->RequestRoute(start, destination, nullptr);
    if (!run->result.route) {
        return nullptr;
    }
    for (RouteIteratorPtr it = GetRouteIterator(run->result); it && it->IsValid(); it->Next()) {
        run->records.push_back(it->Current());
    }
    run->map = CreateEngineJunctionMap(run->engine);
    return run;
}

} // namespace junctionworld
