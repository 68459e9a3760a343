#include "app/scenario/scenariooutput.h"
#include "app/tests/recordingvoice.h"
#include "testdata/wavewriter.h"

#include <gtest/gtest.h>

namespace {

platform::PlayedSound PlayedTone(std::uint16_t channels, std::uint32_t rate, std::uint32_t hz) {
    const std::vector<std::uint8_t> image =
        testdata::WaveWriter().SetFormat(channels, rate, 16).SetTone(hz, 20).Build();
    const auto parsed = platform::ParseWaveImage(image);
    platform::PlayedSound sound;
    if (parsed) {
        sound.format = parsed->format;
        sound.data.assign(parsed->data.begin(), parsed->data.end());
    }
    return sound;
}

TEST(ScenarioSounds, JoinsTheSamplesOfTheFirstFormatIntoOneImage) {
    const platform::PlayedSound first = PlayedTone(1, 8000, 440);
    const platform::PlayedSound second = PlayedTone(1, 8000, 880);
    const platform::PlayedSound stereo = PlayedTone(2, 8000, 440);
    const platform::PlayedSound faster = PlayedTone(1, 16000, 440);
    std::vector<std::uint8_t> joined = first.data;
    joined.insert(joined.end(), second.data.begin(), second.data.end());
    const struct {
        std::vector<platform::PlayedSound> sounds;
        std::vector<std::uint8_t> samples;
        std::size_t skipped;
        std::uint32_t rate;
    } cases[] = {
        {{}, {}, 0, 22050},
        {{first}, first.data, 0, 8000},
        {{first, stereo, second, faster}, joined, 2, 8000},
        {{faster, first}, faster.data, 1, 16000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sounds.size());
        std::size_t skipped = 99;
        const std::vector<std::uint8_t> image = EncodeSounds(c.sounds, skipped);
        const auto parsed = platform::ParseWaveImage(image);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(std::vector<std::uint8_t>(parsed->data.begin(), parsed->data.end()), c.samples);
        EXPECT_EQ(parsed->format.samplesPerSecond, c.rate);
        EXPECT_EQ(parsed->format.channels, 1);
        EXPECT_EQ(parsed->format.bitsPerSample, 16);
        EXPECT_EQ(skipped, c.skipped);
        EXPECT_EQ(image.size(), 44 + c.samples.size());
    }
}

TEST(ScenarioSaidTexts, RecordsEveryTextSaidAndPassesEachCallOn) {
    auto* inner = new RecordingVoice;
    const six::RefCntPtr<IVoiceOutput> keep(inner);
    const auto said = std::make_shared<SaidTexts>();
    SaidTextRecorder recorder(keep, said);
    EXPECT_TRUE(recorder.Say(u"[Attention]"));
    EXPECT_TRUE(recorder.Stop());
    EXPECT_TRUE(recorder.Say(u"[DestinationReached]"));
    EXPECT_STREQ(recorder.GetStatusText(), "OK");
    EXPECT_EQ(inner->Calls(), (std::vector<std::u16string>{u"Say([Attention])", u"Stop",
                                                           u"Say([DestinationReached])"}));
    EXPECT_EQ(said->Texts(),
              (std::vector<std::u16string>{u"[Attention]", u"[DestinationReached]"}));
    EXPECT_TRUE(said->Contains(u"[Attention]"));
    EXPECT_FALSE(said->Contains(u"[Attention"));
}

} // namespace
