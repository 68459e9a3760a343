// How the route service drives its searches: a request from the current position to the same
// destination reuses the persistent router's destination search, a cancelled calculation ends
// with status 0, and the service's options decide which destination candidate is taken.
#include "routing/routeservice.h"
#include "routing/tests/serviceworld.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <vector>

namespace {

using namespace servicetest;

// Every percentage reported.
class RecordingObserver final : public ProgressObserver {
public:
    bool IsCancelled() override {
        ++asked;
        return isCancelling;
    }
    void ReportProgress(std::int32_t percent) override { reports.push_back(percent); }

    bool isCancelling = false;
    int asked = 0;
    std::vector<std::int32_t> reports;
};

// A clock 300 ms further on at every look, so that the router asks its observer at every
// settled crossing. No waits run under it.
class SteppingClock final : public platform::Clock {
public:
    std::uint64_t TickMs() const override { return m_tick += 300; }
    std::uint64_t UtcFileTime() const override { return 125911584000000000ull; }
    int LocalOffsetMinutes(std::uint64_t) const override { return 0; }
    bool FollowsHostTime() const override { return false; }

private:
    mutable std::atomic<std::uint64_t> m_tick{0};
};

// 64 x 29 crossings about 150 m apart (about 9.5 x 4 km) on two levels: every seventh row and
// column reach level 1, and are faster.
constexpr std::uint32_t kRow = 14 * 64; // the first crossing of the middle row
ServiceWorld& LevelledWorld() {
    static const std::unique_ptr<ServiceWorld> world = [] {
        testdata::RoadWorld grid = testdata::RoadWorld::Grid(64, 29, 1000, kOrigin, 2);
        for (testdata::WorldLink& link : grid.links) {
            link.roadClass = link.level == 1 ? 3 : 6;
        }
        testdata::RoadNetworkOptions options;
        options.maps = 2;
        return MakeWorld(u"\\levelled", std::move(grid), options);
    }();
    return *world;
}

bool SameRoute(const RouteRequestResult& a, const RouteRequestResult& b) {
    const std::vector<RouteRecord> x = Walk(a);
    const std::vector<RouteRecord> y = Walk(b);
    if (x.size() != y.size() || a.length != b.length || a.travelTime != b.travelTime) {
        return false;
    }
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (x[i].linkId != y[i].linkId || x[i].length != y[i].length ||
            x[i].polyline != y[i].polyline) {
            return false;
        }
    }
    return true;
}

TEST(RouteServiceReuse, ASecondRequestToTheSameDestinationReusesItsSearch) {
    ServiceWorld& w = LevelledWorld();
    ASSERT_TRUE(w.service);
    // A frozen clock: the router reports nothing on its own before the route is found, so a
    // report before 100 % is the saved search's, handed on when it is reused.
    platform::VirtualClock clock;
    const platform::ScopedClock installed(clock);
    const RoutePositionPtr destination = w.Position(kRow + 55, kRow + 56, 0.5);
    const RoutePositionPtr elsewhere = w.Position(kRow + 54, kRow + 55, 0.5);
    struct Case {
        const char* name;
        bool allowReuse;
        bool isSameDestination;
        bool isReused;
    };
    const Case cases[] = {
        {"same destination", true, true, true},
        {"reuse not allowed", false, true, false},
        {"another destination", true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RouteServicePtr service = CreateRouteService(w.engine);
        ASSERT_TRUE(service);
        ASSERT_TRUE(service->OpenNetwork(w.Net()));
        // About 8 km along the middle row, which is on level 1.
        RecordingObserver first;
        const RouteRequestResult before = service->RequestRouteFromCurrentPosition(
            w.Driving(kRow + 2, kRow + 3, 0.5), destination, true, &first, -1);
        ASSERT_EQ(before.status, routestatus::kFound);
        EXPECT_EQ(first.reports, std::vector<std::int32_t>{100});

        // Two crossings further on.
        const MatchedPosition here = w.Driving(kRow + 4, kRow + 5, 0.5);
        const RoutePositionPtr to = c.isSameDestination ? destination : elsewhere;
        RecordingObserver second;
        const RouteRequestResult after =
            service->RequestRouteFromCurrentPosition(here, to, c.allowReuse, &second, -1);
        ASSERT_EQ(after.status, routestatus::kFound);
        const std::vector<std::int32_t> reports =
            c.isReused ? std::vector<std::int32_t>{0, 100} : std::vector<std::int32_t>{100};
        EXPECT_EQ(second.reports, reports);

        const RouteServicePtr fresh = CreateRouteService(w.engine);
        ASSERT_TRUE(fresh);
        ASSERT_TRUE(fresh->OpenNetwork(w.Net()));
        const RouteRequestResult expected =
            fresh->RequestRouteFromCurrentPosition(here, to, true, nullptr, -1);
        ASSERT_EQ(expected.status, routestatus::kFound);
        EXPECT_TRUE(SameRoute(after, expected));
    }
}

TEST(RouteServiceCancel, ACancelledCalculationGivesStatusZeroAndNoRoute) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    ASSERT_TRUE(w.service->OpenNetwork(w.Net()));
    SteppingClock clock;
    const platform::ScopedClock installed(clock);
    const RoutePositionPtr start = w.Position(0, 1, 0.5);
    const RoutePositionEntry near = *w.Position(10, 11, 0.5)->Begin();
    const RoutePositionEntry far = *w.Position(2, 3, 0.5)->Begin();
    const auto single = std::make_shared<ScriptedPosition>(std::vector{near});
    const auto several = std::make_shared<ScriptedPosition>(std::vector{near, far});
    struct Case {
        const char* name;
        int request; // 0 between positions, 1 from the current position
        RoutePositionPtr destination;
    };
    const Case cases[] = {
        {"one destination candidate", 0, single},
        {"several destination candidates", 0, several},
        {"from the current position", 1, single},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingObserver observer;
        observer.isCancelling = true;
        const RouteRequestResult result =
            c.request == 0 ? w.service->RequestRoute(start, c.destination, &observer)
                           : w.service->RequestRouteFromCurrentPosition(
                                 w.Driving(1, 2, 0.5), c.destination, true, &observer, -1);
        EXPECT_EQ(result.status, routestatus::kCancelled);
        EXPECT_FALSE(result.route);
        EXPECT_EQ(result.destination, c.destination);
        // Asked once: the first calculation ends it, no candidate or retry follows.
        EXPECT_EQ(observer.asked, 1);
        EXPECT_TRUE(observer.reports.empty());
    }
}

TEST(RouteServiceRequest, TheOptionsDecideWhichDestinationCandidateIsTaken) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    const RouteServicePtr service = CreateRouteService(w.engine);
    ASSERT_TRUE(service);
    ASSERT_TRUE(service->OpenNetwork(w.Net()));
    // Link 1-2 closed: the way to the candidate on 2-3 goes round a block (4 links) and is
    // longer than the way to the one on 6-7 (3 links); with the flags ignored it is 2 links.
    const std::vector<std::uint32_t> keys = {w.ElementBetween(1, 2) | 0x80000000u};
    ASSERT_TRUE(service->AddFlaggedElementSpeed(keys, 0));
    const RoutePositionPtr start = w.Position(0, 1, 0.5);
    const RoutePositionEntry beyond = *w.Position(2, 3, 0.5)->Begin();
    const RoutePositionEntry above = *w.Position(6, 7, 0.5)->Begin();
    struct Case {
        const char* name;
        std::uint8_t useAnnotations;
        std::vector<RoutePositionEntry> order;
        const RoutePositionEntry* chosen;
    };
    const Case cases[] = {
        {"flags count", 1, {beyond, above}, &above},
        {"flags count, other order", 1, {above, beyond}, &above},
        {"flags ignored", 0, {beyond, above}, &beyond},
        {"flags ignored, other order", 0, {above, beyond}, &beyond},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExternalRouteOptions options = *service->GetOptions();
        options.useAnnotations = c.useAnnotations;
        service->SetOptions(&options);
        const RouteRequestResult expected = service->RequestRoute(
            start, std::make_shared<ScriptedPosition>(std::vector{*c.chosen}), nullptr);
        ASSERT_EQ(expected.status, routestatus::kFound);
        const RouteRequestResult result =
            service->RequestRoute(start, std::make_shared<ScriptedPosition>(c.order), nullptr);
        ASSERT_EQ(result.status, routestatus::kFound);
        EXPECT_TRUE(SameRoute(result, expected));
        const std::vector<RouteRecord> records = Walk(result);
        ASSERT_FALSE(records.empty());
        ASSERT_FALSE(records.back().polyline.empty());
        EXPECT_LT(GeoDistance(records.back().polyline.back(), c.chosen->point), 1.0);
    }
}

} // namespace
