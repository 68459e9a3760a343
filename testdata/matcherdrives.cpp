#include "testdata/matcherdrives.h"

#include "testdata/gpsfixbatches.h"

#include <cmath>
#include <numbers>

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

namespace {

constexpr double kMetresPerDegree = 111320.0;

template <class T> void Put(std::vector<std::uint8_t>& out, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i)));
    }
}

template <class T> T Get(const std::uint8_t* at) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        value |= std::uint64_t{at[i]} << (8 * i);
    }
    return static_cast<T>(value);
}

} // namespace

std::vector<std::uint8_t> EncodeFixes(bool simple, const std::vector<EncodedFix>& fixes) {
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(simple ? 1 : 0)};
    for (const EncodedFix& fix : fixes) {
        Put<std::uint8_t>(out, fix.endsBatch ? 1 : 0);
        Put<std::uint16_t>(out, static_cast<std::uint16_t>(fix.east));
        Put<std::uint16_t>(out, static_cast<std::uint16_t>(fix.north));
        Put(out, fix.course);
        Put(out, fix.speed);
        Put(out, fix.satellites);
        Put(out, fix.seconds);
        Put(out, fix.delayMs);
    }
    return out;
}

DecodedFixes DecodeFixes(const std::uint8_t* data, std::size_t size, const GeoPoint& origin) {
    DecodedFixes decoded;
    if (size == 0) {
        return decoded;
    }
    decoded.simple = (data[0] & 1) != 0;
    const double eastPerDegree = kMetresPerDegree * std::cos(origin.y * std::numbers::pi / 180.0);
    std::uint32_t time = kMatcherDriveDay;
    std::uint32_t tick = kMatcherDriveFirstTick;
    DecodedFixBatch batch;
    for (std::size_t at = 1; at + kEncodedFixSize <= size; at += kEncodedFixSize) {
        const std::uint8_t* p = data + at;
        time += p[9];
        tick += 1000u * p[9];
        GpsFix fix;
        fix.longitude = static_cast<float>(origin.x + Get<std::int16_t>(p + 1) / eastPerDegree);
        fix.latitude = static_cast<float>(origin.y + Get<std::int16_t>(p + 3) / kMetresPerDegree);
        fix.positionStatus = 0;
        fix.course = Get<std::uint16_t>(p + 5);
        fix.courseStatus = 0;
        fix.speed = p[7];
        fix.speedStatus = 0;
        fix.satellites = p[8];
        fix.hdop = 1.0f;
        fix.utcTime = time;
        fix.tick = tick;
        batch.fixes.push_back(fix);
        batch.clockTick = tick + Get<std::uint16_t>(p + 10);
        if ((p[0] & 1) != 0) {
            decoded.batches.push_back(std::move(batch));
            batch = {};
        }
    }
    if (!batch.fixes.empty()) {
        decoded.batches.push_back(std::move(batch));
    }
    return decoded;
}

} // namespace testdata
