#include "platform/sound/sound.h"

#include "platform/kernel/time.h"
#include "platform/littleendian.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace platform {
namespace {

constexpr std::size_t kRiffHeaderBytes = 12; // "RIFF", size, "WAVE"
constexpr std::size_t kChunkHeaderBytes = 8; // id, size
constexpr std::size_t kPcmFormatBytes = 16;
constexpr WORD kFormatPcm = 1;
constexpr WORD kMaxChannels = 8;

bool HasTag(std::span<const BYTE> bytes, std::size_t offset, const char (&tag)[5]) {
    for (std::size_t i = 0; i < 4; ++i) {
        if (bytes[offset + i] != static_cast<BYTE>(tag[i])) {
            return false;
        }
    }
    return true;
}

std::optional<WaveFormat> ParseFormat(std::span<const BYTE> chunk) {
    if (chunk.size() < kPcmFormatBytes || ReadU16(chunk, 0) != kFormatPcm) {
        return std::nullopt;
    }
    WaveFormat format;
    format.channels = ReadU16(chunk, 2);
    format.samplesPerSecond = ReadU32(chunk, 4);
    const DWORD bytesPerSecond = ReadU32(chunk, 8);
    format.blockAlign = ReadU16(chunk, 12);
    format.bitsPerSample = ReadU16(chunk, 14);
    const bool isKnownDepth = format.bitsPerSample == 8 || format.bitsPerSample == 16 ||
                              format.bitsPerSample == 24 || format.bitsPerSample == 32;
    if (format.channels == 0 || format.channels > kMaxChannels || !isKnownDepth ||
        format.samplesPerSecond == 0 ||
        format.blockAlign != format.channels * (format.bitsPerSample / 8) ||
        std::uint64_t{bytesPerSecond} !=
            std::uint64_t{format.samplesPerSecond} * format.blockAlign) {
        return std::nullopt;
    }
    return format;
}

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}
std::vector<PlayedSound>& Records() {
    static std::vector<PlayedSound> records;
    return records;
}
std::atomic<DWORD>& DeviceVolume() {
    static std::atomic<DWORD> volume{0xFFFFFFFF};
    return volume;
}
std::atomic<unsigned>& VolumeSteps() {
    static std::atomic<unsigned> steps{0};
    return steps;
}
// One channel's volume in the device's steps.
DWORD RoundChannel(DWORD channel, unsigned steps) {
    const std::uint64_t level = (std::uint64_t{channel} * steps + 0x7FFF) / 0xFFFF;
    return static_cast<DWORD>(level * 0xFFFF / steps);
}
std::atomic<SoundOutput*>& InstalledOutput() {
    static std::atomic<SoundOutput*> output{nullptr};
    return output;
}

// Lets the image's duration pass on the installed clock.
void WaitForDuration(const WaveImage& image) {
    for (std::uint64_t left = WaveDurationMs(image); left > 0;) {
        const DWORD step = static_cast<DWORD>(std::min<std::uint64_t>(left, INFINITE - 1));
        Sleep(step);
        left -= step;
    }
}

// Held for the whole of one playback, so that images play one at a time.
std::mutex& DeviceMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

std::optional<WaveImage> ParseWaveImage(std::span<const BYTE> bytes) {
    if (bytes.size() < kRiffHeaderBytes || !HasTag(bytes, 0, "RIFF") || !HasTag(bytes, 8, "WAVE")) {
        return std::nullopt;
    }
    const std::uint64_t riffEnd = std::uint64_t{ReadU32(bytes, 4)} + kChunkHeaderBytes;
    if (riffEnd > bytes.size() || riffEnd < kRiffHeaderBytes) {
        return std::nullopt;
    }
    std::optional<WaveFormat> format;
    std::size_t offset = kRiffHeaderBytes;
    while (offset + kChunkHeaderBytes <= riffEnd) {
        const std::uint64_t chunkSize = ReadU32(bytes, offset + 4);
        const std::size_t body = offset + kChunkHeaderBytes;
        if (body + chunkSize > riffEnd) {
            return std::nullopt;
        }
        const auto chunk = bytes.subspan(body, static_cast<std::size_t>(chunkSize));
        if (HasTag(bytes, offset, "fmt ")) {
            if (format || !(format = ParseFormat(chunk))) {
                return std::nullopt;
            }
        } else if (HasTag(bytes, offset, "data")) {
            if (!format || chunk.size() % format->blockAlign != 0) {
                return std::nullopt;
            }
            return WaveImage{*format, chunk};
        }
        offset = body + static_cast<std::size_t>(chunkSize) + (chunkSize & 1); // even padding
    }
    return std::nullopt;
}

std::uint64_t WaveDurationMs(const WaveImage& image) {
    const std::uint64_t frames = image.data.size() / image.format.blockAlign;
    const std::uint64_t rate = image.format.samplesPerSecond;
    return (frames * 1000 + rate - 1) / rate;
}

void SetSoundOutput(SoundOutput* output) {
    std::lock_guard device(DeviceMutex()); // never while an image plays
    InstalledOutput().store(output);
}

std::vector<BYTE> ScaleSamples(const WaveImage& image, DWORD volume) {
    std::vector<BYTE> out(image.data.begin(), image.data.end());
    const std::size_t bytes = image.format.bitsPerSample / 8;
    const std::int64_t left = volume & 0xFFFF;
    const std::int64_t right = volume >> 16;
    for (std::size_t at = 0; at + bytes <= out.size(); at += bytes) {
        const std::size_t channel = (at / bytes) % image.format.channels;
        const std::int64_t scale = channel == 1 ? right : left;
        if (bytes == 1) {
            const std::int64_t centred = std::int64_t{out[at]} - 128;
            out[at] = static_cast<BYTE>(centred * scale / 0xFFFF + 128);
            continue;
        }
        std::uint64_t raw = 0;
        for (std::size_t b = 0; b < bytes; ++b) {
            raw |= std::uint64_t{out[at + b]} << (8 * b);
        }
        const unsigned shift = static_cast<unsigned>(64 - 8 * bytes);
        const std::int64_t value = static_cast<std::int64_t>(raw << shift) >> shift; // sign
        const std::uint64_t scaled = static_cast<std::uint64_t>(value * scale / 0xFFFF);
        for (std::size_t b = 0; b < bytes; ++b) {
            out[at + b] = static_cast<BYTE>(scaled >> (8 * b));
        }
    }
    return out;
}

std::vector<PlayedSound> RecordedSounds() {
    std::lock_guard lock(SinkMutex());
    return Records();
}

void ClearRecordedSounds() {
    std::lock_guard lock(SinkMutex());
    Records().clear();
}

} // namespace platform

BOOL PlaySoundW(LPCVOID sound, HMODULE module, DWORD flags) {
    (void)module;
    if (sound == nullptr || (flags & SND_MEMORY) == 0 || (flags & SND_ASYNC) != 0) {
        return FALSE;
    }
    // The image's length is what its RIFF header says, as for the device's call.
    const auto* header = static_cast<const BYTE*>(sound);
    if (!(header[0] == 'R' && header[1] == 'I' && header[2] == 'F' && header[3] == 'F')) {
        return FALSE;
    }
    const std::uint64_t length =
        std::uint64_t{platform::ReadU32(std::span<const BYTE>(header, 8), 4)} + 8;
    const auto image =
        platform::ParseWaveImage(std::span<const BYTE>(header, static_cast<std::size_t>(length)));
    if (!image) {
        return FALSE;
    }
    std::lock_guard device(platform::DeviceMutex());
    platform::PlayedSound played;
    played.format = image->format;
    played.data.assign(image->data.begin(), image->data.end());
    played.volume = platform::DeviceVolume().load();
    played.startTickMs = platform::CurrentClock().TickMs();
    std::size_t index = 0;
    {
        std::lock_guard lock(platform::SinkMutex());
        index = platform::Records().size();
        platform::Records().push_back(std::move(played));
    }
    if (platform::SoundOutput* output = platform::InstalledOutput().load()) {
        output->Play(*image, platform::DeviceVolume().load());
    } else {
        platform::WaitForDuration(*image);
    }
    const std::uint64_t endTickMs = platform::CurrentClock().TickMs();
    std::lock_guard lock(platform::SinkMutex());
    if (index < platform::Records().size()) { // unless a test cleared the records meanwhile
        platform::Records()[index].endTickMs = endTickMs;
        platform::Records()[index].isFinished = true;
    }
    return TRUE;
}

MMRESULT waveOutGetVolume(HWAVEOUT device, LPDWORD volume) {
    if (device != nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (volume == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    *volume = platform::DeviceVolume().load();
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume) {
    if (device != nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (const unsigned steps = platform::VolumeSteps().load(); steps != 0) {
        volume = platform::RoundChannel(volume & 0xFFFF, steps) |
                 platform::RoundChannel(volume >> 16, steps) << 16;
    }
    platform::DeviceVolume().store(volume);
    return MMSYSERR_NOERROR;
}

void platform::SetVolumeSteps(unsigned steps) {
    VolumeSteps().store(steps);
}
