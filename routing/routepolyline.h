#pragma once
// Float polyline operations shared by route positions and the route iterator: the projection of
// a point onto a line, lengths along the line to and from it, and cutting a line at it. Lines are
// in degrees (x = longitude); lengths are great-circle metres. Pure functions, any thread.
// The nearest segment is NearestSegmentIndex (utilities/usefulcode/segmentgeometry.h).

#include "utilities/mapgeometry/mapgeometry.h"

#include <span>
#include <vector>

// The point of the line nearest to p by GeoDistance. A result on the first vertex becomes the
// middle of the first segment, one on the last vertex the middle of the last segment, so that a
// position never sits on a crossing. The vertex itself for a one-vertex line; p for an empty one.
[[nodiscard]] GeoPoint ProjectOntoPolyline(const GeoPoint& p, std::span<const GeoPoint> line);
// Metres from the first vertex along the line to the closest point of the nearest segment
// (NearestSegmentIndex, at least 1). 0 for fewer than two vertices.
[[nodiscard]] double LengthToProjection(const GeoPoint& p, std::span<const GeoPoint> line);
// Metres from the closest point of the same segment along the line to its last vertex. 0 for
// fewer than two vertices.
[[nodiscard]] double LengthFromProjection(const GeoPoint& p, std::span<const GeoPoint> line);
// Drops the vertices before the nearest segment's start and puts p in place of that start; p on a
// vertex is that vertex, never repeated beside it while two vertices remain. A line of fewer than
// two vertices stays as it is.
void CutHeadAt(const GeoPoint& p, std::vector<GeoPoint>& line);
// Puts p in place of the nearest segment's end and drops the vertices after it; p on a vertex is
// that vertex, never repeated beside it while two vertices remain. A line of fewer than two
// vertices stays as it is.
void CutTailAt(const GeoPoint& p, std::vector<GeoPoint>& line);
