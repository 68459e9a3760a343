#pragma once
// Random road worlds by seed for route tests and benchmarks: a perturbed grid with links left out
// (dead ends and gaps), one-way links, a mix of road classes with and without the class-number
// bonus, a few links of kinds 24, 26 and 28, and optionally prohibited turns. The same seed and
// options give the same world on every platform. Optional turn tables, list-2 items and list-4
// data. With two or three levels, arterials on every few grid lines reach level 1 and highways
// on nodes of their own, joined to the grid by ramps, reach level 2.

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
    // Network levels, 1 to 3. From 2 on, every arterialEvery-th grid row and column is a two-way
    // arterial without gaps or detours (classes 2..5 by line) on level 1, and the other grid links
    // draw the slower classes 6, 7 and 9..15 instead of 0..15. With 3, highways (class 0) run
    // half a spacing above every highwayEvery-th row and right of every highwayEvery-th column,
    // on nodes of their own every arterialEvery lines and where they cross; ramps (class 1) join
    // them to the arterial crossing beside them every rampEvery lines, from half that on. Highways
    // and ramps are on level 2. The three spacings count grid lines and round to multiples of
    // arterialEvery.
    std::uint32_t levels = 1;
    std::uint32_t arterialEvery = 5;
    std::uint32_t highwayEvery = 40;
    std::uint32_t rampEvery = 20;
};

struct RandomWorld {
    RoadWorld world;
    // By node: prohibited turns; list-2 items {to, from, arrival at the crossing before, ...}
    // with the pending-path flag on every link of their path, at both ends; list-4 entries.
    std::map<std::uint32_t, CrossingExtras> extras;
    std::uint32_t levels = 1;
};

// The world for the seed; element ids are 1, 2, ... in link order, grid nodes first (row by row,
// `columns` to a row), then highway nodes. Levels outside 1..3 count as the nearest of them.
[[nodiscard]] RandomWorld MakeRandomWorld(const RandomWorldOptions& options);

// Optimisation starts of the upper levels in RandomWorldNetworkOptions; element ids stay below.
inline constexpr std::int64_t kRandomWorldChainStarts[3] = {-1, 0x1000000, 0x2000000};

// Network options that write the world: one map per level and the extras on level 0. With
// chains, levels 1 and 2 merge their chains into optimised links (kRandomWorldChainStarts) with
// O2S (5 columns) and S2O tables; without, every upper link is the world link itself.
[[nodiscard]] RoadNetworkOptions RandomWorldNetworkOptions(const RandomWorld& random,
                                                           bool withChains);

} // namespace testdata
