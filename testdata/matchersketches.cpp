#include "testdata/matchersketches.h"

#include <cmath>
#include <numbers>
#include <string>

namespace testdata {

namespace {

MatcherSketch Grid(std::vector<std::string> rows, std::vector<GridSketch::Road> roads) {
    MatcherSketch sketch;
    sketch.grid.rows = std::move(rows);
    sketch.grid.roads = std::move(roads);
    sketch.grid.origin = kMatcherSketchOrigin;
    sketch.grid.spacing = kMatcherSketchSpacing;
    return sketch;
}

GridSketch::Road Road(const char* name, const char* nodes) {
    GridSketch::Road road;
    road.name = name;
    road.nodes = nodes;
    return road;
}

// A point `metres` east and north of the centre, in map units (east shrunk by cos 47 degrees).
MapPoint Offset(const MapPoint& centre, double east, double north) {
    const double perMetre = kMapUnitsPerMetre;
    const double cosine = std::cos(47.0 * std::numbers::pi / 180.0);
    return {centre.x + static_cast<std::int32_t>(std::lround(east * perMetre / cosine)),
            centre.y + static_cast<std::int32_t>(std::lround(north * perMetre))};
}

std::vector<MapPoint> Circle(const MapPoint& centre, double radius, std::size_t corners,
                             double startDegrees) {
    std::vector<MapPoint> points;
    for (std::size_t i = 0; i < corners; ++i) {
        const double angle =
            (startDegrees + 360.0 * static_cast<double>(i) / static_cast<double>(corners)) *
            std::numbers::pi / 180.0;
        points.push_back(Offset(centre, radius * std::cos(angle), radius * std::sin(angle)));
    }
    return points;
}

} // namespace

MatcherSketch ParallelRoadsSketch() {
    return Grid({"ABCDEFGHI", "JKLMNOPQR"},
                {Road("North", "ABCDEFGHI"), Road("South", "JKLMNOPQR")});
}

MatcherSketch TJunctionSketch() {
    return Grid({"W...J...E", ".........", ".........", "....S...."},
                {Road("Main", "WJE"), Road("Side", "JS")});
}

MatcherSketch XJunctionSketch() {
    return Grid({"....N....", ".........", "W...J...E", ".........", "....S...."},
                {Road("Main", "WJE"), Road("Cross", "NJS")});
}

MatcherSketch OneWayPairSketch() {
    MatcherSketch sketch =
        Grid({"A.......B", "C.......D"}, {Road("Along", "AB"), Road("Against", "CD")});
    sketch.grid.roads[0].direction = GridSketch::Direction::OneWay;
    sketch.rawDirections = {{0, maprecord::kRawOneWayAlong}, {1, maprecord::kRawOneWayAgainst}};
    return sketch;
}

MatcherSketch DenseGridSketch(std::size_t size) {
    static constexpr char kNames[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvw";
    size = std::min<std::size_t>(std::max<std::size_t>(size, 2), 7);
    std::vector<std::string> rows(size);
    for (std::size_t r = 0; r < size; ++r) {
        for (std::size_t c = 0; c < size; ++c) {
            rows[r] += kNames[r * size + c];
        }
    }
    std::vector<GridSketch::Road> roads;
    for (std::size_t i = 0; i < size; ++i) {
        GridSketch::Road row;
        row.name = "Row " + std::to_string(i);
        row.nodes = rows[i];
        roads.push_back(row);
        GridSketch::Road column;
        column.name = "Column " + std::to_string(i);
        for (std::size_t r = 0; r < size; ++r) {
            column.nodes += rows[r][i];
        }
        roads.push_back(column);
    }
    return Grid(std::move(rows), std::move(roads));
}

MatcherSketch RingSketch(std::size_t corners) {
    MatcherSketch sketch;
    std::vector<MapPoint> ring = Circle(Offset(kMatcherSketchOrigin, 100, 100), 50.0, corners, 0);
    ring.push_back(ring.front());
    sketch.polylines.push_back(std::move(ring));
    return sketch;
}

MatcherSketch LollipopSketch() {
    MatcherSketch sketch;
    const MapPoint centre = Offset(kMatcherSketchOrigin, 100, 150);
    // The ring starts at its southernmost corner, where the stick from the south meets it.
    std::vector<MapPoint> ring = Circle(centre, 50.0, 10, 270.0);
    std::vector<MapPoint> line = {Offset(centre, 0, -150), Offset(centre, 0, -100)};
    line.insert(line.end(), ring.begin(), ring.end());
    line.push_back(ring.front());
    sketch.polylines.push_back(std::move(line));
    return sketch;
}

std::optional<std::vector<std::size_t>> AddMatcherSketch(MapSetWriter& writer,
                                                         const MatcherSketch& sketch) {
    std::vector<std::size_t> indexes;
    if (!sketch.grid.roads.empty()) {
        auto added = writer.AddSketch(sketch.grid);
        if (!added) {
            return std::nullopt;
        }
        // Element k of the sketch belongs to the road whose segments cover it.
        std::size_t k = 0;
        for (std::size_t road = 0; road < sketch.grid.roads.size(); ++road) {
            const std::size_t segments = sketch.grid.roads[road].nodes.size() - 1;
            const auto raw = sketch.rawDirections.find(road);
            for (std::size_t s = 0; s < segments; ++s, ++k) {
                if (raw != sketch.rawDirections.end()) {
                    const std::size_t index = (*added)[k];
                    const std::uint32_t word = writer.GetElements()[index].attributes;
                    writer.SetAttributes(index,
                                         (word & ~maprecord::kRawDirectionMask) | raw->second);
                }
            }
        }
        indexes = std::move(*added);
    }
    for (const std::vector<MapPoint>& polyline : sketch.polylines) {
        ElementDescription element;
        element.typeLetter = 'p';
        element.points = polyline;
        element.typeCode = maprecord::kResidentialType;
        const auto index = writer.Add(element);
        if (!index) {
            return std::nullopt;
        }
        indexes.push_back(*index);
    }
    return indexes;
}

} // namespace testdata
