#pragma once
// The one lock and condition behind every waitable object's signal state and every timed wait.
// Signal changes and clock moves happen under KernelMutex and wake all waiters, which then check
// their own conditions again. Internal to the platform layer.

#include "platform/kernel/handles.h"
#include "platform/types.h"

#include <chrono>
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
    // The waiting thread is a program thread (IsProgramThread); set by that thread.
    bool isProgramThread = false;
};

// Counts the thread waiting on block among the threads woken by the clock
// (platform::ThreadsWokenByTheClock), as an event releases it while a clock that does not follow
// host time is installed: the work it was woken for is the caller's to wait for as a clock move's.
// In the signalling thread, under KernelMutex; once for a wait.
void CountReleaseLocked(WaitBlock& block);
// In the waiting thread as its wait ends: takes over the count its release made.
void TakeReleaseCount(const WaitBlock& block);
// In the waiting thread, under KernelMutex, when it finds its objects not signalled and waits on:
// a release that another wait took the signal of (an auto-reset event) no longer counts it.
void DropMissedReleaseLocked(WaitBlock& block);

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
// to DropStartingCount). A program thread (one that CreateThread starts) is named with its place
// in the order of creation, which decides its turns (PollTurn).
struct StartingThread {
    bool isCounted = false;
    bool isProgramThread = false;
    std::uint64_t order = 0;
};
[[nodiscard]] StartingThread CountStartingThread(bool isProgramThread, std::uint64_t order);
void TakeStartingCount(const StartingThread& start);
void DropStartingCount(const StartingThread& start);

// Whether the calling thread is a program thread (see StartingThread).
[[nodiscard]] bool IsProgramThread();

// What a poll (a wait with a time-out of 0) of a program thread that finds nothing signalled
// does while a clock that does not follow host time is installed. Such a thread may run on
// without ever waiting (a reader that publishes as fast as it reads), and would then do as much
// work between two moves of the clock as the machine allows. So its polls take turns: each waits
// until no other program thread is at work (woken and not waiting again, or taking its turn
// first), the threads that wait for their turn at once taking it in the order of their creation;
// and a thread that has polled kPollsPerTick times at one tick of the clock waits until the
// clock moves. The work between two moves, and the order in which the threads do it, are then
// the same in every run.
enum class PollTurn {
    Now,           // answers at once: the host clock, or not a program thread
    AfterOthers,   // once it is this thread's turn (PollYield)
    AfterClockMove // once the clock has moved on
};
inline constexpr unsigned kPollsPerTick = 64;
// Under KernelMutex; counts the poll.
[[nodiscard]] PollTurn TakePollTurnLocked();

// The calling thread waits for its turn (PollTurn::AfterOthers) while this exists. Create, use
// and destroy only with KernelMutex held.
class PollYield {
public:
    PollYield();
    ~PollYield();
    PollYield(const PollYield&) = delete;
    PollYield& operator=(const PollYield&) = delete;

    // No other program thread is at work, and none waits for its turn that was created earlier.
    [[nodiscard]] bool IsTurnLocked() const;
    // Blocks until notified; false, without blocking, once kTurnLimit of real time has passed
    // (another program thread that never waits again, or that waits on a lock of this one).
    bool Step(std::unique_lock<std::mutex>& lock);

private:
    static constexpr auto kTurnLimit = std::chrono::seconds(2);
    std::uint64_t m_order;
    bool m_isCounted;
    std::chrono::steady_clock::time_point m_giveUp;
};

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
    // The wait is a program thread's (IsProgramThread).
    [[nodiscard]] bool IsProgramThreads() const { return m_isProgramThread; }

private:
    Clock* m_clock;
    std::uint64_t m_deadline = 0;
    bool m_isInfinite;
    bool m_isProgramThread;
};

// Waits until ready() is true, called with KernelMutex held by lock, or until the deadline. A
// time-out of 0 polls once (taking its turn, see PollTurn). Returns true when ready() became
// true; a signal that arrives together with the deadline still counts.
template <class Ready>
bool WaitLocked(std::unique_lock<std::mutex>& lock, WaitDeadline deadline, Ready&& ready) {
    if (ready()) {
        return true;
    }
    if (!deadline.isTick && deadline.value == 0) {
        const PollTurn turn = TakePollTurnLocked();
        if (turn == PollTurn::Now) {
            return false;
        }
        if (turn == PollTurn::AfterOthers) {
            PollYield yield;
            while (!yield.IsTurnLocked() && yield.Step(lock)) {
                if (ready()) {
                    return true;
                }
            }
            return ready();
        }
        deadline = WaitDeadline::After(1);
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
