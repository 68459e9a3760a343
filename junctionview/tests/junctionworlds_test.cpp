#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "junctionview/tests/junctionworld.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using junctionworld::RouteWorld;

TEST(JunctionWorlds, RouteThroughTheirJunctionsWithRingAndLookedPastFlags) {
    const struct {
        const char* name;
        testdata::JunctionScenario scenario;
        std::vector<std::string> links;
        std::vector<std::string> ring;
        std::vector<std::string> lookedPast;
    } worlds[] = {
        {"T", testdata::TJunctionScenario(), {"SJ", "JE"}, {}, {}},
        {"cross",
         testdata::CrossingScenario(maprecord::kResidentialType, maprecord::kResidentialType,
                                    maprecord::kResidentialType, maprecord::kResidentialType),
         {"SJ", "JN"},
         {},
         {}},
        {"roundabout from the south",
         testdata::ArmedRoundaboutScenario(),
         {"S1", "12", "2E"},
         {"12"},
         {}},
        {"roundabout from the west",
         testdata::ArmedRoundaboutScenario("VWa12E"),
         {"VW", "Wa", "a1", "12", "2E"},
         {"a1", "12"},
         {"Wa"}},
    };
    for (const MapPoint centre : {testdata::kScenarioCentre, testdata::kNorthScenarioCentre}) {
        for (const auto& w : worlds) {
            SCOPED_TRACE(testing::Message() << w.name << " at " << centre.y);
            const auto world = RouteWorld(testdata::ScenarioAt(w.scenario, centre));
            ASSERT_TRUE(world);
            ASSERT_EQ(world->records.size(), w.links.size());
            for (std::size_t i = 0; i < w.links.size(); ++i) {
                const RouteRecord& record = world->records[i];
                EXPECT_EQ(record.linkId, world->written.Element(w.links[i])) << w.links[i];
                const auto in = [&](const std::vector<std::string>& list) {
                    return std::find(list.begin(), list.end(), w.links[i]) != list.end();
                };
                EXPECT_EQ((record.elementAttributes & maprecord::kRing) != 0, in(w.ring));
                EXPECT_EQ((record.elementAttributes & maprecord::kLookedPast) != 0,
                          in(w.lookedPast));
            }
        }
    }
}

TEST(JunctionWorlds, EngineMapAnswersRoadsOnlyAndElementsById) {
    for (const MapPoint centre : {testdata::kScenarioCentre, testdata::kNorthScenarioCentre}) {
        SCOPED_TRACE(centre.y);
        const auto world =
            RouteWorld(testdata::ScenarioAt(testdata::ArmedRoundaboutScenario(), centre));
        ASSERT_TRUE(world);
        // Around ring node 2, where a point of interest stands: the ring's two links and the
        // exit arm.
        const GeoPoint two = world->Node('2');
        std::vector<JunctionMapElement> roads;
        world->map->QueryRoads({two.x - 1e-5f, two.y - 1e-5f, two.x + 1e-5f, two.y + 1e-5f}, roads);
        std::vector<std::uint32_t> ids;
        for (const JunctionMapElement& road : roads) {
            ids.push_back(road.id);
            EXPECT_TRUE(maprecord::IsRoadType(static_cast<std::uint16_t>(road.typeCode)));
        }
        std::sort(ids.begin(), ids.end());
        std::vector<std::uint32_t> expected = {world->written.Element("12"),
                                               world->written.Element("23"),
                                               world->written.Element("2E")};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ids, expected);

        JunctionMapElement ring;
        ASSERT_TRUE(world->map->GetElement(world->written.Element("12"), ring));
        ASSERT_EQ(ring.points.size(), 2u);
        EXPECT_NEAR(ring.points[0].x, world->Node('1').x, 1e-6);
        EXPECT_NEAR(ring.points[1].y, two.y, 1e-6);
        EXPECT_NE(ring.attributes & maprecord::kRing, 0u);
        EXPECT_EQ((ring.attributes >> maprecord::kDirectionShift) & 3u, maprecord::kOneWayAlong);
        JunctionMapElement missing;
        EXPECT_FALSE(world->map->GetElement(0xFFFFFFFF, missing));
    }
}

} // namespace
