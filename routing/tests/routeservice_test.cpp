// The route service over generated worlds with their map sets: network files by extension, the
// router codes' statuses, requests between positions, several destination candidates, tours and
// requests from the current position with their retry rule.
#include "positioning/geodistance.h"
#include "routing/routeservice.h"
#include "routing/tests/serviceworld.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace servicetest;

TEST(RouteStatus, EveryRouterCodeMapsToItsStatus) {
    // status -> the router codes that give it
    const std::vector<std::pair<std::uint32_t, std::vector<std::int32_t>>> table = {
        {0, {0}},     {1, {1, 7, 13, 14, 15, 16, 35, 36, 40, 1000, -1}},
        {2, {2, 21}}, {3, {3, 22}},
        {4, {4, 12}}, {5, {5, 30}},
        {6, {8, 9}},  {7, {10, 11}},
        {8, {6}},     {9, {17}},
        {10, {18}},   {11, {33}},
        {12, {34}},   {13, {19}},
        {14, {20}},   {15, {23}},
        {16, {24}},   {17, {25}},
        {18, {26}},   {19, {27}},
        {20, {28}},   {21, {29}},
        {22, {31}},   {23, {32}},
    };
    std::vector<int> seen(41, 0);
    for (const auto& [status, codes] : table) {
        for (const std::int32_t code : codes) {
            SCOPED_TRACE(code);
            EXPECT_EQ(RouteStatusOf(code), status);
            EXPECT_EQ(StatusHasRoute(RouteStatusOf(code)), status == 5 || status == 8);
            if (code >= 0 && code <= 40) {
                ++seen[static_cast<std::size_t>(code)];
            }
        }
    }
    for (std::size_t code = 0; code <= 36; ++code) {
        EXPECT_EQ(seen[code], 1) << "router code " << code;
    }
}

TEST(RouteServiceNetwork, LoadsOnlyRdFilesByTheirExtension) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    // The same file under each name, so that only the name decides.
    for (const char16_t* name : {u"\\Net\\Net.RD", u"\\Net\\Net.Rd", u"\\Net\\NetNoExt"}) {
        std::filesystem::copy_file(Root().HostPathOf(w.Net()), Root().HostPathOf(w.Path(name)),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    struct Case {
        const char16_t* path;
        bool opens;
    };
    const Case cases[] = {
        {u"\\Net\\Net.rd", true},    {u"\\Net\\Net.RD", true},      {u"\\Net\\Net.Rd", false},
        {u"\\Net\\NetNoExt", false}, {u"\\Net\\Missing.rd", false}, {u"\\Net\\Net.rd", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path)));
        EXPECT_EQ(LoadNetworkFile(w.Path(c.path), w.engine) != nullptr, c.opens);
        // A failed open leaves no network, not the previous one.
        EXPECT_EQ(w.service->OpenNetwork(w.Path(c.path)), c.opens);
        EXPECT_EQ(w.service->GetNetwork() != nullptr, c.opens);
    }
}

TEST(RouteServiceRequest, BuildsRoutesCutAtBothEndsWithTheirTotals) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    ASSERT_TRUE(w.service->OpenNetwork(w.Net()));
    struct Case {
        const char* name;
        std::uint32_t startFrom, startTo;
        double startAt;
        std::uint32_t destinationFrom, destinationTo;
        double destinationAt;
    };
    const Case cases[] = {
        {"across the grid", 0, 1, 0.3, 10, 11, 0.6},
        {"up the grid", 4, 8, 0.5, 2, 3, 0.5},
        {"along one link backward", 1, 2, 0.7, 1, 2, 0.2},
        {"back round the corner", 1, 2, 0.5, 0, 4, 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RoutePositionPtr start = w.Position(c.startFrom, c.startTo, c.startAt);
        const RoutePositionPtr destination =
            w.Position(c.destinationFrom, c.destinationTo, c.destinationAt);
        const RouteRequestResult result = w.service->RequestRoute(start, destination, nullptr);
        ASSERT_EQ(result.status, routestatus::kFound);
        EXPECT_EQ(result.start, start);
        EXPECT_EQ(result.destination, destination);
        const std::vector<RouteRecord> records = Walk(result);
        ASSERT_FALSE(records.empty());
        ASSERT_FALSE(records.front().polyline.empty());
        ASSERT_FALSE(records.back().polyline.empty());
        EXPECT_LT(GeoDistance(records.front().polyline.front(), start->GetSinglePoint()), 1.0);
        EXPECT_LT(GeoDistance(records.back().polyline.back(), destination->GetSinglePoint()), 1.0);
        std::int64_t length = 0;
        std::int64_t time = 0;
        for (std::size_t i = 0; i < records.size(); ++i) {
            length += records[i].length;
            time += records[i].time;
            // Only a start from the current position turns back on its element.
            EXPECT_TRUE(i == 0 || records[i].linkId != records[i - 1].linkId) << i;
        }
        EXPECT_GT(result.length, 0);
        EXPECT_NEAR(static_cast<double>(length), result.length,
                    static_cast<double>(records.size()));
        EXPECT_NEAR(static_cast<double>(time), result.travelTime,
                    static_cast<double>(records.size()) + 1.0);
    }
}

TEST(RouteServiceRequest, FailuresAndTheEmptyRouteGiveTheirStatuses) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    ASSERT_TRUE(w.service->OpenNetwork(w.Net()));
    const RouteServicePtr closed = CreateRouteService(w.engine);
    ASSERT_TRUE(closed);
    const std::uint32_t noElement = 0x7FFFFFF0;
    const RoutePositionPtr none = w.service->CreateElementPosition(&noElement);
    ASSERT_TRUE(none);
    ASSERT_EQ(none->Count(), 0u);
    const RoutePositionPtr a = w.Position(0, 1, 0.3);
    const RoutePositionPtr b = w.Position(5, 6, 0.5);
    struct Case {
        const char* name;
        RouteService* service;
        RoutePositionPtr start, destination;
        std::uint32_t status;
    };
    const Case cases[] = {
        {"no network", closed.get(), a, b, routestatus::kNoNetwork},
        {"no start candidate", w.service.get(), none, b, routestatus::kNoStart},
        {"no start position", w.service.get(), nullptr, b, routestatus::kNoStart},
        {"no destination candidate", w.service.get(), a, none, routestatus::kNoDestination},
        {"start is destination", w.service.get(), a, a, routestatus::kStartIsDestination},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RouteRequestResult result = c.service->RequestRoute(c.start, c.destination, nullptr);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.start, c.start);
        EXPECT_EQ(result.destination, c.destination);
        if (c.status == routestatus::kStartIsDestination) {
            // A route over no records, not the figures of a route that does not exist.
            ASSERT_TRUE(result.route);
            EXPECT_FALSE(result.route->IsValid());
            EXPECT_EQ(result.length, 0);
            EXPECT_EQ(result.travelTime, 0);
        } else {
            EXPECT_FALSE(result.route);
        }
    }
}

TEST(RouteServiceRequest, SeveralDestinationCandidatesTakeTheShortestRoute) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    ASSERT_TRUE(w.service->OpenNetwork(w.Net()));
    const RoutePositionPtr start = w.Position(0, 1, 0.5);
    const RoutePositionEntry far = *w.Position(10, 11, 0.5)->Begin();
    const RoutePositionEntry near = *w.Position(1, 5, 0.5)->Begin();
    const RoutePositionEntry middle = *w.Position(2, 6, 0.5)->Begin();
    const std::vector<std::vector<RoutePositionEntry>> orders = {
        {far, near, middle}, {near, far, middle}, {middle, far, near}};
    const auto nearOnly = std::make_shared<ScriptedPosition>(std::vector{near});
    const RouteRequestResult expected = w.service->RequestRoute(start, nearOnly, nullptr);
    ASSERT_EQ(expected.status, routestatus::kFound);
    for (const auto& order : orders) {
        const auto destination = std::make_shared<ScriptedPosition>(order);
        const RouteRequestResult result = w.service->RequestRoute(start, destination, nullptr);
        ASSERT_EQ(result.status, routestatus::kFound);
        EXPECT_EQ(result.length, expected.length);
        const std::vector<RouteRecord> records = Walk(result);
        ASSERT_FALSE(records.empty());
        ASSERT_FALSE(records.back().polyline.empty());
        EXPECT_LT(GeoDistance(records.back().polyline.back(), near.point), 1.0);
    }
}

TEST(RouteServiceTours, OneResultPerConsecutivePair) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    ASSERT_TRUE(w.service->OpenNetwork(w.Net()));
    const std::vector<RoutePositionPtr> stops = {w.Position(0, 1, 0.5), w.Position(5, 6, 0.5),
                                                 w.Position(10, 11, 0.5)};
    for (std::size_t count = 0; count <= stops.size(); ++count) {
        SCOPED_TRACE(count);
        const std::vector<RoutePositionPtr> tour(stops.begin(),
                                                 stops.begin() + static_cast<long>(count));
        const std::vector<RouteRequestResult> results = w.service->RequestTourRoutes(tour, nullptr);
        ASSERT_EQ(results.size(), count < 2 ? 0 : count - 1);
        for (std::size_t i = 0; i < results.size(); ++i) {
            EXPECT_EQ(results[i].status, routestatus::kFound);
            EXPECT_EQ(results[i].start, stops[i]);
            EXPECT_EQ(results[i].destination, stops[i + 1]);
        }
    }
}

TEST(RouteServiceCurrentPosition, RecalculatesFailedAndDetouringRoutes) {
    struct Case {
        const char* name;
        bool isLong;
        std::uint32_t from, to;
        double at;
        std::uint32_t destinationFrom, destinationTo;
        double destinationAt;
        std::int32_t previousLength;
        int calculations;
    };
    const Case cases[] = {
        // About 150 m straight ahead.
        {"ahead", false, 1, 2, 0.5, 2, 3, 0.5, -1, 1},
        // Behind: keeping the heading goes round a block, more than twice the air distance.
        {"behind, previous 4000", false, 1, 2, 0.5, 1, 2, 0.2, 4000, 2},
        // About 9.5 km ahead, within twice the air distance.
        {"far ahead, previous 4000", true, 0, 2, 0.9, 4, 6, 0.5, 4000, 1},
        {"far ahead, previous 6000", true, 0, 2, 0.9, 4, 6, 0.5, 6000, 2},
        {"far ahead, previous 8000", true, 0, 2, 0.9, 4, 6, 0.5, 8000, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServiceWorld& w = c.isLong ? LongWorld() : SmallWorld();
        ASSERT_TRUE(w.service);
        ASSERT_TRUE(w.service->OpenNetwork(w.Net()));
        const RoutePositionPtr destination =
            w.Position(c.destinationFrom, c.destinationTo, c.destinationAt);
        CountingObserver observer;
        const RouteRequestResult result = w.service->RequestRouteFromCurrentPosition(
            w.Driving(c.from, c.to, c.at), destination, true, &observer, c.previousLength);
        ASSERT_EQ(result.status, routestatus::kFound);
        EXPECT_EQ(observer.found, c.calculations);
        ASSERT_TRUE(result.start);
        EXPECT_EQ(result.start->GetKind(), RoutePosition::kCurrent);
        const double air =
            GeoDistance(result.start->GetSinglePoint(), destination->GetSinglePoint());
        EXPECT_LE(result.length, 2.0 * air + 1.0);
        const std::vector<RouteRecord> records = Walk(result);
        ASSERT_FALSE(records.empty());
        ASSERT_FALSE(records.back().polyline.empty());
        EXPECT_LT(GeoDistance(records.back().polyline.back(), destination->GetSinglePoint()), 1.0);
    }
}

TEST(RouteServiceCurrentPosition, TurningBackRunsToTheElementEndAndCountsIt) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    ASSERT_TRUE(w.service->OpenNetwork(w.Net()));
    struct Case {
        const char* name;
        std::uint32_t destinationFrom, destinationTo;
        double destinationAt;
        bool isCorrected;
    };
    // Driving from node 1 towards node 2, half way along.
    const Case cases[] = {
        {"ahead", 2, 6, 0.5, false},
        {"behind, round the corner", 0, 4, 0.5, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RoutePositionPtr destination =
            w.Position(c.destinationFrom, c.destinationTo, c.destinationAt);
        const RouteRequestResult result = w.service->RequestRouteFromCurrentPosition(
            w.Driving(1, 2, 0.5), destination, false, nullptr, -1);
        ASSERT_EQ(result.status, routestatus::kFound);
        const std::vector<RouteRecord> records = Walk(result);
        ASSERT_GE(records.size(), 2u);
        ASSERT_FALSE(records.front().polyline.empty());
        // The car first drives on to the end it heads for, turning back there when corrected.
        EXPECT_LT(GeoDistance(records.front().polyline.back(), w.Node(2)), 1.0);
        EXPECT_EQ(records[0].linkId == records[1].linkId, c.isCorrected);
        std::int64_t length = 0;
        std::int64_t time = 0;
        for (const RouteRecord& record : records) {
            length += record.length;
            time += record.time;
        }
        EXPECT_NEAR(static_cast<double>(length), result.length,
                    static_cast<double>(records.size()));
        EXPECT_NEAR(static_cast<double>(time), result.travelTime,
                    static_cast<double>(records.size()) + 1.0);
    }
}

// Earlier results keep their records while the persistent router calculates new routes and
// other threads walk and clone the earlier route.
TEST(RouteServiceCurrentPosition, EarlierResultsKeepTheirRecordsAcrossRecalculations) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    ASSERT_TRUE(w.service->OpenNetwork(w.Net()));
    const RouteRequestResult first = w.service->RequestRouteFromCurrentPosition(
        w.Driving(1, 2, 0.5), w.Position(10, 11, 0.5), true, nullptr, -1);
    ASSERT_EQ(first.status, routestatus::kFound);
    const std::vector<RouteRecord> expected = Walk(first);
    ASSERT_FALSE(expected.empty());

    const auto same = [&](const std::vector<RouteRecord>& records) {
        if (records.size() != expected.size()) {
            return false;
        }
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (records[i].linkId != expected[i].linkId ||
                records[i].length != expected[i].length ||
                records[i].polyline.size() != expected[i].polyline.size()) {
                return false;
            }
        }
        return true;
    };
    std::atomic<int> mismatches{0};
    std::atomic<bool> done{false};
    const auto walker = [&] {
        while (!done) {
            const RouteIteratorPtr it = GetRouteIterator(first);
            const RouteIteratorPtr clone = it ? it->Clone() : nullptr;
            std::vector<RouteRecord> records;
            for (; clone && clone->IsValid(); clone->Next()) {
                records.push_back(clone->Current());
            }
            mismatches += same(records) ? 0 : 1;
        }
    };
    std::thread a(walker);
    std::thread b(walker);
    const std::uint32_t stops[][2] = {{4, 8}, {2, 3}, {5, 9}, {0, 4}, {7, 11}, {8, 9}};
    for (int round = 0; round < 5; ++round) {
        for (const auto& stop : stops) {
            const RouteRequestResult next = w.service->RequestRouteFromCurrentPosition(
                w.Driving(5, 6, 0.3), w.Position(stop[0], stop[1], 0.5), true, nullptr, -1);
            EXPECT_EQ(next.status, routestatus::kFound);
        }
    }
    done = true;
    a.join();
    b.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_TRUE(same(Walk(first)));
}

TEST(RouteServiceCurrentPosition, MissingPiecesGiveTheirStatuses) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    ASSERT_TRUE(w.service->OpenNetwork(w.Net()));
    const RouteServicePtr closed = CreateRouteService(w.engine);
    ASSERT_TRUE(closed);
    const MatchedPosition here = w.Driving(1, 2, 0.5);
    const RoutePositionPtr destination = w.Position(5, 6, 0.5);
    EXPECT_EQ(w.service->RequestRouteFromCurrentPosition(here, nullptr, true, nullptr, -1).status,
              routestatus::kNoDestination);
    EXPECT_EQ(closed->RequestRouteFromCurrentPosition(here, destination, true, nullptr, -1).status,
              routestatus::kNoNetwork);
}

} // namespace
