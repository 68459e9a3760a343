// Flagged road elements through the route service: element keys to entries, the value byte the
// network holds, and routes that avoid, slow down or keep the flagged roads, also across a
// network opened again.
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "routing/routeservice.h"
#include "routing/tests/serviceworld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <set>
#include <thread>
#include <utility>
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

// Travel from node a to node b on the road between them.
using Travel = std::pair<std::uint32_t, std::uint32_t>;

// The key that closes travel from a to b, as a traffic message names it: the element affected
// from its first to its last point (top bits 0, 1) or from its last to its first (1, 1).
std::uint32_t Closing(const ServiceWorld& w, std::uint32_t a, std::uint32_t b) {
    const std::uint32_t id = w.ElementBetween(a, b);
    std::vector<GeoPoint> line;
    const auto element = w.engine->GetMappedElement(id);
    if (!element || !element->GetPoints(line) || line.empty()) {
        ADD_FAILURE() << "no geometry for element " << id;
        return id;
    }
    const bool isFromFirst =
        GeoDistance(line.front(), w.Node(a)) < GeoDistance(line.front(), w.Node(b));
    return id | (isFromFirst ? 0x40000000u : 0xC0000000u);
}

// The directed link from node a along `element`, or null.
LinkCursorPtr LinkFrom(const ServiceWorld& w, RoadNetwork& network, std::uint32_t a,
                       std::uint32_t element) {
    CrossingQuery query;
    query.input = w.Node(a);
    query.radius = 10.0f;
    query.elementId = element;
    if (!network.FindCrossingNear(query)) {
        return nullptr;
    }
    const NetworkCrossingPtr crossing = network.CreateCrossing(query.address);
    for (LinkCursorPtr c = network.CreateCursor(*crossing, 0, 0); c->IsValid(); c->Next()) {
        if (c->GetElementId() == element) {
            return c;
        }
    }
    return nullptr;
}

// Every travel the network closes, as the search sees it from either side: leaving a towards b
// (direction 1), or reaching b from a when searching back from the destination (direction 2).
std::set<Travel> ClosedTravel(const ServiceWorld& w, const RouteService& service) {
    std::set<Travel> closed;
    const RoadNetworkPtr network = service.GetNetwork();
    const auto isClosed = [](const AnnotationValuePtr& value) {
        return value && (*value & 127u) == 0;
    };
    for (const testdata::WorldLink& link : w.world.links) {
        for (const Travel& travel : {Travel{link.from, link.to}, Travel{link.to, link.from}}) {
            const LinkCursorPtr leaving = LinkFrom(w, *network, travel.first, link.elementId);
            const LinkCursorPtr reaching = LinkFrom(w, *network, travel.second, link.elementId);
            if (!leaving || !reaching) {
                ADD_FAILURE() << "no link for element " << link.elementId;
                continue;
            }
            const bool byStart = isClosed(network->GetLinkAnnotation(*leaving, 1));
            const bool byDestination = isClosed(network->GetLinkAnnotation(*reaching, 2));
            EXPECT_EQ(byStart, byDestination) << travel.first << " to " << travel.second;
            if (byStart || byDestination) {
                closed.insert(travel);
            }
        }
    }
    return closed;
}

// A closure blocks its elements in the directions its keys name, whether one key names both
// ends of an element, one key per end does, a stretch runs against the elements' points, or
// a key meant both ways comes with one-way keys;
// nothing else is closed, and removing the keys opens everything again.
TEST(FlaggedElements, ClosuresBlockTheDirectionsTheyNameOnly) {
    // Five nodes along the bottom row (0-4), ten more above; routes run 0-1 to 3-4 and back.
    static const std::unique_ptr<ServiceWorld> world = MakeWorld(u"\\closures", 5, 3, 1000);
    ASSERT_TRUE(world);
    ServiceWorld& w = *world;
    const std::uint32_t bothWays = 0x80000000;
    const auto closing = [&](std::uint32_t a, std::uint32_t b) { return Closing(w, a, b); };
    struct Case {
        const char* name;
        std::vector<std::uint32_t> keys;
        std::set<Travel> closed;
    };
    const Case cases[] = {
        {"one way, east", {closing(1, 2)}, {{1, 2}}},
        {"one way, west", {closing(2, 1)}, {{2, 1}}},
        {"both ways, a key for each end", {closing(1, 2), closing(2, 1)}, {{1, 2}, {2, 1}}},
        {"both ways, the west key first", {closing(2, 1), closing(1, 2)}, {{1, 2}, {2, 1}}},
        {"both ways in one key", {w.ElementBetween(1, 2) | bothWays}, {{1, 2}, {2, 1}}},
        {"two elements, west", {closing(3, 2), closing(2, 1)}, {{3, 2}, {2, 1}}},
        {"two elements, both ways",
         {closing(1, 2), closing(2, 3), closing(3, 2), closing(2, 1)},
         {{1, 2}, {2, 3}, {3, 2}, {2, 1}}},
        {"one element both ways, the next one way",
         {w.ElementBetween(1, 2) | bothWays, closing(2, 3)},
         {{1, 2}, {2, 1}, {2, 3}}},
    };
    ExternalRouteOptions options(1, 1);
    options.speed.fill(50);
    const auto route = [&](RouteService& service, std::uint32_t a, std::uint32_t b, std::uint32_t c,
                           std::uint32_t d) {
        return service.RequestRoute(w.Position(a, b, 0.5), w.Position(c, d, 0.5), nullptr);
    };
    const auto linksOf = [](const RouteRequestResult& result) {
        std::vector<std::uint32_t> links;
        for (const RouteRecord& r : Walk(result)) {
            links.push_back(r.linkId);
        }
        return links;
    };
    const RouteServicePtr plain = FreshService(w);
    ASSERT_TRUE(plain);
    plain->SetOptions(&options);
    // Both plain routes drive the two roads the cases close.
    const std::vector<std::uint32_t> east = linksOf(route(*plain, 0, 1, 3, 4));
    const std::vector<std::uint32_t> west = linksOf(route(*plain, 3, 4, 0, 1));
    for (const std::uint32_t element : {w.ElementBetween(1, 2), w.ElementBetween(2, 3)}) {
        ASSERT_EQ(std::count(east.begin(), east.end(), element), 1);
        ASSERT_EQ(std::count(west.begin(), west.end(), element), 1);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RouteServicePtr service = FreshService(w);
        ASSERT_TRUE(service);
        service->SetOptions(&options);
        ASSERT_TRUE(service->AddFlaggedElementSpeed(c.keys, 0));
        EXPECT_EQ(ClosedTravel(w, *service), c.closed);
        // Each route keeps its plain course unless a road on it is closed its way; then it
        // drives round the closed roads.
        for (const bool isEast : {true, false}) {
            const RouteRequestResult r =
                isEast ? route(*service, 0, 1, 3, 4) : route(*service, 3, 4, 0, 1);
            ASSERT_EQ(r.status, routestatus::kFound);
            std::vector<std::uint32_t> closedOnRoute;
            for (const auto& [a, b] : c.closed) {
                if ((b > a) == isEast) {
                    closedOnRoute.push_back(w.ElementBetween(a, b));
                }
            }
            if (closedOnRoute.empty()) {
                EXPECT_EQ(linksOf(r), isEast ? east : west) << isEast;
            }
            for (const std::uint32_t element : closedOnRoute) {
                EXPECT_FALSE(Uses(r, element)) << element;
            }
        }
        (void)service->RemoveFlaggedElement(c.keys);
        EXPECT_TRUE(ClosedTravel(w, *service).empty());
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
