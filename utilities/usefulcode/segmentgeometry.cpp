#include "utilities/usefulcode/segmentgeometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>

namespace {

// sin(k degrees) * 10000, rounded, for k = 0 .. 90.
const std::array<std::int16_t, 91>& SineTable() {
    static const std::array<std::int16_t, 91> table = [] {
        std::array<std::int16_t, 91> values{};
        for (std::size_t k = 0; k < values.size(); ++k) {
            const double radians = static_cast<double>(k) * std::numbers::pi / 180.0;
            values[k] = static_cast<std::int16_t>(std::lround(std::sin(radians) * 10000.0));
        }
        return values;
    }();
    return table;
}

// (difference * factor / extent), or 0 when the extent is 0 and the scale therefore undefined.
float ScaleAxis(float difference, float factor, float extent) {
    if (extent == 0.0f) {
        return 0.0f;
    }
    return difference * factor / extent;
}

struct Scaled {
    float dx;
    float dy;
    float length;
};

Scaled ScaleDifference(const GeoPoint& a, const GeoPoint& b, const RectF& rect, float fx,
                       float fy) {
    const float dx = ScaleAxis(b.x - a.x, fx, rect.maxX - rect.minX);
    const float dy = ScaleAxis(b.y - a.y, fy, rect.maxY - rect.minY);
    const float length = static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
    return {dx, dy, length};
}

__extension__ using WideUnsigned = unsigned __int128;

// The squared distance of two map points, exact (differences need 33 bits, the sum 65).
WideUnsigned ExactSquaredDistance(const MapPoint& a, const MapPoint& b) {
    const auto dx = static_cast<WideUnsigned>(std::abs(std::int64_t{a.x} - b.x));
    const auto dy = static_cast<WideUnsigned>(std::abs(std::int64_t{a.y} - b.y));
    return dx * dx + dy * dy;
}

} // namespace

int ArcSinDegrees(float s) {
    const float scaled = s * 10000.0f;
    // Only the order against the table matters, so out-of-range values clamp without changing
    // the result; the clamp keeps the integer conversion defined.
    if (!(scaled > 0.0f)) {
        return 0;
    }
    const int v = static_cast<int>(std::min(scaled, 10000.0f));
    const auto& table = SineTable();
    int lo = 0;
    int hi = 90;
    while (lo < hi - 1) {
        const int mid = (lo + hi) / 2;
        if (v > table[static_cast<std::size_t>(mid)]) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return lo;
}

float ScaledDistance(const GeoPoint& a, const GeoPoint& b, const RectF& rect, float fx, float fy) {
    return ScaleDifference(a, b, rect, fx, fy).length;
}

float ScaledBearing(const GeoPoint& a, const GeoPoint& b, const RectF& rect, float fx, float fy) {
    const Scaled scaled = ScaleDifference(a, b, rect, fx, fy);
    if (scaled.length == 0.0f) {
        return 0.0f;
    }
    const float sine = std::clamp(std::fabs(scaled.dy) / scaled.length, -1.0f, 1.0f);
    const auto k = static_cast<float>(ArcSinDegrees(sine));
    const bool isWest = b.x - a.x < 0.0f;
    const bool isSouth = b.y - a.y < 0.0f;
    if (isWest) {
        return isSouth ? 270.0f - k : 270.0f + k;
    }
    return isSouth ? 90.0f + k : 90.0f - k;
}

float SquaredDistanceF(const GeoPoint& p, const GeoPoint& q) {
    const float dx = p.x - q.x;
    const float dy = p.y - q.y;
    return dx * dx + dy * dy;
}

GeoPoint ClosestPointOnSegment(const GeoPoint& p, const GeoPoint& segmentEnd,
                               const GeoPoint& segmentStart) {
    const GeoPoint d = segmentEnd - segmentStart;
    const GeoPoint toP = p - segmentStart;
    const float lengthSquared = d.x * d.x + d.y * d.y;
    float t = lengthSquared == 0.0f ? 0.0f : (toP.x * d.x + toP.y * d.y) / lengthSquared;
    if (!(t > 0.0f)) {
        return segmentStart;
    }
    if (t >= 1.0f) {
        return segmentEnd;
    }
    return {segmentStart.x + t * d.x, segmentStart.y + t * d.y};
}

std::size_t NearestSegmentIndex(const GeoPoint& p, std::span<const GeoPoint> polyline) {
    if (polyline.size() < 2) {
        return 0;
    }
    float best = SquaredDistanceF(p, polyline[0]);
    std::size_t index = 0;
    for (std::size_t i = 1; i < polyline.size(); ++i) {
        const float d = SquaredDistanceF(p, ClosestPointOnSegment(p, polyline[i], polyline[i - 1]));
        if (d <= best) {
            best = d;
            index = i;
        }
    }
    return index;
}

std::size_t NearestMapSegmentIndex(const MapPoint& p, std::span<const MapPoint> polyline) {
    if (polyline.size() < 2) {
        return 0;
    }
    // SquaredDistance wraps beyond about 46340 map units (some 7 km), which would let a far
    // point look near; route polylines are far longer, so the distances here are exact.
    WideUnsigned best = ExactSquaredDistance(p, polyline[0]);
    std::size_t index = 0;
    for (std::size_t i = 1; i < polyline.size(); ++i) {
        const MapPoint q = ProjectOntoSegment(p, polyline[i - 1], polyline[i]);
        const WideUnsigned d = ExactSquaredDistance(p, q);
        if (d <= best) {
            best = d;
            index = i;
        }
    }
    return index;
}

void TrimPolylineAtPoint(const MapPoint& p, std::vector<MapPoint>& polyline) {
    if (polyline.size() < 2) {
        return;
    }
    const std::size_t index = NearestMapSegmentIndex(p, polyline);
    const std::size_t erased = std::max<std::size_t>(index, 1) - 1;
    polyline.erase(polyline.begin(), polyline.begin() + static_cast<std::ptrdiff_t>(erased));
    polyline.front() = p;
}
