#pragma once
// The matcher's state file: 81 packed little-endian bytes holding the newest history record
// (without its tick and prediction), the history index and the wrapped flag.

#include "positioning/matchrecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

inline constexpr std::size_t kMatcherStateSize = 81;
inline constexpr std::uint32_t kMatcherStateMagic = 0x16091998u;
inline constexpr std::int32_t kHistorySize = 384;

struct MatcherState {
    MatchRecord record; // fields of the file; flags keep bit 0 only when read
    std::int32_t index = -1;
    bool wrapped = false;
};

[[nodiscard]] std::array<std::uint8_t, kMatcherStateSize>
SerializeMatcherState(const MatcherState& state);
// Nullopt unless the bytes are exactly one state: 81 bytes, the magic, an index within
// -1..383 and, with index -1, the wrapped flag clear.
[[nodiscard]] std::optional<MatcherState> ParseMatcherState(std::span<const std::uint8_t> bytes);
