#include "utilities/mapgeometry/mapgeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr double kRadiansPerDegree = 0.017453292522222223;
constexpr double kRadiansPerGrad = 0.01570796327;

// Truncates toward zero into the 32-bit range; the cast alone would be undefined beyond it.
std::int32_t TruncateToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483648.0) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value <= -2147483649.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t DegreesToUnits(float degrees) {
    return TruncateToInt32(static_cast<double>(degrees) * kMapUnitsPerDegree);
}

float UnitsToDegrees(std::int32_t units) {
    return static_cast<float>(static_cast<double>(units) * kDegreesPerMapUnit);
}

// One axis of the area tests: [start1, end1] against [start2, end2], both ordered. A later start
// must lie before the other's end, an earlier start must reach past the other's start, and equal
// starts always pass.
template <typename T> bool AxisOverlaps(T start1, T end1, T start2, T end2) {
    if (start2 > start1) {
        return start2 < end1;
    }
    if (start2 < start1) {
        return end2 > start1;
    }
    return true;
}

} // namespace

void GeoRect::Extend(const GeoPoint& p) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
}

GeoRect& GeoRect::Union(const GeoRect& other) {
    minX = std::min(minX, other.minX);
    minY = std::min(minY, other.minY);
    maxX = std::max(maxX, other.maxX);
    maxY = std::max(maxY, other.maxY);
    return *this;
}

void GeoRect::Inflate(float dx, float dy) {
    minX -= dx;
    maxX += dx;
    minY -= dy;
    maxY += dy;
}

void GeoRect::Normalize() {
    if (minX > maxX) {
        std::swap(minX, maxX);
    }
    if (minY > maxY) {
        std::swap(minY, maxY);
    }
}

bool GeoRect::Intersects(const GeoRect& a, const GeoRect& b) {
    GeoRect first = a;
    GeoRect second = b;
    first.Normalize();
    second.Normalize();
    return AxisOverlaps(first.minX, first.maxX, second.minX, second.maxX) &&
           AxisOverlaps(first.minY, first.maxY, second.minY, second.maxY);
}

bool MapRect::Intersects(const MapRect& a, const MapRect& b) {
    MapRect first = a;
    MapRect second = b;
    first.Normalize();
    second.Normalize();
    return !(second.x1 > first.x2 || second.x2 < first.x1 || second.y1 > first.y2 ||
             second.y2 < first.y1);
}

bool MapRect::Overlaps(const MapRect& a, const MapRect& b) {
    MapRect first = a;
    MapRect second = b;
    first.Normalize();
    second.Normalize();
    return AxisOverlaps(first.x1, first.x2, second.x1, second.x2) &&
           AxisOverlaps(first.y1, first.y2, second.y1, second.y2);
}

void MapRect::Normalize() {
    if (x1 > x2) {
        std::swap(x1, x2);
    }
    if (y1 > y2) {
        std::swap(y1, y2);
    }
}

MapPoint MapRect::GetCenter() const {
    // The sums are taken in 64 bits: two large coordinates must not overflow before halving.
    return {static_cast<std::int32_t>((std::int64_t{x1} + x2) / 2),
            static_cast<std::int32_t>((std::int64_t{y1} + y2) / 2)};
}

void MapRect::Extend(const MapPoint& p) {
    x1 = std::min(x1, p.x);
    x2 = std::max(x2, p.x);
    y1 = std::min(y1, p.y);
    y2 = std::max(y2, p.y);
}

MapRect DegreesToMapUnits(const GeoRect& degrees) {
    return {DegreesToUnits(degrees.minX), DegreesToUnits(degrees.minY),
            DegreesToUnits(degrees.maxX), DegreesToUnits(degrees.maxY)};
}

MapPoint DegreesToMapPoint(const GeoPoint& degrees) {
    return {DegreesToUnits(degrees.x), DegreesToUnits(degrees.y)};
}

GeoRect MapUnitsToDegrees(const MapRect& mapUnits) {
    return {UnitsToDegrees(mapUnits.x1), UnitsToDegrees(mapUnits.y1), UnitsToDegrees(mapUnits.x2),
            UnitsToDegrees(mapUnits.y2)};
}

GeoPoint MapPointToDegrees(const MapPoint& mapUnits) {
    return {UnitsToDegrees(mapUnits.x), UnitsToDegrees(mapUnits.y)};
}

double ToRadians(int unit, double value) {
    switch (unit) {
    case kAngleUnitDegrees:
        return value * kRadiansPerDegree;
    case kAngleUnitRadians:
        return value;
    case kAngleUnitGrads:
        return value * kRadiansPerGrad;
    default:
        return 0.0;
    }
}

std::int32_t SquaredDistance(const MapPoint& a, const MapPoint& b) {
    // Unsigned arithmetic wraps where signed overflow would be undefined; the conversion back
    // to a signed value is modulo 2^32.
    const std::uint32_t dx = static_cast<std::uint32_t>(a.x) - static_cast<std::uint32_t>(b.x);
    const std::uint32_t dy = static_cast<std::uint32_t>(a.y) - static_cast<std::uint32_t>(b.y);
    return static_cast<std::int32_t>(dx * dx + dy * dy);
}

MapPoint ProjectOntoSegment(const MapPoint& p, const MapPoint& segmentEnd,
                            const MapPoint& segmentStart) {
    // t = dot / lengthSquared truncated and clamped to 0..1 is 1 exactly when dot reaches
    // lengthSquared. Both are computed exactly: differences need 33 bits, products 66.
    __extension__ using Wide = __int128;
    const std::int64_t dx = std::int64_t{segmentEnd.x} - segmentStart.x;
    const std::int64_t dy = std::int64_t{segmentEnd.y} - segmentStart.y;
    const std::int64_t px = std::int64_t{p.x} - segmentStart.x;
    const std::int64_t py = std::int64_t{p.y} - segmentStart.y;
    const Wide lengthSquared = Wide{dx} * dx + Wide{dy} * dy;
    const Wide dot = Wide{px} * dx + Wide{py} * dy;
    if (lengthSquared != 0 && dot >= lengthSquared) {
        return segmentEnd;
    }
    return segmentStart;
}
