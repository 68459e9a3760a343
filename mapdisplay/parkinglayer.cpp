#include "mapdisplay/parkinglayer.h"

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "mapdisplay/overlaygeometry.h"
#include "ui/transparentbitmap.h"

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"
#include "platform/window/paint.h"

#include <algorithm>
#include <cfloat>
#include <memory>
#include <mutex>
#include <new>

namespace {

constexpr COLORREF kRoadColour = 0x004080FF;
constexpr COLORREF kStretchColour = 0x000000FF;
constexpr COLORREF kFree = 0x0000FF00;
constexpr COLORREF kHalf = 0x0000FFFF;
constexpr COLORREF kFull = 0x000000FF;
constexpr std::uint32_t kIdMask = 0x0FFFFFFF;
constexpr int kBlockingMargin = 60;
constexpr int kRoadMargin = 8;
constexpr int kHoverBox = 3;

// The sign pictures, loaded on first use and kept, missing ones too.
struct SignCache {
    struct Sign {
        std::u16string name;
        std::shared_ptr<TransparentBitmap> bitmap; // null: the picture could not be loaded
        int width = 0;
    };
    std::mutex mutex;
    std::vector<Sign> signs;
    std::u16string folder;

    const Sign& Get(const std::u16string& name) {
        for (const Sign& sign : signs) {
            if (sign.name == name) {
                return sign;
            }
        }
        Sign sign{name, nullptr, 0};
        const std::u16string path = folder + name;
        if (HBITMAP loaded = SHLoadDIBitmap(path.c_str())) {
            BITMAP info{};
            if (GetObjectW(loaded, sizeof(info), &info) != 0) {
                sign.width = info.bmWidth;
            }
            sign.bitmap = std::make_shared<TransparentBitmap>(loaded, kKeyTopLeftPixel);
            DeleteObject(loaded);
            if (sign.bitmap->IsEmpty()) {
                sign.bitmap.reset();
                sign.width = 0;
            }
        }
        signs.push_back(std::move(sign));
        return signs.back();
    }
};

SignCache& Signs() {
    static SignCache cache;
    return cache;
}

// What a handler needs of an element: its bounds, points and direction code.
struct ElementShape {
    GeoRect bounds;
    std::vector<GeoPoint> points;
    std::uint32_t direction = 0;
    std::uint32_t geometryClass = 0;
};

std::optional<ElementShape> FetchShape(MapEngineFacade* facade, std::uint32_t id) {
    if (facade == nullptr) {
        return std::nullopt;
    }
    six::IntfPtr<MapElement> element = facade->GetMappedElement(id & kIdMask);
    if (!element) {
        return std::nullopt;
    }
    ElementShape shape;
    element->GetBounds(shape.bounds);
    (void)element->GetPoints(shape.points);
    ElementAttributes attributes;
    element->GetAttributes(attributes);
    shape.direction = attributes.DirectionCode();
    shape.geometryClass = element->GetGeometryClass();
    return shape;
}

void Unite(GeoRect& rect, bool& hasRect, const GeoRect& other) {
    if (!hasRect) {
        rect = other;
        hasRect = true;
        return;
    }
    rect.minX = std::min(rect.minX, other.minX);
    rect.minY = std::min(rect.minY, other.minY);
    rect.maxX = std::max(rect.maxX, other.maxX);
    rect.maxY = std::max(rect.maxY, other.maxY);
}

// Overlap that counts touching rectangles, as the hover test asks.
bool OverlapsOrTouches(const GeoRect& a, const GeoRect& b) {
    return a.minX <= b.maxX && b.minX <= a.maxX && a.minY <= b.maxY && b.minY <= a.maxY;
}

class GdiSelection {
public:
    GdiSelection(HDC dc, HGDIOBJ pen, HGDIOBJ brush)
        : m_dc(dc)
        , m_pen(SelectObject(dc, pen))
        , m_brush(SelectObject(dc, brush)) {}
    ~GdiSelection() {
        SelectObject(m_dc, m_pen);
        SelectObject(m_dc, m_brush);
    }
    GdiSelection(const GdiSelection&) = delete;
    GdiSelection& operator=(const GdiSelection&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_pen;
    HGDIOBJ m_brush;
};

// A solid pen of the colour and width selected with no brush while it lives: one per colour
// and pass, the lines drawn with it one after the other.
class PenScope {
public:
    PenScope(HDC dc, COLORREF colour, int width)
        : m_pen(CreatePen(PS_SOLID, width, colour)) {
        if (m_pen != nullptr) {
            m_selection.emplace(dc, m_pen, GetStockObject(NULL_BRUSH));
        }
    }
    ~PenScope() {
        m_selection.reset();
        if (m_pen != nullptr) {
            DeleteObject(m_pen);
        }
    }
    PenScope(const PenScope&) = delete;
    PenScope& operator=(const PenScope&) = delete;
    [[nodiscard]] bool IsValid() const { return m_pen != nullptr; }

private:
    HPEN m_pen;
    std::optional<GdiSelection> m_selection;
};

void DrawPolyline(HDC dc, const std::vector<POINT>& points) {
    if (points.size() >= 2) {
        Polyline(dc, points.data(), static_cast<int>(points.size()));
    }
}

} // namespace

struct ParkingLayer::Link {
    six::RefCntPtr<MapEngineFacade> facade;
    bool isAttached = false;
};

ParkingLayer::ParkingLayer()
    : m_hint(nullptr, kHintBackground) {
    m_hint.SetHideDelay(kHintDelayMs);
}

ParkingLayer::~ParkingLayer() {
    if (m_store) {
        m_store->Added.Disconnect(this);
        m_store->Removed.Disconnect(this);
        m_store->Replaced.Disconnect(this);
    }
    AttachMapView(nullptr);
}

bool ParkingLayer::Load(const char16_t* folder) {
    const std::u16string base = folder != nullptr ? folder : u"";
    {
        SignCache& signs = Signs();
        std::lock_guard<std::mutex> guard(signs.mutex);
        signs.signs.clear();
        signs.folder = base;
        if (base.empty() || (base.back() != u'/' && base.back() != u'\\')) {
            signs.folder += u'\\';
        }
        signs.folder += u"signs/";
    }
    m_parking.Load(base);
    return true;
}

void ParkingLayer::Connect(six::RefCntPtr<TmcMessageStore> store) {
    if (!store) {
        return;
    }
    store->Added.Connect(this, &ParkingLayer::OnMessageAdded);
    store->Removed.Connect(this, &ParkingLayer::OnMessageRemoved);
    store->Replaced.Connect(this, &ParkingLayer::OnMessageReplaced);
    ScopedLock lock(&m_cache.lock);
    m_store = std::move(store);
}

void ParkingLayer::AttachMapView(MapCanvas* canvas) {
    if (m_canvas != nullptr) {
        m_hint.Destroy();
        m_canvas->MouseMoved.DisconnectUnlocked(this);
        m_canvas->BeginDraw.DisconnectUnlocked(this);
        m_canvas->BeginLayer.DisconnectUnlocked(this);
        m_canvas->EndDraw.DisconnectUnlocked(this);
    }
    six::RefCntPtr<MapEngineFacade> facade = canvas != nullptr ? canvas->GetEngine() : nullptr;
    {
        ScopedLock lock(&m_cache.lock);
        m_canvas = canvas;
        m_facade = std::move(facade);
        m_window = canvas != nullptr ? canvas->GetHwnd() : nullptr;
        m_view.reset();
    }
    if (canvas == nullptr) {
        return;
    }
    canvas->BeginDraw.ConnectUnlocked(this, &ParkingLayer::OnBeginDraw);
    canvas->BeginLayer.ConnectUnlocked(this, &ParkingLayer::OnFilterClass);
    canvas->EndDraw.ConnectUnlocked(this, &ParkingLayer::OnEndDraw);
    canvas->MouseMoved.ConnectUnlocked(this, &ParkingLayer::OnMouseMoved);
    m_hint.Create(canvas->GetHwnd(), u"MS Sans Serif", 8);
}

void ParkingLayer::SetMode(std::uint32_t mode) {
    if (mode == m_mode) {
        return;
    }
    m_mode = mode;
    if (m_canvas != nullptr) {
        InvalidateRect(m_canvas->GetHwnd(), nullptr, FALSE);
    }
}

ParkingLayer::Link ParkingLayer::GetLink() {
    ScopedLock lock(&m_cache.lock);
    return Link{m_facade, m_window != nullptr};
}

void ParkingLayer::SetParkingStatus(std::uint32_t parkingId, std::uint32_t level) {
    if (m_canvas == nullptr || !m_parking.IsOpen()) {
        return;
    }
    const std::int32_t occupancy =
        level == 0 ? -1 : static_cast<std::int32_t>(std::min<std::uint32_t>(level, 4) - 1) * 50;
    {
        ScopedLock lock(&m_cache.lock);
        const auto found = m_cache.lots.find(parkingId);
        if (found != m_cache.lots.end()) {
            found->second.occupancy = occupancy;
            const GeoRect rect = found->second.rect;
            lock.Unlock();
            Invalidate(rect, true, kRoadMargin, kRoadMargin);
            return;
        }
    }
    const Link link = GetLink();
    ParkingLot lot;
    for (const ParkingStreet& street : m_parking.FindStreets(parkingId)) {
        lot.elementIds.push_back(street.elementId);
        if (street.startPercent != 0 || street.endPercent < 100) {
            lot.ranges[street.elementId] = {street.startPercent, street.endPercent};
        }
        if (const auto shape = FetchShape(link.facade.Get(), street.elementId)) {
            if (lot.rect == GeoRect{}) {
                lot.rect = shape->bounds;
            } else {
                lot.rect.Union(shape->bounds);
            }
        }
    }
    lot.occupancy = occupancy;
    const GeoRect rect = lot.rect;
    {
        ScopedLock lock(&m_cache.lock);
        m_cache.lots.emplace(parkingId, std::move(lot));
    }
    Invalidate(rect, true, kRoadMargin, kRoadMargin);
}

void ParkingLayer::OnMessageAdded(TmcMessagePtr message) {
    const Link link = GetLink();
    if (!link.isAttached || !message) {
        return;
    }
    const std::uint32_t id = message->GetId();
    const TmcBlockagePtr blockage = message->GetRouteImpact().GetBlockage();
    if (!blockage) {
        GeoRect rect;
        bool hasRect = false;
        for (const std::uint32_t elementId : message->GetElementIds()) {
            if (const auto shape = FetchShape(link.facade.Get(), elementId)) {
                Unite(rect, hasRect, shape->bounds);
            }
        }
        {
            ScopedLock lock(&m_cache.lock);
            for (const std::uint32_t elementId : message->GetElementIds()) {
                m_cache.elementIds.insert(elementId & kIdMask);
            }
        }
        Invalidate(rect, hasRect, kRoadMargin, kRoadMargin);
        return;
    }
    {
        ScopedLock lock(&m_cache.lock);
        if (m_cache.entries.contains(id)) {
            return;
        }
    }
    TrafficEntry entry;
    for (const std::string& name : blockage->signNames) {
        entry.signNames.push_back(DisplayName(name));
    }
    entry.text = message->GetText();
    std::vector<StretchElement> elements;
    for (const std::uint32_t elementId : message->GetElementIds()) {
        const auto shape = FetchShape(link.facade.Get(), elementId);
        if (!shape) {
            continue;
        }
        Unite(entry.rect, entry.hasRect, shape->bounds);
        const std::uint32_t direction = elementId >> 30;
        elements.push_back(StretchElement{
            shape->points, direction == 2 ? shape->direction : direction, elementId & kIdMask});
    }
    const std::vector<StretchPiece> pieces = BuildPieces(elements);
    entry.polyline = ChainPieces(pieces, elements);
    entry.isArrowForm = IsArrowForm(pieces);
    const GeoRect rect = entry.rect;
    const bool hasRect = entry.hasRect;
    {
        ScopedLock lock(&m_cache.lock);
        if (!m_cache.entries.emplace(id, std::move(entry)).second) {
            return;
        }
    }
    Invalidate(rect, hasRect, kBlockingMargin, kBlockingMargin);
}

void ParkingLayer::OnMessageRemoved(TmcMessagePtr message) {
    const Link link = GetLink();
    if (!link.isAttached || !message) {
        return;
    }
    {
        ScopedLock lock(&m_cache.lock);
        const auto found = m_cache.entries.find(message->GetId());
        if (found != m_cache.entries.end()) {
            const GeoRect rect = found->second.rect;
            const bool hasRect = found->second.hasRect;
            m_cache.entries.erase(found);
            lock.Unlock();
            Invalidate(rect, hasRect, kBlockingMargin, kBlockingMargin);
            return;
        }
    }
    GeoRect rect;
    bool hasRect = false;
    for (const std::uint32_t elementId : message->GetElementIds()) {
        if (const auto shape = FetchShape(link.facade.Get(), elementId)) {
            Unite(rect, hasRect, shape->bounds);
        }
    }
    {
        ScopedLock lock(&m_cache.lock);
        for (const std::uint32_t elementId : message->GetElementIds()) {
            m_cache.elementIds.erase(elementId & kIdMask);
        }
    }
    Invalidate(rect, hasRect, kRoadMargin, kRoadMargin);
}

void ParkingLayer::OnMessageReplaced(TmcMessagePtr old, TmcMessagePtr replacement) {
    OnMessageRemoved(std::move(old));
    OnMessageAdded(std::move(replacement));
}

void ParkingLayer::Invalidate(const GeoRect& rect, bool hasRect, int cx, int cy) {
    if (!hasRect || rect == GeoRect{}) {
        return;
    }
    RECT screen{};
    HWND window = nullptr;
    double scale = 0.0;
    {
        ScopedLock lock(&m_cache.lock);
        if (m_window == nullptr) {
            return;
        }
        window = m_window;
        if (!m_view) {
            // Not drawn since it was attached: the whole view is due.
            lock.Unlock();
            InvalidateRect(window, nullptr, FALSE);
            return;
        }
        scale = m_view->GetScale();
        const GeoPoint corners[4] = {{rect.minX, rect.minY},
                                     {rect.maxX, rect.minY},
                                     {rect.minX, rect.maxY},
                                     {rect.maxX, rect.maxY}};
        bool isFirst = true;
        for (const GeoPoint& corner : corners) {
            const POINT p = m_view->WorldToScreen(DegreesToMapPoint(corner));
            if (isFirst) {
                screen = RECT{p.x, p.y, p.x, p.y};
                isFirst = false;
            }
            screen.left = std::min(screen.left, p.x);
            screen.top = std::min(screen.top, p.y);
            screen.right = std::max(screen.right, p.x);
            screen.bottom = std::max(screen.bottom, p.y);
        }
    }
    const auto widen = [](LONG value, int by) {
        const std::int64_t moved = std::int64_t{value} + by;
        return static_cast<LONG>(std::clamp<std::int64_t>(moved, INT32_MIN, INT32_MAX));
    };
    // The thick lines reach half their width (and as far again with their round ends) past
    // the points: a smaller margin would leave their edges behind.
    const int half = OverlayLineWidth(scale) / 2 + 1;
    cx = std::max(cx, half);
    cy = std::max(cy, half);
    screen = RECT{widen(screen.left, -cx), widen(screen.top, -cy), widen(screen.right, cx),
                  widen(screen.bottom, cy)};
    InvalidateRect(window, &screen, FALSE);
}

void ParkingLayer::OnBeginDraw(std::uint32_t* result, DrawContext*) {
    if (m_canvas != nullptr) {
        const auto* transform = dynamic_cast<const MapTransform*>(m_canvas->GetTransform());
        ScopedLock lock(&m_cache.lock);
        if (transform != nullptr) {
            m_view.emplace(*transform);
        } else {
            m_view.reset();
        }
    }
    if (m_mode == 1) {
        return;
    }
    m_isDrawn = false;
    if (result != nullptr) {
        *result |= 6;
    }
}

void ParkingLayer::DrawElement(HDC dc, std::uint32_t id, const GeoRect& visible,
                               const ParkingLot* lot) {
    six::IntfPtr<MapElement> element = m_canvas->GetMappedElement(id & kIdMask);
    if (!element) {
        return;
    }
    GeoRect bounds;
    element->GetBounds(bounds);
    if (!GeoRect::Intersects(bounds, visible)) {
        return;
    }
    std::vector<POINT> points;
    std::vector<GeoPoint>& geo = m_pointBuffer;
    (void)element->GetPoints(geo);
    for (const GeoPoint& g : geo) {
        const POINT p = m_canvas->GeoToScreen(g);
        if (points.empty() || points.back().x != p.x || points.back().y != p.y) {
            points.push_back(p);
        }
    }
    if (points.empty()) {
        return;
    }
    switch (element->GetGeometryClass()) {
    case 0: {
        GdiSelection selection(dc, GetStockObject(NULL_PEN), GetStockObject(WHITE_BRUSH));
        Ellipse(dc, points[0].x - 4, points[0].y - 4, points[0].x + 4, points[0].y + 4);
        break;
    }
    case 2: {
        GdiSelection selection(dc, GetStockObject(NULL_PEN), GetStockObject(WHITE_BRUSH));
        Polygon(dc, points.data(), static_cast<int>(points.size()));
        break;
    }
    case 1: {
        if (lot != nullptr && points.size() >= 2) {
            const auto range = lot->ranges.find(id & kIdMask);
            if (range != lot->ranges.end()) {
                points = ClipToRange(points, range->second.first, range->second.second);
            }
        }
        DrawPolyline(dc, points);
        break;
    }
    default:
        break;
    }
}

void ParkingLayer::OnFilterClass(std::uint32_t*, DrawContext* context, std::uint32_t layerCode,
                                 std::uint32_t*) {
    const std::uint32_t group = layerCode >> 16;
    if (m_isDrawn || (group != 1 && group != 3) || m_canvas == nullptr || context == nullptr ||
        context->dc == nullptr) {
        return;
    }
    m_isDrawn = true;
    HDC dc = context->dc;
    const GeoRect visible = m_canvas->GetVisibleGeoRect();
    const int width = OverlayLineWidth(m_canvas->GetScale());
    ScopedLock lock(&m_cache.lock);
    {
        const PenScope pen(dc, kRoadColour, width);
        for (const std::uint32_t id : m_cache.elementIds) {
            DrawElement(dc, id, visible, nullptr);
        }
    }
    {
        const PenScope pen(dc, kStretchColour, width);
        for (auto& [id, entry] : m_cache.entries) {
            if (!entry.hasRect || !GeoRect::Intersects(entry.rect, visible)) {
                continue;
            }
            entry.screenPoints.clear();
            for (const GeoPoint& p : entry.polyline) {
                entry.screenPoints.push_back(m_canvas->GeoToScreen(p));
            }
            DrawPolyline(dc, entry.screenPoints);
        }
    }
    for (const auto& [id, lot] : m_cache.lots) {
        COLORREF colour = 0;
        switch (lot.occupancy) {
        case 0:
            colour = kFree;
            break;
        case 50:
            colour = kHalf;
            break;
        case 100:
            colour = kFull;
            break;
        default:
            continue;
        }
        const PenScope pen(dc, colour, width);
        for (const std::uint32_t elementId : lot.elementIds) {
            DrawElement(dc, elementId, visible, &lot);
        }
    }
}

void ParkingLayer::DrawMarks(HDC dc, const TrafficEntry& entry) {
    std::vector<POINT> points;
    for (const GeoPoint& p : entry.polyline) {
        points.push_back(m_canvas->GeoToScreen(p));
    }
    for (const StretchMark& mark : PlaceMarks(points)) {
        if (mark.isArrow) {
            const std::vector<POINT> arrow = ArrowPolygon(mark.from, mark.to, entry.isArrowForm);
            Polygon(dc, arrow.data(), static_cast<int>(arrow.size()));
            continue;
        }
        SignCache& signs = Signs();
        std::lock_guard<std::mutex> guard(signs.mutex);
        POINT at = mark.from;
        for (const std::u16string& name : entry.signNames) {
            const SignCache::Sign& sign = signs.Get(name);
            if (sign.bitmap) {
                sign.bitmap->DrawCentred(dc, at);
            }
            at.x += sign.width;
        }
    }
}

void ParkingLayer::OnEndDraw(DrawContext* context) {
    if (m_canvas == nullptr || context == nullptr || context->dc == nullptr) {
        return;
    }
    HDC dc = context->dc;
    const GeoRect visible = m_canvas->GetVisibleGeoRect();
    HPEN pen = CreatePen(PS_SOLID, 0, kStretchColour);
    if (pen == nullptr) {
        return;
    }
    {
        GdiSelection selection(dc, pen, GetStockObject(BLACK_BRUSH));
        ScopedLock lock(&m_cache.lock);
        for (const auto& [id, entry] : m_cache.entries) {
            if (entry.hasRect && GeoRect::Intersects(entry.rect, visible)) {
                DrawMarks(dc, entry);
            }
        }
    }
    DeleteObject(pen);
}

void ParkingLayer::OnMouseMoved(MapControlMessage message) {
    if (m_canvas == nullptr) {
        return;
    }
    const int x = static_cast<std::int16_t>(message.lParam & 0xFFFF);
    const int y = static_cast<std::int16_t>((message.lParam >> 16) & 0xFFFF);
    const GeoPoint a = m_canvas->ScreenToGeo(POINT{x - kHoverBox, y - kHoverBox});
    const GeoPoint b = m_canvas->ScreenToGeo(POINT{x + kHoverBox, y + kHoverBox});
    GeoRect box(a.x, a.y, b.x, b.y);
    box.Normalize();
    std::u16string text;
    {
        ScopedLock lock(&m_cache.lock);
        for (const auto& [id, entry] : m_cache.entries) {
            if (!entry.hasRect || !OverlapsOrTouches(entry.rect, box)) {
                continue;
            }
            const bool isHit = std::any_of(entry.screenPoints.begin(), entry.screenPoints.end(),
                                           [&](const POINT& p) {
                                               return x - kHoverBox <= p.x && p.x < x + kHoverBox &&
                                                      y - kHoverBox <= p.y && p.y < y + kHoverBox;
                                           });
            if (isHit) {
                text = entry.text;
                break;
            }
        }
    }
    if (!text.empty()) {
        (void)m_hint.Show(POINT{x, y}, text, DT_LEFT);
    }
}

std::multiset<std::uint32_t> ParkingLayer::GetElementIds() {
    ScopedLock lock(&m_cache.lock);
    return m_cache.elementIds;
}

std::vector<std::uint32_t> ParkingLayer::GetEntryIds() {
    ScopedLock lock(&m_cache.lock);
    std::vector<std::uint32_t> ids;
    for (const auto& [id, entry] : m_cache.entries) {
        ids.push_back(id);
    }
    return ids;
}

std::optional<TrafficEntry> ParkingLayer::GetEntry(std::uint32_t messageId) {
    ScopedLock lock(&m_cache.lock);
    const auto found = m_cache.entries.find(messageId);
    if (found == m_cache.entries.end()) {
        return std::nullopt;
    }
    return found->second;
}

six::RefCntPtr<ParkingLayer> CreateParkingLayer() {
    try {
        return six::RefCntPtr<ParkingLayer>(new ParkingLayer());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
