#pragma once
// Building a file image in memory: little-endian stores (into bytes that already exist, or
// appended) and key prefixes of records.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace testdata::detail {

// The low `width` bytes of value, least significant first.
inline void PutUnsigned(std::uint8_t* out, std::uint64_t value, std::uint32_t width) {
    for (std::uint32_t i = 0; i < width; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline void PutU16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    PutUnsigned(out.data() + at, value, 2);
}

inline void PutU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    PutUnsigned(out.data() + at, value, 4);
}

// Appends the low 16 or 32 bits of value, least significant byte first.
inline void AppendU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// The first `length` bytes of the record, zero-padded when it is shorter.
inline std::vector<std::uint8_t> PrefixOf(const std::vector<std::uint8_t>& record,
                                          std::uint32_t length) {
    std::vector<std::uint8_t> prefix(length, 0);
    std::copy_n(record.begin(), std::min<std::size_t>(record.size(), length), prefix.begin());
    return prefix;
}

} // namespace testdata::detail
