#pragma once
// Street sketches for the map matcher's tests, near 47 degrees north (where an east-west metre is
// about 0.68 of a north-south one in degrees): grid sketches whose rows lie 25 m apart, and the
// ring and lollipop each as one polyline element. Each is written with a MapSetWriter, so it
// serves as a map set for the engine's area query and, read back, as the graph's element list.

#include "testdata/mapsetwriter.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace testdata {

// The grid origin of the sketches (about 9.5 E, 47.0 N) and the grid step: 25 m north-south,
// about 17 m east-west.
inline constexpr MapPoint kMatcherSketchOrigin{7083713, 35045740};
inline constexpr std::int32_t kMatcherSketchSpacing = 168;

struct MatcherSketch {
    GridSketch grid;
    // Per road index: the raw direction bits (1 one-way along, 2 one-way against the points)
    // every element of the road gets; the road network reads `Road::direction` instead.
    std::map<std::size_t, std::uint32_t> rawDirections;
    // Polylines written as one element each ('p'), with the residential type code.
    std::vector<std::vector<MapPoint>> polylines;
};

// Two east-west roads one row (25 m) apart, each of 8 elements between 9 nodes: "North" A..I
// and "South" J..R.
[[nodiscard]] MatcherSketch ParallelRoadsSketch();
// "Main" W-J-E with "Side" J-S running south from its middle.
[[nodiscard]] MatcherSketch TJunctionSketch();
// "Main" W-J-E crossed by "Cross" N-J-S.
[[nodiscard]] MatcherSketch XJunctionSketch();
// "Along" A-B one-way along its points (raw 1), "Against" C-D one-way against them (raw 2).
[[nodiscard]] MatcherSketch OneWayPairSketch();
// size x size nodes (2..7), every row and column a two-way road through them.
[[nodiscard]] MatcherSketch DenseGridSketch(std::size_t size);
// One closed polyline of `corners` points around the origin's neighbourhood (radius ~50 m),
// its last point equal to its first.
[[nodiscard]] MatcherSketch RingSketch(std::size_t corners = 12);
// One polyline: a stick of three points up to a junction, then a closed ring back to it.
[[nodiscard]] MatcherSketch LollipopSketch();

// Adds the sketch; returns the element indexes (grid roads first, in road and node order, then
// the polylines), or nullopt when a road names a missing node or a polyline does not fit.
[[nodiscard]] std::optional<std::vector<std::size_t>> AddMatcherSketch(MapSetWriter& writer,
                                                                       const MatcherSketch& sketch);

} // namespace testdata
