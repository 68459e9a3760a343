#include "platform/kernel/detail/waitcore.h"

#include "platform/kernel/clockwaits.h"
#include "platform/kernel/time.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace platform::detail {
namespace {

struct Core {
    std::mutex mutex;
    std::condition_variable condition;
    std::atomic<Clock*> clock{nullptr}; // null = host clock
    std::vector<WaitTimer*> timers;     // the timed waits in progress
    // Threads that left a timed wait on a stepped clock at its deadline and have not waited since,
    // threads starting and threads an event released (each a count with the generation it was
    // counted in).
    std::atomic<std::size_t> wokenByTheClock{0};
    // Of those, the ones set aside (SetAsideWokenThreads): the counts of a generation before the
    // current one, and those of the threads that set-aside threads released. Under mutex.
    std::size_t setAside = 0;
    std::uint64_t generation = 1; // under mutex
};

// Never destroyed: threads still running at process exit may wait or signal.
Core& TheCore() {
    static Core* core = new Core;
    return *core;
}

// A count made in generation is set aside once a later generation has begun.
bool IsSetAsideGeneration(std::uint64_t generation) {
    return generation < TheCore().generation;
}

// Adds a count of the given generation, or takes it away, under KernelMutex.
void AddCountLocked(std::uint64_t generation) {
    ++TheCore().wokenByTheClock;
    if (IsSetAsideGeneration(generation))
        ++TheCore().setAside;
}

void DropCountLocked(std::uint64_t generation) {
    --TheCore().wokenByTheClock;
    if (IsSetAsideGeneration(generation))
        --TheCore().setAside;
}

// Whether this thread counts in Core::wokenByTheClock, and in which generation; a thread that
// ends leaves the count. Changed under KernelMutex.
struct WokenByTheClock {
    bool isCounted = false;
    std::uint64_t generation = 0;

    // Counts the thread in generation, or leaves the count.
    void Set(bool counted, std::uint64_t countedIn) {
        if (isCounted)
            DropCountLocked(generation);
        isCounted = counted;
        generation = countedIn;
        if (isCounted)
            AddCountLocked(generation);
    }
    void Leave() { Set(false, 0); }
    [[nodiscard]] bool IsSetAsideLocked() const {
        return isCounted && IsSetAsideGeneration(generation);
    }
    ~WokenByTheClock() {
        if (isCounted) {
            std::lock_guard lock(TheCore().mutex);
            Leave();
        }
    }
};

thread_local WokenByTheClock t_wokenByTheClock;

} // namespace

std::mutex& KernelMutex() {
    return TheCore().mutex;
}

std::condition_variable& KernelCondition() {
    return TheCore().condition;
}

Clock& InstalledClock() {
    Clock* clock = TheCore().clock.load(std::memory_order_acquire);
    return clock != nullptr ? *clock : HostClock();
}

void InstallClockLocked(Clock* clock) {
    for (WaitTimer* timer : TheCore().timers) {
        timer->RebaseLocked(*clock);
    }
    TheCore().clock.store(clock, std::memory_order_release);
    TheCore().condition.notify_all();
}

std::uint64_t CountStartingThread() {
    std::lock_guard lock(TheCore().mutex);
    if (InstalledClock().FollowsHostTime()) {
        return 0;
    }
    AddCountLocked(TheCore().generation);
    return TheCore().generation;
}

void TakeStartingCount(std::uint64_t count) {
    if (count != 0) {
        std::lock_guard lock(TheCore().mutex);
        // The count was made for this thread: it takes it over as it is.
        t_wokenByTheClock.isCounted = true;
        t_wokenByTheClock.generation = count;
    }
}

void DropStartingCount(std::uint64_t count) {
    if (count != 0) {
        std::lock_guard lock(TheCore().mutex);
        DropCountLocked(count);
    }
}

void CountReleaseLocked(WaitBlock& block) {
    if (block.isCountedRelease || InstalledClock().FollowsHostTime()) {
        return;
    }
    block.isCountedRelease = true;
    // The signalling thread runs here. A thread set aside keeps the work it sets off aside too:
    // what it releases counts in generation 0, before every setting aside.
    block.releaseGeneration = t_wokenByTheClock.IsSetAsideLocked() ? 0 : TheCore().generation;
    AddCountLocked(block.releaseGeneration);
}

void TakeReleaseCount(const WaitBlock& block) {
    if (!block.isCountedRelease) {
        return;
    }
    // A wait that also reached its deadline counts its thread already, as one the clock woke.
    if (t_wokenByTheClock.isCounted) {
        DropCountLocked(block.releaseGeneration);
        return;
    }
    t_wokenByTheClock.isCounted = true;
    t_wokenByTheClock.generation = block.releaseGeneration;
}

WaitTimer::WaitTimer(WaitDeadline deadline)
    : m_clock(&InstalledClock())
    , m_isInfinite(!deadline.isTick && deadline.value == INFINITE) {
    t_wokenByTheClock.Leave();
    if (m_isInfinite) {
        return;
    }
    const std::uint64_t now = m_clock->TickMs();
    if (deadline.isTick) {
        const auto ahead = static_cast<std::int32_t>(deadline.value - static_cast<DWORD>(now));
        m_deadline = now + static_cast<std::uint64_t>(std::max(ahead, std::int32_t{0}));
    } else {
        m_deadline = now + deadline.value;
    }
    TheCore().timers.push_back(this);
}

WaitTimer::~WaitTimer() {
    if (m_isInfinite) {
        return;
    }
    auto& timers = TheCore().timers;
    timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
    t_wokenByTheClock.Set(IsDueOnSteppedClock(), m_isSetAside ? 0 : TheCore().generation);
}

bool WaitTimer::IsDueOnSteppedClock() const {
    return !m_isInfinite && !m_clock->FollowsHostTime() && m_clock->TickMs() >= m_deadline;
}

bool WaitTimer::CountsAsWokenLocked() const {
    return !m_isSetAside && IsDueOnSteppedClock();
}

void WaitTimer::SetAsideLocked() {
    m_isSetAside = IsDueOnSteppedClock();
}

void WaitTimer::RebaseLocked(Clock& clock) {
    const std::uint64_t now = m_clock->TickMs();
    const std::uint64_t remaining = m_deadline > now ? m_deadline - now : 0;
    m_clock = &clock;
    m_deadline = clock.TickMs() + remaining;
}

bool WaitTimer::Step(std::unique_lock<std::mutex>& lock) {
    std::condition_variable& condition = TheCore().condition;
    if (m_isInfinite) {
        condition.wait(lock);
        return true;
    }
    const std::uint64_t now = m_clock->TickMs();
    if (now >= m_deadline) {
        return false;
    }
    if (m_clock->FollowsHostTime()) {
        condition.wait_for(lock, std::chrono::milliseconds(m_deadline - now));
    } else {
        condition.wait(lock);
    }
    return true;
}

} // namespace platform::detail

namespace platform {

Clock& CurrentClock() {
    return detail::InstalledClock();
}

std::size_t ThreadsWokenByTheClock() {
    std::lock_guard lock(detail::KernelMutex());
    if (detail::InstalledClock().FollowsHostTime()) {
        return 0;
    }
    const detail::Core& core = detail::TheCore();
    const detail::WokenByTheClock& caller = detail::t_wokenByTheClock;
    std::size_t count = core.wokenByTheClock.load() - core.setAside -
                        (caller.isCounted && !caller.IsSetAsideLocked() ? 1 : 0);
    for (const detail::WaitTimer* timer : core.timers) {
        if (timer->CountsAsWokenLocked())
            ++count;
    }
    return count;
}

void SetAsideWokenThreads() {
    std::lock_guard lock(detail::KernelMutex());
    if (detail::InstalledClock().FollowsHostTime()) {
        return;
    }
    detail::Core& core = detail::TheCore();
    for (detail::WaitTimer* timer : core.timers) {
        timer->SetAsideLocked();
    }
    // Every count now is set aside, but the calling thread's own: it begins the new generation.
    detail::WokenByTheClock& caller = detail::t_wokenByTheClock;
    const bool isCallerCounted = caller.isCounted;
    caller.Leave();
    ++core.generation;
    core.setAside = core.wokenByTheClock.load();
    if (isCallerCounted)
        caller.Set(true, core.generation);
}

void NotifyClockAdvanced() {
    std::lock_guard lock(detail::KernelMutex());
    detail::KernelCondition().notify_all();
}

ScopedClock::ScopedClock(Clock& clock) {
    std::lock_guard lock(detail::KernelMutex());
    m_previous = &detail::InstalledClock();
    detail::InstallClockLocked(&clock);
}

ScopedClock::~ScopedClock() {
    std::lock_guard lock(detail::KernelMutex());
    detail::InstallClockLocked(m_previous);
}

} // namespace platform
