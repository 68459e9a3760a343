#include "testdata/receiverscenariowriter.h"

#include "platform/receiver/inireader.h"
#include "platform/receiver/scenario.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(IniReader, ReadsSectionsAndKeysAndRefusesStrayLines) {
    const platform::IniDocument document = platform::ParseIni(
        "orphan=1\r\n; comment\n# comment\n\n [Gps] \r\nReplay = a b \r\nreplay=second\n"
        "[broken\nno equals sign\n=novalue\n[Station 880]\nName=\nPi=D3C2");
    const struct {
        const char* section;
        const char* key;
        const char* value; // null: absent
    } cases[] = {
        {"Gps", "Replay", "a b"},    {"gps", "REPLAY", "a b"},   {"Station 880", "Pi", "D3C2"},
        {"Station 880", "Name", ""}, {"Gps", "orphan", nullptr}, {"Tuner", "Replay", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        const std::optional<std::string> value = document.Find(c.section, c.key);
        ASSERT_EQ(value.has_value(), c.value != nullptr);
        if (value) {
            EXPECT_EQ(*value, c.value);
        }
    }
    EXPECT_EQ(document.sections.size(), 2u);
    EXPECT_EQ(document.refusedLines, 4u) << "orphan, [broken, no equals sign, =novalue";
}

TEST(ReceiverScenario, ReadsWhatTheWriterWritesAndNamesTheBadKey) {
    testdata::ScenarioStation station;
    station.frequency = 1017;
    station.programmeId = 0xD3C2;
    station.name = "Caf\xE9";
    station.radiotext = "Stau";
    station.alternativeFrequencies = {880, 1042};
    station.rdsHealth = 3;
    station.tmcHealth = 2;
    station.groups = "\\g.txt";
    station.groupsPerSecond = 5;
    testdata::ScenarioStation low;
    low.frequency = 875;
    testdata::ReceiverScenarioWriter writer;
    writer.SetReplay("\\t.nmea", 4).SetTuner(50, 700).SetNotifyAfter(9).AddStation(station);
    writer.AddStation(low);

    std::string problem;
    const std::optional<platform::ReceiverScenario> scenario =
        platform::ParseReceiverScenario(writer.Build(), &problem);
    ASSERT_TRUE(scenario.has_value()) << problem;
    EXPECT_EQ(scenario->replayPath, u"\\t.nmea");
    EXPECT_EQ(scenario->cyclesPerSecond, 4u);
    EXPECT_EQ(scenario->searchStepMs, 50u);
    EXPECT_EQ(scenario->acquireMs, 700u);
    EXPECT_EQ(scenario->notifyAfterMs, std::optional<DWORD>(9));
    ASSERT_EQ(scenario->stations.size(), 2u);
    EXPECT_EQ(scenario->stations[0].frequency, 875u) << "in frequency order";
    const platform::ReceiverStation* read = scenario->StationAt(1017);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->programmeId, 0xD3C2u);
    EXPECT_EQ(read->name, u"Caf\u00E9");
    EXPECT_EQ(read->radiotext, u"Stau");
    EXPECT_EQ(read->alternativeFrequencies, (std::vector<DWORD>{880, 1042}));
    EXPECT_EQ(read->rdsHealth, 3);
    EXPECT_EQ(read->tmcHealth, 2);
    EXPECT_EQ(read->groupsPath, u"\\g.txt");
    EXPECT_EQ(read->groupsPerSecond, 5u);

    const platform::ReceiverScenario defaults =
        platform::ParseReceiverScenario("", &problem).value();
    EXPECT_EQ(defaults.cyclesPerSecond, 1u);
    EXPECT_EQ(defaults.searchStepMs, 100u);
    EXPECT_EQ(defaults.acquireMs, 2000u);
    EXPECT_FALSE(defaults.notifyAfterMs.has_value());

    using Fault = testdata::ReceiverScenarioFault;
    const struct {
        std::string text;
        const char* named;
    } bad[] = {
        {writer.Build(Fault::BadNumber), "[Gps] CyclesPerSecond"},
        {writer.Build(Fault::StationOutOfBand), "[Station 1090]"},
        {writer.Build(Fault::DuplicateStation), "[Station 1017]"},
        {"[Tuner]\nSearchStepMs=0\n", "[Tuner] SearchStepMs"},
        {"[Station 900]\nPi=10000\n", "[Station 900] Pi"},
        {"[Station 900]\nAf=1017,,1042\n", "[Station 900] Af"},
        {"[Station 900]\nGroupsPerSecond=-1\n", "[Station 900] GroupsPerSecond"},
        {"[Station x]\n", "[Station x]"},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.named);
        problem.clear();
        EXPECT_FALSE(platform::ParseReceiverScenario(c.text, &problem).has_value());
        EXPECT_EQ(problem.rfind(c.named, 0), 0u) << problem;
    }
}

} // namespace
