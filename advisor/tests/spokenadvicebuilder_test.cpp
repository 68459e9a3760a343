// The phrase builder over tables loaded from configuration files: phrase expansion, the
// announcements of an approach by distance, connectors to the next manoeuvre, idle, request
// and static texts.

#include "advisor/spokenadvicebuilder.h"
#include "advisor/tests/phrasefixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string NarrowSpokenText(std::u16string_view text) {
    return {text.begin(), text.end()};
}

struct JunctionSpec {
    std::int32_t id = 1;
    std::u16string name = u"Turn";
    std::u16string manoeuvre = u"T_Street";
    std::u16string roadClass = u"Bc";
    std::int32_t stretch = 2000;
    std::uint32_t flags = 0;
    std::u16string currentRoad = {};
    std::u16string targetRoad = {};
    std::int16_t exitNumber = 0;
};

AdviceRecord Record(const JunctionSpec& spec, std::int32_t distance) {
    AdviceRecord record;
    record.distance = distance;
    record.SetText(spec.name);
    record.junction.junctionId = spec.id;
    record.junction.manoeuvre.Set(spec.manoeuvre);
    record.junction.roadClass.Set(spec.roadClass);
    record.junction.stretchLength = spec.stretch;
    record.junction.flags = spec.flags;
    record.junction.currentRoadNumber.Set(spec.currentRoad);
    record.junction.targetRoadNumber.Set(spec.targetRoad);
    record.junction.exitNumber = spec.exitNumber;
    return record;
}

// One call of the approach: the distance to the junction and what record 0 holds afterwards.
struct Step {
    std::int32_t distance;
    std::u16string text;
    std::int32_t code = -1;
    std::uint16_t progress = 0;
    std::uint8_t combined = 0;
};

struct Approach {
    const char* name;
    JunctionSpec junction;
    std::vector<Step> steps;
    std::optional<JunctionSpec> next = std::nullopt;
    std::int32_t nextDistance = 0;
};

void Drive(SpokenAdviceBuilder& builder, const Approach& approach) {
    for (const Step& step : approach.steps) {
        SCOPED_TRACE(step.distance);
        AdviceList records;
        records.Append(Record(approach.junction, step.distance));
        if (approach.next) {
            records.Append(Record(*approach.next, approach.nextDistance));
        }
        ASSERT_EQ(builder.BuildAdvice(records, 0), 1);
        AdviceRecord ahead;
        ASSERT_TRUE(records.GetRecord(0, ahead));
        EXPECT_EQ(NarrowSpokenText(ahead.text), NarrowSpokenText(step.text));
        EXPECT_EQ(ahead.manoeuvreCode, step.code);
        EXPECT_EQ(ahead.progress, step.progress);
        EXPECT_EQ(ahead.combined, step.combined);
    }
}

class SpokenAdvice : public ::testing::Test {
protected:
    void SetUp() override {
        m_tables = phrasefixture::LoadTables();
        ASSERT_TRUE(m_tables);
    }

    [[nodiscard]] SpokenAdviceBuilder Builder(bool isMiles = false) const {
        SpokenAdviceBuilder builder;
        builder.SetTables(m_tables);
        builder.SetUnits({0, 0, isMiles ? 1u : 0u});
        return builder;
    }

    AdvisorTablesPtr m_tables;
};

TEST_F(SpokenAdvice, ExpandsVariablesThenPhraseNamesThenNumbersAndDistances) {
    const SpokenAdviceBuilder::Variables variables = {{u"a", u"<b>"},
                                                      {u"Turn.A3", u"[Own]"},
                                                      {u"self", u"<self>"},
                                                      {u"grow", u"x<grow>"},
                                                      {u"d", u"300"}};
    const struct {
        std::u16string text;
        std::u16string metric;
        std::u16string miles;
    } cases[] = {
        {u"<a> <Turn.A3> <Turn.A2b> <no>", u"<b> [Own] [Then] [Turn] <no>",
         u"<b> [Own] [Then] [Turn] <no>"},
        {u"$1500*0.001$ $-7*0.5$ $9$ $99999*99999$", u"1 -3 0 2147483647", u"1 -3 0 2147483647"},
        {u"(250) (1500) {1500}", u"(200) (1) 1", u"(200) (900) 900"},
        {u"{in <d>} {in 450} {in 2500} {in}", u"[Metres300] 400m 2.0km 0m",
         u"[Yards300] 400yd 1.0mls 0yd"},
        {u"$5 {in 300 (250 <a", u"$5 {in 300 (250 <a", u"$5 {in 300 (250 <a"},
    };
    for (const bool isMiles : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(NarrowSpokenText(c.text) + (isMiles ? " (miles)" : ""));
            std::u16string text = c.text;
            Builder(isMiles).ExpandPhrase(variables, text);
            EXPECT_EQ(NarrowSpokenText(text), NarrowSpokenText(isMiles ? c.miles : c.metric));
        }
    }
    // A value holding its own name ends after a bounded number of replacements.
    for (const char16_t* text : {u"<self>", u"<grow>"}) {
        std::u16string expanded = text;
        Builder().ExpandPhrase(variables, expanded);
        EXPECT_NE(expanded.find(text), std::u16string::npos);
        EXPECT_LT(expanded.size(), 1000u);
    }
    // The variables of a record: phrase entries of its words, in the builder's unit.
    JunctionSpec spec{.stretch = 1200, .currentRoad = u"B 3", .targetRoad = u"B 3"};
    AdviceRecord record = Record(spec, 500);
    record.junction.nextDirection.Set(u"Left");
    SpokenAdviceBuilder::Variables filled = {{u"RN", u"kept"}};
    Builder(true).FillVariables(filled, record);
    EXPECT_EQ(filled.size(), 13u);
    EXPECT_EQ(NarrowSpokenText(filled[u"RN"] + filled[u"DI"] + filled[u"follow_distance"] +
                               filled[u"priority_next_direction"] +
                               filled[u"distance_of_next_action"]),
              "kept [Stay][FollowMiles][BendsLeft]1200");
}

TEST_F(SpokenAdvice, SpeaksEachAnnouncementOnceAsTheDistanceShrinks) {
    JunctionSpec destinationAhead{.id = 4, .name = u"Arrive", .stretch = 250, .flags = 1};
    JunctionSpec arrival{.id = 5, .name = u"Arrive", .manoeuvre = u"Destination"};
    const Approach approaches[] = {
        {"first, second and last announcement",
         {},
         {{1500, u"", 37},
          {790, u"[In] [Metres800] [Turn]"},
          {700, u""},
          {295, u"Bitte [In] [Metres300] [Turn]", -1, 2},
          {200, u"", -1, 50},
          {90, u"[Now] [Turn]", -1, 100},
          {50, u"", -1, 100}}},
        {"first seen 40 m below the first point",
         {.id = 2},
         {{760, u""}, {700, u""}, {299, u"Bitte [In] [Metres300] [Turn]", -1, 0}}},
        {"a stretch shorter than the second point",
         {.id = 3, .stretch = 250},
         {{260, u""}, {240, u" [In] [Metres200] [Turn]", -1, 6}, {120, u"", -1, 86}}},
        {"a destination that is no manoeuvre of its own",
         destinationAhead,
         {{240, u"@ [DestinationAhead]", 31, 6}, {60, u"[Arrive]", -1, 100}}},
        {"the destination",
         arrival,
         {{790, u"[In] [Metres800] [Arrive]"}, {80, u"[Arrive]", 31, 100}}},
        {"the idle text far ahead",
         {.id = 6, .stretch = 8000},
         {{7900, u"", 37},
          {7700, u"[FollowKm]", 37},
          {7600, u"", 37},
          {790, u"[In] [Metres800] [Turn]"}}},
        // A stretch spoken as its own length, for which the tables have no words.
        {"a stretch whose length has no words",
         {.id = 8, .stretch = 150},
         {{140, u"", -1, 20}, {90, u"[Now] [Turn]", -1, 100}}},
        {"a stretch whose length has empty words",
         {.id = 9, .stretch = 160},
         {{150, u"", -1, 16}, {90, u"[Now] [Turn]", -1, 100}}},
        // The idle text on the same road speaks the stretch's length, which has no words.
        {"an idle text whose distance has no words",
         {.id = 10, .stretch = 8000, .targetRoad = u"B 3"},
         {{7900, u"", 37}, {7700, u"", 37}, {790, u"[In] [Metres800] [Turn]"}},
         JunctionSpec{.id = 11, .targetRoad = u"B 3"},
         9000},
        // Equal second and last points: the last announcement takes over from the first.
        {"equal second and last points",
         {.id = 7, .manoeuvre = u"Equal"},
         {{150, u"", -1, 0}, {100, u"[Now] [Turn]", -1, 100}}},
    };
    SpokenAdviceBuilder builder = Builder();
    for (const Approach& approach : approaches) {
        SCOPED_TRACE(approach.name);
        Drive(builder, approach);
    }
}

TEST_F(SpokenAdvice, JoinsTheNextManoeuvreWhenItComesSoon) {
    JunctionSpec exit{.id = 20, .name = u"Exit", .targetRoad = u"B 27", .exitNumber = 3};
    JunctionSpec toRoad{.id = 21, .targetRoad = u"A 5"};
    JunctionSpec highway{.id = 22, .manoeuvre = u"HighwayCrossings1"};
    JunctionSpec cut{.id = 23, .name = u"Cut"};
    JunctionSpec cutNext{.id = 24, .name = u"CutNext"};
    JunctionSpec smallRoad{.id = 25, .name = u"Exit", .roadClass = u"Sc"};
    JunctionSpec farNext{.id = 26, .name = u"Far"};
    const std::u16string exitWords = u"[TakeExit] #3# [Onto] #B 27#";
    const Approach approaches[] = {
        {"a short way on",
         {.id = 10},
         {{790, u"[In] [Metres800] [Turn] [ThenImmediately] " + exitWords, -1, 0, 1}},
         exit,
         150},
        {"a normal way on",
         {.id = 11},
         {{790, u"[In] [Metres800] [Turn] [Then] " + exitWords, -1, 0, 1}},
         exit,
         400},
        {"too far on", {.id = 12}, {{790, u"[In] [Metres800] [Turn]"}}, exit, 401},
        {"the own road number cut off",
         toRoad,
         {{295, u"Bitte [In] [Metres300] [Turn] [Then] " + exitWords, -1, 2, 1}},
         exit,
         300},
        {"no connector after the last announcement",
         {.id = 13},
         {{90, u"[Now] [Turn]", -1, 100, 1}},
         exit,
         100},
        {"a highway crossing joins the last announcement",
         highway,
         {{790, u"[In] [Metres800] [Turn]", -1, 0, 1},
          {90, u"[Now] [Turn] [ThenImmediately] " + exitWords, -1, 100, 1}},
         exit,
         100},
        {"a cut in the own phrase", cut, {{790, u"[Cut]"}}, exit, 100},
        {"a cut in the next phrase", {.id = 14}, {{790, u"[In] [Metres800] [Turn]"}}, cutNext, 100},
        {"a distance without words in the next phrase",
         {.id = 16},
         {{790, u"[In] [Metres800] [Turn]"}},
         farNext,
         100},
        {"no limit for the next road class",
         {.id = 15},
         {{790, u"[In] [Metres800] [Turn]"}},
         smallRoad,
         100},
    };
    SpokenAdviceBuilder builder = Builder();
    for (const Approach& approach : approaches) {
        SCOPED_TRACE(approach.name);
        Drive(builder, approach);
    }
}

TEST_F(SpokenAdvice, AnswersTheDriversRequestThroughItsDecisionTable) {
    const struct {
        const char* name;
        std::u16string nextRoad;
        std::u16string text;
        std::int32_t distance;
        bool withRequestTable;
    } cases[] = {
        {"route number changes", u"A 1", u"[FollowRoad] [FollowKm]", 500, true},
        {"beyond the idle limit", u"", u"[FollowRoad] [FollowKm]", 6000, true},
        {"no advice in the table", u"", u"", 500, true},
        {"a distance without words", u"A 1", u"", 6000, true},
        {"no decision tables", u"A 1", u"", 500, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SpokenAdviceBuilder builder;
        builder.SetTables(phrasefixture::LoadTables(c.withRequestTable));
        AdviceList records;
        records.Append(Record({}, c.distance));
        records.Append(Record({.id = 2, .targetRoad = c.nextRoad}, 900));
        ASSERT_EQ(builder.BuildAdvice(records, 1), 1);
        AdviceRecord ahead;
        ASSERT_TRUE(records.GetRecord(0, ahead));
        EXPECT_EQ(NarrowSpokenText(ahead.text), NarrowSpokenText(c.text));
    }
}

TEST_F(SpokenAdvice, KeepsTheIdleLimitOfAClassWithoutOneAndSaysNothingWithoutPhrases) {
    SpokenAdviceBuilder builder = Builder();
    const struct {
        std::u16string name;
        std::u16string roadClass;
        std::int32_t result;
        std::int32_t idleLimit;
        std::uint32_t flags = 0;
    } cases[] = {
        {u"Turn", u"Sc", 1, 10000},
        {u"Turn", u"Bt", 1, 5000},
        {u"Turn", u"St", 1, 5000},
        {u"Turn", u"Ac", 1, 10000},
        {u"Unknown", u"Sc", 0, 10000},
        // No advice name (no decision) at the destination: not even the destination's words.
        {u"", u"Sc", 0, 10000, JunctionDescription::kDestinationFlag},
    };
    std::int32_t id = 100;
    for (const auto& c : cases) {
        SCOPED_TRACE(NarrowSpokenText(c.roadClass));
        AdviceList records;
        records.Append(
            Record({.id = ++id, .name = c.name, .roadClass = c.roadClass, .flags = c.flags}, 5000));
        EXPECT_EQ(builder.BuildAdvice(records, 0), c.result);
        EXPECT_EQ(builder.GetIdleLimit(), c.idleLimit);
        AdviceRecord ahead;
        ASSERT_TRUE(records.GetRecord(0, ahead));
        EXPECT_EQ(ahead.text, c.result == 0 ? c.name : u"");
    }
    AdviceList none;
    EXPECT_EQ(builder.BuildAdvice(none, 0), 0);
}

TEST_F(SpokenAdvice, BuildsTheStaticTextsOnce) {
    SpokenAdviceBuilder builder = Builder();
    AdviceList records;
    EXPECT_EQ(builder.BuildStaticTexts(records), 0);
    records.Append(Record({.targetRoad = u"A 5"}, 0));
    records.Append(Record({.id = 2, .name = u"Exit;more"}, 0));
    EXPECT_EQ(builder.BuildStaticTexts(records), 1);
    AdviceRecord first;
    AdviceRecord second;
    ASSERT_TRUE(records.GetRecord(0, first) && records.GetRecord(1, second));
    EXPECT_EQ(NarrowSpokenText(first.text), "[Turn] A 5");
    EXPECT_EQ(NarrowSpokenText(second.text), "");
    records.SetRecord(0, Record({}, 0));
    EXPECT_EQ(builder.BuildStaticTexts(records), 1);
    ASSERT_TRUE(records.GetRecord(0, first));
    EXPECT_EQ(NarrowSpokenText(first.text), "Turn");
}

} // namespace
