#include "utilities/usefulcode/distancetext.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct DistanceRow {
    std::int32_t metres;
    const char16_t* text;    // FormatDistanceText
    const char16_t* rounded; // FormatRoundedDistance
    const char16_t* number;  // FormatRoundedDistanceNumber
};

void ExpectRows(const DistanceRow* begin, const DistanceRow* end, bool imperial) {
    for (const DistanceRow* row = begin; row != end; ++row) {
        SCOPED_TRACE(row->metres);
        EXPECT_EQ(FormatDistanceText(row->metres, imperial), row->text);
        EXPECT_EQ(FormatRoundedDistance(row->metres, imperial), row->rounded);
        EXPECT_EQ(FormatRoundedDistanceNumber(row->metres, imperial), row->number);
    }
}

TEST(FormatDistance, MetricSteps) {
    const DistanceRow rows[] = {
        {0, u"0m", u"0m", u"0"},
        {9, u"0m", u"0m", u"0"},
        {195, u"190m", u"190m", u"190"},
        {199, u"190m", u"190m", u"190"},
        {200, u"200m", u"200m", u"200"},
        {999, u"900m", u"900m", u"900"},
        {1000, u"1.0km", u"1.0km", u"1"},
        {1949, u"1.9km", u"1.0km", u"1"},
        {1999, u"2.0km", u"1.0km", u"1"}, // "%.1f" rounds; the rounded forms cut first
        {9999, u"10.0km", u"9.0km", u"9"},
        {10000, u"10km", u"10km", u"10"},
        {10999, u"10km", u"10km", u"10"},
        {123456, u"123km", u"123km", u"123"},
        {-195, u"-190m", u"-190m", u"-190"},
        {std::numeric_limits<std::int32_t>::max(), u"2147483km", u"2147483km", u"2147483"},
    };
    ExpectRows(std::begin(rows), std::end(rows), false);
}

TEST(FormatDistance, ImperialSteps) {
    const DistanceRow rows[] = {
        {0, u"0yd", u"0yd", u"0"},
        {50, u"0yd", u"50yd", u"50"},        // 54.7 yd
        {100, u"100yd", u"100yd", u"100"},   // 109.4 yd
        {180, u"100yd", u"190yd", u"190"},   // 196.8 yd
        {185, u"200yd", u"200yd", u"200"},   // 202.3 yd: still in 10-yard steps
        {195, u"200yd", u"200yd", u"200"},   // 213.3 yd: 100-yard steps
        {300, u"300yd", u"300yd", u"300"},   // 328.1 yd
        {700, u"700yd", u"700yd", u"700"},   // 765.5 yd, 0.43 miles
        {805, u"0.5mls", u"800yd", u"800"},  // 0.5002 miles
        {1000, u"0.6mls", u"900yd", u"900"}, // 1093.6 yd capped at 900
        {1609, u"1.0mls", u"900yd", u"900"}, // 0.9998 miles
        {1610, u"1.0mls", u"1.0mls", u"1"},
        {3000, u"1.9mls", u"1.0mls", u"1"}, // whole miles in the rounded form
        {8000, u"5.0mls", u"4.0mls", u"4"}, // 4.97 miles
        {9000, u"5mls", u"5mls", u"5"},
        {100000, u"62mls", u"62mls", u"62"},
    };
    ExpectRows(std::begin(rows), std::end(rows), true);
}

TEST(FormatDistance, ModesOfTheGeneralForm) {
    EXPECT_EQ(FormatDistance(1999, kDistanceRounded, false), u"2.0km"); // no cut here
    EXPECT_EQ(FormatDistance(1999, kDistanceNumber, false), u"1");
    EXPECT_EQ(FormatDistance(1999, kDistanceExact, false), u"2.0km");
    EXPECT_EQ(FormatDistance(180, 7, true), u"100yd"); // unknown forms count as exact
}

TEST(FormatDistance, HugeNegativeDistancesSaturate) {
    const std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(FormatDistanceText(lowest, true), u"-2147483648yd");
    EXPECT_EQ(FormatRoundedDistance(lowest, true), u"-2147483648yd");
    EXPECT_EQ(FormatRoundedDistanceNumber(lowest, false), u"-2147483640");
}

} // namespace
