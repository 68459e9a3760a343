// Reads the map lines of a level file held in memory.
#include "mapdisplay/mapenginefacade.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto lines = ParseLevelLines(std::span<const std::uint8_t>(data, size));
    if (lines) {
        for (const LevelLine& line : *lines) {
            if (line.mapSet.empty() || line.style.empty() || line.alternateStyle.empty())
                __builtin_trap();
        }
    }
    return 0;
}
