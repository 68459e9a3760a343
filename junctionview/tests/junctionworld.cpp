#include "junctionview/tests/junctionworld.h"

#include "testdata/routedscenario.h"
#include "testdata/tempdir.h"

#include <optional>
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
    std::optional<testdata::RoutedScenario> routed = testdata::RouteJunctionScenario(
        scenario, WorldRoot(), std::u16string(name.begin(), name.end()));
    if (!routed) {
        return nullptr;
    }
    auto run = std::make_unique<RoutedWorld>();
    run->written = std::move(routed->written);
    run->engine = std::move(routed->engine);
    run->service = std::move(routed->service);
    run->result = std::move(routed->result);
    for (RouteIteratorPtr it = GetRouteIterator(run->result); it && it->IsValid(); it->Next()) {
        run->records.push_back(it->Current());
    }
    run->map = CreateEngineJunctionMap(run->engine);
    return run;
}

} // namespace junctionworld
