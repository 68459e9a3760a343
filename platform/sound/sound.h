#pragma once
// PlaySoundW for RIFF/WAVE PCM images held in memory, played synchronously, and the volume of
// wave output device 0. Every played image is recorded, so tests see what was played and when.
// Headless (the default) its duration passes on the installed clock (platform/kernel/time.h);
// with a sound output installed (SetSoundOutput, e.g. the SDL2 audio device of soundsdl.h) the
// output plays it and the call returns when it has played. Safe from any thread; images play one
// at a time.

#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

constexpr DWORD SND_SYNC = 0x0000;
constexpr DWORD SND_ASYNC = 0x0001;
constexpr DWORD SND_NODEFAULT = 0x0002;
constexpr DWORD SND_MEMORY = 0x0004;

// With SND_MEMORY, sound points to a whole RIFF/WAVE image whose length is given by its RIFF
// header; the call returns when the image has played. FALSE for a malformed image, a null image,
// SND_ASYNC, or a sound that is not in memory (file names and aliases are not supported).
BOOL PlaySoundW(LPCVOID sound, HMODULE module, DWORD flags);

using HWAVEOUT = void*;
using MMRESULT = UINT;
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;

// The volume of wave output device 0 (a null device handle): low word left, high word right,
// each 0 (silent) to 0xFFFF (full); full at start. Any other handle is MMSYSERR_INVALHANDLE; a
// null volume pointer MMSYSERR_INVALPARAM. The volume applies to images that start afterwards.
MMRESULT waveOutGetVolume(HWAVEOUT device, LPDWORD volume);
MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume);

namespace platform {

struct WaveFormat {
    WORD channels = 0;
    DWORD samplesPerSecond = 0;
    WORD bitsPerSample = 0;
    WORD blockAlign = 0; // bytes of one sample frame, all channels
};

// The parts of a well-formed image; data points into the parsed bytes.
struct WaveImage {
    WaveFormat format;
    std::span<const BYTE> data; // whole sample frames
};

// Parses a RIFF/WAVE image of integer PCM ("fmt " format 1, 1 to 8 channels, 8, 16, 24 or
// 32 bits, a consistent block size and byte rate) from the bytes given. The RIFF size must fit
// in them (trailing bytes are ignored); "fmt " must come before "data", every chunk must lie
// inside the RIFF size, and the data must hold whole frames. Nothing for anything else.
[[nodiscard]] std::optional<WaveImage> ParseWaveImage(std::span<const BYTE> bytes);

// Milliseconds the image's samples take, rounded up.
[[nodiscard]] std::uint64_t WaveDurationMs(const WaveImage& image);

// One image played: its format, a copy of its sample data, the device volume it played at and
// the installed clock's tick when it started and, once finished, when it ended. An image is
// recorded when it starts playing.
struct PlayedSound {
    WaveFormat format;
    std::vector<BYTE> data;
    DWORD volume = 0xFFFFFFFF;
    std::uint64_t startTickMs = 0;
    std::uint64_t endTickMs = 0;
    bool isFinished = false;
};

// Where images play. Play returns when the image has played (or could not be played: the call
// still counts as played, as on a device without sound); it is called one image at a time.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    virtual void Play(const WaveImage& image, DWORD volume) = 0;
};

// Installs the output images play on; null restores the headless one. The output must outlive
// its installation.
void SetSoundOutput(SoundOutput* output);

// The samples of an image scaled by a device volume (low word left or mono, high word right),
// for outputs that cannot set a volume of their own. 8-bit samples are unsigned, wider ones
// signed little-endian.
[[nodiscard]] std::vector<BYTE> ScaleSamples(const WaveImage& image, DWORD volume);

// Makes device 0 keep each channel's volume in steps coarse steps, as a device that rounds:
// a set volume becomes the nearest of 0, 0xFFFF / steps, ..., 0xFFFF per channel. 0 (the
// default) keeps volumes exactly. For tests.
void SetVolumeSteps(unsigned steps);

// Images played so far, oldest first.
[[nodiscard]] std::vector<PlayedSound> RecordedSounds();
void ClearRecordedSounds();

} // namespace platform
