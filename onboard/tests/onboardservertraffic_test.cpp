// Traffic and the road ahead on the navigation server: the TMC receiver made and run once, a
// replayed closure on the route flagging its roads and announced 60 s later, routes around it
// until avoidance is switched off, and the road ahead avoided on request.
#include "onboard/onboardserverimpl.h"
#include "onboard/tests/serverworld.h"
#include "onboard/traffichandler.h"
#include "utilities/usefulcode/greatcircledistance.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using namespace servertest;
using namespace std::chrono_literals;

bool Drives(const RouteRequestResult& result, std::uint32_t element) {
    for (RouteIteratorPtr it = GetRouteIterator(result); it && it->IsValid(); it->Next()) {
        if (it->Current().linkId == element) {
            return true;
        }
    }
    return false;
}

template <class Test> bool WaitUntil(Test test, int tries = 500) {
    for (int i = 0; i < tries; ++i) {
        if (test()) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// A closure of the second link of the grid's first row: from the line's third point back to its
// second.
std::string ClosureReplay() {
    testdata::AlertCMessage m;
    m.event = kClosureEvent;
    m.location = (kFirstPointCode + 2) % 100000;
    m.extent = 1;
    testdata::AlertCEncoder encoder;
    encoder.AddTable(m.programmeId, 1);
    return encoder.AddMessage(m).Build();
}

TEST(OnboardServerTraffic, ClosureOnTheRouteIsAnnouncedAndAvoidedUntilSwitchedOff) {
    ServerWorld w;
    ASSERT_TRUE(w.server);
    const std::uint32_t closed = w.World().ElementBetween(1, 2);
    const auto route = [&] { return w.Request(w.Driving(0, 1, 0.1), w.Destination(2, 3, 0.9)); };
    const RouteRequestResult plain = route();
    ASSERT_EQ(plain.status, routestatus::kFound);
    ASSERT_TRUE(Drives(plain, closed));

    // The receiver and its thread are made once.
    const six::RefCntPtr<TmcReceiver> receiver = w.server->GetTmcReceiver();
    ASSERT_TRUE(receiver);
    EXPECT_EQ(w.server->GetTmcReceiver().Get(), receiver.Get());
    ASSERT_TRUE(WaitUntil([&] { return receiver->IsWaiting(); })); // its loop runs
    ASSERT_TRUE(w.root.WriteFile(u"\\closure.txt", ClosureReplay()));
    receiver->SetReplayRate(1.0F);
    ASSERT_TRUE(receiver->OpenReplayFile(u"\\closure.txt"));
    const six::RefCntPtr<TmcMessageStore> store = w.server->GetTmcMessageStore();
    for (int i = 0; i < 20 && store->GetCount() == 0; ++i) {
        w.clock.Advance(500);
        (void)WaitUntil([&] { return store->GetCount() > 0; }, 20);
    }
    ASSERT_EQ(store->GetCount(), 1U);
    receiver->SetReplayRate(0.0F);
    (void)receiver->OpenReplayFile(u"\\missing.txt"); // the replay ends
    const DWORD received = GetTickCount();
    EXPECT_EQ(w.log.Count('T'), 0U);
    w.clock.Advance(TrafficHandler::kNotifyDelayMs - 1000);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(w.log.Count('T'), 0U);
    w.clock.Advance(2000);
    ASSERT_TRUE(w.log.WaitFor('T', 1));
    const std::vector<EventLog::Entry> entries = w.log.Entries();
    const auto traffic = std::find_if(entries.begin(), entries.end(),
                                      [](const EventLog::Entry& e) { return e.kind == 'T'; });
    EXPECT_GE(traffic->tick - received, TrafficHandler::kNotifyDelayMs - 1000);

    // The next route goes around the closed road; without avoidance it takes it again.
    const RouteRequestResult around = route();
    ASSERT_EQ(around.status, routestatus::kFound);
    EXPECT_FALSE(Drives(around, closed));
    w.server->EnableTrafficAvoidance(false);
    EXPECT_TRUE(Drives(route(), closed));
    w.server->EnableTrafficAvoidance(true);
    EXPECT_FALSE(Drives(route(), closed));
}

TEST(OnboardServerTraffic, RoadAheadIsFlaggedWithinTheDistanceAndReplannedOnRequest) {
    ServerWorld w(6, 3);
    ASSERT_TRUE(w.server);
    w.clock.Advance(5000);
    const auto request = [&] { return w.Request(w.Driving(0, 1, 0.1), w.Destination(4, 5, 0.9)); };
    const RouteRequestResult route = request();
    ASSERT_EQ(route.status, routestatus::kFound);
    (void)w.Drive(
        route, [&] { return w.log.CountMatched() >= 3; }, true);
    // The records after the one the driver is on.
    std::int32_t street = MatchedPosition::kNoStreet;
    for (const EventLog::Entry& e : w.log.Entries()) {
        street = e.kind == 'P' && e.street != MatchedPosition::kNoStreet ? e.street : street;
    }
    std::vector<std::uint32_t> ahead;
    bool isPast = false;
    for (RouteIteratorPtr it = GetRouteIterator(route); it && it->IsValid(); it->Next()) {
        if (isPast) {
            ahead.push_back(it->Current().linkId | 0x80000000U);
        }
        isPast = isPast || static_cast<std::int32_t>(it->Current().linkId) == street;
    }
    ASSERT_GE(ahead.size(), 3U);
    struct Case {
        std::int32_t distance;
        std::vector<std::uint32_t> keys;
    };
    const Case cases[] = {
        {0, {}},
        {1, {}}, // the rest of the driver's road is longer
        {100000, ahead},
        {0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distance);
        const std::size_t events = w.log.Entries().size();
        const std::vector<std::uint32_t>* keys = w.server->AvoidRoadAhead(c.distance, false);
        ASSERT_NE(keys, nullptr);
        EXPECT_EQ(*keys, c.keys);
        EXPECT_EQ(w.log.Entries().size(), events); // nothing fired without re-planning
    }
    // Flagged ahead, the new route leaves the row; re-planning fires the route and its advice.
    const std::size_t routes = w.log.Count('R');
    (void)w.server->AvoidRoadAhead(100000, true);
    ASSERT_EQ(w.log.Count('R'), routes + 1);
    const RouteRequestResult replanned = w.log.LastRoute();
    EXPECT_EQ(replanned.status, routestatus::kFound);
    EXPECT_FALSE(Drives(replanned, ahead.front() & 0x7FFFFFFFU));
    const std::vector<EventLog::Entry> entries = w.log.Entries();
    EXPECT_EQ(entries.back().kind, 'A');
    // D = 0 only removes the flags: the next route takes the row again.
    EXPECT_TRUE(w.server->AvoidRoadAhead(0, false)->empty());
    EXPECT_TRUE(Drives(request(), ahead.front() & 0x7FFFFFFFU));
}

TEST(OnboardServerTraffic, DistanceToTheElementEndRunsInTheDirectionOfTravel) {
    const std::vector<GeoPoint> points = {{8.0F, 47.0F}, {8.001F, 47.0F}, {8.002F, 47.0F}};
    const auto at = [&](GeoPoint matched, GeoPoint from, GeoPoint to) {
        MatchedPosition p{};
        p.matched = matched;
        p.segmentStart = from;
        p.segmentEnd = to;
        return Onboard::OnboardServerImpl::DistanceToElementEnd(p, points);
    };
    const double segment = GreatCircleDistance(8.0, 47.0, 8.001, 47.0);
    const double half = GreatCircleDistance(8.0005, 47.0, 8.001, 47.0);
    struct Case {
        const char* name;
        double metres;
        double expected;
    };
    const Case cases[] = {
        {"forward from mid first", at({8.0005F, 47.0F}, points[0], points[1]), half + segment},
        {"backward from mid first", at({8.0005F, 47.0F}, points[1], points[0]),
         GreatCircleDistance(8.0005, 47.0, 8.0, 47.0)},
        {"forward from the second", at({8.0015F, 47.0F}, points[1], points[2]),
         GreatCircleDistance(8.0015, 47.0, 8.002, 47.0)},
        {"backward from the second", at({8.0015F, 47.0F}, points[2], points[1]),
         GreatCircleDistance(8.0015, 47.0, 8.001, 47.0) + segment},
        {"segment not on the element", at({8.0005F, 47.0F}, {9.0F, 9.0F}, {9.1F, 9.0F}), 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(c.metres, c.expected, 0.5) << c.name;
    }
    MatchedPosition none{};
    EXPECT_EQ(Onboard::OnboardServerImpl::DistanceToElementEnd(none, {}), 0.0);
}

} // namespace

namespace {

TEST(TmcReceiverRunner, RefusesAnotherReceiverWhileItsThreadRuns) {
    testdata::TempDeviceRoot root;
    Onboard::TmcReceiverRunner runner;
    EXPECT_FALSE(runner.Start()); // no receiver
    const six::RefCntPtr<TmcReceiver> first = CreateTmcReceiver();
    const six::RefCntPtr<TmcReceiver> second = CreateTmcReceiver();
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(runner.SetReceiver(first));
    ASSERT_TRUE(runner.Start());
    EXPECT_TRUE(runner.IsRunning());
    ASSERT_TRUE(WaitUntil([&] { return first->IsWaiting(); }));
    EXPECT_FALSE(runner.SetReceiver(second));
    ASSERT_TRUE(runner.Start()); // stops the running thread first
    runner.Stop();
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_FALSE(first->IsWaiting());
    EXPECT_TRUE(runner.SetReceiver(second));
    runner.Stop(); // nothing runs: returns at once
}

} // namespace
