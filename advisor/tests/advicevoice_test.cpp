// A scripted approach spoken end to end: the phrase builder's texts, made into advices and said
// through the voice output, play their samples in order on the recording sound sink.

#include "advisor/advice.h"
#include "advisor/tests/phrasefixture.h"
#include "advisor/voiceoutput.h"
#include "testdata/wavewriter.h"

#include "platform/kernel/time.h"
#include "platform/sound/sound.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

AdviceRecord Junction(std::int32_t id, const std::u16string& name, std::int32_t distance) {
    AdviceRecord record;
    record.distance = distance;
    record.SetText(name);
    record.junction.junctionId = id;
    record.junction.manoeuvre.Set(u"T_Street");
    record.junction.roadClass.Set(u"Bc");
    record.junction.stretchLength = 250; // shorter than the second announcement point
    return record;
}

TEST(SpokenApproach, PlaysTheSamplesOfEachAnnouncementInOrder) {
    SpokenAdviceBuilder builder;
    builder.SetTables(phrasefixture::LoadTables());
    // The short-stretch announcement joined to the exit soon after it, then the last one.
    const std::vector<std::string> order = {
        "In",   "Metres200", "Turn", "ThenImmediately", "TakeExit", "3",
        "Onto", "B",         "20",   "7 geschlossen",   "Now",      "Turn"};
    std::vector<std::pair<std::string, Bytes>> samples;
    std::map<std::string, Bytes> data; // each key a tone of its own pitch
    for (const std::string& key : order) {
        if (data.count(key) == 0) {
            const Bytes image = testdata::WaveWriter()
                                    .SetTone(300 + 40 * static_cast<std::uint32_t>(data.size()), 5)
                                    .Build();
            const auto parsed = platform::ParseWaveImage(image);
            ASSERT_TRUE(parsed);
            data[key] = Bytes(parsed->data.begin(), parsed->data.end());
            samples.emplace_back(key, image);
        }
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

    AdviceRecord exit = Junction(2, u"Exit", 150);
    exit.junction.targetRoadNumber.Set(u"B 27");
    exit.junction.exitNumber = 3;
    for (const std::int32_t distance : {260, 240, 180, 90, 40}) {
        AdviceList records;
        records.Append(Junction(1, u"Turn", distance));
        records.Append(exit);
        ASSERT_EQ(builder.BuildAdvice(records, 0), 1);
        const AdviceValuePtr value = MakeAdvice(records, builder.GetPhraseTable())->Current();
        ASSERT_TRUE(value);
        if (*value->GetSpeechText() != u'\0') {
            EXPECT_TRUE(voice->Say(value->GetSpeechText()));
        }
    }
    EXPECT_TRUE(voice->Shutdown()); // plays what is queued
    std::vector<Bytes> expected;
    for (const std::string& key : order) {
        expected.push_back(data.at(key));
    }
    std::vector<Bytes> played;
    played.reserve(expected.size());
    for (const platform::PlayedSound& sound : platform::RecordedSounds()) {
        played.push_back(sound.data);
    }
    EXPECT_EQ(played.size(), expected.size());
    EXPECT_TRUE(played == expected);
}

} // namespace
