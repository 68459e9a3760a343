#include "tablefiles/housenumber.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace {

HouseNumberArray Numbers(std::initializer_list<HouseNumber> numbers) {
    HouseNumberArray array;
    for (const HouseNumber& number : numbers) {
        array.Append(number);
    }
    return array;
}

HouseNumber N(unsigned short number, char16_t suffix = 0) {
    return HouseNumber(number, suffix);
}

TEST(HouseNumberParse, ReadsNumberAndLetterWithoutConsumingIt) {
    const struct {
        std::u16string text;
        unsigned short number;
        unsigned short suffix;
        std::size_t consumed;
    } rows[] = {
        {u"12a", 12, u'A', 2},
        {u"12", 12, u'X', 2},
        {u"7 b", 7, u'X', 1},
        {u"0b", 0, u'X', 1},
        {u"  42z", 42, u'Z', 4},
        {u"65534", 65534, u'X', 5},
        {u"65535", 0xFFFF, u'X', 5},
        {u"70000c", 0xFFFF, u'X', 5},
        {u"-5a", 0xFFFF, u'X', 2},
        {u"abc", 0, u'X', 0},
        {u"", 0, u'X', 0},
        {u"9\u00e4", 9, u'\u00c4', 1},
        {u"99999999999999999999", 0xFFFF, u'X', 20},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.text.begin(), row.text.end()));
        HouseNumber number(1, u'X');
        const WCHAR* end = number.Parse(row.text.c_str());
        EXPECT_EQ(number.GetNumber(), row.number);
        EXPECT_EQ(number.GetSuffix(), row.suffix);
        EXPECT_EQ(static_cast<std::size_t>(end - row.text.c_str()), row.consumed);
    }
}

TEST(HouseNumberParse, AboveTheLargestNumberIsInvalidNotCut) {
    HouseNumber number;
    number.Parse(u"70000");
    EXPECT_FALSE(number.IsValid());
    EXPECT_NE(number.GetNumber(), 70000 % 65536);
}

TEST(HouseNumberOrder, ComparesNumberThenSuffix) {
    EXPECT_LT(N(12), N(12, u'A'));
    EXPECT_LT(N(12, u'A'), N(13));
    EXPECT_LT(N(12, u'A'), N(12, u'B'));
    EXPECT_GT(N(13), N(12, u'Z'));
    EXPECT_LE(N(12), N(12));
    EXPECT_GE(N(12, u'A'), N(12, u'A'));
    EXPECT_EQ(N(5, u'C'), N(5, u'C'));
    EXPECT_FALSE(N(5, u'C') == N(5));
    EXPECT_EQ(HouseNumber::Min(N(12, u'A'), N(12)), N(12));
    EXPECT_EQ(HouseNumber::Max(N(12, u'A'), N(12)), N(12, u'A'));
}

TEST(HouseNumberOrder, DistanceCountsLettersOnlyBetweenEqualNumbers) {
    const struct {
        HouseNumber a;
        HouseNumber b;
        int distance;
    } rows[] = {{N(12, u'A'), N(12), 1},
                {N(12), N(12, u'A'), 1},
                {N(12, u'C'), N(12, u'A'), 2},
                {N(12, u'A'), N(12, u'C'), -2},
                {N(20), N(8), 12},
                {N(8), N(20), -12},
                {N(12), N(12), 0},
                {N(13, u'B'), N(12, u'A'), 1}};
    for (const auto& row : rows) {
        EXPECT_EQ(HouseNumber::Distance(row.a, row.b), row.distance);
    }
}

TEST(HouseNumberValues, ValidityAndParity) {
    EXPECT_FALSE(N(0).IsValid());
    EXPECT_FALSE(N(0xFFFF).IsValid());
    EXPECT_TRUE(N(1).IsValid());
    EXPECT_TRUE(N(0xFFFE).IsValid());
    EXPECT_TRUE(N(8).IsEven());
    EXPECT_TRUE(N(9).IsOdd());
    EXPECT_TRUE(N(0).IsEven()); // also for invalid numbers
    EXPECT_EQ(sizeof(HouseNumber), 4u);
    EXPECT_EQ(alignof(HouseNumber), 1u);
    HouseNumber copy;
    copy = N(33, u'D');
    EXPECT_EQ(copy, N(33, u'D'));
}

TEST(HouseNumberArrays, ParseRangeKeepsSmallestAndLargest) {
    const struct {
        std::u16string text;
        std::vector<HouseNumber> expected;
    } rows[] = {{u"12-20", {N(12), N(20)}},
                {u"20 - 4", {N(4), N(20)}},
                {u"7", {N(7)}},
                {u"7/7", {N(7)}},
                {u"3a, 9, 3", {N(3), N(9)}},
                {u"5b 5a", {N(5, u'A'), N(5, u'B')}},
                {u"0-0", {}},
                {u"no numbers", {}},
                {u"4-70000", {N(4)}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.text.begin(), row.text.end()));
        HouseNumberArray array;
        array.ParseRange(row.text.c_str());
        ASSERT_EQ(array.GetSize(), row.expected.size());
        for (std::size_t i = 0; i < row.expected.size(); ++i) {
            EXPECT_EQ(array[i], row.expected[i]);
        }
    }
    HouseNumberArray kept = Numbers({N(1)});
    kept.ParseRange(u"none");
    EXPECT_EQ(kept.GetSize(), 1u);
}

struct MatchRow { // NOLINT(clang-analyzer-optin.performance.Padding): a test table
    const char* name;
    std::uint32_t both;
    std::uint32_t first;
    std::uint32_t second;
    HouseNumberArray firstSide;
    HouseNumberArray secondSide;
    std::uint32_t rangeFlag;
    HouseNumber number;
    bool isMatch;
    std::uint32_t index;
    std::uint32_t count;
};

TEST(HouseNumberMatch, FollowsTheSchemesAndModes) {
    const MatchRow rows[] = {
        {"even side, range step 2", 0, 2, 0, Numbers({N(2), N(20)}), {}, 1, N(8), true, 3, 10},
        {"even side, odd number", 0, 2, 0, Numbers({N(2), N(20)}), {}, 1, N(9), false, 0, 1},
        {"even side 12", 0, 12, 0, Numbers({N(2), N(20)}), {}, 1, N(20), true, 9, 10},
        {"even side 14 below", 0, 14, 0, Numbers({N(2), N(20)}), {}, 1, N(0), false, 0, 1},
        {"descending range", 0, 2, 0, Numbers({N(20), N(2)}), {}, 1, N(8), true, 6, 10},
        {"odd side", 0, 3, 0, Numbers({N(1), N(9)}), {}, 1, N(5), true, 2, 5},
        {"odd side 13, even number", 0, 13, 0, Numbers({N(1), N(9)}), {}, 1, N(4), false, 0, 1},
        {"mixed, step 1", 0, 4, 0, Numbers({N(1), N(9)}), {}, 1, N(4), true, 3, 9},
        {"mixed falls back to exact",
         0,
         4,
         0,
         Numbers({N(0), N(3), N(0)}),
         {},
         1,
         N(3),
         true,
         1,
         3},
        {"exact", 0, 5, 0, Numbers({N(3), N(7), N(11)}), {}, 1, N(7), true, 1, 3},
        {"exact 15 misses", 0, 15, 0, Numbers({N(3), N(7), N(11)}), {}, 1, N(5), false, 0, 1},
        {"suffixes force step 1", 0, 2, 0, Numbers({N(2, u'A'), N(6)}), {}, 1, N(4), true, 2, 5},
        // A number and a lettered number of it are 1 apart, whatever the letter.
        {"letter inside range",
         0,
         2,
         0,
         Numbers({N(12), N(12, u'C')}),
         {},
         1,
         N(12, u'B'),
         true,
         1,
         2},
        {"last two entries give the range",
         0,
         4,
         0,
         Numbers({N(0), N(10), N(20)}),
         {},
         1,
         N(15),
         true,
         5,
         11},
        {"unknown side scheme", 0, 7, 0, Numbers({N(2), N(20)}), {}, 1, N(8), false, 0, 1},
        {"second side", 0, 2, 3, Numbers({N(2), N(20)}), Numbers({N(1), N(21)}), 1, N(9), true, 4,
         11},
        {"one entry is exact", 0, 2, 0, Numbers({N(8)}), {}, 1, N(8), true, 0, 1},
        {"one entry other number", 0, 4, 0, Numbers({N(8)}), {}, 1, N(6), false, 0, 1},
        {"breakpoints", 0, 2, 0, Numbers({N(2), N(10), N(6)}), {}, 0, N(8), true, 0, 1},
        {"breakpoints outside", 0, 2, 0, Numbers({N(2), N(10), N(6)}), {}, 0, N(12), false, 0, 1},
        {"both sides 2, first array", 2, 0, 0, Numbers({N(1), N(9)}), Numbers({N(2), N(20)}), 1,
         N(5), true, 2, 5},
        {"both sides 4, second array", 4, 0, 0, Numbers({N(1), N(9)}), Numbers({N(2), N(20)}), 1,
         N(14), true, 6, 10},
        {"both sides 3, odd to odd side", 3, 0, 0, Numbers({N(2), N(20)}), Numbers({N(1), N(21)}),
         1, N(7), true, 3, 11},
        {"both sides 3, even to even side", 3, 0, 0, Numbers({N(2), N(20)}), Numbers({N(1), N(21)}),
         1, N(4), true, 1, 10},
        {"both sides 3, mixed sides take nothing", 3, 0, 0, Numbers({N(1), N(20)}),
         Numbers({N(2), N(21)}), 1, N(7), false, 0, 1},
        {"both sides 3, empty side never",
         3,
         0,
         0,
         {},
         Numbers({N(2), N(20)}),
         1,
         N(7),
         false,
         0,
         1},
        {"both sides unknown", 5, 2, 2, Numbers({N(2), N(20)}), Numbers({N(2), N(20)}), 1, N(8),
         false, 0, 1},
        {"empty arrays", 0, 4, 4, {}, {}, 1, N(8), false, 0, 1},
        {"both sides 2, empty first array",
         2,
         0,
         0,
         {},
         Numbers({N(2), N(20)}),
         1,
         N(8),
         true,
         3,
         10},
        {"no valid pair", 0, 4, 0, Numbers({N(0), N(5), N(0)}), {}, 1, N(0), false, 0, 1},
    };
    for (const MatchRow& row : rows) {
        SCOPED_TRACE(row.name);
        HouseNumberInfo info;
        info.bothSidesScheme = row.both;
        info.firstSideScheme = row.first;
        info.secondSideScheme = row.second;
        info.firstSide = row.firstSide;
        info.secondSide = row.secondSide;
        info.rangeFlag = row.rangeFlag;
        HouseNumberPosition position{77, 77};
        EXPECT_EQ(info.Match(row.number, position), row.isMatch);
        EXPECT_EQ(position.index, row.index);
        EXPECT_EQ(position.count, row.count);
    }
}

TEST(HouseNumberInfos, DefaultsAndCopies) {
    HouseNumberInfo info;
    EXPECT_EQ(info.bothSidesScheme, 0u);
    EXPECT_EQ(info.rangeFlag, 1u);
    EXPECT_TRUE(info.firstSide.IsEmpty());
    info.firstSide = Numbers({N(1), N(3)});
    const HouseNumberInfo copy(info);
    info.firstSide.Clear();
    ASSERT_EQ(copy.firstSide.GetSize(), 2u);
    EXPECT_EQ(copy.firstSide[1], N(3));
}

} // namespace
