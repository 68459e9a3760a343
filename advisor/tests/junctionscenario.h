#pragma once
// A junction scenario written, opened, routed by the route service and attached to junction
// rules, for the advisor's tests.
#include "advisor/junctionrules.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/routeservice.h"
#include "testdata/junctionscenarios.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace junctiontest {

// The device root the scenarios are written into (made by the first call).
testdata::TempDeviceRoot& ScenarioRoot();

// Sector and rule settings as our advisor data has them, with the countries' keys the tests
// read.
JunctionRules::Settings TestSettings();

// A destination of the kind given, on one element; only kind and element are read.
class DestinationOn final : public RoutePosition {
public:
    DestinationOn(std::uint32_t kind, std::uint32_t elementId)
        : m_kind(kind)
        , m_elementId(elementId) {}
    std::uint32_t GetKind() const override { return m_kind; }
    std::uint32_t GetSingleElementId() const override { return m_elementId; }
    GeoPoint GetSinglePoint() const override { return {0.0f, 0.0f}; }
    const RoutePositionEntry* Begin() const override { return nullptr; }
    const RoutePositionEntry* End() const override { return nullptr; }
    std::uint32_t Count() const override { return 0; }

private:
    std::uint32_t m_kind;
    std::uint32_t m_elementId;
};

struct ScenarioRun {
    testdata::WrittenScenario written;
    RetrievalEngine::RetrievalEnginePtr engine;
    RouteServicePtr service;
    RouteRequestResult result;
    std::vector<RouteItem> items; // the route's items in order
    JunctionRules rules;

    // Attaches the route again (destination kind 2 unless another destination is given) and
    // analyses the items up to `index`; the module of that item.
    std::u16string AnalyseUpTo(std::size_t index, const RoutePosition* destination = nullptr,
                               const JunctionRules::Settings& settings = TestSettings());
};

// Writes the scenario into its own folder, opens it and routes along scenario.route; null when
// any step fails.
std::unique_ptr<ScenarioRun> RunScenario(const testdata::JunctionScenario& scenario);

} // namespace junctiontest
