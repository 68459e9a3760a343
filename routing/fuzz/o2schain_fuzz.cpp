// Expands optimised link chains from arbitrary O2S rows: a u32 id, then rows of seven u32/f32
// words (id, element, x, y, field 5, length, field 7).
#include "routing/optimisedlinks.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

template <typename T> T Read(const std::uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const auto id = Read<std::uint32_t>(data);
    std::vector<O2SRecord> rows;
    for (std::size_t at = 4; at + 28 <= size; at += 28) {
        const std::uint8_t* row = data + at;
        rows.push_back({Read<std::uint32_t>(row), Read<std::uint32_t>(row + 4),
                        Read<float>(row + 8), Read<float>(row + 12), Read<std::uint32_t>(row + 16),
                        Read<float>(row + 20), Read<std::uint32_t>(row + 24)});
    }
    for (const std::uint32_t direction : {id & ~1u, id | 1u}) {
        const std::vector<O2SRecord> chain = ChainOfRows(rows, direction);
        const bool isReverse = (direction & 1u) != 0;
        if (chain.size() > rows.size() || (isReverse && chain.size() + 1 < rows.size())) {
            std::abort();
        }
        for (std::size_t i = 0; i < chain.size(); ++i) {
            // Forward records are the rows themselves, up to the end row; reverse ones carry the
            // id and the element of the row before.
            if ((!isReverse &&
                 (chain[i].elementId == 0 || chain[i].elementId != rows[i].elementId)) ||
                (isReverse && (chain[i].optimisedId != direction ||
                               chain[i].elementId != rows[rows.size() - 2 - i].elementId))) {
                std::abort();
            }
        }
    }
    return 0;
}
