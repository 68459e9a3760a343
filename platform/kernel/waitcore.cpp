#include "platform/kernel/detail/waitcore.h"

#include "platform/kernel/clockwaits.h"
#include "platform/kernel/time.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

namespace platform::detail {
namespace {

struct Core {
    std::mutex mutex;
    std::condition_variable condition;
    std::atomic<Clock*> clock{nullptr}; // null = host clock
    std::vector<WaitTimer*> timers;     // the timed waits in progress
    // Threads that left a timed wait on a stepped clock at its deadline and have not waited since.
    std::atomic<std::size_t> wokenByTheClock{0};
};

// Never destroyed: threads still running at process exit may wait or signal.
Core& TheCore() {
    static Core* core = new Core;
    return *core;
}

// Whether this thread counts in Core::wokenByTheClock; a thread that ends leaves the count.
struct WokenByTheClock {
    bool isCounted = false;

    void Set(bool counted) {
        if (counted != isCounted)
            counted ? ++TheCore().wokenByTheClock : --TheCore().wokenByTheClock;
        isCounted = counted;
    }
    ~WokenByTheClock() { Set(false); }
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

bool CountStartingThread() {
    if (InstalledClock().FollowsHostTime()) {
        return false;
    }
    ++TheCore().wokenByTheClock;
    return true;
}

void TakeStartingCount(bool isCounted) {
    t_wokenByTheClock.isCounted = isCounted;
}

void DropStartingCount(bool isCounted) {
    if (isCounted) {
        --TheCore().wokenByTheClock;
    }
}

void CountReleaseLocked(WaitBlock& block) {
    if (block.isCountedRelease || InstalledClock().FollowsHostTime()) {
        return;
    }
    block.isCountedRelease = true;
    ++TheCore().wokenByTheClock;
}

void TakeReleaseCount(const WaitBlock& block) {
    if (!block.isCountedRelease) {
        return;
    }
    // A wait that also reached its deadline counts its thread already.
    if (t_wokenByTheClock.isCounted) {
        --TheCore().wokenByTheClock;
    }
    t_wokenByTheClock.isCounted = true;
}

WaitTimer::WaitTimer(WaitDeadline deadline)
    : m_clock(&InstalledClock())
    , m_isInfinite(!deadline.isTick && deadline.value == INFINITE) {
    t_wokenByTheClock.Set(false);
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
    t_wokenByTheClock.Set(IsDueOnSteppedClock());
}

bool WaitTimer::IsDueOnSteppedClock() const {
    return !m_isInfinite && !m_clock->FollowsHostTime() && m_clock->TickMs() >= m_deadline;
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
    std::size_t count = core.wokenByTheClock.load() - (detail::t_wokenByTheClock.isCounted ? 1 : 0);
    for (const detail::WaitTimer* timer : core.timers) {
        if (timer->IsDueOnSteppedClock())
            ++count;
    }
    return count;
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
