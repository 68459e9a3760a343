// Routes on the shared extract converted with three levels against the same extract converted
// with one, where the search covers every crossing and is exact.
#include "positioning/geodistance.h"
#include "routing/linkcosts.h"
#include "routing/routercore.h"
#include "tools/osmtests/convertedextract.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

class ExtractRoutes : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions three;
        three.levels = 3;
        ConvertOnce({{"three", three}, {"one", osm2nav::ConvertOptions{}}});
    }

    void SetUp() override {
        ASSERT_TRUE(m_three.Load(std::u16string(u"\\three") + osm2nav::kNetworkFile, nullptr));
        ASSERT_TRUE(m_one.Load(std::u16string(u"\\one") + osm2nav::kNetworkFile, nullptr));
        ASSERT_EQ(m_three.GetMapCount(), 3);
        ASSERT_EQ(m_one.GetMapCount(), 1);
    }

    RoadNetwork m_three;
    RoadNetwork m_one;
};

struct Crossing {
    GeoPoint position;
    std::vector<std::pair<std::uint32_t, std::size_t>> links; // element, target crossing
};

// Level 0 of a network: crossings in page order with their links, and the largest set of
// crossings joined by links in either direction.
struct Level0 {
    std::vector<Crossing> crossings;
    std::map<std::pair<float, float>, std::size_t> atPosition;
    std::vector<std::size_t> largest;
};

Level0 ReadLevel0(RoadNetwork& network) {
    Level0 out;
    std::map<std::pair<std::uint16_t, std::uint16_t>, std::size_t> index;
    std::vector<std::vector<CrossingAddress>> targets;
    for (auto c = network.CreateCrossing({0, 0, 0xFFFFFFFF, 0}); c && c->IsValid(); c->Next()) {
        index[{c->GetAddress().page, c->GetAddress().offset}] = out.crossings.size();
        out.atPosition[{c->Position().x, c->Position().y}] = out.crossings.size();
        Crossing crossing{c->Position(), {}};
        targets.emplace_back();
        for (auto cursor = network.CreateCursor(*c, 0, 0); cursor->IsValid(); cursor->Next()) {
            crossing.links.emplace_back(cursor->GetElementId(), 0);
            targets.back().push_back(cursor->GetTarget());
        }
        out.crossings.push_back(std::move(crossing));
    }
    for (std::size_t i = 0; i < out.crossings.size(); ++i) {
        for (std::size_t k = 0; k < targets[i].size(); ++k) {
            out.crossings[i].links[k].second = index.at({targets[i][k].page, targets[i][k].offset});
        }
    }
    std::vector<int> set(out.crossings.size(), -1);
    std::vector<std::size_t> sizes;
    for (std::size_t i = 0; i < set.size(); ++i) {
        if (set[i] >= 0) {
            continue;
        }
        const auto id = static_cast<int>(sizes.size());
        sizes.push_back(0);
        std::vector<std::size_t> open{i};
        set[i] = id;
        while (!open.empty()) {
            const std::size_t at = open.back();
            open.pop_back();
            ++sizes.back();
            for (const auto& [element, to] : out.crossings[at].links) {
                if (set[to] < 0) {
                    set[to] = id;
                    open.push_back(to);
                }
            }
        }
    }
    const auto biggest =
        static_cast<int>(std::max_element(sizes.begin(), sizes.end()) - sizes.begin());
    for (std::size_t i = 0; i < set.size(); ++i) {
        if (set[i] == biggest) {
            out.largest.push_back(i);
        }
    }
    return out;
}

RoutePositionEntry EntryAt(const GeoPoint& p) {
    RoutePositionEntry entry;
    entry.point = p;
    entry.nodePoint = p;
    return entry;
}

// The records' cost by their lengths and attribute codes; nullopt (with the reason) unless they
// run link by link from `from` to `to` over level-0 elements.
std::optional<double> PriceRoute(const std::vector<RouteRecord>& records, const Level0& level0,
                                 const RoadNetwork& network, const RouteOptions& options,
                                 std::size_t from, std::size_t to, std::string& problem) {
    std::size_t at = from;
    double cost = 0.0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const RouteRecord& r = records[i];
        if (network.IsOptimisedId(r.linkId)) {
            problem = "record " + std::to_string(i) + " keeps an optimised id";
            return std::nullopt;
        }
        const Crossing& crossing = level0.crossings[at];
        if (r.x != crossing.position.x || r.y != crossing.position.y) {
            problem = "record " + std::to_string(i) + " does not start where the last one ended";
            return std::nullopt;
        }
        const auto link = std::find_if(crossing.links.begin(), crossing.links.end(),
                                       [&](const auto& l) { return l.first == r.linkId; });
        if (link == crossing.links.end()) {
            problem = "record " + std::to_string(i) + " is no link of its crossing";
            return std::nullopt;
        }
        at = link->second;
        const std::uint32_t code = r.attributes.AttributeCode();
        cost += MixedLinkCost(options, static_cast<std::int32_t>(code),
                              static_cast<float>(r.length), ClassSpeed(options, code));
    }
    if (at != to) {
        problem = "the route does not end at the destination";
        return std::nullopt;
    }
    return cost;
}

// Random crossing pairs of the largest connected set at least 5 km apart, routed on three levels
// and on one: found on both, joined up over level-0 elements, never cheaper on three levels than
// the exact one-level route, at most 1.25 times it, and 1.05 times on 95 % of the pairs of each
// route type. The cost ratios are recorded.
TEST_F(ExtractRoutes, ThreeLevelRoutesJoinUpOverBaseElements) {
    const Level0 level0 = ReadLevel0(m_three);
    ASSERT_GT(level0.largest.size(), 1000u);
    std::vector<double> ratios[2]; // by route type
    for (const std::uint32_t routeType : {0u, 1u}) {
        SCOPED_TRACE(routeType);
        RouteOptions options;
        options.routeType = routeType;
        RouterCore three;
        three.SetNetwork(RoadNetworkPtr(&m_three, [](RoadNetwork*) {}));
        three.SetOptions(options);
        RouterCore one;
        one.SetNetwork(RoadNetworkPtr(&m_one, [](RoadNetwork*) {}));
        one.SetOptions(options);
        std::mt19937 engine(27 + routeType);
        int pairs = 0;
        while (pairs < 30) {
            const std::size_t a = level0.largest[engine() % level0.largest.size()];
            const std::size_t b = level0.largest[engine() % level0.largest.size()];
            const GeoPoint pa = level0.crossings[a].position;
            const GeoPoint pb = level0.crossings[b].position;
            if (GeoDistance(pa, pb) < 5000.0) {
                continue;
            }
            ++pairs;
            SCOPED_TRACE(testing::Message() << "crossings " << a << " to " << b);
            const std::int32_t exact = one.Calculate(EntryAt(pa), EntryAt(pb), {});
            if (exact == 20) {
                continue; // one-way roads of the set that lead nowhere
            }
            ASSERT_EQ(exact, 6);
            ASSERT_EQ(three.Calculate(EntryAt(pa), EntryAt(pb), {}), 6);
            std::string problem;
            const auto optimum =
                PriceRoute(one.BuildRecords(-1, true), level0, m_one, options, a, b, problem);
            ASSERT_TRUE(optimum.has_value()) << "one level: " << problem;
            const auto cost =
                PriceRoute(three.BuildRecords(-1, true), level0, m_three, options, a, b, problem);
            ASSERT_TRUE(cost.has_value()) << "three levels: " << problem;
            EXPECT_GE(*cost, *optimum * (1.0 - 1e-4));
            EXPECT_LE(*cost, *optimum * 1.25);
            ratios[routeType].push_back(*cost / *optimum);
        }
    }
    for (const std::uint32_t type : {0u, 1u}) {
        std::vector<double>& sorted = ratios[type];
        ASSERT_GE(sorted.size(), 25u);
        std::sort(sorted.begin(), sorted.end());
        const std::string name = type == 0 ? "shortest" : "quickest";
        RecordProperty(name + "_median", std::to_string(sorted[sorted.size() / 2]));
        RecordProperty(name + "_p95", std::to_string(sorted[sorted.size() * 95 / 100]));
        RecordProperty(name + "_max", std::to_string(sorted.back()));
        EXPECT_LE(sorted[sorted.size() * 95 / 100], 1.05) << name;
    }
}

} // namespace
