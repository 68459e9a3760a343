// The map view's route overlay end to end: routes of the route service over a road grid written
// as a map set and a road network, shown with the draw town's day and night sheets.

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "mapdisplay/tests/mapviewfixture.h"
#include "positioning/geodistance.h"
#include "routing/routeservice.h"
#include "routing/tests/scriptedroute.h"
#include "testdata/golden.h"
#include "testdata/levelfilewriter.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/worldmapset.h"

#include <gtest/gtest.h>

#include <cfloat>

namespace {

using namespace mapviewtest;

// The points a part's records span: their coordinates, the first record's polyline and the
// last one's (the records between are drawn from junction to junction).
void ExtendByRecords(GeoRect& r, const RouteIteratorPtr& part) {
    std::vector<RouteRecord> records;
    for (RouteIteratorPtr it = part->CreateIterator(); it && it->IsValid(); it->Next()) {
        records.push_back(it->Current());
    }
    for (const RouteRecord& record : records) {
        if (record.x != FLT_MAX) {
            r.Extend(GeoPoint{record.x, record.y});
        }
    }
    for (const GeoPoint& p : records.front().polyline) {
        r.Extend(p);
    }
    for (const GeoPoint& p : records.back().polyline) {
        r.Extend(p);
    }
}

GeoRect TenthLarger(GeoRect r) {
    r.Inflate((r.maxX - r.minX) * 0.1f, (r.maxY - r.minY) * 0.1f);
    return r;
}

// Route colour magenta, night colour pink.
constexpr const char* kRoadRouteSettings =
    "[Map]\r\nRouteColor=16711935\r\nRouteColorNight=8388863\r\n";

// A grid of 4 x 3 nodes about 150 m apart (node = row * 4 + column), its map set and network
// in "\maps" beside the draw town's sheets, and a route service with the network open.
class MapRoadRouteTest : public MapViewFixture {
protected:
    void StartOnGrid(bool isGuidance) {
        world = testdata::RoadWorld::Grid(4, 3, 1000, MapPoint{1'260'000, 5'300'000});
        testdata::WorldMapSetOptions options;
        options.linkLayer = 6; // the street layer the route is drawn with
        ASSERT_TRUE(testdata::WriteWorldMapSet(world, options, root, u"\\maps"));
        testdata::RoadNetworkWriter writer(world, testdata::RoadNetworkOptions{});
        ASSERT_TRUE(writer.WriteTo(root, u"\\maps\\Net"));
        ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
        ASSERT_TRUE(root.WriteFile(u"\\maps\\world.lvl",
                                   testdata::LevelFileWriter()
                                       .AddMapLine("World.rid", "day.mpl", 100000, "night.mpl")
                                       .Build()));
        levelFile = u"\\maps\\world.lvl";
        engine = RetrievalEngineImpl::Create(BlockCache::Create(256));
        ASSERT_TRUE(engine->Open(u"\\maps\\World.rid"));
        service = CreateRouteService(engine);
        ASSERT_TRUE(service);
        ASSERT_TRUE(service->OpenNetwork(u"\\maps\\Net\\Net.rd"));
        Start(240, 320, kRoadRouteSettings, isGuidance, false);
        ShowWhole();
    }
    void TearDown() override {
        MapViewFixture::TearDown();
        service = nullptr;
        engine = nullptr;
    }
    [[nodiscard]] GeoPoint Node(std::uint32_t node) const {
        return MapPointToDegrees(world.nodes[node]);
    }
    [[nodiscard]] RoutePositionPtr At(std::uint32_t from, std::uint32_t to, double t) const {
        const std::uint32_t id = world.ElementBetween(from, to);
        const GeoPoint point = world.PointAlong(from, to, t);
        return service->CreatePosition(&id, &point);
    }
    // The service's route from one link position to another.
    [[nodiscard]] RouteIteratorPtr Routed(const RoutePositionPtr& from,
                                          const RoutePositionPtr& to) const {
        const RouteRequestResult result = service->RequestRoute(from, to, nullptr);
        EXPECT_EQ(result.status, routestatus::kFound);
        return GetRouteIterator(result);
    }

    testdata::RoadWorld world;
    RetrievalEngine::RetrievalEnginePtr engine;
    RouteServicePtr service;
};

TEST_F(MapRoadRouteTest, ServiceRoutesGiveDestinationExtentAreasAndZoom) {
    StartOnGrid(false);
    const RoutePositionPtr start = At(0, 1, 0.5);
    const RoutePositionPtr via = At(6, 10, 0.5);
    const RoutePositionPtr end = At(3, 7, 0.5);
    const GeoPoint none{FLT_MAX, 0};
    // The second record has no coordinates: the first's piece takes its street's shape.
    const RouteIteratorPtr shaped = std::make_shared<ScriptedRoute>(std::vector<RouteRecord>{
        ScriptedRecord(Node(3), 0, {Node(3)}), ScriptedRecord(Node(3), world.ElementBetween(3, 7)),
        ScriptedRecord(none, 0, {Node(7), Node(11)})});
    const struct {
        const char* name;
        std::vector<RouteIteratorPtr> parts;
        std::vector<GeoPoint> extra; // per part beyond its records: the street's shape
        GeoPoint destination;
    } cases[] = {
        {"two parts of the service", {Routed(start, via), Routed(via, end)}, {}, {}},
        {"a part of the service and a scripted one shaped from its street",
         {Routed(start, via), shaped},
         {Node(3), Node(7)},
         Node(11)},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        ASSERT_TRUE(t.parts[0] && t.parts[1]);
        std::vector<RouteRecord> last;
        for (RouteIteratorPtr it = t.parts[1]->CreateIterator(); it->IsValid(); it->Next()) {
            last.push_back(it->Current());
        }
        ASSERT_FALSE(last.empty());
        const GeoPoint destination =
            t.destination == GeoPoint{} ? last.back().polyline.back() : t.destination;
        EXPECT_EQ(view->SetRoute(t.parts), destination);
        EXPECT_EQ(view->GetDestination(), destination);
        if (t.destination == GeoPoint{}) {
            EXPECT_LT(GeoDistance(destination, end->GetSinglePoint()), 1.0);
        } else {
            EXPECT_EQ(view->GetRoutePieces().back().points,
                      (std::vector<GeoPoint>{Node(7), Node(11)}));
            EXPECT_EQ(view->GetRoutePieces()[view->GetRoutePieces().size() - 2].points, t.extra);
        }
        std::vector<GeoRect> areas;
        GeoRect extent(180, 180, -180, -180);
        for (std::size_t i = 0; i < t.parts.size(); ++i) {
            GeoRect area(180, 180, -180, -180);
            ExtendByRecords(area, t.parts[i]);
            if (i == 1) {
                for (const GeoPoint& p : t.extra) {
                    area.Extend(p);
                }
            }
            extent.Union(area);
            areas.push_back(TenthLarger(area));
        }
        EXPECT_EQ(view->GetAreas(), areas);
        EXPECT_EQ(view->GetRouteExtent(), TenthLarger(extent));
        Canvas().SetScale(1.0);
        Canvas().SetCenter(Node(0));
        const GeoRect before = Canvas().GetVisibleGeoRect();
        view->ZoomToArea(2);
        EXPECT_NE(Canvas().GetVisibleGeoRect(), before);
        // The inflated route lies in the window and fills it one way.
        const GeoRect route = TenthLarger(extent);
        const POINT low = Canvas().GeoToScreen(GeoPoint{route.minX, route.minY});
        const POINT high = Canvas().GeoToScreen(GeoPoint{route.maxX, route.maxY});
        EXPECT_GE(low.x, 0);
        EXPECT_LE(low.y, m_height);
        EXPECT_GE(high.y, 0);
        EXPECT_LE(high.x, m_width);
        EXPECT_TRUE(2 * (high.x - low.x) >= m_width || 2 * (low.y - high.y) >= m_height)
            << low.x << "," << low.y << " " << high.x << "," << high.y;
    }
}

TEST_F(MapRoadRouteTest, PreviewAndGuidanceFramesOfAServiceRoute) {
    const struct {
        const char* golden;
        bool guidance;
    } cases[] = {{"roadroute_preview", false}, {"roadroute_guidance", true}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.golden);
        StartOnGrid(t.guidance);
        const RoutePositionPtr start = At(0, 1, 0.5);
        const RoutePositionPtr via = At(6, 10, 0.5);
        const RoutePositionPtr end = At(3, 7, 0.5);
        ASSERT_NE(view->SetRoute({Routed(start, via), Routed(via, end)}), GeoPoint{});
        view->ZoomToArea(2);
        if (t.guidance) {
            (void)view->SetPosition(Position(start->GetSinglePoint(), 90, 0));
            view->UpdateFollow();
            (void)view->SetPosition(Position(start->GetSinglePoint(), 90, 0));
        }
        Canvas().InvalidateMap();
        driver.RunUntilIdle();
        EXPECT_TRUE(testdata::WindowMatchesGolden(view->GetHwnd(), NAV_MAPDISPLAY_DIR, t.golden));
        EndRound();
    }
}

} // namespace
