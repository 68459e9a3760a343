#include "app/tmc/tmclinegroups.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

TEST(TmcLineGroups, RoadsOfTheSecondLineOrderGroupsAAndBThenTheRest) {
    const struct {
        const char* name;
        std::vector<std::u16string> lines;
        std::vector<std::size_t> order;
    } cases[] = {
        {"B 3, A 66, A 3, L 1",
         {u"FL\nB 3 Vaduz\n", u"FL\nA 66 Schaan\n", u"FL\nA 3 Balzers\n", u"FL\nL 1 Triesen\n"},
         {2, 1, 0, 3}},
        {"equal roads keep their order", {u"x\nA 13 a", u"x\nA 2 b", u"x\nA 13 c"}, {1, 0, 2}},
        {"the rest keeps its order, lines without a break among it",
         {u"x\nL 9", u"no break", u"x\nB 1", u"x\n", u"x\nL 2"},
         {2, 0, 1, 3, 4}},
        {"no lines", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OrderTmcLines(c.lines), c.order);
    }
}

TEST(TmcLineGroups, RoadNumberReadsTwoCharactersAfterTheFirstBreak) {
    const struct {
        std::u16string line;
        int road;
    } cases[] = {
        {u"x\nA 13 Vaduz", 13},
        {u"x\nA13 Vaduz", 13},
        {u"x\nA   7", 7},
        {u"x\nA -5", -5},
        {u"x\nA Vaduz", 0},
        {u"x\nA", 0},
        {u"x\n", 0},
        {u"no break", 0},
        {u"x\nA 99999999999999999999", INT_MAX},
        {u"x\nA -99999999999999999999", INT_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
        EXPECT_EQ(TmcRoadNumber(c.line), c.road);
    }
}

} // namespace
