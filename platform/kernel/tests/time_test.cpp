#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

SYSTEMTIME Make(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0,
                WORD ms = 0) {
    SYSTEMTIME time{};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    time.wMilliseconds = ms;
    return time;
}

std::uint64_t ToValue(const SYSTEMTIME& time) {
    FILETIME fileTime{};
    EXPECT_TRUE(SystemTimeToFileTime(&time, &fileTime));
    return platform::FileTimeValue(fileTime);
}

void ExpectSameTime(const SYSTEMTIME& actual, const SYSTEMTIME& expected) {
    EXPECT_EQ(actual.wYear, expected.wYear);
    EXPECT_EQ(actual.wMonth, expected.wMonth);
    EXPECT_EQ(actual.wDay, expected.wDay);
    EXPECT_EQ(actual.wHour, expected.wHour);
    EXPECT_EQ(actual.wMinute, expected.wMinute);
    EXPECT_EQ(actual.wSecond, expected.wSecond);
    EXPECT_EQ(actual.wMilliseconds, expected.wMilliseconds);
}

TEST(FileTime, KnownInstantsHaveTheirWin32Values) {
    const struct {
        SYSTEMTIME time;
        std::uint64_t value;
        WORD dayOfWeek;
    } cases[] = {
        {Make(1601, 1, 1), 0, 1},
        {Make(1970, 1, 1), 116444736000000000ull, 4},
        {Make(2000, 1, 1), 125911584000000000ull, 6},
        {Make(2000, 2, 29, 12, 30, 15, 250),
         125911584000000000ull + 59 * 864000000000ull + (12 * 3600 + 30 * 60 + 15) * 10000000ull +
             250 * 10000ull,
         2},
        {Make(2038, 1, 19, 3, 14, 8), 116444736000000000ull + 2147483648ull * 10000000ull, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(ToValue(c.time), c.value);
        const FILETIME fileTime = platform::MakeFileTime(c.value);
        SYSTEMTIME back{};
        ASSERT_TRUE(FileTimeToSystemTime(&fileTime, &back));
        ExpectSameTime(back, c.time);
        EXPECT_EQ(back.wDayOfWeek, c.dayOfWeek);
    }
    EXPECT_EQ(platform::kFileTimeOf1970, 116444736000000000ull);
}

TEST(FileTime, RoundTripsEveryMonthEndAndLeapDay) {
    for (WORD year : {1601, 1900, 1999, 2000, 2024, 2100, 30827}) {
        for (WORD month = 1; month <= 12; ++month) {
            for (WORD day : {1, 28}) {
                const SYSTEMTIME time = Make(year, month, day, 23, 59, 59, 999);
                const FILETIME fileTime = platform::MakeFileTime(ToValue(time));
                SYSTEMTIME back{};
                ASSERT_TRUE(FileTimeToSystemTime(&fileTime, &back));
                ExpectSameTime(back, time);
            }
        }
    }
    EXPECT_EQ(ToValue(Make(2024, 3, 1)) - ToValue(Make(2024, 2, 28)), 2 * 864000000000ull);
    EXPECT_EQ(ToValue(Make(2100, 3, 1)) - ToValue(Make(2100, 2, 28)), 864000000000ull);
}

TEST(FileTime, RejectsDatesAndTimesOutOfRange) {
    const SYSTEMTIME bad[] = {Make(1600, 12, 31),
                              Make(30828, 1, 1),
                              Make(2023, 2, 29),
                              Make(2024, 13, 1),
                              Make(2024, 0, 1),
                              Make(2024, 4, 31),
                              Make(2024, 1, 0),
                              Make(2024, 1, 1, 24),
                              Make(2024, 1, 1, 0, 60),
                              Make(2024, 1, 1, 0, 0, 60),
                              Make(2024, 1, 1, 0, 0, 0, 1000)};
    for (const SYSTEMTIME& time : bad) {
        SCOPED_TRACE(testing::Message() << time.wYear << "-" << time.wMonth << "-" << time.wDay);
        FILETIME fileTime{7, 7};
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(SystemTimeToFileTime(&time, &fileTime));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(fileTime.dwLowDateTime, 7u) << "output untouched on failure";
    }
    const FILETIME tooLarge{0, 0x80000000u};
    SYSTEMTIME out{};
    EXPECT_FALSE(FileTimeToSystemTime(&tooLarge, &out));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(VirtualClock, DrivesTickCountAcrossTheWrap) {
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    EXPECT_EQ(GetTickCount(), 0u);
    clock.Advance(1234);
    EXPECT_EQ(GetTickCount(), 1234u);
    clock.SetTick(0xFFFFFFFFull - 9);
    const DWORD before = GetTickCount();
    EXPECT_EQ(before, 0xFFFFFFF6u);
    clock.Advance(25);
    const DWORD after = GetTickCount();
    EXPECT_EQ(after, 15u);
    EXPECT_EQ(static_cast<DWORD>(after - before), 25u) << "unsigned differences survive the wrap";
    EXPECT_EQ(clock.TickMs(), 0x100000000ull + 15);
}

TEST(VirtualClock, DrivesSystemAndLocalTime) {
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    SYSTEMTIME now{};
    GetSystemTime(&now);
    ExpectSameTime(now, Make(2000, 1, 1));

    ASSERT_TRUE(clock.SetTime(Make(2024, 12, 31, 23, 59, 59, 500)));
    clock.SetLocalOffsetMinutes(60);
    clock.Advance(600);
    GetSystemTime(&now);
    ExpectSameTime(now, Make(2025, 1, 1, 0, 0, 0, 100));
    EXPECT_EQ(now.wDayOfWeek, 3);
    GetLocalTime(&now);
    ExpectSameTime(now, Make(2025, 1, 1, 1, 0, 0, 100));

    clock.SetLocalOffsetMinutes(-90);
    GetLocalTime(&now);
    ExpectSameTime(now, Make(2024, 12, 31, 22, 30, 0, 100));

    EXPECT_FALSE(clock.SetTime(Make(2024, 2, 30)));
    GetSystemTime(&now);
    ExpectSameTime(now, Make(2025, 1, 1, 0, 0, 0, 100));
}

TEST(VirtualClock, SecondsSince1970OfLocalTime) {
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    ASSERT_TRUE(clock.SetTime(Make(2001, 9, 9, 1, 46, 40)));
    SYSTEMTIME local{};
    GetLocalTime(&local);
    FILETIME fileTime{};
    ASSERT_TRUE(SystemTimeToFileTime(&local, &fileTime));
    EXPECT_EQ((platform::FileTimeValue(fileTime) - platform::kFileTimeOf1970) / 10000000,
              1000000000u);
}

TEST(Sleep, WaitsForAnotherThreadToAdvanceTheVirtualClock) {
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID event) -> DWORD {
            Sleep(300);
            return SetEvent(event) ? 0 : 1;
        },
        done, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    clock.Advance(299);
    EXPECT_EQ(WaitForSingleObject(done, 0), WAIT_TIMEOUT);
    // The sleeper may start after some advances; keep moving time until it is done.
    while (WaitForSingleObject(done, 0) != WAIT_OBJECT_0) {
        clock.Advance(1);
        std::this_thread::yield();
    }
    EXPECT_GE(clock.TickMs(), 300u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_TRUE(CloseHandle(done));
}

TEST(Sleep, CanAdvanceTheVirtualClockItself) {
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    clock.SetSleepAdvancesClock(true);
    const DWORD start = GetTickCount();
    Sleep(250);
    Sleep(0);
    Sleep(1000);
    EXPECT_EQ(GetTickCount() - start, 1250u);
}

TEST(HostClock, IsInstalledByDefaultAndRestoredAfterAVirtualOne) {
    EXPECT_EQ(&platform::CurrentClock(), &platform::HostClock());
    {
        platform::VirtualClock clock;
        platform::ScopedClock installed(clock);
        EXPECT_EQ(&platform::CurrentClock(), &clock);
    }
    EXPECT_EQ(&platform::CurrentClock(), &platform::HostClock());
    SYSTEMTIME now{};
    GetSystemTime(&now);
    EXPECT_GE(now.wYear, 2024);
    const DWORD first = GetTickCount();
    EXPECT_LT(GetTickCount() - first, 60000u) << "the host tick moves forward";
}

} // namespace
