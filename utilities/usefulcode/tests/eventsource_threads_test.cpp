#include "utilities/usefulcode/eventsource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

// A flag one thread waits on until another raises it.
class Gate {
public:
    void Open() {
        m_isOpen.store(true);
        m_isOpen.notify_all();
    }
    void Wait() const { m_isOpen.wait(false); }
    [[nodiscard]] bool IsOpen() const { return m_isOpen.load(); }

private:
    std::atomic<bool> m_isOpen{false};
};

class CountingTarget {
public:
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void OnValue(int /*value*/) {
        calls.fetch_add(1);
        if (isDisconnected.load()) {
            lateCalls.fetch_add(1);
        }
    }
    std::atomic<int> calls{0};
    std::atomic<bool> isDisconnected{false};
    std::atomic<int> lateCalls{0};

private:
    OwnerHandlerList m_handlers;
};

// Several threads fire one source while others connect, disconnect and destroy targets. Every
// firing reaches the permanent target once, and no target is called after its Disconnect
// returned (a sanitizer build also sees any call into a destroyed target).
TEST(EventSourceThreads, FiringsOnSeveralThreadsWithTargetsComingAndGoing) {
    constexpr int kFiringThreads = 4;
    constexpr int kFiringsPerThread = 3000;
    constexpr int kChurnThreads = 2;
    constexpr int kTargetsPerChurn = 400;
    EventSource<int> source;
    CountingTarget permanent;
    source.Connect(&permanent, &CountingTarget::OnValue);
    std::atomic<int> lateCalls{0};
    std::vector<std::thread> threads;
    threads.reserve(kFiringThreads + kChurnThreads);
    for (int t = 0; t < kFiringThreads; ++t) {
        threads.emplace_back([&source, t] {
            for (int i = 0; i < kFiringsPerThread; ++i) {
                source.Emit(t * kFiringsPerThread + i);
            }
        });
    }
    for (int t = 0; t < kChurnThreads; ++t) {
        threads.emplace_back([&source, &lateCalls, t] {
            for (int i = 0; i < kTargetsPerChurn; ++i) {
                auto target = std::make_unique<CountingTarget>();
                source.Connect(target.get(), &CountingTarget::OnValue);
                source.Connect(target.get(), &CountingTarget::OnValue);
                if ((i + t) % 2 == 0) {
                    source.Disconnect(target.get());
                    target->isDisconnected.store(true);
                    std::this_thread::yield();
                    lateCalls.fetch_add(target->lateCalls.load());
                }
                target.reset(); // the others leave through their handler list
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(permanent.calls.load(), kFiringThreads * kFiringsPerThread);
    EXPECT_EQ(lateCalls.load(), 0);
    EXPECT_EQ(source.GetHandlerCount(), 1U);
    EXPECT_FALSE(source.IsFiring());
}

// The firing thread is inside a handler of target A when another thread disconnects A (or
// destroys it). That thread must wait for the call to return, and A's later handler must not be
// called once it has gone on.
class BlockingTarget {
public:
    BlockingTarget(Gate* entered, Gate* release, std::atomic<bool>* finished,
                   std::atomic<bool>* isGone, std::atomic<int>* callsAfterGone)
        : m_entered(entered)
        , m_release(release)
        , m_finished(finished)
        , m_isGone(isGone)
        , m_callsAfterGone(callsAfterGone) {}
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void OnBlock(int /*value*/) {
        m_entered->Open();
        m_release->Wait();
        m_finished->store(true);
    }
    void OnLater(int /*value*/) {
        if (m_isGone->load()) {
            m_callsAfterGone->fetch_add(1);
        }
    }

private:
    Gate* m_entered;
    Gate* m_release;
    std::atomic<bool>* m_finished;
    std::atomic<bool>* m_isGone;
    std::atomic<int>* m_callsAfterGone;
    OwnerHandlerList m_handlers;
};

TEST(EventSourceThreads, TargetLeavingOnAnotherThreadWaitsForItsRunningHandler) {
    for (const bool byDestroying : {false, true}) {
        SCOPED_TRACE(byDestroying ? "target destroyed" : "target disconnected");
        Gate entered;
        Gate release;
        Gate aboutToLeave;
        std::atomic<bool> finished{false};
        std::atomic<bool> isGone{false};
        std::atomic<int> callsAfterGone{0};
        std::atomic<bool> sawFinished{false};
        EventSource<int> source;
        auto target = std::make_unique<BlockingTarget>(&entered, &release, &finished, &isGone,
                                                       &callsAfterGone);
        CountingTarget other;
        source.Connect(target.get(), &BlockingTarget::OnBlock);
        source.Connect(&other, &CountingTarget::OnValue);
        source.Connect(target.get(), &BlockingTarget::OnLater);

        std::thread firing([&source] { source.Emit(1); });
        entered.Wait();
        std::thread leaving([&] {
            aboutToLeave.Open();
            if (byDestroying) {
                target.reset();
            } else {
                source.Disconnect(target.get());
            }
            sawFinished.store(finished.load());
            isGone.store(true);
        });
        aboutToLeave.Wait();
        release.Open();
        leaving.join();
        firing.join();

        EXPECT_TRUE(sawFinished.load());
        EXPECT_EQ(callsAfterGone.load(), 0);
        EXPECT_EQ(other.calls.load(), 1);
        EXPECT_EQ(source.GetHandlerCount(), 1U);
    }
}

// Disconnecting a target whose handlers are not running does not wait for the firing (which
// would deadlock here), and the firing no longer calls it.
TEST(EventSourceThreads, DisconnectOfAnIdleTargetDuringAFiringDoesNotWaitForIt) {
    Gate entered;
    Gate release;
    std::atomic<bool> finished{false};
    std::atomic<bool> isGone{false};
    std::atomic<int> callsAfterGone{0};
    EventSource<int> source;
    BlockingTarget blocker(&entered, &release, &finished, &isGone, &callsAfterGone);
    CountingTarget idle;
    source.Connect(&blocker, &BlockingTarget::OnBlock);
    source.Connect(&idle, &CountingTarget::OnValue);

    std::thread firing([&source] { source.Emit(1); });
    entered.Wait();
    source.Disconnect(&idle);
    EXPECT_FALSE(finished.load());
    EXPECT_EQ(idle.GetOwnerHandlerList().GetSize(), 0U);
    EXPECT_TRUE(source.IsFiring());
    release.Open();
    firing.join();
    EXPECT_EQ(idle.calls.load(), 0);
    EXPECT_EQ(source.GetHandlerCount(), 1U);
}

// A connection from another thread waits for the firing in progress, so it is not called by it.
TEST(EventSourceThreads, ConnectFromAnotherThreadWaitsForTheFiring) {
    Gate entered;
    Gate release;
    Gate aboutToConnect;
    std::atomic<bool> finished{false};
    std::atomic<bool> isGone{false};
    std::atomic<int> callsAfterGone{0};
    EventSource<int> source;
    BlockingTarget blocker(&entered, &release, &finished, &isGone, &callsAfterGone);
    CountingTarget late;
    source.Connect(&blocker, &BlockingTarget::OnBlock);

    std::thread firing([&source] { source.Emit(1); });
    entered.Wait();
    std::thread connecting([&] {
        aboutToConnect.Open();
        source.Connect(&late, &CountingTarget::OnValue);
    });
    aboutToConnect.Wait();
    release.Open();
    connecting.join();
    firing.join();
    EXPECT_EQ(late.calls.load(), 0);
    EXPECT_EQ(source.GetHandlerCount(), 2U);
    source.Disconnect(&blocker);
    source.Emit(2);
    EXPECT_EQ(late.calls.load(), 1);
}

} // namespace
