#pragma once
// Route records: one road link of a route in driving order, a plain value. RecordAttributes
// packs a link's 11-bit attribute code and its direction code into 16 bits; the field order is
// kept because consumers read the record's words.

#include "routing/crossingrecord.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <vector>

class LinkCursor;

// Low byte: code bits 0-7; high byte: bits 0-1 direction, bits 3-5 code bits 8-10.
struct RecordAttributes {
    std::uint16_t value = 0;

    [[nodiscard]] static RecordAttributes FromCursor(const LinkCursor& cursor);
    [[nodiscard]] static RecordAttributes Make(std::uint32_t attributeCode,
                                               std::uint32_t directionCode);
    // The 11-bit attribute code (the speed table's index).
    [[nodiscard]] std::uint32_t AttributeCode() const;
    [[nodiscard]] std::uint32_t DirectionCode() const { return (value >> 8) & 3u; }
};

struct RouteRecord {
    float x = 0.0f; // degrees: where the link is entered (the start position for the first)
    float y = 0.0f;
    std::uint32_t linkId = 0xFFFFFFFF; // -1: tied to no link
    std::int32_t length = 0;           // metres
    std::int32_t time = 0;             // seconds
    std::uint32_t elementAttributes = 0;
    std::vector<GeoPoint> polyline;
    RecordAttributes attributes;
    CrossingAddress crossing;
};

// (int)(length / speed x 3.6): seconds for metres at km/h, as floats before truncation.
[[nodiscard]] std::int32_t RecordTime(float lengthMetres, float speedKmh);
