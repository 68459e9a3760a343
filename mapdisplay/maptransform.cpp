#include "mapdisplay/maptransform.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
// Below this the latitude cosine would blow kx up (at the poles it is 0).
constexpr double kSmallestCosine = 1e-6;

std::int32_t Saturate(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp(value, kInt32Min, kInt32Max));
}

// Truncates toward zero into the 64-bit range used for the sums (|value| stays far below 2^62
// once saturated to a 32-bit bound).
std::int64_t Truncate(float value) {
    if (std::isnan(value))
        return 0;
    const float bound = 4.0e9f;
    return static_cast<std::int64_t>(std::clamp(value, -bound, bound));
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
    std::int64_t dx = (static_cast<std::int64_t>(p.x) - m_center.x) * 256 / m_kx;
    std::int64_t dy = (static_cast<std::int64_t>(m_center.y) - p.y) * 256 / m_ky;
    if (m_rotation != 0.0) {
        const auto fx = static_cast<float>(Saturate(dx + halfWidth) - halfWidth);
        const auto fy = static_cast<float>(Saturate(dy + halfHeight) - halfHeight);
        dx = Truncate(fx * m_cos - fy * m_sin);
        dy = Truncate(fx * m_sin + fy * m_cos);
    }
    return POINT{Saturate(dx + halfWidth), Saturate(dy + halfHeight)};
}

MapPoint MapTransform::ScreenToWorld(const POINT& p) const {
    const std::int64_t halfWidth = m_width / 2;
    const std::int64_t halfHeight = m_height / 2;
    std::int64_t dx = static_cast<std::int64_t>(p.x) - halfWidth;
    std::int64_t dy = static_cast<std::int64_t>(p.y) - halfHeight;
    if (m_rotation != 0.0) {
        const auto fx = static_cast<float>(dx);
        const auto fy = static_cast<float>(dy);
        dx = Saturate(Truncate(fx * m_cos + fy * m_sin) + halfWidth) - halfWidth;
        dy = Saturate(Truncate(fy * m_cos - fx * m_sin) + halfHeight) - halfHeight;
    }
    // Arithmetic shifts: rounds toward minus infinity, as the fixed-point format wants.
    return MapPoint{Saturate(m_center.x + ((dx * m_kx) >> 8)),
                    Saturate(m_center.y + ((-dy * m_ky) >> 8))};
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
