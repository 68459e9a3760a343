#pragma once
// Distances in metres as the short texts of the guidance screens and the spoken advice, metric
// ("190m", "2.0km", "12km") or imperial ("190yd", "1.9mls", "5mls"). Safe from any thread.

#include <cstdint>
#include <string>

// Text forms: the bare number, the rounded text with unit, the exact text with unit.
inline constexpr int kDistanceNumber = 0;
inline constexpr int kDistanceRounded = 1;
inline constexpr int kDistanceExact = 2;

// The distance text of metres in one of the kDistance... forms (any other number counts as
// kDistanceExact).
[[nodiscard]] std::u16string FormatDistance(std::int32_t metres, int mode, bool imperial);

// The exact text with unit: the "Distance" label.
[[nodiscard]] std::u16string FormatDistanceText(std::int32_t metres, bool imperial);
// The rounded text with unit; metric distances from 1000 to 10000 m count in whole kilometres.
[[nodiscard]] std::u16string FormatRoundedDistance(std::int32_t metres, bool imperial);
// As FormatRoundedDistance, the number without unit.
[[nodiscard]] std::u16string FormatRoundedDistanceNumber(std::int32_t metres, bool imperial);
