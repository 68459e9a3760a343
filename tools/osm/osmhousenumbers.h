#pragma once
// House numbers of one street onto its elements: each address goes to the element whose line
// passes nearest to it, odd numbers on the element's first side and even ones on its second, and
// each element gets the point along it that stands for its numbers (the projection of its
// addresses' median). The readers take an element's middle point as the place of its numbers,
// so the element's points are written with that point in the middle.

#include "utilities/mapgeometry/mapgeometry.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace osm2nav {

struct HouseAddress {
    MapPoint point;
    std::string number; // "12", "12a", "12-14" ...: the leading number counts
    std::string postcode;
};

struct PlacedNumbers {
    std::vector<std::uint16_t> odd;  // ascending, first side
    std::vector<std::uint16_t> even; // ascending, second side
    GeoPoint at;                     // on the element, where its numbers lie
};

struct HouseNumberPlacement {
    std::map<std::size_t, PlacedNumbers> elements; // by index of the street's element
    std::vector<const HouseAddress*> placed;       // in the order given
    std::uint32_t duplicates = 0;                  // a number the street already has
    std::uint32_t withoutNumber = 0;               // no leading number from 1 to 65534
    std::vector<const HouseAddress*> far;          // farther than kNearestLimitMetres
};

// An address farther than this from every element of the street is not on it.
inline constexpr double kNearestLimitMetres = 300.0;
// Pieces of streets with house numbers end at the first node this far from their start, so that
// their middle lies near their houses.
inline constexpr double kNumberedPieceMetres = 80.0;

// The distance between two points in metres (a plane around them).
[[nodiscard]] double MetresBetween(const MapPoint& a, const MapPoint& b);

// Places the addresses of one street on its elements (each a polyline in map units, at least
// one point). Repeated numbers of the street are counted and left out, the first one kept.
[[nodiscard]] HouseNumberPlacement
PlaceHouseNumbers(const std::vector<std::vector<MapPoint>>& elements,
                  const std::vector<HouseAddress>& addresses);

// The polyline with `at` (a point on it) inserted where it lies along the line, and further
// points on the line beside it, so that it becomes the middle point (index size / 2). The line
// drawn stays the same.
[[nodiscard]] std::vector<GeoPoint> PointsWithMiddleAt(const std::vector<GeoPoint>& points,
                                                       const GeoPoint& at);

// "low-high" of ascending numbers, "n" for one, empty for none.
[[nodiscard]] std::string RangeText(const std::vector<std::uint16_t>& numbers);

} // namespace osm2nav
