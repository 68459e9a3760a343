#include "positioning/gpsreceiver.h"
#include "positioning/tests/gpstestsupport.h"
#include "testdata/freshprocess.h"
#include "testdata/nmeawriter.h"
#include "testdata/receiverscenariowriter.h"
#include "testdata/tempdir.h"

#include "platform/kernel/time.h"
#include "platform/receiver/gpstmc.h"
#include "platform/window/testdriver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The receiver library as the source: each queued cycle (GGA, VTG, RMC) becomes a fix at once,
// without pacing; once the library fails, a negative read ends it as the source, silently.
TEST(ReceiverLibrarySource, GivesUnpacedFixesUntilTheLibraryFails) {
    testdata::RunInFreshProcess([] {
        testdata::TempDeviceRoot root;
        platform::VirtualClock clock;
        platform::ScopedClock installed(clock);
        platform::ScreenDriver driver(&clock);
        ASSERT_TRUE(root.InstallModule(platform::kGpsTmcModuleName));
        ASSERT_TRUE(root.WriteFile(u"\\deziv.ini", ShippedSettings()));
        std::vector<testdata::NmeaFixValues> samples;
        testdata::NmeaWriter nmea;
        for (int second = 0; second < 4; ++second) {
            testdata::NmeaFixValues values;
            values.second = second;
            values.latitude = -33.8 - second * 0.001;
            values.longitude = -70.6 + second * 0.001;
            values.speedKmh = 30.0 + second;
            samples.push_back(values);
            nmea.AddCycle(values);
        }
        ASSERT_TRUE(root.WriteFile(u"\\gps\\track.nmea", nmea.Build()));
        testdata::ReceiverScenarioWriter scenario;
        scenario.SetReplay("\\gps\\track.nmea", 1);
        ASSERT_TRUE(root.WriteFile(u"\\Windows\\gpstmc.ini", scenario.Build()));

        const CountedPtr<GpsTmcAdapter> adapter = GpsTmcAdapter::Instance();
        ASSERT_TRUE(adapter);
        ASSERT_TRUE(adapter->Open(0, 4800, false, 0));
        const GpsReceiverPtr receiver = CreateGpsReceiver(u"\\deziv.ini");
        ASSERT_TRUE(receiver);
        GpsListener listener(*receiver);
        std::thread reader([&] { receiver->Run(); });
        receiver->UseReceiverLibrary();
        EXPECT_EQ(receiver->GetSentenceRate(), 0.0f);

        // The library queues one cycle a second; the reader rests 100 ms when the queue is empty.
        // The rests waited out within a second count towards the next one, so a slow reader
        // never lets the clock reach the library's next cycle early.
        int restedMs = 0;
        const auto step = [&](std::size_t fixCount, int patienceMs) {
            clock.Advance(1000 - restedMs);
            restedMs = 0;
            platform::WaitForGpsTmcCatchUp();
            ASSERT_TRUE(driver.RunUntilIdle());
            for (int wait = 0; wait < patienceMs && listener.Fixes().size() < fixCount; ++wait) {
                if (restedMs + 100 < 1000) {
                    clock.Advance(100);
                    restedMs += 100;
                }
                std::this_thread::sleep_for(1ms);
            }
        };
        for (std::size_t second = 0; second < 6; ++second) {
            SCOPED_TRACE(second);
            step(second + 1, 2000);
            const std::vector<GpsFix> fixes = listener.Fixes();
            ASSERT_EQ(fixes.size(), second + 1);
            const testdata::NmeaFixValues& sample = samples[second % samples.size()];
            EXPECT_NEAR(fixes.back().latitude, sample.latitude, 1e-5);
            EXPECT_NEAR(fixes.back().longitude, sample.longitude, 1e-5);
            EXPECT_EQ(fixes.back().speed, static_cast<int>(sample.speedKmh));
        }

        adapter->Close();
        EXPECT_FALSE(adapter->Open(7, 4800, false, 0)) << "a port the library refuses";
        char probe[4];
        EXPECT_LT(adapter->ReadNmea(probe, sizeof probe), 0);
        for (int rest = 0; rest < 20; ++rest) {
            clock.Advance(100);
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_TRUE(adapter->Open(0, 4800, false, 0));
        for (int second = 0; second < 3; ++second) {
            step(7, 50);
        }
        EXPECT_EQ(listener.Fixes().size(), 6u) << "the library is no longer the source";
        receiver->Stop();
        reader.join();
        EXPECT_TRUE(listener.Statuses().empty());
        adapter->Close();
    });
}

} // namespace
