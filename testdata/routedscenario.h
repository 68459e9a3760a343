#pragma once
// A junction scenario written into a folder of a device root, opened by the retrieval engine and
// the route service, and routed along scenario.route: from the middle of its first link to the
// middle of its last.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "routing/routeservice.h"
#include "testdata/junctionscenarios.h"
#include "testdata/tempdir.h"

#include <optional>
#include <string_view>

namespace testdata {

struct RoutedScenario {
    WrittenScenario written;
    RetrievalEngine::RetrievalEnginePtr engine;
    RouteServicePtr service;
    RouteRequestResult result;
};

// Writes, opens and routes the scenario in folder (a device path such as "\junction1"); nullopt
// when a file cannot be written or opened, or no route is found.
[[nodiscard]] std::optional<RoutedScenario> RouteJunctionScenario(const JunctionScenario& scenario,
                                                                  TempDeviceRoot& root,
                                                                  std::u16string_view folder);

} // namespace testdata
