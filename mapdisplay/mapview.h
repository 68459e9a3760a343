#pragma once
// The map view: the map window the pages place on the screen. It owns a map canvas sharing the
// application's facade and adds the position marker, the direction arrow to the destination, the
// traffic and parking overlay and a hint window for tapped names; it follows the matched GPS
// position (north-up or heading-up, re-centring when the position leaves the non-scroll
// rectangle) and zooms by speed, forwards keys to the open TMC message dialog and can write the
// position and the visible corners to a text file.
//
// Threads: the window, its handlers and the drawing belong to the user-interface thread, and so
// do all operations; a page feeds server positions to it on that thread. The position state is
// guarded by a recursive lock because the synchronous redraw of UpdateFollow re-enters it in the
// EndDraw handler.

#include "mapdisplay/mapcanvas.h"
#include "mapdisplay/parkinglayer.h"
#include "onboard/onboardserver.h"
#include "positioning/matchedposition.h"
#include "routing/routeiterator.h"
#include "ui/bitmapbutton.h"
#include "ui/customcontrol.h"
#include "ui/hintwindow.h"
#include "ui/transparentbitmap.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/ownerhandlerlist.h"
#include "utilities/usefulcode/windowhandle.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the owner of a map view hears from it.
class IMapViewListener {
public:
    virtual ~IMapViewListener() = default;
    virtual void OnKey(UINT key) = 0;
    // A tap the view does not use itself; returns whether it was handled.
    virtual bool OnTap() = 0;
    virtual void OnMapOpened() = 0;
    virtual void OnMapClosed() = 0;
    virtual void OnBarButton() = 0;
};

// One entry of the speed-to-zoom table.
struct SpeedRange {
    double speed = 0.0;   // km/h
    double widthKm = 0.0; // visible width
    friend bool operator==(const SpeedRange&, const SpeedRange&) = default;
};

// "speed-width, ..." pieces read with "%lf-%lf"; a piece that does not parse repeats the entry
// before it and is skipped when there is none yet.
[[nodiscard]] std::vector<SpeedRange> ParseSpeedRanges(std::u16string_view text);
// The width of the last entry whose speed lies strictly below speed; last when none does.
[[nodiscard]] double LookUpSpeedRange(const std::vector<SpeedRange>& table, int speed, double last);
// The four "left,top,right,bottom" percentages read with "%d,%d,%d,%d"; fields that do not
// parse keep 20.
[[nodiscard]] std::array<int, 4> ParseNonScrollMargins(std::u16string_view text);

// The process-wide night flag of all map views.
[[nodiscard]] bool IsMapNightMode();

// The 47 x 47 window that points to the destination with one of twelve bitmaps.
class DirectionArrowWindow {
public:
    static constexpr int kControlId = 1234;
    static constexpr std::array<int, 12> kBitmapIds = {941, 937, 940, 930, 931, 932,
                                                       933, 934, 935, 936, 938, 939};

    DirectionArrowWindow();
    ~DirectionArrowWindow();
    DirectionArrowWindow(const DirectionArrowWindow&) = delete;
    DirectionArrowWindow& operator=(const DirectionArrowWindow&) = delete;

    // A hidden child at the top right corner of a parent of the given width.
    void Create(HWND parent, int parentWidth);
    void Destroy();
    [[nodiscard]] HWND GetWindow() const { return m_handle.window; }
    [[nodiscard]] int GetIndex() const { return m_index; }
    // Repaints when the index changes.
    void SetIndex(int index);
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    void OnPaint(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    OwnerHandlerList m_handlers;
    WindowHandle m_handle;
    std::array<HBITMAP, 12> m_bitmaps{};
    SIZE m_size{47, 47};
    int m_index = 0;
};

// One stretch of the drawn route: its points in driving order and their bounding rectangle.
struct RoutePiece {
    GeoRect bounds;
    std::vector<GeoPoint> points;
    std::int32_t elementId = -1;
};

// Device points drawn with Polyline in batches of up to 2048; a full batch is drawn and the
// next one starts at its last point, so the line continues without a gap.
class PolylineBatch {
public:
    static constexpr std::size_t kCapacity = 2048;

    explicit PolylineBatch(HDC dc)
        : m_dc(dc) {}
    void Add(POINT point);
    // Draws what is held when it is more than one point and empties the batch.
    void Flush();

private:
    std::array<POINT, kCapacity> m_points{};
    HDC m_dc;
    std::size_t m_count = 0;
};

// What the pages tell the view about the route: the label shows the distance while the first
// value is below 1.
struct MapRouteStatus {
    bool isValid = false;
    std::int32_t value = 0;
    std::int32_t distance = 0; // metres
};

class MapView;

// The column of skinned buttons at the right edge of the map and the "Distance" label. Each
// button's bitmap id is its control id; buttons that were not created are skipped.
class MapButtonBar {
public:
    static constexpr UINT kExpand = 890;
    static constexpr UINT kNames = 906;
    static constexpr UINT kNorthUp = 894;
    static constexpr UINT kNorthUpAlternative = 895;
    static constexpr UINT kZoomIn = 898;
    static constexpr UINT kZoomOut = 902;
    static constexpr UINT kBarButton = 910;
    static constexpr UINT kNight = 1075;
    static constexpr UINT kPick = 1097;
    static constexpr UINT kNext = 954;
    static constexpr UINT kPrevious = 950;
    static constexpr UINT kZoomToRoute = 946;
    static constexpr UINT kLabelId = 1234;
    static constexpr COLORREF kLabelBackground = 0x6B4910;

    MapButtonBar(MapView& view, bool isGuidance, bool isTracking);
    ~MapButtonBar();
    MapButtonBar(const MapButtonBar&) = delete;
    MapButtonBar& operator=(const MapButtonBar&) = delete;

    void Build(bool routePresent);
    void Collapse();
    void Expand();
    // WM_COMMAND of the map window: the low word of wParam is the button id.
    void OnCommand(MapControlMessage message);
    void UpdateRouteStatus(const MapRouteStatus& status);
    // Places the label and its font by section "Arrow" for a window of the given size.
    void LayOutLabel(int width, int height);
    void HideAll();
    void SetMetric(bool isMetric) { m_metric = isMetric; }
    void Destroy();

    [[nodiscard]] BitmapButton* GetButton(UINT id);
    [[nodiscard]] CustomStatic* GetLabel() { return m_label.get(); }
    // The windows of the bar: its buttons and the label.
    [[nodiscard]] std::vector<HWND> GetWindows() const;
    [[nodiscard]] bool IsExpanded() const { return m_expanded; }
    [[nodiscard]] bool IsRoutePreview() const { return m_routePreview; }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    void Create(UINT id, bool isToggle, UINT alternative, DWORD style);
    void Place(UINT id, int top, int height);

    OwnerHandlerList m_handlers;
    MapView& m_view;
    std::vector<std::pair<UINT, std::unique_ptr<BitmapButton>>> m_buttons;
    std::unique_ptr<CustomStatic> m_label;
    HFONT m_font = nullptr;
    bool m_guidance;
    bool m_tracking;
    bool m_expanded = false;
    BYTE m_northUp = 0;
    bool m_routePresent = false;
    bool m_routePreview = false;
    std::int32_t m_lastDistance = -1;
    bool m_metric = true;
};

class MapView {
public:
    // Null when it cannot be allocated. The listener is not owned.
    [[nodiscard]] static MapView* Create(Onboard::OnboardServerPtr server,
                                         IMapViewListener* listener, bool isGuidance,
                                         bool isTracking);
    MapView(Onboard::OnboardServerPtr server, IMapViewListener* listener, bool isGuidance,
            bool isTracking);
    ~MapView();
    MapView(const MapView&) = delete;
    MapView& operator=(const MapView&) = delete;

    void SetMapEngine(six::RefCntPtr<MapEngineFacade> facade);
    void Show(const RECT& rect, HWND parent);
    void SetZOrder(HWND after);
    [[nodiscard]] HWND GetHwnd() const;
    void SetFocus();
    void UpdateFollow();
    bool SetPosition(const MatchedPosition& position);
    void OnKey(UINT key);
    void SetHeadingUp(bool isOn);
    // True while the map turns with the car's heading (heading-up), false while it is north-up.
    [[nodiscard]] bool IsHeadingUp();
    void SetDrawSuppression(bool guidance, bool other);
    void ShowPoint(const GeoPoint& point);
    // Keeps the object (null: none) and zooms to "PointResolution", centred on the object's
    // place: the point of a one-point element, else the centre of its bounding rectangle. A pick
    // clears it.
    void ShowObject(six::IntfPtr<MapElement> object);
    [[nodiscard]] const six::IntfPtr<MapElement>& GetShownObject() const { return m_shownObject; }
    void HighlightElement(std::int32_t id);
    void SetPointList(const std::vector<GeoPoint>& points);
    void ShowElement(std::uint32_t id);
    void SetOptionFlag(bool isOn);
    [[nodiscard]] bool GetOptionFlag() const;
    void SetPickMode(bool isOn) { m_pickMode = isOn; }
    [[nodiscard]] bool IsPickMode() const { return m_pickMode; }
    void ZoomToArea(std::size_t index);
    void SetFlagPoint(const GeoPoint& point) { m_flagPoint = point; }
    void WritePosition(const MatchedPosition& position, bool withoutGps);
    void ApplySpeedZoom(int speed);
    void PanLeft();
    void PanRight();
    void PanUp();
    void PanDown();
    void ZoomIn();
    void ZoomOut();
    // Hides the bar's buttons and label and stops the direction arrow from being shown.
    void HideButtons();
    void UpdateRouteStatus(const MapRouteStatus& status);
    void SetMetric(bool isMetric) { m_bar.SetMetric(isMetric); }
    [[nodiscard]] MapButtonBar& GetButtonBar() { return m_bar; }
    // Builds the route overlay from the route parts (one area per part); returns the route's
    // last point, (0, 0) when there is no route or a part has no valid iterator (the pieces
    // built so far are kept).
    GeoPoint SetRoute(const std::vector<RouteIteratorPtr>& parts);
    void ClearRoute();
    [[nodiscard]] bool HasRoute();
    void ZoomToRoute();
    // Lines drawn in "DestPointColor" over the route in guidance.
    void SetHighlightLines(const std::vector<std::vector<GeoPoint>>& lines);
    void ShowPointAt(float x, float y) { ShowPoint(GeoPoint{x, y}); }
    void ToggleNightMode();
    int NextPoint();
    int PreviousPoint();
    void Destroy();
    [[nodiscard]] MapCanvas* GetCanvas();
    void SetDayStyle();
    void SetNightStyle();

    // Tap options.
    void SetNamesOnTap(bool isOn) { m_namesOnTap = isOn; }
    void SetPickOnTap(bool isOn) { m_pickOnTap = isOn; }

    // State for the owner and for tests.
    [[nodiscard]] const RECT& GetNonScrollRect() const { return m_nonScroll; }
    [[nodiscard]] const RECT& GetTargetRect() const { return m_target; }
    [[nodiscard]] const DirectionArrowWindow& GetArrowWindow() const { return m_arrow; }
    [[nodiscard]] HintWindow* GetHintWindow() { return m_hint.get(); }
    [[nodiscard]] const std::vector<SpeedRange>& GetSpeedTable() const { return m_speeds; }
    [[nodiscard]] const std::u16string& GetDumpPath() const { return m_dumpPath; }
    [[nodiscard]] const RECT& GetMarkerRect() const { return m_markerRect; }
    [[nodiscard]] std::size_t GetPointCursor() const { return m_pointCursor; }
    [[nodiscard]] GeoPoint GetFlagPoint() const { return m_flagPoint; }
    [[nodiscard]] bool IsMarkerDrawn() const { return m_markerDrawn; }
    // Whether a position of the car has been given (SetPosition): until then the view has no
    // car to show and draws no marker.
    [[nodiscard]] bool HasCarPosition() const { return m_hasPosition; }
    // Whether the user's last pan or zoom still holds the view where it put it: its suspension
    // has not run out, or no position has come since to bring the car back.
    [[nodiscard]] bool IsFollowHeld() const { return m_suspensionStart != 0; }
    [[nodiscard]] six::RefCntPtr<ParkingLayer> GetOverlay() const { return m_overlay; }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    [[nodiscard]] std::vector<RoutePiece> GetRoutePieces();
    [[nodiscard]] GeoRect GetRouteExtent();
    [[nodiscard]] std::vector<GeoRect> GetAreas();
    [[nodiscard]] GeoPoint GetRouteStart() const { return m_routeStart; }
    [[nodiscard]] GeoPoint GetDestination() const { return m_destination; }
    // The route line of a drawing pass, for the pen the caller selected.
    void DrawRoute(HDC dc);

private:
    friend class MapButtonBar;
    void SetUp(const RECT& rect, HWND parent);
    // Zooms to the route extent when it is a proper rectangle; optionally starts the follow
    // suspension.
    void ZoomToExtent(bool suspend);
    void ComputeNonScrollRect(int width, int height);
    void StartSuspension();
    [[nodiscard]] bool IsSuspended();
    [[nodiscard]] bool IsFollowing() const { return m_isGuidance || m_isTracking; }
    [[nodiscard]] bool IsReducedMap() const;
    void DrawMarker(HDC dc, POINT at, bool following);
    // Paints the map's shown child windows (the bar, the label, the arrow) that reach into area
    // again, over what was drawn on the map beneath them: the bar's buttons key out the corners
    // of their faces, where the map shows.
    void RepaintChildWindowsOver(const RECT& area) const;
    [[nodiscard]] RECT EraseRect() const;
    void WriteDumpIfOn();
    bool Pick(const GeoPoint& point);
    int StepPoint(int direction);
    void Repaint();
    // At a follow step (the position lock held): moves the cut forward to where the car is on
    // the route; the screen rectangle of the stretch of route it passed over, empty when the cut
    // stayed.
    [[nodiscard]] RECT AdvanceCut();
    GeoPoint ShapeFromElement(RoutePiece& piece, const six::RefCntPtr<MapEngineFacade>& facade);
    void DrawFlag(HDC dc, const GeoPoint& point);
    void DrawLines(HDC dc, const std::vector<std::vector<GeoPoint>>& lines, bool onlyVisible);
    [[nodiscard]] COLORREF RouteColour() const;
    [[nodiscard]] int BandFactor() const;

    void OnBeginDraw(std::uint32_t* result, DrawContext* context);
    void OnBeginLayer(std::uint32_t* result, DrawContext* context, std::uint32_t layerCode,
                      std::uint32_t* state);
    void OnFilterClass(std::uint32_t* result, DrawContext* context, std::uint32_t classId);
    void OnEndLayer(DrawContext* context, std::uint32_t layerCode);
    void OnEndDraw(DrawContext* context);
    void OnKeyDown(KeyEvent event);
    void OnLeftButtonDown(MapControlMessage message);
    void OnMapOpened();
    void OnMapClosed();
    void OnVerticalScroll(MapControlMessage message);

    OwnerHandlerList m_handlers;
    MapButtonBar m_bar;
    bool m_isGuidance;
    bool m_isTracking;
    DWORD m_suspensionDelay = 20000;
    DWORD m_suspensionStart = 0;
    MatchedPosition m_lastPosition{};
    MatchedPosition m_freshPosition{};
    Onboard::OnboardServerPtr m_server;
    six::RefCntPtr<MapEngineFacade> m_facade;
    IMapViewListener* m_listener;
    bool m_writePosition = false;
    std::unique_ptr<HintWindow> m_hint;
    RECT m_dumpRect{};
    std::u16string m_dumpPath;
    DirectionArrowWindow m_arrow;
    CritSect m_positionLock;
    CritSect m_routeLock;
    CritSect m_statusLock;

    // Settings of section "Map".
    COLORREF m_routeColorNight = 0xFF00;
    COLORREF m_routeColor = 0xFF0000;
    int m_routeWidth = 8;
    COLORREF m_destPointColor = 0xFF;
    int m_destPointRadius = 5;
    int m_sensitiveAreaWidth = 5;
    int m_pointResolution = 3;
    int m_minAngleDiff = 15;
    std::u16string m_nonScrollText;
    std::u16string m_speedText;

    bool m_namesOnTap = false;
    bool m_suppressGuidance = true;
    bool m_suppressOther = true;
    bool m_pickOnTap = false;
    bool m_arrowAllowed = true;
    bool m_pickMode = false;
    GeoPoint m_flagPoint;
    six::IntfPtr<MapElement> m_shownObject;
    std::vector<std::vector<GeoPoint>> m_highlighted;
    std::vector<GeoPoint> m_points;
    std::size_t m_pointCursor = 0;
    std::vector<GeoRect> m_areas;
    GeoRect m_routeExtent{180, 180, -180, -180};
    std::vector<RoutePiece> m_pieces;
    // Where the route drawn in guidance begins: at point `point` of piece `piece`, the point
    // behind the car or under it; the whole route while not set. It moves only forward along
    // the route, at the follow steps, and every paint draws from it, so that a follow step, a
    // partial and a whole repaint show the same route. A new route starts it over.
    struct RouteCut {
        std::size_t piece = 0;
        std::size_t point = 0;
        bool isSet = false;
    };
    RouteCut m_cut;
    std::vector<POINT> m_scratch;
    std::vector<std::vector<GeoPoint>> m_highlightLines;
    GeoPoint m_routeStart;
    std::vector<SpeedRange> m_speeds;
    double m_lastWidth = 0.0;

    // Following.
    GeoPoint m_current;
    GeoPoint m_previous;
    bool m_hasPosition = false;
    bool m_markerDrawn = false;
    bool m_redrawing = false;
    float m_heading = 0.0f;
    bool m_autoZoom = true; // on the road network until a position says otherwise
    GeoPoint m_destination;
    bool m_readyToDraw = false;
    bool m_headingUp = false;
    std::array<int, 4> m_margins{20, 20, 20, 20};
    RECT m_nonScroll{};
    RECT m_target{};
    RECT m_markerRect{-20, -20, 20, 20};
    RECT m_markerReach{}; // m_markerRect relative to the point it was drawn at
    std::unique_ptr<TransparentBitmap> m_markerBitmap;
    std::unique_ptr<TransparentBitmap> m_flagBitmap;

    std::unique_ptr<MapCanvas> m_canvas;
    six::RefCntPtr<ParkingLayer> m_overlay;
};
