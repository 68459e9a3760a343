#pragma once
// The one lock and condition behind every waitable object's signal state and every timed wait.
// Signal changes and clock moves happen under KernelMutex and wake all waiters, which then check
// their own conditions again. Internal to the platform layer.

#include "platform/types.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {
class Clock;
}

namespace platform::detail {

std::mutex& KernelMutex();
std::condition_variable& KernelCondition();

// The installed clock; replaced only under KernelMutex (see ScopedClock).
Clock& InstalledClock();
void InstallClockLocked(Clock* clock);

// The time-out of one wait, measured on the installed clock. While it exists it is registered
// with the core: when the clock is replaced, the time still remaining on the old clock carries
// over to the new one. Create, use and destroy only with KernelMutex held.
class WaitTimer {
public:
    // timeoutMs INFINITE never expires.
    explicit WaitTimer(DWORD timeoutMs);
    ~WaitTimer();
    WaitTimer(const WaitTimer&) = delete;
    WaitTimer& operator=(const WaitTimer&) = delete;

    // Blocks until notified or, on a clock that follows host time, at most until the deadline.
    // Returns false, without blocking, once the deadline has passed.
    bool Step(std::unique_lock<std::mutex>& lock);
    // Moves the deadline to another clock, keeping the remaining time.
    void RebaseLocked(Clock& clock);

private:
    Clock* m_clock;
    std::uint64_t m_deadline = 0;
    bool m_isInfinite;
};

// Waits until ready() is true, called with KernelMutex held by lock, or until timeoutMs have
// passed. 0 polls once. Returns true when ready() became true; a signal that arrives together
// with the deadline still counts.
template <class Ready>
bool WaitLocked(std::unique_lock<std::mutex>& lock, DWORD timeoutMs, Ready&& ready) {
    if (ready()) {
        return true;
    }
    if (timeoutMs == 0) {
        return false;
    }
    WaitTimer timer(timeoutMs);
    for (;;) {
        const bool isBeforeDeadline = timer.Step(lock);
        if (ready()) {
            return true;
        }
        if (!isBeforeDeadline) {
            return false;
        }
    }
}

} // namespace platform::detail
