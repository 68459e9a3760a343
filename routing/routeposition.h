#pragma once
// The two ends of a route calculation and its switches: a position on a road element (or on a
// crossing when it has no element), the calculation flags, and the route position, a small set
// of such entries. The entries and flags are fixed layouts and plain values.

#include "basiccomp/retrievalengine/code/ielementcursor.h"
#include "utilities/mapgeometry/mapgeometry.h"

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

// Where a route starts or ends: the candidates a calculation may use, and how they were made.
// Made by RoutePositionImpl (routing/routepositionimpl.h); read-only once made, so any thread
// may read it.
class RoutePosition {
public:
    // How a position was made (GetKind).
    static constexpr std::uint32_t kNoCandidate = 0;
    static constexpr std::uint32_t kOnElement = 1;    // a point projected onto the given element
    static constexpr std::uint32_t kNearestRoad = 2;  // a point attached to the nearest road
    static constexpr std::uint32_t kCurrent = 3;      // the current matched position
    static constexpr std::uint32_t kPointElement = 4; // a point element, at its nearest road
    static constexpr std::uint32_t kAddress = 5;      // a located address without house number
    static constexpr std::uint32_t kAddressWithNumber = 6;

    virtual ~RoutePosition() = default;
    [[nodiscard]] virtual std::uint32_t GetKind() const = 0;
    // The element id of the only candidate; 0xFFFFFFFF unless there is exactly one.
    [[nodiscard]] virtual std::uint32_t GetSingleElementId() const = 0;
    // The point of the only candidate; (0, 0) unless there is exactly one.
    [[nodiscard]] virtual GeoPoint GetSinglePoint() const = 0;
    [[nodiscard]] virtual const RoutePositionEntry* Begin() const = 0;
    [[nodiscard]] virtual const RoutePositionEntry* End() const = 0;
    [[nodiscard]] virtual std::uint32_t Count() const = 0;
};

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
