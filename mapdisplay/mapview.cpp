#include "mapdisplay/mapview.h"

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "mapdisplay/pickrecord.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/stdio.h"
#include "platform/gdi/dib.h"
#include "platform/kernel/time.h"
#include "platform/shell/resources.h"
#include "platform/shell/specialfolder.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <new>
#include <optional>

namespace {

std::atomic<bool> g_nightMode{false};

constexpr DWORD kCanvasStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER;
constexpr COLORREF kHintBackground = 0xCCFFFF;

constexpr int kMarkerBitmapId = 390;
constexpr COLORREF kMarkerKey = 0xFF0000;
constexpr int kFlagBitmapId = 1089;
constexpr float kPickRadius = 0.0003f;
constexpr double kDegreesToRadians = 0.017453292519944444;
constexpr double kRadiansToDegrees = 57.29577951307855;
constexpr double kTwoPi = 6.28318530718;
constexpr int kMarkerLimit = 16384;

// The keys the map control acts on by itself: zoom and the arrows.
bool IsOwnersMapKey(UINT key) {
    return key == VK_ADD || key == VK_SUBTRACT || key == VK_LEFT || key == VK_RIGHT ||
           key == VK_UP || key == VK_DOWN;
}

// The text as plain characters for the C scanners (others become '?').
std::string Narrow(std::u16string_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (const char16_t c : text) {
        narrow.push_back(c > 0 && c < 0x80 ? static_cast<char>(c) : '?');
    }
    return narrow;
}

std::u16string Widen(const char* text) {
    std::u16string wide;
    for (; *text != 0; ++text) {
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
    }
    return wide;
}

std::u16string Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return Widen(buffer);
}

int ReadMapInt(const char16_t* key, int defaultValue) {
    return IniProfile::GetInt(u"Map", key, AppPaths::GetSettingsFilePath().c_str(), defaultValue);
}

double Wrap(double angle) {
    if (angle < 0.0) {
        angle += kTwoPi;
    } else if (angle > kTwoPi) {
        angle -= kTwoPi;
    }
    return angle;
}

bool PointInRect(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// Layers of class group 1 with a layer byte carry the route overlays.
bool IsRouteLayer(std::uint32_t layerCode) {
    return layerCode >= 0x10001 && layerCode <= 0x1FFFF;
}

constexpr float kNoCoordinates = 3.4028235e38f;
const GeoRect kEmptyExtent{180, 180, -180, -180};

// How far (metres) a matched position may lie off the route's line and still be on it.
constexpr double kOnRouteMetres = 30.0;

// The distance in metres (the earth taken flat around p) from p to the segment a-b; nearest
// receives the segment's point nearest to p.
double SegmentMetres(GeoPoint p, GeoPoint a, GeoPoint b, GeoPoint& nearest) {
    const double perX = 111320.0 * std::cos(static_cast<double>(p.y) * kDegreesToRadians);
    constexpr double kPerY = 110540.0;
    const double ax = (static_cast<double>(a.x) - p.x) * perX;
    const double ay = (static_cast<double>(a.y) - p.y) * kPerY;
    const double dx = (static_cast<double>(b.x) - a.x) * perX;
    const double dy = (static_cast<double>(b.y) - a.y) * kPerY;
    const double length = dx * dx + dy * dy;
    const double t = length > 0.0 ? std::clamp(-(ax * dx + ay * dy) / length, 0.0, 1.0) : 0.0;
    nearest = GeoPoint{static_cast<float>(a.x + t * (static_cast<double>(b.x) - a.x)),
                       static_cast<float>(a.y + t * (static_cast<double>(b.y) - a.y))};
    return std::hypot(ax + t * dx, ay + t * dy);
}

// Widens by 10 % of the width and height on each side.
void InflateByTenth(GeoRect& r) {
    r.Inflate((r.maxX - r.minX) * 0.1f, (r.maxY - r.minY) * 0.1f);
}

bool SamePoint(POINT a, POINT b) {
    return a.x == b.x && a.y == b.y;
}

// Where an element stands on the map: the point of a one-point element, else the centre of its
// bounding rectangle; false for an element without points.
bool PositionOf(MapElement& element, GeoPoint& position) {
    const std::uint32_t count = element.GetPointCount();
    if (count == 0) {
        return false;
    }
    if (count == 1) {
        element.GetPoint(position, 0);
    } else {
        GeoRect bounds;
        element.GetBounds(bounds);
        position = bounds.GetCenter();
    }
    return true;
}

} // namespace

std::vector<SpeedRange> ParseSpeedRanges(std::u16string_view text) {
    std::vector<SpeedRange> table;
    const std::string narrow = Narrow(text);
    std::size_t start = 0;
    while (start <= narrow.size()) {
        const std::size_t comma = std::min(narrow.find(',', start), narrow.size());
        const std::string piece = narrow.substr(start, comma - start);
        SpeedRange entry;
        if (std::sscanf(piece.c_str(), "%lf-%lf", &entry.speed, &entry.widthKm) == 2) {
            table.push_back(entry);
        } else if (!table.empty()) {
            table.push_back(table.back());
        }
        start = comma + 1;
    }
    return table;
}

double LookUpSpeedRange(const std::vector<SpeedRange>& table, int speed, double last) {
    for (const SpeedRange& entry : table) {
        if (entry.speed < speed) {
            last = entry.widthKm;
        }
    }
    return last;
}

std::array<int, 4> ParseNonScrollMargins(std::u16string_view text) {
    std::array<int, 4> margins{20, 20, 20, 20};
    (void)std::sscanf(Narrow(text).c_str(), "%d,%d,%d,%d", &margins[0], &margins[1], &margins[2],
                      &margins[3]);
    return margins;
}

bool IsMapNightMode() {
    return g_nightMode.load();
}

// ---------------------------------------------------------------------------------------------

DirectionArrowWindow::DirectionArrowWindow() {
    ConnectMessageHandler(m_handle.map, WM_PAINT, this, &DirectionArrowWindow::OnPaint);
}

DirectionArrowWindow::~DirectionArrowWindow() {
    Destroy();
}

void DirectionArrowWindow::Create(HWND parent, int parentWidth) {
    if (m_handle.window != nullptr) {
        return;
    }
    for (std::size_t i = 0; i < kBitmapIds.size(); ++i) {
        if (m_bitmaps[i] == nullptr) {
            m_bitmaps[i] =
                LoadBitmapW(platform::ResourceInstance(), MAKEINTRESOURCEW(kBitmapIds[i]));
        }
    }
    BITMAP info{};
    if (m_bitmaps[0] != nullptr && GetObjectW(m_bitmaps[0], sizeof info, &info) != 0) {
        m_size = SIZE{info.bmWidth, info.bmHeight};
    }
    // The button bar's column may reach up into the corner: the arrow lies beneath its buttons
    // and paints only where they leave it.
    CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", WS_CHILD | WS_CLIPSIBLINGS,
                    parentWidth - 47, 0, m_size.cx, m_size.cy, parent,
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kControlId)),
                    platform::ResourceInstance(), &m_handle);
    if (m_handle.window != nullptr) {
        SetWindowPos(m_handle.window, HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void DirectionArrowWindow::Destroy() {
    if (m_handle.window != nullptr) {
        DestroyWindow(m_handle.window);
        m_handle.window = nullptr;
    }
    for (HBITMAP& bitmap : m_bitmaps) {
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
            bitmap = nullptr;
        }
    }
}

void DirectionArrowWindow::SetIndex(int index) {
    if (index == m_index) {
        return;
    }
    m_index = index;
    if (m_handle.window != nullptr) {
        InvalidateRect(m_handle.window, nullptr, FALSE);
    }
}

void DirectionArrowWindow::OnPaint(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(m_handle.window, &paint);
    HBITMAP bitmap = m_bitmaps[static_cast<std::size_t>(m_index)];
    if (dc != nullptr && bitmap != nullptr) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, bitmap);
        BitBlt(dc, 0, 0, m_size.cx, m_size.cy, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
    }
    EndPaint(m_handle.window, &paint);
    *result = 0;
    *handled = true;
}

// ---------------------------------------------------------------------------------------------

MapView* MapView::Create(Onboard::OnboardServerPtr server, IMapViewListener* listener,
                         bool isGuidance, bool isTracking) {
    return new (std::nothrow) MapView(std::move(server), listener, isGuidance, isTracking);
}

MapView::MapView(Onboard::OnboardServerPtr server, IMapViewListener* listener, bool isGuidance,
                 bool isTracking)
    : m_bar(*this, isGuidance, isTracking)
    , m_isGuidance(isGuidance)
    , m_isTracking(isTracking)
    , m_server(std::move(server))
    , m_listener(listener) {
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    m_routeColorNight = static_cast<COLORREF>(ReadMapInt(u"RouteColorNight", 0xFF00));
    m_routeColor = static_cast<COLORREF>(ReadMapInt(u"RouteColor", 0xFF0000));
    m_routeWidth = ReadMapInt(u"RouteWidth", 8);
    m_destPointColor = static_cast<COLORREF>(ReadMapInt(u"DestPointColor", 0xFF));
    m_destPointRadius = ReadMapInt(u"DestPointRadius", 5);
    m_sensitiveAreaWidth = ReadMapInt(u"SensitiveAreaWidth", 5);
    m_pointResolution = ReadMapInt(u"PointResolution", 3);
    m_minAngleDiff = ReadMapInt(u"MinAngleDiff", 15);
    m_nonScrollText =
        IniProfile::GetString(u"Map", u"NonScrollRect", settings.c_str(), u"20,20,20,20");
    m_speedText = IniProfile::GetString(u"Map", u"Speed range", settings.c_str(),
                                        u"0-0.5, 20-1, 60-2, 100-5");
    const int delay = IniProfile::GetInt(u"AutoZoomDelay", u"Delay", settings.c_str(), 20);
    m_suspensionDelay = static_cast<DWORD>(delay) * 1000u;
    m_writePosition = IniProfile::GetInt(u"Position", u"WriteInFile", settings.c_str(), 0) != 0;

    if (HBITMAP marker =
            LoadBitmapW(platform::ResourceInstance(), MAKEINTRESOURCEW(kMarkerBitmapId))) {
        m_markerBitmap = std::make_unique<TransparentBitmap>(marker, kMarkerKey);
        DeleteObject(marker);
    }
    if (HBITMAP flag = LoadBitmapW(platform::ResourceInstance(), MAKEINTRESOURCEW(kFlagBitmapId))) {
        m_flagBitmap = std::make_unique<TransparentBitmap>(flag, 0xFFFFFF);
        DeleteObject(flag);
    }
}

MapView::~MapView() {
    Destroy();
    m_arrow.Destroy();
}

void MapView::SetMapEngine(six::RefCntPtr<MapEngineFacade> facade) {
    m_facade = std::move(facade);
}

MapCanvas* MapView::GetCanvas() {
    if (!m_canvas) {
        m_canvas = std::make_unique<MapCanvas>();
        if (!m_overlay) {
            m_overlay = CreateParkingLayer();
        }
    }
    return m_canvas.get();
}

void MapView::Show(const RECT& rect, HWND parent) {
    if (!m_canvas || m_canvas->GetHwnd() == nullptr || !IsWindow(m_canvas->GetHwnd())) {
        SetUp(rect, parent);
    }
    if (!m_canvas || m_canvas->GetHwnd() == nullptr) {
        return;
    }
    MoveWindowToRect(m_canvas->GetHwnd(), rect, true);
    m_bar.LayOutLabel(rect.right - rect.left, rect.bottom - rect.top);
    ComputeNonScrollRect(rect.right - rect.left, rect.bottom - rect.top);
}

void MapView::SetUp(const RECT& rect, HWND parent) {
    MapCanvas* canvas = GetCanvas();
    if (!canvas->Create(parent, &rect, kCanvasStyle, false)) {
        return;
    }
    // Step 2: the ten signals.
    canvas->BeginDraw.ConnectUnlocked(this, &MapView::OnBeginDraw);
    canvas->BeginLayer.ConnectUnlocked(this, &MapView::OnBeginLayer);
    canvas->FilterClass.ConnectUnlocked(this, &MapView::OnFilterClass);
    canvas->EndLayer.ConnectUnlocked(this, &MapView::OnEndLayer);
    canvas->KeyDown.ConnectUnlocked(this, &MapView::OnKeyDown);
    canvas->LeftButtonDown.ConnectUnlocked(this, &MapView::OnLeftButtonDown);
    canvas->MapOpened.ConnectUnlocked(this, &MapView::OnMapOpened);
    canvas->MapClosed.ConnectUnlocked(this, &MapView::OnMapClosed);
    canvas->VerticalScroll.ConnectUnlocked(this, &MapView::OnVerticalScroll);
    canvas->Command.ConnectUnlocked(&m_bar, &MapButtonBar::OnCommand);
    canvas->SetEngine(m_facade);
    m_margins = ParseNonScrollMargins(m_nonScrollText);
    canvas->SetHaloFlag(true);
    canvas->SetShieldCountryFlag(true);
    canvas->ShowWhole();
    m_speeds = ParseSpeedRanges(m_speedText);
    m_hint = std::make_unique<HintWindow>(canvas->GetHwnd(), kHintBackground);
    m_arrow.Create(canvas->GetHwnd(), rect.right - rect.left);
    if (m_overlay) {
        six::RefCntPtr<TmcMessageStore> store =
            m_server ? m_server->GetTmcMessageStore() : six::RefCntPtr<TmcMessageStore>();
        if (store) {
            m_overlay->Connect(store);
        }
        m_overlay->AttachMapView(canvas);
        if (store) {
            store->AnnounceAll();
        }
        const std::u16string folder = AppPaths::GetModuleDirectory() + u"tmc\\";
        (void)m_overlay->Load(folder.c_str());
    }
    // The car is drawn last at the end of a pass, over the overlay's arrows and signs, as the
    // following step draws it over everything: the handlers run in the order they were connected.
    canvas->EndDraw.ConnectUnlocked(this, &MapView::OnEndDraw);
    if (m_writePosition) {
        GetClientRect(canvas->GetHwnd(), &m_dumpRect);
    }
    WCHAR documents[MAX_PATH] = {};
    if (SHGetSpecialFolderPathW(nullptr, documents, CSIDL_PERSONAL, FALSE) != FALSE) {
        m_dumpPath = std::u16string(documents) + u"\\PKPosition.txt";
    } else {
        m_dumpPath.clear();
    }
    m_bar.Build(HasRoute());
}

void MapView::ComputeNonScrollRect(int width, int height) {
    m_nonScroll.left = m_margins[0] * width / 100;
    m_nonScroll.top = m_margins[1] * height / 100;
    m_nonScroll.right = width - m_margins[2] * width / 100;
    m_nonScroll.bottom = height - m_margins[3] * height / 100;
    const int quarter = (m_nonScroll.right - m_nonScroll.left) / 4;
    m_target.left = m_nonScroll.left + quarter;
    m_target.top = (m_nonScroll.top + m_nonScroll.bottom + 1) / 2;
    m_target.right = m_nonScroll.right - quarter;
    m_target.bottom = m_nonScroll.bottom;
}

void MapView::Destroy() {
    if (m_overlay) {
        m_overlay->AttachMapView(nullptr);
        m_overlay = nullptr;
    }
    if (!m_canvas) {
        return;
    }
    m_canvas->BeginDraw.DisconnectUnlocked(this);
    m_canvas->BeginLayer.DisconnectUnlocked(this);
    m_canvas->FilterClass.DisconnectUnlocked(this);
    m_canvas->EndLayer.DisconnectUnlocked(this);
    m_canvas->EndDraw.DisconnectUnlocked(this);
    m_canvas->KeyDown.DisconnectUnlocked(this);
    m_canvas->LeftButtonDown.DisconnectUnlocked(this);
    m_canvas->MapOpened.DisconnectUnlocked(this);
    m_canvas->MapClosed.DisconnectUnlocked(this);
    m_canvas->VerticalScroll.DisconnectUnlocked(this);
    m_canvas->Command.DisconnectUnlocked(&m_bar);
    m_bar.Destroy();
    m_hint.reset();
    m_arrow.Destroy();
    if (m_canvas->GetHwnd() != nullptr) {
        SendMessageW(m_canvas->GetHwnd(), WM_CLOSE, 0, 0);
    }
    m_canvas.reset();
}

void MapView::SetZOrder(HWND after) {
    if (HWND window = GetHwnd()) {
        SetWindowPos(window, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
}

HWND MapView::GetHwnd() const {
    return m_canvas ? m_canvas->GetHwnd() : nullptr;
}

void MapView::SetFocus() {
    if (HWND window = GetHwnd()) {
        ::SetFocus(window);
    }
}

void MapView::Repaint() {
    if (m_canvas) {
        m_canvas->InvalidateMap();
    }
}

// --- Follow suspension -------------------------------------------------------------------------

void MapView::StartSuspension() {
    m_suspensionStart = GetTickCount();
}

bool MapView::IsSuspended() {
    if (m_suspensionStart == 0) {
        return false;
    }
    if (GetTickCount() - m_suspensionStart < m_suspensionDelay) {
        return true;
    }
    m_suspensionStart = 0;
    return false;
}

// --- Position and following --------------------------------------------------------------------

bool MapView::SetPosition(const MatchedPosition& position) {
    ScopedLock lock(&m_positionLock);
    m_lastPosition = position;
    m_hasPosition = true;
    bool changed = false;
    if (position.matched.x != m_current.x || position.matched.y != m_current.y) {
        if (m_markerDrawn) {
            m_previous = m_current;
        }
        m_current = position.matched;
        m_markerDrawn = false;
        changed = true;
    }
    const float heading = static_cast<float>(position.heading);
    if (heading != m_heading) {
        // The marker drawn with the old heading is the one the next follow step erases.
        if (m_markerDrawn) {
            m_previous = m_current;
            m_markerDrawn = false;
        }
        m_heading = heading;
        changed = true;
    }
    // A suspension that ends now leaves the view where the user moved it: the following step
    // that brings the car back is due even while the car stands.
    const bool wasSuspended = m_suspensionStart != 0;
    if (IsFollowing() && !IsSuspended()) {
        changed = changed || wasSuspended;
        const bool streetsNear = position.streetsNear != 0;
        if (streetsNear != m_autoZoom) {
            m_autoZoom = streetsNear;
            if (m_arrowAllowed && m_arrow.GetWindow() != nullptr) {
                ShowWindow(m_arrow.GetWindow(), m_autoZoom ? SW_HIDE : SW_SHOWNA);
            }
        }
        const double width = LookUpSpeedRange(m_speeds, position.fix.speed, m_lastWidth);
        if (width != m_lastWidth) {
            m_lastWidth = width;
            if (m_canvas && m_canvas->GetHwnd() != nullptr) {
                RECT client{};
                GetClientRect(m_canvas->GetHwnd(), &client);
                if (client.right > 0) {
                    m_canvas->SetScale(width * 1000.0 / client.right);
                }
            }
        }
        if (!m_autoZoom && (m_destination.x != 0.0f || m_destination.y != 0.0f)) {
            const double toDestination =
                Wrap(std::atan2(static_cast<double>(m_destination.y - m_current.y),
                                static_cast<double>(m_destination.x - m_current.x)));
            const double headingAngle = Wrap((450.0 - m_heading) * kDegreesToRadians);
            const double d = (toDestination - headingAngle) * kRadiansToDegrees;
            int index = static_cast<int>((d + 15.0) / 30) % 12;
            if (index < 0) {
                index += 12;
            }
            m_arrow.SetIndex(index);
        }
    }
    if (m_writePosition && IsFollowing()) {
        WritePosition(position, false);
    }
    return changed && IsFollowing();
}

void MapView::UpdateFollow() {
    ScopedLock lock(&m_positionLock);
    if (!m_canvas || m_canvas->GetHwnd() == nullptr || m_canvas->GetTransform() == nullptr) {
        return;
    }
    m_readyToDraw = true;
    const bool suspended = IsSuspended();
    if (!suspended && m_headingUp) {
        const double wanted = 360.0 - m_heading;
        if (std::fabs(m_canvas->GetRotation() - wanted) > m_minAngleDiff) {
            m_canvas->SetRotation(wanted);
        }
    }
    POINT s = m_canvas->GeoToScreen(m_current);
    const RECT& follow = m_headingUp ? m_target : m_nonScroll;
    if (!suspended && !PointInRect(follow, s)) {
        if (m_headingUp) {
            const POINT m{(m_nonScroll.left + m_nonScroll.right) / 2,
                          (m_nonScroll.top + m_nonScroll.bottom) / 2};
            const POINT t{(m_target.left + m_target.right) / 2, m_target.bottom};
            const GeoPoint offset = m_canvas->ScreenToGeo(m) - m_canvas->ScreenToGeo(t);
            m_canvas->SetCenter(GeoPoint{m_current.x + offset.x, m_current.y + offset.y});
        } else {
            m_canvas->SetCenter(m_current);
        }
        s = m_canvas->GeoToScreen(m_current);
    }
    if (!IsFollowing()) {
        return;
    }
    // The stretch of route the car has passed goes with the marker it last drew.
    const RECT passed = AdvanceCut();
    if (passed.right > passed.left && passed.bottom > passed.top) {
        RedrawWindow(m_canvas->GetHwnd(), &passed, nullptr, RDW_INVALIDATE);
    }
    m_redrawing = true;
    const POINT previous = m_canvas->GeoToScreen(m_previous);
    RECT erase = EraseRect();
    OffsetRect(&erase, previous.x, previous.y);
    RedrawWindow(m_canvas->GetHwnd(), &erase, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    m_redrawing = false;
    HDC dc = GetDC(m_canvas->GetHwnd());
    if (dc != nullptr) {
        RECT marker = EraseRect();
        OffsetRect(&marker, s.x, s.y);
        DrawMarker(dc, s, true);
        ReleaseDC(m_canvas->GetHwnd(), dc);
        // As a paint of the whole map does: the marker beneath, the windows over it.
        RepaintChildWindowsOver(marker);
    }
}

void MapView::ApplySpeedZoom(int speed) {
    if (!m_autoZoom || !m_canvas || m_canvas->GetHwnd() == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(m_canvas->GetHwnd(), &client);
    if (client.right > 0) {
        m_lastWidth = LookUpSpeedRange(m_speeds, speed, m_lastWidth);
        m_canvas->SetScale(m_lastWidth * 1000.0 / client.right);
    }
    m_suspensionStart = 0;
    UpdateFollow();
}

bool MapView::IsHeadingUp() {
    ScopedLock lock(&m_positionLock);
    return m_headingUp;
}

void MapView::SetHeadingUp(bool isOn) {
    ScopedLock lock(&m_positionLock);
    if (isOn == m_headingUp) {
        return;
    }
    m_headingUp = isOn;
    if (!m_canvas || m_canvas->GetTransform() == nullptr) {
        return;
    }
    m_canvas->SetRotation(isOn ? 360.0 - m_heading : 0.0);
    RedrawWindow(m_canvas->GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void MapView::RepaintChildWindowsOver(const RECT& area) const {
    HWND map = m_canvas->GetHwnd();
    std::vector<HWND> children = m_bar.GetWindows();
    children.push_back(m_arrow.GetWindow());
    for (HWND child : children) {
        if (child == nullptr || IsWindowVisible(child) == FALSE || GetParent(child) != map) {
            continue;
        }
        RECT r{};
        GetWindowRect(child, &r);
        POINT topLeft{r.left, r.top};
        POINT bottomRight{r.right, r.bottom};
        ScreenToClient(map, &topLeft);
        ScreenToClient(map, &bottomRight);
        if (topLeft.x < area.right && area.left < bottomRight.x && topLeft.y < area.bottom &&
            area.top < bottomRight.y) {
            RedrawWindow(child, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        }
    }
}

RECT MapView::EraseRect() const {
    if (IsFollowing()) {
        const int w = m_markerRect.right - m_markerRect.left;
        const int h = m_markerRect.bottom - m_markerRect.top;
        // The arrow does not lie centred on its point at every heading: the rectangle also
        // reaches as far as the arrow drawn last does, with its outline and its shadow copies.
        const RECT& reach = m_markerReach;
        return RECT{std::min(-2 - (w + 5) / 2, reach.left - 1),
                    std::min(-2 - (h + 5) / 2, reach.top - 1),
                    std::max((w + 5) / 2 + 4, reach.right + 4),
                    std::max((h + 5) / 2 + 4, reach.bottom + 4)};
    }
    int s = 1;
    if (m_markerBitmap) {
        const SIZE size = m_markerBitmap->GetSize();
        s = std::max(size.cx / 2, size.cy / 2) + 1;
    }
    return RECT{-s, -s, s, s};
}

void MapView::DrawMarker(HDC dc, POINT p, bool following) {
    if (!m_hasPosition) {
        return;
    }
    if (p.x < -kMarkerLimit || p.x > kMarkerLimit || p.y < -kMarkerLimit || p.y > kMarkerLimit) {
        return;
    }
    if (following) {
        const double a =
            m_headingUp ? -3.141592653589793 / 2 : (m_heading - 90) * kDegreesToRadians;
        const float ux = static_cast<float>(10 * std::cos(a));
        const float uy = static_cast<float>(10 * std::sin(a));
        const POINT u{static_cast<LONG>(ux), static_cast<LONG>(uy)};
        const POINT base{p.x - u.x, p.y - u.y};
        const POINT arrow[4] = {
            {base.x - u.y, base.y + u.x},
            {base.x + static_cast<LONG>(0.25f * ux), base.y + static_cast<LONG>(0.25f * uy)},
            {base.x + u.y, base.y - u.x},
            {base.x + static_cast<LONG>(2 * ux), base.y + static_cast<LONG>(2 * uy)},
        };
        RECT bounds{arrow[0].x, arrow[0].y, arrow[0].x, arrow[0].y};
        for (const POINT& q : arrow) {
            bounds.left = std::min(bounds.left, q.x);
            bounds.top = std::min(bounds.top, q.y);
            bounds.right = std::max(bounds.right, q.x);
            bounds.bottom = std::max(bounds.bottom, q.y);
        }
        m_markerRect = bounds;
        m_markerReach =
            RECT{bounds.left - p.x, bounds.top - p.y, bounds.right - p.x, bounds.bottom - p.y};
        const struct {
            COLORREF colour;
            int dx;
            int dy;
        } passes[] = {{0x000000, 2, 2}, {0xFFFFFF, 0, 2}, {0x0000FF, 0, 0}};
        POINT origin{};
        for (const auto& pass : passes) {
            HPEN pen = CreatePen(PS_SOLID, 1, pass.colour);
            HBRUSH brush = CreateSolidBrush(pass.colour);
            HGDIOBJ oldPen = SelectObject(dc, pen);
            HGDIOBJ oldBrush = SelectObject(dc, brush);
            SetViewportOrgEx(dc, pass.dx, pass.dy, &origin);
            Polygon(dc, arrow, 4);
            SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
            SelectObject(dc, oldPen);
            SelectObject(dc, oldBrush);
            DeleteObject(pen);
            DeleteObject(brush);
        }
    } else if (m_markerBitmap) {
        m_markerBitmap->DrawCentred(dc, p);
    }
    m_markerDrawn = true;
}

// --- Drawing handlers --------------------------------------------------------------------------

bool MapView::IsReducedMap() const {
    return !(m_isGuidance ? m_suppressGuidance : m_suppressOther);
}

void MapView::OnBeginDraw(std::uint32_t* result, DrawContext*) {
    if (m_isGuidance && !m_readyToDraw) {
        *result = 1;
        return;
    }
    // A route outside guidance is drawn in the layer calls too, whether or not an overlay asks
    // for them.
    if (IsReducedMap() || HasRoute() || m_isGuidance || m_pickMode) {
        *result |= 4;
    }
}

void MapView::OnBeginLayer(std::uint32_t* result, DrawContext* context, std::uint32_t layerCode,
                           std::uint32_t*) {
    *result |= 2;
    if (layerCode < 0x10000 && IsReducedMap()) {
        *result |= 16;
    }
    if (!IsRouteLayer(layerCode) || context == nullptr || context->dc == nullptr || !m_canvas) {
        return;
    }
    HDC dc = context->dc;
    const double k = BandFactor();
    if (m_isGuidance && !m_highlightLines.empty()) {
        const double width = std::max(k * m_routeWidth, 2.5 * m_routeWidth);
        HPEN pen = CreatePen(PS_SOLID, static_cast<int>(width), m_destPointColor);
        HBRUSH brush = CreateSolidBrush(m_destPointColor);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        DrawLines(dc, m_highlightLines, true);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
        return;
    }
    const double width = std::max(k * m_routeWidth, 2.0 * m_routeWidth);
    HPEN pen = CreatePen(PS_SOLID, static_cast<int>(width), RouteColour());
    HGDIOBJ old = SelectObject(dc, pen);
    if (m_pickMode) {
        DrawLines(dc, m_highlighted, false);
    } else if (!m_isGuidance) {
        DrawRoute(dc);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
}

void MapView::OnFilterClass(std::uint32_t* result, DrawContext*, std::uint32_t classId) {
    if (classId >= 100) {
        *result |= 1;
    }
}

void MapView::OnEndLayer(DrawContext* context, std::uint32_t layerCode) {
    if (!IsRouteLayer(layerCode) || context == nullptr || context->dc == nullptr || !m_canvas) {
        return;
    }
    HDC dc = context->dc;
    if (m_pickMode) {
        DrawFlag(dc, m_flagPoint);
    } else if (m_isGuidance) {
        HPEN pen = CreatePen(PS_SOLID, m_routeWidth, RouteColour());
        HGDIOBJ old = SelectObject(dc, pen);
        DrawRoute(dc);
        SelectObject(dc, old);
        DeleteObject(pen);
        DrawFlag(dc, m_flagPoint);
    } else {
        for (const GeoPoint& point : m_points) {
            DrawFlag(dc, point);
        }
    }
}

void MapView::OnEndDraw(DrawContext* context) {
    ScopedLock lock(&m_positionLock);
    if (m_redrawing || !m_canvas || context == nullptr || context->dc == nullptr) {
        return;
    }
    if (m_isGuidance && !m_readyToDraw) {
        return;
    }
    DrawMarker(context->dc, m_canvas->GeoToScreen(m_current), IsFollowing());
}

// --- Keys and taps -----------------------------------------------------------------------------

void MapView::OnKeyDown(KeyEvent event) {
    if (HWND dialog = TmcMonitor::Instance().GetVisibleDialogWindow()) {
        SendMessageW(dialog, WM_KEYDOWN, event.key, 0);
        SetForegroundWindow(dialog);
    } else if (m_listener != nullptr) {
        m_listener->OnKey(event.key);
        // The owner zooms and pans on these keys itself (with the follow suspension); the map
        // control's own action would repeat the step.
        if (IsOwnersMapKey(event.key) && event.handled != nullptr) {
            *event.handled = true;
        }
    }
}

void MapView::OnVerticalScroll(MapControlMessage message) {
    HWND dialog = TmcMonitor::Instance().GetVisibleDialogWindow();
    if (dialog == nullptr) {
        return;
    }
    const UINT code = LOWORD(message.wParam);
    if (code == SB_LINEUP || code == SB_LINEDOWN) {
        SendMessageW(dialog, WM_KEYDOWN, code == SB_LINEUP ? VK_UP : VK_DOWN, 0);
        SetForegroundWindow(dialog);
    }
}

void MapView::OnMapOpened() {
    if (m_listener != nullptr) {
        m_listener->OnMapOpened();
    }
}

void MapView::OnMapClosed() {
    if (m_listener != nullptr) {
        m_listener->OnMapClosed();
    }
}

void MapView::WriteDumpIfOn() {
    if (m_writePosition) {
        if (IsFollowing()) {
            WritePosition(m_lastPosition, false);
        } else {
            WritePosition(m_freshPosition, true);
        }
    }
}

void MapView::OnLeftButtonDown(MapControlMessage message) {
    if (message.handled != nullptr) {
        *message.handled = true;
    }
    six::RefCntPtr<MapEngineFacade> facade = m_canvas ? m_canvas->GetEngine() : nullptr;
    if (!facade || !facade->HasLevels()) {
        return;
    }
    const POINT p{static_cast<short>(LOWORD(message.lParam)),
                  static_cast<short>(HIWORD(message.lParam))};
    if (!m_isGuidance && m_namesOnTap) {
        six::RefCntPtr<MapElement> element =
            m_canvas->FindElementAt(RECT{p.x - 3, p.y - 3, p.x + 3, p.y + 3});
        if (element && m_hint) {
            const char16_t* name = element->GetName();
            (void)m_hint->Show(p, name != nullptr ? std::u16string(name) : std::u16string(), 0);
        }
        return;
    }
    if (m_pickMode && m_pickOnTap) {
        if (!Pick(m_canvas->ScreenToGeo(p))) {
            return;
        }
    }
    WriteDumpIfOn();
    RECT client{};
    GetClientRect(m_canvas->GetHwnd(), &client);
    const int edge = m_sensitiveAreaWidth;
    if (p.y < edge) {
        OnKey(VK_UP);
    } else if (p.y > client.bottom - edge) {
        OnKey(VK_DOWN);
    } else if (p.x < edge) {
        OnKey(VK_LEFT);
    } else if (p.x > client.right - edge) {
        OnKey(VK_RIGHT);
    } else if (m_listener != nullptr && message.handled != nullptr) {
        *message.handled = m_listener->OnTap();
    }
}

bool MapView::Pick(const GeoPoint& point) {
    six::RefCntPtr<MapEngineFacade> facade = m_canvas->GetEngine();
    const GeoRect rect(point.x - kPickRadius, point.y - kPickRadius, point.x + kPickRadius,
                       point.y + kPickRadius);
    std::uint32_t id = 0;
    bool found = false;
    GeoPoint shown = point;
    if (ElementCursorPtr cursor = facade->QueryArea(rect, 0, 0)) {
        for (; cursor->IsValid(); cursor->Next()) {
            const std::uint16_t type = cursor->GetTypeCode();
            if (type >= 1 && type <= 930) {
                id = cursor->GetElementId();
                if (cursor->GetPointCount() == 1) {
                    cursor->GetPoint(shown, 0);
                }
                found = true;
                break;
            }
        }
    }
    if (!found && m_server) {
        RoutePositionPtr position;
        const std::uint32_t none = 0xFFFFFFFF;
        m_server->CreatePositionDestination(position, &none, &point);
        if (position && position->GetSingleElementId() != 0xFFFFFFFF) {
            id = position->GetSingleElementId();
            shown = position->GetSinglePoint();
            found = true;
        }
    }
    if (!found) {
        return false;
    }
    six::IntfPtr<MapElement> element = facade->GetMappedElement(id);
    const char16_t* name = element ? element->GetName() : nullptr;
    if (name == nullptr || name[0] == 0) {
        return false;
    }
    std::u16string areaName;
    const std::int32_t areaId = element->GetAreaId();
    if (areaId >= 0) {
        six::IntfPtr<MapElement> area =
            facade->GetMappedElement(static_cast<std::uint32_t>(areaId));
        if (area && area->GetName() != nullptr) {
            areaName = area->GetName();
        }
    }
    pickrecord::Set(id, name, areaName, shown);
    ShowPoint(shown);
    ShowObject(nullptr);
    HighlightElement(-1);
    return true;
}

void MapView::OnKey(UINT key) {
    UINT message = 0;
    WPARAM code = 0;
    switch (key) {
    case VK_LEFT:
        message = WM_HSCROLL;
        code = SB_LINELEFT;
        break;
    case VK_UP:
        message = WM_VSCROLL;
        code = SB_LINEUP;
        break;
    case VK_RIGHT:
        message = WM_HSCROLL;
        code = SB_LINERIGHT;
        break;
    case VK_DOWN:
        message = WM_VSCROLL;
        code = SB_LINEDOWN;
        break;
    default:
        return;
    }
    WriteDumpIfOn();
    if (HWND window = GetHwnd()) {
        SendMessageW(window, message, code, 0);
    }
    StartSuspension();
}

void MapView::PanLeft() {
    if (HWND window = GetHwnd()) {
        SendMessageW(window, WM_HSCROLL, SB_LINELEFT, 0);
    }
    StartSuspension();
}

void MapView::PanRight() {
    if (HWND window = GetHwnd()) {
        SendMessageW(window, WM_HSCROLL, SB_LINERIGHT, 0);
    }
    StartSuspension();
}

void MapView::PanUp() {
    if (HWND window = GetHwnd()) {
        SendMessageW(window, WM_VSCROLL, SB_LINEUP, 0);
    }
    StartSuspension();
}

void MapView::PanDown() {
    if (HWND window = GetHwnd()) {
        SendMessageW(window, WM_VSCROLL, SB_LINEDOWN, 0);
    }
    StartSuspension();
}

void MapView::ZoomIn() {
    if (m_canvas && m_canvas->GetTransform() != nullptr) {
        m_canvas->ZoomByKey(true);
    }
    StartSuspension();
}

void MapView::ZoomOut() {
    if (m_canvas && m_canvas->GetTransform() != nullptr) {
        m_canvas->ZoomByKey(false);
    }
    StartSuspension();
}

void MapView::HideButtons() {
    m_bar.HideAll();
    m_arrowAllowed = false;
    if (m_arrow.GetWindow() != nullptr) {
        ShowWindow(m_arrow.GetWindow(), SW_HIDE);
    }
}

// --- Points and elements -----------------------------------------------------------------------

void MapView::SetDrawSuppression(bool guidance, bool other) {
    if (m_pickMode) {
        m_pickOnTap = false;
    }
    m_suppressGuidance = guidance;
    m_suppressOther = other;
    Repaint();
}

void MapView::ShowPoint(const GeoPoint& point) {
    if (m_canvas && m_canvas->GetTransform() != nullptr) {
        m_canvas->SetScale(m_pointResolution);
        if (point.x != 0.0f && point.y != 0.0f) {
            m_canvas->SetCenter(point);
        }
    }
    m_flagPoint = point;
}

void MapView::ShowObject(six::IntfPtr<MapElement> object) {
    m_shownObject = std::move(object);
    if (!m_canvas || m_canvas->GetTransform() == nullptr) {
        return;
    }
    m_canvas->SetScale(m_pointResolution);
    GeoPoint position;
    if (m_shownObject && PositionOf(*m_shownObject, position)) {
        m_canvas->SetCenter(position);
    }
}

void MapView::HighlightElement(std::int32_t id) {
    if (id == -1) {
        m_highlighted.clear();
        return;
    }
    six::RefCntPtr<MapEngineFacade> facade = m_canvas ? m_canvas->GetEngine() : m_facade;
    if (!facade) {
        return;
    }
    six::IntfPtr<MapElement> element = facade->GetMappedElement(static_cast<std::uint32_t>(id));
    std::vector<GeoPoint> points;
    if (element && element->GetPoints(points)) {
        m_highlighted.push_back(std::move(points));
    }
}

void MapView::SetPointList(const std::vector<GeoPoint>& points) {
    m_points = points;
    m_pointCursor = 0;
}

void MapView::ShowElement(std::uint32_t id) {
    if (!m_canvas) {
        return;
    }
    six::IntfPtr<MapElement> element = m_canvas->GetMappedElement(id);
    if (element) {
        GeoRect bounds;
        element->GetBounds(bounds);
        ShowPoint(bounds.GetCenter());
    }
}

void MapView::SetOptionFlag(bool isOn) {
    if (m_canvas) {
        m_canvas->SetOptionFlag(isOn);
    }
}

bool MapView::GetOptionFlag() const {
    return m_canvas ? m_canvas->GetOptionFlag() : false;
}

void MapView::ZoomToArea(std::size_t index) {
    if (!m_canvas) {
        return;
    }
    if (index < m_areas.size()) {
        const GeoRect& r = m_areas[index];
        if (r.maxX > r.minX && r.maxY > r.minY) {
            m_canvas->ZoomTo(r);
        }
    } else if (index == m_areas.size() && m_routeExtent.maxX > m_routeExtent.minX) {
        m_canvas->ZoomTo(m_routeExtent);
    }
}

int MapView::StepPoint(int direction) {
    if (m_points.empty()) {
        return 1;
    }
    std::size_t cursor = m_pointCursor;
    for (;;) {
        if (direction > 0) {
            if (cursor + 1 < m_points.size()) {
                ++cursor;
            }
        } else if (cursor > 0) {
            --cursor;
        }
        const GeoPoint& p = m_points[cursor];
        const bool isGap = p.x == -1.0f && p.y == -1.0f;
        const bool atEnd = direction > 0 ? cursor + 1 >= m_points.size() : cursor == 0;
        if (!isGap) {
            m_pointCursor = cursor;
            ShowPoint(p);
            return 1;
        }
        if (atEnd) {
            m_pointCursor = cursor;
            return 1;
        }
    }
}

int MapView::NextPoint() {
    return StepPoint(1);
}

int MapView::PreviousPoint() {
    return StepPoint(-1);
}

// --- Route -------------------------------------------------------------------------------------

void PolylineBatch::Add(POINT point) {
    m_points[m_count++] = point;
    if (m_count == kCapacity) {
        Polyline(m_dc, m_points.data(), static_cast<int>(m_count));
        m_points[0] = m_points[m_count - 1];
        m_count = 1;
    }
}

void PolylineBatch::Flush() {
    if (m_count > 1) {
        Polyline(m_dc, m_points.data(), static_cast<int>(m_count));
    }
    m_count = 0;
}

namespace {

// A piece beginning at p: {p, p} and p as its first point; a point without coordinates gives
// an empty piece whose rectangle any point widens.
RoutePiece StartPiece(const GeoPoint& p, std::int32_t elementId) {
    RoutePiece piece;
    piece.elementId = elementId;
    if (p.x == kNoCoordinates) {
        piece.bounds = kEmptyExtent;
    } else {
        piece.bounds = GeoRect(p.x, p.y, p.x, p.y);
        piece.points.push_back(p);
    }
    return piece;
}

// Appends a record's geometry (the first piece keeps it as its list; its start point is the
// geometry's first point when there is geometry).
void AppendGeometry(RoutePiece& piece, const std::vector<GeoPoint>& geometry) {
    if (geometry.empty()) {
        return;
    }
    piece.points.clear();
    for (const GeoPoint& g : geometry) {
        piece.bounds.Extend(g);
        piece.points.push_back(g);
    }
}

float Manhattan(const GeoPoint& a, const GeoPoint& b) {
    return std::fabs(a.x - b.x) + std::fabs(a.y - b.y);
}

} // namespace

// The piece takes its map element's shape, oriented so that it starts at the end nearer to
// its first point; returns the piece's new last point. Without the element the piece keeps
// what it has and its last point is returned.
GeoPoint MapView::ShapeFromElement(RoutePiece& piece,
                                   const six::RefCntPtr<MapEngineFacade>& facade) {
    const GeoPoint unchanged =
        piece.points.empty() ? GeoPoint{kNoCoordinates, 0} : piece.points.back();
    if (!facade || piece.elementId == -1) {
        return unchanged;
    }
    six::IntfPtr<MapElement> element =
        facade->GetMappedElement(static_cast<std::uint32_t>(piece.elementId));
    std::vector<GeoPoint> shape;
    if (!element || !element->GetPoints(shape) || shape.empty()) {
        return unchanged;
    }
    GeoRect bounds;
    element->GetBounds(bounds);
    if (!piece.points.empty() && Manhattan(shape.front(), piece.points.front()) >
                                     Manhattan(shape.back(), piece.points.front())) {
        std::reverse(shape.begin(), shape.end());
    }
    piece.bounds = bounds;
    piece.points = std::move(shape);
    piece.elementId = -1;
    return piece.points.back();
}

GeoPoint MapView::SetRoute(const std::vector<RouteIteratorPtr>& parts) {
    ScopedLock lock(&m_routeLock);
    if (!m_canvas) {
        return GeoPoint{};
    }
    const bool hadPieces = !m_pieces.empty();
    m_pieces.clear();
    m_cut = RouteCut{};
    six::RefCntPtr<MapEngineFacade> facade = m_canvas->GetEngine();
    if (!facade) {
        facade = m_facade;
    }
    if (facade) {
        m_routeExtent = kEmptyExtent;
        m_areas.clear();
    }
    // A piece widens its part's area and the extent only when it has points.
    auto widen = [this](GeoRect& area, const RoutePiece& piece) {
        if (!piece.points.empty()) {
            area.Union(piece.bounds);
            m_routeExtent.Union(piece.bounds);
        }
    };
    bool complete = true;
    for (const RouteIteratorPtr& part : parts) {
        RouteIteratorPtr it = GetRouteIterator(part);
        if (!it || !it->IsValid()) {
            complete = false;
            break;
        }
        GeoRect area = kEmptyExtent;
        GeoPoint p{it->Current().x, it->Current().y};
        RoutePiece first = StartPiece(p, -1);
        AppendGeometry(first, it->Current().polyline);
        widen(area, first);
        m_pieces.push_back(std::move(first));
        it->Next();
        while (it->IsValid()) {
            RoutePiece piece = StartPiece(p, static_cast<std::int32_t>(it->Current().linkId));
            const std::vector<GeoPoint> geometry = it->Current().polyline;
            it->Next();
            if (!it->IsValid()) {
                piece.elementId = -1;
                AppendGeometry(piece, geometry);
                widen(area, piece);
                m_pieces.push_back(std::move(piece));
                break;
            }
            GeoPoint q{it->Current().x, it->Current().y};
            if (q.x == kNoCoordinates) {
                q = ShapeFromElement(piece, facade);
            } else {
                piece.bounds.Extend(q);
                piece.points.push_back(q);
            }
            widen(area, piece);
            m_pieces.push_back(std::move(piece));
            p = q;
        }
        m_areas.push_back(area);
    }
    if (hadPieces || !m_pieces.empty()) {
        if (HWND window = m_canvas->GetHwnd()) {
            InvalidateRect(window, nullptr, FALSE);
        }
    }
    if (!complete || m_pieces.empty()) {
        return GeoPoint{};
    }
    InflateByTenth(m_routeExtent);
    for (GeoRect& area : m_areas) {
        InflateByTenth(area);
    }
    m_routeStart = m_pieces.front().points.empty() ? GeoPoint{} : m_pieces.front().points.front();
    m_destination = m_pieces.back().points.empty() ? GeoPoint{} : m_pieces.back().points.back();
    return m_destination;
}

void MapView::ClearRoute() {
    ScopedLock lock(&m_routeLock);
    const bool hadPieces = !m_pieces.empty();
    m_pieces.clear();
    m_cut = RouteCut{};
    m_routeExtent = kEmptyExtent;
    m_areas.clear();
    m_routeStart = GeoPoint{};
    m_destination = GeoPoint{};
    if (hadPieces && m_canvas && m_canvas->GetHwnd() != nullptr) {
        InvalidateRect(m_canvas->GetHwnd(), nullptr, FALSE);
    }
}

bool MapView::HasRoute() {
    ScopedLock lock(&m_routeLock);
    return !m_pieces.empty();
}

void MapView::ZoomToRoute() {
    ScopedLock lock(&m_routeLock);
    if (!m_pieces.empty()) {
        ZoomToExtent(true);
    }
}

void MapView::ZoomToExtent(bool suspend) {
    ScopedLock lock(&m_routeLock);
    if (m_canvas && m_canvas->GetTransform() != nullptr &&
        m_routeExtent.maxX > m_routeExtent.minX && m_routeExtent.maxY > m_routeExtent.minY) {
        m_canvas->ZoomTo(m_routeExtent);
    }
    if (suspend) {
        StartSuspension();
    }
}

void MapView::UpdateRouteStatus(const MapRouteStatus& status) {
    ScopedLock lock(&m_statusLock);
    m_bar.UpdateRouteStatus(status);
}

void MapView::SetHighlightLines(const std::vector<std::vector<GeoPoint>>& lines) {
    m_highlightLines = lines;
}

std::vector<RoutePiece> MapView::GetRoutePieces() {
    ScopedLock lock(&m_routeLock);
    return m_pieces;
}

GeoRect MapView::GetRouteExtent() {
    ScopedLock lock(&m_routeLock);
    return m_routeExtent;
}

std::vector<GeoRect> MapView::GetAreas() {
    ScopedLock lock(&m_routeLock);
    return m_areas;
}

COLORREF MapView::RouteColour() const {
    return IsMapNightMode() ? m_routeColorNight : m_routeColor;
}

int MapView::BandFactor() const {
    const double scale = m_canvas ? m_canvas->GetScale() : 0.0;
    return scale > 0.0 ? static_cast<int>(4.0 / scale + 0.5) : 0;
}

void MapView::DrawRoute(HDC dc) {
    ScopedLock lock(&m_routeLock);
    m_scratch.clear();
    if (!m_canvas || m_canvas->GetHwnd() == nullptr || m_pieces.empty()) {
        return;
    }
    const GeoRect v = m_canvas->GetVisibleGeoRect();
    RECT client{};
    GetClientRect(m_canvas->GetHwnd(), &client);
    const double spanX = static_cast<double>(v.maxX) - v.minX;
    const double spanY = static_cast<double>(v.maxY) - v.minY;
    if (spanX <= 0.0 || spanY <= 0.0) {
        return;
    }
    const double perX = client.right / spanX;
    const double perY = client.bottom / spanY;
    const bool all = GeoRect::Intersects(m_pieces.front().bounds, v) &&
                     GeoRect::Intersects(m_pieces.back().bounds, v);
    auto flush = [&] {
        if (m_scratch.size() > 1) {
            Polyline(dc, m_scratch.data(), static_cast<int>(m_scratch.size()));
        }
        m_scratch.clear();
    };
    auto add = [&](const GeoPoint& g) {
        const POINT s = m_canvas->GeoToScreen(g);
        if (m_scratch.empty() || !SamePoint(m_scratch.back(), s)) {
            m_scratch.push_back(s);
        }
    };
    const bool isCut = m_isGuidance && m_cut.isSet;
    for (std::size_t i = isCut ? m_cut.piece : 0; i < m_pieces.size(); ++i) {
        const RoutePiece& piece = m_pieces[i];
        const std::size_t from = isCut && i == m_cut.piece ? m_cut.point : 0;
        if (from >= piece.points.size()) {
            continue;
        }
        if (!all && !GeoRect::Intersects(piece.bounds, v)) {
            if (!m_isGuidance) {
                flush();
            }
            continue;
        }
        const double width = (static_cast<double>(piece.bounds.maxX) - piece.bounds.minX) * perX;
        const double height = (static_cast<double>(piece.bounds.maxY) - piece.bounds.minY) * perY;
        if (width <= m_routeWidth && height <= m_routeWidth) {
            add(piece.points[from]);
            add(piece.points.back());
        } else {
            for (std::size_t k = from; k < piece.points.size(); ++k) {
                add(piece.points[k]);
            }
        }
    }
    flush();
}

RECT MapView::AdvanceCut() {
    ScopedLock lock(&m_routeLock);
    if (!m_isGuidance || m_pieces.empty() || !m_canvas) {
        return RECT{};
    }
    // The route's segments from the cut on: the nearest to the car of the first run of segments
    // that pass within kOnRouteMetres of it (a route that comes back by the same place later
    // is met there later). The route then begins at that segment's first point, so that the
    // lines drawn on from there stay the same from cut to cut. A car off the route leaves the
    // cut where it is.
    RouteCut best;
    double bestMetres = kOnRouteMetres;
    std::optional<RouteCut> from;
    bool isRunOver = false;
    for (std::size_t i = m_cut.piece; i < m_pieces.size() && !isRunOver; ++i) {
        const std::vector<GeoPoint>& points = m_pieces[i].points;
        for (std::size_t k = i == m_cut.piece ? m_cut.point : 0; k < points.size(); ++k) {
            if (from) {
                GeoPoint nearest;
                const double metres = SegmentMetres(
                    m_current, m_pieces[from->piece].points[from->point], points[k], nearest);
                if (metres <= kOnRouteMetres) {
                    if (!best.isSet || metres < bestMetres) {
                        best = *from;
                        bestMetres = metres;
                    }
                } else if (best.isSet) {
                    isRunOver = true;
                    break;
                }
            }
            from = RouteCut{i, k, true};
        }
    }
    if (!best.isSet || (m_cut.isSet && best.piece == m_cut.piece && best.point == m_cut.point)) {
        return RECT{};
    }
    // The screen rectangle of the points from the old start to the new one, with room for the
    // pen's width and for a piece drawn as its ends only.
    POINT low{INT_MAX, INT_MAX};
    POINT high{INT_MIN, INT_MIN};
    for (std::size_t i = m_cut.piece; i <= best.piece; ++i) {
        const std::vector<GeoPoint>& points = m_pieces[i].points;
        const std::size_t end = i == best.piece ? best.point + 1 : points.size();
        for (std::size_t k = i == m_cut.piece ? m_cut.point : 0; k < end; ++k) {
            const POINT s = m_canvas->GeoToScreen(points[k]);
            low = POINT{std::min(low.x, s.x), std::min(low.y, s.y)};
            high = POINT{std::max(high.x, s.x), std::max(high.y, s.y)};
        }
    }
    m_cut = best;
    const LONG room = 2 * m_routeWidth + 2;
    return RECT{low.x - room, low.y - room, high.x + room + 1, high.y + room + 1};
}

void MapView::DrawFlag(HDC dc, const GeoPoint& point) {
    if (!m_flagBitmap || !m_canvas || point.x == 0.0f || point.y == 0.0f) {
        return;
    }
    const POINT s = m_canvas->GeoToScreen(point);
    const SIZE size = m_flagBitmap->GetSize();
    m_flagBitmap->DrawCentred(dc, POINT{s.x + size.cx / 2, s.y - size.cy / 2});
}

void MapView::DrawLines(HDC dc, const std::vector<std::vector<GeoPoint>>& lines, bool onlyVisible) {
    const GeoRect v = m_canvas->GetVisibleGeoRect();
    PolylineBatch batch(dc);
    for (const std::vector<GeoPoint>& line : lines) {
        if (line.empty()) {
            continue;
        }
        if (onlyVisible) {
            GeoRect bounds(line.front().x, line.front().y, line.front().x, line.front().y);
            for (const GeoPoint& g : line) {
                bounds.Extend(g);
            }
            if (!GeoRect::Intersects(bounds, v)) {
                continue;
            }
        }
        for (const GeoPoint& g : line) {
            batch.Add(m_canvas->GeoToScreen(g));
        }
        batch.Flush();
    }
}

// --- Styles ------------------------------------------------------------------------------------

void MapView::ToggleNightMode() {
    const bool night = !g_nightMode.load();
    g_nightMode.store(night);
    if (m_canvas) {
        if (six::RefCntPtr<MapEngineFacade> facade = m_canvas->GetEngine()) {
            (void)facade->SelectLevelStyle(static_cast<float>(m_canvas->GetScale()), night);
        }
        Repaint();
    }
}

void MapView::SetDayStyle() {
    if (m_canvas) {
        if (six::RefCntPtr<MapEngineFacade> facade = m_canvas->GetEngine()) {
            (void)facade->SelectLevelStyle(static_cast<float>(m_canvas->GetScale()), false);
        }
        Repaint();
    }
}

void MapView::SetNightStyle() {
    if (m_canvas) {
        if (six::RefCntPtr<MapEngineFacade> facade = m_canvas->GetEngine()) {
            (void)facade->SelectLevelStyle(static_cast<float>(m_canvas->GetScale()), true);
        }
        Repaint();
    }
}

// --- Position dump -----------------------------------------------------------------------------

void MapView::WritePosition(const MatchedPosition& position, bool withoutGps) {
    if (!m_canvas || m_canvas->GetTransform() == nullptr || m_dumpPath.empty()) {
        return;
    }
    const GeoPoint topLeft = m_canvas->ScreenToGeo(POINT{m_dumpRect.left, m_dumpRect.top});
    const GeoPoint topRight = m_canvas->ScreenToGeo(POINT{m_dumpRect.right, m_dumpRect.top});
    const GeoPoint bottomRight = m_canvas->ScreenToGeo(POINT{m_dumpRect.right, m_dumpRect.bottom});
    std::u16string text;
    if (!withoutGps) {
        text += u"[GPSPosition]\n";
        text += u"Lon = " + Format("%lf", position.matched.x) + u"\n";
        text += u"Lat = " + Format("%lf", position.matched.y) + u"\n";
        text += u"Speed = " + Format("%.1f", position.speed) + u"\n";
        text += u"Course = " + Format("%.1f", position.heading) + u"\n";
        text += position.fix.hdop > 0.0 ? u"Valid = 1\n\n" : u"Valid = 0\n\n";
    }
    text += u"[MapCoordinates]\n";
    text += u"LonTopLeft = " + Format("%lf", topLeft.x) + u"\n";
    text += u"LatTopLeft = " + Format("%lf", topLeft.y) + u"\n";
    text += u"LonTopRight = " + Format("%lf", topRight.x) + u"\n";
    text += u"LatTopRight = " + Format("%lf", topRight.y) + u"\n";
    text += u"LonBottomRight = " + Format("%lf", bottomRight.x) + u"\n";
    text += u"LatBottomRight = " + Format("%lf", bottomRight.y) + u"\n\n";
    NavFile* file = _wfopen(m_dumpPath.c_str(), u"w+");
    if (file == nullptr) {
        return;
    }
    (void)fputws(text.c_str(), file);
    fclose(file);
}
