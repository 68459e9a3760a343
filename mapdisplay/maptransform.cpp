#include "mapdisplay/maptransform.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
// Below this the latitude cosine would blow kx up (at the poles it is 0).
constexpr double kSmallestCosine = 1e-6;

// Truncates toward zero. The rotated values come from 32-bit offsets times a cosine or sine, so
// they stay far inside the 64-bit range.
std::int64_t Truncate(float value) {
    return static_cast<std::int64_t>(value);
}

// numerator / divisor truncated toward zero, as integer division does, for |numerator| below
// 2^53 and divisor >= 1: the correctly rounded double quotient then never reaches the next
// integer (it stays more than half an ulp from it), and a double division is several times
// faster than a 64-bit integer one.
std::int64_t DivideTruncating(std::int64_t numerator, std::int32_t divisor) {
    return static_cast<std::int64_t>(static_cast<double>(numerator) / static_cast<double>(divisor));
}

std::int32_t ResolutionFactor(double mapUnitsPerPixel) {
    const double value = std::trunc(256.0 * mapUnitsPerPixel);
    if (!(value < static_cast<double>(kInt32Max - 1)))
        return static_cast<std::int32_t>(kInt32Max);
    return static_cast<std::int32_t>(std::max(1.0, 1.0 + value));
}

} // namespace

MapTransform::MapTransform(const MapRect& extent)
    : m_extent(extent) {
    m_extent.Normalize();
}

POINT MapTransform::WorldToScreen(const MapPoint& p) const {
    const std::int64_t halfWidth = m_width / 2;
    const std::int64_t halfHeight = m_height / 2;
    std::int64_t dx = DivideTruncating((static_cast<std::int64_t>(p.x) - m_center.x) * 256, m_kx);
    std::int64_t dy = DivideTruncating((static_cast<std::int64_t>(m_center.y) - p.y) * 256, m_ky);
    if (m_rotation != 0.0) {
        const auto fx = static_cast<float>(SaturateToInt32(dx + halfWidth) - halfWidth);
        const auto fy = static_cast<float>(SaturateToInt32(dy + halfHeight) - halfHeight);
        dx = Truncate(fx * m_cos - fy * m_sin);
        dy = Truncate(fx * m_sin + fy * m_cos);
    }
    return POINT{SaturateToInt32(dx + halfWidth), SaturateToInt32(dy + halfHeight)};
}

MapPoint MapTransform::ScreenToWorld(const POINT& p) const {
    const std::int64_t halfWidth = m_width / 2;
    const std::int64_t halfHeight = m_height / 2;
    std::int64_t dx = static_cast<std::int64_t>(p.x) - halfWidth;
    std::int64_t dy = static_cast<std::int64_t>(p.y) - halfHeight;
    if (m_rotation != 0.0) {
        const auto fx = static_cast<float>(dx);
        const auto fy = static_cast<float>(dy);
        dx = SaturateToInt32(Truncate(fx * m_cos + fy * m_sin) + halfWidth) - halfWidth;
        dy = SaturateToInt32(Truncate(fy * m_cos - fx * m_sin) + halfHeight) - halfHeight;
    }
    // Arithmetic shifts: rounds toward minus infinity, as the fixed-point format wants.
    return MapPoint{SaturateToInt32(m_center.x + ((dx * m_kx) >> 8)),
                    SaturateToInt32(m_center.y + ((-dy * m_ky) >> 8))};
}

void MapTransform::SetScale(double metresPerPixel) {
    m_isScaleSet = true;
    const double mapUnits = metresPerPixel * kMapUnitsPerMetre;
    if (mapUnits > 0.0) {
        m_scale = mapUnits;
        Recompute();
    }
}

void MapTransform::SetCenter(const MapPoint& center) {
    m_center = center;
    m_isCenterSet = true;
    Recompute();
}

void MapTransform::SetSize(const SIZE& size) {
    m_width = size.cx;
    m_height = size.cy;
    m_isSizeSet = true;
    Recompute();
}

void MapTransform::SetRotation(double rotation) {
    m_rotation = rotation;
    const double radians = ToRadians(AngleUnit.load(), rotation);
    m_cos = static_cast<float>(std::cos(radians));
    m_sin = static_cast<float>(std::sin(radians));
}

void MapTransform::Recompute() {
    if (!m_isCenterSet || !m_isSizeSet || !m_isScaleSet)
        return;
    const double latitude = ToRadians(AngleUnit.load(), m_center.y) * kDegreesPerMapUnit;
    double cosine = std::cos(latitude);
    if (std::fabs(cosine) < kSmallestCosine)
        cosine = kSmallestCosine;
    m_ky = ResolutionFactor(m_scale);
    m_kx = ResolutionFactor(m_scale / cosine);
}
