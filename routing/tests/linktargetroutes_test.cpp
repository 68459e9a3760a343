// Calculations that come out the same: the router with the network's link target tables and
// without them, after another network or other options and in a fresh router.
#include "routing/tests/routeidentity.h"
#include "routing/tests/routerfixture.h"
#include "testdata/randomworld.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>

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

// Calculates pairs drawn from the world with the used router and with a fresh one on its
// network and options, expects the same outcomes, and gives the number of routes found and of
// calculations that searched level 1.
std::pair<int, int> RoutesAsAFreshRouter(RouterCore& used, const testdata::RoadWorld& world,
                                         std::uint32_t seed) {
    RouterCore fresh;
    fresh.SetNetwork(used.GetNetwork());
    fresh.SetOptions(used.GetOptions());
    const routingtest::RouteOracle oracle(world, used.GetOptions());
    routingtest::PlaceDraw draw(world, seed);
    int routes = 0;
    int climbed = 0;
    for (int pair = 0; pair < 10; ++pair) {
        if (const auto places = draw.Pair(true)) {
            SCOPED_TRACE(pair);
            const RoutePositionEntry start = oracle.Entry(places->first);
            const RoutePositionEntry destination = oracle.Entry(places->second);
            const auto after = routingtest::CalculateOutcome(used, start, destination, {});
            const auto alone = routingtest::CalculateOutcome(fresh, start, destination, {});
            EXPECT_EQ(routingtest::OutcomeDifference(after, alone), "");
            routes += alone.result == 6 ? 1 : 0;
            climbed += alone.settled[0][1] + alone.settled[1][1] > 0 ? 1 : 0;
        }
    }
    return {routes, climbed};
}

// A router that climbed on one network (still open) and then searches another, or that gets
// other options, calculates as a fresh router: nothing it keeps from climb to climb, link to
// link or class to class still looks at the old network or prices with the old options.
TEST(RouterLinkTargets, AnotherNetworkOrOtherOptionsAreSearchedAfresh) {
    if (!MemoryArena::Shared().HoldsMemory()) {
        ASSERT_TRUE(MemoryArena::Shared().Reserve(4u << 20));
    }
    routingtest::SetFreeMemory(2u << 20);
    RouteOptions options;
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
    RouterCore& used = *worlds[0]->router;
    const auto [routes, climbed] = RoutesAsAFreshRouter(used, worlds[0]->world, 23);
    EXPECT_GT(routes, 5);
    EXPECT_GT(climbed, 0);
    used.SetNetwork(worlds[1]->router->GetNetwork());
    EXPECT_GT(RoutesAsAFreshRouter(used, worlds[1]->world, 29).first, 5);
    const struct {
        std::uint32_t routeType;
        std::uint32_t travelMode;
    } others[] = {{0, 1}, {2, 1}, {1, 12}};
    for (const auto& other : others) {
        SCOPED_TRACE(other.routeType * 100 + other.travelMode);
        options.routeType = other.routeType;
        options.travelMode = other.travelMode;
        used.SetOptions(options);
        EXPECT_GT(RoutesAsAFreshRouter(used, worlds[1]->world, 31).first, 5);
    }
    used.SetNetwork(nullptr); // the second network goes first
    platform::OverrideMemoryStatus(std::nullopt);
}

} // namespace
