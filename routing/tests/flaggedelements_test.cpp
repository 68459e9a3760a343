// Flagged road elements through the route service: element keys to entries, the value byte the
// network holds, and routes that avoid, slow down or keep the flagged roads, also across a
// network opened again.
#include "routing/routeservice.h"
#include "routing/tests/serviceworld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

using namespace servicetest;

constexpr std::uint32_t kFirstVertex = 0x80000000;              // no direction
constexpr std::uint32_t kFirstVertexWithDirection = 0x40000000; // with one
constexpr std::uint32_t kUnknownElement = 0x0FFFFFF0;

// A service of its own over the small world's network, so that its flags stay its own.
RouteServicePtr FreshService(ServiceWorld& w) {
    RouteServicePtr service = CreateRouteService(w.engine);
    if (!service || !service->OpenNetwork(w.Net())) {
        return nullptr;
    }
    return service;
}

bool Uses(const RouteRequestResult& result, std::uint32_t element) {
    const std::vector<RouteRecord> records = Walk(result);
    return std::any_of(records.begin(), records.end(),
                       [&](const RouteRecord& r) { return r.linkId == element; });
}

TEST(FlaggedElements, OneEntryPerStretchHoldsTheHalvedValue) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    const RouteServicePtr service = FreshService(w);
    ASSERT_TRUE(service);
    const std::uint32_t a = w.ElementBetween(1, 2);
    const std::uint32_t b = w.ElementBetween(5, 6);
    enum class Op : std::uint8_t { Speed, Percent, Remove };
    struct Step {
        const char* name;
        std::vector<std::uint32_t> keys;
        Op op;
        std::uint8_t value;
        bool result;
        int valueOnA; // at node 1
        int valueOnB; // at node 6
    };
    const Step steps[] = {
        {"speed 40", {a}, Op::Speed, 40, true, 0x80 | 20, -1},
        {"speed 20 on the same stretch", {a}, Op::Speed, 20, true, 0x80 | 10, -1},
        {"percent after speed", {a}, Op::Percent, 60, true, 30, -1},
        {"removing the one entry", {a}, Op::Remove, 0, false, -1, -1},
        {"removing what is not there", {a}, Op::Remove, 0, false, -1, -1},
        {"255 halves to 127", {a}, Op::Speed, 255, true, 0xFF, -1},
        {"1 closes", {a}, Op::Speed, 1, true, 0x80, -1},
        {"0 closes", {a}, Op::Percent, 0, true, 0, -1},
        {"removed", {a}, Op::Remove, 0, false, -1, -1},
        // The first vertex with and without a direction are two stretches.
        {"first vertex", {a | kFirstVertex}, Op::Speed, 40, true, 0x80 | 20, -1},
        {"first vertex, direction",
         {a | kFirstVertexWithDirection},
         Op::Speed,
         20,
         true,
         0x80 | 10,
         -1},
        {"the second removed",
         {a | kFirstVertexWithDirection},
         Op::Remove,
         0,
         false,
         0x80 | 20,
         -1},
        {"the first removed", {a | kFirstVertex}, Op::Remove, 0, false, -1, -1},
        // Several keys make one stretch; a part of it is another.
        {"two elements", {a, b}, Op::Speed, 30, true, 0x80 | 15, 0x80 | 15},
        {"a part is no entry", {a}, Op::Remove, 0, false, 0x80 | 15, 0x80 | 15},
        {"the whole stretch", {a, b}, Op::Remove, 0, false, -1, -1},
        // Keys whose element is missing are skipped.
        {"unknown element", {kUnknownElement}, Op::Speed, 30, false, -1, -1},
        {"unknown and known", {kUnknownElement, b}, Op::Percent, 80, true, -1, 40},
        {"the known one alone is that stretch", {b}, Op::Remove, 0, false, -1, -1},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        bool result = false;
        switch (s.op) {
        case Op::Speed:
            result = service->AddFlaggedElementSpeed(s.keys, s.value);
            break;
        case Op::Percent:
            result = service->AddFlaggedElementPercent(s.keys, s.value);
            break;
        case Op::Remove:
            result = service->RemoveFlaggedElement(s.keys);
            break;
        }
        EXPECT_EQ(result, s.result);
        EXPECT_EQ(ValueAt(w, *service, 1, a), s.valueOnA);
        EXPECT_EQ(ValueAt(w, *service, 2, a), s.valueOnA);
        EXPECT_EQ(ValueAt(w, *service, 6, b), s.valueOnB);
    }
    // Without a network nothing is flagged.
    const RouteServicePtr closed = CreateRouteService(w.engine);
    ASSERT_TRUE(closed);
    const std::vector<std::uint32_t> keys = {a};
    EXPECT_FALSE(closed->AddFlaggedElementSpeed(keys, 40));
    EXPECT_FALSE(closed->AddFlaggedElementPercent(keys, 40));
    EXPECT_FALSE(closed->RemoveFlaggedElement(keys));
}

TEST(FlaggedElements, RoutesAvoidClosedAndSlowCappedRoads) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    // Along the bottom row from link 0-1 to link 2-3, through link 1-2, every road at 50 km/h.
    const std::uint32_t middle = w.ElementBetween(1, 2);
    const std::uint32_t first = w.ElementBetween(0, 1);
    ExternalRouteOptions options(1, 1);
    options.speed.fill(50);
    struct Case {
        const char* name;
        std::uint32_t element;
        bool isSpeed;
        std::uint8_t value;
        std::uint32_t status;
        bool usesMiddle;
        int travelTime; // compared with the unflagged route's: -1 shorter, 0 equal, 1 longer
        int length;
    };
    const Case cases[] = {
        {"closed on the route", middle, true, 0, routestatus::kFound, false, 1, 1},
        {"capped at 80", middle, true, 80, routestatus::kFound, true, 0, 0},
        {"capped at 20", middle, true, 20, routestatus::kFound, true, 1, 0},
        {"at half its speed", middle, false, 50, routestatus::kFound, true, 1, 0},
        {"at a tenth of its speed: round the block", middle, false, 10, routestatus::kFound, false,
         1, 1},
        {"closed start link", first, true, 0, 9, false, 0, 0},
    };
    const auto compare = [](std::int32_t a, std::int32_t b) { return (a > b) - (a < b); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RouteServicePtr service = FreshService(w);
        ASSERT_TRUE(service);
        service->SetOptions(&options);
        const std::uint32_t from = w.ElementBetween(0, 1);
        const std::uint32_t to = w.ElementBetween(2, 3);
        const GeoPoint fromPoint = w.Along(0, 1, 0.5);
        const GeoPoint toPoint = w.Along(2, 3, 0.5);
        const RoutePositionPtr start = service->CreatePosition(&from, &fromPoint);
        const RoutePositionPtr destination = service->CreatePosition(&to, &toPoint);
        const RouteRequestResult plain = service->RequestRoute(start, destination, nullptr);
        ASSERT_EQ(plain.status, routestatus::kFound);
        ASSERT_TRUE(Uses(plain, middle));
        // Keys without a direction flag both directions.
        const std::vector<std::uint32_t> keys = {c.element | kFirstVertex};
        ASSERT_TRUE(c.isSpeed ? service->AddFlaggedElementSpeed(keys, c.value)
                              : service->AddFlaggedElementPercent(keys, c.value));
        const RouteRequestResult result = service->RequestRoute(start, destination, nullptr);
        ASSERT_EQ(result.status, c.status);
        if (c.status != routestatus::kFound) {
            EXPECT_FALSE(result.route);
            continue;
        }
        EXPECT_EQ(Uses(result, middle), c.usesMiddle);
        EXPECT_EQ(compare(result.travelTime, plain.travelTime), c.travelTime);
        EXPECT_EQ(compare(result.length, plain.length), c.length);
    }
}

TEST(FlaggedElements, EntriesTakeEffectOnANetworkOpenedAgain) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    const RouteServicePtr service = FreshService(w);
    ASSERT_TRUE(service);
    const std::uint32_t middle = w.ElementBetween(1, 2);
    const std::vector<std::uint32_t> keys = {middle | kFirstVertex};
    const auto route = [&] {
        const std::uint32_t from = w.ElementBetween(0, 1);
        const std::uint32_t to = w.ElementBetween(2, 3);
        const GeoPoint fromPoint = w.Along(0, 1, 0.5);
        const GeoPoint toPoint = w.Along(2, 3, 0.5);
        return service->RequestRoute(service->CreatePosition(&from, &fromPoint),
                                     service->CreatePosition(&to, &toPoint), nullptr);
    };
    ASSERT_TRUE(service->AddFlaggedElementSpeed(keys, 0));
    struct Step {
        const char* name;
        int action; // 0 open the network again, 1 percent 100, 2 speed 0, 3 remove
        bool result;
        bool usesMiddle;
    };
    const Step steps[] = {
        {"opened again: still closed", 0, true, false},
        {"opened at full speed", 1, true, true},
        {"closed again", 2, true, false},
        {"opened again, then removed", 0, true, false},
        {"removed", 3, false, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        bool result = false;
        switch (s.action) {
        case 0:
            result = service->OpenNetwork(w.Net());
            break;
        case 1:
            result = service->AddFlaggedElementPercent(keys, 100);
            break;
        case 2:
            result = service->AddFlaggedElementSpeed(keys, 0);
            break;
        default:
            result = service->RemoveFlaggedElement(keys);
            break;
        }
        EXPECT_EQ(result, s.result);
        const RouteRequestResult r = route();
        ASSERT_EQ(r.status, routestatus::kFound);
        EXPECT_EQ(Uses(r, middle), s.usesMiddle);
    }
}

} // namespace

// Traffic updates from another thread wait for a running calculation: every route is the one of
// the open or of the closed road, never a mixture.
TEST(FlaggedElements, UpdatesDuringCalculationsTakeTurns) {
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    const RouteServicePtr service = FreshService(w);
    ASSERT_TRUE(service);
    const std::uint32_t middle = w.ElementBetween(1, 2);
    const std::vector<std::uint32_t> keys = {middle | kFirstVertex};
    const std::uint32_t from = w.ElementBetween(0, 1);
    const std::uint32_t to = w.ElementBetween(2, 3);
    const GeoPoint fromPoint = w.Along(0, 1, 0.5);
    const GeoPoint toPoint = w.Along(2, 3, 0.5);
    const RoutePositionPtr start = service->CreatePosition(&from, &fromPoint);
    const RoutePositionPtr destination = service->CreatePosition(&to, &toPoint);
    const RouteRequestResult open = service->RequestRoute(start, destination, nullptr);
    ASSERT_TRUE(service->AddFlaggedElementSpeed(keys, 0));
    const RouteRequestResult closed = service->RequestRoute(start, destination, nullptr);
    ASSERT_EQ(open.status, routestatus::kFound);
    ASSERT_EQ(closed.status, routestatus::kFound);
    ASSERT_NE(open.length, closed.length);

    std::atomic<bool> done{false};
    std::thread traffic([&] {
        for (int i = 0; !done; ++i) {
            (void)(i % 2 == 0 ? service->AddFlaggedElementPercent(keys, 100)
                              : service->AddFlaggedElementSpeed(keys, 0));
        }
    });
    int mixed = 0;
    for (int i = 0; i < 200; ++i) {
        const RouteRequestResult r = service->RequestRoute(start, destination, nullptr);
        const bool isOpen = r.status == routestatus::kFound && Uses(r, middle);
        const std::int32_t expected = isOpen ? open.length : closed.length;
        mixed += r.status == routestatus::kFound && r.length == expected ? 0 : 1;
    }
    done = true;
    traffic.join();
    EXPECT_EQ(mixed, 0);
}
