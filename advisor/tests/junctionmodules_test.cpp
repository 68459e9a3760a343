// Junction scenarios routed by the route service and analysed junction by junction: the kinds
// the scenarios write reach the iterator's attribute word, and each junction gives its module
// and the condition values its decision table asks for.
#include "advisor/advisorkeywords.h"
#include "advisor/tests/junctionscenario.h"
#include "routing/routesnapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using junctiontest::DestinationOn;
using junctiontest::RunScenario;
using junctiontest::ScenarioRun;
using testdata::AdvisorRoadKinds;
using testdata::JunctionScenario;
using testdata::PolarPoint;
using namespace maprecord;

std::string NarrowModuleText(std::u16string_view text) {
    return {text.begin(), text.end()};
}

// Every bit the analysis reads of the word.
constexpr std::uint32_t kAdvisorBits =
    0x1u | 0x10u | 0x40u | 0x80u | 0x100u | 0x800u | 0xFF000u | 0xF00000u | 0x1000000u | 0x4000000u;

TEST(JunctionScenarioKinds, EachKindShowsItsOwnBitAndNoOtherInTheIteratorsWord) {
    struct Case {
        const char* name;
        std::function<void(AdvisorRoadKinds&)> set;
        std::uint32_t bits;
    };
    const Case cases[] = {
        {"plain", [](AdvisorRoadKinds&) {}, 0},
        {"roundabout", [](AdvisorRoadKinds& k) { k.isRoundabout = true; }, 0x10},
        {"connector 0x40", [](AdvisorRoadKinds& k) { k.connector = 0x40; }, 0x40},
        {"connector 0x80", [](AdvisorRoadKinds& k) { k.connector = 0x80; }, 0x80},
        {"connector 0x100", [](AdvisorRoadKinds& k) { k.connector = 0x100; }, 0x100},
        {"looked past", [](AdvisorRoadKinds& k) { k.isLookedPast = true; }, 0x800},
        {"junction byte 0x02", [](AdvisorRoadKinds& k) { k.junctionByte = 0x02; }, 0x2000},
        {"junction byte 0x20", [](AdvisorRoadKinds& k) { k.junctionByte = 0x20; }, 0x20000},
        {"junction byte 0x45", [](AdvisorRoadKinds& k) { k.junctionByte = 0x45; }, 0x45000},
        {"junction nibble 4", [](AdvisorRoadKinds& k) { k.junctionNibble = 4; }, 0x400000},
        {"junction nibble 2", [](AdvisorRoadKinds& k) { k.junctionNibble = 2; }, 0x200000},
        {"signposts", [](AdvisorRoadKinds& k) { k.hasSignposts = true; }, 0x1000000},
        {"place name", [](AdvisorRoadKinds& k) { k.hasPlaceName = true; }, 0x4000000},
    };
    // One road of many links west to east, one kind per link, driven along its points.
    JunctionScenario scenario;
    const std::string names = "ABCDEFGHIKLMNOP";
    ASSERT_GT(names.size(), std::size(cases));
    for (std::size_t i = 0; i <= std::size(cases); ++i) {
        scenario.nodes[names[i]] =
            PolarPoint(testdata::kScenarioCentre, 0, 800.0 * static_cast<double>(i));
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        testdata::ScenarioRoad road;
        road.nodes = names.substr(i, 2);
        road.name = "Long Road";
        cases[i].set(road.kinds);
        scenario.roads.push_back(road);
    }
    scenario.route = names.substr(0, std::size(cases) + 1);
    const auto run = RunScenario(scenario);
    ASSERT_TRUE(run);
    ASSERT_EQ(run->items.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(run->items[i].linkId, run->written.Element(names.substr(i, 2)));
        EXPECT_EQ(run->items[i].flags & kAdvisorBits, cases[i].bits);
    }
}

struct ModuleCase {
    const char* name;
    JunctionScenario scenario;
    std::size_t item; // the item whose junction is analysed
    std::u16string_view module;
    std::vector<std::pair<std::u16string_view, std::u16string_view>> conditions;
    std::function<void(ScenarioRun&, JunctionRules::Settings&)> prepare = {};
    std::function<std::shared_ptr<RoutePosition>(ScenarioRun&)> destination = {};
};

namespace K = AdvisorKeywords;

JunctionScenario WithRoute(JunctionScenario scenario, std::string route) {
    scenario.route = std::move(route);
    return scenario;
}

JunctionScenario CrossingWithNibbles(std::uint8_t arriving, std::uint8_t leaving) {
    JunctionScenario s = testdata::CrossingScenario(kResidentialType, kResidentialType,
                                                    kResidentialType, kResidentialType);
    s.roads[0].kinds.junctionNibble = arriving;
    s.roads[1].kinds.junctionNibble = leaving;
    return s;
}

JunctionScenario InCountry(JunctionScenario s, std::uint16_t country) {
    for (testdata::ScenarioRoad& road : s.roads) {
        road.country = country;
    }
    return s;
}

// The T junction's route driven on from 'E' north to 'F' on "Cross Street", whose name the
// street it arrives on at 'J' bears too; a "Cross Street" from 'J' to 'F' joins the two, and the
// route turns off at 'J' onto "Bridge Street" to 'E'.
JunctionScenario StreetNameOnTheWay() {
    JunctionScenario s = testdata::TJunctionScenario();
    s.nodes['F'] = testdata::PolarPoint(s.nodes['E'], 90, 1000.0);
    s.roads[0].name = "Cross Street";
    s.roads[1].name = "Bridge Street";
    testdata::ScenarioRoad joining = s.roads[0];
    joining.nodes = "JF";
    testdata::ScenarioRoad last = s.roads[0];
    last.nodes = "EF";
    s.roads.push_back(joining);
    s.roads.push_back(last);
    s.route = "SJEF";
    return s;
}

JunctionScenario WithoutRoad(JunctionScenario s, std::size_t index) {
    s.roads.erase(s.roads.begin() + static_cast<std::ptrdiff_t>(index));
    return s;
}

// The T junction with its roads in towns: the one arrived on (South Street, or Cross Street
// where `isNameGoingOn`) in `from`, Cross Street east in Downtown, Cross Street west in
// `west` (none: no town; omitted where `hasWest` is false).
JunctionScenario TownsAtTheJunction(const char* from, bool isNameGoingOn, bool hasWest,
                                    const char* west) {
    JunctionScenario s = testdata::TJunctionScenario();
    const std::map<std::string, testdata::IndexArea> towns = {
        {"Uptown", {7, -1, "UPTOWN", 2, {}}}, {"Downtown", {8, -1, "DOWNTOWN", 2, {}}}};
    if (isNameGoingOn) {
        s.roads[0].name = s.roads[1].name;
    }
    s.areas["SJ"] = towns.at(from);
    s.areas["JE"] = towns.at("Downtown");
    if (west != nullptr) {
        s.areas["JW"] = towns.at(west);
    }
    return hasWest ? s : WithoutRoad(s, 2);
}

std::vector<ModuleCase> ModuleCases() {
    std::vector<ModuleCase> cases;
    cases.push_back({"T street, right",
                     testdata::TJunctionScenario(),
                     0,
                     K::kTStreet,
                     {{K::kRelativeDirectionOfTS, u"Right"}}});
    cases.push_back({"simple fork",
                     testdata::SplitScenario(60, 0x02, 0x04),
                     0,
                     K::kBifurcation,
                     {{K::kForkType, u"Simple_Fork"}, {K::kRelativeDirectionOfTS, u"Right"}}});
    cases.push_back({"multiple fork",
                     testdata::SplitScenario(60, 0x20, 0x40),
                     0,
                     K::kBifurcation,
                     {{K::kForkType, u"Multiple_Fork"}, {K::kRelativeDirectionOfTS, u"Right"}}});
    cases.push_back({"look-alike bifurcation at 20 degrees",
                     testdata::SplitScenario(20),
                     0,
                     K::kLookLikeBifurcation,
                     {{K::kSIOfTSComparedToOtherStreets, u"Equal"},
                      {K::kTSHasBiggerAngleToSAD, u"False"},
                      {K::kRelativeDirectionOfTS, u"Right"}}});
    cases.push_back({"no look-alike bifurcation at 35 degrees",
                     testdata::SplitScenario(35),
                     0,
                     K::kGeometricSetting3,
                     {{K::kAbsoluteDirectionOfTSIsStraightAhead, u"False"}}});
    cases.push_back(
        {"roundabout, staying in",
         testdata::RoundaboutScenario(),
         1,
         K::kRoundabouts,
         {{K::kMoreThan4Exits, u"True"}, {K::kTSIsPartOfRoundaboutCondition, u"True"}}});
    cases.push_back(
        {"roundabout, leaving",
         testdata::RoundaboutScenario(),
         2,
         K::kRoundabouts,
         {{K::kMoreThan4Exits, u"True"}, {K::kTSIsPartOfRoundaboutCondition, u"False"}}});
    cases.push_back({"leaving the highway",
                     testdata::HighwayExitScenario(),
                     0,
                     K::kLeavingHighway,
                     {{K::kRelativeDirectionOfTS, u"Right"}}});
    cases.push_back({"joining a highway through connectors",
                     testdata::InterchangeScenario(),
                     0,
                     K::kHighwayCrossings1,
                     {{K::kBifurcation, u"No"},
                      {K::kKindOfTS, u"ConnectingHighway"},
                      {K::kRelativeDirectionOfTS, u"Right"}}});
    cases.push_back({"a connector fork towards a highway",
                     testdata::InterchangeScenario(),
                     1,
                     K::kHighwayCrossings2,
                     {{K::kBifurcation, u"Yes"},
                      {K::kKindOfTS, u"ConnectingHighway"},
                      {K::kGeneralDirectionOfTS, u"StraightAhead"},
                      {K::kRelativeDirectionOfTS, u"Left"}}});
    cases.push_back(
        {"geometric setting 2: the fastest street is the straightest",
         testdata::CrossingScenario(kPrimaryType, kPrimaryType, kResidentialType, kResidentialType),
         0,
         K::kGeometricSetting2,
         {{K::kAngleOfTSIsWithinGS2Range, u"True"},
          {K::kSIOfTSComparedToOtherStreets, u"Higher"}}});
    cases.push_back({"geometric setting 1: a slower street is straighter",
                     WithRoute(testdata::CrossingScenario(kPrimaryType, kResidentialType,
                                                          kPrimaryType, kResidentialType),
                               "SJE"),
                     0,
                     K::kGeometricSetting1,
                     {{K::kAngleOfTSIsWithinGS1Range, u"False"},
                      {K::kSIOfTSComparedToOtherStreets, u"Higher"}}});
    cases.push_back({"geometric setting 3: three equal streets",
                     testdata::CrossingScenario(kResidentialType, kResidentialType,
                                                kResidentialType, kResidentialType),
                     0,
                     K::kGeometricSetting3,
                     {{K::kAbsoluteDirectionOfTSIsStraightAhead, u"True"}}});
    cases.push_back({"speed indexes 6 and 5 differ without a tolerance",
                     testdata::CrossingScenario(kPrimaryType, kSecondaryType, kResidentialType,
                                                kResidentialType),
                     0,
                     K::kGeometricSetting3,
                     {{K::kAbsoluteDirectionOfTSIsStraightAhead, u"True"}}});
    cases.push_back(
        {"a difference equal to the tolerance is equal",
         testdata::CrossingScenario(kPrimaryType, kSecondaryType, kResidentialType,
                                    kResidentialType),
         0,
         K::kGeometricSetting2,
         {{K::kAngleOfTSIsWithinGS2Range, u"True"}, {K::kSIOfTSComparedToOtherStreets, u"Higher"}},
         [](ScenarioRun&, JunctionRules::Settings& settings) {
             settings[u"SpeedIndexTolerance"] = u"1";
         }});
    cases.push_back({"priority manoeuvre onto the priority street",
                     CrossingWithNibbles(2, 4),
                     0,
                     K::kPriorityManoeuvre,
                     {{K::kStreetType, u"S"},
                      {K::kTSIsPriorityStreet, u"True"},
                      {K::kAbsoluteDirectionOfTSIsStraightAhead, u"True"}}});
    cases.push_back({"priority manoeuvre off the priority street",
                     CrossingWithNibbles(2, 1),
                     0,
                     K::kPriorityManoeuvre,
                     {{K::kStreetType, u"S"},
                      {K::kTSIsPriorityStreet, u"False"},
                      {K::kAbsoluteDirectionOfTSIsStraightAhead, u"True"}}});
    cases.push_back({"U-turn across the median, left-hand traffic",
                     InCountry(testdata::MedianUTurnScenario(), 48),
                     0,
                     K::kUTurn,
                     {{K::kTSIsDeadEndStreet, u"False"}, {K::kDrivingSideOfRoad, u"Left"}}});
    cases.push_back({"U-turn across the median, default side",
                     testdata::MedianUTurnScenario(),
                     0,
                     K::kUTurn,
                     {{K::kTSIsDeadEndStreet, u"False"}, {K::kDrivingSideOfRoad, u"Right"}}});
    cases.push_back({"last item, destination kind 2",
                     testdata::TJunctionScenario(),
                     1,
                     K::kDestination,
                     {{K::kKindOfApproachingDestination, u"Last_Item_Of_Route_Result"}}});
    cases.push_back({"last item, destination kind 1",
                     testdata::TJunctionScenario(),
                     1,
                     K::kDestination,
                     {{K::kKindOfApproachingDestination, u"IS_Is_Part_Of_DS"}},
                     {},
                     [](ScenarioRun& run) {
                         return std::make_shared<DestinationOn>(RoutePosition::kAddress,
                                                                run.written.Element("JE"));
                     }});
    cases.push_back({"arriving on the destination street",
                     testdata::TJunctionScenario(),
                     0,
                     K::kDestination,
                     {{K::kKindOfApproachingDestination, u"IS_Is_Part_Of_DS"}},
                     {},
                     [](ScenarioRun& run) {
                         return std::make_shared<DestinationOn>(RoutePosition::kCurrent,
                                                                run.written.Element("SJ"));
                     }});
    cases.push_back({"the destination street goes on both ways",
                     testdata::TJunctionScenario(),
                     0,
                     K::kDestination,
                     {{K::kKindOfApproachingDestination, u"Other_OS_Part_Of_DS"}},
                     {},
                     [](ScenarioRun& run) {
                         return std::make_shared<DestinationOn>(RoutePosition::kAddress,
                                                                run.written.Element("JE"));
                     }});
    cases.push_back({"approaching the destination street",
                     WithoutRoad(testdata::TJunctionScenario(), 2),
                     0,
                     K::kDestination,
                     {{K::kKindOfApproachingDestination, u"Approaching"}},
                     {},
                     [](ScenarioRun& run) {
                         return std::make_shared<DestinationOn>(RoutePosition::kAddress,
                                                                run.written.Element("JE"));
                     }});
    // The destination street is where the route reaches it at its end: the street of its name
    // that the route leaves at 'J' is on the way.
    cases.push_back({"the destination's street name on the way",
                     StreetNameOnTheWay(),
                     0,
                     K::kGeometricSetting3,
                     {{K::kAbsoluteDirectionOfTSIsStraightAhead, u"False"}},
                     {},
                     [](ScenarioRun& run) {
                         return std::make_shared<DestinationOn>(RoutePosition::kAddress,
                                                                run.written.Element("EF"));
                     }});
    // Only the street's part in the destination's town is its street. Where the route reaches
    // that part along the street's name from another town, or turning in from another town's
    // street, the destination is reached at the route's end.
    const auto onCrossStreetEast = [](ScenarioRun& run) {
        return std::make_shared<DestinationOn>(RoutePosition::kAddress, run.written.Element("JE"));
    };
    cases.push_back({"the destination's name arrived on from another town",
                     TownsAtTheJunction("Uptown", true, false, nullptr),
                     1,
                     K::kDestination,
                     {{K::kKindOfApproachingDestination, u"Last_Item_Of_Route_Result"}},
                     {},
                     onCrossStreetEast});
    cases.push_back({"turning in from another town's street",
                     TownsAtTheJunction("Uptown", false, false, nullptr),
                     1,
                     K::kDestination,
                     {{K::kKindOfApproachingDestination, u"Last_Item_Of_Route_Result"}},
                     {},
                     onCrossStreetEast});
    cases.push_back({"turning in from a street of the same town",
                     TownsAtTheJunction("Downtown", false, false, nullptr),
                     0,
                     K::kDestination,
                     {{K::kKindOfApproachingDestination, u"Approaching"}},
                     {},
                     onCrossStreetEast});
    cases.push_back({"the name going on in no town is not the destination street",
                     TownsAtTheJunction("Downtown", false, true, nullptr),
                     0,
                     K::kTStreet,
                     {{K::kRelativeDirectionOfTS, u"Right"}},
                     {},
                     onCrossStreetEast});
    cases.push_back({"the name going on in the same town is the destination street",
                     TownsAtTheJunction("Downtown", false, true, "Downtown"),
                     0,
                     K::kDestination,
                     {{K::kKindOfApproachingDestination, u"Other_OS_Part_Of_DS"}},
                     {},
                     onCrossStreetEast});
    cases.push_back({"the destination street is the roundabout",
                     testdata::RoundaboutScenario(),
                     0,
                     K::kDestination,
                     {{K::kKindOfApproachingDestination, u"TS_Is_Part_Of_Roundabout"}},
                     {},
                     [](ScenarioRun& run) {
                         return std::make_shared<DestinationOn>(RoutePosition::kAddress,
                                                                run.written.Element("23"));
                     }});
    return cases;
}

TEST(JunctionModules, EachScenarioGivesItsModuleAndConditions) {
    for (const ModuleCase& c : ModuleCases()) {
        SCOPED_TRACE(c.name);
        const auto run = RunScenario(c.scenario);
        ASSERT_TRUE(run);
        ASSERT_LT(c.item, run->items.size());
        JunctionRules::Settings settings = junctiontest::TestSettings();
        if (c.prepare) {
            c.prepare(*run, settings);
        }
        const std::shared_ptr<RoutePosition> destination =
            c.destination ? c.destination(*run) : nullptr;
        EXPECT_EQ(NarrowModuleText(run->AnalyseUpTo(c.item, destination.get(), settings)),
                  NarrowModuleText(c.module));
        for (const auto& [condition, value] : c.conditions) {
            EXPECT_EQ(NarrowModuleText(run->rules.GetConditionValue(condition)),
                      NarrowModuleText(value))
                << NarrowModuleText(condition);
            // The decision tables are judged by the values the module's conditions can take.
            const std::vector<std::u16string> values =
                JunctionRules::ConditionValues(c.module, condition, settings);
            EXPECT_NE(std::find(values.begin(), values.end(), value), values.end())
                << NarrowModuleText(condition);
        }
    }
}

TEST(JunctionModules, TurningBackAtADeadEndIsAUTurnIntoADeadEndStreet) {
    // A from-the-current-position route that starts on the dead-end lane A D heading for D: the
    // start correction runs it to D and back along the same element before it turns into A B.
    const MapPoint a = testdata::kScenarioCentre;
    JunctionScenario s;
    s.nodes = {{'A', a}, {'D', PolarPoint(a, 90, 1000)}, {'B', PolarPoint(a, 0, 1000)}};
    testdata::ScenarioRoad lane;
    lane.nodes = "AD";
    lane.name = "Dead End Lane";
    lane.country = 48;
    testdata::ScenarioRoad main = lane;
    main.nodes = "AB";
    main.name = "Main Street";
    s.roads = {lane, main};
    s.route = "DAB";
    const auto run = RunScenario(s);
    ASSERT_TRUE(run);
    const testdata::RoadWorld& world = run->written.world;
    const auto node = [&](char name) { return *world.NodeNamed(name); };
    std::vector<RouteRecord> records(2);
    const GeoPoint start = world.PointAlong(node('A'), node('D'), 0.5);
    records[0].x = start.x;
    records[0].y = start.y;
    records[0].linkId = run->written.Element("AD");
    records[0].length = 75;
    records[0].time = 5;
    records[0].attributes = RecordAttributes::Make(4, 2);
    const GeoPoint corner = world.Position(node('A'));
    records[1].x = corner.x;
    records[1].y = corner.y;
    records[1].linkId = run->written.Element("AB");
    records[1].length = 150;
    records[1].time = 10;
    records[1].attributes = RecordAttributes::Make(4, 2);
    const RouteSnapshotPtr snapshot = RouteSnapshot::FromRecords(
        records, world.PointAlong(node('A'), node('B'), 0.9), run->service->GetNetwork(),
        run->engine, static_cast<TravelMode>(1), true);
    ASSERT_TRUE(snapshot && snapshot->WasStartCorrected());
    run->result.route = std::make_shared<SnapshotRouteIterator>(snapshot);
    run->items.clear();
    for (RouteIteratorPtr it = GetRouteIterator(run->result); it && it->IsValid(); it->Next()) {
        run->items.push_back(RouteItem::Of(it->Current()));
    }
    ASSERT_EQ(run->items.size(), 3u);
    ASSERT_EQ(run->items[1].linkId, run->items[0].linkId);
    EXPECT_EQ(NarrowModuleText(run->AnalyseUpTo(0)), "UTurn");
    EXPECT_EQ(NarrowModuleText(run->rules.GetConditionValue(K::kTSIsDeadEndStreet)), "True");
    EXPECT_EQ(NarrowModuleText(run->rules.GetConditionValue(K::kDrivingSideOfRoad)), "Left");
}

} // namespace
