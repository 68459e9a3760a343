// The map matcher's street graph on the converted extract: around seeded points beside its roads
// the fetched graph holds exactly the roads a whole-extent query has in the fetch box, and every
// street of it can be extracted (real streets include rings and lollipops).
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "positioning/mapmatcher.h"
#include "tools/osmtests/convertedextract.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

namespace {

class ExtractMatcher : public ConvertedExtract {
protected:
    static void SetUpTestSuite() { ConvertOnce({{"matcher", osm2nav::ConvertOptions{}}}); }
};

struct Road {
    std::uint32_t id = 0;
    std::vector<GeoPoint> points;
};

std::vector<Road> AllRoads(RetrievalEngine::IAreaQuery& query, GeoRect extent) {
    extent.Inflate(0.01f, 0.01f);
    std::vector<Road> roads;
    for (auto cursor = query.QueryArea(extent, 1001, 1100); cursor && cursor->IsValid();
         cursor->Next()) {
        Road road{cursor->GetElementId(), std::vector<GeoPoint>(cursor->GetPointCount())};
        for (std::uint32_t i = 0; i < road.points.size(); ++i) {
            cursor->GetPoint(road.points[i], i);
        }
        roads.push_back(std::move(road));
    }
    return roads;
}

TEST_F(ExtractMatcher, GraphsEqualTheFilteredWholeQueryAndEveryStreetExtracts) {
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    ASSERT_TRUE(engine->Open(u"\\matcher\\Maps\\MAP.LVL"));
    const AreaQueryPtr query(engine);
    const std::vector<Road> roads = AllRoads(*engine, engine->GetExtent());
    ASSERT_GT(roads.size(), 1000u);
    std::mt19937 random(36);
    std::size_t extracted = 0;
    for (int round = 0; round < 200; ++round) {
        const Road& near = roads[random() % roads.size()];
        const GeoPoint& base = near.points[random() % near.points.size()];
        MatchRecord record;
        OffsetPositionByMetres(base.x, base.y, static_cast<std::int32_t>(random() % 81) - 40,
                               static_cast<std::int32_t>(random() % 81) - 40, record.raw.x,
                               record.raw.y);
        MapMatcher matcher(query);
        matcher.SetSearchArea(record);
        matcher.FetchCandidates(record);
        const GeoRect box = matcher.FetchBox(record);
        std::set<std::uint32_t> expected;
        for (const Road& road : roads) {
            if (road.points.size() >= 2 &&
                std::any_of(road.points.begin(), road.points.end(),
                            [&](const GeoPoint& p) { return ContainsPoint(box, p); })) {
                expected.insert(road.id);
            }
        }
        const StreetGraph& graph = matcher.Graph();
        ASSERT_EQ(std::set<std::uint32_t>(graph.ElementIds().begin(), graph.ElementIds().end()),
                  expected)
            << round;
        for (const std::uint32_t id : graph.ElementIds()) {
            std::vector<GeoPoint> street;
            if (graph.ExtractStreet(id, kNoElement, street, {})) {
                ++extracted;
                std::vector<GeoPoint> sorted = street;
                std::sort(sorted.begin(), sorted.end(), [](const GeoPoint& a, const GeoPoint& b) {
                    return a.x < b.x || (a.x == b.x && a.y < b.y);
                });
                EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << id;
                EXPECT_LE(street.size(), graph.NodeCount());
            }
        }
    }
    EXPECT_GT(extracted, 1000u);
}

} // namespace
