#include "app/scenario/scenariowatch.h"
#include "mapdisplay/tests/mapviewfixture.h"
#include "routing/tests/scriptedroute.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

// The newest route the server reports is kept while it was found; a failed one, or a found one
// without records, leaves no route; the program's end forgets it.
TEST(ScenarioWatch, KeepsTheNewestFoundRoute) {
    mapviewtest::ScriptedServer server;
    ScenarioWatch watch;
    watch.Watch(&server);
    watch.Watch(&server); // once per server
    RouteRequestResult found(routestatus::kFound);
    found.route = std::make_shared<ScriptedRoute>(std::vector<RouteRecord>(2));
    found.length = 1200;
    RouteRequestResult longer = found;
    longer.length = 2400;
    const RouteRequestResult failed(routestatus::kFailed);
    const RouteRequestResult empty(routestatus::kFound);
    const struct {
        std::vector<const RouteRequestResult*> reported;
        int length; // -1: no route
    } cases[] = {
        {{}, -1},
        {{&found}, 1200},
        {{&found, &longer}, 2400},
        {{&found, &failed}, -1},
        {{&found, &empty}, -1},
        {{&failed, &longer}, 2400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reported.size());
        server.RouteEvent.Emit(&failed);
        for (const RouteRequestResult* result : c.reported)
            server.RouteEvent.Emit(result);
        const std::optional<RouteRequestResult> route = watch.CurrentRoute();
        EXPECT_EQ(route ? route->length : -1, c.length);
        EXPECT_EQ(route.has_value(), route && route->route != nullptr);
    }
    watch.Forget();
    EXPECT_FALSE(watch.CurrentRoute());
}

// During a drive on a stepped clock the clock stops at each fix the replay is due to publish (the
// first a second after the drive starts, then a second after the tick the last one was filled
// at) and waits for it, however long the replay's and the server's threads take on a loaded
// machine; the fix is then taken up at that tick, so the replay never falls behind the clock. A
// fix that does not come is given up after a while; after three such misses the drive is no
// longer waited for. A second drive goes on at the pace of the replay running. Positions without
// receiver data (the serial device's, put in the replay's place, hearing no receiver) are no
// fixes: each counts as a miss.
TEST(ScenarioWatch, TheSteppedClockWaitsAtEachOfTheReplaysFixes) {
    // Each row: whether a drive starts first, the clock moved on by, the real milliseconds the
    // replay then takes to publish its fix (kNoFix: none comes), the tick the fix is filled at;
    // then the fixes taken up since the drive started once KeepPace returned, and how far a wish
    // to move the clock on by 1500 ms may go.
    constexpr int kNoFix = -1;
    struct Row {
        bool startsDrive;
        std::uint64_t advance;
        int publishAfterMs;
        std::uint32_t fixTick;
        std::uint64_t takenUp;
        std::uint64_t step;
        bool isSilent = false; // the position published has no receiver data
    };
    const struct {
        const char* name;
        std::vector<Row> rows;
    } cases[] = {
        {"late fixes, one a second",
         {{true, 0, kNoFix, 0, 0, 1000},
          {false, 1000, 400, 1000, 1, 1000},
          {false, 900, kNoFix, 0, 1, 100},
          {false, 100, 400, 2000, 2, 1000}}},
        {"a fix at once", {{true, 0, kNoFix, 0, 0, 1000}, {false, 1000, 0, 1000, 1, 1000}}},
        {"a second drive keeps the replay's pace",
         {{true, 0, kNoFix, 0, 0, 1000},
          {false, 1000, 0, 1000, 1, 1000},
          {true, 500, kNoFix, 0, 0, 500},
          {false, 500, 0, 2000, 1, 1000}}},
        {"three misses end the waiting",
         {{true, 0, kNoFix, 0, 0, 1000},
          {false, 1000, kNoFix, 0, 0, 1000},
          {false, 1000, kNoFix, 0, 0, 1000},
          {false, 1000, kNoFix, 0, 0, 1500},
          {false, 1000, kNoFix, 0, 0, 1500}}},
        {"positions without receiver data are misses",
         {{true, 0, kNoFix, 0, 0, 1000},
          {false, 1000, 0, 1000, 1, 1000},
          {false, 1000, 0, 0, 1, 1000, true},
          {false, 1000, 300, 0, 1, 1000, true},
          {false, 1000, 0, 0, 1, 1500, true},
          {false, 1000, kNoFix, 0, 1, 1500}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        mapviewtest::ScriptedServer server;
        ScenarioWatch watch;
        watch.Watch(&server);
        ScenarioClock clock(0.0);
        for (const Row& row : c.rows) {
            clock.Virtual().Advance(row.advance);
            if (row.startsDrive)
                watch.StartDrive(clock.Virtual().TickMs());
            MatchedPosition position;
            position.fix.tick = row.fixTick;
            if (row.isSilent)
                position.fix.hdop = GpsFix::kHdopNoData;
            std::thread replay([&server, &position, &row] {
                if (row.publishAfterMs == kNoFix)
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(row.publishAfterMs));
                server.PositionEvent.Emit(&position);
            });
            watch.KeepPace(clock);
            EXPECT_EQ(watch.FixesTakenUp(), row.takenUp) << row.advance;
            EXPECT_EQ(watch.ClockStep(clock.Virtual().TickMs(), 1500), row.step) << row.advance;
            replay.join();
        }
    }
}

} // namespace
