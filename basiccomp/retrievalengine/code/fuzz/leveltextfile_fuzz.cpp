// Reads the map file name and the lines of a level file held in memory.
#include "basiccomp/retrievalengine/code/leveltextfile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LevelTextFile file;
    file.Attach(std::vector<std::uint8_t>(data, data + size));
    (void)file.ReadMapFileName();
    const std::size_t capacity = size == 0 ? 1 : data[0];
    file.Attach(std::vector<std::uint8_t>(data, data + size));
    while (!file.IsAtEnd()) {
        if (file.ReadLine(capacity).empty()) {
            break;
        }
    }
    return 0;
}
