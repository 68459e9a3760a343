// Simulated drives along the junction scenarios: the advice at each position, the announcements
// at their distances, and the samples they play.
#include "advisor/tests/advisorfixture.h"
#include "advisor/voiceoutput.h"
#include "testdata/advisorwriter.h"
#include "testdata/wavewriter.h"

#include "platform/kernel/time.h"
#include "platform/sound/sound.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using advisortest::Drive;
using advisortest::ReadSource;
using advisortest::Said;
using advisortest::WriteAdvisorData;

// Our destination phrases with closer announcement points at the T junction, so that its
// 75 m approach holds all three.
std::string NearTStreetPoints() {
    return "SOD.T_Street.Sc.d1;70;70\r\nSOD.T_Street.Sc.d2;40;40\r\nSOD.T_Street.Sc.d3;15;15\r\n" +
           ReadSource("SOD.csv");
}

TEST(AdvisorDrive, AnnouncesEachPointOnceAndArrives) {
    const auto run = junctiontest::RunScenario(testdata::TJunctionScenario());
    ASSERT_TRUE(run);
    AdvisorPtr advisor;
    CreateAdvisorFacade(advisor, run->engine, run->result,
                        WriteAdvisorData({{"SOD.csv", NearTStreetPoints()}}), {});
    ASSERT_TRUE(advisor);
    std::size_t positions = 0;
    std::size_t nulls = 0;
    const std::vector<Said> said = Drive(*advisor, run->result.route, positions, nulls);
    EXPECT_EQ(nulls, 0u);
    ASSERT_EQ(said.size(), positions);
    std::vector<std::pair<std::int32_t, std::u16string>> spoken;
    for (const Said& s : said) {
        if (!s.text.empty()) {
            spoken.emplace_back(s.distance, s.text);
        }
    }
    // The turn: 75 m before it beyond d1 (37), then A1, A2a and A3 once each; the destination,
    // 74 m after it: the short stretch, then the arrival (31).
    EXPECT_EQ(said.front().kind, 37);
    EXPECT_EQ(said.back().kind, 31);
    ASSERT_EQ(spoken.size(), 5u);
    EXPECT_EQ(spoken[0].first, 65);
    EXPECT_EQ(spoken[1].first, 35);
    EXPECT_EQ(spoken[2].first, 15);
    EXPECT_NE(spoken[0].second, spoken[1].second);
    EXPECT_NE(spoken[2].second.find(u"[Now]"), std::u16string::npos);
    EXPECT_NE(spoken[4].second.find(u"DestinationReached"), std::u16string::npos);
    // Only the arrival carries the mark the guidance page cuts the text at and reports by.
    for (std::size_t i = 0; i < spoken.size(); ++i) {
        EXPECT_EQ(spoken[i].second.ends_with(u" @"), i == 4) << i;
    }

    // Said through the voice output, the texts play their samples key by key, in order.
    using Bytes = std::vector<std::uint8_t>;
    std::vector<std::pair<std::string, Bytes>> archive;
    std::map<std::u16string, Bytes> tones; // each sample name a tone of its own pitch
    std::vector<Bytes> expected;
    for (const auto& [distance, text] : spoken) {
        for (const std::u16string& name : SplitPhraseKeys(text)) {
            if (tones.count(name) == 0) {
                const Bytes image =
                    testdata::WaveWriter()
                        .SetTone(300 + 40 * static_cast<std::uint32_t>(tones.size()), 5)
                        .Build();
                const auto parsed = platform::ParseWaveImage(image);
                ASSERT_TRUE(parsed);
                tones[name] = Bytes(parsed->data.begin(), parsed->data.end());
                archive.emplace_back(std::string(name.begin(), name.end() - 4), image);
            }
            expected.push_back(tones[name]);
        }
    }
    ASSERT_TRUE(
        junctiontest::ScenarioRoot().WriteFile(u"\\sound\\" + testdata::VoiceArchiveName(u"german"),
                                               testdata::BuildVoiceArchive(archive)));
    platform::VirtualClock clock;
    clock.SetSleepAdvancesClock(true);
    const platform::ScopedClock installed(clock);
    platform::ClearRecordedSounds();
    const six::RefCntPtr<IVoiceOutput> voice = CreateVoiceOutput();
    ASSERT_TRUE(voice && voice->Init(u"\\sound", u"german"));
    for (const auto& [distance, text] : spoken) {
        EXPECT_TRUE(voice->Say(text));
    }
    EXPECT_TRUE(voice->Shutdown());
    std::vector<Bytes> played;
    for (const platform::PlayedSound& sound : platform::RecordedSounds()) {
        played.push_back(sound.data);
    }
    EXPECT_EQ(played.size(), expected.size());
    EXPECT_TRUE(played == expected);
}

// A destination that is a street: the turn into it is already the destination, and the street's
// further items are destination junctions too. What is said up to the arrival names the
// destination once per text and joins nothing after it.
TEST(AdvisorDrive, DestinationStreetIsAnnouncedWithoutAManoeuvreAfterIt) {
    testdata::JunctionScenario goingOn = testdata::TJunctionScenario();
    goingOn.nodes['F'] = testdata::PolarPoint(goingOn.nodes['E'], 0, 1000.0);
    testdata::ScenarioRoad further = goingOn.roads[1]; // Cross Street on from 'E' to 'F'
    further.nodes = "EF";
    goingOn.roads.push_back(further);
    goingOn.route = "SJEF";
    const struct {
        const char* name;
        testdata::JunctionScenario scenario;
        std::string destinationLink;
    } cases[] = {{"destination on the street turned into", testdata::TJunctionScenario(), "JE"},
                 {"destination one link along the street", goingOn, "EF"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto run = junctiontest::RunScenario(c.scenario);
        ASSERT_TRUE(run);
        RouteRequestResult route = run->result;
        route.destination = std::make_shared<junctiontest::DestinationOn>(
            RoutePosition::kAddress, run->written.Element(c.destinationLink));
        AdvisorPtr advisor;
        CreateAdvisorFacade(advisor, run->engine, route, WriteAdvisorData(), {});
        ASSERT_TRUE(advisor);
        std::size_t positions = 0;
        std::size_t nulls = 0;
        std::vector<std::u16string> spoken; // up to the arrival, after which guidance ends
        for (const Said& s : Drive(*advisor, route.route, positions, nulls)) {
            if (!s.text.empty() && (spoken.empty() || !spoken.back().ends_with(u"@"))) {
                spoken.push_back(s.text);
            }
        }
        EXPECT_EQ(spoken, (std::vector<std::u16string>{u"[In] [Metres70] [DestinationReached]",
                                                       u"[Now] [DestinationReached] @"}));
    }
}

TEST(AdvisorDrive, StaticTextsInModeThreeForEveryStretch) {
    const auto run = junctiontest::RunScenario(testdata::InterchangeScenario());
    ASSERT_TRUE(run);
    Advisor advisor = advisortest::MakeAdvisor(
        *run,
        WriteAdvisorData(
            {{"General.properties", advisortest::GeneralWithCrossings("Crossings;2")}}),
        {3, 0, 0});
    AdvicePtr advice;
    ASSERT_TRUE(advisor.AnalyseRoute(advice)); // the second stretch: the destination
    const auto& records = advisor.GetAdviceList().Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].text, u"[MotorwayRight]");
    EXPECT_EQ(records[1].text, u"[MotorwayLeft]");
    EXPECT_EQ(records[2].text, u"[DestinationReached]");
}

TEST(AdvisorDrive, AdvicesOfOneAdvisorStayWhileOthersLoadOtherColumns) {
    const auto run = junctiontest::RunScenario(testdata::TJunctionScenario());
    ASSERT_TRUE(run);
    const std::u16string folder = WriteAdvisorData();
    AdvisorPtr first;
    CreateAdvisorFacade(first, run->engine, run->result, folder, {0, 0, 0});
    ASSERT_TRUE(first);
    AdvicePtr advice;
    ASSERT_TRUE(first->AnalyseRoute(advice));
    const std::u16string expected = advice->Current()->GetSpeechText();
    std::thread reader([advice, &expected] {
        for (int i = 0; i < 200; ++i) {
            const AdvicePtr copy = advice->Clone();
            EXPECT_EQ(copy->Current()->GetSpeechText(), expected);
        }
    });
    // Without element source: the engine is not shared between threads.
    std::thread other([&run, &folder] {
        AdvisorPtr miles;
        CreateAdvisorFacade(miles, nullptr, run->result, folder, {0, 1, 1});
        EXPECT_TRUE(miles);
    });
    AdvisorPtr second;
    CreateAdvisorFacade(second, nullptr, run->result, folder, {0, 2, 0});
    EXPECT_TRUE(second);
    other.join();
    reader.join();
}

} // namespace
