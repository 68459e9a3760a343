// The router benchmark's time baseline against the exact reference the router's tests use.
#include "bench/bidirectionaldijkstra.h"
#include "routing/tests/routeoracle.h"
#include "routing/tests/routerfixture.h"
#include "testdata/randomworld.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

bench::GraphPlace PlaceOf(const routingtest::OraclePlace& place) {
    return {place.node, place.link, place.offset};
}

// Same costs as the reference on every pair, unreachable ones included, for each route type, on
// worlds of one to three levels, places on crossings and on links.
TEST(BidirectionalDijkstra, CostsEqualTheReference) {
    const struct {
        std::uint32_t seed;
        std::uint32_t levels;
        std::uint32_t size;
        std::uint32_t kindPercent;
    } cases[] = {{11, 1, 12, 0}, {12, 1, 24, 5}, {13, 2, 30, 0}, {14, 3, 44, 3}};
    for (const auto& c : cases) {
        testdata::RandomWorldOptions worldOptions;
        worldOptions.seed = c.seed;
        worldOptions.columns = c.size;
        worldOptions.rows = c.size;
        worldOptions.levels = c.levels;
        worldOptions.kindPercent = c.kindPercent;
        worldOptions.oneWayPercent = 25;
        worldOptions.missingPercent = 25;
        const testdata::RoadWorld world = testdata::MakeRandomWorld(worldOptions).world;
        RouteOptions options;
        bench::BidirectionalDijkstra baseline(world, options);
        routingtest::PlaceDraw draw(world, c.seed);
        int unreachable = 0;
        for (const std::uint32_t routeType : {0u, 1u, 2u}) {
            options.routeType = routeType;
            const routingtest::RouteOracle oracle(world, options);
            baseline.SetOptions(options);
            for (int pair = 0; pair < 24; ++pair) {
                const auto places = draw.Pair(pair % 2 == 0);
                if (!places) {
                    continue;
                }
                SCOPED_TRACE(testing::Message()
                             << "seed " << c.seed << ", type " << routeType << ", pair " << pair);
                const double expected = oracle.Cost(places->first, places->second);
                const double cost = baseline.Cost(PlaceOf(places->first), PlaceOf(places->second));
                if (expected == routingtest::RouteOracle::kUnreachable) {
                    ++unreachable;
                    EXPECT_EQ(cost, bench::BidirectionalDijkstra::kUnreachable);
                } else {
                    EXPECT_NEAR(cost, expected, expected * 1e-12);
                }
            }
        }
        // The one-way-rich small worlds have places no route reaches.
        if (c.seed == 11) {
            EXPECT_GT(unreachable, 0);
        }
    }
}

} // namespace
