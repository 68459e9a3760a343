#include "testdata/wavewriter.h"

#include "testdata/detail/fileimage.h"

#include <cmath>
#include <numbers>

namespace testdata {
namespace {

void PutTag(std::vector<std::uint8_t>& out, const std::string& tag) {
    for (std::size_t i = 0; i < 4; ++i) {
        out.push_back(i < tag.size() ? static_cast<std::uint8_t>(tag[i]) : ' ');
    }
}

void PutValue(std::vector<std::uint8_t>& out, std::uint32_t value, std::uint32_t width) {
    out.resize(out.size() + width);
    detail::PutUnsigned(out.data() + out.size() - width, value, width);
}

void PutChunk(std::vector<std::uint8_t>& out, const std::string& id,
              const std::vector<std::uint8_t>& body, std::uint32_t sizeField) {
    PutTag(out, id);
    PutValue(out, sizeField, 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) {
        out.push_back(0);
    }
}

} // namespace

WaveWriter& WaveWriter::SetFormat(std::uint16_t channels, std::uint32_t samplesPerSecond,
                                  std::uint16_t bitsPerSample) {
    m_channels = channels;
    m_samplesPerSecond = samplesPerSecond;
    m_bitsPerSample = bitsPerSample;
    return *this;
}

WaveWriter& WaveWriter::SetTone(std::uint32_t frequencyHz, std::uint32_t durationMs) {
    const std::uint64_t frames = std::uint64_t{m_samplesPerSecond} * durationMs / 1000;
    const std::uint32_t bytesPerSample = m_bitsPerSample / 8;
    m_data.clear();
    m_data.reserve(frames * m_channels * bytesPerSample);
    for (std::uint64_t frame = 0; frame < frames; ++frame) {
        const double phase =
            2 * std::numbers::pi * frequencyHz * static_cast<double>(frame) / m_samplesPerSecond;
        const double level = 0.5 * std::sin(phase);
        // 8-bit samples are unsigned around 128; wider ones are signed around 0.
        const auto full = static_cast<std::int64_t>(level * std::ldexp(1.0, m_bitsPerSample - 1));
        const std::uint64_t sample = bytesPerSample == 1 ? static_cast<std::uint64_t>(full + 128)
                                                         : static_cast<std::uint64_t>(full);
        for (std::uint16_t channel = 0; channel < m_channels; ++channel) {
            for (std::uint32_t b = 0; b < bytesPerSample; ++b) {
                m_data.push_back(static_cast<std::uint8_t>(sample >> (8 * b)));
            }
        }
    }
    return *this;
}

WaveWriter& WaveWriter::SetData(std::vector<std::uint8_t> data) {
    m_data = std::move(data);
    return *this;
}

WaveWriter& WaveWriter::AddChunk(const std::string& id, std::vector<std::uint8_t> body) {
    m_extraChunks.emplace_back(id, std::move(body));
    return *this;
}

std::vector<std::uint8_t> WaveWriter::Build(WaveFault fault) const {
    const std::uint32_t blockAlign = m_channels * (m_bitsPerSample / 8u);
    std::vector<std::uint8_t> format;
    PutValue(format, fault == WaveFault::NotPcm ? 3 : 1, 2);
    PutValue(format, fault == WaveFault::ZeroChannels ? 0 : m_channels, 2);
    PutValue(format, fault == WaveFault::ZeroRate ? 0 : m_samplesPerSecond, 4);
    PutValue(format, m_samplesPerSecond * blockAlign + (fault == WaveFault::BadByteRate ? 1 : 0),
             4);
    PutValue(format, blockAlign + (fault == WaveFault::BadBlockAlign ? 1 : 0), 2);
    PutValue(format, m_bitsPerSample, 2);
    if (fault == WaveFault::ShortFormatChunk) {
        format.resize(14);
    }
    std::vector<std::uint8_t> data = m_data;
    if (fault == WaveFault::PartialFrame && !data.empty()) {
        data.pop_back();
    }
    const auto dataSize =
        static_cast<std::uint32_t>(data.size()) + (fault == WaveFault::DataPastRiffEnd ? 2 : 0);

    std::vector<std::uint8_t> body;
    PutTag(body, fault == WaveFault::BadWaveTag ? "WAVX" : "WAVE");
    if (fault == WaveFault::DataBeforeFormat) {
        PutChunk(body, "data", data, dataSize);
    }
    if (fault != WaveFault::NoFormatChunk) {
        PutChunk(body, "fmt ", format, static_cast<std::uint32_t>(format.size()));
    }
    for (const auto& [id, chunk] : m_extraChunks) {
        PutChunk(body, id, chunk, static_cast<std::uint32_t>(chunk.size()));
    }
    if (fault != WaveFault::DataBeforeFormat && fault != WaveFault::NoDataChunk) {
        PutChunk(body, "data", data, dataSize);
    }
    std::uint32_t riffSize = static_cast<std::uint32_t>(body.size());
    if (fault == WaveFault::RiffSizePastEnd) {
        riffSize += 1;
    }
    std::vector<std::uint8_t> image;
    PutTag(image, fault == WaveFault::BadRiffTag ? "RIFX" : "RIFF");
    PutValue(image, riffSize, 4);
    image.insert(image.end(), body.begin(), body.end());
    return image;
}

} // namespace testdata
