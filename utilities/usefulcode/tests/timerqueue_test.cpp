#include "utilities/usefulcode/timerqueue.h"

#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Generous wall-time guard for waits on the waiter thread; a correct queue needs microseconds.
constexpr auto kGuard = std::chrono::seconds(10);

// Records which labels fired, in order, and on which thread.
class FireLog {
public:
    void Record(std::uintptr_t label) {
        std::lock_guard lock(m_mutex);
        m_labels.push_back(label);
        m_threads.insert(std::this_thread::get_id());
        m_changed.notify_all();
    }
    // True when at least count labels have fired within the guard time.
    [[nodiscard]] bool WaitForCount(std::size_t count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kGuard, [&] { return m_labels.size() >= count; });
    }
    [[nodiscard]] std::vector<std::uintptr_t> Labels() {
        std::lock_guard lock(m_mutex);
        return m_labels;
    }
    [[nodiscard]] bool FiredOn(std::thread::id thread) {
        std::lock_guard lock(m_mutex);
        return m_threads.count(thread) != 0;
    }

    static void Fire(void* log, std::uintptr_t label) { static_cast<FireLog*>(log)->Record(label); }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::uintptr_t> m_labels;
    std::set<std::thread::id> m_threads;
};

class TimerQueueTest : public ::testing::Test {
protected:
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    FireLog m_log;

    DWORD Add(TimerQueue& queue, DWORD delayMs, std::uintptr_t label) {
        const DWORD id = queue.AddTimer(&m_log, delayMs, &FireLog::Fire, label);
        EXPECT_NE(id, 0u);
        return id;
    }
};

using Labels = std::vector<std::uintptr_t>;

TEST_F(TimerQueueTest, DelayZeroFiresAtOnceOnTheWaiterThread) {
    TimerQueue queue;
    EXPECT_EQ(Add(queue, 0, 7), 1u) << "the first id of a queue is 1";
    ASSERT_TRUE(m_log.WaitForCount(1));
    EXPECT_EQ(m_log.Labels(), Labels{7});
    EXPECT_FALSE(m_log.FiredOn(std::this_thread::get_id()));
}

TEST_F(TimerQueueTest, FiresInDueOrderAsTheClockReachesEachEntry) {
    TimerQueue queue;
    Add(queue, 300, 300);
    Add(queue, 100, 100);
    Add(queue, 200, 200);
    const struct {
        std::uint64_t advanceMs;
        Labels fired;
    } steps[] = {{99, {}}, {1, {100}}, {100, {100, 200}}, {100, {100, 200, 300}}};
    for (const auto& step : steps) {
        m_clock.Advance(step.advanceMs);
        if (!step.fired.empty()) {
            ASSERT_TRUE(m_log.WaitForCount(step.fired.size()));
        }
        EXPECT_EQ(m_log.Labels(), step.fired) << "at tick " << m_clock.TickMs();
    }
}

// A clock that, once armed, moves to a tick right after its next reading: so a move lands between
// the waiter's reading of the clock and the start of its wait. It counts its readings, so that a
// test can see the waiter settle into its wait.
class ClockMovingAfterARead final : public platform::Clock {
public:
    [[nodiscard]] std::uint64_t TickMs() const override {
        std::lock_guard lock(m_mutex);
        ++m_readings;
        const std::uint64_t tick = m_tickMs;
        if (m_movesTo) {
            m_tickMs = *std::exchange(m_movesTo, std::nullopt);
        }
        return tick;
    }
    [[nodiscard]] std::uint64_t UtcFileTime() const override { return 0; }
    [[nodiscard]] int LocalOffsetMinutes(std::uint64_t) const override { return 0; }
    [[nodiscard]] bool FollowsHostTime() const override { return false; }

    void MoveToAfterNextReading(std::uint64_t tick) {
        std::lock_guard lock(m_mutex);
        m_movesTo = tick;
    }
    // Returns once nobody has read the clock for a while.
    void AwaitQuiet() const {
        for (std::uint64_t seen = ~0ull;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::lock_guard lock(m_mutex);
            if (std::exchange(seen, m_readings) == m_readings) {
                return;
            }
        }
    }

private:
    mutable std::mutex m_mutex;
    mutable std::uint64_t m_tickMs = 0;
    mutable std::optional<std::uint64_t> m_movesTo;
    mutable std::uint64_t m_readings = 0;
};

TEST_F(TimerQueueTest, AClockMoveJustBeforeTheWaiterWaitsDoesNotDelayAnEntry) {
    ClockMovingAfterARead clock;
    platform::ScopedClock installed(clock);
    TimerQueue queue;
    Add(queue, 100, 1);
    clock.AwaitQuiet(); // the waiter waits for the entry's tick
    clock.MoveToAfterNextReading(100);
    queue.Cancel(0); // the waiter wakes, reads the clock, which then moves, and waits again
    ASSERT_TRUE(m_log.WaitForCount(1));
    EXPECT_EQ(m_log.Labels(), Labels{1});
}

TEST_F(TimerQueueTest, EntriesWithTheSameDueTickFireInOnePassInAddOrder) {
    TimerQueue queue;
    Add(queue, 100, 1);
    Add(queue, 100, 2);
    Add(queue, 100, 3);
    m_clock.Advance(100);
    ASSERT_TRUE(m_log.WaitForCount(3));
    EXPECT_EQ(m_log.Labels(), (Labels{1, 2, 3}));
}

TEST_F(TimerQueueTest, CancelledEntryNeverFires) {
    TimerQueue queue;
    Add(queue, 100, 1);
    const DWORD cancelled = Add(queue, 100, 2);
    Add(queue, 200, 3);
    queue.Cancel(cancelled);
    queue.Cancel(9999); // unknown ids change nothing
    m_clock.Advance(200);
    ASSERT_TRUE(m_log.WaitForCount(2));
    EXPECT_EQ(m_log.Labels(), (Labels{1, 3}));
}

TEST_F(TimerQueueTest, CancellingTheOnlyEntryLeavesTheQueueUsable) {
    TimerQueue queue;
    const DWORD only = Add(queue, 100, 1);
    queue.Cancel(only);
    m_clock.Advance(1000);
    EXPECT_EQ(Add(queue, 0, 2), only + 1);
    ASSERT_TRUE(m_log.WaitForCount(1));
    EXPECT_EQ(m_log.Labels(), Labels{2});
}

TEST_F(TimerQueueTest, RescheduleMovesTheDueTimeAndReportsUnknownIds) {
    TimerQueue queue;
    const DWORD later = Add(queue, 100, 1);   // moved to 500
    const DWORD earlier = Add(queue, 800, 2); // moved to 50
    Add(queue, 100, 3);                       // proves that tick 100 has been handled
    EXPECT_TRUE(queue.Reschedule(later, 500));
    EXPECT_TRUE(queue.Reschedule(earlier, 50));
    EXPECT_FALSE(queue.Reschedule(9999, 1));

    m_clock.Advance(50);
    ASSERT_TRUE(m_log.WaitForCount(1));
    EXPECT_EQ(m_log.Labels(), Labels{2});
    m_clock.Advance(50);
    ASSERT_TRUE(m_log.WaitForCount(2));
    EXPECT_EQ(m_log.Labels(), (Labels{2, 3})) << "the old due time of a moved entry passes";
    m_clock.Advance(400);
    ASSERT_TRUE(m_log.WaitForCount(3));
    EXPECT_EQ(m_log.Labels(), (Labels{2, 3, 1}));
    EXPECT_FALSE(queue.Reschedule(later, 10)) << "a fired entry is gone";
}

TEST_F(TimerQueueTest, FailedRescheduleLeavesOtherEntriesAlone) {
    TimerQueue queue;
    Add(queue, 100, 1);
    Add(queue, 99, 2);
    EXPECT_FALSE(queue.Reschedule(12345, 0));
    m_clock.Advance(99);
    ASSERT_TRUE(m_log.WaitForCount(1));
    EXPECT_EQ(m_log.Labels(), Labels{2});
    m_clock.Advance(1);
    ASSERT_TRUE(m_log.WaitForCount(2));
    EXPECT_EQ(m_log.Labels(), (Labels{2, 1}));
}

// A callback that re-arms itself from the waiter thread, and checks that its own entry is gone.
struct Repeater {
    TimerQueue* queue = nullptr;
    FireLog* log = nullptr;
    DWORD ownId = 0;
    int remaining = 3;
    bool couldRescheduleItself = false;
    void OnTimer(std::uintptr_t round) {
        couldRescheduleItself = couldRescheduleItself || queue->Reschedule(ownId, 100);
        if (--remaining > 0) {
            ownId = queue->AddTimer(this, 100, &Repeater::OnTimer, round + 1);
        }
        log->Record(round);
    }
};

TEST_F(TimerQueueTest, CallbackCanReArmItselfFromTheWaiterThread) {
    TimerQueue queue;
    Repeater repeater{&queue, &m_log};
    repeater.ownId = queue.AddTimer(&repeater, 100, &Repeater::OnTimer, 1);
    for (std::size_t round = 1; round <= 3; ++round) {
        m_clock.Advance(100);
        ASSERT_TRUE(m_log.WaitForCount(round));
    }
    m_clock.Advance(1000);
    Add(queue, 0, 99); // everything before this has been handled once it fires
    ASSERT_TRUE(m_log.WaitForCount(4));
    EXPECT_EQ(m_log.Labels(), (Labels{1, 2, 3, 99}));
    EXPECT_FALSE(repeater.couldRescheduleItself) << "a firing entry has left the queue";
}

// Two entries due together: the first one's callback cancels or moves the second.
struct Meddler {
    TimerQueue* queue = nullptr;
    FireLog* log = nullptr;
    DWORD victim = 0;
    bool doesCancel = true;
    void OnTimer(std::uintptr_t label) {
        if (doesCancel) {
            queue->Cancel(victim);
        } else {
            EXPECT_TRUE(queue->Reschedule(victim, 300));
        }
        log->Record(label);
    }
};

TEST_F(TimerQueueTest, CallbackCanCancelOrMoveAnEntryDueInTheSamePass) {
    for (const bool doesCancel : {true, false}) {
        SCOPED_TRACE(doesCancel ? "cancel" : "reschedule");
        FireLog log;
        TimerQueue queue;
        Meddler meddler{&queue, &log, 0, doesCancel};
        ASSERT_NE(queue.AddTimer(&meddler, 100, &Meddler::OnTimer, 1), 0u);
        meddler.victim = queue.AddTimer(&log, 100, &FireLog::Fire, 2);
        ASSERT_NE(queue.AddTimer(&log, 200, &FireLog::Fire, 3), 0u);
        m_clock.Advance(100); // entry 1 fires at tick 100 and moves entry 2 to 400
        ASSERT_TRUE(log.WaitForCount(1));
        m_clock.Advance(100);
        ASSERT_TRUE(log.WaitForCount(2));
        m_clock.Advance(200);
        ASSERT_TRUE(log.WaitForCount(doesCancel ? 2 : 3));
        ASSERT_NE(queue.AddTimer(&log, 0, &FireLog::Fire, 4), 0u);
        ASSERT_TRUE(log.WaitForCount(doesCancel ? 3 : 4));
        EXPECT_EQ(log.Labels(), doesCancel ? (Labels{1, 3, 4}) : (Labels{1, 3, 2, 4}));
    }
}

// The shape of a message store: it changes its timers under its own lock, and its expiry
// callback takes that lock. Neither side may wait for the other.
struct LockingStore {
    std::mutex lock;
    std::mutex stateMutex;
    std::condition_variable changed;
    bool hasEntered = false;
    int expired = 0;
    void OnExpiry(std::uintptr_t) {
        {
            std::lock_guard state(stateMutex);
            hasEntered = true;
        }
        changed.notify_all();
        std::lock_guard held(lock);
        std::lock_guard state(stateMutex);
        ++expired;
        changed.notify_all();
    }
};

TEST_F(TimerQueueTest, ChangesUnderALockThatTheRunningCallbackWaitsForDoNotHang) {
    TimerQueue queue;
    LockingStore store;
    std::unique_lock storeLock(store.lock);
    ASSERT_NE(queue.AddTimer(&store, 0, &LockingStore::OnExpiry, 0), 0u);
    const DWORD other = queue.AddTimer(&store, 500, &LockingStore::OnExpiry, 0);
    {
        std::unique_lock state(store.stateMutex);
        ASSERT_TRUE(store.changed.wait_for(state, kGuard, [&] { return store.hasEntered; }));
    }
    // The callback is now blocked on the store's lock, which this thread holds.
    queue.Cancel(other);
    const DWORD added = queue.AddTimer(&store, 0, &LockingStore::OnExpiry, 0);
    EXPECT_NE(added, 0u);
    EXPECT_TRUE(queue.Reschedule(added, 10));
    storeLock.unlock();

    m_clock.Advance(10);
    std::unique_lock state(store.stateMutex);
    EXPECT_TRUE(store.changed.wait_for(state, kGuard, [&] { return store.expired == 2; }));
    state.unlock();
    m_clock.Advance(1000);
    Add(queue, 0, 1);
    ASSERT_TRUE(m_log.WaitForCount(1));
    state.lock();
    EXPECT_EQ(store.expired, 2) << "the cancelled entry never fired";
}

// Counts the callbacks released without firing.
struct Released : TimerCallback {
    explicit Released(int* count)
        : count(count) {}
    ~Released() override { ++*count; }
    void Invoke() override { ADD_FAILURE() << "a released entry fired"; }
    int* count;
};

TEST_F(TimerQueueTest, DestructionAndClearReleasePendingEntriesWithoutFiring) {
    for (const bool isCleared : {false, true}) {
        SCOPED_TRACE(isCleared ? "clear" : "destruction");
        int released = 0;
        {
            TimerQueue queue;
            for (DWORD delay : {100u, 200u, 300u}) {
                ASSERT_NE(queue.AddTimer(delay, std::make_unique<Released>(&released)), 0u);
            }
            if (isCleared) {
                queue.Clear();
                EXPECT_EQ(released, 3);
                // Still usable: a timer added after the clear fires.
                (void)Add(queue, 50, 7);
                m_clock.Advance(50);
                ASSERT_TRUE(m_log.WaitForCount(1));
                EXPECT_EQ(m_log.Labels(), Labels{7});
            }
        }
        EXPECT_EQ(released, 3);
        m_clock.Advance(1000);
    }
}

struct SelfDestroyer {
    TimerQueue* queue = nullptr;
    FireLog* log = nullptr;
    std::shared_future<void> go;
    void OnTimer(std::uintptr_t label) {
        go.wait();
        delete queue;
        queue = nullptr;
        log->Record(label);
    }
};

TEST_F(TimerQueueTest, CallbackMayDestroyItsOwnQueue) {
    std::promise<void> go;
    auto* queue = new TimerQueue;
    SelfDestroyer destroyer{queue, &m_log, go.get_future().share()};
    ASSERT_NE(queue->AddTimer(&destroyer, 0, &SelfDestroyer::OnTimer, 5), 0u);
    ASSERT_NE(queue->AddTimer(&destroyer, 0, &SelfDestroyer::OnTimer, 6), 0u);
    go.set_value(); // the first callback now destroys the queue with the second entry in it
    ASSERT_TRUE(m_log.WaitForCount(1));
    EXPECT_EQ(m_log.Labels(), Labels{5}) << "the second entry was released with the queue";
}

TEST_F(TimerQueueTest, DueTicksOrderCorrectlyAcrossTheSignedAndUnsignedWrap) {
    for (const std::uint64_t start : {0x7FFFFFFFull - 50, 0xFFFFFFFFull - 50}) {
        SCOPED_TRACE(start);
        m_clock.SetTick(start);
        FireLog log;
        TimerQueue queue;
        ASSERT_NE(queue.AddTimer(&log, 100, &FireLog::Fire, 2), 0u); // due after the wrap
        ASSERT_NE(queue.AddTimer(&log, 30, &FireLog::Fire, 1), 0u);  // due before it
        m_clock.Advance(30);
        ASSERT_TRUE(log.WaitForCount(1));
        EXPECT_EQ(log.Labels(), Labels{1});
        m_clock.Advance(69);
        ASSERT_NE(queue.AddTimer(&log, 0, &FireLog::Fire, 3), 0u);
        ASSERT_TRUE(log.WaitForCount(2));
        EXPECT_EQ(log.Labels(), (Labels{1, 3})) << "entry 2 is not due before its time";
        m_clock.Advance(1);
        ASSERT_TRUE(log.WaitForCount(3));
        EXPECT_EQ(log.Labels(), (Labels{1, 3, 2}));
    }
}

TEST_F(TimerQueueTest, HugeDelaysAreCappedInsteadOfFiringAtOnce) {
    TimerQueue queue;
    Add(queue, INFINITE, 1);
    Add(queue, 10, 2);
    m_clock.Advance(10);
    ASSERT_TRUE(m_log.WaitForCount(1));
    EXPECT_EQ(m_log.Labels(), Labels{2});
    m_clock.Advance(TimerQueue::kMaxDelayMs - 10);
    ASSERT_TRUE(m_log.WaitForCount(2));
    EXPECT_EQ(m_log.Labels(), (Labels{2, 1}));
}

// Holds the waiter thread inside its callback until the test lets it go.
struct Blocker {
    std::promise<void> entered;
    std::shared_future<void> go;
    FireLog* log = nullptr;
    void OnTimer(std::uintptr_t label) {
        entered.set_value();
        go.wait();
        log->Record(label);
    }
};

// While a slow callback runs, an entry becomes overdue and another one is added with the longest
// delay. The overdue one must still come first: were the two due ticks 2^31 ms or more apart,
// their signed difference would turn over and the new entry would hide the overdue one for weeks.
TEST_F(TimerQueueTest, OverdueEntryStaysAheadOfOneAddedWithTheLongestDelay) {
    std::promise<void> go;
    Blocker blocker;
    blocker.go = go.get_future().share();
    blocker.log = &m_log;
    TimerQueue queue;
    ASSERT_NE(queue.AddTimer(&blocker, 0, &Blocker::OnTimer, 1), 0u);
    blocker.entered.get_future().wait();
    Add(queue, 10, 2);
    m_clock.Advance(12); // entry 2 is 2 ms overdue while the waiter is busy
    Add(queue, INFINITE, 3);
    go.set_value();
    ASSERT_TRUE(m_log.WaitForCount(2));
    EXPECT_EQ(m_log.Labels(), (Labels{1, 2}));
}

TEST_F(TimerQueueTest, ConcurrentCallersFireEveryUncancelledEntryOnce) {
    TimerQueue queue;
    constexpr std::uintptr_t kThreads = 4;
    constexpr std::uintptr_t kPerThread = 50;
    std::vector<std::thread> callers;
    callers.reserve(kThreads);
    std::mutex cancelledMutex;
    std::set<std::uintptr_t> cancelled;
    for (std::uintptr_t t = 0; t < kThreads; ++t) {
        callers.emplace_back([&, t] {
            for (std::uintptr_t i = 0; i < kPerThread; ++i) {
                const std::uintptr_t label = t * kPerThread + i;
                const DWORD id = queue.AddTimer(&m_log, 100, &FireLog::Fire, label);
                if (i % 5 == 0) {
                    queue.Cancel(id);
                    std::lock_guard lock(cancelledMutex);
                    cancelled.insert(label);
                }
            }
        });
    }
    for (auto& caller : callers) {
        caller.join();
    }
    const std::size_t expected = kThreads * kPerThread - cancelled.size();
    m_clock.Advance(100);
    ASSERT_TRUE(m_log.WaitForCount(expected));
    const Labels fired = m_log.Labels();
    const std::set<std::uintptr_t> distinct(fired.begin(), fired.end());
    EXPECT_EQ(fired.size(), expected);
    EXPECT_EQ(distinct.size(), expected);
    for (const auto label : cancelled) {
        EXPECT_EQ(distinct.count(label), 0u) << label;
    }
}

} // namespace
