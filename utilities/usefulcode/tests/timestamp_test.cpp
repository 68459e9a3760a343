#include "utilities/usefulcode/timestamp.h"

#include <gtest/gtest.h>

namespace {

SYSTEMTIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME time{};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

TEST(LocalTimeSince1970, CountsLocalSecondsSinceTheEpoch) {
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    const struct {
        const char* what;
        SYSTEMTIME utc;
        std::uint64_t seconds;
        int offsetMinutes;
        std::uint32_t low;
    } cases[] = {
        {"2000 UTC", Utc(2000, 1, 1, 0, 0, 0), 946684800, 0, 946684800},
        {"2000 one hour east", Utc(2000, 1, 1, 0, 0, 0), 946688400, 60, 946688400},
        {"epoch", Utc(1970, 1, 1, 0, 0, 0), 0, 0, 0},
        {"before the epoch", Utc(1969, 12, 31, 23, 59, 59), 0, 0, 0},
        {"beyond 32 bits", Utc(2200, 1, 1, 0, 0, 0), 7258118400, 0, 2963151104},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(clock.SetTime(c.utc));
        clock.SetLocalOffsetMinutes(c.offsetMinutes);
        std::uint32_t low = 12345;
        EXPECT_EQ(LocalTimeSince1970(&low), c.seconds);
        EXPECT_EQ(low, c.low);
        EXPECT_EQ(LocalTimeSince1970(), c.seconds);
    }
    ASSERT_TRUE(clock.SetTime(Utc(2000, 1, 1, 0, 0, 0)));
    clock.SetLocalOffsetMinutes(0);
    clock.Advance(2500); // milliseconds do not count
    EXPECT_EQ(LocalTimeSince1970(), 946684802u);
}

TEST(AbsDifference, NeverWraps) {
    EXPECT_EQ(AbsDifference(5, 3), 2.0);
    EXPECT_EQ(AbsDifference(3, 5), 2.0);
    EXPECT_EQ(AbsDifference(0, 0xFFFFFFFFu), 4294967295.0);
    EXPECT_EQ(AbsDifference(7, 7), 0.0);
}

TEST(MakeUInt64, HighWordFirst) {
    EXPECT_EQ(MakeUInt64(0x12345678u, 0x9ABCDEF0u), 0x123456789ABCDEF0ull);
    EXPECT_EQ(MakeUInt64(0, 0xFFFFFFFFu), 0xFFFFFFFFull);
    EXPECT_EQ(UnixEpochFileTime(), 116444736000000000ull);
}

} // namespace
