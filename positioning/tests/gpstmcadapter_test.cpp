#include "positioning/gpstmcadapter.h"
#include "testdata/freshprocess.h"
#include "testdata/nmeawriter.h"
#include "testdata/ptyport.h"
#include "testdata/rdsgroupfilewriter.h"
#include "testdata/receiverscenariowriter.h"
#include "testdata/tempdir.h"

#include "platform/files/modules.h"
#include "platform/kernel/messagebox.h"
#include "platform/kernel/time.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using testdata::ScenarioStation;

// Records what the adapter's signals carry.
struct Listener {
    OwnerHandlerList handlers;
    std::vector<std::tuple<DWORD, DWORD, std::u16string>> stations;
    std::vector<std::u16string> radiotexts;
    std::vector<std::vector<DWORD>> alternatives;
    int notifications = 0;

    explicit Listener(GpsTmcAdapter& adapter) {
        adapter.GetStationSignal().Connect(this, &Listener::OnStation);
        adapter.GetRadiotextSignal().Connect(this, &Listener::OnRadiotext);
        adapter.GetAlternativeFrequencySignal().Connect(this, &Listener::OnAlternatives);
        adapter.GetNotificationSignal().Connect(this, &Listener::OnNotification);
    }
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnStation(DWORD frequency, DWORD id, std::u16string name) {
        stations.emplace_back(frequency, id, std::move(name));
    }
    void OnRadiotext(std::u16string text) { radiotexts.push_back(std::move(text)); }
    void OnAlternatives(std::vector<DWORD> list) { alternatives.push_back(std::move(list)); }
    void OnNotification() { ++notifications; }
};

ScenarioStation Station(unsigned frequency, unsigned id, std::string name, int tmcHealth) {
    ScenarioStation station;
    station.frequency = frequency;
    station.programmeId = id;
    station.name = std::move(name);
    station.tmcHealth = tmcHealth;
    return station;
}

// True when text is a run of whole lines, each one of the lines of cycle.
::testing::AssertionResult IsWholeSentencesOf(const std::string& text, const std::string& cycle) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            return ::testing::AssertionFailure() << "torn end at " << start;
        }
        const std::string line = text.substr(start, end + 2 - start);
        if (cycle.find(line) == std::string::npos || line[0] != '$') {
            return ::testing::AssertionFailure() << "stray line at " << start << ": " << line;
        }
        start = end + 2;
    }
    return ::testing::AssertionSuccess();
}

class ReceiverAdapter : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_root.InstallModule(platform::kGpsTmcModuleName)); }

    void WriteScenario(const testdata::ReceiverScenarioWriter& writer) {
        ASSERT_TRUE(m_root.WriteFile(u"\\Windows\\gpstmc.ini", writer.Build()));
    }

    // Moves the clock, lets the library catch up and handles what it posted.
    void Step(std::uint64_t ms, int maxMessages = 10000) {
        m_clock.Advance(ms);
        platform::WaitForGpsTmcCatchUp();
        ASSERT_TRUE(m_driver.RunUntilIdle(maxMessages));
    }

    static std::string ReadAll(int (GpsTmcAdapter::*read)(char*, int), GpsTmcAdapter& adapter) {
        std::string out;
        char buffer[100];
        int count = 0;
        while ((count = (adapter.*read)(buffer, sizeof buffer)) > 0) {
            out.append(buffer, static_cast<std::size_t>(count));
        }
        return out;
    }

    testdata::TempDeviceRoot m_root;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
};

TEST_F(ReceiverAdapter, DeliversStationsGroupsAndSentencesFromEndToEnd) {
    testdata::NmeaWriter nmea;
    std::vector<std::string> cycles;
    for (int second = 0; second < 3; ++second) {
        testdata::NmeaFixValues fix;
        fix.second = second;
        fix.longitude = 9.5 + second * 0.001;
        nmea.AddCycle(fix);
        cycles.push_back(testdata::NmeaWriter::Gga(fix) + testdata::NmeaWriter::Vtg(fix) +
                         testdata::NmeaWriter::Rmc(fix));
    }
    ASSERT_TRUE(m_root.WriteFile(u"\\gps\\track.nmea", nmea.Build()));
    testdata::RdsGroupFileWriter groups;
    groups.SetLowerCase(true).SetCrLf(true);
    groups.Add({0xD3C2, 0x8408, 0xC852, 0x2550}).Add({0x0001, 0x00AB, 0x0F00, 0x0000});
    ASSERT_TRUE(m_root.WriteFile(u"\\Windows\\tmc.txt", groups.Build()));
    const std::string queued[] = {"D3C28408C8522550\n", "000100AB0F000000\n"};

    ScenarioStation tmc = Station(880, 0xD3C2, "SWR3 TMC", 2);
    tmc.radiotext = "STAU AUF DER A8";
    tmc.alternativeFrequencies = {1017, 1042, 880, 1050};
    tmc.groups = "tmc.txt";
    testdata::ReceiverScenarioWriter writer;
    writer.SetReplay("\\gps\\track.nmea").SetTuner(100, 2000);
    writer.AddStation(tmc).AddStation(Station(1017, 0xD3C3, "OTHER", 2));
    writer.AddStation(Station(905, 0x1234, "NO TMC", 0));
    WriteScenario(writer);

    GpsTmcAdapter adapter;
    Listener listener(adapter);
    EXPECT_FALSE(adapter.Reopen()) << "before any Open";
    ASSERT_TRUE(adapter.Open(0, 38400, false, 0));
    ASSERT_TRUE(m_driver.RunUntilIdle());
    using Station = std::tuple<DWORD, DWORD, std::u16string>;
    EXPECT_EQ(listener.stations, std::vector<Station>{Station(880, 0xD3C2, u"Swr3 Tmc")});
    EXPECT_EQ(listener.radiotexts, std::vector<std::u16string>{u"Stau Auf Der A8"});
    EXPECT_EQ(listener.alternatives, (std::vector<std::vector<DWORD>>{{1017, 1042}}));
    EXPECT_EQ(adapter.ReadTunerFrequency(), 880u);

    // Eleven groups and one NMEA cycle a second, each read back whole and in order.
    std::size_t groupIndex = 0;
    for (std::size_t second = 0; second < 3; ++second) {
        SCOPED_TRACE(second);
        Step(1000);
        const std::string tmcText = ReadAll(&GpsTmcAdapter::ReadTmc, adapter);
        ASSERT_EQ(tmcText.size(), 11u * 17u);
        for (std::size_t line = 0; line < 11; ++line, ++groupIndex) {
            EXPECT_EQ(tmcText.substr(line * 17, 17), queued[groupIndex % 2]);
        }
        EXPECT_EQ(ReadAll(&GpsTmcAdapter::ReadNmea, adapter), cycles[second]);
    }
    EXPECT_EQ(adapter.GetCurrentFrequency(), 0u) << "the refresh answers by message";
    ASSERT_TRUE(m_driver.RunUntilIdle());
    EXPECT_EQ(adapter.ReadTunerFrequency(), 880u);

    // The open frequency follows the last station reported with TMC health 2.
    ASSERT_EQ(adapter.Tune(1, 1017), 0);
    Step(5000);
    ASSERT_EQ(adapter.Tune(1, 905), 0);
    Step(5000);
    EXPECT_EQ(std::get<0>(listener.stations.back()), 905u);
    (void)ReadAll(&GpsTmcAdapter::ReadNmea, adapter);

    adapter.Close();
    Step(10000);
    EXPECT_EQ(ReadAll(&GpsTmcAdapter::ReadTmc, adapter), "");
    EXPECT_EQ(ReadAll(&GpsTmcAdapter::ReadNmea, adapter), "");
    EXPECT_EQ(adapter.ReadTmc(nullptr, 0), 0) << "alive survives Close";
    EXPECT_EQ(adapter.Tune(1, 880), 0) << "closed";
    listener.stations.clear();
    ASSERT_TRUE(adapter.Reopen());
    ASSERT_TRUE(m_driver.RunUntilIdle());
    EXPECT_EQ(listener.stations, std::vector<Station>{Station(1017, 0xD3C3, u"Other")});
}

TEST_F(ReceiverAdapter, MissingLibraryOrEntryPointOrFailedInitLeavesItQuiet) {
    testdata::ReceiverScenarioWriter writer;
    writer.AddStation(Station(880, 1, "A", 2));
    WriteScenario(writer);
    const struct {
        const char* what;
        bool isModuleThere;
        const char16_t* hidden;
    } cases[] = {
        {"no library file", false, nullptr},
        {"no GpsTmc_GetRdsTime", true, u"GpsTmc_GetRdsTime"},
        {"no GpsTmc_Init", true, u"GpsTmc_Init"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::filesystem::path module = m_root.HostPathOf(u"\\Windows\\gpstmc.dll");
        if (!c.isModuleThere) {
            ASSERT_TRUE(std::filesystem::remove(module));
        }
        if (c.hidden != nullptr) {
            platform::HideEntryPoint(platform::kGpsTmcModuleName, c.hidden);
        }
        platform::ClearRecordedMessageBoxes();
        {
            GpsTmcAdapter adapter;
            EXPECT_FALSE(adapter.Open(0, 38400, true, 880));
            EXPECT_EQ(adapter.Tune(1, 880), 0);
            EXPECT_EQ(adapter.GetCurrentFrequency(), 0u);
            EXPECT_EQ(adapter.ReadTunerFrequency(), 0u);
            EXPECT_EQ(adapter.GetTmcHealth(), 0);
            EXPECT_EQ(adapter.GetRdsHealth(), 0);
            EXPECT_FALSE(adapter.Reopen());
            char buffer[8];
            EXPECT_EQ(adapter.ReadTmc(buffer, sizeof buffer), -1);
            EXPECT_EQ(adapter.ReadNmea(buffer, sizeof buffer), -1);
        }
        EXPECT_TRUE(platform::RecordedMessageBoxes().empty());
        EXPECT_EQ(platform::LoadedModuleCount(), 0u);
        platform::ResetHiddenEntryPoints();
        ASSERT_TRUE(m_root.InstallModule(platform::kGpsTmcModuleName));
    }

    // A failed start clears alive; a notification fires its signal and leaves alive alone.
    GpsTmcAdapter adapter;
    Listener listener(adapter);
    char buffer[8];
    ASSERT_TRUE(adapter.Open(0, 38400, false, 880));
    ASSERT_TRUE(m_driver.RunUntilIdle());
    EXPECT_EQ(adapter.ReadTmc(buffer, sizeof buffer), 0);
    ASSERT_TRUE(std::filesystem::remove(m_root.HostPathOf(u"\\Windows\\gpstmc.ini")));
    EXPECT_FALSE(adapter.Reopen());
    EXPECT_EQ(adapter.ReadTmc(buffer, sizeof buffer), -1);
    ASSERT_TRUE(PostMessageW(adapter.GetWindow(), platform::kGpsTmcNotification, 0, 0));
    ASSERT_TRUE(m_driver.RunUntilIdle());
    EXPECT_EQ(listener.notifications, 1);
    EXPECT_EQ(adapter.ReadNmea(buffer, sizeof buffer), -1) << "still not alive";
    ASSERT_TRUE(PostMessageW(adapter.GetWindow(), platform::kGpsTmcFrequencyChanged, 0, 0));
    ASSERT_TRUE(m_driver.RunUntilIdle());
    EXPECT_EQ(adapter.ReadNmea(buffer, sizeof buffer), 0) << "any other message marks alive";
}

TEST_F(ReceiverAdapter, SearchAndHealthFollowTheTuner) {
    ScenarioStation first = Station(900, 0x1111, "FIRST", 2);
    first.rdsHealth = 3;
    testdata::ReceiverScenarioWriter writer;
    writer.SetTuner(100, 2000).SetNotifyAfter(50).AddStation(first);
    WriteScenario(writer);
    GpsTmcAdapter adapter;
    Listener listener(adapter);
    ASSERT_TRUE(adapter.Open(0, 38400, false, 890));
    Step(50);
    EXPECT_EQ(listener.notifications, 1);
    EXPECT_EQ(adapter.GetRdsHealth(), 0) << "no station at 890";

    const struct {
        std::uint64_t step;
        std::size_t stations;
        int rds;
        int tmc;
    } timeline[] = {{0, 0, 0, 0}, {999, 0, 0, 0}, {1, 1, 3, 1}, {1999, 1, 3, 1}, {1, 1, 3, 2}};
    ASSERT_EQ(adapter.Tune(48, 0), 0);
    for (const auto& at : timeline) {
        SCOPED_TRACE(at.step);
        Step(at.step);
        EXPECT_EQ(listener.stations.size(), at.stations);
        EXPECT_EQ(adapter.GetRdsHealth(), at.rds);
        EXPECT_EQ(adapter.GetTmcHealth(), at.tmc);
    }
    using Station = std::tuple<DWORD, DWORD, std::u16string>;
    EXPECT_EQ(listener.stations.back(), Station(900, 0x1111, u"First"));
    ASSERT_EQ(adapter.Tune(48, 0), 0);
    Step(18000);
    EXPECT_EQ(listener.stations.back(), Station(1080, 0, u"")) << "the band's top";
    EXPECT_EQ(adapter.ReadTunerFrequency(), 1080u);
    EXPECT_EQ(adapter.GetTmcHealth(), 0);
}

TEST_F(ReceiverAdapter, CappedQueueKeepsWholeLines) {
    testdata::NmeaWriter nmea;
    nmea.AddCycle({});
    const std::string cycle = nmea.Build();
    ASSERT_TRUE(m_root.WriteFile(u"\\Windows\\track.nmea", cycle));
    testdata::ReceiverScenarioWriter writer;
    writer.SetReplay("track.nmea", 100);
    WriteScenario(writer);
    GpsTmcAdapter adapter;
    ASSERT_TRUE(adapter.Open(0, 38400, false, 880));
    Step(100000, 20000); // 10,000 cycles nobody reads

    std::vector<char> buffer(1 << 20);
    const int count = adapter.ReadNmea(buffer.data(), static_cast<int>(buffer.size()));
    EXPECT_LE(count, static_cast<int>(GpsTmcAdapter::kQueueCapBytes));
    EXPECT_GT(count, static_cast<int>(GpsTmcAdapter::kQueueCapBytes - cycle.size()));
    EXPECT_TRUE(
        IsWholeSentencesOf(std::string(buffer.data(), static_cast<std::size_t>(count)), cycle));

    // A reader in the middle of a sentence gets its rest, then whole sentences.
    Step(1000);
    ASSERT_EQ(adapter.ReadNmea(buffer.data(), 10), 10);
    std::string begun(buffer.data(), 10);
    Step(100000, 20000);
    const int rest = adapter.ReadNmea(buffer.data(), static_cast<int>(buffer.size()));
    ASSERT_GT(rest, 0);
    begun.append(buffer.data(), static_cast<std::size_t>(rest));
    EXPECT_LE(begun.size(), GpsTmcAdapter::kQueueCapBytes + 10);
    EXPECT_EQ(begun.rfind(testdata::NmeaWriter::Gga({}), 0), 0u);
    EXPECT_TRUE(IsWholeSentencesOf(begun, cycle));
}

TEST(ReceiverAdapterInstance, IsOneHiddenWindowPerProcess) {
    testdata::RunInFreshProcess([] {
        testdata::TempDeviceRoot root;
        const CountedPtr<GpsTmcAdapter> first = GpsTmcAdapter::Instance();
        const CountedPtr<GpsTmcAdapter> second = GpsTmcAdapter::Instance();
        ASSERT_TRUE(first);
        EXPECT_EQ(first.Get(), second.Get());
        WCHAR title[8] = {};
        EXPECT_EQ(GetWindowTextW(first->GetWindow(), title, 8), 3);
        EXPECT_EQ(std::u16string(title), u"GNS");
        EXPECT_FALSE(IsWindowVisible(first->GetWindow()));
        RECT rect{};
        ASSERT_TRUE(GetWindowRect(first->GetWindow(), &rect));
        EXPECT_EQ(rect.right - rect.left, 1);
        EXPECT_EQ(rect.bottom - rect.top, 1);
    });
}

} // namespace

TEST_F(ReceiverAdapter, ReadsCyclesFromASerialPort) {
    using namespace std::chrono_literals;
    testdata::PtyPort pty(3);
    ASSERT_TRUE(pty.IsOpen());
    WriteScenario(testdata::ReceiverScenarioWriter().SetTuner(100, 2000));
    GpsTmcAdapter adapter;
    ASSERT_TRUE(adapter.Open(3, 38400, false, 0));
    std::vector<std::string> cycles;
    for (int second = 0; second < 2; ++second) {
        testdata::NmeaFixValues fix;
        fix.second = second;
        cycles.push_back(testdata::NmeaWriter::Gga(fix) + testdata::NmeaWriter::Vtg(fix) +
                         testdata::NmeaWriter::Rmc(fix));
    }
    // A torn sentence and a cycle without RMC come first: neither is posted.
    ASSERT_TRUE(pty.Send("PGGA,torn*00\r\n" + cycles[0].substr(0, cycles[0].rfind("$GPRMC"))));
    for (const std::string& cycle : cycles) {
        SCOPED_TRACE(cycle);
        ASSERT_TRUE(pty.Send(cycle));
        std::string got;
        for (int i = 0; i < 200 && got.empty(); ++i) {
            std::this_thread::sleep_for(10ms);
            ASSERT_TRUE(m_driver.RunUntilIdle());
            got = ReadAll(&GpsTmcAdapter::ReadNmea, adapter);
        }
        EXPECT_EQ(got, cycle);
    }
    adapter.Close();
    EXPECT_FALSE(adapter.Open(4, 38400, false, 0)) << "COM4: is not mapped";
}
