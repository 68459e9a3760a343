// The SDL2 audio output on SDL's dummy driver, which takes samples at the device's pace.
#include "testdata/wavewriter.h"

#include "platform/sound/soundsdl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace {

TEST(SdlSoundOutput, PlaysImagesAtTheDevicePaceAndRecordsThem) {
    ASSERT_EQ(::setenv("SDL_AUDIODRIVER", "dummy", 1), 0);
    std::unique_ptr<platform::SdlSoundOutput> output = platform::SdlSoundOutput::Create();
    ASSERT_NE(output, nullptr);
    platform::SetSoundOutput(output.get());
    platform::ClearRecordedSounds();

    const struct {
        WORD channels;
        DWORD rate;
        WORD bits;
    } formats[] = {{1, 22050, 8}, {2, 44100, 16}, {1, 11025, 24}, {2, 8000, 32}};
    for (const auto& format : formats) {
        testdata::WaveWriter writer;
        writer.SetFormat(format.channels, format.rate, format.bits).SetTone(440, 150);
        const std::vector<std::uint8_t> image = writer.Build();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(PlaySoundW(image.data(), nullptr, SND_MEMORY)) << format.bits;
        const auto elapsed = std::chrono::steady_clock::now() - start;
        // The dummy device consumes at its own rate; the call waits for it.
        EXPECT_GE(elapsed, std::chrono::milliseconds(100)) << format.bits;
    }
    platform::SetSoundOutput(nullptr);
    EXPECT_EQ(output->GetRefusedCount(), 0u);
    EXPECT_EQ(platform::RecordedSounds().size(), std::size(formats));
    platform::ClearRecordedSounds();
}

} // namespace
