#pragma once
// Geometry of the junction view's models: float-degree points (x = longitude, y = latitude),
// device rectangles and the segments of a junction picture. Pure functions; safe from any thread.
// The constants below are the junction view's own (pi to 12 digits, 108000 m per degree), so
// that every picture is measured and turned the same way.

#include "utilities/mapgeometry/mapgeometry.h"

#include <cfloat>
#include <cstdint>
#include <vector>

// One straight piece of a street in a junction picture: model degrees or device units.
struct JunctionSegment {
    std::uint32_t streetId = 0;
    float x1 = 0.0f;
    float y1 = 0.0f;
    float x2 = 0.0f;
    float y2 = 0.0f;

    friend bool operator==(const JunctionSegment&, const JunctionSegment&) = default;
};

// A device rectangle {left, top, right, bottom}.
struct JunctionRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const JunctionRect&, const JunctionRect&) = default;
};

namespace junctionview {

inline constexpr double kPi = 3.14159265359;
// Metres become degrees by dividing by this.
inline constexpr double kMetresPerDegree = 108000.0;
// A coordinate of this value marks a point that is not set.
inline constexpr float kUnset = -1.0f;
// The slope of a vertical line.
inline constexpr double kVerticalSlope = DBL_MAX;

// The value truncated towards zero, clamped into the range of int32; NaN gives 0.
[[nodiscard]] std::int32_t ClampToInt(double value);

// Whether both coordinates of the segment's first (second) point are set.
[[nodiscard]] bool IsFirstPointSet(const JunctionSegment& segment);
[[nodiscard]] bool IsSecondPointSet(const JunctionSegment& segment);
// Whether all four coordinates are set.
[[nodiscard]] bool IsSegmentSet(const JunctionSegment& segment);
// A segment with all four coordinates unset and street id 0.
[[nodiscard]] JunctionSegment UnsetSegment();

} // namespace junctionview

// Metres along the great circle (earth half-circumference 2.00016e7 m); 0 for a point with
// itself.
[[nodiscard]] float HaversineDistance(float x1, float y1, float x2, float y2);

// Radians of the line from (x0, y0) to (x1, y1), in (-pi/2, pi/2); junctionview::kVerticalSlope
// when x0 == x1. Corrected: the x difference is scaled by the cosine of y1's latitude.
[[nodiscard]] double LineSlopeAngle(float x0, float y0, float x1, float y1, bool corrected);

// (px, py) turned by theta radians counter-clockwise about (cx, cy). Corrected: the x offset
// from the centre is first scaled by the cosine of py's latitude and stays scaled.
[[nodiscard]] GeoPoint RotateAboutCentre(float px, float py, double theta, float cx, float cy,
                                         bool corrected);

// Device units per degree of the model extent (x0, y0)-(x1, y1) in rect; 1.0 on an axis where the
// extent is 0. Corrected: sx is scaled by the cosine of the extent's middle latitude.
void ComputeScaleFactors(const JunctionRect& rect, float x0, float y0, float x1, float y1,
                         float& sx, float& sy, bool corrected);

// Whether (x, y) lies in the rectangle, edges included.
[[nodiscard]] bool IsPointInRect(std::int32_t left, std::int32_t top, std::int32_t right,
                                 std::int32_t bottom, std::int32_t x, std::int32_t y);

// The crossing of the lines through P1, P2 and through P3, P4; false when both are vertical or
// their slopes are equal.
[[nodiscard]] bool IntersectLines(double x1, double y1, double x2, double y2, double x3, double y3,
                                  double x4, double y4, double& outX, double& outY);

// Sorts the x values and the y values of the points separately (ascending), so that the first
// entry holds the smallest x and y and the last the largest: the bounding box of the set.
void SortCoordinates(std::vector<GeoPoint>& points);
