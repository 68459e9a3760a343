#pragma once
// Geometry helpers of the map matcher and the map view: a whole-degree arcsine table, distances
// and bearings scaled by a search rectangle, float point-to-segment geometry, and the nearest
// segment of float and integer polylines. Pure functions, safe from any thread.

#include "utilities/mapgeometry/mapgeometry.h"

#include <cstddef>
#include <span>
#include <vector>

// Whole degrees 0..89 from a table of sin(k degrees) * 10000 rounded: the largest k whose table
// value lies below (int) (s * 10000). 0 for s <= 0 and for NaN; 89 for s >= 1 (never 90).
[[nodiscard]] int ArcSinDegrees(float s);

// Length of b - a with x scaled by fx / rect width and y by fy / rect height (the map matcher
// passes its search area and the area size in metres, so the result is metres). An axis along
// which the rectangle has no extent has no scale and contributes nothing.
[[nodiscard]] float ScaledDistance(const GeoPoint& a, const GeoPoint& b, const RectF& rect,
                                   float fx, float fy);
// Whole degrees from a to b in the same scaled space: 0 = +y, 90 = +x, clockwise; 0 when the
// scaled length is 0.
[[nodiscard]] float ScaledBearing(const GeoPoint& a, const GeoPoint& b, const RectF& rect, float fx,
                                  float fy);

[[nodiscard]] float SquaredDistanceF(const GeoPoint& p, const GeoPoint& q);
// The point of the segment from segmentStart to segmentEnd nearest to p; segmentStart for a
// segment of length 0.
[[nodiscard]] GeoPoint ClosestPointOnSegment(const GeoPoint& p, const GeoPoint& segmentEnd,
                                             const GeoPoint& segmentStart);
// Index i of the segment (point i - 1, point i) nearest to p, or 0 when point 0 itself is nearer
// than every segment; ties go to the later segment. 0 for fewer than two points.
[[nodiscard]] std::size_t NearestSegmentIndex(const GeoPoint& p,
                                              std::span<const GeoPoint> polyline);

// Index i (at least 1) of the segment (point i - 1, point i) whose ProjectOntoSegment end point is
// nearest to p, compared with point 0; ties go to the later segment. Distances are exact for any
// coordinates. 0 for fewer than two points.
[[nodiscard]] std::size_t NearestMapSegmentIndex(const MapPoint& p,
                                                 std::span<const MapPoint> polyline);
// Cuts the polyline at the segment nearest to p: with i = NearestMapSegmentIndex, the polyline
// becomes p, point i, point i + 1, ... A polyline of fewer than two points stays as it is.
void TrimPolylineAtPoint(const MapPoint& p, std::vector<MapPoint>& polyline);
