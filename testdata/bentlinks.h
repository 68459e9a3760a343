#pragma once
// Bends for the links of a road world, for map sets whose polylines are not straight lines: a
// share of the links, drawn by seed, run through one to three inner points set off sideways, so
// that which end of a polyline lies nearer a point and where a point projects onto it matter.

#include "testdata/roadworld.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <map>
#include <vector>

namespace testdata {

// Per link index: inner points (map units) for WorldMapSetOptions::bends. Each point is set off
// by up to a quarter of the link's straight length, so a bent link stays near its own nodes.
// The same world, seed and percent give the same bends.
[[nodiscard]] std::map<std::uint32_t, std::vector<MapPoint>>
BendWorldLinks(const RoadWorld& world, std::uint32_t seed, std::uint32_t percent);

} // namespace testdata
