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

} // namespace testdata
