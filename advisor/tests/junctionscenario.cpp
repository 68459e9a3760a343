#include "advisor/tests/junctionscenario.h"

#include "testdata/routedscenario.h"

namespace junctiontest {

testdata::TempDeviceRoot& ScenarioRoot() {
    static testdata::TempDeviceRoot root;
    return root;
}

JunctionRules::Settings TestSettings() {
    return {{u"minAngleStraightAhead", u"-15"}, {u"maxAngleStraightAhead", u"15"},
            {u"minAngleSlightRight", u"16"},    {u"maxAngleSlightRight", u"45"},
            {u"minAngleToTheRight", u"46"},     {u"maxAngleToTheRight", u"120"},
            {u"minAngleHardRight", u"121"},     {u"maxAngleHardRight", u"160"},
            {u"minAngleReturn", u"-160"},       {u"maxAngleReturn", u"160"},
            {u"minAngleHardLeft", u"-121"},     {u"maxAngleHardLeft", u"-160"},
            {u"minAngleToTheLeft", u"-46"},     {u"maxAngleToTheLeft", u"-120"},
            {u"minAngleSlightLeft", u"-16"},    {u"maxAngleSlightLeft", u"-45"},
            {u"minAngleGS1", u"-30"},           {u"maxAngleGS1", u"30"},
            {u"minAngleGS2", u"-60"},           {u"maxAngleGS2", u"60"},
            {u"SignPostInfo", u"yes"},          {u"England.Drivingside", u"Left"},
            {u"Germany.RoadA", u"A"},           {u"Germany.RoadB", u"B"}};
}

std::u16string ScenarioRun::AnalyseUpTo(std::size_t index, const RoutePosition* destination,
                                        const JunctionRules::Settings& settings) {
    rules = JunctionRules();
    rules.LoadSectorSettings(settings);
    rules.SetElementSource(engine);
    rules.AttachRoute(result.route, destination ? destination : result.destination.get());
    std::u16string module;
    for (std::size_t i = 0; i <= index && i < items.size(); ++i) {
        module = rules.AnalyseJunction(items[i]);
    }
    return module;
}

std::unique_ptr<ScenarioRun> RunScenario(const testdata::JunctionScenario& scenario) {
    static int folders = 0;
    const std::string name = "\\scenario" + std::to_string(++folders);
    std::optional<testdata::RoutedScenario> routed = testdata::RouteJunctionScenario(
        scenario, ScenarioRoot(), std::u16string(name.begin(), name.end()));
    if (!routed) {
        return nullptr;
    }
    auto run = std::make_unique<ScenarioRun>();
    run->written = std::move(routed->written);
    run->engine = std::move(routed->engine);
    run->service = std::move(routed->service);
    run->result = std::move(routed->result);
    for (RouteIteratorPtr it = GetRouteIterator(run->result); it && it->IsValid(); it->Next()) {
        run->items.push_back(RouteItem::Of(it->Current()));
    }
    return run;
}

} // namespace junctiontest
