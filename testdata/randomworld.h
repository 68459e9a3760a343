#pragma once
// Random single-level road worlds by seed for route tests and benchmarks: a perturbed grid with
// links left out (dead ends and gaps), one-way links, a mix of road classes with and without the
// class-number bonus, a few links of kinds 24, 26 and 28, and optionally prohibited turns. The
// same seed and options give the same world on every platform. Optional turn tables, list-2
// items and list-4 data.

#include "testdata/roadnetworkwriter.h"
#include "testdata/roadworld.h"

#include <cstdint>
#include <map>

namespace testdata {

struct RandomWorldOptions {
    std::uint32_t seed = 1;
    std::uint32_t columns = 10;
    std::uint32_t rows = 10;
    std::int32_t spacing = 1000; // map units between grid lines (about 150 m)
    std::int32_t jitter = 300;   // largest shift of a node in map units
    MapPoint origin{1000000, 6000000};
    std::uint32_t missingPercent = 15; // grid links left out
    std::uint32_t oneWayPercent = 15;
    std::uint32_t specialPercent = 20;  // classes 16..23 (no class-number bonus)
    std::uint32_t kindPercent = 0;      // kinds 24, 26 and 28 (closed to cars)
    std::uint32_t detourPercent = 20;   // links longer than the straight line
    std::uint32_t turnTablePercent = 0; // crossings with a turn table
    std::uint32_t listItemPercent = 0;  // crossings with a list-2 item over two links
    std::uint32_t listItemLinks = 2;    // longest path of such an item, in links (2 to 14)
    std::uint32_t list4Percent = 0;     // two-way links one-way for cars in mode 2
};

struct RandomWorld {
    RoadWorld world;
    // By node: prohibited turns; list-2 items {to, from, arrival at the crossing before, ...}
    // with the pending-path flag on every link of their path, at both ends; list-4 entries.
    std::map<std::uint32_t, CrossingExtras> extras;
};

// The world for the seed; element ids are 1, 2, ... in link order.
[[nodiscard]] RandomWorld MakeRandomWorld(const RandomWorldOptions& options);

} // namespace testdata
