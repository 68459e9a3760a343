// Route positions on the converted extract: points a few metres beside roads of two
// municipalities attach to those roads.
#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/geomolecule.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/routepositionimpl.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"
#include "utilities/usefulcode/greatcircledistance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

class ExtractPositions : public ConvertedExtract {
protected:
    static void SetUpTestSuite() { ConvertOnce({{"positions", osm2nav::ConvertOptions{}}}); }
};

using extractplaces::BesideMiddle;

TEST_F(ExtractPositions, PointsBesideRoadsOfTwoMunicipalitiesAttachToThem) {
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    ASSERT_TRUE(engine->Open(std::u16string(u"\\positions") + osm2nav::kLevelFile));
    const RetrievalEngine::RetrievalEnginePtr shared(engine);
    for (const std::u16string city : {u"Vaduz", u"Schaan"}) {
        SCOPED_TRACE(std::string(city.begin(), city.end()));
        auto found = engine->FindCities(city, 0);
        ASSERT_TRUE(found && found->IsValid());
        const std::int32_t area = found->GetCurrent()->GetAreaId();
        std::size_t tried = 0;
        std::size_t onTheRoad = 0;
        for (auto streets = engine->FindInArea(static_cast<std::uint32_t>(area), u"");
             streets && streets->IsValid() && tried < 20; streets->Next()) {
            for (const std::uint32_t id : streets->GetCurrent()->GetElementIds()) {
                const MapElementPtr element = engine->GetElement(id);
                std::vector<GeoPoint> line;
                ElementAttributes attributes;
                if (!element || !element->GetPoints(line) || line.size() < 2 ||
                    engine->GetAreaOfElement(id) != area) {
                    continue;
                }
                element->GetAttributes(attributes);
                if (!IsNearestRoadCandidate(element->GetTypeCode(), id, attributes) ||
                    GreatCircleDistance(line[0].x, line[0].y, line[1].x, line[1].y) < 40.0) {
                    continue; // a long first segment keeps other roads of its ends away
                }
                ++tried;
                const GeoPoint p = BesideMiddle(line[0], line[1], 5.0);
                const RoutePositionImpl position(shared, 0xFFFFFFFF, p);
                EXPECT_EQ(position.GetKind(), RoutePosition::kNearestRoad);
                const std::uint32_t attached = position.GetSingleElementId();
                std::vector<GeoPoint> attachedLine;
                ASSERT_TRUE(engine->GetElementPoints(attached, attachedLine)) << id;
                // The road it attaches to is never farther than the one beside it.
                EXPECT_LE(DistanceToPolyline(p, attachedLine), DistanceToPolyline(p, line)) << id;
                EXPECT_LT(DistanceToPolyline(p, line), 6.0) << id;
                EXPECT_EQ(engine->GetAreaOfElement(attached), area) << id;
                const GeoPoint q = position.GetSinglePoint();
                EXPECT_NEAR(GreatCircleDistance(p.x, p.y, q.x, q.y),
                            DistanceToPolyline(p, attachedLine), 0.5)
                    << id;
                onTheRoad += attached == id ? 1 : 0;
                break;
            }
        }
        EXPECT_GE(tried, 10u);
        // Another road may run closer than 5 m beside a few of them.
        EXPECT_GE(onTheRoad * 10, tried * 8) << onTheRoad << " of " << tried;
    }
}

} // namespace
