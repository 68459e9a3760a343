// The router with the network's link target tables and without them: the same calculations.
#include "routing/tests/routeidentity.h"
#include "routing/tests/routerfixture.h"
#include "testdata/randomworld.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

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

} // namespace
