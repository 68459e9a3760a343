#pragma once
// The one lock and condition behind every waitable object's signal state and every timed wait.
// Signal changes and clock moves happen under KernelMutex and wake all waiters, which then check
// their own conditions again. Internal to the platform layer.

#include "platform/kernel/handles.h"
#include "platform/types.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace platform {
class Clock;
}

namespace platform::detail {

std::mutex& KernelMutex();
std::condition_variable& KernelCondition();

// What one call to a wait function has been handed by PulseEvent: bit i for its handle i.
struct WaitBlock {
    std::uint64_t pulsedMask = 0;
    bool isWaitAll = false;
    // An event set (or pulsed) for this wait while a stepped clock is installed counted its
    // thread among the woken ones; the thread takes the count over as its wait ends.
    bool isCountedRelease = false;
    // The generation the count was made in (0: released by a thread set aside, see
    // platform::SetAsideWokenThreads).
    std::uint64_t releaseGeneration = 0;
};

// Counts the thread waiting on block among the threads woken by the clock
// (platform::ThreadsWokenByTheClock), as an event releases it while a clock that does not follow
// host time is installed: the work it was woken for is the caller's to wait for as a clock move's.
// A thread released by one that is set aside is set aside too. In the signalling thread, under
// KernelMutex; once for a wait.
void CountReleaseLocked(WaitBlock& block);
// In the waiting thread as its wait ends: takes over the count its release made.
void TakeReleaseCount(const WaitBlock& block);

// An object whose signal state is read and changed under KernelMutex only. A change that
// signals it notifies KernelCondition.
class Waitable : public platform::KernelObject {
public:
    [[nodiscard]] virtual bool IsSignalledLocked() const = 0;
    // Takes the signal for one released wait (auto-reset objects reset here).
    virtual void AcquireLocked() {}

    struct Registration {
        WaitBlock* block;
        unsigned index;
    };
    std::vector<Registration> waiters; // the waits in progress, oldest first
};

// A thread created while a clock that does not follow host time is installed counts among the
// threads woken by that clock (platform::ThreadsWokenByTheClock) until its first wait: the
// creator calls CountStartingThread before the thread runs and hands its answer to the thread,
// which passes it to TakeStartingCount first thing (or, when it cannot be started, the creator
// to DropStartingCount). The answer is 0 when the thread is not counted.
[[nodiscard]] std::uint64_t CountStartingThread();
void TakeStartingCount(std::uint64_t count);
void DropStartingCount(std::uint64_t count);

// The installed clock; replaced only under KernelMutex (see ScopedClock).
Clock& InstalledClock();
void InstallClockLocked(Clock* clock);

// When a wait gives up: timeoutMs after it starts (INFINITE never), or once the installed clock's
// GetTickCount reaches a tick. A tick is compared by its signed difference to the clock, so one up
// to 2^31 ms back has been reached; a wait for it cannot be pushed back by a clock move before it
// starts.
struct WaitDeadline {
    [[nodiscard]] static WaitDeadline After(DWORD timeoutMs) { return {timeoutMs, false}; }
    [[nodiscard]] static WaitDeadline AtTick(DWORD tick) { return {tick, true}; }
    DWORD value;
    bool isTick;
};

// The deadline of one wait, measured on the installed clock. While it exists it is registered
// with the core: when the clock is replaced, the time still remaining on the old clock carries
// over to the new one. Create, use and destroy only with KernelMutex held.
class WaitTimer {
public:
    explicit WaitTimer(WaitDeadline deadline);
    ~WaitTimer();
    WaitTimer(const WaitTimer&) = delete;
    WaitTimer& operator=(const WaitTimer&) = delete;

    // Blocks until notified or, on a clock that follows host time, at most until the deadline.
    // Returns false, without blocking, once the deadline has passed.
    bool Step(std::unique_lock<std::mutex>& lock);
    // Moves the deadline to another clock, keeping the remaining time.
    void RebaseLocked(Clock& clock);
    // The deadline has been reached on a clock that does not follow host time.
    [[nodiscard]] bool IsDueOnSteppedClock() const;
    // Its thread counts among the threads woken by the clock: the deadline has been reached, and
    // the wait was not set aside since (SetAsideLocked).
    [[nodiscard]] bool CountsAsWokenLocked() const;
    // A wait whose deadline has been reached no longer counts, nor does its thread after it.
    void SetAsideLocked();

private:
    Clock* m_clock;
    std::uint64_t m_deadline = 0;
    bool m_isInfinite;
    bool m_isSetAside = false;
};

// Waits until ready() is true, called with KernelMutex held by lock, or until the deadline. A
// time-out of 0 polls once. Returns true when ready() became true; a signal that arrives together
// with the deadline still counts.
template <class Ready>
bool WaitLocked(std::unique_lock<std::mutex>& lock, WaitDeadline deadline, Ready&& ready) {
    if (ready()) {
        return true;
    }
    if (!deadline.isTick && deadline.value == 0) {
        return false;
    }
    WaitTimer timer(deadline);
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
