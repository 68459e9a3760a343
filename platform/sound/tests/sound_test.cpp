#include "testdata/wavewriter.h"

#include "platform/kernel/time.h"
#include "platform/sound/sound.h"

#include <gtest/gtest.h>

namespace {

using testdata::WaveFault;
using testdata::WaveWriter;

TEST(WaveImage, RefusesEveryMalformedImage) {
    WaveWriter tone;
    tone.SetTone(440, 10);
    const struct {
        WaveFault fault;
        bool isAccepted;
    } cases[] = {
        {WaveFault::None, true},
        {WaveFault::BadRiffTag, false},
        {WaveFault::BadWaveTag, false},
        {WaveFault::RiffSizePastEnd, false},
        {WaveFault::NotPcm, false},
        {WaveFault::ZeroChannels, false},
        {WaveFault::BadBlockAlign, false},
        {WaveFault::BadByteRate, false},
        {WaveFault::ZeroRate, false},
        {WaveFault::DataBeforeFormat, false},
        {WaveFault::NoDataChunk, false},
        {WaveFault::NoFormatChunk, false},
        {WaveFault::DataPastRiffEnd, false},
        {WaveFault::PartialFrame, false},
        {WaveFault::ShortFormatChunk, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        const std::vector<std::uint8_t> image = tone.Build(c.fault);
        EXPECT_EQ(platform::ParseWaveImage(image).has_value(), c.isAccepted);
    }
    // Cut anywhere, the sound image is refused.
    const std::vector<std::uint8_t> image = tone.Build();
    for (std::size_t size = 0; size < image.size(); size += 7) {
        SCOPED_TRACE(size);
        EXPECT_FALSE(platform::ParseWaveImage(std::span(image.data(), size)).has_value());
    }
}

TEST(WaveImage, ReadsFormatDataAndDuration) {
    const struct {
        std::uint16_t channels;
        std::uint32_t rate;
        std::uint16_t bits;
        std::uint32_t toneMs;
        std::uint64_t durationMs;
    } cases[] = {
        {1, 8000, 16, 10, 10}, {2, 22050, 16, 5, 5}, {1, 11025, 8, 3, 3},
        {2, 44100, 24, 1, 1},  {1, 48000, 32, 2, 2}, {1, 8000, 16, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        WaveWriter writer;
        writer.SetFormat(c.channels, c.rate, c.bits).SetTone(300, c.toneMs);
        writer.AddChunk("LIST", {1, 2, 3}); // odd size: padded
        const std::vector<std::uint8_t> image = writer.Build();
        const auto parsed = platform::ParseWaveImage(image);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->format.channels, c.channels);
        EXPECT_EQ(parsed->format.samplesPerSecond, c.rate);
        EXPECT_EQ(parsed->format.bitsPerSample, c.bits);
        EXPECT_EQ(std::vector<std::uint8_t>(parsed->data.begin(), parsed->data.end()),
                  writer.GetData());
        EXPECT_EQ(platform::WaveDurationMs(*parsed), c.durationMs);
    }
    // 7 frames at 8000 a second take 0.875 ms: rounded up.
    WaveWriter shortOne;
    shortOne.SetData(std::vector<std::uint8_t>(14, 0));
    const std::vector<std::uint8_t> image = shortOne.Build();
    EXPECT_EQ(platform::WaveDurationMs(*platform::ParseWaveImage(image)), 1u);
}

TEST(PlaySound, PlaysMemoryImagesSynchronouslyOnTheClock) {
    platform::VirtualClock clock;
    clock.SetSleepAdvancesClock(true);
    platform::ScopedClock installed(clock);
    platform::ClearRecordedSounds();

    WaveWriter first;
    first.SetTone(440, 250);
    WaveWriter second;
    second.SetFormat(2, 11025, 8).SetTone(880, 40);
    const std::vector<std::uint8_t> malformed = first.Build(WaveFault::BadBlockAlign);
    const std::vector<std::uint8_t> images[] = {first.Build(), second.Build()};

    const struct {
        const void* sound;
        DWORD flags;
        BOOL result;
    } cases[] = {
        {images[0].data(), SND_MEMORY, TRUE}, {images[0].data(), SND_MEMORY | SND_ASYNC, FALSE},
        {images[0].data(), SND_SYNC, FALSE}, // not a memory image: names are not supported
        {nullptr, SND_MEMORY, FALSE},         {malformed.data(), SND_MEMORY, FALSE},
        {u"RIFF", SND_MEMORY, FALSE},         {images[1].data(), SND_MEMORY | SND_NODEFAULT, TRUE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlaySoundW(c.sound, nullptr, c.flags), c.result);
    }
    const std::vector<platform::PlayedSound> played = platform::RecordedSounds();
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[0].data, first.GetData());
    EXPECT_EQ(played[0].startTickMs, 0u);
    EXPECT_EQ(played[0].endTickMs, 250u);
    EXPECT_TRUE(played[0].isFinished);
    EXPECT_EQ(played[1].data, second.GetData());
    EXPECT_EQ(played[1].format.channels, 2);
    EXPECT_EQ(played[1].startTickMs, 250u);
    EXPECT_EQ(played[1].endTickMs, 290u);
    platform::ClearRecordedSounds();
    EXPECT_TRUE(platform::RecordedSounds().empty());
}

TEST(WaveOutVolume, DeviceZeroKeepsItsVolumeAndPlaysAtIt) {
    platform::VirtualClock clock;
    clock.SetSleepAdvancesClock(true);
    platform::ScopedClock installed(clock);
    platform::ClearRecordedSounds();
    DWORD volume = 0;
    ASSERT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 0xFFFFFFFFu); // full at start

    WaveWriter writer;
    writer.SetTone(440, 10);
    const std::vector<std::uint8_t> image = writer.Build();
    for (const DWORD set : {0x80008000u, 0u, 0x0000FFFFu, 0xFFFFFFFFu}) {
        ASSERT_EQ(waveOutSetVolume(nullptr, set), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
        EXPECT_EQ(volume, set);
        EXPECT_TRUE(PlaySoundW(image.data(), nullptr, SND_MEMORY));
        EXPECT_EQ(platform::RecordedSounds().back().volume, set);
    }
    int other = 0;
    EXPECT_EQ(waveOutSetVolume(&other, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutGetVolume(&other, &volume), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutGetVolume(nullptr, nullptr), MMSYSERR_INVALPARAM);
    EXPECT_EQ(volume, 0xFFFFFFFFu); // unchanged by the refused calls
    platform::ClearRecordedSounds();
}

TEST(WaveOutVolume, ARoundingDeviceKeepsEachChannelInCoarseSteps) {
    const struct {
        unsigned steps;
        DWORD set;
        DWORD kept;
    } cases[] = {
        {4, 0xF332F332u, 0xFFFFFFFFu},  // 95 % becomes full
        {4, 0x60006000u, 0x7FFF7FFFu},  // 37.5 % becomes half
        {4, 0xF0001000u, 0xFFFF0000u},  // each channel on its own
        {10, 0x19991999u, 0x19991999u}, // 10 % stays
        {0, 0x12345678u, 0x12345678u},  // exact without steps
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        platform::SetVolumeSteps(c.steps);
        ASSERT_EQ(waveOutSetVolume(nullptr, c.set), MMSYSERR_NOERROR);
        DWORD volume = 0;
        ASSERT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
        EXPECT_EQ(volume, c.kept);
    }
    platform::SetVolumeSteps(0);
    ASSERT_EQ(waveOutSetVolume(nullptr, 0xFFFFFFFFu), MMSYSERR_NOERROR);
}

TEST(WaveOutVolume, ScalesSamplesPerChannel) {
    const struct {
        WORD channels;
        WORD bits;
        std::vector<BYTE> data;
        DWORD volume;
        std::vector<BYTE> scaled;
    } cases[] = {
        // 8 bits are unsigned around 128.
        {1, 8, {228, 28, 128}, 0x00008000, {178, 78, 128}},
        {1, 8, {228, 28}, 0, {128, 128}},
        // 16 bits signed: left 0x4000 at full volume, right -0x4000 at 0x7FFF: -0x1FFF.
        {2, 16, {0x00, 0x40, 0x00, 0xC0}, 0x7FFFFFFF, {0x00, 0x40, 0x01, 0xE0}},
        // 24 bits: -2 at half volume is -1.
        {1, 24, {0xFE, 0xFF, 0xFF}, 0x00008000, {0xFF, 0xFF, 0xFF}},
        // 32 bits at full volume are unchanged.
        {1, 32, {1, 2, 3, 0x84}, 0x0000FFFF, {1, 2, 3, 0x84}},
    };
    for (const auto& c : cases) {
        platform::WaveImage image;
        image.format.channels = c.channels;
        image.format.bitsPerSample = c.bits;
        image.format.samplesPerSecond = 8000;
        image.format.blockAlign = static_cast<WORD>(c.channels * c.bits / 8);
        image.data = c.data;
        EXPECT_EQ(platform::ScaleSamples(image, c.volume), c.scaled) << c.bits;
    }
}

} // namespace
