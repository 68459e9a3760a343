#include "testdata/alertcencoder.h"
#include "testdata/receiverscenariowriter.h"
#include "testdata/tempdir.h"
#include "traffic/tmcreceiver.h"

#include "platform/kernel/time.h"
#include "platform/receiver/gpstmc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

struct Counter {
    OwnerHandlerList handlers;
    std::atomic<int> messages{0};
    std::atomic<int> statuses{0};
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnMessage(const TmcRawMessage* message) {
        if (message != nullptr && message->reserved[0] == 0) {
            ++messages;
        }
    }
    void OnStatus(std::uint32_t) { ++statuses; }
};

// Source switches from a second thread while Run reads on a third and the supervisor checks on
// its own; the test thread moves the clock so that every wait ends.
TEST(TmcReceiverThreads, SwitchesSourcesWhileRunReadsAndTheSupervisorChecks) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.InstallModule(platform::kGpsTmcModuleName));
    testdata::ScenarioStation station;
    station.frequency = 880;
    station.rdsHealth = 1;
    testdata::ReceiverScenarioWriter scenario;
    scenario.AddStation(station);
    ASSERT_TRUE(root.WriteFile(u"\\Windows\\gpstmc.ini", scenario.Build()));
    testdata::AlertCEncoder encoder;
    testdata::AlertCMessage message;
    message.event = 7;
    encoder.AddTable(0xD301, 5).AddMessage(message);
    ASSERT_TRUE(root.WriteFile(u"\\tmc\\replay.txt", encoder.Build()));

    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    six::RefCntPtr<TmcReceiver> receiver = CreateTmcReceiver();
    Counter counter;
    receiver->GetMessageSignal().Connect(&counter, &Counter::OnMessage);
    receiver->GetStatusSignal().Connect(&counter, &Counter::OnStatus);
    receiver->SetReplayRate(50.0F);

    std::atomic<bool> isDone{false};
    std::thread reader([&] { receiver->Run(); });
    std::thread switcher([&] {
        for (int round = 0; round < 40; ++round) {
            switch (round % 4) {
            case 0:
                (void)receiver->OpenReplayFile(u"\\tmc\\replay.txt");
                break;
            case 1:
                receiver->UseReceiverLibrary(true);
                break;
            case 2:
                (void)receiver->OpenReplayFile(u"\\tmc\\missing.txt");
                break;
            default:
                receiver->UseReceiverLibrary(round % 8 == 3);
                receiver->SetReplayRate(round % 8 == 3 ? 0.0F : 50.0F);
                break;
            }
            std::this_thread::yield();
        }
        isDone = true;
    });
    while (!isDone) {
        clock.Advance(100);
        std::this_thread::yield();
    }
    switcher.join();
    EXPECT_EQ(counter.statuses.load(), 10) << "one per missing replay file";

    // Still reading afterwards (the library's 5000 ms retry does not watch source switches).
    ASSERT_TRUE(receiver->OpenReplayFile(u"\\tmc\\replay.txt"));
    const int before = counter.messages.load();
    for (int step = 0; step < 100000 && counter.messages.load() == before; ++step) {
        clock.Advance(100);
        std::this_thread::yield();
    }
    EXPECT_GT(counter.messages.load(), before);
    receiver->Stop();
    reader.join();
}

} // namespace
