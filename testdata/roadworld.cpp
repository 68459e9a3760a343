#include "testdata/roadworld.h"

#include <algorithm>
#include <cmath>

namespace testdata {

std::uint32_t FlatWorldLengthUnits(const MapPoint& a, const MapPoint& b) {
    const double dx = static_cast<double>(b.x) - a.x;
    const double dy = static_cast<double>(b.y) - a.y;
    const double metres = std::sqrt(dx * dx + dy * dy) * kMetresPerMapUnit;
    return static_cast<std::uint32_t>(std::clamp(std::lround(metres / 5.0), 1l, 32767l));
}

std::optional<std::uint32_t> RoadWorld::NodeNamed(char name) const {
    const auto found = std::find(nodeNames.begin(), nodeNames.end(), name);
    if (found == nodeNames.end()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(found - nodeNames.begin());
}

GeoPoint RoadWorld::PointAlong(std::uint32_t from, std::uint32_t to, double t) const {
    const MapPoint a = nodes[from];
    const MapPoint b = nodes[to];
    return MapPointToDegrees({a.x + static_cast<std::int32_t>((b.x - a.x) * t),
                              a.y + static_cast<std::int32_t>((b.y - a.y) * t)});
}

std::uint32_t RoadWorld::ElementBetween(std::uint32_t a, std::uint32_t b) const {
    for (const auto& link : links) {
        if ((link.from == a && link.to == b) || (link.from == b && link.to == a)) {
            return link.elementId;
        }
    }
    return 0xFFFFFFFF;
}

std::optional<std::uint32_t> RoadWorld::LinkBetween(char a, char b) const {
    const auto from = NodeNamed(a);
    const auto to = NodeNamed(b);
    for (std::uint32_t i = 0; from && to && i < links.size(); ++i) {
        if ((links[i].from == *from && links[i].to == *to) ||
            (links[i].from == *to && links[i].to == *from)) {
            return i;
        }
    }
    return std::nullopt;
}

GeoRect RoadWorld::Bounds() const {
    if (nodes.empty()) {
        return {};
    }
    MapRect box{nodes[0].x, nodes[0].y, nodes[0].x, nodes[0].y};
    for (const MapPoint& node : nodes) {
        box.Extend(node);
    }
    return MapUnitsToDegrees(box);
}

std::optional<RoadWorld> RoadWorld::FromSketch(const GridSketch& sketch, MapSetWriter& writer) {
    const auto indexes = writer.AddSketch(sketch);
    if (!indexes) {
        return std::nullopt;
    }
    (void)writer.Build();
    const std::vector<std::uint32_t>& ids = writer.GetElementIds();
    RoadWorld world;
    const auto nodeOf = [&](char name) {
        if (const auto known = world.NodeNamed(name)) {
            return *known;
        }
        world.nodeNames.push_back(name);
        world.nodes.push_back(*MapSetWriter::NodePosition(sketch, name));
        return static_cast<std::uint32_t>(world.nodes.size() - 1);
    };
    std::size_t segment = 0;
    for (const GridSketch::Road& road : sketch.roads) {
        for (std::size_t i = 1; i < road.nodes.size(); ++i, ++segment) {
            WorldLink link;
            link.from = nodeOf(road.nodes[i - 1]);
            link.to = nodeOf(road.nodes[i]);
            if (link.from == link.to) {
                return std::nullopt;
            }
            link.elementId = ids[(*indexes)[segment]];
            link.lengthUnits = FlatWorldLengthUnits(world.nodes[link.from], world.nodes[link.to]);
            link.roadClass = road.roadClass;
            link.extendedBit = road.extendedBit;
            link.extendedCode = road.extendedCode;
            link.isOneWay = road.direction == GridSketch::Direction::OneWay;
            link.level = road.level;
            world.links.push_back(link);
        }
    }
    return world;
}

RoadWorld RoadWorld::Grid(std::uint32_t columns, std::uint32_t rows, std::int32_t spacing,
                          MapPoint origin, std::uint32_t levels) {
    RoadWorld world;
    world.nodes.reserve(std::size_t{columns} * rows);
    for (std::uint32_t row = 0; row < rows; ++row) {
        for (std::uint32_t column = 0; column < columns; ++column) {
            world.nodes.push_back({origin.x + static_cast<std::int32_t>(column) * spacing,
                                   origin.y + static_cast<std::int32_t>(row) * spacing});
        }
    }
    const auto levelOf = [&](std::uint32_t line) -> std::uint8_t {
        if (levels > 2 && line % 28 == 0) {
            return 2;
        }
        return levels > 1 && line % 7 == 0 ? 1 : 0;
    };
    const std::uint32_t length = FlatWorldLengthUnits({0, 0}, {spacing, 0});
    for (std::uint32_t row = 0; row < rows; ++row) {
        for (std::uint32_t column = 0; column < columns; ++column) {
            const std::uint32_t node = row * columns + column;
            WorldLink link;
            link.lengthUnits = length;
            link.roadClass = static_cast<std::uint8_t>(4 + (node % 5));
            if (column + 1 < columns) {
                link.from = node;
                link.to = node + 1;
                link.level = levelOf(row);
                link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
                world.links.push_back(link);
            }
            if (row + 1 < rows) {
                link.from = node;
                link.to = node + columns;
                link.level = levelOf(column);
                link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
                world.links.push_back(link);
            }
        }
    }
    return world;
}

} // namespace testdata
