#pragma once
// The process-wide pick record: the map element the user picked last on a map view, which the
// pages read. Any thread; each call copies the whole record under one lock.

#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <string>
#include <string_view>

struct PickRecord {
    bool valid = false;          // false until the first pick and after Clear
    std::uint32_t elementId = 0; // the picked element
    std::u16string streetName;   // the element's name up to its first '/'
    std::u16string areaName;     // the name of the element's area
    GeoPoint point;              // where the picked element lies, degrees
};

namespace pickrecord {

// The part of an element name that is its street name: everything before the first '/'.
[[nodiscard]] std::u16string_view StreetNameOf(std::u16string_view elementName);

// Replaces the record: the element, its name cut by StreetNameOf, its area name and point.
void Set(std::uint32_t elementId, std::u16string_view elementName, std::u16string_view areaName,
         const GeoPoint& point);
// A copy of the record.
[[nodiscard]] PickRecord Get();
// Back to no pick.
void Clear();

} // namespace pickrecord
