#pragma once
// Numbers stored little-endian in file images, read the same on any host. The caller checks that
// the bytes lie inside the data before reading. Pure functions; safe from any thread.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

namespace platform {

// The unsigned number in the width bytes at bytes; bytes beyond the eighth are not read.
[[nodiscard]] constexpr std::uint64_t ReadLittleEndian(const std::uint8_t* bytes,
                                                       std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width && i < 8; ++i) {
        value |= std::uint64_t{bytes[i]} << (8 * i);
    }
    return value;
}

// The integer or floating-point number of sizeof(T) bytes at bytes.
template <class T>
requires(std::is_arithmetic_v<T> && !std::is_same_v<T, bool> &&
         (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8))
    [[nodiscard]] constexpr T ReadLittleEndian(const std::uint8_t* bytes) {
    using Bits = std::conditional_t<
        sizeof(T) == 1, std::uint8_t,
        std::conditional_t<sizeof(T) == 2, std::uint16_t,
                           std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;
    if (!std::is_constant_evaluated() && std::endian::native == std::endian::little) {
        Bits bits; // one load where the host's order is the file's
        std::memcpy(&bits, bytes, sizeof(T));
        return std::bit_cast<T>(bits);
    }
    return std::bit_cast<T>(static_cast<Bits>(ReadLittleEndian(bytes, sizeof(T))));
}

[[nodiscard]] constexpr std::uint16_t ReadU16(const std::uint8_t* bytes) {
    return ReadLittleEndian<std::uint16_t>(bytes);
}

[[nodiscard]] constexpr std::uint32_t ReadU32(const std::uint8_t* bytes) {
    return ReadLittleEndian<std::uint32_t>(bytes);
}

// The numbers at offset `at` of bytes.
[[nodiscard]] constexpr std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return ReadU16(bytes.data() + at);
}

[[nodiscard]] constexpr std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return ReadU32(bytes.data() + at);
}

} // namespace platform
