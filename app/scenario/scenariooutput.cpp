#include "app/scenario/scenariooutput.h"

#include <algorithm>

void SaidTexts::Add(const std::u16string& text) {
    std::lock_guard lock(m_mutex);
    m_texts.push_back(text);
}

std::vector<std::u16string> SaidTexts::Texts() const {
    std::lock_guard lock(m_mutex);
    return m_texts;
}

bool SaidTexts::Contains(const std::u16string& text) const {
    std::lock_guard lock(m_mutex);
    return std::find(m_texts.begin(), m_texts.end(), text) != m_texts.end();
}

SaidTextRecorder::SaidTextRecorder(six::RefCntPtr<IVoiceOutput> inner,
                                   std::shared_ptr<SaidTexts> said)
    : m_inner(std::move(inner))
    , m_said(std::move(said)) {}

bool SaidTextRecorder::Init(const std::u16string& folder, const std::u16string& prefix) {
    return m_inner->Init(folder, prefix);
}

bool SaidTextRecorder::Say(const std::u16string& text) {
    m_said->Add(text);
    return m_inner->Say(text);
}

const char* SaidTextRecorder::GetStatusText() const {
    return m_inner->GetStatusText();
}

bool SaidTextRecorder::Stop() {
    return m_inner->Stop();
}

bool SaidTextRecorder::Shutdown() {
    return m_inner->Shutdown();
}

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void PutTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(tag[i]));
}

bool IsSameFormat(const platform::WaveFormat& a, const platform::WaveFormat& b) {
    return a.channels == b.channels && a.samplesPerSecond == b.samplesPerSecond &&
           a.bitsPerSample == b.bitsPerSample && a.blockAlign == b.blockAlign;
}

} // namespace

std::vector<std::uint8_t> EncodeSounds(const std::vector<platform::PlayedSound>& sounds,
                                       std::size_t& skipped) {
    platform::WaveFormat format{1, 22050, 16, 2};
    if (!sounds.empty())
        format = sounds.front().format;
    skipped = 0;
    std::vector<std::uint8_t> data;
    for (const platform::PlayedSound& sound : sounds) {
        // The RIFF sizes are 32 bits wide.
        if (!IsSameFormat(sound.format, format) ||
            data.size() + sound.data.size() > 0xFFFFFFFFull - 36) {
            ++skipped;
            continue;
        }
        data.insert(data.end(), sound.data.begin(), sound.data.end());
    }
    std::vector<std::uint8_t> out;
    out.reserve(data.size() + 44);
    PutTag(out, "RIFF");
    Put32(out, static_cast<std::uint32_t>(36 + data.size()));
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, format.channels);
    Put32(out, format.samplesPerSecond);
    Put32(out, format.samplesPerSecond * format.blockAlign);
    Put16(out, format.blockAlign);
    Put16(out, format.bitsPerSample);
    PutTag(out, "data");
    Put32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}
