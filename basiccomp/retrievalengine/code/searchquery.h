#pragma once
// The engine's search query record and the record type filter its query settings (QueryDefaults)
// define. Plain values; any thread.

#include "tablefiles/addressinterfaces.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <string>
#include <vector>

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
