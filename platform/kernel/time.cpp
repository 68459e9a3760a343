#include "platform/kernel/time.h"

#include "platform/kernel/detail/waitcore.h"
#include "platform/kernel/handles.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace platform {
namespace {

constexpr std::uint64_t kFileTicksPerMs = 10000;
constexpr std::uint64_t kFileTicksPerSecond = 10000000;
constexpr std::uint64_t kFileTicksPerDay = kFileTicksPerSecond * 86400;
// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kDaysFrom1601To1970 = 134774;
// FILETIME values must stay below 2^63.
constexpr std::uint64_t kFileTimeLimit = std::uint64_t{1} << 63;

class Host final : public Clock {
public:
    std::uint64_t TickMs() const override {
        using namespace std::chrono;
        return static_cast<std::uint64_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    std::uint64_t UtcFileTime() const override {
        using namespace std::chrono;
        const auto sinceEpoch = system_clock::now().time_since_epoch();
        const auto ticks =
            duration_cast<duration<std::int64_t, std::ratio<1, 10000000>>>(sinceEpoch);
        return kFileTimeOf1970 + static_cast<std::uint64_t>(ticks.count());
    }
    int LocalOffsetMinutes(std::uint64_t utcFileTime) const override {
        const std::time_t seconds = static_cast<std::time_t>(
            (static_cast<std::int64_t>(utcFileTime) - static_cast<std::int64_t>(kFileTimeOf1970)) /
            static_cast<std::int64_t>(kFileTicksPerSecond));
        std::tm local{};
        if (localtime_r(&seconds, &local) == nullptr) {
            return 0;
        }
        return static_cast<int>(local.tm_gmtoff / 60);
    }
    bool FollowsHostTime() const override { return true; }
};

void FillSystemTime(std::uint64_t fileTime, SYSTEMTIME* out) {
    using namespace std::chrono;
    const std::uint64_t dayCount = fileTime / kFileTicksPerDay;
    const std::uint64_t inDay = fileTime % kFileTicksPerDay;
    const sys_days day{days{static_cast<std::int64_t>(dayCount) - kDaysFrom1601To1970}};
    const year_month_day date{day};
    const weekday weekDay{day};
    const std::uint64_t ms = inDay / kFileTicksPerMs;
    out->wYear = static_cast<WORD>(static_cast<int>(date.year()));
    out->wMonth = static_cast<WORD>(static_cast<unsigned>(date.month()));
    out->wDay = static_cast<WORD>(static_cast<unsigned>(date.day()));
    out->wDayOfWeek = static_cast<WORD>(weekDay.c_encoding());
    out->wHour = static_cast<WORD>(ms / 3600000);
    out->wMinute = static_cast<WORD>(ms / 60000 % 60);
    out->wSecond = static_cast<WORD>(ms / 1000 % 60);
    out->wMilliseconds = static_cast<WORD>(ms % 1000);
}

// The FILETIME value of a valid SYSTEMTIME, or false.
bool ToFileTime(const SYSTEMTIME& time, std::uint64_t& out) {
    using namespace std::chrono;
    if (time.wYear < 1601 || time.wYear > 30827 || time.wHour > 23 || time.wMinute > 59 ||
        time.wSecond > 59 || time.wMilliseconds > 999) {
        return false;
    }
    const year_month_day date{year{time.wYear}, month{time.wMonth}, day{time.wDay}};
    if (!date.ok()) {
        return false;
    }
    const std::int64_t dayCount = sys_days{date}.time_since_epoch().count() + kDaysFrom1601To1970;
    const std::uint64_t ms =
        ((time.wHour * 60ull + time.wMinute) * 60ull + time.wSecond) * 1000ull + time.wMilliseconds;
    out = static_cast<std::uint64_t>(dayCount) * kFileTicksPerDay + ms * kFileTicksPerMs;
    return true;
}

std::uint64_t LocalFileTime(const Clock& clock) {
    const std::uint64_t utc = clock.UtcFileTime();
    const std::int64_t offset =
        static_cast<std::int64_t>(clock.LocalOffsetMinutes(utc)) * 60 * 10000000;
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(utc) + offset);
}

} // namespace

Clock& HostClock() {
    static Host* host = new Host; // never destroyed: used by exit-time code
    return *host;
}

std::uint64_t VirtualClock::TickMs() const {
    std::lock_guard lock(m_mutex);
    return m_tickMs;
}

std::uint64_t VirtualClock::UtcFileTime() const {
    std::lock_guard lock(m_mutex);
    return m_utcFileTime;
}

int VirtualClock::LocalOffsetMinutes(std::uint64_t /*utcFileTime*/) const {
    std::lock_guard lock(m_mutex);
    return m_localOffsetMinutes;
}

bool VirtualClock::CompleteSleep(DWORD ms) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_doesSleepAdvance) {
            return false;
        }
    }
    Advance(ms);
    return true;
}

void VirtualClock::Advance(std::uint64_t ms) {
    {
        std::lock_guard lock(m_mutex);
        m_tickMs += ms;
        m_utcFileTime += ms * kFileTicksPerMs;
    }
    NotifyClockAdvanced();
}

void VirtualClock::SetTick(std::uint64_t tickMs) {
    {
        std::lock_guard lock(m_mutex);
        m_tickMs = tickMs;
    }
    NotifyClockAdvanced();
}

bool VirtualClock::SetTime(const SYSTEMTIME& utc) {
    std::uint64_t value = 0;
    if (!ToFileTime(utc, value)) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_utcFileTime = value;
    return true;
}

void VirtualClock::SetLocalOffsetMinutes(int minutesEastOfUtc) {
    std::lock_guard lock(m_mutex);
    m_localOffsetMinutes = minutesEastOfUtc;
}

void VirtualClock::SetSleepAdvancesClock(bool doesAdvance) {
    std::lock_guard lock(m_mutex);
    m_doesSleepAdvance = doesAdvance;
}

} // namespace platform

DWORD GetTickCount() {
    return static_cast<DWORD>(platform::CurrentClock().TickMs());
}

void GetSystemTime(SYSTEMTIME* systemTime) {
    if (systemTime != nullptr) {
        platform::FillSystemTime(platform::CurrentClock().UtcFileTime(), systemTime);
    }
}

void GetLocalTime(SYSTEMTIME* localTime) {
    if (localTime != nullptr) {
        platform::FillSystemTime(platform::LocalFileTime(platform::CurrentClock()), localTime);
    }
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime) {
    std::uint64_t value = 0;
    if (systemTime == nullptr || fileTime == nullptr || !platform::ToFileTime(*systemTime, value)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *fileTime = platform::MakeFileTime(value);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
    if (fileTime == nullptr || systemTime == nullptr ||
        platform::FileTimeValue(*fileTime) >= platform::kFileTimeLimit) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    platform::FillSystemTime(platform::FileTimeValue(*fileTime), systemTime);
    return TRUE;
}

void Sleep(DWORD ms) {
    if (ms == 0) {
        std::this_thread::yield();
        return;
    }
    if (platform::CurrentClock().CompleteSleep(ms)) {
        return;
    }
    std::unique_lock lock(platform::detail::KernelMutex());
    platform::detail::WaitLocked(lock, platform::detail::WaitDeadline::After(ms),
                                 [] { return false; });
}
