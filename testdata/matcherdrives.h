#pragma once
// Drives over the map matcher's sketches: the drive generator walks a path through a sketch's
// grid nodes and the samples become GpsFix batches, one fix a second. Each sample keeps the
// sketch element index of its true position (map it to an element id with the written map set).

#include "positioning/matchedposition.h"
#include "testdata/drivegenerator.h"
#include "testdata/matchersketches.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace testdata {

struct MatcherDrive {
    std::vector<DriveSample> samples; // elementId: the sketch's element index
    std::vector<std::vector<GpsFix>> batches;
};

// The utc day of every matcher drive (2000-01-01) and the tick of its first fix.
inline constexpr std::uint32_t kMatcherDriveDay = 946684800;
inline constexpr std::uint32_t kMatcherDriveFirstTick = 1000;

// The sketch element index of the grid segment between two nodes that follow each other on one
// road (either way round); nullopt when no road joins them directly.
[[nodiscard]] std::optional<std::size_t> SketchSegment(const MatcherSketch& sketch, char a, char b);
// The drive through the nodes in order; nullopt when two of them are not joined by a segment.
[[nodiscard]] std::optional<MatcherDrive> MakeMatcherDrive(const MatcherSketch& sketch,
                                                           std::string_view nodes,
                                                           const DriveSettings& settings);
// 1 Hz, seeded noise of 10 m, a steady speed in km/h.
[[nodiscard]] DriveSettings NoisyDriveSettings(double speedKmh, std::uint32_t seed);

// Fix batches as bytes, for the matcher's fuzz target: a mode byte (bit 0: simple mode), then
// 12 bytes a fix: flags (bit 0 ends a batch), east and north metres from the origin (int16),
// course (u16), speed (u8, km/h), satellites (u8), seconds after the previous fix (u8) and the
// milliseconds that pass after the fix before the matcher runs (u16); little-endian.
inline constexpr std::size_t kEncodedFixSize = 12;

struct EncodedFix {
    bool endsBatch = true;
    std::int16_t east = 0;
    std::int16_t north = 0;
    std::uint16_t course = 0;
    std::uint8_t speed = 0;
    std::uint8_t satellites = 8;
    std::uint8_t seconds = 1;
    std::uint16_t delayMs = 0;
};

struct DecodedFixBatch {
    std::vector<GpsFix> fixes;
    std::uint32_t clockTick = 0; // when the matcher runs
};

struct DecodedFixes {
    bool simple = true;
    std::vector<DecodedFixBatch> batches;
};

[[nodiscard]] std::vector<std::uint8_t> EncodeFixes(bool simple,
                                                    const std::vector<EncodedFix>& fixes);
// Reads whole fixes while they last; a last batch without its end flag still counts.
[[nodiscard]] DecodedFixes DecodeFixes(const std::uint8_t* data, std::size_t size,
                                       const GeoPoint& origin);

} // namespace testdata
