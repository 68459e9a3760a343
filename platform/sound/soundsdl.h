#pragma once
// The SDL2 audio device as the sound output, for people running the program with a visible
// screen. Each image opens the default device in the image's own format (24-bit samples go out
// as 32-bit), is queued at the device volume and waited for until the device has played it.

#include "platform/sound/sound.h"

#include <memory>

namespace platform {

class SdlSoundOutput final : public SoundOutput {
public:
    // Null when SDL's audio cannot be started (no device, no driver).
    [[nodiscard]] static std::unique_ptr<SdlSoundOutput> Create();
    ~SdlSoundOutput() override;
    SdlSoundOutput(const SdlSoundOutput&) = delete;
    SdlSoundOutput& operator=(const SdlSoundOutput&) = delete;

    // Plays the image; an image the device refuses is skipped (it still counts as played).
    void Play(const WaveImage& image, DWORD volume) override;

    // Images the device refused so far.
    [[nodiscard]] unsigned GetRefusedCount() const { return m_refused; }

private:
    SdlSoundOutput() = default;
    unsigned m_refused = 0;
};

} // namespace platform
