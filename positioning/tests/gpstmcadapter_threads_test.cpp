#include "positioning/gpstmcadapter.h"
#include "testdata/nmeawriter.h"
#include "testdata/rdsgroupfilewriter.h"
#include "testdata/receiverscenariowriter.h"
#include "testdata/tempdir.h"

#include "platform/kernel/time.h"
#include "platform/window/testdriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

// Drains one queue on its own thread, in odd-sized pieces that split lines.
class Drainer {
public:
    Drainer(GpsTmcAdapter& adapter, int (GpsTmcAdapter::*read)(char*, int))
        : m_thread([this, &adapter, read] {
            char buffer[37];
            bool isLastRound = false;
            while (true) {
                const int count = (adapter.*read)(buffer, sizeof buffer);
                if (count > 0) {
                    m_text.append(buffer, static_cast<std::size_t>(count));
                } else if (isLastRound) {
                    return;
                } else {
                    // Read on once the stop is seen: everything queued before it is read.
                    isLastRound = m_isStopping;
                    std::this_thread::yield();
                }
            }
        }) {}

    // Lets the thread read what is left, stops it and returns all it read.
    std::string Finish() {
        m_isStopping = true;
        m_thread.join();
        return m_text;
    }

private:
    std::atomic<bool> m_isStopping{false};
    std::string m_text;
    std::thread m_thread;
};

TEST(ReceiverAdapterThreads, ReadersDrainWhileTheWindowThreadPumps) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.InstallModule(platform::kGpsTmcModuleName));
    testdata::NmeaWriter nmea;
    testdata::NmeaFixValues fix;
    nmea.AddCycle(fix);
    fix.second = 1;
    nmea.AddCycle(fix);
    ASSERT_TRUE(root.WriteFile(u"\\Windows\\track.nmea", nmea.Build()));
    testdata::RdsGroupFileWriter groups;
    for (std::uint16_t i = 0; i < 7; ++i) {
        groups.Add({0xD3C2, 0x8408, i, static_cast<std::uint16_t>(0xF000 | i)});
    }
    ASSERT_TRUE(root.WriteFile(u"\\Windows\\groups.txt", groups.Build()));
    testdata::ScenarioStation station;
    station.groups = "groups.txt";
    testdata::ReceiverScenarioWriter writer;
    writer.SetReplay("track.nmea", 5).AddStation(station);
    ASSERT_TRUE(root.WriteFile(u"\\Windows\\gpstmc.ini", writer.Build()));

    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    platform::ScreenDriver driver(&clock);
    GpsTmcAdapter adapter;
    ASSERT_TRUE(adapter.Open(0, 38400, false, 880));
    Drainer tmc(adapter, &GpsTmcAdapter::ReadTmc);
    Drainer gps(adapter, &GpsTmcAdapter::ReadNmea);
    constexpr int kSteps = 200; // 20 s
    for (int step = 0; step < kSteps; ++step) {
        clock.Advance(100);
        platform::WaitForGpsTmcCatchUp();
        ASSERT_TRUE(driver.RunUntilIdle());
        if (step == kSteps / 2) {
            EXPECT_GT(adapter.GetTmcHealth(), 0);
        }
    }
    adapter.Close();
    const std::string tmcText = tmc.Finish();
    const std::string gpsText = gps.Finish();

    ASSERT_EQ(tmcText.size(), 220u * 17u) << "11 groups a second for 20 s";
    for (std::size_t i = 0; i < 220; ++i) {
        const auto index = static_cast<std::uint16_t>(i % 7);
        EXPECT_EQ(tmcText.substr(i * 17, 17),
                  testdata::RdsGroupFileWriter::QueuedLine(
                      {0xD3C2, 0x8408, index, static_cast<std::uint16_t>(0xF000 | index)}))
            << i;
    }
    const std::string cycles = nmea.Build();
    ASSERT_EQ(gpsText.size(), 50u * cycles.size()) << "5 cycles a second for 20 s";
    for (std::size_t i = 0; i < 50; ++i) {
        EXPECT_EQ(gpsText.substr(i * cycles.size(), cycles.size()), cycles) << i;
    }
}

TEST(ReceiverAdapterThreads, ReopensFromAnotherThreadWhileTheWindowThreadPumps) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.InstallModule(platform::kGpsTmcModuleName));
    testdata::RdsGroupFileWriter groups;
    groups.Add({1, 2, 3, 4}).Add({5, 6, 7, 8});
    ASSERT_TRUE(root.WriteFile(u"\\Windows\\groups.txt", groups.Build()));
    testdata::ScenarioStation station;
    station.groups = "groups.txt";
    station.groupsPerSecond = 100;
    testdata::ReceiverScenarioWriter writer;
    writer.AddStation(station);
    ASSERT_TRUE(root.WriteFile(u"\\Windows\\gpstmc.ini", writer.Build()));

    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    platform::ScreenDriver driver(&clock);
    GpsTmcAdapter adapter;
    ASSERT_TRUE(adapter.Open(0, 38400, false, 880));
    Drainer tmc(adapter, &GpsTmcAdapter::ReadTmc);
    std::atomic<int> reopened{0};
    std::thread reconnect([&adapter, &reopened] {
        for (int i = 0; i < 50; ++i) {
            reopened += adapter.Reopen() ? 1 : 0;
        }
    });
    for (int step = 0; step < 200; ++step) {
        clock.Advance(10);
        platform::WaitForGpsTmcCatchUp();
        ASSERT_TRUE(driver.RunUntilIdle());
        (void)adapter.GetTmcHealth();
    }
    reconnect.join();
    adapter.Close();
    ASSERT_TRUE(driver.RunUntilIdle());
    const std::string text = tmc.Finish();
    EXPECT_EQ(reopened, 50);
    ASSERT_EQ(text.size() % 17, 0u);
    for (std::size_t at = 0; at < text.size(); at += 17) {
        const std::string line = text.substr(at, 17);
        EXPECT_TRUE(line == "0001000200030004\n" || line == "0005000600070008\n") << line;
    }
}

} // namespace
