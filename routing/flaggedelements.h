#pragma once
// Road elements flagged by traffic messages: element keys turned into element end points, and the
// entries the route service keeps of them, each with a value byte it shares with the road network.
// Entries are changed only under the route service's lock.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "routing/optimisedlinks.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// An element and one of its end points (degrees): the item the road network places.
using FlaggedPoint = FlaggedElement;
static_assert(sizeof(FlaggedPoint) == 12);

// Element keys: bits 0-27 the element id; bits 31 and 30 pick the end (1, 0: the first vertex
// without a direction; 0, 1: the first vertex with one; 0, 0 and 1, 1: the last vertex with one).
inline constexpr std::uint32_t kElementKeyIdMask = 0x0FFFFFFF;

// Bits 0-6 of the value byte hold the value halved (0 closes the road); bit 7 set means the value
// is a speed in km/h that caps the road's speed, clear a percentage of its speed.
[[nodiscard]] constexpr std::uint8_t FlaggedValueByte(std::uint8_t value, bool isAbsolute) {
    return static_cast<std::uint8_t>((isAbsolute ? 0x80u : 0u) | (value >> 1));
}

struct FlaggedPoints {
    std::vector<FlaggedPoint> points; // in key order, for each key whose element was found
    std::uint32_t directionKey = 0;   // 1 when a found key asks for a direction
};

// The end points of the keys' elements through the engine; keys whose element or polyline is
// missing are skipped. When some key asks for a direction, a key without one gives both ends of
// its element. An empty result when no key yields a point.
[[nodiscard]] FlaggedPoints BuildFlaggedPoints(RetrievalEngine::IRetrievalEngine& engine,
                                               std::span<const std::uint32_t> keys);

struct FlaggedElementEntry {
    std::vector<FlaggedPoint> points;
    std::shared_ptr<std::uint8_t> speedByte; // shared with the road network's annotations
    std::uint32_t directionKey = 0;

    // The same stretch: equal direction keys and equal points (coordinates compared exactly).
    [[nodiscard]] bool IsSameStretch(const FlaggedPoints& other) const;
    // The list the road network registers and removes.
    [[nodiscard]] FlaggedElementList ToList() const;
};
