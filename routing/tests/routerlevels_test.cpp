#include "positioning/geodistance.h"
#include "routing/tests/routerfixture.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using routingtest::OraclePlace;
using routingtest::RouteOracle;

constexpr std::uint32_t kLevelColumns = 320; // about 47 km
constexpr std::uint32_t kRows = 12;
constexpr MapPoint kOrigin{1000000, 6000000};

// A grid of about 150 m cells whose every 7th line reaches level 1 and every 28th level 2, the
// upper roads faster than the local ones.
testdata::RoadWorld LevelledGrid(std::uint32_t columns, std::uint32_t rows, std::uint32_t levels,
                                 MapPoint origin = kOrigin) {
    testdata::RoadWorld world = testdata::RoadWorld::Grid(columns, rows, 1000, origin, levels);
    for (testdata::WorldLink& link : world.links) {
        link.roadClass = link.level == 2 ? 0 : link.level == 1 ? 3 : 6;
    }
    return world;
}

// Appends a chain of local roads `nodes` long, eastwards from `origin`, joined to nothing.
std::uint32_t AddLocalChain(testdata::RoadWorld& world, MapPoint origin, std::uint32_t nodes) {
    const auto first = static_cast<std::uint32_t>(world.nodes.size());
    for (std::uint32_t i = 0; i < nodes; ++i) {
        world.nodes.push_back({origin.x + static_cast<std::int32_t>(i) * 1000, origin.y});
        if (i > 0) {
            testdata::WorldLink link;
            link.from = first + i - 1;
            link.to = first + i;
            link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
            link.lengthUnits =
                testdata::FlatWorldLengthUnits(world.nodes[link.from], world.nodes[link.to]);
            link.roadClass = 6;
            world.links.push_back(link);
        }
    }
    return first;
}

testdata::RoadNetworkOptions Maps(std::uint32_t maps, bool isOptimised = false) {
    testdata::RoadNetworkOptions network;
    network.maps = maps;
    if (isOptimised) {
        network.optimisationStarts = {-1, 5000000, 6000000};
        // The kind with the elements' points, so that expanded records join up.
        network.o2sColumns = {ColumnType::UInt32,  ColumnType::UInt32, ColumnType::Float32,
                              ColumnType::Float32, ColumnType::UInt32, ColumnType::Float32,
                              ColumnType::UInt32};
        network.s2oColumns = {ColumnType::UInt32, ColumnType::UInt32};
    }
    return network;
}

double AirDistance(const testdata::RoadWorld& world, std::uint32_t a, std::uint32_t b) {
    return GeoDistance(world.Position(a), world.Position(b));
}

// A place on the node, or on one of its links.
OraclePlace PlaceAt(const testdata::RoadWorld& world, std::uint32_t node, bool onLink,
                    std::mt19937& engine) {
    if (!onLink) {
        return {node, std::nullopt, 0.0};
    }
    std::vector<std::uint32_t> links;
    for (std::uint32_t i = 0; i < world.links.size(); ++i) {
        if (world.links[i].from == node || world.links[i].to == node) {
            links.push_back(i);
        }
    }
    const std::uint32_t link = links[engine() % links.size()];
    const double metres = world.links[link].lengthUnits * 5.0;
    return {node, link,
            static_cast<double>(static_cast<float>(metres * (engine() % 90 + 5) / 100))};
}

// Checks a found route: records of world links (optimised links expanded, with their points)
// that join up from start to destination, totals equal to their sums; returns its cost.
std::optional<double> CheckRoute(RouterCore& router, const RouteOracle& oracle,
                                 const OraclePlace& start, const OraclePlace& destination) {
    const std::vector<RouteRecord>& records = router.BuildRecords(-1, true);
    std::string problem;
    const auto cost = oracle.PriceRecords(records, start, destination, problem);
    EXPECT_TRUE(cost.has_value()) << problem;
    float length = 0.0f;
    float time = 0.0f;
    for (const RouteRecord& record : records) {
        length += static_cast<float>(record.length);
        time += static_cast<float>(record.time);
    }
    EXPECT_EQ(router.GetLength(), length);
    EXPECT_FLOAT_EQ(router.GetTravelTime(), time * 0.00027777778f);
    return cost;
}

// On grids of one to three levels, random pairs in the three distance bands, on crossings and
// on links: the level follows the air distance and the map count, every route is found, joins
// up over base elements only, and costs at most 1.25 times the optimum, 1.05 times on 95 %.
TEST(RouterLevels, RoutesOverTheLevels) {
    struct Case {
        const char* name;
        std::uint32_t maps;
        bool isOptimised;
        std::uint32_t routeType;
        bool onLinks;
        std::uint32_t seed;
    };
    const Case cases[] = {
        {"one map", 1, false, 1, false, 1},
        {"two maps, quickest", 2, false, 1, false, 2},
        {"two maps, shortest, links", 2, false, 0, true, 3},
        {"three maps, quickest, links", 3, false, 1, true, 4},
        {"three maps, shortest", 3, false, 0, false, 5},
        {"three maps, optimised upper links", 3, true, 1, true, 6},
    };
    // Bands of air distance by column offset: under 5 km, 5 to 40 km, over 40 km.
    const std::uint32_t bands[3][2] = {{5, 30}, {40, 260}, {285, 315}};
    std::vector<double> ratios;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RouteOptions options;
        options.routeType = c.routeType;
        auto routed = routingtest::MakeRouterWorld(LevelledGrid(kLevelColumns, kRows, c.maps),
                                                   options, Maps(c.maps, c.isOptimised));
        ASSERT_TRUE(routed->IsReady());
        const testdata::RoadWorld& world = routed->world;
        const RouteOracle oracle(world, routed->options);
        std::mt19937 engine(c.seed);
        for (int pair = 0; pair < 18; ++pair) {
            const auto* band = bands[pair % 3];
            const std::uint32_t offset = band[0] + engine() % (band[1] - band[0]);
            const std::uint32_t column = engine() % (kLevelColumns - offset);
            const bool isEastward = (engine() & 1u) != 0;
            const std::uint32_t a = (engine() % kRows) * kLevelColumns + column;
            const std::uint32_t b = (engine() % kRows) * kLevelColumns + column + offset;
            const OraclePlace start = PlaceAt(world, isEastward ? a : b, c.onLinks, engine);
            const OraclePlace destination = PlaceAt(world, isEastward ? b : a, c.onLinks, engine);
            SCOPED_TRACE(pair);
            ASSERT_EQ(routed->router->Calculate(oracle.Entry(start), oracle.Entry(destination), {}),
                      6);
            const auto distance =
                static_cast<float>(AirDistance(world, start.node, destination.node));
            EXPECT_EQ(routed->router->GetChosenLevel(),
                      LevelForDistance(distance, static_cast<std::uint16_t>(c.maps)));
            const auto cost = CheckRoute(*routed->router, oracle, start, destination);
            ASSERT_TRUE(cost.has_value());
            const double optimum = oracle.Cost(start, destination);
            EXPECT_GE(*cost, optimum * (1.0 - 1e-4));
            EXPECT_LE(*cost, optimum * 1.25);
            ratios.push_back(*cost / optimum);
        }
    }
    std::sort(ratios.begin(), ratios.end());
    RecordProperty("median", std::to_string(ratios[ratios.size() / 2]));
    RecordProperty("p95", std::to_string(ratios[ratios.size() * 95 / 100]));
    RecordProperty("max", std::to_string(ratios.back()));
    EXPECT_LE(ratios[ratios.size() * 95 / 100], 1.05);
}

// Appends a node 400 map units north of the row of the grid node `near`, at the first x whose
// air distance from `from` is at least `metres` (or the last one below it), joined to `near` by
// a local road; returns the node.
std::uint32_t AddNodeAtDistance(testdata::RoadWorld& world, std::uint32_t from, std::uint32_t near,
                                double metres, bool isBelow) {
    const auto distanceAt = [&](std::int32_t x) {
        const GeoPoint point = MapPointToDegrees({x, world.nodes[near].y + 400});
        return static_cast<float>(GeoDistance(world.Position(from), point));
    };
    std::int32_t low = world.nodes[from].x;
    std::int32_t high = low + 400000;
    while (high - low > 1) {
        const std::int32_t middle = low + (high - low) / 2;
        (distanceAt(middle) >= static_cast<float>(metres) ? high : low) = middle;
    }
    world.nodes.push_back({isBelow ? low : high, world.nodes[near].y + 400});
    const auto node = static_cast<std::uint32_t>(world.nodes.size() - 1);
    testdata::WorldLink link;
    link.from = near;
    link.to = node;
    link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
    link.lengthUnits = testdata::FlatWorldLengthUnits(world.nodes[near], world.nodes[node]);
    link.roadClass = 6;
    world.links.push_back(link);
    return node;
}

// The level follows the air distance between the two crossings and the network's map count, at
// the bounds of 5 km and 40 km: below 5 km level 0, from 5 km level 1 with two maps or more, from
// 40 km level 2 with three; one map keeps every route on level 0.
TEST(RouterLevels, LevelByAirDistanceAndMapCount) {
    struct Case {
        const char* name;
        std::uint32_t maps;
        double metres;
        bool isBelow; // just below the distance, else just at or above it
        int level;
    };
    const Case cases[] = {
        {"one map, 5 km", 1, 5000.0, false, 0},
        {"one map, 40 km", 1, 40000.0, false, 0},
        {"two maps, under 5 km", 2, 5000.0, true, 0},
        {"two maps, 5 km", 2, 5000.0, false, 1},
        {"two maps, 40 km", 2, 40000.0, false, 1},
        {"three maps, under 5 km", 3, 5000.0, true, 0},
        {"three maps, 5 km", 3, 5000.0, false, 1},
        {"three maps, under 40 km", 3, 40000.0, true, 1},
        {"three maps, 40 km", 3, 40000.0, false, 2},
    };
    constexpr std::uint32_t kStart = 3 * kLevelColumns + 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RoadWorld world = LevelledGrid(kLevelColumns, kRows, c.maps);
        // The grid node west of the destination, on row 3.
        const auto column = static_cast<std::uint32_t>(c.metres / (1000.0 * kMetresPerMapUnit)) - 1;
        const std::uint32_t destination =
            AddNodeAtDistance(world, kStart, 3 * kLevelColumns + 2 + column, c.metres, c.isBelow);
        auto routed = routingtest::MakeRouterWorld(world, {}, Maps(c.maps));
        ASSERT_TRUE(routed->IsReady());
        // The router measures between the crossings as the network stores them.
        const auto distance = static_cast<float>(
            GeoDistance(routed->written->CrossingOf(0, kStart)->Position(),
                        routed->written->CrossingOf(0, destination)->Position()));
        ASSERT_EQ(distance < static_cast<float>(c.metres), c.isBelow) << distance;
        ASSERT_LT(std::fabs(distance - c.metres), 1.0);
        const RouteOracle oracle(routed->world, routed->options);
        const OraclePlace from{kStart, std::nullopt, 0.0};
        const OraclePlace to{destination, std::nullopt, 0.0};
        ASSERT_EQ(routed->router->Calculate(oracle.Entry(from), oracle.Entry(to), {}), 6);
        EXPECT_EQ(routed->router->GetChosenLevel(), c.level);
        EXPECT_TRUE(CheckRoute(*routed->router, oracle, from, to).has_value());
    }
}

// Where the upper levels give no route the calculation goes down a level at a time: places on
// local roads that reach no upper crossing (the destination search touches the start's marks,
// 9, or runs dry on its level) get their route from level 0, as does a start with no upper
// crossing within 100 km (no anchor); a destination that cannot be reached ends in 20 there.
TEST(RouterLevels, LowerLevelsWhereUpperOnesGiveNoRoute) {
    struct Case {
        const char* name;
        std::uint32_t maps;
        std::uint32_t chainNodes;
        bool isChainJoined; // to the grid's corner by a local road
        bool fromGrid;      // start on the grid, destination at the chain's end
        bool isReversed;    // start and destination swapped
        std::int32_t code;
        int level;
    };
    const Case cases[] = {
        {"island of local roads 6 km long", 2, 45, false, false, false, 6, 0},
        {"local roads 45 km long, three maps", 3, 310, false, false, false, 6, 0},
        {"island joined to the grid by local roads", 2, 45, true, true, false, 6, -1},
        {"unreachable destination, two maps", 2, 45, false, true, false, 20, 0},
        {"unreachable destination, three maps", 3, 310, false, true, false, 20, 0},
        // Without an anchor the search of level 1 never gets its reference cost.
        {"start 105 km from any upper crossing", 2, 760, true, true, true, 6, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RoadWorld world = LevelledGrid(60, 12, c.maps);
        const MapPoint chainOrigin{kOrigin.x, kOrigin.y - 40000};
        const std::uint32_t chain = AddLocalChain(world, chainOrigin, c.chainNodes);
        if (c.isChainJoined) {
            testdata::WorldLink link;
            link.from = 0;
            link.to = chain;
            link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
            link.lengthUnits = testdata::FlatWorldLengthUnits(world.nodes[0], world.nodes[chain]);
            link.roadClass = 6;
            world.links.push_back(link);
        }
        auto routed = routingtest::MakeRouterWorld(world, {}, Maps(c.maps));
        ASSERT_TRUE(routed->IsReady());
        const RouteOracle oracle(routed->world, routed->options);
        const std::uint32_t chainEnd = chain + c.chainNodes - 1;
        OraclePlace start{c.fromGrid ? 59u : chain, std::nullopt, 0.0};
        OraclePlace destination{chainEnd, std::nullopt, 0.0};
        if (c.isReversed) {
            std::swap(start, destination);
        }
        ASSERT_GE(AirDistance(routed->world, start.node, destination.node), 5000.0);
        RouterCore& router = *routed->router;
        ASSERT_EQ(router.Calculate(oracle.Entry(start), oracle.Entry(destination), {}), c.code);
        if (c.level >= 0) {
            EXPECT_EQ(router.GetChosenLevel(), c.level);
        }
        if (c.code != 6) {
            EXPECT_EQ(router.GetLength(), -1.0f);
            continue;
        }
        const auto cost = CheckRoute(router, oracle, start, destination);
        ASSERT_TRUE(cost.has_value());
        EXPECT_NEAR(*cost, oracle.Cost(start, destination), 1e-3);
    }
}

// A square of local roads (about 33 km a side) joined by one local road at its north-east corner
// to a square as large whose roads all reach level 1: more crossings in each than 96 pages of
// search memory hold.
struct BudgetWorld {
    static constexpr std::uint32_t kSide = 224;
    testdata::RoadWorld world;
    std::uint32_t upper = 0; // the upper square's first node

    BudgetWorld() {
        world = testdata::RoadWorld::Grid(kSide, kSide, 1000, kOrigin);
        for (testdata::WorldLink& link : world.links) {
            link.roadClass = 6;
        }
        testdata::RoadWorld east = testdata::RoadWorld::Grid(
            kSide, kSide, 1000, {kOrigin.x + static_cast<std::int32_t>(kSide) * 1000, kOrigin.y});
        upper = static_cast<std::uint32_t>(world.nodes.size());
        world.nodes.insert(world.nodes.end(), east.nodes.begin(), east.nodes.end());
        for (testdata::WorldLink link : east.links) {
            link.from += upper;
            link.to += upper;
            link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
            link.roadClass = 3;
            link.level = 1;
            world.links.push_back(link);
        }
        testdata::WorldLink join;
        join.from = (kSide - 1) * kSide + kSide - 1;
        join.to = upper + (kSide - 1) * kSide;
        join.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
        join.lengthUnits =
            testdata::FlatWorldLengthUnits(world.nodes[join.from], world.nodes[join.to]);
        join.roadClass = 6;
        world.links.push_back(join);
    }
    [[nodiscard]] std::uint32_t Local(std::uint32_t row, std::uint32_t column) const {
        return row * kSide + column;
    }
    [[nodiscard]] std::uint32_t Upper(std::uint32_t row, std::uint32_t column) const {
        return upper + row * kSide + column;
    }
};

// Level 0 around each end has 96 pages of search memory: a destination whose roads reach no
// upper crossing within them ends in 10, a start in 19. The top level has room for all its
// crossings, however far its search goes.
TEST(RouterLevels, SearchMemoryBudgetsPerLevel) {
    const BudgetWorld big;
    struct Case {
        const char* name;
        std::uint32_t start;
        std::uint32_t destination;
        std::int32_t code;
    };
    const std::uint32_t farCorner = big.Local(0, 0);
    const Case cases[] = {
        {"destination far from upper crossings", big.Upper(100, 40), farCorner, 10},
        {"start far from upper crossings", farCorner, big.Upper(200, 40), 19},
        {"across the upper square", big.Upper(0, 0), big.Upper(BudgetWorld::kSide - 1, 200), 6},
    };
    auto routed = routingtest::MakeRouterWorld(big.world, {}, Maps(2));
    ASSERT_TRUE(routed->IsReady());
    ASSERT_GT(routed->written->network->GetCrossingCount(1), 96u * 512u);
    const RouteOracle oracle(routed->world, routed->options);
    RouterCore& router = *routed->router;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const OraclePlace from{c.start, std::nullopt, 0.0};
        const OraclePlace to{c.destination, std::nullopt, 0.0};
        ASSERT_EQ(router.Calculate(oracle.Entry(from), oracle.Entry(to), {}), c.code);
        EXPECT_EQ(router.GetChosenLevel(), 1);
        if (c.code != 6) {
            EXPECT_EQ(router.TableOf(false, 0).GetPagesInUse(), 97u);
            continue;
        }
        EXPECT_GT(router.TableOf(false, 1).GetPagesInUse(), 96u);
        // The pages the search's tables still hold were committed at once; the start side only
        // seeds the upper level and joins there.
        const RouterStatistics& statistics = router.GetStatistics();
        EXPECT_GE(statistics.peakReservePages, router.TableOf(false, 0).GetPagesInUse() +
                                                   router.TableOf(false, 1).GetPagesInUse() +
                                                   router.TableOf(true, 0).GetPagesInUse());
        EXPECT_GT(statistics.settled[kDestinationSide][1], 0u);
        EXPECT_EQ(statistics.settled[kStartSide][1], 0u);
        const auto cost = CheckRoute(router, oracle, from, to);
        ASSERT_TRUE(cost.has_value());
        EXPECT_LE(*cost, oracle.Cost(from, to) * 1.25);
    }
}

// The virtual clock's time, with a hook that runs whenever the time is read.
class HookedClock final : public platform::Clock {
public:
    HookedClock(platform::VirtualClock& time, std::function<void()> onRead)
        : m_time(time)
        , m_onRead(std::move(onRead)) {}
    [[nodiscard]] std::uint64_t TickMs() const override {
        m_onRead();
        return m_time.TickMs();
    }
    [[nodiscard]] std::uint64_t UtcFileTime() const override { return m_time.UtcFileTime(); }
    [[nodiscard]] int LocalOffsetMinutes(std::uint64_t utc) const override {
        return m_time.LocalOffsetMinutes(utc);
    }
    [[nodiscard]] bool FollowsHostTime() const override { return false; }

private:
    platform::VirtualClock& m_time;
    std::function<void()> m_onRead;
};

// Once the destination search has met the start's marks, its search of the chosen level ends
// when more than 100 ms have passed since the meeting, across the wrap of the tick count too;
// without a meeting the time does not matter. The clock jumps when the first crossing of the
// chosen level is settled.
TEST(RouterLevels, TopLevelSearchEndsSoonAfterMeeting) {
    struct Case {
        const char* name;
        bool isMet; // the destination is the far end of the start link
        std::uint64_t startTick;
        std::uint64_t jumpMs;
        bool isCut;
    };
    constexpr std::uint64_t kWrap = std::uint64_t{1} << 32;
    const Case cases[] = {
        {"met, 100 ms", true, 5000, 100, false},
        {"met, 101 ms", true, 5000, 101, true},
        {"met, 100 ms across the wrap", true, kWrap - 30, 100, false},
        {"met, 101 ms across the wrap", true, kWrap - 30, 101, true},
        {"met, 101 ms ending on the wrap", true, kWrap - 101, 101, true},
        {"not met, 10 s", false, 5000, 10000, false},
    };
    // A grid with a local road 6 km long from a crossing of the upper roads to a node of its
    // own; a start on it that keeps its heading marks only the crossing, where the destination's
    // link begins.
    testdata::RoadWorld world = LevelledGrid(60, 12, 2);
    constexpr std::uint32_t kDestination = 7 * 60 + 7;
    const std::uint32_t lonely = AddLocalChain(world, {kOrigin.x + 7000, kOrigin.y - 40000}, 1);
    testdata::WorldLink road;
    road.from = lonely;
    road.to = kDestination;
    road.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
    road.lengthUnits = testdata::FlatWorldLengthUnits(world.nodes[lonely], world.nodes[road.to]);
    road.roadClass = 6;
    const auto roadLink = static_cast<std::uint32_t>(world.links.size());
    world.links.push_back(road);
    auto routed = routingtest::MakeRouterWorld(world, {}, Maps(2));
    ASSERT_TRUE(routed->IsReady());
    RouterCore& router = *routed->router;
    const RouteOracle oracle(routed->world, routed->options);
    const OraclePlace destination{kDestination, 7 * 119 + 2 * 7, 20.0}; // towards column 8
    ASSERT_EQ(routed->world.links[*destination.link].to, kDestination + 1);
    CalculationFlags flags;
    flags.keepStartHeading = 1;
    const auto settledAbove = [&] { return router.GetSettledCounts()[kDestinationSide][1]; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const OraclePlace start =
            c.isMet ? OraclePlace{lonely, roadLink, 100.0} : OraclePlace{3 * 60 + 55, {}, 0.0};
        platform::VirtualClock time;
        time.SetTick(c.startTick);
        bool hasJumped = false;
        HookedClock clock(time, [&] {
            if (c.jumpMs > 0 && !hasJumped && settledAbove() > 0) {
                hasJumped = true;
                time.Advance(c.jumpMs);
            }
        });
        const platform::ScopedClock installed(clock);
        ASSERT_EQ(router.Calculate(oracle.Entry(start), oracle.Entry(destination), flags), 6);
        ASSERT_EQ(router.GetChosenLevel(), 1);
        ASSERT_TRUE(hasJumped);
        const std::uint32_t settled = settledAbove();
        // The same search on a clock that stands still.
        hasJumped = true;
        ASSERT_EQ(router.Calculate(oracle.Entry(start), oracle.Entry(destination), flags), 6);
        const std::uint32_t untimed = settledAbove();
        EXPECT_GT(untimed, 10u);
        EXPECT_EQ(settled, c.isCut ? 1u : untimed);
        EXPECT_TRUE(CheckRoute(router, oracle, start, destination).has_value());
    }
}

class FirstReport final : public ProgressObserver {
public:
    bool IsCancelled() override { return false; }
    void ReportProgress(std::int32_t percent) override {
        if (!first) {
            first = percent;
        }
    }
    std::optional<std::int32_t> first;
};

// The records as link ids and lengths, for comparing two routes.
std::vector<std::pair<std::uint32_t, std::int32_t>> Shape(const std::vector<RouteRecord>& list) {
    std::vector<std::pair<std::uint32_t, std::int32_t>> shape;
    for (const RouteRecord& record : list) {
        shape.emplace_back(record.linkId, record.length);
    }
    return shape;
}

// A second calculation to the destination of the first uses the first one's destination search
// when it may (same level, options and destination, a start at most 1.2 times as far, reuse
// allowed): it reports at most 80 first and gives the route a fresh router gives. A failure
// after reuse leaves no route.
TEST(RouterLevels, ReuseOfTheDestinationSearch) {
    constexpr std::uint32_t kWidth = 100;
    struct Case {
        const char* name;
        std::uint32_t startColumn; // row 3; the first start is column 30, the destination 80
        std::uint32_t destinationColumn;
        std::uint32_t routeType;
        std::uint8_t allowReuse;
        bool onDeadEnd; // keeping the heading into a dead end: fails after the reuse
        bool isReused;
    };
    const Case cases[] = {
        {"1.1 times as far", 25, 80, 1, 1, false, true},
        {"1.3 times as far", 15, 80, 1, 1, false, false},
        {"other options", 25, 80, 0, 1, false, false},
        {"another destination", 25, 81, 1, 1, false, false},
        {"reuse not allowed", 25, 80, 1, 0, false, false},
        {"failure after reuse", 25, 80, 1, 1, true, true},
    };
    testdata::RoadWorld world = LevelledGrid(kWidth, 12, 2);
    const std::uint32_t spur = AddLocalChain(world, {kOrigin.x + 25 * 1000, kOrigin.y - 700}, 1);
    testdata::WorldLink link;
    link.from = 3 * kWidth + 25;
    link.to = spur;
    link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
    link.lengthUnits = testdata::FlatWorldLengthUnits(world.nodes[link.from], world.nodes[spur]);
    link.roadClass = 6;
    const std::uint32_t spurLink = static_cast<std::uint32_t>(world.links.size());
    world.links.push_back(link);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto routed = routingtest::MakeRouterWorld(world, {}, Maps(2));
        ASSERT_TRUE(routed->IsReady());
        RouterCore& router = *routed->router;
        const RouteOracle first(routed->world, routed->options);
        CalculationFlags flags;
        flags.allowReuse = 1;
        const OraclePlace destination{3 * kWidth + 80, std::nullopt, 0.0};
        ASSERT_EQ(router.Calculate(first.Entry({3 * kWidth + 30, std::nullopt, 0.0}),
                                   first.Entry(destination), flags),
                  6);
        ASSERT_EQ(router.GetChosenLevel(), 1);
        EXPECT_FALSE(router.WasSearchReused());

        RouteOptions options;
        options.routeType = c.routeType;
        router.SetOptions(options);
        const RouteOracle oracle(routed->world, options);
        const OraclePlace start = c.onDeadEnd
                                      ? OraclePlace{link.from, spurLink, 10.0}
                                      : OraclePlace{3 * kWidth + c.startColumn, std::nullopt, 0.0};
        const OraclePlace to{3 * kWidth + c.destinationColumn, std::nullopt, 0.0};
        flags.allowReuse = c.allowReuse;
        flags.keepStartHeading = c.onDeadEnd ? 1 : 0;
        FirstReport observer;
        router.SetProgressObserver(&observer);
        const std::int32_t code = router.Calculate(oracle.Entry(start), oracle.Entry(to), flags);
        router.SetProgressObserver(nullptr);
        EXPECT_EQ(router.WasSearchReused(), c.isReused);
        const auto& destinationSettled = router.GetStatistics().settled[kDestinationSide];
        EXPECT_EQ(destinationSettled[0] + destinationSettled[1] == 0, c.isReused);
        if (c.onDeadEnd) {
            EXPECT_EQ(code, 23);
            EXPECT_EQ(router.GetLength(), -1.0f);
            EXPECT_TRUE(router.BuildRecords(-1, true).empty());
            continue;
        }
        ASSERT_EQ(code, 6);
        ASSERT_TRUE(observer.first.has_value());
        if (c.isReused) {
            EXPECT_LE(*observer.first, 80);
        }
        ASSERT_TRUE(CheckRoute(router, oracle, start, to).has_value());
        auto fresh = routingtest::MakeRouterWorld(world, options, Maps(2));
        ASSERT_TRUE(fresh->IsReady());
        ASSERT_EQ(fresh->router->Calculate(oracle.Entry(start), oracle.Entry(to), flags), 6);
        EXPECT_EQ(Shape(router.BuildRecords(-1, true)),
                  Shape(fresh->router->BuildRecords(-1, true)));
    }
}

// A route that meets where the last one met, or drives one of its links, takes the last one's
// tail only when it leads to the same destination with the same options; towards another
// destination it gets its own, although the two share most of their links.
TEST(RouterLevels, PreviousRouteJoinedOnlyTowardsItsDestination) {
    constexpr std::uint32_t kWidth = 100;
    struct Case {
        const char* name;
        std::uint32_t firstStart; // columns of row 3; the first destination is column 80
        std::uint32_t secondStart;
        std::uint32_t secondDestination;
        bool isJoined;
    };
    const Case cases[] = {
        {"same destination", 30, 31, 80, true},
        {"another destination", 30, 30, 79, false},
    };
    const testdata::RoadWorld world = LevelledGrid(kWidth, 12, 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto routed = routingtest::MakeRouterWorld(world, {}, Maps(2));
        ASSERT_TRUE(routed->IsReady());
        RouterCore& router = *routed->router;
        const RouteOracle oracle(routed->world, routed->options);
        CalculationFlags flags;
        flags.allowReuse = 1;
        const OraclePlace first{3 * kWidth + c.firstStart, std::nullopt, 0.0};
        ASSERT_EQ(router.Calculate(oracle.Entry(first),
                                   oracle.Entry({3 * kWidth + 80, std::nullopt, 0.0}), flags),
                  6);
        ASSERT_FALSE(router.BuildRecords(-1, true).empty());
        const CrossingAddress meeting = router.GetMeetingAddress();
        EXPECT_FALSE(router.HasJoinedPreviousRoute());

        const OraclePlace start{3 * kWidth + c.secondStart, std::nullopt, 0.0};
        const OraclePlace to{3 * kWidth + c.secondDestination, std::nullopt, 0.0};
        ASSERT_EQ(router.Calculate(oracle.Entry(start), oracle.Entry(to), flags), 6);
        ASSERT_EQ(router.GetChosenLevel(), 1);
        if (c.isJoined) {
            EXPECT_EQ(router.GetMeetingAddress(), meeting);
        }
        ASSERT_TRUE(CheckRoute(router, oracle, start, to).has_value());
        EXPECT_EQ(router.HasJoinedPreviousRoute(), c.isJoined);
        auto fresh = routingtest::MakeRouterWorld(world, {}, Maps(2));
        ASSERT_TRUE(fresh->IsReady());
        ASSERT_EQ(fresh->router->Calculate(oracle.Entry(start), oracle.Entry(to), flags), 6);
        EXPECT_EQ(Shape(router.BuildRecords(-1, true)),
                  Shape(fresh->router->BuildRecords(-1, true)));
    }
}

} // namespace
