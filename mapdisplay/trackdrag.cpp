#include "mapdisplay/mapcontrol.h"

#include "platform/gdi/gdi.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kMaxEdgePoints = 1000;

MapRect SpannedRect(const IMapTransform& transform, POINT a, POINT b) {
    const MapPoint p = transform.ScreenToWorld(a);
    const MapPoint q = transform.ScreenToWorld(b);
    MapRect r{p.x, p.y, q.x, q.y};
    r.Normalize();
    return r;
}

// One edge sampled per pixel of screen distance, each sample through the transform, so that
// under rotation the outline is the rotated rectangle.
void DrawEdge(HDC dc, const IMapTransform& transform, bool isHorizontal, std::int32_t fixed,
              std::int32_t from, std::int32_t to, int pixels) {
    if (pixels <= 0)
        return;
    const int steps = std::min(pixels, kMaxEdgePoints - 1);
    const double step = (static_cast<double>(to) - from) / steps;
    std::vector<POINT> points;
    points.reserve(static_cast<std::size_t>(steps) + 1);
    for (int i = 0; i <= steps; ++i) {
        const auto moving = static_cast<std::int32_t>(from + step * i);
        const MapPoint p = isHorizontal ? MapPoint{moving, fixed} : MapPoint{fixed, moving};
        points.push_back(transform.WorldToScreen(p));
    }
    if (points.size() > 1)
        Polyline(dc, points.data(), static_cast<int>(points.size()));
}

// Drawn with R2_NOT: the same outline drawn twice leaves the screen as it was.
void DrawOutline(HDC dc, const IMapTransform& transform, POINT start, POINT current) {
    const MapRect r = SpannedRect(transform, start, current);
    const int dx = std::abs(current.x - start.x);
    const int dy = std::abs(current.y - start.y);
    DrawEdge(dc, transform, true, r.y1, r.x1, r.x2, dx);
    DrawEdge(dc, transform, true, r.y2, r.x1, r.x2, dx);
    DrawEdge(dc, transform, false, r.x1, r.y1, r.y2, dy);
    DrawEdge(dc, transform, false, r.x2, r.y1, r.y2, dy);
}

enum class Ending { Released, Cancelled };

// The nested loop: runs while the window holds the capture and is there.
Ending RunDragLoop(HDC dc, const IMapTransform& transform, HWND window, POINT start, POINT* current,
                   bool* hasMoved) {
    MSG msg{};
    while (IsWindow(window) && GetCapture() == window) {
        const BOOL got = GetMessageW(&msg, window, 0, 0);
        if (got == 0) {
            // Handed on to the loop outside, which ends on it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return Ending::Cancelled;
        }
        if (got < 0)
            return Ending::Cancelled;
        switch (msg.message) {
        case WM_MOUSEMOVE:
            DrawOutline(dc, transform, start, *current);
            *current = POINT{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
            *hasMoved = true;
            DrawOutline(dc, transform, start, *current);
            break;
        case WM_LBUTTONUP:
            return Ending::Released;
        case WM_RBUTTONDOWN:
            return Ending::Cancelled;
        case WM_KEYDOWN:
            if (msg.wParam == VK_ESCAPE)
                return Ending::Cancelled;
            break;
        default:
            DispatchMessageW(&msg);
            break;
        }
    }
    return Ending::Cancelled;
}

} // namespace

DragResult TrackDrag(const IMapTransform& transform, HWND window, POINT start, int threshold) {
    DragResult result;
    result.end = start;
    if (GetCapture() != nullptr)
        return result;
    SetCapture(window);
    HDC dc = GetDC(window);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const int oldMode = SetROP2(dc, R2_NOT);
    POINT current = start;
    bool hasMoved = false;
    DrawOutline(dc, transform, start, current);
    const Ending ending = RunDragLoop(dc, transform, window, start, &current, &hasMoved);
    DrawOutline(dc, transform, start, current);
    SetROP2(dc, oldMode);
    SelectObject(dc, oldBrush);
    ReleaseDC(window, dc);
    if (GetCapture() == window)
        ReleaseCapture();
    result.end = current;
    const bool isFarEnough =
        std::abs(current.x - start.x) >= threshold || std::abs(current.y - start.y) >= threshold;
    if (ending != Ending::Released || !hasMoved || !isFarEnough)
        return result;
    result.isDrag = true;
    result.rect = SpannedRect(transform, start, current);
    if (start.x > current.x && start.y > current.y) {
        RECT client{};
        GetClientRect(window, &client);
        const MapRect w = SpannedRect(transform, POINT{0, 0}, POINT{client.right, client.bottom});
        MapRect& r = result.rect;
        const auto reflect = [](std::int32_t visible, std::int32_t dragged) {
            const std::int64_t v = 2 * static_cast<std::int64_t>(visible) - dragged;
            return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
        };
        r = MapRect{reflect(w.x1, r.x1), reflect(w.y1, r.y1), reflect(w.x2, r.x2),
                    reflect(w.y2, r.y2)};
    }
    return result;
}
