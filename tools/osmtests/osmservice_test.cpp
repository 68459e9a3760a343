// The route service on the extract converted with three levels: routes between roads of two
// municipalities, from element positions, from a matched position and from points beside the
// roads, join up record by record and add up to the route's length.
#include "basiccomp/retrievalengine/code/geomolecule.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "positioning/geodistance.h"
#include "routing/routeservice.h"
#include "testdata/matchedpositionbuilder.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"
#include "utilities/usefulcode/greatcircledistance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

class ExtractService : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions three;
        three.levels = 3;
        ConvertOnce({{"service", three}});
    }
};

struct Road {
    std::uint32_t id = 0;
    std::vector<GeoPoint> line;
    GeoPoint beside; // 5 m beside the middle of its first segment
};

// The first road of the municipality that the nearest-road search accepts, whose first segment
// is at least 40 m long (other roads of its ends stay away from its middle), and to which the
// point 5 m beside that middle attaches.
std::optional<Road> RoadOf(RetrievalEngineImpl& engine, RouteService& service,
                           const std::u16string& city) {
    Road road;
    const auto found =
        extractplaces::FirstStreetElement(engine, city, [&](std::uint32_t id, std::int32_t area) {
            const MapElementPtr element = engine.GetElement(id);
            road = Road{id, {}, {}};
            ElementAttributes attributes;
            if (!element || !element->GetPoints(road.line) || road.line.size() < 2 ||
                engine.GetAreaOfElement(id) != area) {
                return false;
            }
            element->GetAttributes(attributes);
            const GeoPoint& a = road.line[0];
            const GeoPoint& b = road.line[1];
            if (!IsNearestRoadCandidate(element->GetTypeCode(), id, attributes) ||
                GreatCircleDistance(a.x, a.y, b.x, b.y) < 40.0) {
                return false;
            }
            road.beside = extractplaces::BesideMiddle(a, b, 5.0);
            const RoutePositionPtr position = service.CreatePosition(nullptr, &road.beside);
            return position && position->GetSingleElementId() == id;
        });
    return found ? std::optional<Road>(road) : std::nullopt;
}

// A found route whose records join up from the start point to the destination point (within
// 1 m) and whose lengths add up to the route's (within 1 m per record).
void ExpectJoinedRoute(const RouteRequestResult& result) {
    ASSERT_EQ(result.status, routestatus::kFound);
    ASSERT_TRUE(result.start && result.destination);
    std::vector<RouteRecord> records;
    for (RouteIteratorPtr it = GetRouteIterator(result); it && it->IsValid(); it->Next()) {
        records.push_back(it->Current());
        ASSERT_FALSE(records.back().polyline.empty()) << records.size() - 1;
    }
    ASSERT_FALSE(records.empty());
    EXPECT_LT(GeoDistance(records.front().polyline.front(), result.start->GetSinglePoint()), 1.0);
    EXPECT_LT(GeoDistance(records.back().polyline.back(), result.destination->GetSinglePoint()),
              1.0);
    std::int64_t length = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        length += records[i].length;
        if (i > 0) {
            EXPECT_LT(GeoDistance(records[i - 1].polyline.back(), records[i].polyline.front()), 1.0)
                << "record " << i << " of " << records.size();
        }
    }
    EXPECT_NEAR(static_cast<double>(length), result.length, static_cast<double>(records.size()));
}

TEST_F(ExtractService, RoutesBetweenRoadsOfTwoMunicipalitiesJoinUp) {
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    ASSERT_TRUE(engine->Open(std::u16string(u"\\service") + osm2nav::kLevelFile));
    const RouteServicePtr service = CreateRouteService(RetrievalEngine::RetrievalEnginePtr(engine));
    ASSERT_TRUE(service);
    ASSERT_TRUE(service->OpenNetwork(std::u16string(u"\\service") + osm2nav::kNetworkFile));
    ASSERT_EQ(service->GetNetwork()->GetMapCount(), 3);

    const std::pair<const char16_t*, const char16_t*> pairs[] = {
        {u"Vaduz", u"Schaan"},
        {u"Balzers", u"Eschen"},
        {u"Triesenberg", u"Mauren"},
        {u"Ruggell", u"Triesen"},
    };
    for (const auto& [from, to] : pairs) {
        const std::u16string fromName = from;
        const std::u16string toName = to;
        SCOPED_TRACE(std::string(fromName.begin(), fromName.end()) + " to " +
                     std::string(toName.begin(), toName.end()));
        const std::optional<Road> a = RoadOf(*engine, *service, fromName);
        const std::optional<Road> b = RoadOf(*engine, *service, toName);
        ASSERT_TRUE(a && b);
        {
            SCOPED_TRACE("element positions");
            const RoutePositionPtr start = service->CreateElementPosition(&a->id);
            const RoutePositionPtr destination = service->CreateElementPosition(&b->id);
            ASSERT_TRUE(start && destination);
            ASSERT_EQ(start->GetSingleElementId(), a->id);
            ASSERT_EQ(destination->GetSingleElementId(), b->id);
            ExpectJoinedRoute(service->RequestRoute(start, destination, nullptr));
        }
        {
            SCOPED_TRACE("points beside the roads");
            const RoutePositionPtr start = service->CreatePosition(nullptr, &a->beside);
            const RoutePositionPtr destination = service->CreatePosition(nullptr, &b->beside);
            ASSERT_TRUE(start && destination);
            const RouteRequestResult result = service->RequestRoute(start, destination, nullptr);
            ExpectJoinedRoute(result);
            const RouteIteratorPtr it = GetRouteIterator(result);
            ASSERT_TRUE(it && it->IsValid());
            EXPECT_EQ(it->Current().linkId, a->id);
        }
        {
            SCOPED_TRACE("from a matched position");
            const GeoPoint& p = a->line[0];
            const GeoPoint& q = a->line[1];
            const GeoPoint at{(p.x + q.x) / 2.0f, (p.y + q.y) / 2.0f};
            const MatchedPosition here = testdata::MatchedPositionBuilder()
                                             .Fix(at)
                                             .OnStreet(a->id, at, p, q)
                                             .Speed(50)
                                             .Build();
            const RoutePositionPtr destination = service->CreateElementPosition(&b->id);
            const RouteRequestResult result =
                service->RequestRouteFromCurrentPosition(here, destination, true, nullptr, -1);
            ExpectJoinedRoute(result);
            ASSERT_EQ(result.start->GetKind(), RoutePosition::kCurrent);
            const RouteIteratorPtr it = GetRouteIterator(result);
            ASSERT_TRUE(it && it->IsValid());
            EXPECT_EQ(it->Current().linkId, a->id);
        }
    }
}

} // namespace
