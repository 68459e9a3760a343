#include "app/scenario/scenariowatch.h"
#include "mapdisplay/tests/mapviewfixture.h"
#include "routing/tests/scriptedroute.h"

#include <gtest/gtest.h>

#include <thread>

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

// During a drive on a stepped clock, a due fix published by another thread is taken up: the
// stepped clock then goes on without waiting until the next one is due.
TEST(ScenarioWatch, WaitsForTheReplaysFixWhenOneIsDue) {
    mapviewtest::ScriptedServer server;
    ScenarioWatch watch;
    watch.Watch(&server);
    ScenarioClock clock(0.0);
    watch.StartDrive(clock.Virtual().TickMs());
    clock.Virtual().Advance(1000);
    const MatchedPosition position;
    std::thread replay([&server, &position] { server.PositionEvent.Emit(&position); });
    watch.KeepPace(clock); // a fix is due: waits for it (or takes it when it came first)
    replay.join();
    EXPECT_EQ(watch.FixesTakenUp(), 1u);
    clock.Virtual().Advance(500);
    watch.KeepPace(clock); // none due yet
    EXPECT_EQ(watch.FixesTakenUp(), 1u);
}

} // namespace
