#include "positioning/geodistance.h"
#include "positioning/mapmatcherfront.h"
#include "routing/tests/scriptedroute.h"
#include "tests/matcherfixture.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

constexpr std::uint32_t kStart = 946684800 + 12 * 3600;

// One road of one element, about 510 m eastwards from A to B, and fixes along it.
testdata::MatcherSketch LongRoadSketch() {
    testdata::MatcherSketch sketch;
    sketch.grid.rows = {"A" + std::string(29, '.') + "B"};
    testdata::GridSketch::Road road;
    road.name = "Long";
    road.nodes = "AB";
    sketch.grid.roads = {road};
    sketch.grid.origin = testdata::kMatcherSketchOrigin;
    sketch.grid.spacing = testdata::kMatcherSketchSpacing;
    return sketch;
}

struct LongRoad {
    LongRoad()
        : sketch(LongRoadSketch())
        , map(sketch)
        , west(SketchNode(sketch, 'A')) {}

    // The fix `east` metres along the road (and `north` off it) at the second.
    [[nodiscard]] GpsFix Fix(std::uint32_t second, std::int32_t east, std::uint16_t speed = 30,
                             std::uint16_t satellites = 8, std::int32_t north = 0) const {
        GpsFix fix;
        const GeoPoint p = Moved(west, east, north);
        fix.longitude = p.x;
        fix.latitude = p.y;
        fix.positionStatus = 0;
        fix.satellites = satellites;
        fix.course = 90;
        fix.courseStatus = 0;
        fix.speed = speed;
        fix.speedStatus = 0;
        fix.hdop = 1.0f;
        fix.utcTime = kStart + second;
        fix.tick = 1000 * (second + 1);
        return fix;
    }
    // Where the vehicle driving 30 km/h (8 m a second) is at the second.
    [[nodiscard]] static std::int32_t At(std::uint32_t second) {
        return 5 + 8 * static_cast<std::int32_t>(second);
    }
    // Fixes for the seconds [from, to); those in [outFrom, outTo) with one satellite.
    [[nodiscard]] std::vector<std::vector<GpsFix>> Drive(std::uint32_t from, std::uint32_t to,
                                                         std::uint32_t outFrom = 0,
                                                         std::uint32_t outTo = 0) const {
        std::vector<std::vector<GpsFix>> batches;
        for (std::uint32_t s = from; s < to; ++s) {
            const bool out = s >= outFrom && s < outTo;
            batches.push_back({Fix(s, At(s), 30, out ? 1 : 8)});
        }
        return batches;
    }
    [[nodiscard]] std::int32_t Street() const { return static_cast<std::int32_t>(map.Id(0)); }

    testdata::MatcherSketch sketch;
    SketchMap map;
    GeoPoint west;
};

struct Feeder {
    MapMatcher& matcher;
    platform::VirtualClock& clock;
    std::vector<int> results;

    void Feed(const std::vector<std::vector<GpsFix>>& batches) {
        for (const auto& batch : batches) {
            clock.SetTick(batch.back().tick);
            results.push_back(matcher.Update(batch));
        }
    }
};

TEST(MapMatcherEdgeCases, FollowTheTable) {
    const LongRoad road;
    const struct {
        const char* name;
        bool simple;
        std::function<void(Feeder&)> act;
        std::function<void(const Feeder&)> check;
    } cases[] = {
        {"the first fix is stored unmatched, processed and off the network", true,
         [&](Feeder& run) { run.Feed({{road.Fix(0, 5)}}); },
         [&](const Feeder& run) {
             EXPECT_EQ(run.results.back(), 0);
             const MatchRecord& r = run.matcher.History().Newest();
             EXPECT_EQ(r.street, -1);
             EXPECT_EQ(r.flags, MatchRecord::kProcessed | MatchRecord::kOffNetwork);
             EXPECT_EQ(run.matcher.GetResult().street, -1);
         }},
        {"a drive along the road matches it", false,
         [&](Feeder& run) { run.Feed(road.Drive(0, 8)); },
         [&](const Feeder& run) {
             EXPECT_EQ(run.results.back(), 1);
             EXPECT_EQ(run.matcher.GetResult().street, road.Street());
         }},
        {"a slow vehicle holds street, snapped point and heading", true,
         [&](Feeder& run) {
             run.Feed(road.Drive(0, 8));
             run.Feed({{road.Fix(8, LongRoad::At(7) + 1, 2, 8, 6)}});
         },
         [&](const Feeder& run) {
             const MatchRecord& held = run.matcher.History().NewestFirst(1);
             const MatchRecord& r = run.matcher.History().Newest();
             ASSERT_TRUE(held.HasStreet());
             EXPECT_EQ(r.street, held.street);
             EXPECT_EQ(r.snapped, held.snapped);
             EXPECT_EQ(r.heading, held.heading);
             EXPECT_EQ(r.speed, 2);
             EXPECT_EQ(r.raw, Moved(road.west, LongRoad::At(7) + 1, 6));
         }},
        {"a jump of 500 m empties the history", true,
         [&](Feeder& run) {
             run.Feed(road.Drive(0, 8));
             run.Feed({{road.Fix(8, LongRoad::At(8) + 500)}});
         },
         [&](const Feeder& run) {
             EXPECT_EQ(run.matcher.History().Index(), 0);
             EXPECT_EQ(run.results.back(), 0);
         }},
        {"2 satellites in full mode start the lost state", false,
         [&](Feeder& run) {
             run.Feed(road.Drive(0, 8));
             run.Feed({{road.Fix(8, 69, 30, 2)}});
         },
         [&](const Feeder& run) {
             EXPECT_TRUE(run.matcher.IsLost());
             EXPECT_EQ(run.results.back(), 0);
             EXPECT_EQ(run.matcher.GetResult().matched, Moved(road.west, 69, 0));
         }},
        {"2 satellites in simple mode change nothing", true,
         [&](Feeder& run) {
             run.Feed(road.Drive(0, 8));
             run.Feed({{road.Fix(8, 69, 30, 2)}});
         },
         [&](const Feeder& run) {
             EXPECT_FALSE(run.matcher.IsLost());
             EXPECT_EQ(run.results.back(), 1);
         }},
        // An outage lasts from the last fix before it to the first good fix after it.
        {"after an outage of 20 s matching resumes more than 20 s after the first good fix", false,
         [&](Feeder& run) { run.Feed(road.Drive(0, 48, 6, 25)); },
         [&](const Feeder& run) {
             for (std::size_t i = 25; i <= 45; ++i) {
                 EXPECT_EQ(run.results[i], 0) << i;
             }
             EXPECT_EQ(run.results[46], 1);
             EXPECT_FALSE(run.matcher.IsLost() || run.matcher.IsRecovering());
         }},
        {"after an outage of 4 s the first good fix is unmatched, the next matched", false,
         [&](Feeder& run) { run.Feed(road.Drive(0, 12, 6, 9)); },
         [&](const Feeder& run) {
             EXPECT_EQ(run.results[5], 1);
             EXPECT_EQ(run.results[9], 0);
             EXPECT_EQ(run.results[10], 1);
         }},
        // A fix without a time (0) dates no end of an outage: the fix before it does, or the
        // first one after it; nor does it end the recovery.
        {"a fix without a time just before an outage of 3 s: it counts from the fix before", false,
         [&](Feeder& run) {
             auto drive = road.Drive(0, 12, 6, 8);
             drive[5][0].utcTime = 0;
             run.Feed(drive);
         },
         [&](const Feeder& run) {
             EXPECT_EQ(run.results[8], 0);
             EXPECT_EQ(run.results[9], 1);
         }},
        // Long enough to be told from none: the outage of 21 s from the fix before keeps the
        // matching back for as long.
        {"a fix without a time just before an outage of 20 s: it counts from the fix before", false,
         [&](Feeder& run) {
             auto drive = road.Drive(0, 49, 6, 25);
             drive[5][0].utcTime = 0;
             run.Feed(drive);
         },
         [&](const Feeder& run) {
             for (std::size_t i = 25; i <= 46; ++i) {
                 EXPECT_EQ(run.results[i], 0) << i;
             }
             EXPECT_EQ(run.results[47], 1);
         }},
        {"a fix without a time ending an outage of 3 s: the next fix dates its end", false,
         [&](Feeder& run) {
             auto drive = road.Drive(0, 12, 6, 8);
             drive[8][0].utcTime = 0;
             run.Feed(drive);
         },
         [&](const Feeder& run) {
             EXPECT_EQ(run.results[9], 0);
             EXPECT_EQ(run.results[10], 1);
         }},
        {"a fix without a time while recovering from an outage of 20 s", false,
         [&](Feeder& run) {
             auto drive = road.Drive(0, 48, 6, 25);
             drive[30][0].utcTime = 0;
             run.Feed(drive);
         },
         [&](const Feeder& run) {
             for (std::size_t i = 25; i <= 45; ++i) {
                 EXPECT_EQ(run.results[i], 0) << i;
             }
             EXPECT_EQ(run.results[46], 1);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::VirtualClock clock;
        const platform::ScopedClock installed(clock);
        MapMatcher matcher(road.map.query);
        matcher.SetSimpleMode(c.simple);
        Feeder run{matcher, clock, {}};
        c.act(run);
        c.check(run);
    }
}

// After a plausible drive matched up to 61 m, fixes that jump too far for the reported 30 km/h:
// each keeps the previous result while that lies at most 40 m from the fix, and is matched
// afresh once it would lie farther.
TEST(MapMatcherKeptResult, IsGivenUpOnceItLiesMoreThan40MetresFromTheFix) {
    const LongRoad road;
    const struct {
        const char* name;
        std::vector<std::int32_t> east; // metres along the road, one fix a second from second 8
        std::string kept;               // per fix: 'k' the previous result kept, 'f' afresh
    } cases[] = {
        {"30 m near, then 60 m far", {91, 121}, "kf"},
        {"near and far in turn", {91, 121, 151, 181}, "kfkf"},
        {"35 m near twice, then back", {96, 96, 71}, "kkk"},
    };
    for (const bool simple : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << (simple ? ", simple" : ", full"));
            platform::VirtualClock clock;
            const platform::ScopedClock installed(clock);
            MapMatcher matcher(road.map.query);
            matcher.SetSimpleMode(simple);
            Feeder run{matcher, clock, {}};
            run.Feed(road.Drive(0, 8));
            MatchRecord previous = matcher.History().Newest();
            ASSERT_EQ(previous.street, road.Street());
            ASSERT_LT(GeoDistance(previous.snapped, Moved(road.west, LongRoad::At(7), 0)), 2.0);
            for (std::size_t i = 0; i < c.east.size(); ++i) {
                SCOPED_TRACE(i);
                run.Feed({{road.Fix(static_cast<std::uint32_t>(8 + i), c.east[i])}});
                const MatchRecord r = matcher.History().Newest();
                ASSERT_EQ(r.street, road.Street());
                if (c.kept[i] == 'k') {
                    EXPECT_EQ(r.snapped, previous.snapped);
                } else {
                    EXPECT_LT(GeoDistance(r.snapped, r.raw), 10.0);
                }
                previous = r;
            }
        }
    }
}

TEST(MapMatcherFront, ForwardsCachesAndForgetsTheStreetWhenTheEngineOpensAMapSet) {
    const LongRoad road;
    platform::VirtualClock clock;
    const platform::ScopedClock installed(clock);
    const MapMatcherFrontPtr front = CreateMapMatcherFront(road.map.query);
    ASSERT_TRUE(front);
    std::vector<std::vector<GpsFix>> drive = road.Drive(0, 8);
    bool matched = false;
    for (const auto& batch : drive) {
        clock.SetTick(batch.back().tick);
        matched = front->Update(batch);
    }
    EXPECT_TRUE(matched);
    const MatchedPosition* cached = front->GetResult();
    ASSERT_NE(cached, nullptr);
    EXPECT_EQ(cached->street, road.Street());
    EXPECT_EQ(cached->displayStreet, cached->street);
    EXPECT_EQ(cached->heading, 90);
    EXPECT_EQ(cached->speed, 30);
    EXPECT_EQ(cached->streetsNear, 1);
    EXPECT_EQ(cached->fix.utcTime, drive.back().back().utcTime);

    ASSERT_TRUE(road.map.engine->Open(road.map.path));
    EXPECT_EQ(front->GetResult()->street, -1);
    MapMatcher* matcher = front->Lock();
    ASSERT_NE(matcher, nullptr);
    EXPECT_EQ(matcher->History().Index(), -1);
    front->Unlock();

    // A front without an engine matches nothing and harms nothing.
    const MapMatcherFrontPtr alone = CreateMapMatcherFront(AreaQueryPtr());
    ASSERT_TRUE(alone);
    EXPECT_FALSE(alone->Update(drive.back()));
    EXPECT_EQ(alone->GetResult()->street, -1);
    EXPECT_FALSE(alone->Update({}));
}

TEST(ChooseResult, PrefersTheRouteWithinToleranceElseTheBetterScore) {
    const LongRoad road;
    MapMatcher matcher(road.map.query);
    MatchRecord base = RecordAt(Moved(road.west, 40, 0));
    base.course = 90;
    matcher.SetSearchArea(base);
    const auto with = [&](std::int32_t street, float error) {
        MatchRecord r = base;
        r.street = street;
        r.error = error;
        r.segmentStart = road.west;
        r.segmentEnd = Moved(road.west, 100, 0);
        return r;
    };
    const MatchRecord none = base;
    const struct {
        const char* name;
        MatchRecord a, b, c;
        std::int32_t expected;
    } cases[] = {
        {"nothing anywhere", none, none, none, -1},
        {"only the route", with(7, 20), none, none, 7},
        {"route within tolerance of the street", with(7, 12), with(8, 10), with(9, 10), 7},
        {"route outside tolerance: the street", with(7, 20), none, with(9, 10), 9},
        {"street worse than the unmatched one", none, with(8, 2), with(9, 20), 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(matcher.ChooseResult(c.a, c.b, c.c).street, c.expected);
    }
}

TEST(MapMatcherRoute, MarksTheRecordsAlignsThemInFullModeAndClearsWithoutARoute) {
    const testdata::MatcherSketch sketch = testdata::ParallelRoadsSketch();
    const SketchMap map(sketch);
    std::vector<std::pair<std::uint32_t, GeoPoint>> records;
    for (std::size_t k = 0; k < 4; ++k) {
        records.emplace_back(map.Id(k), SketchNode(sketch, static_cast<char>('A' + k)));
    }
    const struct {
        const char* name;
        bool simple;
        bool withRoute;
        std::size_t marks;
        bool aligned;
    } cases[] = {{"simple mode keeps the element ids", true, true, 4, false},
                 {"full mode gives them the street's points", false, true, 8, true},
                 {"no route clears the marks", false, false, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MapMatcher matcher(map.query);
        matcher.SetSimpleMode(c.simple);
        const MatchRecord around = RecordAt(SketchNode(sketch, 'C'));
        matcher.SetSearchArea(around);
        matcher.FetchCandidates(around);
        const RouteIteratorPtr route = MakeScriptedRoute(records);
        matcher.SetRoute(route);
        if (!c.withRoute) {
            matcher.SetRoute(nullptr);
        }
        const std::vector<RouteMark>& marks = matcher.RouteMarks();
        EXPECT_EQ(marks.size(), c.marks);
        EXPECT_TRUE(route->IsValid()); // the caller's cursor did not move
        for (const RouteMark& mark : marks) {
            EXPECT_EQ(mark.hasGeometry != 0, c.aligned);
        }
        if (c.withRoute) {
            EXPECT_EQ(marks.front().elementId, map.Id(0));
            EXPECT_EQ(matcher.ReferencePoint(), records[1].second);
        }
    }
}

} // namespace
