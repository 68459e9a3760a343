#include "testdata/nmeawriter.h"
#include "testdata/rdsgroupfilewriter.h"
#include "testdata/receiverscenariowriter.h"
#include "testdata/tempdir.h"

#include "platform/files/modules.h"
#include "platform/kernel/time.h"
#include "platform/receiver/gpstmc.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using testdata::ScenarioStation;

struct Entries {
    platform::GpsTmcInitFunction init = nullptr;
    platform::GpsTmcUninitFunction uninit = nullptr;
    platform::GpsTmcControlTunerFunction control = nullptr;
    platform::GpsTmcGetTunerFrequencyFunction frequency = nullptr;
    platform::GpsTmcGetRdsStationFunction station = nullptr;
    platform::GpsTmcGetRdsAfFunction alternatives = nullptr;
    platform::GpsTmcGetRadiotextFunction radiotext = nullptr;
    platform::GpsTmcReadRawFunction gga = nullptr;
};

template <class Function> Function Resolve(HMODULE module, LPCWSTR name) {
    return reinterpret_cast<Function>(GetProcAddressW(module, name));
}

class GpsTmcLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.lpszClassName = u"GpsTmcProbe";
        (void)RegisterClassW(&windowClass);
        m_window = CreateWindowExW(0, u"GpsTmcProbe", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                   nullptr);
        ASSERT_NE(m_window, nullptr);
        ASSERT_TRUE(m_root.InstallModule(platform::kGpsTmcModuleName));
        m_module = LoadLibraryW(platform::kGpsTmcModuleName);
        ASSERT_NE(m_module, nullptr);
        m_entries.init = Resolve<platform::GpsTmcInitFunction>(m_module, u"GpsTmc_Init");
        m_entries.uninit = Resolve<platform::GpsTmcUninitFunction>(m_module, u"GpsTmc_Uninit");
        m_entries.control =
            Resolve<platform::GpsTmcControlTunerFunction>(m_module, u"GpsTmc_ControlTuner");
        m_entries.frequency = Resolve<platform::GpsTmcGetTunerFrequencyFunction>(
            m_module, u"GpsTmc_GetTunerFrequency");
        m_entries.station =
            Resolve<platform::GpsTmcGetRdsStationFunction>(m_module, u"GpsTmc_GetRdsStation");
        m_entries.alternatives =
            Resolve<platform::GpsTmcGetRdsAfFunction>(m_module, u"GpsTmc_GetRdsAF");
        m_entries.radiotext =
            Resolve<platform::GpsTmcGetRadiotextFunction>(m_module, u"GpsTmc_GetRadiotext");
        m_entries.gga = Resolve<platform::GpsTmcReadRawFunction>(m_module, u"GpsTmc_ReadRawGGA");
        ASSERT_NE(m_entries.gga, nullptr);
    }

    void TearDown() override {
        if (m_entries.uninit != nullptr) {
            m_entries.uninit();
        }
        (void)FreeLibrary(m_module);
        DestroyWindow(m_window);
    }

    int Open(const std::string& scenario, DWORD port = 0) {
        EXPECT_TRUE(m_root.WriteFile(u"\\Windows\\gpstmc.ini", scenario));
        return m_entries.init(m_window, port, 38400, 0x32F00);
    }

    // Moves the clock, lets the library catch up and takes what it posted.
    std::vector<MSG> Step(std::uint64_t ms) {
        m_clock.Advance(ms);
        platform::WaitForGpsTmcCatchUp();
        return Take();
    }

    std::vector<MSG> Take() {
        std::vector<MSG> messages;
        MSG msg{};
        while (PeekMessageW(&msg, m_window, 0, 0, PM_REMOVE) != FALSE) {
            messages.push_back(msg);
        }
        return messages;
    }

    static std::vector<UINT> Numbers(const std::vector<MSG>& messages) {
        std::vector<UINT> numbers;
        for (const MSG& msg : messages) {
            numbers.push_back(msg.message);
        }
        return numbers;
    }

    static std::size_t CountOf(const std::vector<MSG>& messages, UINT number) {
        return static_cast<std::size_t>(
            std::count_if(messages.begin(), messages.end(),
                          [number](const MSG& msg) { return msg.message == number; }));
    }

    DWORD Frequency() const {
        DWORD frequency = 0;
        m_entries.frequency(&frequency);
        return frequency;
    }

    testdata::TempDeviceRoot m_root;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    HWND m_window = nullptr;
    HMODULE m_module = nullptr;
    Entries m_entries;
};

DWORD Pair(std::uint16_t low, std::uint16_t high) {
    return static_cast<DWORD>(low) | static_cast<DWORD>(high) << 16;
}

ScenarioStation Station(unsigned frequency, unsigned programmeId, std::string name) {
    ScenarioStation station;
    station.frequency = frequency;
    station.programmeId = programmeId;
    station.name = std::move(name);
    return station;
}

TEST_F(GpsTmcLibrary, InitRefusesWhatItCannotSimulate) {
    using Fault = testdata::ReceiverScenarioFault;
    testdata::ReceiverScenarioWriter writer;
    writer.AddStation(Station(880, 0xD3C2, "TMC"));
    ScenarioStation missingGroups = Station(900, 1, "G");
    missingGroups.groups = "\\nowhere.txt";
    testdata::ReceiverScenarioWriter withMissingGroups;
    withMissingGroups.AddStation(missingGroups);
    // A station without groups is one an empty file gives; a FIFO is never read, not even as an
    // empty file.
    const auto withGroups = [](const char* file) {
        ScenarioStation station = Station(900, 1, "G");
        station.groups = file;
        return testdata::ReceiverScenarioWriter().AddStation(station).Build();
    };
    ASSERT_TRUE(m_root.WriteFile(u"\\empty.txt", ""));
    ASSERT_EQ(::mkfifo(m_root.HostPathOf(u"\\groups.fifo").c_str(), 0600), 0);
    const struct {
        const char* what;
        std::string scenario;
        DWORD port;
        platform::GpsTmcInitResult result;
    } cases[] = {
        {"complete", writer.Build(), 0, platform::GpsTmcInitResult::Success},
        {"logging bit", writer.Build(), 0x20, platform::GpsTmcInitResult::Success},
        {"serial port", writer.Build(), 1, platform::GpsTmcInitResult::PortNotSupported},
        {"bad number", writer.Build(Fault::BadNumber), 0, platform::GpsTmcInitResult::BadScenario},
        {"out of band", writer.Build(Fault::StationOutOfBand), 0,
         platform::GpsTmcInitResult::BadScenario},
        {"twice", writer.Build(Fault::DuplicateStation), 0,
         platform::GpsTmcInitResult::BadScenario},
        {"group file missing", withMissingGroups.Build(), 0,
         platform::GpsTmcInitResult::NoScenario},
        {"group file empty", withGroups("\\empty.txt"), 0, platform::GpsTmcInitResult::Success},
        {"group file a FIFO", withGroups("\\groups.fifo"), 0,
         platform::GpsTmcInitResult::NoScenario},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Open(c.scenario, c.port), static_cast<int>(c.result));
        m_entries.uninit();
    }
    EXPECT_EQ(m_entries.init(nullptr, 0, 38400, 0x32F00),
              static_cast<int>(platform::GpsTmcInitResult::NoWindow));
    ASSERT_TRUE(std::filesystem::remove(m_root.HostPathOf(u"\\Windows\\gpstmc.ini")));
    EXPECT_EQ(m_entries.init(m_window, 0, 38400, 0x32F00),
              static_cast<int>(platform::GpsTmcInitResult::NoScenario));
    EXPECT_EQ(m_entries.control(platform::kTunerTune, 880), -1) << "not open";
}

TEST_F(GpsTmcLibrary, TuningReportsTheStationAndPostsItsGroupsInTurn) {
    const testdata::RdsGroupFileWriter::Group groups[] = {
        {0xD3C2, 0x8408, 0xC852, 0x2550}, {0x0001, 0x0002, 0x0003, 0x0004}, {0xFFFF, 0, 0xA, 0xB}};
    testdata::RdsGroupFileWriter groupFile;
    for (const auto& group : groups) {
        groupFile.Add(group);
    }
    ASSERT_TRUE(m_root.WriteFile(u"\\Windows\\groups.txt", groupFile.Build()));
    ScenarioStation full = Station(880, 0xD3C2, "SWR3");
    full.radiotext = "News";
    full.alternativeFrequencies = {1017, 1042};
    full.groups = "groups.txt"; // beside the scenario
    full.groupsPerSecond = 10;
    testdata::ReceiverScenarioWriter writer;
    writer.AddStation(full).AddStation(Station(905, 0x1234, "Plain"));
    ASSERT_EQ(Open(writer.Build()), 0);

    const struct {
        int frequency;
        std::vector<UINT> posted;
        DWORD programmeId;
        std::u16string name;
    } tunes[] = {
        {880, {0x9001, 0x9023, 0x9024, 0x9020}, 0xD3C2, u"SWR3"},
        {905, {0x9001, 0x9023}, 0x1234, u"Plain"},
        {900, {0x9001}, 0, u""},
        {880, {0x9001, 0x9023, 0x9024, 0x9020}, 0xD3C2, u"SWR3"},
    };
    for (const auto& tune : tunes) {
        SCOPED_TRACE(tune.frequency);
        ASSERT_EQ(m_entries.control(platform::kTunerTune, tune.frequency), 0);
        EXPECT_EQ(Numbers(Take()), tune.posted);
        EXPECT_EQ(Frequency(), static_cast<DWORD>(tune.frequency));
        DWORD programmeId = 99;
        WCHAR name[9] = {u'x'};
        m_entries.station(&programmeId, name);
        EXPECT_EQ(programmeId, tune.programmeId);
        EXPECT_EQ(std::u16string(name), tune.name);
    }
    // Ten groups a second from the tune on, the file repeated; the station every 5 s.
    const std::vector<MSG> first = Step(300);
    ASSERT_EQ(Numbers(first), (std::vector<UINT>{0x9018, 0x9018, 0x9018}));
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(first[i].wParam, static_cast<WPARAM>(Pair(groups[i][0], groups[i][1])));
        EXPECT_EQ(first[i].lParam, static_cast<LPARAM>(Pair(groups[i][2], groups[i][3])));
    }
    const std::vector<MSG> later = Step(4700);
    EXPECT_EQ(CountOf(later, 0x9018), 47u);
    EXPECT_EQ(CountOf(later, 0x9023), 1u);
    EXPECT_EQ(later[0].wParam, first[0].wParam) << "group 4 is the file's first again";
    EXPECT_EQ(Numbers(Step(4999)), std::vector<UINT>(49, 0x9018)) << "no station report yet";
    EXPECT_EQ(CountOf(Step(1), 0x9023), 1u);
    EXPECT_EQ(m_entries.control(7, 0), -1) << "unknown command";
    EXPECT_EQ(m_entries.control(platform::kTunerTune, 1081), -1);
    EXPECT_EQ(m_entries.control(platform::kTunerRefresh, 0), 0);
    EXPECT_EQ(Numbers(Take()), std::vector<UINT>{0x9001});
}

TEST_F(GpsTmcLibrary, WritesStayWithinTheCallersBuffers) {
    ScenarioStation station = Station(880, 1, "ABCDEFGHIJK");
    station.radiotext = std::string(70, 'r');
    for (unsigned i = 0; i < 30; ++i) {
        station.alternativeFrequencies.push_back(900 + i);
    }
    testdata::NmeaWriter nmea;
    nmea.AddCycle({});
    ASSERT_TRUE(m_root.WriteFile(u"\\Windows\\track.nmea", nmea.Build()));
    testdata::ReceiverScenarioWriter writer;
    writer.SetReplay("track.nmea").AddStation(station);
    ASSERT_EQ(Open(writer.Build()), 0);
    ASSERT_EQ(m_entries.control(platform::kTunerTune, 880), 0);
    (void)Step(1000);

    constexpr WCHAR kMark = 0xAAAA;
    std::vector<WCHAR> name(12, kMark);
    DWORD programmeId = 0;
    m_entries.station(&programmeId, name.data());
    EXPECT_EQ(std::u16string(name.data()), u"ABCDEFGH");
    EXPECT_EQ(name[9], kMark);
    std::vector<WCHAR> text(70, kMark);
    m_entries.radiotext(text.data());
    EXPECT_EQ(std::u16string(text.data()), std::u16string(64, u'r'));
    EXPECT_EQ(text[65], kMark);
    std::vector<DWORD> frequencies(32, 0xAAAAAAAA);
    m_entries.alternatives(frequencies.data());
    EXPECT_EQ(frequencies[24], 924u);
    EXPECT_EQ(frequencies[25], 0u) << "25 entries and the terminator";
    EXPECT_EQ(frequencies[26], 0xAAAAAAAA);
    std::string sentence(16, '#');
    EXPECT_EQ(m_entries.gga(sentence.data(), 10), 9);
    EXPECT_EQ(sentence.substr(0, 11), std::string("$GPGGA,12\0#", 11));
    EXPECT_EQ(m_entries.gga(sentence.data(), 0), 0);
}

TEST_F(GpsTmcLibrary, PostsEachNmeaCycleWithItsSentencesAndOneNotification) {
    testdata::NmeaFixValues first;
    testdata::NmeaFixValues second;
    second.second = 1;
    second.latitude = -33.5;
    testdata::NmeaWriter nmea;
    nmea.AddCycle(first).AddCycle(second);
    ASSERT_TRUE(m_root.WriteFile(u"\\gps\\track.nmea", nmea.Build()));
    testdata::ReceiverScenarioWriter writer;
    writer.SetReplay("\\gps\\track.nmea", 2).SetNotifyAfter(700);
    ASSERT_EQ(Open(writer.Build()), 0);
    const struct {
        std::uint64_t step;
        std::vector<UINT> posted;
        const testdata::NmeaFixValues* latest;
    } timeline[] = {
        {499, {}, nullptr},      {1, {0x9030}, &first},
        {300, {0x9002}, &first}, {200, {0x9030}, &second},
        {500, {0x9030}, &first}, {10000, std::vector<UINT>(20, 0x9030), &first},
    };
    for (const auto& at : timeline) {
        EXPECT_EQ(Numbers(Step(at.step)), at.posted);
        if (at.latest != nullptr) {
            char buffer[255] = {};
            EXPECT_GT(m_entries.gga(buffer, sizeof buffer), 0);
            EXPECT_EQ(std::string(buffer), testdata::NmeaWriter::Gga(*at.latest));
        }
    }
    m_entries.uninit();
    EXPECT_TRUE(Step(5000).empty()) << "nothing after Uninit";
    platform::WaitForGpsTmcCatchUp(); // returns at once when closed
}

// A restart on the same replay goes on with the cycle after the last one posted (the car does
// not move back); a replay written anew with other cycles begins at its start.
TEST_F(GpsTmcLibrary, ARestartGoesOnWithTheSameReplayAndBeginsAnotherOne) {
    const auto fix = [](double latitude, int cycle) {
        testdata::NmeaFixValues values;
        values.second = cycle;
        values.latitude = latitude + cycle * 0.001;
        return values;
    };
    const auto track = [&fix](double latitude) {
        testdata::NmeaWriter nmea;
        for (int cycle = 0; cycle < 4; ++cycle) {
            nmea.AddCycle(fix(latitude, cycle));
        }
        return nmea.Build();
    };
    const struct {
        const char* name;
        double before;
        double after;
        int next;
    } cases[] = {{"the same replay", 47.1, 47.1, 2}, {"another replay", 46.1, 45.1, 0}};
    testdata::ReceiverScenarioWriter writer;
    writer.SetReplay("restart.nmea");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(m_root.WriteFile(u"\\Windows\\restart.nmea", track(c.before)));
        ASSERT_EQ(Open(writer.Build()), 0);
        EXPECT_EQ(CountOf(Step(2000), 0x9030), 2u);
        m_entries.uninit();
        ASSERT_TRUE(m_root.WriteFile(u"\\Windows\\restart.nmea", track(c.after)));
        ASSERT_EQ(Open(writer.Build()), 0);
        EXPECT_EQ(CountOf(Step(1000), 0x9030), 1u);
        char buffer[255] = {};
        EXPECT_GT(m_entries.gga(buffer, sizeof buffer), 0);
        EXPECT_EQ(std::string(buffer), testdata::NmeaWriter::Gga(fix(c.after, c.next)));
    }
}

} // namespace
