#include "junctionview/model/junctiongeometry.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

namespace junctionview {

std::int32_t ClampToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value <= -2147483648.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

bool IsFirstPointSet(const JunctionSegment& segment) {
    return segment.x1 != kUnset && segment.y1 != kUnset;
}

bool IsSecondPointSet(const JunctionSegment& segment) {
    return segment.x2 != kUnset && segment.y2 != kUnset;
}

bool IsSegmentSet(const JunctionSegment& segment) {
    return IsFirstPointSet(segment) && IsSecondPointSet(segment);
}

JunctionSegment UnsetSegment() {
    return {0, kUnset, kUnset, kUnset, kUnset};
}

} // namespace junctionview

using junctionview::kPi;

namespace {

constexpr double kRadiansPerDegree = kPi / 180.0;
constexpr double kHalfCircumference = 2.00016e7;

} // namespace

float HaversineDistance(float x1, float y1, float x2, float y2) {
    const double phi1 = y1 * kRadiansPerDegree;
    const double phi2 = y2 * kRadiansPerDegree;
    const double lambda1 = x1 * kRadiansPerDegree;
    const double lambda2 = x2 * kRadiansPerDegree;
    const double sinPhi = std::sin((phi1 - phi2) / 2.0);
    const double sinLambda = std::sin((lambda1 - lambda2) / 2.0);
    const double a = sinPhi * sinPhi + std::cos(phi1) * std::cos(phi2) * sinLambda * sinLambda;
    // Rounding may push a a hair past 1 for antipodes.
    const double central = 2.0 * std::asin(std::sqrt(std::fmin(a, 1.0)));
    return static_cast<float>(central / kPi * kHalfCircumference);
}

double LineSlopeAngle(float x0, float y0, float x1, float y1, bool corrected) {
    const float dx = x1 - x0;
    if (dx == 0.0f) {
        return junctionview::kVerticalSlope;
    }
    if (!corrected) {
        const float slope = (y1 - y0) / dx;
        return std::atan(static_cast<double>(slope));
    }
    const double dy = static_cast<double>(y1) - static_cast<double>(y0);
    return std::atan(dy / (static_cast<double>(dx) * std::cos(y1 * kRadiansPerDegree)));
}

GeoPoint RotateAboutCentre(float px, float py, double theta, float cx, float cy, bool corrected) {
    const double k = corrected ? std::cos(py * kRadiansPerDegree) : 1.0;
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    const double offset = (static_cast<double>(px) - cx) * k;
    const double x = offset * c - static_cast<double>(py) * s + static_cast<double>(cy) * s + cx;
    const double y = offset * s + static_cast<double>(py) * c - static_cast<double>(cy) * c + cy;
    return {static_cast<float>(x), static_cast<float>(y)};
}

void ComputeScaleFactors(const JunctionRect& rect, float x0, float y0, float x1, float y1,
                         float& sx, float& sy, bool corrected) {
    const float middle = (y0 + y1) * 0.5f;
    const auto middleRadians = static_cast<float>(middle * kRadiansPerDegree);
    const double width = std::fabs(static_cast<double>(rect.right) - rect.left);
    const double height = std::fabs(static_cast<double>(rect.bottom) - rect.top);
    const float dx = x1 - x0;
    if (dx == 0.0f) {
        sx = 1.0f;
    } else if (corrected) {
        sx = static_cast<float>(width * std::cos(middleRadians) / dx);
    } else {
        sx = static_cast<float>(width / dx);
    }
    const float dy = y1 - y0;
    sy = dy == 0.0f ? 1.0f : static_cast<float>(height / dy);
}

bool IsPointInRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                   std::int32_t x, std::int32_t y) {
    return left <= x && x <= right && top <= y && y <= bottom;
}

bool IntersectLines(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                    double y4, double& outX, double& outY) {
    const double d1 = x2 - x1;
    const double d2 = x3 - x4;
    if (d1 == 0.0 && d2 != 0.0) {
        outX = x2;
        outY = (y3 - y4) / d2 * (x2 - x4) + y4;
        return true;
    }
    if (d2 == 0.0 && d1 != 0.0) {
        outX = x3;
        outY = (y2 - y1) / d1 * (x3 - x2) + y2;
        return true;
    }
    if (d1 == 0.0 || d2 == 0.0) {
        return false;
    }
    const double m1 = (y2 - y1) / d1;
    const double m2 = (y3 - y4) / d2;
    if (m1 == m2) {
        return false;
    }
    const double x = (m1 * x2 + (y3 - y2) - m2 * x3) / (m1 - m2);
    outX = x;
    outY = (x - x2) * m1 + y2;
    return true;
}

void SortCoordinates(std::vector<GeoPoint>& points) {
    const std::size_t n = points.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            if (points[i].x > points[j].x) {
                std::swap(points[i].x, points[j].x);
            }
        }
    }
    for (std::size_t i = 0; i + 1 < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            if (points[i].y > points[j].y) {
                std::swap(points[i].y, points[j].y);
            }
        }
    }
}
