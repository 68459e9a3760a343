#pragma once
// The geometry element classes: one uniform view of an element record's geometry, whether it is
// the record's bounds alone (a point, an oriented segment) or a point list in the ".dat" stream
// (absolute points or 16-bit offsets from the bounds' first corner). Objects live in the
// GeometryPool and point into cached blocks; a caller keeps the blocks while it uses them.

#include "utilities/mapgeometry/geometrypool.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>

// The geometry element of an element record, by its type letter: 'l'..'o' segment, 'p'
// polyline, 'r' offset polyline, 't' point, 'y' polygon, 'z' offset polygon. `data` is the
// element's geometry data and `dataBytes` how many bytes of its page follow it (both ignored for
// letters without data). Empty for another letter, for point-list data that would run past
// `dataBytes` (or no data where data is needed), and when the pool is full.
GeometryRef CreateGeometryElement(const std::uint8_t* record, const std::uint8_t* data,
                                  std::uint32_t dataBytes);

// Whether segment (a, b) meets the rectangle: its bounding box overlaps it (edges exclusive) and
// it crosses one of the rectangle's edges. A segment wholly inside does not meet it.
bool SegmentMeetsRect(const MapPoint& a, const MapPoint& b, const MapRect& rect);

// Whether segment (p0, p1) crosses segment (p2, p3): each one's ends lie on opposite sides of
// the other's line (orientations computed exactly in 64 bits). Touching at an end point is no
// crossing; collinear segments count as crossing.
bool SegmentsCross(const MapPoint& p0, const MapPoint& p1, const MapPoint& p2, const MapPoint& p3);
