// Reads the map view's "Speed range" and "NonScrollRect" settings from text held in memory.
#include "mapdisplay/mapview.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    const std::vector<SpeedRange> table = ParseSpeedRanges(text);
    std::size_t pieces = 1;
    for (const char16_t c : text) {
        pieces += c == u',' ? 1 : 0;
    }
    if (table.size() > pieces)
        __builtin_trap();
    (void)LookUpSpeedRange(table, static_cast<int>(size) - 50, 1.0);
    (void)ParseNonScrollMargins(text);
    return 0;
}
