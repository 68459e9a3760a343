// Countries, driving sides and road classes of route items, and the advice attributes of an
// item, over junction scenarios routed by the route service.
#include "advisor/tests/junctionscenario.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using junctiontest::RunScenario;
using testdata::JunctionScenario;
using testdata::PolarPoint;
using testdata::ScenarioRoad;

std::string Narrow(std::u16string_view text) {
    return {text.begin(), text.end()};
}

ScenarioRoad Road(std::string nodes, std::string name, std::uint16_t type, std::uint16_t country,
                  std::uint8_t roadClass = 4) {
    ScenarioRoad road;
    road.nodes = std::move(nodes);
    road.name = std::move(name);
    road.typeCode = type;
    road.country = country;
    road.roadClass = roadClass;
    return road;
}

// A road west to east of one link per row of `roads`, nodes A, B, C ...
JunctionScenario Chain(std::vector<ScenarioRoad> roads) {
    JunctionScenario s;
    const std::string names = "ABCDEFGHIKLMNOP";
    for (std::size_t i = 0; i <= roads.size(); ++i) {
        s.nodes[names[i]] =
            PolarPoint(testdata::kScenarioCentre, 0, 800.0 * static_cast<double>(i));
    }
    for (std::size_t i = 0; i < roads.size(); ++i) {
        roads[i].nodes = names.substr(i, 2);
        s.roads.push_back(roads[i]);
    }
    s.route = names.substr(0, roads.size() + 1);
    return s;
}

TEST(JunctionMapTests, CountryDrivingSideAndRoadClassOfAnItem) {
    using namespace maprecord;
    struct Case {
        ScenarioRoad road;
        std::u16string_view country;
        std::u16string_view side;
        std::u16string_view roadClass;
    };
    const Case cases[] = {
        // Codes outside the table (7, 3, 99) are Germany.
        {Road("", "Main Street", kResidentialType, 7), u"Germany", u"Right", u"S"},
        {Road("", "High Street/A 3", kResidentialType, 48), u"England", u"Left", u"S"},
        {Road("", "Hauptstrasse/A 3", kPrimaryType, 45), u"Switzerland", u"Right", u"S"},
        {Road("", "/A 3", kPrimaryType, 7), u"Germany", u"Right", u"S"},
        {Road("", "Rue/A 3", kPrimaryType, 16), u"France", u"Right", u"S"},
        {Road("", "Allee/A 3", kPrimaryType, 3), u"Germany", u"Right", u"A"},
        {Road("", "Allee/L 5/B 12", kPrimaryType, 99), u"Germany", u"Right", u"B"},
        {Road("", "", kMotorwayType, 4), u"Austria", u"Right", u"A"},
        {Road("", "Ring", kResidentialType, 26), u"Liechtenstein", u"Right", u"S"},
    };
    std::vector<ScenarioRoad> roads;
    for (const Case& c : cases) {
        roads.push_back(c.road);
    }
    const auto run = RunScenario(Chain(roads));
    ASSERT_TRUE(run);
    ASSERT_EQ(run->items.size(), std::size(cases));
    (void)run->AnalyseUpTo(0);
    JunctionRules& rules = run->rules;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].road.name);
        const RouteItem& item = run->items[i];
        std::u16string country;
        ASSERT_TRUE(rules.GetCountryName(item, country));
        EXPECT_EQ(Narrow(country), Narrow(cases[i].country));
        std::u16string side = u"unchanged";
        rules.GetDrivingSide(item, side);
        EXPECT_EQ(Narrow(side), Narrow(cases[i].side));
        std::u16string roadClass;
        ASSERT_TRUE(rules.GetRoadClass(item, roadClass));
        EXPECT_EQ(Narrow(roadClass), Narrow(cases[i].roadClass));
    }
    // An element the map set does not have: nothing is known and nothing written.
    RouteItem unknown;
    unknown.linkId = 0x7FFFFF;
    std::u16string text = u"unchanged";
    EXPECT_FALSE(rules.GetCountryName(unknown, text));
    EXPECT_FALSE(rules.GetRoadClass(unknown, text));
    rules.GetDrivingSide(unknown, text);
    EXPECT_EQ(Narrow(text), "unchanged");
    // A class key the settings lack never matches.
    EXPECT_FALSE(rules.RoadClassMatches(u"Austria", u"A", {u"A 1"}));
    EXPECT_TRUE(rules.RoadClassMatches(u"Germany", u"A", {u"B 1", u"A 1"}));
}

// Advice attributes of the item that `it` stands on after the junction at `index` was analysed.
struct AttributeCase {
    const char* name;
    std::size_t item;
    std::u16string_view attribute;
    std::u16string_view value;
    std::u16string_view signPostInfo = u"yes";
};

void CheckAttributes(junctiontest::ScenarioRun& run, const std::vector<AttributeCase>& cases) {
    for (const AttributeCase& c : cases) {
        SCOPED_TRACE(c.name);
        JunctionRules::Settings settings = junctiontest::TestSettings();
        settings[u"SignPostInfo"] = std::u16string(c.signPostInfo);
        (void)run.AnalyseUpTo(c.item, nullptr, settings);
        RouteIteratorPtr it = GetRouteIterator(run.result);
        for (std::size_t i = 0; i < c.item; ++i) {
            it->Next();
        }
        EXPECT_EQ(Narrow(run.rules.GetAdviceAttribute(it.get(), c.attribute)), Narrow(c.value));
    }
}

TEST(JunctionAdviceAttributes, StreetsSignpostsTypesAndNumbers) {
    using namespace maprecord;
    // A, B: named class-12 road (flag 0x1); B, C: nameless; C, D: in the old town (place flag),
    // carrying a signpost to D, E; D, E: named.
    std::vector<ScenarioRoad> roads = {
        Road("", "Allee/B 12", kPrimaryType, 0, 12), Road("", "", kResidentialType, 0),
        Road("", "Marktgasse", kResidentialType, 0), Road("", "Harbour Road", kResidentialType, 0)};
    roads[2].kinds.hasPlaceName = true;
    roads[2].kinds.hasSignposts = true;
    JunctionScenario s = Chain(roads);
    s.signposts.push_back({"CD", "DE", "Harbour"});
    testdata::ElementDescription town;
    town.typeLetter = 'y';
    town.typeCode = 921;
    town.name = "Oldtown";
    const MapPoint c = s.nodes.at('C');
    const MapPoint d = s.nodes.at('D');
    town.points = {{c.x - 100, c.y - 100},
                   {d.x + 100, c.y - 100},
                   {d.x + 100, c.y + 100},
                   {c.x - 100, c.y + 100}};
    s.places.push_back(town);
    const auto run = RunScenario(s);
    ASSERT_TRUE(run);
    ASSERT_EQ(run->items.size(), 4u);
    const std::string length = std::to_string(run->items[1].length);
    const std::u16string length16(length.begin(), length.end());
    CheckAttributes(*run, {
                              {"class B with flag 0x1", 0, u"StreetType", u"Bt"},
                              {"class S without it", 1, u"StreetType", u"Sc"},
                              {"a named street", 0, u"FromStreet", u"Allee"},
                              {"no name", 1, u"FromStreet", u""},
                              {"the next item's name", 0, u"ToStreet", u""},
                              {"the place around the element", 2, u"FromStreet", u"Oldtown"},
                              {"signpost towards the next item", 2, u"SignpostInfo", u"Harbour|"},
                              {"signposts switched off", 2, u"SignpostInfo", u"", u"no"},
                              {"no signpost towards the next item", 1, u"SignpostInfo", u""},
                              {"length", 1, u"Length", length16},
                              {"outside a roundabout", 1, u"exit_number", u"1"},
                              {"an unknown attribute", 1, u"Colour", u""},
                          });
    // The place name of the current element, and the element's text bounded to 63 characters.
    (void)run->AnalyseUpTo(2);
    std::u16string place;
    ASSERT_TRUE(run->rules.GetPlaceName(place));
    EXPECT_EQ(Narrow(place), "Oldtown");
    (void)run->AnalyseUpTo(1);
    place = u"unchanged";
    EXPECT_FALSE(run->rules.GetPlaceName(place));
    EXPECT_EQ(Narrow(place), "unchanged");
}

TEST(JunctionAdviceAttributes, PlaceNamesStopAtTheFieldSize) {
    std::vector<ScenarioRoad> roads = {Road("", "Long", maprecord::kResidentialType, 0),
                                       Road("", "Long", maprecord::kResidentialType, 0)};
    roads[0].kinds.hasPlaceName = true;
    JunctionScenario s = Chain(roads);
    testdata::ElementDescription town;
    town.typeLetter = 'y';
    town.typeCode = 920;
    town.name = std::string(70, 'x');
    const MapPoint a = s.nodes.at('A');
    const MapPoint b = s.nodes.at('B');
    town.points = {{a.x - 100, a.y - 100},
                   {b.x + 100, a.y - 100},
                   {b.x + 100, a.y + 100},
                   {a.x - 100, a.y + 100}};
    s.places.push_back(town);
    const auto run = RunScenario(s);
    ASSERT_TRUE(run);
    (void)run->AnalyseUpTo(0);
    std::u16string place;
    ASSERT_TRUE(run->rules.GetPlaceName(place));
    EXPECT_EQ(Narrow(place), std::string(63, 'x'));
    CheckAttributes(*run,
                    {{"street name from the place", 0, u"FromStreet", std::u16string(63, u'x')}});
}

TEST(JunctionAdviceAttributes, TheElementsAreaNameStopsAtTheFieldSize) {
    std::vector<ScenarioRoad> roads = {Road("", "Short", maprecord::kResidentialType, 0),
                                       Road("", "Long", maprecord::kResidentialType, 0),
                                       Road("", "None", maprecord::kResidentialType, 0)};
    JunctionScenario s = Chain(roads);
    s.areas["AB"] = {7, -1, "OLDTOWN", 3, {}};
    s.areas["BC"] = {8, -1, std::string(70, 'X'), 3, {}};
    const auto run = RunScenario(s);
    ASSERT_TRUE(run);
    struct Case {
        std::size_t item;
        bool hasText;
        std::string text;
    };
    const Case cases[] = {
        {0, true, "Oldtown"}, {1, true, "X" + std::string(62, 'x')}, {2, false, "unchanged"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        (void)run->AnalyseUpTo(c.item);
        std::u16string text = u"unchanged";
        EXPECT_EQ(run->rules.GetElementPropertyText(text), c.hasText);
        EXPECT_EQ(Narrow(text), c.text);
    }
}

TEST(JunctionAdviceAttributes, ExitNumbersCountTheExitsPassedInTheRoundabout) {
    const auto run = RunScenario(testdata::RoundaboutScenario());
    ASSERT_TRUE(run);
    // S 1, 1 2, 2 3, 3 N: the exit at 2 is passed, the route leaves at 3.
    CheckAttributes(*run, {{"approach", 0, u"exit_number", u"1"},
                           {"in the ring, staying", 1, u"exit_number", u"-1"},
                           {"in the ring, leaving at the second exit", 2, u"exit_number", u"2"},
                           {"after the ring", 3, u"exit_number", u"1"}});
}

TEST(JunctionAdviceAttributes, NextDirectionLooksPastMarkedItems) {
    // The route arrives north at J, follows a looked-past link east to K and leaves K at
    // `leaving` degrees from east. The turn at J is right; past K the direction counts from
    // the arriving road: 30 degrees right is straight ahead, 60 left is left.
    struct Case {
        const char* name;
        double leaving;
        std::u16string_view value;
    };
    const Case cases[] = {{"30 degrees right", 60.0, u"StraightAhead"},
                          {"60 degrees left", 150.0, u"Left"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JunctionScenario s;
        const MapPoint j = testdata::kScenarioCentre;
        const MapPoint k = PolarPoint(j, 0, 150);
        s.nodes = {{'S', PolarPoint(j, -90, 1000)},
                   {'J', j},
                   {'K', k},
                   {'T', PolarPoint(k, c.leaving, 1000)}};
        ScenarioRoad past = Road("JK", "", maprecord::kResidentialType, 0);
        past.kinds.isLookedPast = true;
        s.roads = {Road("SJ", "Stem", maprecord::kResidentialType, 0), past,
                   Road("KT", "Branch", maprecord::kResidentialType, 0)};
        s.route = "SJKT";
        const auto run = RunScenario(s);
        ASSERT_TRUE(run);
        CheckAttributes(*run, {{"next direction", 0, u"NextDirection", c.value}});
        EXPECT_EQ(Narrow(run->rules.GetTurnWord()), "Right");
    }
}

} // namespace
