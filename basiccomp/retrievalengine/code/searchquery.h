#pragma once
// The engine's query settings and search query record, and the record type filter they define.
// Plain values; any thread.

#include "mapdisplay/mapgeometry.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

// The query settings the engine copies into every search query.
struct QueryDefaults {
    std::int32_t lowerTypeCode = -1; // -1: no range
    std::int32_t upperTypeCode = -1;
    std::set<std::int16_t> typeCodes; // not empty: exactly these codes
    std::uint8_t secondListFlag = 1;  // take the hits of the second match predicate too
    std::uint8_t distanceFlag = 0;    // 0: compute distances for point hits
    std::uint8_t thirdFlag = 1;

    friend bool operator==(const QueryDefaults&, const QueryDefaults&) = default;
};

struct SearchQuery {
    MapRect rect;                       // map units
    std::u16string name;                // empty: any name
    std::vector<std::uint32_t> areaIds; // ascending; empty: no area filter
    std::u16string postalCode;          // empty: no postal-code filter
    std::uint32_t radiusFlag = 0;       // 1 for a search around a point
    std::int32_t radiusMetres = 0;      // around: the radius; along: the distance
    std::vector<GeoPoint> points;       // along: the geometry, in order
    QueryDefaults defaults;
};

// Whether a record of this type code (taken as signed 16 bits) passes: exactly the codes of a
// non-empty set; else every code when the lower code is -1; else lower <= code < upper.
bool QueryTypeFilter(const QueryDefaults& defaults, std::uint16_t typeCode);
