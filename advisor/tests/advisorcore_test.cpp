// The advisor of a route, end to end on the junction scenarios: route service, configuration,
// junction analysis, decision tables and the records of the advice junctions.
#include "advisor/tests/advisorfixture.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using advisortest::DataChanges;
using advisortest::GeneralWithCrossings;
using advisortest::ReadSource;
using advisortest::WithLine;
using advisortest::WriteAdvisorData;

struct Expected {
    std::int32_t junctionId;
    std::int32_t code;
    std::u16string text;
};

testdata::JunctionScenario InEngland(testdata::JunctionScenario scenario) {
    for (auto& road : scenario.roads) {
        road.country = 48;
    }
    return scenario;
}

// Our decision tables with the T junction's right turn deciding `result`.
std::string TStreetRightGives(const std::string& result) {
    return "Module;T_Street\r\nCondition;Relative_Direction_Of_TS\r\nValue;Right;" + result +
           "\r\n\r\n" + ReadSource("DecisionTables.csv");
}

// Our decision tables without the module, so that its junctions have no conditions.
std::string TablesWithout(const std::string& module) {
    std::string tables = ReadSource("DecisionTables.csv");
    const std::size_t start = tables.find("Module;" + module + "\r\n");
    tables.erase(start, tables.find("\r\n\r\n", start) + 4 - start);
    return tables;
}

TEST(AdvisorWalk, RecordsAdviceJunctionsWithTheirManoeuvreCodes) {
    const struct {
        const char* name;
        testdata::JunctionScenario scenario;
        DataChanges changes;
        std::vector<Expected> records;
    } cases[] = {
        {"right turn",
         testdata::TJunctionScenario(),
         {},
         {{0, 4, u"TurnRight"}, {1, 36, u"Destination"}}},
        {"qualifier after +",
         testdata::TJunctionScenario(),
         {{"DecisionTables.csv", TStreetRightGives("Left+highway_bifurcation_right")}},
         {{0, 30, u"Left"}, {1, 36, u"Destination"}}},
        {"unknown qualifier falls through to the direction",
         testdata::TJunctionScenario(),
         {{"DecisionTables.csv", TStreetRightGives("TurnRight+sideways")}},
         {{0, 4, u"TurnRight"}, {1, 36, u"Destination"}}},
        // Leaving the ring at its second exit gives 22; entering it needs no advice.
        {"roundabout",
         testdata::RoundaboutScenario(),
         {},
         {{2, 22, u"Roundabout"}, {3, 36, u"Destination"}}},
        {"roundabout driving on the left",
         InEngland(testdata::RoundaboutScenario()),
         {},
         {{2, 222, u"Roundabout"}, {3, 36, u"Destination"}}},
        // A side that is no side word tells no exit of that country's roundabouts: the junction
        // keeps its advice, which says nothing, and its exit is numbered as where traffic keeps
        // right.
        {"roundabout where the driving side is no side word",
         InEngland(testdata::RoundaboutScenario()),
         {{"General.properties", WithLine(ReadSource("General.properties"), "England.Drivingside;",
                                          "England.Drivingside;left")}},
         {{2, 22, u"Roundabout"}, {3, 36, u"Destination"}}},
        {"u-turn",
         testdata::MedianUTurnScenario(),
         {},
         {{0, 5, u"UTurn"}, {2, 36, u"Destination"}}},
        {"highway interchange",
         testdata::InterchangeScenario(),
         {},
         {{0, 3, u"MotorwayRight"}, {1, 0, u"MotorwayLeft"}, {3, 36, u"Destination"}}},
        // The first fork's module has no conditions; the walk still records what follows it.
        {"module without conditions",
         testdata::InterchangeScenario(),
         {{"DecisionTables.csv", TablesWithout("HighwayCrossings1")}},
         {{1, 0, u"MotorwayLeft"}, {3, 36, u"Destination"}}},
        {"no decision tables",
         testdata::TJunctionScenario(),
         {{"DecisionTables.csv", std::nullopt}},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto run = junctiontest::RunScenario(c.scenario);
        ASSERT_TRUE(run);
        const Advisor advisor = advisortest::MakeAdvisor(*run, WriteAdvisorData(c.changes));
        const auto& records = advisor.GetAdviceList().Records();
        ASSERT_EQ(records.size(), c.records.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].junction.junctionId, c.records[i].junctionId) << i;
            EXPECT_EQ(records[i].manoeuvreCode, c.records[i].code) << i;
            EXPECT_EQ(records[i].text, c.records[i].text) << i;
            EXPECT_EQ(records[i].elementId,
                      run->items[static_cast<std::size_t>(c.records[i].junctionId)].linkId);
        }
    }
}

TEST(ManoeuvreCode, QualifierThenRoundaboutExitThenUTurnThenDirection) {
    const struct {
        std::u16string name;
        std::u16string_view manoeuvre;
        std::int16_t exit;
        std::u16string_view direction;
        std::u16string_view side;
        std::int32_t code;
        std::u16string nameAfter;
    } cases[] = {
        {u"KeepLeft+highway_bifurcation_left", u"HighwayCrossings1", 0, u"Left", u"", 29,
         u"KeepLeft"},
        {u"Left+straight_ahead_not_right", u"T_Street", 0, u"Left", u"", 16, u"Left"},
        {u"Go+approaching_destination", u"Destination", 0, u"", u"", 36, u"Go"},
        {u"Go+Right", u"UTurn", 0, u"", u"", 4, u"Go"},
        {u"Go+other", u"T_Street", 0, u"HardLeft", u"", 6, u"Go"},
        {u"Roundabout", u"Roundabouts", 1, u"Right", u"Right", 21, u"Roundabout"},
        {u"Roundabout", u"Roundabouts", 8, u"Right", u"", 28, u"Roundabout"},
        {u"Roundabout", u"Roundabouts", 3, u"Right", u"Left", 223, u"Roundabout"},
        {u"Roundabout", u"Roundabouts", 9, u"Right", u"", -1, u"Roundabout"},
        {u"Roundabout", u"Roundabouts", 0, u"Right", u"Left", -1, u"Roundabout"},
        {u"UTurn", u"UTurn", 0, u"Left", u"", 5, u"UTurn"},
        {u"TurnRight", u"T_Street", 0, u"SlightRight", u"", 3, u"TurnRight"},
        {u"TurnRight", u"T_Street", 0, u"HardRight", u"", 7, u"TurnRight"},
        {u"BearLeft", u"T_Street", 0, u"SlightLeft", u"", 1, u"BearLeft"},
        {u"StraightOn", u"T_Street", 0, u"StraightAhead", u"", 0, u"StraightOn"},
        {u"StraightOn", u"T_Street", 0, u"Sideways", u"", -1, u"StraightOn"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
        JunctionDescription junction;
        junction.manoeuvre.Set(c.manoeuvre);
        junction.exitNumber = c.exit;
        junction.nextDirection.Set(c.direction);
        std::u16string name = c.name;
        EXPECT_EQ(ManoeuvreCodeOf(name, junction, c.side), c.code);
        EXPECT_EQ(name, c.nameAfter);
    }
}

TEST(AdvisorWalk, IgnoredJunctionsAddUpIntoTheNextRecord) {
    // The exit ramp's two ignored junctions and the destination item make one stretch.
    const auto run = junctiontest::RunScenario(testdata::HighwayExitScenario());
    ASSERT_TRUE(run);
    const Advisor advisor = advisortest::MakeAdvisor(*run, WriteAdvisorData());
    const auto& records = advisor.GetAdviceList().Records();
    ASSERT_EQ(records.size(), 2u);
    const std::int32_t stretch = run->items[1].length + run->items[2].length + run->items[3].length;
    EXPECT_EQ(records[1].distance, stretch);
    EXPECT_EQ(records[1].junction.stretchLength, stretch);
    EXPECT_EQ(records[0].distance, run->items[0].length);
    // What remains after the previous advice junction: the whole route, then the stretch.
    EXPECT_EQ(records[0].remainingDistance,
              static_cast<std::uint32_t>(stretch + run->items[0].length));
    EXPECT_EQ(records[1].remainingDistance, static_cast<std::uint32_t>(stretch));
    EXPECT_EQ(records[1].junction.roadClass.View(), u"Sc");
}

TEST(AdvisorWalk, AdviceLimitIsCrossingsAtLeastTwoExceptInModesThreeAndFive) {
    const struct {
        std::string crossings;
        std::int32_t mode;
        std::int32_t limit;
    } cases[] = {{"", 0, 2},           {"Crossings;0", 0, 2}, {"Crossings;1", 0, 2},
                 {"Crossings;", 0, 2}, {"Crossings;7", 0, 7}, {"Crossings;7", 3, 2},
                 {"Crossings;7", 5, 2}};
    const auto run = junctiontest::RunScenario(testdata::TJunctionScenario());
    ASSERT_TRUE(run);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.crossings + " mode " + std::to_string(c.mode));
        const Advisor advisor = advisortest::MakeAdvisor(
            *run, WriteAdvisorData({{"General.properties", GeneralWithCrossings(c.crossings)}}),
            {c.mode, 0, 0});
        EXPECT_EQ(advisor.GetAdviceLimit(), c.limit);
    }
}

TEST(AdvisorWalk, WalksOneStretchAtATimeAndStopsAtTheDestination) {
    const auto run = junctiontest::RunScenario(testdata::InterchangeScenario());
    ASSERT_TRUE(run);
    Advisor advisor = advisortest::MakeAdvisor(
        *run, WriteAdvisorData({{"General.properties", GeneralWithCrossings("Crossings;2")}}));
    // Two advices per stretch: the two highway forks first, then the destination alone.
    EXPECT_EQ(advisor.GetAdviceList().Size(), 2u);
    AdvicePtr advice;
    ASSERT_TRUE(advisor.AnalyseRoute(advice));
    EXPECT_EQ(advisor.GetAdviceList().Size(), 3u);
    EXPECT_EQ(advisor.GetDecisionQueries().size(), run->items.size());
    ASSERT_TRUE(advisor.AnalyseRoute(advice));
    EXPECT_EQ(advisor.GetAdviceList().Size(), 3u);
    std::int32_t count = 0;
    for (; advice->IsValid(); advice->Next()) {
        ++count;
    }
    EXPECT_EQ(count, 3);
}

TEST(AdvisorWalk, RouteNotBuiltGivesAnEmptyAdvisor) {
    const auto run = junctiontest::RunScenario(testdata::TJunctionScenario());
    ASSERT_TRUE(run);
    RouteRequestResult failed = run->result;
    failed.status = routestatus::kNoDestination;
    Advisor advisor(run->engine, failed, WriteAdvisorData(), {});
    AdvicePtr advice;
    EXPECT_FALSE(advisor.AnalyseRoute(advice));
    EXPECT_EQ(advisor.GetAdviceList().Size(), 0u);
    const MatchedPosition here;
    const platform::DebugOutputCapture debug;
    EXPECT_FALSE(advisor.CreateAdvice(advice, here, GetRouteIterator(run->result), 0));
    EXPECT_EQ(debug.Texts(), std::vector<std::u16string>{u"Create Adv returns null\n"});
    EXPECT_FALSE(AdvisorStore::Instance().IsLoaded()); // nothing was loaded for it
}

TEST(AdvisorStore, LoadsOnceAndKeepsTablesHandedOutWhenColumnsChange) {
    const auto run = junctiontest::RunScenario(testdata::TJunctionScenario());
    ASSERT_TRUE(run);
    const std::u16string folder = WriteAdvisorData();
    EXPECT_EQ(AdvisorStore::Instance().LastPhraseColumn(), -1);
    const Advisor metric = advisortest::MakeAdvisor(*run, folder, {0, 0, 0});
    const Advisor same = advisortest::MakeAdvisor(*run, folder, {0, 0, 0});
    EXPECT_EQ(metric.GetTables(), same.GetTables()); // same columns share the tables
    const AdvisorTables before = *metric.GetTables();
    // Files that change afterwards are not read again, but other columns load other phrases.
    ASSERT_TRUE(junctiontest::ScenarioRoot().WriteFile(folder + u"\\DecisionTables.csv", ""));
    const Advisor miles = advisortest::MakeAdvisor(*run, folder, {0, 1, 1});
    EXPECT_EQ(AdvisorStore::Instance().LastDestinationColumn(), 1);
    EXPECT_NE(metric.GetTables(), miles.GetTables());
    EXPECT_EQ(metric.GetTables()->phrases, before.phrases);
    EXPECT_EQ(metric.GetTables()->destinations, before.destinations);
    EXPECT_NE(miles.GetTables()->destinations, before.destinations);
    EXPECT_EQ(miles.GetAdviceList().Size(), 2u);
}

TEST(AdvisorFacade, ForwardsToItsAdvisorAndGivesNothingWithoutOne) {
    const auto run = junctiontest::RunScenario(testdata::TJunctionScenario());
    ASSERT_TRUE(run);
    AdvisorPtr facade;
    // No element source: the advisor is still built.
    CreateAdvisorFacade(facade, nullptr, run->result, WriteAdvisorData(), {});
    ASSERT_TRUE(facade);
    AdvicePtr advice;
    ASSERT_TRUE(facade->AnalyseRoute(advice));
    EXPECT_TRUE(advice->IsValid());
    std::uint8_t buffer[kMaxEncodedAdviceBytes] = {};
    EXPECT_GT(facade->EncodeNextAdvice(buffer, nullptr), 0);

    const AdvisorPtr empty = MakeAdvisorFacade(nullptr);
    ASSERT_TRUE(empty);
    advice = AdvicePtr();
    EXPECT_FALSE(empty->AnalyseRoute(advice));
    EXPECT_FALSE(empty->CreateAdvice(advice, MatchedPosition(), GetRouteIterator(run->result), 1));
    EXPECT_EQ(empty->EncodeNextAdvice(buffer, nullptr), 0);
    empty->DecodeAdvice(buffer, kMaxEncodedAdviceBytes); // reaches no advisor
}

} // namespace

namespace {

// The text with each content row cut to its key, as a file without the column read.
std::string KeysOnly(const std::string& text) {
    std::string keys;
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t end = std::min(text.find("\r\n", from), text.size());
        const std::string line = text.substr(from, end - from);
        keys += (line.starts_with("#") ? line : line.substr(0, line.find(';'))) + "\r\n";
        from = end + 2;
    }
    return keys;
}

// The first lines of the text with their line ends, as a file cut at a line end.
std::string FirstLines(const std::string& text, std::size_t lines) {
    std::size_t end = 0;
    for (std::size_t i = 0; i < lines && end != std::string::npos; ++i) {
        end = text.find("\r\n", end);
        end = end == std::string::npos ? end : end + 2;
    }
    return text.substr(0, end);
}

// The text without the line that begins with start.
std::string WithoutLine(const std::string& text, const std::string& start) {
    const std::size_t at = text.find("\r\n" + start);
    return at == std::string::npos ? text
                                   : text.substr(0, at) + text.substr(text.find("\r\n", at + 2));
}

} // namespace

// Each configuration file that is missing, empty, cut short (in half, or by its last line end),
// without a row or table, or whose rows lack the column read is named, once, as the folder
// spells its path, and an archive that is there but cannot be opened in place of its files.
// Whole phrases that word no advice name "SOA.csv"; with none of the files there, the folder is
// named alone. A file cut at a line end is named by what it lacks: decision tables without a row
// for a question the advisor can ask, spoken distances without the words of a distance an
// announcement can speak (or with empty ones), general settings without the turn sectors. With any
// file named the advisor says nothing on the whole drive. A country's driving side that is no
// side word names its line as the file holds it, not the file, where the route has roads of that
// country, and all is said as with the whole files where no roundabout or U-turn is.
TEST(AdvisorStore, NamesEachFileThatCannotBeUsedWholeAndThenSaysNothing) {
    const std::string decisions = ReadSource("DecisionTables.csv");
    const std::string distances = ReadSource("SpokenDistances.csv");
    const std::string general = ReadSource("General.properties");
    const std::string comments = "# nothing but a comment\r\n";
    const std::optional<std::string> none;
    const auto run = junctiontest::RunScenario(testdata::TJunctionScenario());
    ASSERT_TRUE(run);
    std::u16string wholeSaid;
    const struct {
        DataChanges changes;
        std::vector<const char16_t*> named; // below the folder (the archive's, with one)
        // Each driving side named: its country and its line of General.properties.
        std::vector<std::pair<const char16_t*, const char16_t*>> sides = {};
    } cases[] = {
        {{}, {}},
        {{{"SOA.csv", ReadSource("SOA.csv") + "\r\n"}}, {}},
        {{{"General.properties", none}}, {u"\\General.properties"}},
        {{{"General.properties", comments}}, {u"\\General.properties"}},
        {{{"General.properties", general.substr(0, general.size() / 2)}},
         {u"\\General.properties"}},
        {{{"DecisionTables.csv", ""}}, {u"\\DecisionTables.csv"}},
        {{{"DecisionTables.csv", decisions.substr(0, decisions.size() / 2)}},
         {u"\\DecisionTables.csv"}},
        {{{"DecisionTables.csv", comments}}, {u"\\DecisionTables.csv"}},
        {{{"SOA.csv", ""}}, {u"\\SOA.csv"}},
        {{{"SpokenDistances.csv", none}}, {u"\\SpokenDistances.csv"}},
        {{{"SpokenDistances.csv", distances.substr(0, distances.size() - 2)}},
         {u"\\SpokenDistances.csv"}},
        {{{"SpokenDistances.csv", KeysOnly(distances)}}, {u"\\SpokenDistances.csv"}},
        {{{"DecisionTables.csv", FirstLines(decisions, 128)}}, {u"\\DecisionTables.csv"}},
        {{{"SpokenDistances.csv", FirstLines(distances, 12)}}, {u"\\SpokenDistances.csv"}},
        {{{"General.properties", FirstLines(general, 6)}}, {u"\\General.properties"}},
        // A U-turn where traffic keeps left, a stretch spoken as its own length, a range bound.
        {{{"DecisionTables.csv", WithoutLine(decisions, "Value;False;Left;UTurn")}},
         {u"\\DecisionTables.csv"}},
        {{{"SpokenDistances.csv", WithoutLine(distances, "150m;")}}, {u"\\SpokenDistances.csv"}},
        {{{"General.properties", WithoutLine(general, "maxAngleGS2;")}}, {u"\\General.properties"}},
        // A driving side is read as written: with a blank before or after it, in other letters
        // or with a stray CR (which joins the next line to it) it is no side word. Only its line
        // is named, as the file holds it, where the route has roads of its country (the T
        // junction's carry no country code: they are Germany's): the tables are not at fault,
        // and everything is said where no roundabout or U-turn is. England's side names nothing.
        {{{"General.properties",
           WithLine(general, "England.Drivingside;",
                    "England.Drivingside;Left\r\nGermany.Drivingside;Left ")}},
         {},
         {{u"Germany", u"Germany.Drivingside;Left "}}},
        {{{"General.properties",
           WithLine(general, "England.Drivingside;",
                    "England.Drivingside;Left\r\nGermany.Drivingside; Left")}},
         {},
         {{u"Germany", u"Germany.Drivingside; Left"}}},
        {{{"General.properties", WithLine(general, "England.Drivingside;",
                                          "England.Drivingside;Left\r\nGermany.Drivingside;left")}},
         {},
         {{u"Germany", u"Germany.Drivingside;left"}}},
        {{{"General.properties", WithLine(general, "England.Drivingside;",
                                          "England.Drivingside;Left\r\nGermany.Drivingside;LEFT")}},
         {},
         {{u"Germany", u"Germany.Drivingside;LEFT"}}},
        {{{"General.properties",
           WithLine(general, "England.Drivingside;",
                    "England.Drivingside;Left\r\nGermany.Drivingside;Left\r")}},
         {},
         {{u"Germany", u"Germany.Drivingside;Left\r\r\nIreland.Drivingside;Left"}}},
        {{{"General.properties",
           WithLine(general, "England.Drivingside;", "England.Drivingside;Left ")}},
         {}},
        {{{"General.properties",
           WithLine(general, "England.Drivingside;", "England.Drivingside;Left\r")}},
         {}},
        // A distance whose words are empty in every language says none.
        {{{"SpokenDistances.csv", WithLine(distances, "150m;", "150m;;;;;;")}},
         {u"\\SpokenDistances.csv"}},
        {{{"RouteNumbers.csv", comments}}, {u"\\RouteNumbers.csv"}},
        {{{"SOD.csv", comments}}, {u"\\SOD.csv"}},
        {{{"SOD.csv", ""}, {"RouteNumbers.csv", none}}, {u"\\RouteNumbers.csv", u"\\SOD.csv"}},
        {{{"SOA.csv", "Unused.A1;[Unused]\r\n"}}, {u"\\SOA.csv"}},
        {{{"General.properties", none},
          {"SOA.csv", none},
          {"SpokenDistances.csv", none},
          {"RouteNumbers.csv", none},
          {"SOD.csv", none},
          {"DecisionTables.csv", none}},
         {u""}},
        // The files only in an archive that cannot be opened: the archive is named alone.
        {{{"General.properties", none},
          {"SOA.csv", none},
          {"SpokenDistances.csv", none},
          {"RouteNumbers.csv", none},
          {"SOD.csv", none},
          {"DecisionTables.csv", none},
          {"Advisor.sfs", "not an archive"}},
         {u""}},
    };
    for (const auto& c : cases) {
        std::string trace;
        const auto isLeftOut = [&c](const std::string& name) {
            return c.changes.contains(name) && !c.changes.at(name);
        };
        for (const auto& [file, text] : c.changes) {
            trace +=
                file + (text ? " of " + std::to_string(text->size()) + " bytes; " : " left out; ");
        }
        SCOPED_TRACE(trace);
        // The folder as the settings spell it, in other letters than the files were written in.
        std::u16string folder = platform::ToLower(WriteAdvisorData(c.changes));
        if (c.changes.contains("Advisor.sfs")) {
            folder += u"\\advisor.sfs";
        }
        std::vector<std::string> expected;
        for (const char16_t* name : c.named) {
            expected.push_back(platform::Utf16ToUtf8(folder + name));
        }
        std::vector<std::string> named;
        for (const std::u16string& file : FindUnusableAdvisorFiles(folder, {})) {
            named.push_back(platform::Utf16ToUtf8(file));
        }
        EXPECT_EQ(named, expected);
        std::vector<std::string> sides;
        for (const UnusableDrivingSide& side :
             FindUnusableDrivingSides(folder, {}, run->engine, run->result.route)) {
            sides.push_back(
                platform::Utf16ToUtf8(side.country + u": " + side.file + u": " + side.line));
        }
        std::vector<std::string> expectedSides;
        for (const auto& [country, line] : c.sides) {
            expectedSides.push_back(platform::Utf16ToUtf8(country + (u": " + folder) +
                                                          u"\\General.properties: " + line));
        }
        EXPECT_EQ(sides, expectedSides);
        // What could be read is there.
        const AdvisorTablesPtr tables = AdvisorStore::Instance().TablesFor(folder, 0, 0);
        EXPECT_EQ(tables->general.empty(), c.changes.contains("General.properties") &&
                                               (isLeftOut("General.properties") ||
                                                *c.changes.at("General.properties") == comments));
        EXPECT_EQ(tables->phrases.empty(), isLeftOut("SOA.csv") &&
                                               isLeftOut("SpokenDistances.csv") &&
                                               isLeftOut("RouteNumbers.csv"));
        EXPECT_EQ(tables->decisionTables.has_value() &&
                      !tables->decisionTables->GetModules().empty(),
                  !c.changes.contains("DecisionTables.csv") ||
                      (c.changes.at("DecisionTables.csv") &&
                       c.changes.at("DecisionTables.csv")->find("Module") != std::string::npos));
        // Nothing is said from tables that name a file; the arrival's mark is no word.
        Advisor advisor = advisortest::MakeAdvisor(*run, folder);
        std::size_t positions = 0;
        std::size_t nulls = 0;
        std::u16string said;
        for (const advisortest::Said& s :
             advisortest::Drive(advisor, run->result.route, positions, nulls)) {
            said += s.text.substr(0, s.text.find(u'@'));
        }
        EXPECT_EQ(said.empty(), !expected.empty()) << platform::Utf16ToUtf8(said);
        // Where no file is named, all is said as with the whole files (the first case).
        if (c.changes.empty()) {
            wholeSaid = said;
        } else if (expected.empty()) {
            EXPECT_EQ(platform::Utf16ToUtf8(said), platform::Utf16ToUtf8(wholeSaid));
        }
    }
}
