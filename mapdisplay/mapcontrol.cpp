#include "mapdisplay/mapcontrol.h"

#include "platform/gdi/gdi.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"

#include <cmath>

namespace {

constexpr int kDragThreshold = 5;

} // namespace

MapControl::MapControl()
    : m_state(std::make_unique<MapControlState>()) {
    MessageMapPtr& map = m_state->window.map;
    ConnectMessageHandler(map, WM_SIZE, this, &MapControl::OnSize);
    ConnectMessageHandler(map, WM_MOUSEMOVE, this, &MapControl::OnForward);
    ConnectMessageHandler(map, WM_LBUTTONDOWN, this, &MapControl::OnLeftButtonDown);
    ConnectMessageHandler(map, WM_LBUTTONUP, this, &MapControl::OnForward);
    ConnectMessageHandler(map, WM_LBUTTONDBLCLK, this, &MapControl::OnForward);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &MapControl::OnKeyDown);
    ConnectMessageHandler(map, WM_ERASEBKGND, this, &MapControl::OnEraseBackground);
    ConnectMessageHandler(map, WM_HSCROLL, this, &MapControl::OnHorizontalScroll);
    ConnectMessageHandler(map, WM_VSCROLL, this, &MapControl::OnVerticalScroll);
    ConnectMessageHandler(map, WM_COMMAND, this, &MapControl::OnForward);
    ConnectMessageHandler(map, WM_PAINT, this, &MapControl::OnPaint);
}

MapControl::~MapControl() = default;

bool MapControl::Create(HWND parent, const RECT* rect, DWORD style, bool erase) {
    RECT area{};
    if (rect != nullptr)
        area = *rect;
    else if (parent != nullptr)
        GetClientRect(parent, &area);
    m_state->erase = erase;
    CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, style, area.left, area.top,
                    area.right - area.left, area.bottom - area.top, parent, nullptr,
                    platform::ResourceInstance(), &m_state->window);
    return m_state->window.window != nullptr;
}

void MapControl::SetExtent(const GeoRect& degrees) {
    MapControlState& state = *m_state;
    if (state.isTracking && state.retiredViewport == nullptr)
        state.retiredViewport = std::move(state.viewport);
    state.viewport.reset();
    state.viewport = std::make_unique<MapViewport>(DegreesToMapUnits(degrees));
    MapViewport& viewport = *state.viewport;
    viewport.FitExtent();
    HWND window = GetHwnd();
    const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    if ((style & (WS_HSCROLL | WS_VSCROLL)) != 0) {
        state.scrollBars = std::make_unique<MapScrollBars>(window);
        viewport.ScrollInfoChanged.ConnectUnlocked(state.scrollBars.get(), &MapScrollBars::SetBars);
    }
    viewport.Changed.ConnectUnlocked(this, &MapControl::OnViewportChanged);
    RECT client{};
    GetClientRect(window, &client);
    viewport.SetSize(SIZE{client.right, client.bottom});
    state.windowCopy = window;
}

IMapTransform* MapControl::GetTransform() const {
    return m_state->viewport != nullptr ? m_state->viewport->GetTransform() : nullptr;
}

GeoPoint MapControl::ScreenToGeo(const POINT& p) const {
    if (m_state->viewport == nullptr)
        return GeoPoint{};
    return MapPointToDegrees(m_state->viewport->ScreenToWorld(p));
}

POINT MapControl::GeoToScreen(const GeoPoint& p) const {
    if (m_state->viewport == nullptr)
        return POINT{0, 0};
    return m_state->viewport->WorldToScreen(DegreesToMapPoint(p));
}

void MapControl::SetCenter(const GeoPoint& p) {
    if (m_state->viewport != nullptr)
        m_state->viewport->SetCenter(DegreesToMapPoint(p));
}

void MapControl::SetScale(double metresPerPixel) {
    if (m_state->viewport != nullptr && m_state->minScale <= metresPerPixel &&
        metresPerPixel <= m_state->maxScale) {
        m_state->viewport->SetScale(metresPerPixel);
    }
}

double MapControl::GetScale() const {
    return m_state->viewport != nullptr ? m_state->viewport->GetScale() : 0.0;
}

void MapControl::SetScaleLimits(double minimum, double maximum) {
    m_state->minScale = minimum;
    m_state->maxScale = maximum;
    const double scale = GetScale();
    if (scale < minimum)
        SetScale(minimum);
    else if (scale > maximum)
        SetScale(maximum);
}

void MapControl::ClampScale() {
    const double scale = GetScale();
    if (scale < m_state->minScale)
        SetScale(m_state->minScale);
    else if (scale > m_state->maxScale)
        SetScale(m_state->maxScale);
}

void MapControl::ZoomTo(const GeoRect& degrees) {
    if (m_state->viewport == nullptr)
        return;
    m_state->viewport->ZoomToRect(DegreesToMapUnits(degrees));
    ClampScale();
}

void MapControl::ShowWhole() {
    if (m_state->viewport != nullptr)
        m_state->viewport->ShowWhole();
}

GeoRect MapControl::GetVisibleGeoRect() const {
    if (m_state->viewport == nullptr)
        return GeoRect{};
    return MapUnitsToDegrees(m_state->viewport->GetVisibleRect());
}

void MapControl::SetRotation(double rotation) {
    if (m_state->viewport != nullptr)
        m_state->viewport->SetRotation(rotation);
}

double MapControl::GetRotation() const {
    return m_state->viewport != nullptr ? m_state->viewport->GetRotation() : 0.0;
}

void MapControl::InvalidateMap() {
    InvalidateRect(GetHwnd(), nullptr, m_state->erase ? TRUE : FALSE);
}

void MapControl::OnSize(UINT, WPARAM, LPARAM lParam, LRESULT*, bool* handled) {
    *handled = true;
    if (m_state->viewport != nullptr && LOWORD(lParam) != 0 && HIWORD(lParam) != 0)
        m_state->viewport->SetSize(SIZE{LOWORD(lParam), HIWORD(lParam)});
}

void MapControl::OnForward(UINT message, WPARAM wParam, LPARAM lParam, LRESULT*, bool* handled) {
    const MapControlMessage args{wParam, lParam, handled};
    switch (message) {
    case WM_MOUSEMOVE:
        MouseMoved.Emit(args);
        break;
    case WM_LBUTTONUP:
        LeftButtonUp.Emit(args);
        break;
    case WM_LBUTTONDBLCLK:
        LeftButtonDoubleClick.Emit(args);
        break;
    default:
        Command.Emit(args);
        break;
    }
}

void MapControl::OnLeftButtonDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool* handled) {
    SetFocus(GetHwnd());
    LeftButtonDown.Emit(MapControlMessage{wParam, lParam, handled});
    if (*handled)
        return;
    *handled = true;
    if (m_state->viewport == nullptr)
        return;
    const POINT start{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    m_state->isTracking = true;
    const DragResult drag =
        TrackDrag(*m_state->viewport->GetTransform(), GetHwnd(), start, kDragThreshold);
    m_state->isTracking = false;
    const bool isSameViewport = m_state->retiredViewport == nullptr;
    m_state->retiredViewport.reset();
    LeftButtonUp.Emit(MapControlMessage{wParam, MAKELPARAM(drag.end.x, drag.end.y), handled});
    // A rectangle of a replaced viewport means nothing to the new one.
    if (drag.isDrag && isSameViewport && m_state->viewport != nullptr) {
        m_state->viewport->ZoomToRect(drag.rect);
        ClampScale();
    }
}

void MapControl::ZoomByKey(bool isZoomIn) {
    const double minimum = m_state->minScale;
    const double maximum = m_state->maxScale;
    const double next = GetScale() * (isZoomIn ? 0.5 : 2.0);
    if (isZoomIn && next < minimum) {
        if (minimum <= maximum)
            m_state->viewport->SetScale(minimum);
    } else if (!isZoomIn && next > maximum) {
        if (minimum <= maximum)
            m_state->viewport->SetScale(maximum);
    } else if (isZoomIn) {
        m_state->viewport->ZoomIn();
    } else {
        m_state->viewport->ZoomOut();
    }
}

void MapControl::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool* handled) {
    KeyDown.Emit(KeyEvent{static_cast<UINT>(wParam), lParam, handled});
    if (*handled)
        return;
    *handled = true;
    MapViewport* viewport = m_state->viewport.get();
    if (viewport == nullptr)
        return;
    const auto key = static_cast<UINT>(wParam);
    if (key == VK_ADD || key == VK_SUBTRACT) {
        ZoomByKey(key == VK_ADD);
    } else if (GetKeyState(VK_CONTROL) < 0) {
        if (key == VK_LEFT)
            viewport->PageLeft();
        else if (key == VK_RIGHT)
            viewport->PageRight();
        else if (key == VK_UP)
            viewport->PageUp();
        else if (key == VK_DOWN)
            viewport->PageDown();
    } else if (GetKeyState(VK_SHIFT) < 0) {
        if (key == VK_LEFT || key == VK_RIGHT) {
            const double step = key == VK_LEFT ? -10.0 : 10.0;
            // fmod keeps the dividend's sign: turning left from 0 gives -10.
            viewport->SetRotation(std::fmod(std::trunc(viewport->GetRotation() + step), 360.0));
        }
    } else if (key == VK_LEFT) {
        viewport->PanLeft();
    } else if (key == VK_RIGHT) {
        viewport->PanRight();
    } else if (key == VK_UP) {
        viewport->PanUp();
    } else if (key == VK_DOWN) {
        viewport->PanDown();
    }
}

void MapControl::OnEraseBackground(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    if (!m_state->erase) {
        *handled = true;
        *result = 1;
    }
}

void MapControl::OnHorizontalScroll(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    *handled = true;
    MapViewport* viewport = m_state->viewport.get();
    if (viewport == nullptr)
        return;
    switch (LOWORD(wParam)) {
    case SB_LINELEFT:
        viewport->PanLeft();
        break;
    case SB_LINERIGHT:
        viewport->PanRight();
        break;
    case SB_PAGELEFT:
        viewport->PageLeft();
        break;
    case SB_PAGERIGHT:
        viewport->PageRight();
        break;
    case SB_THUMBPOSITION: {
        // Unsigned: the far end of the range is 32768.
        const std::int64_t position = HIWORD(wParam);
        const MapRect e = viewport->GetExtent();
        const std::int64_t x =
            e.x1 + position * (static_cast<std::int64_t>(e.x2) - e.x1) / kMapScrollRange;
        viewport->SetCenter(MapPoint{static_cast<std::int32_t>(x), viewport->GetCenter().y});
        break;
    }
    default:
        break;
    }
}

void MapControl::OnVerticalScroll(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    *handled = true;
    MapViewport* viewport = m_state->viewport.get();
    if (viewport == nullptr)
        return;
    switch (LOWORD(wParam)) {
    case SB_LINEUP:
        viewport->PanUp();
        break;
    case SB_LINEDOWN:
        viewport->PanDown();
        break;
    case SB_PAGEUP:
        viewport->PageUp();
        break;
    case SB_PAGEDOWN:
        viewport->PageDown();
        break;
    case SB_THUMBPOSITION: {
        const std::int64_t position = HIWORD(wParam);
        const MapRect e = viewport->GetExtent();
        const std::int64_t y = e.y1 + (kMapScrollRange - position) *
                                          (static_cast<std::int64_t>(e.y2) - e.y1) /
                                          kMapScrollRange;
        viewport->SetCenter(MapPoint{viewport->GetCenter().x, static_cast<std::int32_t>(y)});
        break;
    }
    default:
        return;
    }
    VerticalScroll.Emit(MapControlMessage{wParam, 0, handled});
}

void MapControl::OnPaint(UINT, WPARAM, LPARAM, LRESULT*, bool* handled) {
    *handled = true;
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(GetHwnd(), &paint);
    Paint.Emit(dc);
    EndPaint(GetHwnd(), &paint);
    Painted.Emit();
}
