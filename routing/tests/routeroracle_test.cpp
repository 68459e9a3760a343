#include "routing/tests/nodelabeloracle.h"
#include "routing/tests/routerfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using routingtest::OraclePlace;
using routingtest::RouteOracle;

// A random world, the route type and how many random pairs to route.
struct WorldCase {
    const char* name;
    std::uint32_t columns;
    std::uint32_t rows;
    std::uint32_t seed;
    bool onLinks;
    std::uint32_t routeType;
    int pairs;
};

// One routed pair: the oracle (honouring the world's turn tables), the world with its extras,
// the places and the router's result.
struct PairRun {
    const RouteOracle& oracle;
    const testdata::RandomWorld& random;
    const OraclePlace& start;
    const OraclePlace& destination;
    std::int32_t result;
    RouterCore& router;
};

// Writes the case's world with the extras that `extras` asks for (its seed and size are the
// case's) and routes its random pairs, each handed to `visit`.
template <typename Visit>
void ForEachPair(const WorldCase& c, testdata::RandomWorldOptions extras, std::uint32_t drawFactor,
                 const Visit& visit) {
    SCOPED_TRACE(c.name);
    extras.seed = c.seed;
    extras.columns = c.columns;
    extras.rows = c.rows;
    const testdata::RandomWorld random = testdata::MakeRandomWorld(extras);
    RouteOracle::Prohibitions prohibitions;
    for (const auto& [node, nodeExtras] : random.extras) {
        if (!nodeExtras.prohibitedTurns.empty()) {
            prohibitions[node].insert(nodeExtras.prohibitedTurns.begin(),
                                      nodeExtras.prohibitedTurns.end());
        }
    }
    RouteOptions options;
    options.routeType = c.routeType;
    auto routed =
        routingtest::MakeRouterWorld(random.world, options, routingtest::NetworkOptionsOf(random));
    ASSERT_TRUE(routed->IsReady());
    RouteOracle oracle(routed->world, routed->options);
    oracle.SetProhibitions(prohibitions);
    for (const auto& [node, nodeExtras] : random.extras) {
        for (const testdata::ManoeuvreItemDescription& item : nodeExtras.list2) {
            if (const auto manoeuvre = oracle.ManoeuvreOf(node, item)) {
                oracle.AddManoeuvre(*manoeuvre);
            }
        }
    }
    routingtest::PlaceDraw draw(routed->world, c.seed * drawFactor);
    for (int pair = 0; pair < c.pairs; ++pair) {
        const auto places = draw.Pair(c.onLinks);
        if (!places) {
            continue;
        }
        const auto& [start, destination] = *places;
        SCOPED_TRACE(pair);
        const std::int32_t result = routed->router->Calculate(
            oracle.Entry(start), oracle.Entry(destination), CalculationFlags{});
        visit(PairRun{oracle, random, start, destination, result, *routed->router});
    }
}

// Routes the case's random pairs without turn rules: "no route" (20, no length) exactly where
// the oracle finds none; elsewhere records that make a drivable route, whose cost goes to
// `check` with the optimum.
template <typename Check>
void RoutePairs(const WorldCase& c, std::uint32_t drawFactor, const Check& check) {
    ForEachPair(c, {}, drawFactor, [&](const PairRun& run) {
        const double optimum = run.oracle.Cost(run.start, run.destination);
        if (optimum == RouteOracle::kUnreachable) {
            EXPECT_EQ(run.result, 20);
            EXPECT_EQ(run.router.GetLength(), -1.0f);
            return;
        }
        ASSERT_EQ(run.result, 6);
        std::string problem;
        const std::vector<RouteRecord>& records = run.router.BuildRecords(-1, false);
        const auto cost = run.oracle.PriceRecords(records, run.start, run.destination, problem);
        // Every speed is at least 10 km/h, the end pieces' too.
        for (const RouteRecord& record : records) {
            EXPECT_LE(record.time, record.length * 36 / 100 + 1);
        }
        ASSERT_TRUE(cost.has_value()) << problem;
        check(*cost, optimum);
    });
}

// Where the search is exact (one level, no turn rules, cars, shortest or quickest routes), the
// cost of the router's records equals the oracle's optimum on random worlds and pairs.
TEST(RouterOracle, ExactOnRandomWorlds) {
    const WorldCase cases[] = {
        {"crossings, 100, quickest", 10, 10, 1, false, 1, 12},
        {"crossings, 100, shortest", 10, 10, 2, false, 0, 12},
        {"crossings, 900, quickest", 30, 30, 3, false, 1, 8},
        {"crossings, 3600, quickest", 60, 60, 4, false, 1, 4},
        {"crossings, 3600, shortest", 60, 60, 5, false, 0, 4},
        {"links, 100, quickest", 10, 10, 6, true, 1, 100},
        {"links, 100, shortest", 10, 10, 7, true, 0, 100},
        {"links, 64, quickest", 8, 8, 8, true, 1, 100},
        {"links, 100, quickest, other seed", 10, 10, 9, true, 1, 100},
        // The start side first settles an end of the start link that is a destination seed,
        // while leaving by the other end is cheaper.
        {"links, 100, quickest, first start end is a destination seed", 10, 10, 250, true, 1, 100},
    };
    for (const WorldCase& c : cases) {
        int found = 0;
        RoutePairs(c, 7919u, [&](double cost, double optimum) {
            ++found;
            EXPECT_NEAR(cost, optimum, optimum * 1e-4);
        });
        EXPECT_GT(found, 0) << c.name;
    }
}

// The spread of route costs over the optimum, recorded as test properties.
void RecordRatios(std::vector<double> ratios) {
    std::sort(ratios.begin(), ratios.end());
    using testing::Test;
    Test::RecordProperty("pairs", static_cast<int>(ratios.size()));
    Test::RecordProperty("median", std::to_string(ratios[ratios.size() / 2]));
    Test::RecordProperty("p95", std::to_string(ratios[ratios.size() * 95 / 100]));
    Test::RecordProperty("max", std::to_string(ratios.back()));
}

// Where stop rules or mixed costs make the search inexact without turn rules: mixed routes (the
// destination side prices a link with the class of the link after it), positions on links in
// larger worlds and worlds beyond the 5000-crossing stop. Every route costs at least the
// optimum and at most 1.25 times it, and at most 1.05 times it on 95 % of the pairs.
TEST(RouterOracle, BoundedWhereStopRulesOrMixedCostsMakeItInexact) {
    const WorldCase cases[] = {
        {"mixed, crossings, 900", 30, 30, 11, false, 2, 40},
        {"mixed, links, 100", 10, 10, 12, true, 2, 60},
        {"links, 900", 30, 30, 15, true, 1, 40},
        {"links, 3600", 60, 60, 16, true, 0, 20},
        {"crossings, 6400", 80, 80, 17, false, 1, 12},
    };
    std::vector<double> ratios;
    for (const WorldCase& c : cases) {
        RoutePairs(c, 104729u, [&](double cost, double optimum) {
            EXPECT_GE(cost, optimum * (1.0 - 1e-4));
            EXPECT_LE(cost, optimum * 1.25);
            ratios.push_back(cost / optimum);
        });
    }
    ASSERT_FALSE(ratios.empty());
    RecordRatios(ratios);
    std::sort(ratios.begin(), ratios.end());
    EXPECT_LE(ratios[ratios.size() * 95 / 100], 1.05);
}

// With turn tables each crossing keeps one arrival: the destination side keeps one link to
// leave by, so a crossing whose cheapest way on is prohibited after some arrival is cut off
// for that arrival, and the start side stops once it has met and settled 26 crossings. A
// route then costs what two such searches give: at least their best meeting anywhere, at most
// their meeting at the start's own crossings; and it obeys the prohibitions. "No route" (20)
// comes only where they cannot meet at the start's crossings, although a route may exist.
TEST(RouterOracle, TurnTablesGiveTheOneArrivalPerCrossingRoute) {
    const WorldCase cases[] = {
        {"crossings, 900", 30, 30, 13, false, 1, 40},
        {"links, 100", 10, 10, 14, true, 1, 60},
        {"crossings, 900, a destination search that cannot reach the start", 30, 30, 108, false, 1,
         40},
        {"crossings, 900, the start side runs dry after its only meeting", 30, 30, 204, false, 1,
         40},
        {"links, 100, a prohibited turn onto a destination seed", 10, 10, 245, true, 1, 60},
        {"links, 100, a one-way start link", 10, 10, 186, true, 1, 60},
    };
    testdata::RandomWorldOptions turnTables;
    turnTables.turnTablePercent = 40;
    std::vector<double> ratios;
    int misses = 0;
    for (const WorldCase& c : cases) {
        ForEachPair(c, turnTables, 104729u, [&](const PairRun& run) {
            const double optimum = run.oracle.Cost(run.start, run.destination);
            const auto bounds = routingtest::NodeLabelOracle(run.random.world, run.oracle)
                                    .Reach(run.start, run.destination);
            if (run.result != 6) {
                EXPECT_EQ(run.result, 20);
                EXPECT_EQ(bounds.atStart, RouteOracle::kUnreachable);
                misses += optimum != RouteOracle::kUnreachable ? 1 : 0;
                return;
            }
            std::string problem;
            const auto cost = run.oracle.PriceRecords(run.router.BuildRecords(-1, false), run.start,
                                                      run.destination, problem);
            ASSERT_TRUE(cost.has_value()) << problem;
            EXPECT_GE(*cost, optimum * (1.0 - 1e-4));
            EXPECT_GE(*cost, bounds.anyMeeting * (1.0 - 1e-4));
            if (bounds.atStart != RouteOracle::kUnreachable) {
                EXPECT_LE(*cost, bounds.atStart * (1.0 + 1e-4));
            }
            ratios.push_back(*cost / optimum);
        });
    }
    ASSERT_FALSE(ratios.empty());
    RecordRatios(ratios);
    RecordProperty("misses", misses);
}

} // namespace

namespace {

// List-2 items name manoeuvres over two or more links; some links are one-way for cars by list-4
// data. Every calculation ends with a result code, and no route found drives a manoeuvre an item
// prohibits: each joins up, drives no link against its direction and costs at least the optimum
// that honours the items. Pairs whose optimum without the items would drive one of them show
// that the items matter ("bitten"); "no route" where one exists is recorded ("misses").
TEST(RouterOracle, ListItemManoeuvresAreNeverDriven) {
    struct ItemCase {
        WorldCase world;
        std::uint32_t itemPercent;
        std::uint32_t itemLinks;
        std::uint32_t list4Percent;
    };
    const ItemCase cases[] = {
        {{"two links, crossings, 100", 10, 10, 31, false, 1, 40}, 40, 2, 15},
        {{"two links, links, 100", 10, 10, 32, true, 1, 40}, 40, 2, 15},
        {{"two links, crossings, 900", 30, 30, 33, false, 1, 40}, 40, 2, 15},
        {{"up to four links, crossings, 100", 10, 10, 34, false, 1, 60}, 50, 4, 0},
        {{"up to four links, links, 100", 10, 10, 35, true, 1, 60}, 50, 4, 0},
        {{"up to four links, links, 100, shortest", 10, 10, 36, true, 0, 60}, 50, 4, 0},
        {{"up to six links, crossings, 400", 20, 20, 37, false, 1, 40}, 60, 6, 0},
        {{"up to six links, links, 400", 20, 20, 38, true, 1, 40}, 60, 6, 0},
        {{"up to four links, links, 900", 30, 30, 39, true, 1, 40}, 40, 4, 0},
    };
    int found = 0;
    int bitten = 0;
    int misses = 0;
    for (const ItemCase& c : cases) {
        testdata::RandomWorldOptions lists;
        lists.listItemPercent = c.itemPercent;
        lists.listItemLinks = c.itemLinks;
        lists.list4Percent = c.list4Percent;
        ForEachPair(c.world, lists, 1, [&](const PairRun& run) {
            const RouteOracle& oracle = run.oracle;
            const double optimum = oracle.Cost(run.start, run.destination);
            if (run.result != 6) {
                EXPECT_TRUE(run.result == 20 || run.result == 31 || run.result == 32) << run.result;
                misses += optimum != RouteOracle::kUnreachable ? 1 : 0;
                return;
            }
            ++found;
            const RouteOracle free(run.random.world, run.router.GetOptions());
            bitten += free.Cost(run.start, run.destination) < optimum * (1.0 - 1e-4) ? 1 : 0;
            std::string problem;
            const auto cost = oracle.PriceRecords(run.router.BuildRecords(-1, false), run.start,
                                                  run.destination, problem);
            ASSERT_TRUE(cost.has_value()) << problem;
            EXPECT_GE(*cost, optimum * (1.0 - 1e-4));
        });
    }
    EXPECT_GT(found, 0);
    EXPECT_GT(bitten, 0);
    RecordProperty("routes", found);
    RecordProperty("bitten", bitten);
    RecordProperty("misses", misses);
}

} // namespace
