#pragma once
// Time stamps in seconds since 1970 from the local clock, and two small 32/64-bit helpers.
// Safe from any thread.

#include "platform/kernel/time.h"

#include <cstdint>

// The file time (100 ns units since 1601) of 1970-01-01 00:00:00.
[[nodiscard]] constexpr std::uint64_t UnixEpochFileTime() {
    return platform::kFileTimeOf1970;
}

// The local time (GetLocalTime) in whole seconds since 1970-01-01 00:00:00; the low 32 bits are
// also stored through lowWord when it is given. 0 for a local time before 1970.
std::uint64_t LocalTimeSince1970(std::uint32_t* lowWord = nullptr);

// |a - b| without wrapping: the smaller value is taken from the larger.
[[nodiscard]] double AbsDifference(std::uint32_t a, std::uint32_t b);

[[nodiscard]] constexpr std::uint64_t MakeUInt64(std::uint32_t high, std::uint32_t low) {
    return (std::uint64_t{high} << 32) | low;
}
