#include "mapdisplay/mapviewport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr int kMaxBisectionSteps = 50;
// Enough to grow any positive scale past every window; stops a rectangle that never fits.
constexpr int kMaxDoublings = 64;

std::int32_t Middle(std::int32_t low, std::int32_t high) {
    return SaturateToInt32(low + (static_cast<std::int64_t>(high) - low) / 2);
}

// One bar's word: position and page clamped to the scroll range; an empty extent on the axis
// shows everything.
DWORD PackScroll(double position, double page, std::int64_t extentSpan) {
    if (extentSpan <= 0)
        return static_cast<DWORD>(kMapScrollRange) << 16;
    const auto scaled = [extentSpan](double value) {
        const double v = std::trunc(value * kMapScrollRange / static_cast<double>(extentSpan));
        return static_cast<DWORD>(std::clamp(v, 0.0, static_cast<double>(kMapScrollRange)));
    };
    return scaled(position) | scaled(page) << 16;
}

std::array<POINT, 4> WindowCorners(std::int32_t width, std::int32_t height) {
    return {POINT{0, 0}, POINT{0, height}, POINT{width, 0}, POINT{width, height}};
}

} // namespace

int ClassifyScreenPoint(const POINT& p, const SIZE& size) {
    if (p.x < 0 || p.y < 0 || p.x > size.cx || p.y > size.cy)
        return kScreenPointOutside;
    if (p.x == 0 || p.y == 0 || p.x == size.cx || p.y == size.cy)
        return kScreenPointOnBorder;
    return kScreenPointInside;
}

int ClassifyScreenPoints(const POINT* points, int count, const SIZE& size) {
    int combined = kScreenPointInside;
    for (int i = 0; i < count; ++i) {
        const int c = ClassifyScreenPoint(points[i], size);
        if (c == kScreenPointOutside)
            return kScreenPointOutside;
        if (c == kScreenPointOnBorder)
            combined = kScreenPointOnBorder;
    }
    return combined;
}

MapViewport::MapViewport(const MapRect& extent) {
    SetTransform(std::make_unique<ViewportTransform>(extent));
}

MapViewport::~MapViewport() = default;

POINT MapViewport::WorldToScreen(const MapPoint& p) const {
    return m_transform->WorldToScreen(p);
}
MapPoint MapViewport::ScreenToWorld(const POINT& p) const {
    return m_transform->ScreenToWorld(p);
}
MapRect MapViewport::GetExtent() const {
    return m_transform->GetExtent();
}
double MapViewport::GetScale() const {
    return m_transform->GetScale();
}
MapPoint MapViewport::GetCenter() const {
    return m_transform->GetCenter();
}
double MapViewport::GetRotation() const {
    return m_transform->GetRotation();
}

void MapViewport::SetTransform(std::unique_ptr<IMapTransform> transform) {
    if (transform == nullptr)
        return;
    if (m_transform != nullptr) {
        transform->SetScale(m_transform->GetScale());
        transform->SetCenter(m_transform->GetCenter());
        transform->SetSize(SIZE{m_width, m_height});
    } else {
        transform->SetScale(1.0);
        transform->SetCenter(MapPoint{0, 0});
        transform->SetSize(SIZE{1, 1});
    }
    m_transform = std::move(transform);
    Changed.Emit();
    FireScrollInfo();
}

void MapViewport::SetSize(const SIZE& size) {
    m_width = std::max<std::int32_t>(1, size.cx);
    m_height = std::max<std::int32_t>(1, size.cy);
    m_transform->SetSize(SIZE{m_width, m_height});
    Changed.Emit();
    FireScrollInfo();
}

void MapViewport::SetScale(double metresPerPixel) {
    m_transform->SetScale(metresPerPixel);
    Changed.Emit();
    ScaleChanged.Emit(GetScale());
    FireScrollInfo();
}

void MapViewport::SetCenter(const MapPoint& center) {
    m_transform->SetCenter(center);
    Changed.Emit();
    FireScrollInfo();
    FireCenter();
}

void MapViewport::SetRotation(double rotation) {
    m_transform->SetRotation(rotation);
    Changed.Emit();
    FireScrollInfo();
    RotationChanged.Emit(GetRotation());
}

void MapViewport::FitExtent() {
    const MapRect extent = m_transform->GetExtent();
    SetTransform(std::make_unique<ViewportTransform>(extent));
    SetCenter(extent.GetCenter());
    SetScale(10.0);
}

void MapViewport::ShowWhole() {
    const MapRect extent = m_transform->GetExtent();
    const std::int32_t x = extent.GetCenter().x;
    ZoomToRect(MapRect{x, extent.y1, x, extent.y2});
}

DWORD MapViewport::GetHorizontalScrollInfo() const {
    const MapRect v = GetVisibleRect();
    const MapRect e = m_transform->GetExtent();
    return PackScroll(static_cast<double>(v.x1) - e.x1, static_cast<double>(v.x2) - v.x1,
                      static_cast<std::int64_t>(e.x2) - e.x1);
}

DWORD MapViewport::GetVerticalScrollInfo() const {
    const MapRect v = GetVisibleRect();
    const MapRect e = m_transform->GetExtent();
    return PackScroll(static_cast<double>(e.y2) - v.y2, static_cast<double>(v.y2) - v.y1,
                      static_cast<std::int64_t>(e.y2) - e.y1);
}

void MapViewport::FireScrollInfo() {
    ScrollInfoChanged.Emit(GetHorizontalScrollInfo(), GetVerticalScrollInfo());
}

void MapViewport::FireCenter() {
    const MapPoint center = GetCenter();
    CenterChanged.Emit(center.x, center.y);
}

void MapViewport::ZoomIn() {
    m_transform->SetScale(m_transform->GetScale() * 0.5);
    Changed.Emit();
    ScaleChanged.Emit(GetScale());
    FireScrollInfo();
}

void MapViewport::ZoomOut() {
    m_transform->SetScale(m_transform->GetScale() * 2.0);
    LimitZoomOut();
    Changed.Emit();
    ScaleChanged.Emit(GetScale());
    FireScrollInfo();
}

void MapViewport::Pan(int dxPercent, int dyPercent, bool isVertical, int percent, int direction) {
    PanRequested.Emit(dxPercent, dyPercent);
    const double radians = ToRadians(AngleUnit.load(), GetRotation());
    const auto along = static_cast<int>(std::trunc(percent * std::cos(radians)));
    const auto across = static_cast<int>(std::trunc(percent * std::sin(radians)));
    if (isVertical) {
        PanVertical(along, direction);
        PanHorizontal(across, -direction);
    } else {
        PanHorizontal(along, direction);
        PanVertical(across, direction);
    }
    Changed.Emit();
    FireCenter();
    FireScrollInfo();
    Panned.Emit();
}

void MapViewport::PanUp() {
    Pan(0, 10, true, 10, 1);
}
void MapViewport::PanDown() {
    Pan(0, -10, true, 10, -1);
}
void MapViewport::PageUp() {
    Pan(0, 90, true, 90, 1);
}
void MapViewport::PageDown() {
    Pan(0, -90, true, 90, -1);
}
void MapViewport::PanLeft() {
    Pan(10, 0, false, 10, -1);
}
void MapViewport::PanRight() {
    Pan(-10, 0, false, 10, 1);
}
void MapViewport::PageLeft() {
    Pan(90, 0, false, 90, -1);
}
void MapViewport::PageRight() {
    Pan(-90, 0, false, 90, 1);
}

int MapViewport::ClassifyRect(const MapRect& r) const {
    const std::array<POINT, 4> corners = {
        WorldToScreen(MapPoint{r.x1, r.y1}), WorldToScreen(MapPoint{r.x1, r.y2}),
        WorldToScreen(MapPoint{r.x2, r.y1}), WorldToScreen(MapPoint{r.x2, r.y2})};
    return ClassifyScreenPoints(corners.data(), 4, SIZE{m_width, m_height});
}

void MapViewport::ZoomToRect(const MapRect& rect) {
    // No point lies strictly inside such a window, so nothing would ever fit.
    if (m_width < 2 || m_height < 2)
        return;
    MapRect r = rect;
    r.Normalize();
    m_transform->SetCenter(MapPoint{Middle(r.x1, r.x2), Middle(r.y1, r.y2)});
    for (int i = 0; i < kMaxDoublings && ClassifyRect(r) != kScreenPointInside; ++i)
        m_transform->SetScale(m_transform->GetScale() * 2.0);
    double fitting = m_transform->GetScale();
    double candidate = fitting * 0.5;
    int c = kScreenPointInside;
    for (int i = 0; i < kMaxBisectionSteps && candidate > 0.0; ++i) {
        m_transform->SetScale(candidate);
        c = ClassifyRect(r);
        if (c == kScreenPointOnBorder)
            break;
        if (c == kScreenPointInside) {
            fitting = candidate;
            candidate *= 0.5;
        } else {
            candidate = (candidate + fitting) * 0.5;
        }
    }
    // The steps may run out on a scale that cuts the rectangle: keep the last one that fitted.
    if (c == kScreenPointOutside)
        m_transform->SetScale(fitting);
    Changed.Emit();
    ScaleChanged.Emit(GetScale());
    FireScrollInfo();
    FireCenter();
}

MapRect MapViewport::GetVisibleRect() const {
    const std::array<POINT, 4> corners = WindowCorners(m_width, m_height);
    MapPoint first = ScreenToWorld(corners[0]);
    MapRect seen{first.x, first.y, first.x, first.y};
    for (const POINT& corner : corners)
        seen.Extend(ScreenToWorld(corner));
    const MapRect e = m_transform->GetExtent();
    return MapRect{std::max(seen.x1, e.x1), std::max(seen.y1, e.y1), std::min(seen.x2, e.x2),
                   std::min(seen.y2, e.y2)};
}

void MapViewport::PanVertical(int percent, int direction) {
    const std::array<POINT, 4> corners = WindowCorners(m_width, m_height);
    std::int32_t low = std::numeric_limits<std::int32_t>::max();
    std::int32_t high = std::numeric_limits<std::int32_t>::min();
    for (const POINT& corner : corners) {
        const std::int32_t y = ScreenToWorld(corner).y;
        low = std::min(low, y);
        high = std::max(high, y);
    }
    const MapRect e = m_transform->GetExtent();
    if (!((direction < 0 && e.y1 < low) || (direction > 0 && high < e.y2)))
        return;
    const std::int64_t delta = (static_cast<std::int64_t>(high) - low) * percent / 100;
    MapPoint center = GetCenter();
    center.y = SaturateToInt32(direction >= 1 ? center.y + delta : center.y - delta);
    m_transform->SetCenter(center);
}

void MapViewport::PanHorizontal(int percent, int direction) {
    const std::array<POINT, 4> corners = WindowCorners(m_width, m_height);
    std::int32_t low = std::numeric_limits<std::int32_t>::max();
    std::int32_t high = std::numeric_limits<std::int32_t>::min();
    for (const POINT& corner : corners) {
        const std::int32_t x = ScreenToWorld(corner).x;
        low = std::min(low, x);
        high = std::max(high, x);
    }
    const MapRect e = m_transform->GetExtent();
    if (!((direction < 0 && e.x1 < low) || (direction > 0 && high < e.x2)))
        return;
    const std::int64_t delta = (static_cast<std::int64_t>(high) - low) * percent / 100;
    MapPoint center = GetCenter();
    center.x = SaturateToInt32(direction >= 1 ? center.x + delta : center.x - delta);
    m_transform->SetCenter(center);
}

void MapViewport::LimitZoomOut() {
    const MapRect e = m_transform->GetExtent();
    if (ClassifyRect(e) == kScreenPointInside)
        m_transform->SetCenter(MapPoint{Middle(e.x1, e.x2), Middle(e.y1, e.y2)});
}
