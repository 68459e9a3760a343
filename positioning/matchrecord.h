#pragma once
// The map matcher's records: one processed fix with its matching result, a scored candidate built
// from one, and a mark of the route the matcher prefers. Plain values.

#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>

// An element id that names no element.
inline constexpr std::uint32_t kNoElement = 0xFFFFFFFFu;

struct MatchRecord {
    static constexpr std::uint8_t kProcessed = 1;  // went through the matcher's update
    static constexpr std::uint8_t kOffNetwork = 2; // no street matched here
    static constexpr std::int32_t kNoStreet = -1;

    std::uint32_t time = 0; // the fix's utc time, seconds
    GeoPoint raw;           // the fix's position, degrees
    std::uint16_t course = 0;
    std::uint16_t speed = 0; // km/h
    float hdop = 0.0f;
    std::uint8_t satellites = 0;
    std::uint16_t spareStatus = 0; // read as a distance limit in metres
    std::uint32_t tick = 0;        // ms
    GeoPoint snapped;              // the matched point on the street
    GeoPoint segmentStart;         // the segment carrying the snapped point, in driving order
    GeoPoint segmentEnd;
    GeoPoint predicted; // the snapped point pushed forward in time
    GeoPoint predictedStart;
    GeoPoint predictedEnd;
    std::int32_t street = kNoStreet;
    std::uint16_t heading = 0;      // degrees in driving direction
    float error = 1000.0f;          // lower is better
    std::uint16_t searchRadius = 0; // metres
    std::uint8_t flags = 0;

    [[nodiscard]] bool HasStreet() const { return street != kNoStreet; }
    [[nodiscard]] bool IsProcessed() const { return (flags & kProcessed) != 0; }
    [[nodiscard]] bool IsOffNetwork() const { return (flags & kOffNetwork) != 0; }
};

// A candidate result with its penalties (whole points) and total score. The penalties are
// written by the scoring before they are read.
struct MatchCandidate {
    MatchRecord record;
    std::int32_t age = 0; // count of the path it came from; 0 for route candidates
    std::int32_t headingPenalty = 0;
    std::int32_t distancePenalty = 0;
    std::int32_t jumpPenalty = 0;
    std::int32_t offsetPenalty = 0;
    float total = 0.0f;
};

// One record of the route: the element it runs on and, once the street graph knows the element,
// one of its points in driving order.
struct RouteMark {
    GeoPoint point;
    std::uint32_t elementId = 0;
    std::uint8_t hasGeometry = 0; // 1: point is a point of the route's geometry
};
