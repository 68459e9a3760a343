#include "utilities/mapgeometry/readerlock.h"
#include "utilities/mapgeometry/retrievalengineevents.h"
#include "utilities/usefulcode/ownerhandlerlist.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct EngineGroups {
    LockGroup readers;
    LockGroup loaders;
};

TEST(ReaderLock, GroupsNeverOverlapUnderManyThreads) {
    EngineGroups groups;
    std::atomic<int> readersInside{0};
    std::atomic<int> loadersInside{0};
    std::atomic<bool> didOverlap{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        const bool isLoader = t % 4 == 0;
        threads.emplace_back([&, isLoader] {
            for (int i = 0; i < 2000; ++i) {
                LockGroup& own = isLoader ? groups.loaders : groups.readers;
                LockGroup& other = isLoader ? groups.readers : groups.loaders;
                ReaderLockGuard guard(own, other);
                (isLoader ? loadersInside : readersInside).fetch_add(1);
                if (readersInside.load() != 0 && loadersInside.load() != 0) {
                    didOverlap = true;
                }
                (isLoader ? loadersInside : readersInside).fetch_sub(1);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_FALSE(didOverlap.load());
    EXPECT_EQ(groups.readers.count, 0u);
    EXPECT_EQ(groups.loaders.count, 0u);
}

TEST(ReaderLock, HeldGroupIsReenteredWhileTheOtherGroupWaits) {
    EngineGroups groups;
    std::atomic<bool> didLoad{false};
    ASSERT_TRUE(ReaderLock::Enter(groups.readers, groups.loaders));
    std::thread loader([&] {
        ReaderLockGuard guard(groups.loaders, groups.readers);
        didLoad = true;
    });
    // Nested entries of the held group get in although a loader is waiting.
    for (int depth = 0; depth < 3; ++depth) {
        ASSERT_TRUE(ReaderLock::Enter(groups.readers, groups.loaders));
    }
    EXPECT_EQ(groups.readers.count, 4u);
    EXPECT_FALSE(didLoad.load());
    for (int depth = 0; depth < 4; ++depth) {
        ReaderLock::Leave(groups.readers);
    }
    loader.join();
    EXPECT_TRUE(didLoad.load());
    EXPECT_EQ(groups.loaders.count, 0u);
}

TEST(ReaderLock, DoesNothingWhileNotAlive) {
    EngineGroups groups;
    ASSERT_TRUE(ReaderLock::Enter(groups.loaders, groups.readers));
    std::atomic<bool> didEnter{true};
    std::thread waiter([&] { didEnter = ReaderLock::Enter(groups.readers, groups.loaders); });
    ReaderLock::SetAlive(false); // releases the waiter without counting it in
    waiter.join();
    EXPECT_FALSE(didEnter.load());
    EXPECT_FALSE(ReaderLock::Enter(groups.readers, groups.loaders));
    ReaderLock::Leave(groups.loaders);
    EXPECT_EQ(groups.readers.count, 0u);
    EXPECT_EQ(groups.loaders.count, 1u);
    ReaderLock::SetAlive(true);
    ReaderLock::Leave(groups.loaders);
    EXPECT_EQ(groups.loaders.count, 0u);
}

class Engine : public RetrievalEngineEvents {};

struct Listener {
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnOpened() { ++opened; }
    void OnClosed() { ++closed; }
    OwnerHandlerList handlers;
    int opened = 0;
    int closed = 0;
};

TEST(RetrievalEngineEvents, FiresOpenedAndClosedToTheirConnections) {
    Engine engine;
    Listener listener;
    engine.Opened().ConnectUnlocked(&listener, &Listener::OnOpened);
    engine.Closed().ConnectUnlocked(&listener, &Listener::OnClosed);
    engine.NotifyOpened();
    engine.NotifyOpened();
    engine.NotifyClosed();
    EXPECT_EQ(listener.opened, 2);
    EXPECT_EQ(listener.closed, 1);
}

} // namespace
