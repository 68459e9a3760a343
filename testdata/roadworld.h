#pragma once
// The world model shared by the map-set and road-network writers: crossings (nodes in map units)
// and the links between them, each with its map element id, length, class, direction and the
// highest network level it reaches. Made from a grid sketch (through a MapSetWriter, so that the
// network's element ids are the map set's) or as a plain grid for large worlds.

#include "testdata/mapsetwriter.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace testdata {

struct WorldLink {
    std::uint32_t from = 0; // node indexes; one-way links run from `from` to `to`
    std::uint32_t to = 0;
    std::uint32_t elementId = 0;
    std::uint32_t lengthUnits = 1; // units of 5 m, 1..32767
    std::uint8_t roadClass = 4;
    bool extendedBit = false;
    std::uint8_t extendedCode = 0;
    bool isOneWay = false;
    std::uint8_t level = 0;
};

struct RoadWorld {
    std::vector<MapPoint> nodes;
    std::vector<WorldLink> links;
    std::vector<char> nodeNames; // sketch worlds: the node's character

    // The node's position as the map data yields it: map units to float degrees.
    [[nodiscard]] GeoPoint Position(std::uint32_t node) const {
        return MapPointToDegrees(nodes[node]);
    }
    // The node of a sketch character.
    [[nodiscard]] std::optional<std::uint32_t> NodeNamed(char name) const;
    // The link between two sketch nodes (either direction).
    [[nodiscard]] std::optional<std::uint32_t> LinkBetween(char a, char b) const;
    // The bounds of all nodes in degrees.
    [[nodiscard]] GeoRect Bounds() const;
    // Degrees at the fraction t (0..1) of the straight way from node `from` to node `to`.
    [[nodiscard]] GeoPoint PointAlong(std::uint32_t from, std::uint32_t to, double t) const;
    // The element id of the link between two nodes (either direction); 0xFFFFFFFF when none.
    [[nodiscard]] std::uint32_t ElementBetween(std::uint32_t a, std::uint32_t b) const;

    // Adds the sketch to the writer, builds it for the element ids and returns the world of its
    // roads: one link per segment, lengths by FlatWorldLengthUnits. Nullopt when the
    // sketch does not add or a segment joins a node to itself.
    [[nodiscard]] static std::optional<RoadWorld> FromSketch(const GridSketch& sketch,
                                                             MapSetWriter& writer);
    // columns x rows nodes `spacing` map units apart from `origin`, joined to their right and
    // upper neighbours by two-way links with element ids 1, 2, ... Every seventh column and row
    // reaches level 1 when levels > 1, every 28th level 2 when levels > 2.
    [[nodiscard]] static RoadWorld Grid(std::uint32_t columns, std::uint32_t rows,
                                        std::int32_t spacing, MapPoint origin,
                                        std::uint32_t levels = 1);
};

// The length of a straight link of the synthetic worlds, which lie on a flat plane of
// kMetresPerMapUnit on both axes (not the earth: east-west lengths at real latitudes come out too
// long): round(metres / 5), at least 1 and at most 32767.
[[nodiscard]] std::uint32_t FlatWorldLengthUnits(const MapPoint& a, const MapPoint& b);

} // namespace testdata
