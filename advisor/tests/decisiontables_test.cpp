#include "advisor/advisorconfiguration.h"
#include "advisor/decisiontables.h"
#include "testdata/advisorwriter.h"
#include "testdata/memorybytefile.h"

#include <gtest/gtest.h>

namespace {

using testdata::ConfigTextWriter;

struct Table {
    std::u16string name;
    std::vector<std::u16string> conditions;
    std::vector<std::u16string> keys;
    std::vector<std::u16string> results;
    bool operator==(const Table&) const = default;
};

std::vector<Table> Parse(const std::string& bytes) {
    testdata::MemoryByteFile file(bytes);
    DecisionTableStore store;
    AdvisorConfiguration::ParseDecisionTables(&file, store);
    std::vector<Table> tables;
    for (const DecisionModule& module : store.GetModules()) {
        tables.push_back({module.name, module.conditions, module.keys, module.results});
    }
    return tables;
}

TEST(DecisionTablesFile, ParsesModulesConditionsAndValueRows) {
    const struct {
        const char* name;
        std::string bytes;
        std::vector<Table> tables;
    } cases[] = {
        {"two tables, rows padded with empty values",
         ConfigTextWriter()
             .Module("Roundabouts", {"A", "B", "C"})
             .Value({"Left", "yes", "2"}, "R1")
             .Row({"Value", "Left"})
             .Comment("between")
             .Row({"Other", "x", "y"})
             .Module("UTurn", {"A"})
             .Value({"x"}, "U")
             .Build(),
         {{u"Roundabouts", {u"A", u"B", u"C"}, {u"Left.yes.2", u"Left.."}, {u"R1", u""}},
          {u"UTurn", {u"A"}, {u"x"}, {u"U"}}}},
        {"conditions end at the first empty cell",
         ConfigTextWriter()
             .Row({"Module", "M"})
             .Row({"Condition", "A", "", "B"})
             .Row({"Value", "1", "R", "S"})
             .Build(),
         {{u"M", {u"A"}, {u"1"}, {u"R"}}}},
        {"module after module drops both lines",
         ConfigTextWriter()
             .Row({"Module", "First"})
             .Row({"Module", "Second"})
             .Row({"Condition", "A"})
             .Row({"Value", "1", "lost"})
             .Module("Third", {"A"})
             .Value({"1"}, "kept")
             .Build(),
         {{u"Third", {u"A"}, {u"1"}, {u"kept"}}}},
        {"a line beginning with Module ends a table",
         ConfigTextWriter()
             .Module("M", {"A"})
             .Value({"1"}, "R")
             .Row({"Modules", "x"})
             .Value({"2"}, "outside")
             .Build(),
         {{u"M", {u"A"}, {u"1"}, {u"R"}}}},
        {"EOF mid-file ends the reading",
         ConfigTextWriter()
             .Module("M", {"A"})
             .Value({"1"}, "R")
             .EndMark()
             .Value({"2"}, "S")
             .Build(),
         {{u"M", {u"A"}, {u"1"}, {u"R"}}}},
        {"a module without rows is kept",
         ConfigTextWriter().Module("Empty", {"A"}).Build(),
         {{u"Empty", {u"A"}, {}, {}}}},
        {"a module at the end without conditions is dropped",
         ConfigTextWriter().Row({"Module", "M"}).Build(),
         {}},
        {"rows outside a table are skipped",
         ConfigTextWriter().Value({"1"}, "R").Row({"Condition", "A"}).Build(),
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Parse(c.bytes), c.tables);
    }
}

TEST(DecisionTableStore, EvaluatesJoinedValuesOfTheFirstModuleOfTheName) {
    DecisionTableStore store;
    DecisionModule request;
    EXPECT_TRUE(request.Set(u"driverRequest", {u"Kind", u"Side", u"Count"},
                            {u"Left.yes.2", u"Left..2", u"Left.yes.2", u"..", u"left.yes.2"},
                            {u"First", u"Gap", u"Second", u"AllEmpty", u"Lower"}));
    DecisionModule shadowed;
    EXPECT_TRUE(shadowed.Set(u"DRIVERREQUEST", {u"Kind"}, {u"Left"}, {u"Shadowed"}));
    DecisionModule empty;
    EXPECT_FALSE(empty.Set(u"Empty", {u"Kind"}, {}, {}));
    store.Add(request);
    store.Add(shadowed);
    store.Add(empty);

    using Values = std::map<std::u16string, std::u16string>;
    const struct {
        std::u16string module;
        Values values;
        std::u16string result;
    } cases[] = {
        {u"driverRequest", {{u"Kind", u"Left"}, {u"Side", u"yes"}, {u"Count", u"2"}}, u"First"},
        {u"DRIVERREQUEST", {{u"Kind", u"Left"}, {u"Side", u"yes"}, {u"Count", u"2"}}, u"First"},
        {u"driverRequest", {{u"Kind", u"left"}, {u"Side", u"yes"}, {u"Count", u"2"}}, u"Lower"},
        {u"driverRequest", {{u"Kind", u"LEFT"}, {u"Side", u"yes"}, {u"Count", u"2"}}, u""},
        {u"driverRequest", {{u"Kind", u"Left"}, {u"Side", u""}, {u"Count", u"2"}}, u"Gap"},
        {u"driverRequest", {{u"Kind", u"Left"}, {u"Count", u"2"}}, u"Gap"}, // lacking: empty
        {u"driverRequest", {}, u"AllEmpty"},
        {u"driverRequest", {{u"Kind", u"Left"}, {u"Side", u"yes"}, {u"Count", u"3"}}, u""},
        {u"Empty", {{u"Kind", u"Left"}}, u""},
        {u"Unknown", {{u"Kind", u"Left"}}, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.result.begin(), c.result.end()));
        DecisionQuery query;
        query.module = c.module;
        query.values = c.values;
        EXPECT_EQ(store.Evaluate(query), c.result);
    }
    EXPECT_EQ(store.GetConditions(u"DriverRequest"),
              (std::vector<std::u16string>{u"Kind", u"Side", u"Count"}));
    EXPECT_TRUE(store.GetConditions(u"Unknown").empty());
}

} // namespace
