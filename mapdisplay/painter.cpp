#include "mapdisplay/painter.h"

#include "utilities/mapgeometry/elementrecord.h"

#include <algorithm>
#include <cmath>

namespace {

// How far beyond the part of the view being drawn a line's segments are at least still drawn;
// the reach of the widest pen at the scale when that is more, so that the edge of a wide pen
// reaches into the part as a whole repaint draws it.
constexpr LONG kLeastPenReach = 16;

std::vector<POINT> DevicePoints(const DrawContext& context, const GeometryElement& element) {
    std::vector<POINT> points;
    const std::uint32_t count = element.GetPointCount();
    points.reserve(count);
    MapPoint p;
    for (std::uint32_t i = 0; i < count && element.GetPoint(i, p); ++i)
        points.push_back(context.transform->WorldToScreen(p));
    return points;
}

// The element's points in a buffer reused from call to call (one painting thread).
const std::vector<MapPoint>& MapPoints(const GeometryElement& element) {
    static std::vector<MapPoint> points;
    points.clear();
    const std::uint32_t count = element.GetPointCount();
    MapPoint p;
    for (std::uint32_t i = 0; i < count && element.GetPoint(i, p); ++i)
        points.push_back(p);
    return points;
}

bool SamePoint(POINT a, POINT b) {
    return a.x == b.x && a.y == b.y;
}

// The record's kind letter and name id, past the 16 bytes GetRecord leaves out.
char KindLetter(const GeometryElement& element) {
    return static_cast<char>(element.GetRecord()[27 - 16]);
}
std::uint32_t NameId(const GeometryElement& element) {
    return maprecord::ReadU32(element.GetRecord() + (28 - 16));
}

int Direction(const GeometryElement& element) {
    return static_cast<int>(element.GetAttributeWord() & 3);
}

bool IsShieldClass(std::uint16_t elementClass) {
    return elementClass >= 1010 && elementClass <= 1030;
}

// A shield, or else a street name along the points, as lines and polylines offer them.
void OfferLabel(MapStyle& style, DrawContext& context, const GeometryElement& element,
                const std::vector<POINT>& points, int country) {
    if (points.size() < 2)
        return;
    const std::uint16_t elementClass = element.GetTypeCode();
    const float labelScale = style.LabelScale(elementClass);
    const DrawOptions& options = *context.options;
    const float s = context.scale;
    if (labelScale > s && IsShieldClass(elementClass) && s > 2.0F && s < 500.0F) {
        DrawShield(context, NameId(element), points.data(), static_cast<int>(points.size()),
                   country, elementClass);
        return;
    }
    if (labelScale > s / options.labelScaleFactor && options.names && options.streetNames &&
        context.nameReader && context.labels != nullptr) {
        std::u16string full;
        std::u16string roadNumber;
        if (!context.nameReader->GetName(NameId(element), full))
            return;
        if (!context.nameReader->GetRoadNumber(NameId(element), roadNumber))
            roadNumber.clear();
        if (const std::optional<std::u16string> text = LabelText(full, roadNumber); text)
            context.labels->AddStreetLabel(points.data(), static_cast<int>(points.size()), *text,
                                           elementClass);
    }
}

std::vector<POINT>& AreaBuffer() {
    static std::vector<POINT> buffer;
    return buffer;
}

constexpr int kMinCoordinate = -16384;
constexpr int kMaxCoordinate = 16383;

bool InRange(POINT p) {
    return p.x >= kMinCoordinate && p.x <= kMaxCoordinate && p.y >= kMinCoordinate &&
           p.y <= kMaxCoordinate;
}
POINT Clamped(POINT p) {
    return {std::clamp<LONG>(p.x, kMinCoordinate, kMaxCoordinate),
            std::clamp<LONG>(p.y, kMinCoordinate, kMaxCoordinate)};
}
POINT Midpoint(POINT a, POINT b) {
    return {static_cast<LONG>((std::int64_t{a.x} + b.x) / 2),
            static_cast<LONG>((std::int64_t{a.y} + b.y) / 2)};
}
void Push(std::vector<POINT>& buffer, std::size_t& used, POINT p) {
    if (used == buffer.size())
        buffer.resize(buffer.size() + 1024);
    buffer[used++] = p;
}

} // namespace

DrawOptions::DrawOptions() = default;
DrawOptions::~DrawOptions() = default;

// ---- Line batch ----

const std::vector<POINT>& LineBatch::Add(DrawContext& context, const MapPoint* points,
                                         std::size_t count, std::uint16_t elementClass,
                                         int direction, int pass) {
    std::vector<POINT>& device = m_device;
    device.clear();
    m_visible.clear();
    m_runStarts.clear();
    for (std::size_t i = 0; i < count; ++i) {
        const POINT p = context.transform->WorldToScreen(points[i]);
        if (device.empty() || !SamePoint(device.back(), p))
            device.push_back(p);
    }
    if (device.size() < 2)
        return m_visible;
    if (!m_arrows)
        direction = 0;
    if (!m_points.empty() && (elementClass != m_class || direction != m_direction ||
                              !SamePoint(device.front(), m_points.back()) ||
                              m_points.size() + device.size() > kMaxPoints))
        Flush(context, pass);
    m_class = elementClass;
    m_direction = direction;
    // A segment outside the view still draws the edge of its wide pen into it; the DC clips
    // the drawing to the view anyway.
    const LONG reach =
        context.style != nullptr && context.options
            ? std::max(kLeastPenReach,
                       LONG{context.style->PenReach(context.scale, *context.options)})
            : kLeastPenReach;
    const MapRect view{context.rect.left - reach, context.rect.top - reach,
                       context.rect.right + reach, context.rect.bottom + reach};
    std::vector<POINT>& visible = m_visible;
    for (std::size_t i = 1; i < device.size(); ++i) {
        const POINT a = device[i - 1];
        const POINT b = device[i];
        const MapRect box{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x),
                          std::max(a.y, b.y)};
        if (!MapRect::Overlaps(box, view)) {
            Flush(context, pass);
            continue;
        }
        if (m_points.empty() || !SamePoint(m_points.back(), a)) {
            Flush(context, pass);
            m_points.push_back(a);
        }
        if (visible.empty() || !SamePoint(visible.back(), a)) {
            m_runStarts.push_back(visible.size());
            visible.push_back(a);
        }
        m_points.push_back(b);
        visible.push_back(b);
        if (m_points.size() >= kMaxPoints) {
            Flush(context, pass);
            m_points.push_back(b);
        }
    }
    return visible;
}

void LineBatch::Flush(DrawContext& context, int pass) {
    if (m_points.size() >= 2 && context.style != nullptr) {
        const auto count = static_cast<int>(m_points.size());
        if (pass != 1 &&
            context.style->SelectOuterPen(context.dc, m_class, context.scale, *context.options))
            Polyline(context.dc, m_points.data(), count);
        if (pass != 0 &&
            context.style->SelectInnerPen(context.dc, m_class, context.scale, *context.options)) {
            Polyline(context.dc, m_points.data(), count);
            if (m_arrows && (m_direction == 1 || m_direction == 2))
                DrawDirectionArrows(context.dc, m_points, m_direction);
        }
    }
    m_points.clear();
}

std::array<POINT, 7> DirectionArrow(POINT a, POINT b, POINT m, int direction) {
    double dx = static_cast<double>(a.x) - b.x; // opposite to a -> b
    double dy = static_cast<double>(a.y) - b.y;
    if (direction == 2) {
        dx = -dx;
        dy = -dy;
    }
    const double length = std::hypot(dx, dy);
    const double ux = length > 0 ? dx / length : 0;
    const double uy = length > 0 ? dy / length : 0;
    const double vx = -uy;
    const double vy = ux;
    constexpr double kAngle = 0.3141592653589793;
    const double c = std::cos(kAngle);
    const double s = std::sin(kAngle);
    auto at = [&](double x, double y) {
        return POINT{static_cast<LONG>(m.x + x), static_cast<LONG>(m.y + y)};
    };
    return {at(20 * ux + 2 * vx, 20 * uy + 2 * vy),
            at(10 * ux + 2 * vx, 10 * uy + 2 * vy),
            at(12 * (ux * c - uy * s), 12 * (ux * s + uy * c)),
            m,
            at(12 * (ux * c + uy * s), 12 * (-ux * s + uy * c)),
            at(10 * ux - 2 * vx, 10 * uy - 2 * vy),
            at(20 * ux - 2 * vx, 20 * uy - 2 * vy)};
}

void DrawDirectionArrows(HDC dc, const std::vector<POINT>& points, int direction) {
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    int running = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const POINT a = points[i - 1];
        const POINT b = points[i];
        running += static_cast<int>(
            std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y));
        if (running >= LineBatch::kArrowSpacing) {
            const POINT m{static_cast<LONG>((std::int64_t{a.x} + b.x) / 2),
                          static_cast<LONG>((std::int64_t{a.y} + b.y) / 2)};
            const std::array<POINT, 7> arrow = DirectionArrow(a, b, m, direction);
            Polygon(dc, arrow.data(), static_cast<int>(arrow.size()));
            running = 0;
        }
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

// ---- Texts ----

const std::vector<ShieldRow>& ShieldTable() {
    using S = ShieldStyle;
    static const std::vector<ShieldRow> rows = {
        {17, S{u"A", 0xFF0000, 0xFFFFFF}, S{u"B", 0x00C8FF, 0x000000}},
        {4, S{u"A", 0xFF0000, 0xFFFFFF}, S{u"S", 0xFF0000, 0xFFFFFF}},
        {45, S{u"A", 0x0000FF, 0xFFFFFF}, S{std::nullopt, 0xFF0000, 0xFFFFFF}},
        {24, S{u"A", 0x00FF00, 0xFFFFFF}, S{u"SS", 0xFF0000, 0xFFFFFF}},
        {16, S{u"A", 0x0000FF, 0xFFFFFF}, S{u"N", 0x0000FF, 0xFFFFFF}},
        {26, S{u"A", 0xFF0000, 0xFFFFFF}, S{std::nullopt, 0xFF0000, 0xFFFFFF}},
        {32, S{u"A", 0x0000FF, 0xFFFFFF}, S{u"N", 0x0000FF, 0xFFFFFF}},
        {2, S{u"A", 0x0000FF, 0xFFFFFF}, S{u"CG", 0x00FF00, 0xFFFFFF}},
        {6, S{u"A", 0xFF0000, 0xFFFFFF}, S{u"N", 0xFFFFFF, 0x000000}},
        {12, S{std::nullopt, 0x00C8FF, 0x000000}, S{std::nullopt, 0xFFFFFF, 0x000000}},
        {48, S{u"M", 0xFF0000, 0xFFFFFF}, S{u"A", 0x00FF00, 0x00C8FF}},
        {15, S{std::nullopt, 0x0000FF, 0xFFFFFF}, S{std::nullopt, 0x00C8FF, 0x000000}},
        {23, S{u"M", 0xFF0000, 0xFFFFFF}, S{u"N", 0x00FF00, 0x00C8FF}},
        {28, S{u"A", 0xFF0000, 0xFFFFFF}, S{u"N", 0x0000FF, 0xFFFFFF}},
        {33, S{u"A", 0x0000FF, 0xFFFFFF}, S{u"N", 0x00C8FF, 0x000000}},
        {34, S{u"E", 0x00FF00, 0xFFFFFF}, S{std::nullopt, 0xFFFFFF, 0x000000}},
        {36, S{u"A", 0xFF0000, 0xFFFFFF}, S{u"IP", 0x0000FF, 0xFFFFFF}},
        {39, S{u"A", 0x00FF00, 0xFFFFFF}, S{u"SS", 0xFF0000, 0xFFFFFF}},
        {43, S{u"A", 0xFF0000, 0xFFFFFF}, S{u"N", 0x0000FF, 0xFFFFFF}},
        {44, S{u"E", 0x00FF00, 0xFFFFFF}, S{std::nullopt, 0xFF0000, 0xFFFFFF}},
        {20, S{std::nullopt, 0x000000, 0x000000}, S{std::nullopt, 0x000000, 0x000000}},
    };
    return rows;
}

std::optional<ShieldStyle> ShieldStyleFor(int country, std::uint16_t elementClass) {
    const std::vector<ShieldRow>& rows = ShieldTable();
    auto row = std::find_if(rows.begin(), rows.end(),
                            [country](const ShieldRow& r) { return r.country == country; });
    if (row == rows.end())
        row = rows.begin(); // country 17
    if (elementClass == 1010)
        return row->motorway;
    if (elementClass == 1020 || elementClass == 1030)
        return row->primary;
    return std::nullopt;
}

namespace {
bool HasDigitInFirstThree(std::u16string_view text) {
    return std::any_of(text.begin(), text.begin() + std::min<std::size_t>(text.size(), 3),
                       [](char16_t c) { return c >= u'0' && c <= u'9'; });
}
} // namespace

std::u16string ShieldText(std::u16string_view roadNumber,
                          std::optional<std::u16string_view> prefix) {
    if (!prefix || prefix->empty()) {
        std::u16string_view rest = roadNumber;
        if (!rest.empty() && rest.front() == u'E' && HasDigitInFirstThree(rest)) {
            const std::size_t slash = rest.find(u'/', 1);
            if (slash == std::u16string_view::npos)
                return {};
            rest = rest.substr(slash + 1);
        }
        return std::u16string(rest.substr(0, rest.find(u"/E")));
    }
    std::u16string result;
    std::u16string_view rest = roadNumber;
    for (;;) {
        const std::size_t at = rest.rfind(*prefix);
        if (at == std::u16string_view::npos || !HasDigitInFirstThree(rest.substr(at)))
            break;
        const std::u16string_view part = rest.substr(at, rest.find(u'/', at) - at);
        if (!result.empty())
            result += u'/';
        result += part;
        rest = rest.substr(0, at);
    }
    return result;
}

std::optional<std::u16string> LabelText(const std::u16string& fullName,
                                        const std::u16string& roadNumber) {
    if (roadNumber.empty())
        return fullName;
    const std::size_t at = fullName.find(roadNumber);
    if (at == std::u16string::npos)
        return fullName;
    if (at == 0)
        return std::nullopt;
    return fullName.substr(0, at - 1);
}

void DrawShield(DrawContext& context, std::uint32_t nameId, const POINT* points, int count,
                int country, std::uint16_t elementClass) {
    if (!context.options->names || !context.nameReader || context.labels == nullptr || count < 2)
        return;
    std::u16string roadNumber;
    if (!context.nameReader->GetRoadNumber(nameId, roadNumber))
        return;
    const std::optional<ShieldStyle> style = ShieldStyleFor(country, elementClass);
    if (!style)
        return;
    const std::u16string text = ShieldText(roadNumber, style->prefix);
    if (!text.empty())
        context.labels->AddShield(points, count, text, style->background, style->text,
                                  elementClass);
}

// ---- Element routines ----

int DrawLine(MapStyle& style, DrawContext& context, const GeometryElement& element, int pass,
             int country) {
    const std::vector<MapPoint>& points = MapPoints(element);
    const std::vector<POINT> device = DevicePoints(context, element);
    if (device.size() < 2 || std::all_of(device.begin(), device.end(), [&](const POINT& p) {
            return SamePoint(p, device.front());
        }))
        return 1;
    const std::uint16_t elementClass = element.GetTypeCode();
    context.lineBatch->Add(context, points.data(), points.size(), elementClass, Direction(element),
                           pass);
    if (pass == 1)
        return 1;
    OfferLabel(style, context, element, device, country);
    return style.pens.Get(elementClass).hasInner && style.LabelScale(elementClass) >= context.scale
               ? 0
               : 1;
}

int DrawPolyline(MapStyle& style, DrawContext& context, const GeometryElement& element, int pass,
                 int country) {
    const std::vector<MapPoint>& points = MapPoints(element);
    const std::uint16_t elementClass = element.GetTypeCode();
    const std::vector<POINT>& visible = context.lineBatch->Add(
        context, points.data(), points.size(), elementClass, Direction(element), pass);
    if (pass == 1 || visible.size() < 2)
        return 1;
    const std::vector<std::size_t>& starts = context.lineBatch->RunStarts();
    std::vector<POINT> run;
    for (std::size_t r = 0; r < starts.size(); ++r) {
        const std::size_t end = r + 1 < starts.size() ? starts[r + 1] : visible.size();
        run.assign(visible.begin() + static_cast<std::ptrdiff_t>(starts[r]),
                   visible.begin() + static_cast<std::ptrdiff_t>(end));
        OfferLabel(style, context, element, run, country);
    }
    return style.pens.Get(elementClass).hasInner && style.LabelScale(elementClass) >= context.scale
               ? 0
               : 1;
}

void DrawSymbol(MapStyle& style, DrawContext& context, const GeometryElement& element) {
    MapPoint where;
    if (!element.GetPoint(0, where))
        return;
    const std::uint16_t elementClass = element.GetTypeCode();
    const MapStyle::SymbolEntry& symbol = style.symbols.Get(elementClass);
    const POINT centre = context.transform->WorldToScreen(where);
    const auto scaled = [](int size, std::uint32_t target, std::uint32_t screen) {
        return screen == 0
                   ? size
                   : static_cast<int>(std::int64_t{size} * static_cast<std::int64_t>(target) /
                                      static_cast<std::int64_t>(screen));
    };
    const int width = scaled(symbol.width, context.targetPpiX, context.screenPpiX);
    const int height = scaled(symbol.height, context.targetPpiY, context.screenPpiY);
    const POINT corner{centre.x - width / 2, centre.y - height / 2};
    if (symbol.image != nullptr && symbol.mask != nullptr && !context.depthDiffers) {
        HDC source = CreateCompatibleDC(context.dc);
        if (source != nullptr) {
            HGDIOBJ old = SelectObject(source, symbol.image);
            StretchBlt(context.dc, corner.x, corner.y, width, height, source, 0, 0, symbol.width,
                       symbol.height, SRCINVERT);
            // The mask's black (transparent) pixels become the text colour, white the
            // background colour: the AND keeps the map only under transparent pixels.
            const COLORREF oldText = SetTextColor(context.dc, 0x000000);
            const COLORREF oldBack = SetBkColor(context.dc, 0xFFFFFF);
            SelectObject(source, symbol.mask);
            StretchBlt(context.dc, corner.x, corner.y, width, height, source, 0, 0, symbol.width,
                       symbol.height, 0x220326);
            SetTextColor(context.dc, oldText);
            SetBkColor(context.dc, oldBack);
            SelectObject(source, symbol.image);
            StretchBlt(context.dc, corner.x, corner.y, width, height, source, 0, 0, symbol.width,
                       symbol.height, SRCINVERT);
            SelectObject(source, old);
            DeleteDC(source);
        }
    }
    if (style.LabelScale(elementClass) > context.scale && context.options->names &&
        context.nameReader && context.labels != nullptr) {
        std::u16string full;
        std::u16string roadNumber;
        if (!context.nameReader->GetName(NameId(element), full))
            return;
        if (!context.nameReader->GetRoadNumber(NameId(element), roadNumber))
            roadNumber.clear();
        const std::optional<std::u16string> text = LabelText(full, roadNumber);
        if (!text)
            return;
        MapStyle::FontEntry& font = style.fonts.Get(elementClass);
        const bool hasFont = &font != &style.fonts.Default();
        context.labels->AddPointLabel({corner.x - 10, corner.y - 2}, {corner.x + 10, corner.y - 2},
                                      *text, elementClass, hasFont ? &font.font : nullptr,
                                      hasFont ? font.textColour : 0,
                                      hasFont ? font.haloColour : 0xFFFFFF);
    }
}

COLORREF OneBitGrey(COLORREF colour) {
    const double grey =
        (GetGValue(colour) * 0.54 + GetRValue(colour) * 0.16 + GetBValue(colour) * 0.3) * 0.75 + 64;
    const int value = static_cast<int>(grey);
    return RGB(value, value, value);
}

void DrawArea(MapStyle& style, DrawContext& context, const GeometryElement& element) {
    const std::vector<POINT> device = DevicePoints(context, element);
    if (device.size() < 3)
        return;
    std::vector<POINT>& buffer = AreaBuffer();
    std::size_t used = 0;
    for (std::size_t i = 0; i < device.size(); ++i) {
        if (i > 0 && InRange(device[i - 1]) != InRange(device[i]))
            Push(buffer, used, Clamped(Midpoint(device[i - 1], device[i])));
        Push(buffer, used, Clamped(device[i]));
    }
    if (InRange(device.back()) != InRange(device.front()))
        Push(buffer, used, Clamped(Midpoint(device.back(), device.front())));
    const MapStyle::BrushEntry& entry = style.brushes.Get(element.GetTypeCode());
    HPEN pen = CreatePen(PS_NULL, 0, entry.colour);
    const bool isOneBit =
        GetDeviceCaps(context.dc, BITSPIXEL) < 2 && GetDeviceCaps(context.dc, PLANES) < 2;
    HBRUSH grey = isOneBit ? CreateSolidBrush(OneBitGrey(entry.colour)) : nullptr;
    HBRUSH brush = isOneBit ? grey : entry.brush;
    if (pen != nullptr && brush != nullptr) {
        HGDIOBJ oldPen = SelectObject(context.dc, pen);
        HGDIOBJ oldBrush = SelectObject(context.dc, brush);
        const COLORREF oldText = SetTextColor(context.dc, entry.colour);
        Polygon(context.dc, buffer.data(), static_cast<int>(used));
        SetTextColor(context.dc, oldText);
        SelectObject(context.dc, oldBrush);
        SelectObject(context.dc, oldPen);
        style.ClearSelectedClass();
    }
    if (grey != nullptr)
        DeleteObject(grey);
    if (pen != nullptr)
        DeleteObject(pen);
}

int DrawElement(DrawContext& context, const GeometryElement& element, int pass, int country) {
    if (context.style == nullptr)
        return 0;
    MapStyle& style = *context.style;
    switch (KindLetter(element)) {
    case 'l':
    case 'm':
    case 'n':
    case 'o':
        return DrawLine(style, context, element, pass, country) == 0 ? 1 : 0;
    case 'p':
    case 'r':
        return DrawPolyline(style, context, element, pass, country) == 0 ? 1 : 0;
    case 't':
        DrawSymbol(style, context, element);
        return 0;
    case 'y':
    case 'z':
        DrawArea(style, context, element);
        return 0;
    default:
        return 0;
    }
}
