#pragma once
// The map control: a child window of the framework class that shows a map extent through its
// viewport, turns its messages into signals and, when no observer handles them, zooms, pans
// and rotates on keys, scroll bars and stylus drags (a rubber band). User-interface thread only.

#include "mapdisplay/mapviewport.h"
#include "utilities/usefulcode/eventsource.h"
#include "utilities/usefulcode/mapscrollbars.h"
#include "utilities/usefulcode/windowhandle.h"

#include <memory>

// A message as the control's signals pass it: an observer that handles it sets *handled.
struct MapControlMessage {
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool* handled = nullptr;
};

struct KeyEvent {
    UINT key = 0;       // virtual-key code
    LPARAM keyData = 0; // the WM_KEYDOWN lParam
    bool* handled = nullptr;
};

struct MapControlState {
    WindowHandle window; // the window and its message map
    std::unique_ptr<MapViewport> viewport;
    std::unique_ptr<MapScrollBars> scrollBars; // only with WS_HSCROLL or WS_VSCROLL
    double minScale = 0.0;
    double maxScale = 100000.0;
    bool erase = false;
    HWND windowCopy = nullptr;
    // A viewport replaced while a drag is tracked stays alive until the drag ends: the drag
    // still converts through its transform.
    bool isTracking = false;
    std::unique_ptr<MapViewport> retiredViewport;
};

// The result of a stylus gesture on the map.
struct DragResult {
    bool isDrag = false; // a rectangle was dragged
    POINT end{};         // where the stylus was released (the start when nothing moved)
    MapRect rect;        // the map rectangle to zoom to (reflected for a drag up and left)
};

// Tracks the stylus from start while the left button is down, drawing an inverted outline of
// the map rectangle it spans; the screen is as before when it returns. A gesture under
// threshold pixels in both axes, cancelled (Esc, right button, capture lost, window gone, quit)
// or started while a window holds the capture is no drag.
DragResult TrackDrag(const IMapTransform& transform, HWND window, POINT start, int threshold);

class MapControl {
public:
    MapControl();
    ~MapControl();
    MapControl(const MapControl&) = delete;
    MapControl& operator=(const MapControl&) = delete;

    // rect: the window's rectangle in the parent, or null for the parent's client area. False
    // when the window could not be made.
    [[nodiscard]] bool Create(HWND parent, const RECT* rect, DWORD style, bool erase);
    [[nodiscard]] HWND GetHwnd() const { return m_state->window.window; }

    // Replaces the viewport by one over the extent, at its centre, 10 metres per pixel.
    void SetExtent(const GeoRect& degrees);
    // Null until an extent is set.
    [[nodiscard]] IMapTransform* GetTransform() const;
    // For observers of the view's own signals; null until an extent is set, replaced by
    // SetExtent.
    [[nodiscard]] MapViewport* GetViewport() const { return m_state->viewport.get(); }
    [[nodiscard]] GeoPoint ScreenToGeo(const POINT& p) const;
    [[nodiscard]] POINT GeoToScreen(const GeoPoint& p) const;
    void SetCenter(const GeoPoint& p);
    // Metres per pixel; ignored outside the scale limits.
    void SetScale(double metresPerPixel);
    [[nodiscard]] double GetScale() const;
    void SetScaleLimits(double minimum, double maximum);
    void ZoomTo(const GeoRect& degrees);
    void ShowWhole();
    [[nodiscard]] GeoRect GetVisibleGeoRect() const;
    void SetRotation(double rotation);
    [[nodiscard]] double GetRotation() const;
    // The plus or minus key's zoom: half or double the scale, held at the limits.
    void ZoomByKey(bool isZoomIn);
    // Repaints the whole client area, erasing it when the control was made with erase.
    void InvalidateMap();

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    SingleThreadedEventSource<MapControlMessage> MouseMoved;
    SingleThreadedEventSource<MapControlMessage> LeftButtonDown;
    SingleThreadedEventSource<MapControlMessage> LeftButtonUp;
    SingleThreadedEventSource<MapControlMessage> LeftButtonDoubleClick;
    SingleThreadedEventSource<KeyEvent> KeyDown;
    SingleThreadedEventSource<MapControlMessage> VerticalScroll;
    SingleThreadedEventSource<MapControlMessage> Command;
    SingleThreadedEventSource<HDC> Paint;
    SingleThreadedEventSource<> Painted;

protected:
    // The window's message map, for the handlers of a derived control.
    [[nodiscard]] MessageMapPtr& GetMessageMap() { return m_state->window.map; }

private:
    void OnSize(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled);
    void OnForward(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled);
    void OnLeftButtonDown(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                          bool* handled);
    void OnKeyDown(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled);
    void OnEraseBackground(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                           bool* handled);
    void OnHorizontalScroll(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                            bool* handled);
    void OnVerticalScroll(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                          bool* handled);
    void OnPaint(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled);
    void OnViewportChanged() { InvalidateMap(); }
    void ClampScale();

    OwnerHandlerList m_handlers;
    std::unique_ptr<MapControlState> m_state;
};
