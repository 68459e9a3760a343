#include "utilities/usefulcode/eventsource.h"
#include "utilities/usefulcode/ownerhandlerlist.h"
#include "utilities/usefulcode/tests/signaltesttarget.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using signaltest::Log;
using signaltest::Target;

// The two kinds of source behind one set of calls.
void Connect(EventSource<int>& source, Target* target, void (Target::*function)(int)) {
    source.Connect(target, function);
}
void Connect(SingleThreadedEventSource<int>& source, Target* target,
             void (Target::*function)(int)) {
    source.ConnectUnlocked(target, function);
}
void Disconnect(EventSource<int>& source, Target* target) {
    source.Disconnect(target);
}
void Disconnect(SingleThreadedEventSource<int>& source, Target* target) {
    source.DisconnectUnlocked(target);
}

enum class Destroyer { EarlierHandler, ItsOwnHandler, AfterDisconnecting, NestedFiring };

// A handler destroys a target while the source fires: the destroyed target is not called again,
// nothing refers to its freed handlers, and the firing goes on with the others.
template <class Source> void DestroyTargetWhileFiring(Destroyer destroyer, const Log& expected) {
    Log log;
    Target actor("x", &log);
    auto victim = std::make_unique<Target>("v", &log);
    Target bystander("y", &log);
    Source source;
    switch (destroyer) {
    case Destroyer::EarlierHandler:
        actor.act = [&](int) { victim.reset(); };
        break;
    case Destroyer::ItsOwnHandler:
        victim->act = [&](int) { victim.reset(); };
        break;
    case Destroyer::AfterDisconnecting: // queued for deletion first, then destroyed
        actor.act = [&](int) {
            Disconnect(source, victim.get());
            victim.reset();
        };
        break;
    case Destroyer::NestedFiring:
        actor.act = [&](int value) {
            if (value == 1) {
                source.Emit(2);
            } else {
                victim.reset();
            }
        };
        break;
    }
    Connect(source, &actor, &Target::OnAct);
    if (destroyer == Destroyer::ItsOwnHandler) {
        Connect(source, victim.get(), &Target::OnAct);
    }
    Connect(source, victim.get(), &Target::OnValue);
    Connect(source, &bystander, &Target::OnValue);
    Connect(source, victim.get(), &Target::OnOther);
    source.Emit(1);

    EXPECT_EQ(victim, nullptr);
    EXPECT_EQ(log, expected);
    EXPECT_EQ(source.GetHandlerCount(), 2U);
    EXPECT_FALSE(source.IsFiring());
    log.clear();
    actor.act = nullptr;
    source.Emit(3);
    EXPECT_EQ(log, (Log{"x.act:3", "y.value:3"}));
}

TEST(OwnerHandlerList, TargetDestroyedDuringAFiringLeavesNothingDangling) {
    const struct {
        Destroyer destroyer;
        Log expected;
    } cases[] = {
        {Destroyer::EarlierHandler, {"x.act:1", "y.value:1"}},
        {Destroyer::ItsOwnHandler, {"x.act:1", "v.act:1", "y.value:1"}},
        {Destroyer::AfterDisconnecting, {"x.act:1", "y.value:1"}},
        {Destroyer::NestedFiring, {"x.act:1", "x.act:2", "y.value:2", "y.value:1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.destroyer));
        DestroyTargetWhileFiring<EventSource<int>>(c.destroyer, c.expected);
        DestroyTargetWhileFiring<SingleThreadedEventSource<int>>(c.destroyer, c.expected);
    }
}

TEST(OwnerHandlerList, DestroyingTheTargetDetachesItFromEverySourceInOrder) {
    Log log;
    auto target = std::make_unique<Target>("a", &log);
    EventSource<int> first;
    EventSource<> second;
    SingleThreadedEventSource<int> third;
    first.Connect(target.get(), &Target::OnValue);
    second.Connect(target.get(), &Target::OnNothing);
    third.ConnectUnlocked(target.get(), &Target::OnOther);
    first.Connect(target.get(), &Target::OnOther);
    EXPECT_EQ(target->GetOwnerHandlerList().GetSize(), 4U);
    target.reset();
    EXPECT_EQ(first.GetHandlerCount() + second.GetHandlerCount() + third.GetHandlerCount(), 0U);
    first.Emit(1);
    second.Emit();
    third.Emit(1);
    EXPECT_TRUE(log.empty());
}

} // namespace
