#pragma once
// What a scenario run records besides its frames: the texts given to the voice, through a voice
// output that wraps the program's one, and the sounds played, as one WAV image.

#include "advisor/voiceoutput.h"

#include "platform/sound/sound.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The texts said, in order; shared by the recorder and the runner. Safe from any thread.
class SaidTexts {
public:
    void Add(const std::u16string& text);
    [[nodiscard]] std::vector<std::u16string> Texts() const;
    [[nodiscard]] bool Contains(const std::u16string& text) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::u16string> m_texts;
};

// Passes every call on to the wrapped voice output and records the texts of "Say". Any thread.
class SaidTextRecorder final : public IVoiceOutput {
public:
    SaidTextRecorder(six::RefCntPtr<IVoiceOutput> inner, std::shared_ptr<SaidTexts> said);

    bool Init(const std::u16string& folder, const std::u16string& prefix) override;
    bool Say(const std::u16string& text) override;
    [[nodiscard]] const char* GetStatusText() const override;
    bool Stop() override;
    bool Shutdown() override;

private:
    six::RefCntPtr<IVoiceOutput> m_inner;
    std::shared_ptr<SaidTexts> m_said;
};

// The samples of the sounds, one after another, as a RIFF/WAVE image in the format of the
// first (16-bit mono at 22050 Hz when there is none). Sounds of another format are left out and
// counted in skipped.
[[nodiscard]] std::vector<std::uint8_t>
EncodeSounds(const std::vector<platform::PlayedSound>& sounds, std::size_t& skipped);
