// The navigation server on the converted extract, whose folder is one database, with TMC tables
// along one road of a route between two villages: the server opens all four parts, the route's
// GPS demo drive through the alternative device gets advice along it, and a closure of that road
// is announced 60 s later and turns the next route away from it.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "onboard/onboardserver.h"
#include "onboard/tests/serverworld.h"
#include "onboard/traffichandler.h"
#include "testdata/alertcencoder.h"
#include "testdata/testfiles.h"
#include "testdata/tmctableswriter.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"
#include "traffic/tests/decodedmessage.h"
#include "traffic/tmcdecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using servertest::EventLog;

constexpr char16_t kFolder[] = u"\\server";

class ExtractServer : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        ConvertOnce({{"server", options}});
    }
};

std::vector<RouteRecord> Records(const RouteRequestResult& result) {
    std::vector<RouteRecord> records;
    for (RouteIteratorPtr it = GetRouteIterator(result); it && it->IsValid(); it->Next()) {
        records.push_back(it->Current());
    }
    return records;
}

bool Drives(const RouteRequestResult& result, std::uint32_t element) {
    const std::vector<RouteRecord> records = Records(result);
    return std::any_of(records.begin(), records.end(),
                       [&](const RouteRecord& r) { return r.linkId == element; });
}

TEST_F(ExtractServer, OpensTheDatabaseDrivesARouteWithAdviceAndAvoidsAClosedRoad) {
    // The route and a road in its middle that can be driven around, found on a scratch service.
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    std::optional<RouteRecord> road;
    std::vector<GeoPoint> roadPoints;
    GeoPoint startA{};
    GeoPoint startB{};
    {
        const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        ASSERT_TRUE(engine->Open(std::u16string(kFolder) + osm2nav::kLevelFile));
        const RouteServicePtr service =
            CreateRouteService(RetrievalEngine::RetrievalEnginePtr(engine));
        ASSERT_TRUE(service->OpenNetwork(std::u16string(kFolder) + osm2nav::kNetworkFile));
        auto any = [](std::uint32_t, std::int32_t) { return true; };
        const auto a = extractplaces::FirstStreetElement(*engine, u"Schaan", any);
        const auto b = extractplaces::FirstStreetElement(*engine, u"Triesen", any);
        ASSERT_TRUE(a && b);
        from = *a;
        to = *b;
        std::vector<GeoPoint> points;
        ASSERT_TRUE(engine->GetElementPoints(from, points) && points.size() >= 2);
        startA = points[0];
        startB = points[1];
        const RoutePositionPtr start = service->CreateElementPosition(&from);
        const RoutePositionPtr destination = service->CreateElementPosition(&to);
        const RouteRequestResult first = service->RequestRoute(start, destination, nullptr);
        ASSERT_EQ(first.status, routestatus::kFound);
        const std::vector<RouteRecord> records = Records(first);
        ASSERT_GE(records.size(), 5U);
        for (std::size_t i = records.size() / 2; i + 1 < records.size() && !road; ++i) {
            const std::vector<std::uint32_t> key = {records[i].linkId | 0x80000000U};
            ASSERT_TRUE(service->AddFlaggedElementPercent(key, TrafficHandler::kAvoidanceFlag));
            const RouteRequestResult around = service->RequestRoute(start, destination, nullptr);
            (void)service->RemoveFlaggedElement(key);
            if (around.status == routestatus::kFound && !Drives(around, records[i].linkId)) {
                road = records[i];
            }
        }
        ASSERT_TRUE(road) << "no road of the route can be driven around";
        ASSERT_TRUE(engine->GetElementPoints(road->linkId, roadPoints) && roadPoints.size() >= 2);
    }
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    const testdata::TmcRoadLine line = testdata::TmcLineAlongRoad(
        model,
        {{road->linkId, roadPoints.front().x, roadPoints.front().y, roadPoints.back().x,
          roadPoints.back().y}},
        {}, MakeTmcLocationCode(1, 1, 700), MakeTmcLocationCode(1, 1, 701), "Landstrasse", "28");
    ASSERT_TRUE(testdata::TmcTablesWriter(model).WriteFolder(
        *s_root, std::u16string(kFolder) + u"\\tmc", true));
    ASSERT_TRUE(s_root->WriteFile(
        u"\\Windows\\Quarn.ini",
        "[Quarn]\r\nDB=\\server\r\n[Properties]\r\nConfigFilesDir=\\server\\ConfigFiles"
        "\r\n[GPS]\r\nAutoLog=0\r\n"));
    ASSERT_TRUE(s_root->WriteFile(u"\\Nav\\deziv.ini", testdata::ReadTestFile(NAV_DEZIV_INI)));
    platform::SetExecutablePath(u"\\Nav\\nav.exe");
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    clock.Advance(5000);

    // All four parts open.
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(2048));
    Onboard::OnboardServerPtr server =
        CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(engine));
    ASSERT_TRUE(server);
    EventLog log;
    log.Connect(*server);
    EXPECT_TRUE(engine->IsOpen());
    const six::IntfPtr<IDatasets> datasets = server->GetDatasets();
    ASSERT_TRUE(datasets);
    EXPECT_TRUE(datasets->IsOpen());
    DatabaseListPtr databases;
    server->GetDatabases(databases);
    ASSERT_TRUE(databases && databases->size() == 1);
    EXPECT_EQ((*databases)[0]->GetPath(), kFolder);

    const MatchedPosition start = testdata::MatchedPositionBuilder()
                                      .Fix(startA)
                                      .OnStreet(from, startA, startA, startB)
                                      .Speed(50)
                                      .Build();
    RoutePositionPtr destination;
    server->CreateElementDestination(destination, &to);
    RouteRequestResult route;
    Onboard::RouteRequest request;
    request.destination = destination;
    server->RequestRoute(route, &start, request);
    ASSERT_EQ(route.status, routestatus::kFound);
    EXPECT_TRUE(Drives(route, road->linkId));

    // The first 120 fixes of the drive (1.2 km): one position per fix, matched to the streets once
    // the matcher has its first fixes, with advice along the way.
    NmeaDemoWriter demo("\\server\\drive.txt", route);
    ASSERT_EQ(demo.Write(), 0);
    GpsReceiverPtr receiver;
    server->OpenAlternativeGps(receiver);
    ASSERT_TRUE(receiver);
    receiver->OpenReplayFile(u"\\server\\drive.txt");
    receiver->SetSentenceRate(3.0F);
    constexpr std::size_t kFixes = 120;
    for (std::size_t i = 1; i <= kFixes; ++i) {
        bool isPublished = false;
        for (int tries = 0; tries < 25 && !isPublished; ++tries) {
            clock.Advance(667);
            isPublished = log.WaitFor('P', i, std::chrono::milliseconds(200));
        }
        ASSERT_TRUE(isPublished) << i;
    }
    EXPECT_EQ(log.Count('P'), kFixes);
    EXPECT_GE(log.Count('A'), kFixes / 2);
    EXPECT_GE(log.CountMatched() * 10, kFixes * 9);
    EXPECT_EQ(log.Count('R'), 1U); // no re-route on the way
    server->CloseAlternativeGps();

    // A closure of the road: flagged, announced 60 s later, and the next route goes around it.
    testdata::AlertCMessage m;
    m.event = 401;
    m.location = line.points[1] % 100000;
    m.extent = 1;
    testdata::AlertCEncoder encoder;
    encoder.AddTable(m.programmeId, 1);
    const TmcRawMessage closure = DecodeLastTmcMessage(encoder.AddMessage(m).Build());
    const RouteRequestResult current = log.LastRoute();
    ASSERT_TRUE(Drives(current, road->linkId));
    ASSERT_TRUE(server->GetTmcMessageStore()->AddRawMessage(&closure));
    const std::size_t traffic = log.Count('T');
    clock.Advance(TrafficHandler::kNotifyDelayMs + 1000);
    EXPECT_TRUE(log.WaitFor('T', traffic + 1));
    server->RequestRoute(route, &start, request);
    ASSERT_EQ(route.status, routestatus::kFound);
    EXPECT_FALSE(Drives(route, road->linkId));

    server.Release();
    platform::SetExecutablePath(u"");
}

} // namespace
