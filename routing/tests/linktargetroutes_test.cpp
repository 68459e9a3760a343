// Calculations that come out the same: the router with the network's link target tables and
// without them, after another network or other options and in a fresh router.
#include "routing/tests/routeidentity.h"
#include "routing/tests/routerfixture.h"
#include "testdata/randomworld.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// On generated worlds of one and three levels, with list-4 data, turn tables and list-2 items or
// merged upper links, in mapped and in cached stores, a router that reads the link target
// tables and one that reads every target record give the same code, records, totals, settled
// and heap counts and progress reports for every pair, also when reusing the saved search.
TEST(RouterLinkTargets, CalculateAsReadingEveryTargetRecord) {
    const struct {
        const char* name;
        std::uint32_t levels;
        std::uint32_t routeType;
        std::uint32_t travelMode;
        bool isCached;
    } cases[] = {
        {"one level, quickest, mode 1", 1, 1, 1, false},
        {"one level, mixed, mode 2", 1, 2, 2, false},
        {"three levels, shortest, mode 1", 3, 0, 1, false},
        {"three levels, quickest, archived stores", 3, 1, 1, true},
    };
    if (!MemoryArena::Shared().HoldsMemory()) {
        ASSERT_TRUE(MemoryArena::Shared().Reserve(4u << 20));
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        routingtest::SetFreeMemory(2u << 20);
        testdata::RandomWorldOptions worldOptions;
        worldOptions.seed = 61;
        worldOptions.columns = 60;
        worldOptions.rows = 60;
        worldOptions.levels = c.levels;
        if (c.levels == 1) {
            worldOptions.list4Percent = 20;
            worldOptions.turnTablePercent = 20;
            worldOptions.listItemPercent = 20;
        }
        const testdata::RandomWorld random = testdata::MakeRandomWorld(worldOptions);
        testdata::RoadNetworkOptions network = testdata::RandomWorldNetworkOptions(random, true);
        network.pageSize = 4096;
        network.isArchived = c.isCached;
        network.separated = {c.isCached, c.isCached, c.isCached};
        RouteOptions options;
        options.routeType = c.routeType;
        options.travelMode = c.travelMode;
        auto routed = routingtest::MakeRouterWorld(random.world, options, network);
        ASSERT_TRUE(routed->IsReady());
        ASSERT_NE(routed->written->network->GetLinkTargetTable(0), nullptr);
        RouterCore reading;
        reading.SetNetwork(routed->router->GetNetwork());
        reading.SetOptions(options);
        reading.SetLinkTargetTableUse(false);
        const routingtest::RouteOracle oracle(routed->world, options);
        routingtest::PlaceDraw draw(routed->world, 17);
        int routes = 0;
        for (int pair = 0; pair < 24; ++pair) {
            const auto places = draw.Pair(pair % 2 == 0);
            if (!places) {
                continue;
            }
            SCOPED_TRACE(pair);
            CalculationFlags flags;
            flags.allowReuse = pair % 3 == 2 ? 1 : 0;
            const RoutePositionEntry start = oracle.Entry(places->first);
            const RoutePositionEntry destination = oracle.Entry(places->second);
            const auto fast =
                routingtest::CalculateOutcome(*routed->router, start, destination, flags);
            const auto read = routingtest::CalculateOutcome(reading, start, destination, flags);
            EXPECT_EQ(routingtest::OutcomeDifference(fast, read), "");
            routes += fast.result == 6 ? 1 : 0;
        }
        EXPECT_GT(routes, 12);
    }
    platform::OverrideMemoryStatus(std::nullopt);
}

// A router that climbed on one network and is then given another (the first one still open)
// calculates on the new one as a router that never saw the first: nothing it keeps from
// climb to climb or link to link still looks at the old network.
TEST(RouterLinkTargets, AnotherNetworkIsSearchedAfresh) {
    if (!MemoryArena::Shared().HoldsMemory()) {
        ASSERT_TRUE(MemoryArena::Shared().Reserve(4u << 20));
    }
    routingtest::SetFreeMemory(2u << 20);
    RouteOptions options;
    options.routeType = 1;
    options.travelMode = 1;
    std::unique_ptr<routingtest::RouterWorld> worlds[2];
    for (std::uint32_t i = 0; i < 2; ++i) {
        testdata::RandomWorldOptions worldOptions;
        worldOptions.seed = 71 + i;
        worldOptions.columns = 120 + 10 * i; // about 18 km: pairs 5 km apart search level 1
        worldOptions.rows = 30;
        worldOptions.levels = 3;
        const testdata::RandomWorld random = testdata::MakeRandomWorld(worldOptions);
        worlds[i] = routingtest::MakeRouterWorld(random.world, options,
                                                 testdata::RandomWorldNetworkOptions(random, true));
        ASSERT_TRUE(worlds[i]->IsReady());
    }
    RouterCore& switched = *worlds[0]->router;
    RouterCore& fresh = *worlds[1]->router;
    const routingtest::RouteOracle first(worlds[0]->world, options);
    const routingtest::RouteOracle second(worlds[1]->world, options);
    routingtest::PlaceDraw draw(worlds[0]->world, 23);
    int climbed = 0;
    for (int pair = 0; pair < 6; ++pair) {
        if (const auto places = draw.Pair(true)) {
            const auto outcome = routingtest::CalculateOutcome(switched, first.Entry(places->first),
                                                               first.Entry(places->second), {});
            climbed += outcome.settled[0][1] + outcome.settled[1][1] > 0 ? 1 : 0;
        }
    }
    ASSERT_GT(climbed, 0);
    switched.SetNetwork(fresh.GetNetwork());
    switched.SetOptions(options);
    routingtest::PlaceDraw secondDraw(worlds[1]->world, 29);
    int routes = 0;
    for (int pair = 0; pair < 12; ++pair) {
        const auto places = secondDraw.Pair(true);
        if (!places) {
            continue;
        }
        SCOPED_TRACE(pair);
        const RoutePositionEntry start = second.Entry(places->first);
        const RoutePositionEntry destination = second.Entry(places->second);
        const auto after = routingtest::CalculateOutcome(switched, start, destination, {});
        const auto alone = routingtest::CalculateOutcome(fresh, start, destination, {});
        EXPECT_EQ(routingtest::OutcomeDifference(after, alone), "");
        routes += alone.result == 6 ? 1 : 0;
    }
    EXPECT_GT(routes, 6);
    switched.SetNetwork(nullptr); // the second network goes first
    platform::OverrideMemoryStatus(std::nullopt);
}

// A router given other options prices every class anew: each calculation after the change
// comes out as that of a router that only ever had the new options.
TEST(RouterLinkTargets, OtherOptionsArePricedAfresh) {
    if (!MemoryArena::Shared().HoldsMemory()) {
        ASSERT_TRUE(MemoryArena::Shared().Reserve(4u << 20));
    }
    routingtest::SetFreeMemory(2u << 20);
    testdata::RandomWorldOptions worldOptions;
    worldOptions.seed = 83;
    worldOptions.columns = 40;
    worldOptions.rows = 40;
    const testdata::RandomWorld random = testdata::MakeRandomWorld(worldOptions);
    const struct {
        const char* name;
        std::uint32_t routeType;
        std::uint32_t travelMode;
    } steps[] = {
        {"quickest", 1, 1}, {"shortest", 0, 1}, {"mixed", 2, 1}, {"quickest on foot", 1, 12}};
    RouteOptions first;
    first.routeType = steps[0].routeType;
    auto changing = routingtest::MakeRouterWorld(random.world, first,
                                                 testdata::RandomWorldNetworkOptions(random, true));
    ASSERT_TRUE(changing->IsReady());
    int differing = 0; // pairs whose cost the options change: the check can see a stale price
    std::vector<float> previousCosts;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        RouteOptions options;
        options.routeType = step.routeType;
        options.travelMode = step.travelMode;
        changing->router->SetOptions(options);
        RouterCore fresh;
        fresh.SetNetwork(changing->router->GetNetwork());
        fresh.SetOptions(options);
        const routingtest::RouteOracle oracle(changing->world, options);
        routingtest::PlaceDraw draw(changing->world, 37);
        std::vector<float> costs;
        for (int pair = 0; pair < 8; ++pair) {
            const auto places = draw.Pair(true);
            if (!places) {
                continue;
            }
            SCOPED_TRACE(pair);
            const RoutePositionEntry start = oracle.Entry(places->first);
            const RoutePositionEntry destination = oracle.Entry(places->second);
            const auto changed =
                routingtest::CalculateOutcome(*changing->router, start, destination, {});
            const auto alone = routingtest::CalculateOutcome(fresh, start, destination, {});
            EXPECT_EQ(routingtest::OutcomeDifference(changed, alone), "");
            costs.push_back(alone.time + alone.length);
        }
        if (previousCosts.size() == costs.size()) {
            differing += costs != previousCosts ? 1 : 0;
        }
        previousCosts = costs;
    }
    EXPECT_GT(differing, 1);
    platform::OverrideMemoryStatus(std::nullopt);
}

} // namespace
