#pragma once
// A junction scenario written, opened and routed by the route service for the junction model's
// tests: the engine, the route, its records and the engine's junction map.

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "junctionview/model/crossingmodel.h"
#include "routing/routeservice.h"
#include "testdata/junctionscenarios.h"
#include "testdata/tempdir.h"

#include <memory>
#include <vector>

namespace junctionworld {

struct RoutedWorld {
    testdata::WrittenScenario written;
    RetrievalEngine::RetrievalEnginePtr engine;
    RouteServicePtr service;
    RouteRequestResult result;
    std::vector<RouteRecord> records;
    JunctionMapPtr map;

    // An iterator standing on record `index`; null past the end.
    [[nodiscard]] RouteIteratorPtr At(std::size_t index) const;
    // The index of the first record on the link between two nodes; records.size() when none.
    [[nodiscard]] std::size_t IndexOf(const std::string& nodes) const;
    // A node's position in degrees.
    [[nodiscard]] GeoPoint Node(char name) const;
};

// The device root every world is written into (the process's device root while a test runs).
[[nodiscard]] testdata::TempDeviceRoot& WorldRoot();

// Writes the scenario into a folder of its own, opens it and routes from the middle of the
// route's first link to the middle of its last; null when any step fails.
[[nodiscard]] std::unique_ptr<RoutedWorld> RouteWorld(const testdata::JunctionScenario& scenario);

} // namespace junctionworld
