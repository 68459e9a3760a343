#include "utilities/usefulcode/critsect.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(CritSect, CountsTheOwnersNestedEntries) {
    CritSect lock;
    EXPECT_EQ(lock.GetBusyCount(), 0U);
    lock.Enter();
    lock.Enter();
    EXPECT_EQ(lock.GetBusyCount(), 2U);
    lock.Leave();
    EXPECT_EQ(lock.GetBusyCount(), 1U);
    lock.Leave();
    EXPECT_EQ(lock.GetBusyCount(), 0U);
}

TEST(CritSect, LeaveByAThreadThatDoesNotOwnItIsIgnored) {
    CritSect lock;
    lock.Enter();
    std::thread([&lock] { lock.Leave(); }).join();
    EXPECT_EQ(lock.GetBusyCount(), 1U);
    bool otherEntered = false;
    lock.Leave();
    std::thread([&] {
        lock.Enter(); // free again: the stray leave did not unbalance it
        otherEntered = true;
        lock.Leave();
    }).join();
    EXPECT_TRUE(otherEntered);
}

TEST(ScopedLock, EntersForItsLifetimeAndMayLeaveEarly) {
    CritSect lock;
    {
        ScopedLock outer(&lock);
        EXPECT_EQ(lock.GetBusyCount(), 1U);
        {
            ScopedLock inner(&lock);
            EXPECT_EQ(lock.GetBusyCount(), 2U);
            inner.Unlock();
            EXPECT_EQ(lock.GetBusyCount(), 1U);
            inner.Unlock();
            EXPECT_EQ(lock.GetBusyCount(), 1U);
        }
        EXPECT_EQ(lock.GetBusyCount(), 1U);
    }
    EXPECT_EQ(lock.GetBusyCount(), 0U);
    ScopedLock none(nullptr); // no lock: nothing to do
}

TEST(LockHandle, StartsUnlockedAndLeavesWhenDestroyedLocked) {
    CritSect lock;
    {
        LockHandle handle(&lock);
        EXPECT_FALSE(handle.IsLocked());
        EXPECT_EQ(lock.GetBusyCount(), 0U);
        ILock& asInterface = handle;
        asInterface.Lock();
        asInterface.Lock(); // already locked: no second entry
        EXPECT_TRUE(handle.IsLocked());
        EXPECT_EQ(lock.GetBusyCount(), 1U);
        asInterface.Unlock();
        asInterface.Unlock();
        EXPECT_EQ(lock.GetBusyCount(), 0U);
        asInterface.Lock();
    }
    EXPECT_EQ(lock.GetBusyCount(), 0U);
    NullLock nothing;
    nothing.Lock();
    nothing.Unlock();
}

TEST(CritSect, ExcludesOtherThreads) {
    CritSect lock;
    long long total = 0;
    std::vector<std::thread> threads;
    threads.reserve(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                ScopedLock guard(&lock);
                ScopedLock nested(&lock);
                ++total;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(total, 80000);
}

} // namespace
