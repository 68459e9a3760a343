// The navigation server following GPS demo drives on a generated grid, on the virtual clock:
// one position event per fix, advice along the route, no advice or re-route within 2000 ms of
// an automatic re-route, re-routing at once when the driver leaves the route, and the advice
// asked for at the current position.
#include "onboard/tests/serverworld.h"

#include <iostream>

namespace {

using namespace servertest;

// Route events of a log and the ticks of the automatic ones (after the first).
std::vector<EventLog::Entry> OfKind(const std::vector<EventLog::Entry>& entries, char kind) {
    std::vector<EventLog::Entry> out;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(out),
                 [&](const EventLog::Entry& e) { return e.kind == kind; });
    return out;
}

TEST(OnboardServerDrive, FollowsTheRouteWithOnePositionPerFixAndAdviceAlongIt) {
    ServerWorld w;
    ASSERT_TRUE(w.server);
    w.clock.Advance(5000); // past the quiet time after tick 0
    const RouteRequestResult route = w.Request(w.Driving(0, 1, 0.1), w.Destination(2, 3, 0.9));
    ASSERT_EQ(route.status, routestatus::kFound);
    const std::size_t fixes = w.Drive(route);
    ASSERT_GE(fixes, 10U);
    const std::vector<EventLog::Entry> entries = w.log.Entries();
    EXPECT_EQ(w.drivePositions, fixes);
    const std::vector<EventLog::Entry> advice = OfKind(entries, 'A');
    EXPECT_GE(advice.size(), 3U);
    for (const EventLog::Entry& a : advice) {
        EXPECT_EQ(a.status, 1U); // only valid advice is fired
    }
    // Every route event after the request is an automatic re-route; no advice follows one
    // within 2000 ms.
    DWORD lastReroute = 0;
    bool hasReroute = false;
    std::size_t reroutes = 0;
    std::size_t positionsOnRoute = 0;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const EventLog::Entry& e = entries[i];
        if (e.kind == 'R') {
            lastReroute = e.tick;
            hasReroute = true;
            ++reroutes;
        } else if (e.kind == 'A' && hasReroute) {
            EXPECT_GT(e.tick - lastReroute, 2000U);
        } else if (e.kind == 'P' && e.street != MatchedPosition::kNoStreet) {
            ++positionsOnRoute;
        }
    }
    EXPECT_GE(positionsOnRoute * 10, fixes * 9);
    // Re-routes at and after the destination, where the advisor has nothing valid to say: the
    // positions published after each re-route tell where it happened.
    std::cout << "[ re-routes during the drive: " << reroutes << " in " << fixes << " fixes;";
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].kind == 'R') {
            std::cout << " one "
                      << std::count_if(entries.begin() + static_cast<std::ptrdiff_t>(i),
                                       entries.end(),
                                       [](const EventLog::Entry& e) { return e.kind == 'P'; })
                      << " fixes before the end;";
        }
    }
    std::cout << " ]\n";
    RecordProperty("reroutes", static_cast<int>(reroutes));
}

TEST(OnboardServerDrive, LeavingTheRouteReroutesAtOnceThenStaysQuietFor2000Ms) {
    ServerWorld w;
    ASSERT_TRUE(w.server);
    w.clock.Advance(5000);
    // The route runs along the first row; the drive goes along the second.
    const RouteRequestResult route = w.Request(w.Driving(0, 1, 0.1), w.Destination(2, 3, 0.9));
    ASSERT_EQ(route.status, routestatus::kFound);
    const RouteRequestResult other = w.Request(w.Driving(4, 5, 0.1), w.Destination(6, 7, 0.9));
    ASSERT_EQ(other.status, routestatus::kFound);
    (void)w.Request(w.Driving(0, 1, 0.1), w.Destination(2, 3, 0.9));
    const std::size_t before = w.log.Entries().size();
    // Drives on until 10 positions came after the first re-route.
    std::size_t positionsAtReroute = 0;
    (void)w.Drive(other, [&] {
        if (positionsAtReroute == 0 && w.log.Count('R') > 3) {
            positionsAtReroute = w.log.Count('P');
        }
        return positionsAtReroute != 0 && w.log.Count('P') >= positionsAtReroute + 10;
    });
    const std::vector<EventLog::Entry> entries = w.log.Entries();
    ASSERT_GT(entries.size(), before);
    // The first matched position fired after the re-route that it caused.
    std::size_t reroute = before;
    while (reroute < entries.size() && entries[reroute].kind != 'R') {
        ++reroute;
    }
    ASSERT_LT(reroute + 1, entries.size());
    EXPECT_EQ(entries[reroute].status, routestatus::kFound);
    ASSERT_EQ(entries[reroute + 1].kind, 'P');
    EXPECT_EQ(entries[reroute + 1].tick, entries[reroute].tick);
    // The new route starts on the street the driver was matched to.
    const RouteRequestResult rerouted = w.log.LastRoute();
    const RouteIteratorPtr first = GetRouteIterator(rerouted);
    ASSERT_TRUE(first && first->IsValid());
    EXPECT_EQ(static_cast<std::int32_t>(first->Current().linkId), entries[reroute + 1].street);
    // On the new route: neither advice nor another re-route within 2000 ms, advice after.
    const DWORD at = entries[reroute].tick;
    std::size_t quiet = 0;
    std::size_t adviceAfter = 0;
    for (std::size_t i = reroute + 1; i < entries.size(); ++i) {
        const EventLog::Entry& e = entries[i];
        if (e.tick - at <= 2000) {
            EXPECT_EQ(e.kind, 'P') << "at " << e.tick - at << " ms";
            quiet += e.kind == 'P' && e.street == entries[reroute + 1].street ? 1 : 0;
        } else {
            adviceAfter += e.kind == 'A' ? 1 : 0;
        }
    }
    EXPECT_GE(quiet, 2U); // on-route positions did arrive in the quiet time
    EXPECT_GE(adviceAfter, 1U);
    EXPECT_EQ(OfKind(entries, 'R').size(), 4U);
}

TEST(OnboardServerDrive, AdviceAtThePositionNeedsAStreetAndAnAdvisor) {
    ServerWorld w;
    ASSERT_TRUE(w.server);
    w.clock.Advance(5000);
    AdvicePtr advice;
    // No advisor and no position yet.
    EXPECT_FALSE(w.server->GetAdviceAtPosition(advice));
    const RouteRequestResult route = w.Request(w.Driving(0, 1, 0.1), w.Destination(2, 3, 0.9));
    ASSERT_EQ(route.status, routestatus::kFound);
    // An advisor, but no matched street yet.
    EXPECT_FALSE(w.server->GetAdviceAtPosition(advice));
    // On the street of the route, with the replay still open: advice. Closing it first would
    // race: the serial receiver it switches back to publishes empty fixes, which leave no street.
    (void)w.Drive(
        route, [&] { return w.log.Count('A') >= 1; }, true);
    ASSERT_EQ(w.log.Count('A'), 1U);
    EXPECT_TRUE(w.server->GetAdviceAtPosition(advice));
    w.server->CloseAlternativeGps();
    // No route any more: no advisor.
    w.server->ClearRoute();
    EXPECT_FALSE(w.server->GetAdviceAtPosition(advice));
}

} // namespace
