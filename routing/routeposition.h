#pragma once
// The two ends of a route calculation and its switches: a position on a road element (or on a
// crossing when it has no element) and the calculation flags. Fixed layouts; plain values.

#include "mapdisplay/mapgeometry.h"

#include <array>
#include <cstddef>
#include <cstdint>

struct RoutePositionEntry {
    GeoPoint point;                       // the place on the element
    GeoPoint nodePoint;                   // the element end the offset is measured from
    std::uint32_t elementId = 0xFFFFFFFF; // none: the position is a crossing
    float offset = 0.0f;                  // metres from nodePoint to point
};
static_assert(sizeof(RoutePositionEntry) == 24);

struct CalculationFlags {
    std::uint8_t keepStartHeading = 0; // leave the start link only through its far crossing
    std::uint8_t allowReuse = 0;       // the saved destination search may be reused
    std::array<std::uint8_t, 2> padding{};
    std::uint32_t word = 0;
    std::uint8_t useAnnotations = 0; // flagged road elements count in this calculation
    std::array<std::uint8_t, 3> tail{};
};
static_assert(sizeof(CalculationFlags) == 12);
static_assert(offsetof(CalculationFlags, useAnnotations) == 8);
