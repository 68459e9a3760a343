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
// One segment per consecutive pair of points.
void AppendSegments(std::vector<JunctionSegment>& list, std::uint32_t id,
                    const std::vector<GeoPoint>& points);

} // namespace junctionview
