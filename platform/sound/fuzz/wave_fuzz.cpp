// Fuzzes the RIFF/WAVE parser: any input must be refused or give whole frames that lie inside
// the input. First bytes with the top bit set patch a valid tone from the test-data writer, so
// that mutations reach the chunks behind a sound header.

#include "testdata/fuzzinput.h"
#include "testdata/wavewriter.h"

#include "platform/sound/sound.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> base = [] {
        testdata::WaveWriter writer;
        writer.AddChunk("LIST", {1, 2, 3});
        return writer.SetTone(440, 2).Build();
    }();
    const std::vector<std::uint8_t> image = testdata::FileFromFuzzInput(base, data, size);
    const auto parsed = platform::ParseWaveImage(image);
    if (!parsed) {
        return 0;
    }
    const auto* begin = image.data();
    if (parsed->data.data() < begin ||
        parsed->data.data() + parsed->data.size() > begin + image.size() ||
        parsed->format.blockAlign == 0 || parsed->data.size() % parsed->format.blockAlign != 0) {
        std::abort();
    }
    (void)platform::WaveDurationMs(*parsed);
    return 0;
}
