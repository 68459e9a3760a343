// The random hierarchical worlds of the test-data library, read back through the loaded network:
// what the climb between levels and the search on each level rely on.
#include "routing/roadnetwork.h"
#include "routing/tests/networkfixture.h"
#include "testdata/randomworld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <numeric>
#include <vector>

namespace {

struct LoadedLink {
    std::uint32_t element = 0;
    std::uint32_t roadClass = 0;
    std::uint32_t direction = 0;
    std::uint32_t metres = 0;
    std::uint32_t target = 0; // crossing index on the same level
};

struct LoadedCrossing {
    GeoPoint position;
    std::vector<LoadedLink> links;
    std::optional<std::uint32_t> upper; // crossing index one level up
};

// One level as the network reads it, crossings in page order.
struct LoadedLevel {
    std::vector<LoadedCrossing> crossings;
    std::map<std::uint32_t, std::uint32_t> indexOfAddress; // page << 16 | offset
    std::vector<std::optional<std::uint32_t>> lower;       // by crossing: the one below
};

std::uint32_t Key(const CrossingAddress& a) {
    return std::uint32_t{a.page} << 16 | a.offset;
}

LoadedLevel ReadLevel(RoadNetwork& network, std::uint16_t level) {
    LoadedLevel out;
    const std::uint32_t count = network.GetCrossingCount(level);
    std::vector<std::vector<CrossingAddress>> targets(count);
    std::vector<std::optional<CrossingAddress>> uppers(count);
    NetworkCrossingPtr walk = network.CreateCrossing({0, 0, 0xFFFFFFFF, level});
    for (std::uint32_t i = 0; i < count; ++i, walk->Next()) {
        EXPECT_TRUE(walk->IsValid()) << "crossing " << i << " of " << count;
        if (!walk->IsValid()) {
            return out;
        }
        out.indexOfAddress[Key(walk->GetAddress())] = i;
        LoadedCrossing crossing{walk->Position(), {}, {}};
        for (LinkCursorPtr c = network.CreateCursor(*walk, 0, 0); c->IsValid(); c->Next()) {
            crossing.links.push_back(
                {c->GetElementId(), c->GetRoadClass(), c->GetDirectionCode(), c->GetLength(), 0});
            targets[i].push_back(c->GetTarget());
        }
        if (const NetworkCrossingPtr upper = network.GetUpperCrossing(*walk)) {
            uppers[i] = upper->GetAddress();
        }
        out.crossings.push_back(std::move(crossing));
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        for (std::size_t k = 0; k < targets[i].size(); ++k) {
            const auto found = out.indexOfAddress.find(Key(targets[i][k]));
            EXPECT_NE(found, out.indexOfAddress.end()) << "a link to no crossing";
            out.crossings[i].links[k].target =
                found != out.indexOfAddress.end() ? found->second : i;
        }
    }
    // Upper addresses are resolved once the level above is read; keep them as keys till then.
    for (std::uint32_t i = 0; i < count; ++i) {
        if (uppers[i]) {
            out.crossings[i].upper = Key(*uppers[i]);
        }
    }
    return out;
}

// Resolves the lower level's upper references into the upper level's indexes and the reverse.
void Join(LoadedLevel& lower, LoadedLevel& upper) {
    upper.lower.assign(upper.crossings.size(), std::nullopt);
    for (std::uint32_t i = 0; i < lower.crossings.size(); ++i) {
        std::optional<std::uint32_t>& up = lower.crossings[i].upper;
        if (!up) {
            continue;
        }
        const auto found = upper.indexOfAddress.find(*up);
        ASSERT_NE(found, upper.indexOfAddress.end()) << "an upper reference to no crossing";
        up = found->second;
        EXPECT_FALSE(upper.lower[found->second].has_value()) << "two crossings below one";
        upper.lower[found->second] = i;
        const GeoPoint a = lower.crossings[i].position;
        const GeoPoint b = upper.crossings[found->second].position;
        EXPECT_TRUE(a.x == b.x && a.y == b.y) << "an upper crossing elsewhere";
    }
    for (std::uint32_t i = 0; i < upper.crossings.size(); ++i) {
        EXPECT_TRUE(upper.lower[i].has_value()) << "upper crossing " << i << " has none below";
    }
}

const LoadedLink* FindLink(const LoadedCrossing& crossing, std::uint32_t element) {
    for (const LoadedLink& link : crossing.links) {
        if (link.element == element) {
            return &link;
        }
    }
    return nullptr;
}

// Follows the chain's elements on the level below from `from`; the crossing reached, if all
// are there, two-way and as long as the rows say.
std::optional<std::uint32_t> WalkChain(const LoadedLevel& level, std::uint32_t from,
                                       const std::vector<O2SRecord>& chain) {
    std::uint32_t at = from;
    for (const O2SRecord& record : chain) {
        const LoadedLink* link = FindLink(level.crossings[at], record.elementId);
        if (link == nullptr || link->direction != 2 ||
            static_cast<float>(link->metres) != record.length) {
            return std::nullopt;
        }
        at = link->target;
    }
    return at;
}

void ExpectPlainLinkBelow(const LoadedLink& link, const LoadedCrossing& below,
                          std::uint32_t targetBelow) {
    const LoadedLink* same = FindLink(below, link.element);
    ASSERT_NE(same, nullptr) << "an upper link without its element below";
    EXPECT_EQ(same->roadClass, link.roadClass);
    EXPECT_EQ(same->direction, link.direction);
    EXPECT_EQ(same->metres, link.metres);
    EXPECT_EQ(same->target, targetBelow);
}

void ExpectChainBelow(RoadNetwork& network, const LoadedLink& link, const LoadedLevel& lower,
                      std::uint32_t from, std::uint32_t to) {
    const std::vector<O2SRecord> chain = network.LookupO2S(link.element);
    ASSERT_GE(chain.size(), 2u);
    const double sum =
        std::accumulate(chain.begin(), chain.end(), 0.0,
                        [](double total, const O2SRecord& r) { return total + r.length; });
    EXPECT_EQ(sum, link.metres);
    // Stored from either end of the link.
    EXPECT_TRUE(WalkChain(lower, from, chain) == to || WalkChain(lower, to, chain) == from)
        << "a chain that does not join its ends";
}

// Every upper link is the lower level's link between the same crossings, or an optimised link
// whose chain joins them there and whose rows sum to its length. Counts the chains.
int ExpectUpperLinksBelow(RoadNetwork& network, const LoadedLevel& lower,
                          const LoadedLevel& upper) {
    int chains = 0;
    for (std::uint32_t u = 0; u < upper.crossings.size(); ++u) {
        for (const LoadedLink& link : upper.crossings[u].links) {
            SCOPED_TRACE(link.element);
            const auto from = upper.lower[u];
            const auto to = upper.lower[link.target];
            if (!from || !to) {
                continue; // reported by Join
            }
            if (network.IsOptimisedId(link.element)) {
                ++chains;
                ExpectChainBelow(network, link, lower, *from, *to);
            } else {
                ExpectPlainLinkBelow(link, lower.crossings[*from], *to);
            }
        }
    }
    return chains;
}

// Whether every crossing reaches every other, driving the links' directions.
bool IsStronglyConnected(const LoadedLevel& level, std::uint32_t from,
                         const std::vector<bool>& mustReach) {
    const auto count = level.crossings.size();
    std::vector<std::vector<std::uint32_t>> backward(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        for (const LoadedLink& link : level.crossings[i].links) {
            if (link.direction == 1 || link.direction == 2) {
                backward[link.target].push_back(i);
            }
        }
    }
    for (const bool isForward : {true, false}) {
        std::vector<bool> seen(count, false);
        std::deque<std::uint32_t> open{from};
        seen[from] = true;
        while (!open.empty()) {
            const std::uint32_t at = open.front();
            open.pop_front();
            const auto visit = [&](std::uint32_t next) {
                if (!seen[next]) {
                    seen[next] = true;
                    open.push_back(next);
                }
            };
            if (!isForward) {
                std::for_each(backward[at].begin(), backward[at].end(), visit);
                continue;
            }
            for (const LoadedLink& link : level.crossings[at].links) {
                if (link.direction == 1 || link.direction == 2) {
                    visit(link.target);
                }
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (mustReach[i] && !seen[i]) {
                return false;
            }
        }
    }
    return true;
}

// Highways (class 0) meet only ramps (class 1), and each ramp leads to a crossing of arterials
// (classes 2..5), a few kilometres apart along the highways.
void ExpectHighwaysJoinByRamps(const LoadedLevel& level0) {
    const auto isHighway = [&](const LoadedCrossing& c) {
        return std::any_of(c.links.begin(), c.links.end(),
                           [](const LoadedLink& l) { return l.roadClass == 0; });
    };
    double highwayMetres = 0.0;
    int ramps = 0;
    for (const LoadedCrossing& crossing : level0.crossings) {
        if (!isHighway(crossing)) {
            continue;
        }
        for (const LoadedLink& link : crossing.links) {
            const LoadedCrossing& other = level0.crossings[link.target];
            if (link.roadClass == 0) {
                highwayMetres += link.metres / 2.0; // seen from both ends
                continue;
            }
            ASSERT_EQ(link.roadClass, 1u) << "a highway crossing with another road";
            ++ramps;
            EXPECT_FALSE(isHighway(other)) << "a ramp between highways";
            const auto arterials =
                std::count_if(other.links.begin(), other.links.end(), [](const LoadedLink& l) {
                    return l.roadClass >= 2 && l.roadClass <= 5;
                });
            EXPECT_GE(arterials, 3) << "a ramp to a crossing off the arterials";
        }
    }
    EXPECT_GT(ramps, 0);
    EXPECT_LE(ramps * 2000.0, highwayMetres);
}

struct WorldCase {
    std::uint32_t levels;
    std::uint32_t seed;
    bool withChains;
    std::uint32_t listItemPercent;
};

void CheckWorld(const WorldCase& c) {
    testdata::RandomWorldOptions options;
    options.seed = c.seed;
    options.columns = 64;
    options.rows = 56;
    options.levels = c.levels;
    options.listItemPercent = c.listItemPercent;
    const testdata::RandomWorld random = testdata::MakeRandomWorld(options);
    testdata::RoadNetworkOptions network =
        testdata::RandomWorldNetworkOptions(random, c.withChains);
    network.separated = {c.seed % 2 == 0, false, c.seed % 2 == 1};
    const auto written = routingtest::WriteAndLoad(random.world, network);
    ASSERT_TRUE(written->isLoaded);
    ASSERT_EQ(written->network->GetMapCount(), c.levels);

    std::vector<LoadedLevel> levels;
    for (std::uint16_t level = 0; level < c.levels; ++level) {
        levels.push_back(ReadLevel(*written->network, level));
        ASSERT_GT(levels.back().crossings.size(), 1u);
    }
    int chains = 0;
    for (std::uint32_t level = 1; level < c.levels; ++level) {
        SCOPED_TRACE(testing::Message() << "level " << level);
        Join(levels[level - 1], levels[level]);
        chains += ExpectUpperLinksBelow(*written->network, levels[level - 1], levels[level]);
        // Arterials and faster on level 1, highways and ramps on level 2.
        for (const LoadedCrossing& crossing : levels[level].crossings) {
            for (const LoadedLink& link : crossing.links) {
                EXPECT_LE(link.roadClass, level == 1 ? 5u : 1u);
            }
        }
        const std::vector<bool> all(levels[level].crossings.size(), true);
        EXPECT_TRUE(IsStronglyConnected(levels[level], 0, all));
    }
    EXPECT_EQ(chains > 0, c.withChains);
    // On level 0 the crossings that climb all lie in one strongly connected part.
    std::vector<bool> climbing;
    for (const LoadedCrossing& crossing : levels[0].crossings) {
        climbing.push_back(crossing.upper.has_value());
    }
    const auto first = std::find(climbing.begin(), climbing.end(), true) - climbing.begin();
    EXPECT_TRUE(IsStronglyConnected(levels[0], static_cast<std::uint32_t>(first), climbing));
    if (c.levels == 3) {
        ExpectHighwaysJoinByRamps(levels[0]);
    }
}

TEST(HierarchicalWorld, UpperLevelsAreTheWorldsLinksOrTheirChainsAndConnected) {
    const WorldCase cases[] = {
        {2, 4, true, 0}, {2, 5, false, 10}, {3, 6, true, 10}, {3, 7, false, 0}, {3, 8, true, 0}};
    for (const WorldCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.levels << " levels, seed " << c.seed);
        CheckWorld(c);
    }
}

} // namespace
