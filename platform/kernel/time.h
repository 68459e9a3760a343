#pragma once
// Tick count, system and local time and Sleep over a replaceable clock. The host clock is used
// unless a test installs another one (platform::VirtualClock with platform::ScopedClock); finite
// wait time-outs (platform/sync.h) and Sleep are measured on the installed clock.

#include "platform/kernel/handles.h" // CloseHandle, GetLastError
#include "platform/types.h"

#include <cstdint>
#include <mutex>

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;     // 1..12
    WORD wDayOfWeek; // 0 = Sunday; ignored on input
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

// 100-nanosecond intervals since 1601-01-01 00:00 UTC, split into two 32-bit halves.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using LPFILETIME = FILETIME*;

// Milliseconds of the installed clock; wraps to 0 after 2^32 ms (about 49.7 days).
[[nodiscard]] DWORD GetTickCount();
void GetSystemTime(SYSTEMTIME* systemTime); // UTC
void GetLocalTime(SYSTEMTIME* localTime);
// FALSE with ERROR_INVALID_PARAMETER for a date or time out of range (year 1601..30827).
[[nodiscard]] BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime);
// FALSE with ERROR_INVALID_PARAMETER for a value of 2^63 or more.
[[nodiscard]] BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);
// Blocks for ms measured on the installed clock; 0 only yields, INFINITE blocks for ever.
// Under a VirtualClock Sleep returns when another thread advances the clock past its end,
// or at once (advancing the clock itself) when the clock is set to advance on Sleep.
void Sleep(DWORD ms);

namespace platform {

// FILETIME of 1970-01-01 00:00 UTC.
constexpr std::uint64_t kFileTimeOf1970 = 116444736000000000ull;

[[nodiscard]] constexpr std::uint64_t FileTimeValue(const FILETIME& fileTime) {
    return (std::uint64_t{fileTime.dwHighDateTime} << 32) | fileTime.dwLowDateTime;
}
[[nodiscard]] constexpr FILETIME MakeFileTime(std::uint64_t value) {
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

// A source of time. Implementations must be safe from any thread.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, 64 bits wide; GetTickCount is its low 32 bits.
    [[nodiscard]] virtual std::uint64_t TickMs() const = 0;
    // Current UTC as a FILETIME value.
    [[nodiscard]] virtual std::uint64_t UtcFileTime() const = 0;
    // Minutes to add to UTC to get local time at the given UTC FILETIME value.
    [[nodiscard]] virtual int LocalOffsetMinutes(std::uint64_t utcFileTime) const = 0;
    // True when the tick runs with the host's monotonic time, so timed waits may sleep on host
    // timers. Any other clock must call NotifyClockAdvanced whenever its tick moves.
    [[nodiscard]] virtual bool FollowsHostTime() const = 0;
    // Lets a clock complete Sleep(ms) itself; true when it did.
    virtual bool CompleteSleep(DWORD ms) {
        (void)ms;
        return false;
    }
};

// The host's clock: monotonic tick, system UTC, the host's time zone.
[[nodiscard]] Clock& HostClock();
// The clock in use now.
[[nodiscard]] Clock& CurrentClock();
// Wakes waits so that they look at the clock again (for clocks that do not follow host time).
void NotifyClockAdvanced();

// A clock that moves only when told: for tests. Starts at tick 0, 2000-01-01 00:00:00 UTC,
// local time = UTC. Safe from any thread.
class VirtualClock final : public Clock {
public:
    [[nodiscard]] std::uint64_t TickMs() const override;
    [[nodiscard]] std::uint64_t UtcFileTime() const override;
    [[nodiscard]] int LocalOffsetMinutes(std::uint64_t utcFileTime) const override;
    [[nodiscard]] bool FollowsHostTime() const override { return false; }
    bool CompleteSleep(DWORD ms) override;

    // Moves tick and UTC forward by ms and wakes the waits whose time-out has passed.
    void Advance(std::uint64_t ms);
    // Sets the tick only (e.g. just below 2^32 to test the wrap).
    void SetTick(std::uint64_t tickMs);
    // Sets UTC; false (clock unchanged) for an invalid time.
    [[nodiscard]] bool SetTime(const SYSTEMTIME& utc);
    void SetLocalOffsetMinutes(int minutesEastOfUtc);
    // When true, Sleep(ms) advances this clock by ms and returns at once (single-threaded
    // tests); when false (the default) Sleep waits for another thread to advance the clock.
    void SetSleepAdvancesClock(bool doesAdvance);

private:
    mutable std::mutex m_mutex;
    std::uint64_t m_tickMs = 0;
    std::uint64_t m_utcFileTime = 125911584000000000ull; // 2000-01-01 00:00 UTC
    int m_localOffsetMinutes = 0;
    bool m_doesSleepAdvance = false;
};

// Installs a clock for its lifetime and restores the previous one afterwards. Waits in progress
// carry their remaining time over to the new clock. The clock must outlive the installer.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* m_previous;
};

} // namespace platform
