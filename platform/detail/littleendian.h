#pragma once
// Little-endian numbers read from file images. The caller checks that the bytes lie inside the
// span before reading.

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform::detail {

inline std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | (std::uint32_t{bytes[at + 1]} << 8) |
           (std::uint32_t{bytes[at + 2]} << 16) | (std::uint32_t{bytes[at + 3]} << 24);
}

} // namespace platform::detail
