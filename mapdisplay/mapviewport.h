#pragma once
// The viewport of a map control: its transform, window size and map extent, and the zooming,
// panning and scroll information built on them. Signals fire on the calling thread; user-
// interface thread only.

#include "mapdisplay/maptransform.h"
#include "utilities/usefulcode/eventsource.h"

#include <memory>

// The scroll bars' range: positions and pages run over 0..kMapScrollRange of the map extent.
inline constexpr int kMapScrollRange = 32768;

// Class of a screen point against a window of the given size.
inline constexpr int kScreenPointOnBorder = 0;
inline constexpr int kScreenPointOutside = 1;
inline constexpr int kScreenPointInside = 2;

// kScreenPointOutside beyond 0..width or 0..height, kScreenPointOnBorder on one of those
// bounds, else kScreenPointInside.
[[nodiscard]] int ClassifyScreenPoint(const POINT& p, const SIZE& size);
// Outside when any point is outside, else on the border when any is, else inside.
[[nodiscard]] int ClassifyScreenPoints(const POINT* points, int count, const SIZE& size);

class MapViewport {
public:
    // Installs a new ViewportTransform over the extent (scale 1, centre (0, 0), size (1, 1)).
    explicit MapViewport(const MapRect& extent);
    virtual ~MapViewport();
    MapViewport(const MapViewport&) = delete;
    MapViewport& operator=(const MapViewport&) = delete;

    [[nodiscard]] virtual POINT WorldToScreen(const MapPoint& p) const;
    [[nodiscard]] virtual MapPoint ScreenToWorld(const POINT& p) const;
    [[nodiscard]] virtual MapRect GetExtent() const;
    virtual void SetScale(double metresPerPixel);
    [[nodiscard]] virtual double GetScale() const;
    virtual void SetCenter(const MapPoint& center);
    [[nodiscard]] virtual MapPoint GetCenter() const;
    virtual void SetRotation(double rotation);
    [[nodiscard]] virtual double GetRotation() const;

    // Takes ownership; the new transform takes over the scale, centre and size of the one it
    // replaces.
    void SetTransform(std::unique_ptr<IMapTransform> transform);
    [[nodiscard]] IMapTransform* GetTransform() const { return m_transform.get(); }
    // Width and height in pixels; values below 1 count as 1.
    void SetSize(const SIZE& size);
    [[nodiscard]] SIZE GetSize() const { return SIZE{m_width, m_height}; }
    // A fresh transform at the extent's centre, 10 metres per pixel.
    void FitExtent();
    // Zooms so that the extent's full height fits the window.
    void ShowWhole();

    // Position in the low 16 bits, page in the high 16 bits, both over 0..kMapScrollRange of
    // the extent (the vertical position counted from the top).
    [[nodiscard]] DWORD GetHorizontalScrollInfo() const;
    [[nodiscard]] DWORD GetVerticalScrollInfo() const;

    void ZoomIn();
    void ZoomOut();
    void PanUp();
    void PanDown();
    void PanLeft();
    void PanRight();
    void PageUp();
    void PageDown();
    void PageLeft();
    void PageRight();

    // Centres on r and sets the scale at which it just fits the window. Does nothing in a
    // window under 2 pixels wide or high.
    void ZoomToRect(const MapRect& r);
    // The window's map rectangle, clipped to the extent.
    [[nodiscard]] MapRect GetVisibleRect() const;
    // Moves the centre by percent of the visible span (direction +1 up or right, -1 down or
    // left) unless the view already reaches the extent's edge that way. Fires nothing.
    void PanVertical(int percent, int direction);
    void PanHorizontal(int percent, int direction);
    // Re-centres on the extent when it lies strictly inside the window.
    void LimitZoomOut();

    SingleThreadedEventSource<> Changed;
    SingleThreadedEventSource<std::int32_t, std::int32_t> CenterChanged;
    SingleThreadedEventSource<double> ScaleChanged;
    SingleThreadedEventSource<DWORD, DWORD> ScrollInfoChanged;
    SingleThreadedEventSource<double> RotationChanged;
    SingleThreadedEventSource<std::int32_t, std::int32_t> PanRequested;
    SingleThreadedEventSource<> Panned;

private:
    void FireScrollInfo();
    void FireCenter();
    void Pan(int dxPercent, int dyPercent, bool isVertical, int percent, int direction);
    [[nodiscard]] int ClassifyRect(const MapRect& r) const;

    std::unique_ptr<IMapTransform> m_transform;
    std::int32_t m_width = 1;
    std::int32_t m_height = 1;
};
