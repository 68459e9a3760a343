#include "platform/sound/soundsdl.h"

#include <SDL.h>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace platform {
namespace {

// 24-bit samples widened to 32 bits (SDL has no 24-bit format).
std::vector<BYTE> WidenTo32(const std::vector<BYTE>& samples) {
    std::vector<BYTE> out;
    out.reserve(samples.size() / 3 * 4);
    for (std::size_t at = 0; at + 3 <= samples.size(); at += 3) {
        out.push_back(0);
        out.insert(out.end(), samples.begin() + static_cast<std::ptrdiff_t>(at),
                   samples.begin() + static_cast<std::ptrdiff_t>(at + 3));
    }
    return out;
}

SDL_AudioFormat FormatOf(WORD bitsPerSample) {
    switch (bitsPerSample) {
    case 8:
        return AUDIO_U8;
    case 16:
        return AUDIO_S16LSB;
    default:
        return AUDIO_S32LSB; // 24 (widened) and 32
    }
}

} // namespace

std::unique_ptr<SdlSoundOutput> SdlSoundOutput::Create() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return nullptr;
    }
    return std::unique_ptr<SdlSoundOutput>(new SdlSoundOutput());
}

SdlSoundOutput::~SdlSoundOutput() {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlSoundOutput::Play(const WaveImage& image, DWORD volume) {
    std::vector<BYTE> samples = ScaleSamples(image, volume);
    if (image.format.bitsPerSample == 24) {
        samples = WidenTo32(samples);
    }
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(image.format.samplesPerSecond);
    wanted.format = FormatOf(image.format.bitsPerSample);
    wanted.channels = static_cast<Uint8>(image.format.channels);
    wanted.samples = 1024;
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device == 0) {
        ++m_refused;
        return;
    }
    if (SDL_QueueAudio(device, samples.data(), static_cast<Uint32>(samples.size())) != 0) {
        ++m_refused;
        SDL_CloseAudioDevice(device);
        return;
    }
    SDL_PauseAudioDevice(device, 0);
    // The device's own pace decides; a device that stops taking samples is given the image's
    // duration twice over before it is closed.
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(2 * WaveDurationMs(image) + 500);
    while (SDL_GetQueuedAudioSize(device) > 0 && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    SDL_CloseAudioDevice(device);
}

} // namespace platform
