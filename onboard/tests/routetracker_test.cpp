// The route tracker on a route along the first row of a generated grid: on route, off route,
// forward-only search, and a destination without a route.
#include "onboard/routetracker.h"
#include "positioning/geodistance.h"
#include "routing/tests/serviceworld.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace servicetest;

// Records "on <element>" and "off" (the tracker fires on the caller's thread).
class TrackLog {
public:
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void OnRoute(RouteIteratorPtr cursor, const MatchedPosition* position) {
        (void)position;
        log.push_back("on " + std::to_string(cursor ? cursor->Current().linkId : 0));
    }
    void OffRoute() { log.push_back("off"); }
    std::vector<std::string> log;

private:
    OwnerHandlerList m_handlers;
};

class RouteTrackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_world.service);
        m_tracker.onRoute.Connect(&m_log, &TrackLog::OnRoute);
        m_tracker.offRoute.Connect(&m_log, &TrackLog::OffRoute);
    }
    // Driving from node `from` towards `to` at fraction t, heading turned by `turn` degrees.
    MatchedPosition Driving(std::uint32_t from, std::uint32_t to, double t, int turn = 0) {
        MatchedPosition p = m_world.Driving(from, to, t);
        const double bearing = GeoBearing(m_world.Node(from), m_world.Node(to));
        p.heading = static_cast<std::uint16_t>(std::lround(bearing + 360.0 + turn) % 360);
        return p;
    }
    std::string On(std::uint32_t from, std::uint32_t to) {
        return "on " + std::to_string(m_world.ElementBetween(from, to));
    }

    ServiceWorld& m_world = SmallWorld();
    RouteTracker m_tracker;
    TrackLog m_log;
};

TEST_F(RouteTrackerTest, FollowsTheRouteForwardOnly) {
    RouteRequestResult route = m_world.service->RequestRoute(m_world.Position(0, 1, 0.1),
                                                             m_world.Position(2, 3, 0.9), nullptr);
    ASSERT_EQ(route.status, routestatus::kFound);
    m_tracker.SetRoute(route);
    MatchedPosition unmatched = Driving(1, 2, 0.3);
    unmatched.street = MatchedPosition::kNoStreet;
    const struct {
        const char* name;
        MatchedPosition position;
        std::vector<std::string> events;
    } steps[] = {
        {"first record", Driving(0, 1, 0.5), {On(0, 1)}},
        {"unchanged position", Driving(0, 1, 0.5), {}},
        {"not matched", unmatched, {}},
        {"second record", Driving(1, 2, 0.4), {On(1, 2)}},
        {"heading 4 degrees off", Driving(1, 2, 0.5, 4), {On(1, 2)}},
        {"heading 5 degrees off", Driving(1, 2, 0.6, -5), {"off"}},
        {"against the route", Driving(2, 1, 0.5), {"off"}},
        {"a passed record", Driving(0, 1, 0.6), {"off"}},
        {"third record", Driving(2, 3, 0.5), {On(2, 3)}},
        {"off the route", Driving(5, 6, 0.5), {"off"}},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        m_log.log.clear();
        m_tracker.OnPosition(s.position);
        EXPECT_EQ(m_log.log, s.events);
    }
    const RouteIteratorPtr cursor = m_tracker.GetCursor();
    ASSERT_TRUE(cursor);
    EXPECT_EQ(cursor->Current().linkId, m_world.ElementBetween(2, 3));
    EXPECT_EQ(m_tracker.GetDestinations(), route.destination);
}

TEST_F(RouteTrackerTest, WithADestinationButNoRouteEveryNewPositionIsOffRoute) {
    const struct {
        const char* name;
        bool hasDestination;
        std::vector<std::string> events;
    } cases[] = {
        {"destination", true, {"off", "off"}},
        {"nothing", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RouteRequestResult failed(routestatus::kFailed);
        if (c.hasDestination) {
            failed.destination = m_world.Position(2, 3, 0.5);
        }
        m_tracker.SetRoute(failed);
        m_log.log.clear();
        m_tracker.OnPosition(Driving(0, 1, 0.2));
        m_tracker.OnPosition(Driving(0, 1, 0.2)); // unchanged
        m_tracker.OnPosition(Driving(0, 1, 0.3));
        EXPECT_EQ(m_log.log, c.events);
        EXPECT_FALSE(m_tracker.GetCursor());
    }
}

TEST(RouteTrackerDirection, NeedsTwoPointsAndAnEndOfTheSegment) {
    const GeoPoint a{10.0f, 50.0f}, b{10.001f, 50.0f}, c{10.002f, 50.001f}, elsewhere{11.0f, 51.0f};
    MatchedPosition p{};
    p.segmentStart = b;
    p.segmentEnd = c;
    const struct {
        const char* name;
        std::vector<GeoPoint> polyline;
        bool isFound;
        GeoPoint from, to;
    } cases[] = {
        {"one point", {b}, false, {}, {}},
        {"start found from the front", {a, b, c}, true, b, c},
        {"end found from the back", {elsewhere, a, c}, true, a, c},
        {"neither end", {a, elsewhere}, false, {}, {}},
        // A route that ends on a point of its element repeats that point; at the route's end
        // the position's segment may go on along the element.
        {"end repeated at the back", {a, b, c, c}, true, b, c},
        {"start repeated at the front", {elsewhere, b, b, c}, true, b, c},
        {"the segment going on past the end", {a, b, b}, true, a, b},
        {"only the end, repeated", {c, c}, false, {}, {}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        RouteRecord record;
        record.polyline = k.polyline;
        double degrees = -1.0;
        EXPECT_EQ(RouteTracker::RecordDirection(record, p, degrees), k.isFound);
        if (k.isFound) {
            EXPECT_DOUBLE_EQ(degrees, GeoBearing(k.from, k.to));
        }
    }
}

} // namespace
