#include "testdata/matcherdrives.h"

#include "testdata/gpsfixbatches.h"

namespace testdata {

namespace {

DrivePoint ToDrivePoint(const MapPoint& point) {
    const GeoPoint degrees = MapPointToDegrees(point);
    return {degrees.y, degrees.x};
}

} // namespace

std::optional<std::size_t> SketchSegment(const MatcherSketch& sketch, char a, char b) {
    std::size_t base = 0;
    for (const GridSketch::Road& road : sketch.grid.roads) {
        for (std::size_t s = 0; s + 1 < road.nodes.size(); ++s) {
            const char from = road.nodes[s];
            const char to = road.nodes[s + 1];
            if ((from == a && to == b) || (from == b && to == a)) {
                return base + s;
            }
        }
        base += road.nodes.empty() ? 0 : road.nodes.size() - 1;
    }
    return std::nullopt;
}

std::optional<MatcherDrive> MakeMatcherDrive(const MatcherSketch& sketch, std::string_view nodes,
                                             const DriveSettings& settings) {
    DriveGenerator generator;
    for (std::size_t i = 0; i + 1 < nodes.size(); ++i) {
        const auto segment = SketchSegment(sketch, nodes[i], nodes[i + 1]);
        const auto from = MapSetWriter::NodePosition(sketch.grid, nodes[i]);
        const auto to = MapSetWriter::NodePosition(sketch.grid, nodes[i + 1]);
        if (!segment || !from || !to) {
            return std::nullopt;
        }
        generator.AddPiece(static_cast<int>(*segment), {ToDrivePoint(*from), ToDrivePoint(*to)});
    }
    MatcherDrive drive;
    drive.samples = generator.Generate(settings);
    drive.batches = ToGpsFixBatches(drive.samples, kMatcherDriveDay, kMatcherDriveFirstTick);
    return drive;
}

DriveSettings NoisyDriveSettings(double speedKmh, std::uint32_t seed) {
    DriveSettings settings;
    settings.speedProfile = {{0.0, speedKmh}};
    settings.noiseMetres = 10.0;
    settings.seed = seed;
    return settings;
}

} // namespace testdata
