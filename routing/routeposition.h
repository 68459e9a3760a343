#pragma once
// The two ends of a route calculation and its switches: a position on a road element (or on a
// crossing when it has no element) and the calculation flags. Fixed layouts; plain values.

#include "basiccomp/retrievalengine/code/ielementcursor.h"
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

// Whether a position may be attached to an element of the road query (types 1001 to 1099) as
// its nearest road: a pedestrian zone always; any other kind but maprecord::kUnattachedType
// only with an id and a driving direction in its unpacked attribute word (0x200 or 0x400).
[[nodiscard]] bool IsNearestRoadCandidate(std::uint16_t typeCode, std::uint32_t elementId,
                                          const ElementAttributes& attributes);
