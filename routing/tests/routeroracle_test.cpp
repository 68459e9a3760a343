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
            const auto places = draw.Pair(c.onLinks);
            if (!places) {
                continue;
            }
            const auto& [start, destination] = *places;
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
    int misses = 0;
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
        auto routed = routingtest::MakeRouterWorld(random.world, options,
                                                   routingtest::NetworkOptionsOf(random));
        ASSERT_TRUE(routed->IsReady());
        RouteOracle oracle(routed->world, routed->options);
        oracle.SetProhibitions(prohibitions);
        routingtest::PlaceDraw draw(routed->world, c.seed * 104729u);
        for (int pair = 0; pair < c.pairs; ++pair) {
            const auto places = draw.Pair(c.onLinks);
            if (!places) {
                continue;
            }
            const auto& [start, destination] = *places;
            SCOPED_TRACE(pair);
            const double optimum = oracle.Cost(start, destination);
            const std::int32_t result = routed->router->Calculate(
                oracle.Entry(start), oracle.Entry(destination), CalculationFlags{});
            if (optimum == RouteOracle::kUnreachable) {
                EXPECT_NE(result, 6);
                continue;
            }
            if (result != 6) {
                // One arrival per crossing can leave a crossing whose every way on is
                // prohibited after that arrival: no route found where one exists.
                EXPECT_EQ(result, 20);
                EXPECT_NE(c.turnTablePercent, 0u);
                ++misses;
                continue;
            }
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
    RecordProperty("misses", misses);
    EXPECT_LE(misses * 20, static_cast<int>(ratios.size()));
    // With turn tables a crossing keeps one arrival, so a prohibited turn after the cheapest
    // arrival can force a detour that a costlier arrival would have spared: there the bound is
    // not held on every pair (a few per cent of them go beyond 1.25).
    EXPECT_LE(worst, 1.5);
    EXPECT_LE(p95, 1.05);
}

} // namespace

namespace {

// Manoeuvres over two links named by list-2 items and links that cars may drive one way only
// (list-4 data): every calculation ends with a result code, and every route found joins up,
// drives no link against its direction and costs at least the optimum of the world without
// those rules. How often a route makes a manoeuvre an item names is recorded ("crossed").
TEST(RouterOracle, ListItemsAndRestrictedLinks) {
    struct Case {
        const char* name;
        std::uint32_t columns;
        std::uint32_t seed;
        bool onLinks;
    };
    const Case cases[] = {
        {"crossings, 100", 10, 31, false},
        {"links, 100", 10, 32, true},
        {"crossings, 900", 30, 33, false},
    };
    int found = 0;
    int crossed = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RandomWorldOptions worldOptions;
        worldOptions.seed = c.seed;
        worldOptions.columns = c.columns;
        worldOptions.rows = c.columns;
        worldOptions.listItemPercent = 40;
        worldOptions.list4Percent = 15;
        const testdata::RandomWorld random = testdata::MakeRandomWorld(worldOptions);
        auto routed = routingtest::MakeRouterWorld(random.world, RouteOptions{},
                                                   routingtest::NetworkOptionsOf(random));
        ASSERT_TRUE(routed->IsReady());
        const RouteOracle oracle(routed->world, routed->options);
        // Link of the world between two nodes in a route (the records' link ids).
        const auto& world = routed->world;
        const auto commonNode = [&](std::uint32_t a, std::uint32_t b) {
            const testdata::WorldLink& x = world.links[a];
            const testdata::WorldLink& y = world.links[b];
            return x.from == y.from || x.from == y.to ? x.from : x.to;
        };
        routingtest::PlaceDraw draw(world, c.seed);
        for (int pair = 0; pair < 40; ++pair) {
            const auto places = draw.Pair(c.onLinks);
            if (!places) {
                continue;
            }
            const auto& [start, destination] = *places;
            SCOPED_TRACE(pair);
            const std::int32_t result = routed->router->Calculate(
                oracle.Entry(start), oracle.Entry(destination), CalculationFlags{});
            const double optimum = oracle.Cost(start, destination);
            if (result != 6) {
                EXPECT_TRUE(result == 20 || result == 31 || result == 32) << result;
                continue;
            }
            ++found;
            const std::vector<RouteRecord>& records = routed->router->BuildRecords(-1, false);
            std::string problem;
            const auto cost = oracle.PriceRecords(records, start, destination, problem);
            ASSERT_TRUE(cost.has_value()) << problem;
            EXPECT_GE(*cost, optimum * (1.0 - 1e-4));
            for (std::size_t i = 2; i < records.size(); ++i) {
                const std::uint32_t a = records[i - 2].linkId - 1;
                const std::uint32_t b = records[i - 1].linkId - 1;
                const std::uint32_t d = records[i].linkId - 1;
                const std::uint32_t before = commonNode(a, b);
                const std::uint32_t at = commonNode(b, d);
                const auto extras = random.extras.find(at);
                if (extras == random.extras.end()) {
                    continue;
                }
                for (const testdata::ManoeuvreItemDescription& item : extras->second.list2) {
                    crossed += item.value0 == oracle.IndexAt(at, d) &&
                                       item.values[0] == oracle.IndexAt(at, b) &&
                                       item.values[1] == oracle.IndexAt(before, a)
                                   ? 1
                                   : 0;
                }
            }
        }
    }
    EXPECT_GT(found, 0);
    RecordProperty("routes", found);
    RecordProperty("crossed", crossed);
}

} // namespace
