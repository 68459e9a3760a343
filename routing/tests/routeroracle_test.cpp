#include "routing/tests/routerfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using routingtest::OraclePlace;
using routingtest::RouteOracle;

// Where the search is exact (one level, no turn rules, cars, shortest or quickest routes), the
// cost of the router's records equals the oracle's optimum on random worlds and pairs.
TEST(RouterOracle, ExactOnRandomWorlds) {
    struct Case {
        const char* name;
        std::uint32_t columns;
        std::uint32_t rows;
        std::uint32_t seed;
        bool onLinks;
        std::uint32_t routeType;
        int pairs;
    };
    const Case cases[] = {
        {"crossings, 100, quickest", 10, 10, 1, false, 1, 12},
        {"crossings, 100, shortest", 10, 10, 2, false, 0, 12},
        {"crossings, 900, quickest", 30, 30, 3, false, 1, 8},
        {"crossings, 3600, quickest", 60, 60, 4, false, 1, 4},
        {"crossings, 3600, shortest", 60, 60, 5, false, 0, 4},
        {"links, 100, quickest", 10, 10, 6, true, 1, 100},
        {"links, 100, shortest", 10, 10, 7, true, 0, 100},
        {"links, 64, quickest", 8, 8, 8, true, 1, 100},
        {"links, 100, quickest, other seed", 10, 10, 9, true, 1, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RandomWorldOptions worldOptions;
        worldOptions.seed = c.seed;
        worldOptions.columns = c.columns;
        worldOptions.rows = c.rows;
        RouteOptions options;
        options.routeType = c.routeType;
        auto routed =
            routingtest::MakeRouterWorld(testdata::MakeRandomWorld(worldOptions).world, options);
        ASSERT_TRUE(routed->IsReady());
        const RouteOracle oracle(routed->world, routed->options);
        routingtest::PlaceDraw draw(routed->world, c.seed * 7919u);
        int found = 0;
        for (int pair = 0; pair < c.pairs; ++pair) {
            const OraclePlace start = c.onLinks ? draw.OnLink() : draw.Node();
            const OraclePlace destination = c.onLinks ? draw.OnLink() : draw.Node();
            if (start.link && start.link == destination.link) {
                continue;
            }
            if (!start.link && start.node == destination.node) {
                continue;
            }
            SCOPED_TRACE(pair);
            const double optimum = oracle.Cost(start, destination);
            const std::int32_t result = routed->router->Calculate(
                oracle.Entry(start), oracle.Entry(destination), CalculationFlags{});
            if (optimum == RouteOracle::kUnreachable) {
                EXPECT_EQ(result, 20);
                EXPECT_EQ(routed->router->GetLength(), -1.0f);
                continue;
            }
            ASSERT_EQ(result, 6);
            ++found;
            std::string problem;
            const std::vector<RouteRecord>& records = routed->router->BuildRecords(-1, false);
            const auto cost = oracle.PriceRecords(records, start, destination, problem);
            // Every speed is at least 10 km/h, the end pieces' too.
            for (const RouteRecord& record : records) {
                EXPECT_LE(record.time, record.length * 36 / 100 + 1);
            }
            ASSERT_TRUE(cost.has_value()) << problem;
            EXPECT_NEAR(*cost, optimum, optimum * 1e-4);
            if (std::abs(*cost - optimum) > optimum * 1e-4) {
                const auto& w = routed->world;
                auto pr = [&](const char* n, const OraclePlace& p) {
                    printf("%s node %u link %d (%u-%u oneway %d class %u len %u) off %f\n", n,
                           p.node, p.link ? (int)*p.link : -1, p.link ? w.links[*p.link].from : 0,
                           p.link ? w.links[*p.link].to : 0,
                           p.link ? (int)w.links[*p.link].isOneWay : 0,
                           p.link ? w.links[*p.link].roadClass : 0,
                           p.link ? w.links[*p.link].lengthUnits : 0, p.offset);
                };
                pr("start", start);
                pr("dest", destination);
                for (const auto& r : routed->router->BuildRecords(-1, false)) {
                    int node = -1;
                    for (std::uint32_t n = 0; n < w.nodes.size(); ++n) {
                        if (w.Position(n).x == r.x && w.Position(n).y == r.y)
                            node = (int)n;
                    }
                    printf("  rec link %u (%u-%u) len %d at node %d\n", r.linkId,
                           r.linkId ? w.links[r.linkId - 1].from : 0,
                           r.linkId ? w.links[r.linkId - 1].to : 0, r.length, node);
                }
            }
        }
        EXPECT_GT(found, 0);
    }
}

} // namespace

namespace {

// Where stop rules or node labels make the search inexact: mixed routes (the destination side
// prices a link with the class of the link after it), turn tables (one arrival per crossing),
// positions on links in larger worlds and worlds beyond the 5000-crossing stop. Every route
// obeys the prohibitions and costs at least the optimum, at most 1.05 times it on 95 % of the
// pairs, and at most 1.25 times it on every pair without turn tables.
TEST(RouterOracle, BoundedWhereTheSearchIsInexact) {
    struct Case {
        const char* name;
        std::uint32_t columns;
        std::uint32_t rows;
        std::uint32_t seed;
        bool onLinks;
        std::uint32_t routeType;
        std::uint32_t turnTablePercent;
        int pairs;
    };
    const Case cases[] = {
        {"mixed, crossings, 900", 30, 30, 11, false, 2, 0, 40},
        {"mixed, links, 100", 10, 10, 12, true, 2, 0, 60},
        {"turn tables, crossings, 900", 30, 30, 13, false, 1, 40, 40},
        {"turn tables, links, 100", 10, 10, 14, true, 1, 40, 60},
        {"links, 900", 30, 30, 15, true, 1, 0, 40},
        {"links, 3600", 60, 60, 16, true, 0, 0, 20},
        {"crossings, 6400", 80, 80, 17, false, 1, 0, 12},
    };
    std::vector<double> ratios;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RandomWorldOptions worldOptions;
        worldOptions.seed = c.seed;
        worldOptions.columns = c.columns;
        worldOptions.rows = c.rows;
        worldOptions.turnTablePercent = c.turnTablePercent;
        const testdata::RandomWorld random = testdata::MakeRandomWorld(worldOptions);
        testdata::RoadNetworkOptions network;
        RouteOracle::Prohibitions prohibitions;
        for (const auto& [node, extras] : random.extras) {
            network.extras[0][node] = extras;
            prohibitions[node].insert(extras.prohibitedTurns.begin(), extras.prohibitedTurns.end());
        }
        RouteOptions options;
        options.routeType = c.routeType;
        auto routed = routingtest::MakeRouterWorld(random.world, options, network);
        ASSERT_TRUE(routed->IsReady());
        RouteOracle oracle(routed->world, routed->options);
        oracle.SetProhibitions(prohibitions);
        routingtest::PlaceDraw draw(routed->world, c.seed * 104729u);
        for (int pair = 0; pair < c.pairs; ++pair) {
            const OraclePlace start = c.onLinks ? draw.OnLink() : draw.Node();
            const OraclePlace destination = c.onLinks ? draw.OnLink() : draw.Node();
            if ((start.link && start.link == destination.link) ||
                (!start.link && start.node == destination.node)) {
                continue;
            }
            SCOPED_TRACE(pair);
            const double optimum = oracle.Cost(start, destination);
            const std::int32_t result = routed->router->Calculate(
                oracle.Entry(start), oracle.Entry(destination), CalculationFlags{});
            if (optimum == RouteOracle::kUnreachable) {
                EXPECT_NE(result, 6);
                continue;
            }
            ASSERT_EQ(result, 6);
            std::string problem;
            const auto cost = oracle.PriceRecords(routed->router->BuildRecords(-1, false), start,
                                                  destination, problem);
            ASSERT_TRUE(cost.has_value()) << problem;
            EXPECT_GE(*cost, optimum * (1.0 - 1e-4));
            ratios.push_back(*cost / optimum);
            if (c.turnTablePercent == 0) {
                EXPECT_LE(*cost / optimum, 1.25);
            }
        }
    }
    ASSERT_FALSE(ratios.empty());
    std::sort(ratios.begin(), ratios.end());
    const double median = ratios[ratios.size() / 2];
    const double p95 = ratios[ratios.size() * 95 / 100];
    const double worst = ratios.back();
    RecordProperty("pairs", static_cast<int>(ratios.size()));
    RecordProperty("median", std::to_string(median));
    RecordProperty("p95", std::to_string(p95));
    RecordProperty("max", std::to_string(worst));
    // With turn tables a crossing keeps one arrival, so a prohibited turn after the cheapest
    // arrival can force a detour that a costlier arrival would have spared: there the bound is
    // not held on every pair (a few per cent of them go beyond 1.25).
    EXPECT_LE(worst, 1.5);
    EXPECT_LE(p95, 1.05);
}

} // namespace
