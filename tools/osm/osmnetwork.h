#pragma once
// The converter's road network: the writer options for every level asked for (optimised links
// and their id tables above level 0), the read-back of what was written through the system's
// network reader, and the summary lines per level.

#include "testdata/roadnetworkwriter.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

class RoadNetwork;

namespace osm2nav {

// A link's length: metres along its element's points (map units, measured as the float degrees
// the engine yields) on the system's earth sphere (GreatCircleDistance), the metres the route
// service measures along elements too, in 5 m units rounded, at least 1 and at most 32767.
[[nodiscard]] std::uint32_t LinkLengthUnits(const std::vector<MapPoint>& points);

// Options for `levels` network levels over map elements whose ids are at most `largestElementId`;
// the optimised ids of each upper level start above every element id and every id of the level
// below (at most two per link of `linkCount`).
[[nodiscard]] testdata::RoadNetworkOptions NetworkOptions(std::uint32_t levels, bool isPacked,
                                                          std::uint32_t largestElementId,
                                                          std::size_t linkCount);

// Compares the loaded network with what the writer laid out: the level count, and per level
// every crossing (its id, position bit for bit, link count and the same crossing one level up)
// and every optimised link (its elements through the O2S table, its id through the S2O table).
// Empty when all agree, else what differs; an upper level without crossings is refused (routes
// that climb to it would find no way on).
[[nodiscard]] std::string CheckNetwork(RoadNetwork& loaded,
                                       const testdata::RoadNetworkWriter& writer);

// "road network level L: C crossings, K links, M optimised" for every level written.
void PrintNetwork(const testdata::RoadNetworkWriter& writer, std::ostream& out);

} // namespace osm2nav
