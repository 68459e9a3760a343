#include "six/tests/allocationprobe.h"
#include "utilities/usefulcode/eventsource.h"
#include "utilities/usefulcode/tests/signaltesttarget.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace {

using signaltest::Log;
using signaltest::Target;

TEST(EventSource, CallsConnectionsInConnectionOrderWithTheValue) {
    Log log;
    Target a("a", &log);
    Target b("b", &log);
    EventSource<int> source;
    source.Connect(&a, &Target::OnValue);
    source.Connect(&b, &Target::OnValue);
    source.Connect(&a, &Target::OnOther);
    source.Emit(7);
    EXPECT_EQ(log, (Log{"a.value:7", "b.value:7", "a.other:7"}));
    EXPECT_EQ(source.GetHandlerCount(), 3U);
    EXPECT_EQ(a.GetOwnerHandlerList().GetSize(), 2U);
    EXPECT_FALSE(source.IsFiring());
}

struct KeyEvent {
    std::uint32_t virtualKey;
    std::uint32_t keyData;
    bool* handled;
};

// Values of several words reach the bound function unchanged.
class MultiWordTarget {
public:
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void OnFrequency(int frequency, int quality, int station) {
        seen = {frequency, quality, station};
    }
    void OnKey(KeyEvent key) {
        keys.push_back(key.virtualKey * 1000 + key.keyData);
        *key.handled = true;
    }
    std::vector<int> seen;
    std::vector<std::uint32_t> keys;

private:
    OwnerHandlerList m_handlers;
};

TEST(EventSource, PassesMultiWordValuesAndRecords) {
    MultiWordTarget target;
    EventSource<int, int, int> frequency;
    SingleThreadedEventSource<KeyEvent> keys;
    frequency.Connect(&target, &MultiWordTarget::OnFrequency);
    keys.ConnectUnlocked(&target, &MultiWordTarget::OnKey);
    frequency.Emit(875, -3, 12);
    bool handled = false;
    keys.Emit(KeyEvent{0x26, 5, &handled});
    EXPECT_EQ(target.seen, (std::vector<int>{875, -3, 12}));
    EXPECT_EQ(target.keys, (std::vector<std::uint32_t>{0x26 * 1000 + 5}));
    EXPECT_TRUE(handled);
}

TEST(EventSource, FiringWithoutConnectionsOnlySetsAndClearsTheFlag) {
    EventSource<> source;
    SingleThreadedEventSource<> local;
    source.Emit();
    local.Emit();
    EXPECT_FALSE(source.IsFiring());
    EXPECT_FALSE(local.IsFiring());
    EXPECT_EQ(source.GetHandlerCount(), 0U);
}

TEST(EventSource, SameFunctionTwiceIsCalledTwiceAndOneDisconnectRemovesBoth) {
    Log log;
    Target a("a", &log);
    Target other("o", &log);
    EventSource<> source;
    source.Connect(&a, &Target::OnNothing);
    source.Connect(&other, &Target::OnNothing);
    source.Connect(&a, &Target::OnNothing);
    source.Emit();
    EXPECT_EQ(log, (Log{"a.nothing:0", "o.nothing:0", "a.nothing:0"}));

    source.Disconnect(&a);
    EXPECT_EQ(a.GetOwnerHandlerList().GetSize(), 0U);
    EXPECT_EQ(source.GetHandlerCount(), 1U);
    Target stranger("s", &log);
    source.Disconnect(&stranger); // no connection: nothing happens
    source.Disconnect(static_cast<Target*>(nullptr));
    log.clear();
    source.Emit();
    EXPECT_EQ(log, (Log{"o.nothing:0"}));
}

// A handler disconnects a target during the walk: that target's later handlers are still
// called by this firing, all of them are deleted when it ends, and the next firing calls none.
TEST(EventSource, DisconnectWhileFiringDefersDeletionToTheEndOfTheFiring) {
    const struct {
        const char* name;
        bool byTargetItself;
    } cases[] = {{"another target's handler disconnects", false},
                 {"the target disconnects itself", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Log log;
        Target actor("x", &log);
        Target victim("t", &log);
        Target bystander("y", &log);
        EventSource<int> source;
        Target& disconnecting = c.byTargetItself ? victim : actor;
        disconnecting.act = [&](int) {
            source.Disconnect(&victim);
            source.Disconnect(&victim); // twice in one firing: deleted once
            // Still linked until the firing ends.
            EXPECT_EQ(victim.GetOwnerHandlerList().GetSize(), c.byTargetItself ? 3U : 2U);
            EXPECT_TRUE(source.IsFiring());
        };
        source.Connect(&actor, &Target::OnAct);
        if (c.byTargetItself) {
            source.Connect(&victim, &Target::OnAct);
        }
        source.Connect(&victim, &Target::OnValue);
        source.Connect(&bystander, &Target::OnValue);
        source.Connect(&victim, &Target::OnOther);
        source.Emit(1);
        if (c.byTargetItself) {
            EXPECT_EQ(log, (Log{"x.act:1", "t.act:1", "t.value:1", "y.value:1", "t.other:1"}));
        } else {
            EXPECT_EQ(log, (Log{"x.act:1", "t.value:1", "y.value:1", "t.other:1"}));
        }
        EXPECT_EQ(victim.GetOwnerHandlerList().GetSize(), 0U);
        EXPECT_EQ(source.GetHandlerCount(), 2U);
        EXPECT_FALSE(source.IsFiring());
        log.clear();
        disconnecting.act = nullptr;
        source.Emit(2);
        EXPECT_EQ(log, (Log{"x.act:2", "y.value:2"}));
    }
}

TEST(EventSource, HandlerConnectedWhileFiringIsCalledInTheSameFiring) {
    Log log;
    Target actor("x", &log);
    Target late("z", &log);
    EventSource<int> source;
    actor.act = [&](int value) {
        if (value == 1) {
            source.Connect(&late, &Target::OnValue);
        }
    };
    source.Connect(&actor, &Target::OnAct);
    source.Emit(1);
    source.Emit(2);
    EXPECT_EQ(log, (Log{"x.act:1", "z.value:1", "x.act:2", "z.value:2"}));
}

TEST(EventSource, DestroyingTheSourceFirstDisconnectsItsTargets) {
    Log log;
    auto target = std::make_unique<Target>("a", &log);
    Target other("b", &log);
    EventSource<int> kept;
    kept.Connect(target.get(), &Target::OnOther);
    {
        EventSource<int> source;
        source.Connect(target.get(), &Target::OnValue);
        source.Connect(&other, &Target::OnValue);
        source.Connect(target.get(), &Target::OnValue);
        EXPECT_EQ(target->GetOwnerHandlerList().GetSize(), 3U);
    }
    EXPECT_EQ(target->GetOwnerHandlerList().GetSize(), 1U);
    EXPECT_EQ(other.GetOwnerHandlerList().GetSize(), 0U);
    target.reset(); // touches no freed handler
    EXPECT_EQ(kept.GetHandlerCount(), 0U);
    kept.Emit(3);
    EXPECT_TRUE(log.empty());
}

TEST(EventSource, DestroyingTheTargetFirstRemovesItsConnectionsFromEverySource) {
    Log log;
    auto target = std::make_unique<Target>("a", &log);
    Target other("b", &log);
    EventSource<int> source;
    SingleThreadedEventSource<int> local;
    source.Connect(target.get(), &Target::OnValue);
    source.Connect(&other, &Target::OnValue);
    local.ConnectUnlocked(target.get(), &Target::OnOther);
    target.reset();
    EXPECT_EQ(source.GetHandlerCount(), 1U);
    EXPECT_EQ(local.GetHandlerCount(), 0U);
    source.Emit(4);
    local.Emit(4);
    EXPECT_EQ(log, (Log{"b.value:4"}));
}

// The bound function belongs to a base that does not lie at the start of the target.
class Listener {
public:
    virtual ~Listener() = default;
    void OnHeard(int value) {
        heardBy = this;
        heard = value;
    }
    const Listener* heardBy = nullptr;
    int heard = 0;
};

class Page : public Target, public Listener {
public:
    explicit Page(Log* log)
        : Target("page", log) {}
};

TEST(EventSource, CallsABaseClassFunctionOnThatBaseInsideTheTarget) {
    Log log;
    Page page(&log);
    ASSERT_NE(static_cast<const void*>(static_cast<Listener*>(&page)),
              static_cast<const void*>(&page));
    EventSource<int> source;
    source.Connect(&page, &Listener::OnHeard);
    source.Connect(&page, &Target::OnValue);
    source.Emit(9);
    EXPECT_EQ(page.heardBy, static_cast<Listener*>(&page));
    EXPECT_EQ(page.heard, 9);
    EXPECT_EQ(log, (Log{"page.value:9"}));
    // Disconnecting through a pointer to another base finds the same connections.
    source.Disconnect(static_cast<Target*>(&page));
    EXPECT_EQ(source.GetHandlerCount(), 0U);
}

// A handler fires its own source again. The disconnection made in the inner firing takes effect
// when the outermost one ends; the flag stays up until then.
TEST(EventSource, NestedFiringKeepsTheFlagAndTheDeferredDeletions) {
    Log log;
    Target actor("x", &log);
    Target victim("t", &log);
    EventSource<int> source;
    bool wasFiringAfterInner = false;
    actor.act = [&](int value) {
        if (value == 1) {
            source.Emit(2);
            wasFiringAfterInner = source.IsFiring();
        } else if (value == 2) {
            source.Disconnect(&victim);
        }
    };
    source.Connect(&actor, &Target::OnAct);
    source.Connect(&victim, &Target::OnValue);
    source.Emit(1);
    EXPECT_EQ(log, (Log{"x.act:1", "x.act:2", "t.value:2", "t.value:1"}));
    EXPECT_TRUE(wasFiringAfterInner);
    EXPECT_FALSE(source.IsFiring());
    EXPECT_EQ(victim.GetOwnerHandlerList().GetSize(), 0U);
    log.clear();
    source.Emit(3);
    EXPECT_EQ(log, (Log{"x.act:3"}));
}

TEST(SingleThreadedEventSource, ConnectsDisconnectsAndDefersLikeALockedSource) {
    Log log;
    Target actor("x", &log);
    Target victim("t", &log);
    SingleThreadedEventSource<int> source;
    actor.act = [&](int value) {
        if (value == 1) {
            source.DisconnectUnlocked(&victim);
        }
    };
    source.ConnectUnlocked(&actor, &Target::OnAct);
    source.ConnectUnlocked(&victim, &Target::OnValue);
    source.Emit(1);
    source.Emit(2);
    EXPECT_EQ(log, (Log{"x.act:1", "t.value:1", "x.act:2"}));
    EXPECT_EQ(victim.GetOwnerHandlerList().GetSize(), 0U);

    EventSource<int> locked; // the unlocked operations of a locked source
    locked.ConnectUnlocked(&victim, &Target::OnOther);
    locked.Emit(5);
    locked.DisconnectUnlocked(&victim);
    locked.Emit(6);
    EXPECT_EQ(log.back(), "t.other:5");
    EXPECT_EQ(locked.GetHandlerCount(), 0U);
}

TEST(EventSource, FailedAllocationsConnectNothing) {
    if (!probe::AllocationScope::IsAvailable()) {
        GTEST_SKIP() << "allocation probe not available in this build";
    }
    Log log;
    Target target("a", &log);
    {
        EventSource<int> source;
        {
            probe::AllocationScope scope(1); // the handler
            source.Connect(&target, &Target::OnValue);
            EXPECT_EQ(scope.GetFailures(), 1U);
        }
        EXPECT_EQ(source.GetHandlerCount(), 0U);
        EXPECT_EQ(target.GetOwnerHandlerList().GetSize(), 0U);
        source.Emit(1);
    }
    {
        probe::AllocationScope scope(2); // both bodies
        EventSource<int> noBody;
        SingleThreadedEventSource<int> noLocalBody;
        EXPECT_EQ(scope.GetFailures(), 2U);
        EXPECT_FALSE(noBody.HasBody());
        EXPECT_FALSE(noLocalBody.HasBody());
        noLocalBody.ConnectUnlocked(&target, &Target::OnValue);
        noLocalBody.Emit(2);
        noBody.Connect(&target, &Target::OnValue);
        noBody.Emit(2);
        noBody.Disconnect(&target);
        EXPECT_EQ(target.GetOwnerHandlerList().GetSize(), 0U);
        EXPECT_TRUE(noBody.CreateBody());
        noBody.Connect(&target, &Target::OnValue);
        noBody.Emit(3);
    }
    EXPECT_EQ(log, (Log{"a.value:3"}));
}

} // namespace
