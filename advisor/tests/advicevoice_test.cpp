// A scripted approach spoken end to end: the phrase builder's texts, made into advices and said
// through the voice output, play their samples in order on the recording sound sink.

#include "advisor/advice.h"
#include "advisor/spokenadvicebuilder.h"
#include "advisor/tests/phrasefixture.h"
#include "advisor/voiceoutput.h"
#include "testdata/advisorwriter.h"
#include "testdata/tempdir.h"
#include "testdata/wavewriter.h"

#include "platform/kernel/time.h"
#include "platform/sound/sound.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes SampleData(const Bytes& image) {
    const auto parsed = platform::ParseWaveImage(image);
    return parsed ? Bytes(parsed->data.begin(), parsed->data.end()) : Bytes();
}

AdviceRecord Junction(std::int32_t id, const std::u16string& name, std::int32_t stretch,
                      std::int32_t distance) {
    AdviceRecord record;
    record.distance = distance;
    record.SetText(name);
    record.junction.junctionId = id;
    record.junction.manoeuvre.Set(u"T_Street");
    record.junction.roadClass.Set(u"Bc");
    record.junction.stretchLength = stretch;
    return record;
}

TEST(SpokenApproach, PlaysTheSamplesOfEachAnnouncementInOrder) {
    const AdvisorTablesPtr tables = phrasefixture::LoadTables();
    ASSERT_TRUE(tables);
    SpokenAdviceBuilder builder;
    builder.SetTables(tables);

    // Every sample the approach needs, each a tone of its own pitch.
    const std::vector<std::string> keys = {
        "In",   "Metres200", "Turn", "ThenImmediately", "TakeExit", "3",
        "Onto", "B",         "20",   "7 geschlossen",   "Now"};
    std::vector<std::pair<std::string, Bytes>> samples;
    std::map<std::string, Bytes> played;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const Bytes image =
            testdata::WaveWriter().SetTone(300 + 40 * static_cast<std::uint32_t>(i), 5).Build();
        samples.emplace_back(keys[i], image);
        played[keys[i]] = SampleData(image);
    }
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
    ASSERT_TRUE(root.WriteFile(u"\\sound\\" + testdata::VoiceArchiveName(u"german"),
                               testdata::BuildVoiceArchive(samples)));
    platform::VirtualClock clock;
    clock.SetSleepAdvancesClock(true);
    platform::ScopedClock installed(clock);
    platform::ClearRecordedSounds();
    const six::RefCntPtr<IVoiceOutput> voice = CreateVoiceOutput();
    ASSERT_TRUE(voice && voice->Init(u"\\sound", u"german"));

    // A stretch shorter than the second announcement point, and an exit soon after the turn.
    AdviceRecord exit = Junction(2, u"Exit", 600, 150);
    exit.junction.targetRoadNumber.Set(u"B 27");
    exit.junction.exitNumber = 3;
    std::vector<std::u16string> spoken;
    for (const std::int32_t distance : {260, 240, 180, 90, 40}) {
        AdviceList records;
        records.Append(Junction(1, u"Turn", 250, distance));
        records.Append(exit);
        ASSERT_EQ(builder.BuildAdvice(records, 0), 1);
        const AdvicePtr advice = MakeAdvice(records, builder.GetPhraseTable());
        const AdviceValuePtr value = advice ? advice->Current() : nullptr;
        ASSERT_TRUE(value);
        const std::u16string text = value->GetSpeechText();
        if (!text.empty()) {
            spoken.push_back(text);
            EXPECT_TRUE(voice->Say(text));
        }
    }
    EXPECT_TRUE(voice->Shutdown()); // plays what is queued
    EXPECT_EQ(spoken, (std::vector<std::u16string>{
                          u"[In] [Metres200] [Turn] [ThenImmediately] [TakeExit] [3] [Onto] "
                          u"[B][20][7 geschlossen]",
                          u"[Now] [Turn]"}));
    std::vector<Bytes> expected;
    for (const char* key : {"In", "Metres200", "Turn", "ThenImmediately", "TakeExit", "3", "Onto",
                            "B", "20", "7 geschlossen", "Now", "Turn"}) {
        expected.push_back(played.at(key));
    }
    std::vector<Bytes> actual;
    for (const platform::PlayedSound& sound : platform::RecordedSounds()) {
        actual.push_back(sound.data);
    }
    EXPECT_EQ(actual.size(), expected.size());
    EXPECT_TRUE(actual == expected);
}

} // namespace
