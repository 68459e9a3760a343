#include "platform/kernel/detail/waitcore.h"

#include "platform/kernel/clockwaits.h"
#include "platform/kernel/time.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::detail {
namespace {

struct Core {
    std::mutex mutex;
    std::condition_variable condition;
    std::atomic<Clock*> clock{nullptr};   // null = host clock
    std::vector<WaitTimer*> timers;       // the timed waits in progress
    std::vector<std::thread::id> waiting; // the threads in a wait (WaitTimer)
    // Threads that left a timed wait on a stepped clock at its deadline and have not waited since,
    // threads starting and threads an event released.
    std::atomic<std::size_t> wokenByTheClock{0};
    // Under mutex: of those, the program threads; the program threads waiting for their turn
    // (PollYield), by their order, and how many of them are counted.
    std::size_t programThreadsWoken = 0;
    std::vector<std::uint64_t> yielding;
    std::size_t countedYielding = 0;
};

// Never destroyed: threads still running at process exit may wait or signal.
Core& TheCore() {
    static Core* core = new Core;
    return *core;
}

// Adds a count, or takes one away, under KernelMutex. A program thread that no longer works may
// give another its turn.
void AddCountLocked(bool isProgramThread) {
    ++TheCore().wokenByTheClock;
    if (isProgramThread)
        ++TheCore().programThreadsWoken;
}

void DropCountLocked(bool isProgramThread) {
    Core& core = TheCore();
    --core.wokenByTheClock;
    if (isProgramThread) {
        --core.programThreadsWoken;
        if (!core.yielding.empty())
            core.condition.notify_all();
    }
}

// The calling thread: whether it counts in Core::wokenByTheClock (a thread that ends leaves the
// count), whether it is a program thread, and its polls at the tick of its last one. Changed
// under KernelMutex.
struct ThisThread {
    bool isCounted = false;
    bool isProgramThread = false;
    std::uint64_t order = 0;
    std::uint64_t pollTick = 0;
    unsigned polls = 0;

    void SetCounted(bool counted) {
        if (counted == isCounted)
            return;
        counted ? AddCountLocked(isProgramThread) : DropCountLocked(isProgramThread);
        isCounted = counted;
    }
    ~ThisThread() {
        if (isCounted) {
            std::lock_guard lock(TheCore().mutex);
            SetCounted(false);
        }
    }
};

thread_local ThisThread t_thisThread;

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

StartingThread CountStartingThread(bool isProgramThread, std::uint64_t order) {
    std::lock_guard lock(TheCore().mutex);
    StartingThread start{false, isProgramThread, order};
    if (!InstalledClock().FollowsHostTime()) {
        AddCountLocked(isProgramThread);
        start.isCounted = true;
    }
    return start;
}

void TakeStartingCount(const StartingThread& start) {
    std::lock_guard lock(TheCore().mutex);
    // The count was made for this thread: it takes it over as it is.
    t_thisThread.isCounted = start.isCounted;
    t_thisThread.isProgramThread = start.isProgramThread;
    t_thisThread.order = start.order;
}

void DropStartingCount(const StartingThread& start) {
    if (start.isCounted) {
        std::lock_guard lock(TheCore().mutex);
        DropCountLocked(start.isProgramThread);
    }
}

bool IsProgramThread() {
    return t_thisThread.isProgramThread;
}

void CountReleaseLocked(WaitBlock& block) {
    if (block.isCountedRelease || InstalledClock().FollowsHostTime()) {
        return;
    }
    block.isCountedRelease = true;
    AddCountLocked(block.isProgramThread);
}

void TakeReleaseCount(const WaitBlock& block) {
    if (!block.isCountedRelease) {
        return;
    }
    // A wait that also reached its deadline counts its thread already, as one the clock woke.
    if (t_thisThread.isCounted) {
        DropCountLocked(block.isProgramThread);
        return;
    }
    t_thisThread.isCounted = true;
}

void DropMissedReleaseLocked(WaitBlock& block) {
    if (block.isCountedRelease) {
        block.isCountedRelease = false;
        DropCountLocked(block.isProgramThread);
    }
}

PollTurn TakePollTurnLocked() {
    ThisThread& thread = t_thisThread;
    const Clock& clock = InstalledClock();
    if (!thread.isProgramThread || clock.FollowsHostTime()) {
        return PollTurn::Now;
    }
    const std::uint64_t tick = clock.TickMs();
    if (tick != thread.pollTick) {
        thread.pollTick = tick;
        thread.polls = 0;
    }
    return ++thread.polls > kPollsPerTick ? PollTurn::AfterClockMove : PollTurn::AfterOthers;
}

PollYield::PollYield()
    : m_order(t_thisThread.order)
    , m_isCounted(t_thisThread.isCounted)
    , m_giveUp(std::chrono::steady_clock::now() + kTurnLimit) {
    Core& core = TheCore();
    core.yielding.push_back(m_order);
    if (m_isCounted)
        ++core.countedYielding;
    // This thread no longer works: the turn may be another's.
    core.condition.notify_all();
}

PollYield::~PollYield() {
    Core& core = TheCore();
    core.yielding.erase(std::find(core.yielding.begin(), core.yielding.end(), m_order));
    if (m_isCounted)
        --core.countedYielding;
    core.condition.notify_all();
}

bool PollYield::IsTurnLocked() const {
    const Core& core = TheCore();
    if (InstalledClock().FollowsHostTime()) {
        return true;
    }
    // Counted program threads that do not wait for their turn are at work, and so are those
    // whose timed wait has reached its deadline.
    if (core.programThreadsWoken != core.countedYielding) {
        return false;
    }
    for (const WaitTimer* timer : core.timers) {
        if (timer->IsProgramThreads() && timer->IsDueOnSteppedClock())
            return false;
    }
    return m_order == *std::min_element(core.yielding.begin(), core.yielding.end());
}

bool PollYield::Step(std::unique_lock<std::mutex>& lock) {
    (void)TheCore().condition.wait_until(lock, m_giveUp);
    return std::chrono::steady_clock::now() < m_giveUp;
}

WaitTimer::WaitTimer(WaitDeadline deadline)
    : m_clock(&InstalledClock())
    , m_isInfinite(!deadline.isTick && deadline.value == INFINITE)
    , m_isProgramThread(t_thisThread.isProgramThread) {
    t_thisThread.SetCounted(false);
    TheCore().waiting.push_back(std::this_thread::get_id());
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
    auto& waiting = TheCore().waiting;
    waiting.erase(std::find(waiting.begin(), waiting.end(), std::this_thread::get_id()));
    if (m_isInfinite) {
        return;
    }
    auto& timers = TheCore().timers;
    timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
    t_thisThread.SetCounted(IsDueOnSteppedClock());
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
    std::size_t count = core.wokenByTheClock.load() - (detail::t_thisThread.isCounted ? 1 : 0);
    for (const detail::WaitTimer* timer : core.timers) {
        if (timer->IsDueOnSteppedClock())
            ++count;
    }
    return count;
}

bool IsThreadWaiting(std::thread::id thread) {
    std::lock_guard lock(detail::KernelMutex());
    const auto& waiting = detail::TheCore().waiting;
    return std::find(waiting.begin(), waiting.end(), thread) != waiting.end();
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
