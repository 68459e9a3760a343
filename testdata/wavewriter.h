#pragma once
// Writer of RIFF/WAVE PCM samples: short generated tones for the sound and voice tests, with
// named faults for the parser's tests. Not thread-safe; one writer per sample.

#include <cstdint>
#include <string>
#include <vector>

namespace testdata {

// Faults the writer can build into a sample; each breaks exactly one rule of the format.
enum class WaveFault {
    None,
    BadRiffTag,       // "RIFX" instead of "RIFF"
    BadWaveTag,       // "WAVX" instead of "WAVE"
    RiffSizePastEnd,  // RIFF size one more than the image holds
    NotPcm,           // format tag 3 (floating point)
    ZeroChannels,     // channel count 0
    BadBlockAlign,    // block size one more than channels x bytes per sample
    BadByteRate,      // byte rate one more than rate x block size
    ZeroRate,         // sample rate 0
    DataBeforeFormat, // "data" chunk written before "fmt "
    NoDataChunk,      // the "data" chunk left out
    NoFormatChunk,    // the "fmt " chunk left out
    DataPastRiffEnd,  // "data" size 2 more than its bytes, the RIFF size unchanged
    PartialFrame,     // one byte of sample data cut off (16-bit samples)
    ShortFormatChunk, // "fmt " chunk of 14 bytes
};

class WaveWriter {
public:
    // 8000 samples a second, one channel, 16 bits, no samples until a tone or data is set.
    WaveWriter& SetFormat(std::uint16_t channels, std::uint32_t samplesPerSecond,
                          std::uint16_t bitsPerSample);
    // A sine tone of the given pitch, lasting durationMs, on every channel.
    WaveWriter& SetTone(std::uint32_t frequencyHz, std::uint32_t durationMs);
    WaveWriter& SetData(std::vector<std::uint8_t> data);
    // An extra chunk (say "LIST") written between "fmt " and "data"; odd sizes get a pad byte.
    WaveWriter& AddChunk(const std::string& id, std::vector<std::uint8_t> body);

    [[nodiscard]] const std::vector<std::uint8_t>& GetData() const { return m_data; }
    [[nodiscard]] std::vector<std::uint8_t> Build(WaveFault fault = WaveFault::None) const;

private:
    std::uint16_t m_channels = 1;
    std::uint32_t m_samplesPerSecond = 8000;
    std::uint16_t m_bitsPerSample = 16;
    std::vector<std::uint8_t> m_data;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> m_extraChunks;
};

} // namespace testdata
