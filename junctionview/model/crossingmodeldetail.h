#pragma once
// Helpers shared by the sources of the crossing model.

#include "junctionview/model/junctiongeometry.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace junctionview {

// Coordinates beyond this many degrees are no positions.
inline constexpr float kMaxDegrees = 1000.0f;

// Finite and within kMaxDegrees.
[[nodiscard]] bool IsUsablePoint(const GeoPoint& point);
[[nodiscard]] bool IsUsableGeometry(const std::vector<GeoPoint>& points);
// An arm of a roundabout: where it meets the ring (two points for a carriageway pair), and the
// elements by which the route enters and leaves the ring there (0: none).
struct RingArm {
    GeoPoint first;
    GeoPoint second;
    bool isMerged = false;
    std::uint32_t entryId = 0;
    std::uint32_t exitId = 0;
};

// One segment per consecutive pair of points.
void AppendSegments(std::vector<JunctionSegment>& list, std::uint32_t id,
                    const std::vector<GeoPoint>& points);

} // namespace junctionview
