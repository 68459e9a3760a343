#include "advisor/tests/junctionscenario.h"

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
    auto run = std::make_unique<ScenarioRun>();
    auto written = testdata::WriteJunctionScenario(scenario, ScenarioRoot(),
                                                   std::u16string(name.begin(), name.end()));
    if (!written || !ScenarioRoot().InstallModule(u"ziVur.dll")) {
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
        run->items.push_back(RouteItem::Of(it->Current()));
    }
    return run;
}

} // namespace junctiontest
