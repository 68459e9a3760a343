// The navigation server under concurrent use: databases switched from another thread during a
// drive with a TMC replay and automatic re-routing, and the server destroyed in the middle of
// it all, ending every thread it started.
#include "onboard/tests/serverworld.h"
#include "onboard/traffichandler.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace servertest;
using namespace std::chrono_literals;

TEST(OnboardServerThreads, DestructionDuringADriveASwitchAndAReplayEndsEveryThread) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ServerWorld w(4, 3, 2000, true, true, true);
        ASSERT_TRUE(w.server);
        DatabaseListPtr databases;
        w.server->GetDatabases(databases);
        ASSERT_TRUE(databases && databases->size() == 2);
        w.clock.Advance(5000);
        const RouteRequestResult route = w.Request(w.Driving(0, 1, 0.1), w.Destination(2, 3, 0.9));
        ASSERT_EQ(route.status, routestatus::kFound);
        // A drive that leaves the route (re-routing on the GPS worker), read at 3 sentences a
        // second, and a TMC replay on the receiver's thread.
        const RouteRequestResult detour = w.Request(w.Driving(4, 5, 0.1), w.Destination(6, 7, 0.9));
        (void)w.Request(w.Driving(0, 1, 0.1), w.Destination(2, 3, 0.9));
        NmeaDemoWriter demo("\\detour.txt", detour);
        ASSERT_EQ(demo.Write(), 0);
        GpsReceiverPtr gps;
        w.server->OpenAlternativeGps(gps);
        ASSERT_TRUE(gps);
        gps->OpenReplayFile(u"\\detour.txt");
        gps->SetSentenceRate(3.0F);
        testdata::AlertCMessage m;
        m.event = kClosureEvent;
        m.location = (kFirstPointCode + 2) % 100000;
        m.extent = 1;
        testdata::AlertCEncoder encoder;
        encoder.AddTable(m.programmeId, 1);
        ASSERT_TRUE(w.root.WriteFile(u"\\closure.txt", encoder.AddMessage(m).Build()));
        const six::RefCntPtr<TmcReceiver> receiver = w.server->GetTmcReceiver();
        ASSERT_TRUE(receiver);
        receiver->SetReplayRate(20.0F);
        ASSERT_TRUE(receiver->OpenReplayFile(u"\\closure.txt"));

        std::atomic<bool> isRunning{true};
        std::atomic<int> switches{0};
        std::thread ticking([&] {
            while (isRunning) {
                w.clock.Advance(50);
                std::this_thread::sleep_for(1ms);
            }
        });
        std::thread selecting([&, databases] {
            for (std::size_t k = 0; isRunning; ++k) {
                if ((*databases)[k % 2]->Select()) {
                    ++switches;
                }
                std::this_thread::sleep_for(2ms);
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100 + 50 * round));
        const std::size_t positions = w.log.Count('P');
        EXPECT_GT(positions, 0U); // the drive was running
        w.server.Release();       // while the threads run
        EXPECT_FALSE((*databases)[0]->Select());
        EXPECT_FALSE((*databases)[1]->IsSelected());
        isRunning = false;
        ticking.join();
        selecting.join();
        EXPECT_GT(switches.load(), 0);
        // Nothing arrives from a destroyed server.
        const std::size_t events = w.log.Entries().size();
        w.clock.Advance(TrafficHandler::kNotifyDelayMs * 2);
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(w.log.Entries().size(), events);
        // The receiver outlives the server but its loop has ended: it was told to stop.
        EXPECT_FALSE(receiver->IsWaiting());
    }
}

} // namespace
