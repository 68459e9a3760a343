#include "mapdisplay/labellayer.h"

#include "utilities/mapgeometry/mapgeometry.h"

#include "platform/window/window.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kMaxPoints = 100;
constexpr double kSimplifyTolerance = 4.0;
constexpr double kPerPoint = 0.013888888888888888; // 1 / 72
constexpr double kTenthsOfDegreePerRadian = 572.9582790879778;
constexpr std::uint32_t kSharedTextClass = 1000; // point labels below it may repeat a text
constexpr char16_t kBaseFace[] = u"Microsoft Sans Serif";
// How far a label's pixels may reach beyond its bounds: the halo's pixel and one more for the
// glyphs of turned text.
constexpr LONG kInkMargin = 2;

RECT InkReach(const RECT& bounds) {
    return {bounds.left - kInkMargin, bounds.top - kInkMargin, bounds.right + kInkMargin,
            bounds.bottom + kInkMargin};
}

LOGFONTW BaseFont(LONG height, LONG weight) {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = weight;
    std::copy(std::begin(kBaseFace), std::end(kBaseFace), font.lfFaceName);
    return font;
}

LONG FontHeight(std::uint32_t pointSize, int logPixelsY) {
    return static_cast<LONG>(-static_cast<double>(pointSize) * logPixelsY * kPerPoint);
}

MapRect ToMapRect(const RECT& r) {
    return MapRect{r.left, r.top, r.right, r.bottom};
}

int Orient(POINT p, POINT q, POINT r) {
    const std::int64_t cross = static_cast<std::int64_t>(q.x - p.x) * (r.y - p.y) -
                               static_cast<std::int64_t>(q.y - p.y) * (r.x - p.x);
    return (cross > 0) - (cross < 0);
}

bool SegmentsCross(POINT p, POINT q, POINT r, POINT s) {
    return Orient(p, q, r) == -Orient(p, q, s) && Orient(r, s, p) == -Orient(r, s, q);
}

// Inside the convex box or on its edge.
bool BoxContains(const std::array<POINT, 4>& box, POINT p) {
    int positive = 0;
    int negative = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const int side = Orient(box[i], box[(i + 1) % 4], p);
        positive += side > 0;
        negative += side < 0;
    }
    return positive == 0 || negative == 0;
}

// Strictly inside the convex box (not on its edge).
bool BoxHolds(const std::array<POINT, 4>& box, POINT p) {
    int positive = 0;
    int negative = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const int side = Orient(box[i], box[(i + 1) % 4], p);
        positive += side > 0;
        negative += side < 0;
    }
    return positive == 4 || negative == 4;
}

// A point's distance from a chord's end when it lies beyond it: the larger axis distance plus a
// third of the smaller.
double EndDistance(POINT p, POINT end) {
    const double ax = std::abs(static_cast<double>(p.x - end.x));
    const double ay = std::abs(static_cast<double>(p.y - end.y));
    return std::max(ax, ay) + std::min(ax, ay) / 3;
}

// Appends the indices Douglas-Peucker keeps strictly between first and last, in order.
// tolerance must not be negative.
void Simplify(const POINT* points, std::size_t first, std::size_t last, double tolerance,
              std::vector<std::size_t>& kept) {
    if (last - first < 2) {
        return; // no point between: nothing to keep, and no chord length to work out
    }
    const POINT a = points[first];
    const POINT b = points[last];
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    // The farthest point, the first of equals. A point whose projection falls beyond an end of
    // the chord (every point, when the chord's ends are one point) counts its EndDistance.
    double farthest = 0;
    std::size_t at = first;
    if (lengthSquared == 0) {
        for (std::size_t i = first + 1; i < last; ++i) {
            const double d = EndDistance(points[i], a);
            if (d > farthest) {
                farthest = d;
                at = i;
            }
        }
    } else {
        const double inverseLength = 1 / std::sqrt(lengthSquared);
        for (std::size_t i = first + 1; i < last; ++i) {
            const POINT p = points[i];
            const double ex = p.x - a.x;
            const double ey = p.y - a.y;
            const double dot = ex * dx + ey * dy;
            const double d = dot < 0               ? EndDistance(p, a)
                             : dot > lengthSquared ? EndDistance(p, b)
                                                   : std::abs(ex * dy - ey * dx) * inverseLength;
            if (d > farthest) {
                farthest = d;
                at = i;
            }
        }
    }
    if (farthest > tolerance) {
        Simplify(points, first, at, tolerance, kept);
        kept.push_back(at);
        Simplify(points, at, last, tolerance, kept);
    }
}

// Within this magnitude every coordinate difference is at most 2^25, so dot and cross products of
// two differences are exact in 64-bit integers and in doubles alike (at most 2^51), and distinct
// cross products stay distinct once scaled by a chord's inverse length.
constexpr LONG kExactCoordinate = LONG{1} << 24;
// SimplifyExact packs a point's offset within its range into the low bits of its key.
constexpr int kOffsetBits = 8;
constexpr std::size_t kExactPoints = std::size_t{1} << kOffsetBits;

// Whether every coordinate lies in [-kExactCoordinate, kExactCoordinate) and there are at most
// kExactPoints points. Shifted by kExactCoordinate, a coordinate in range is a 25-bit number, so
// one OR over all of them tells.
bool IsExact(const POINT* points, std::size_t count) {
    const auto shift = static_cast<std::uint32_t>(kExactCoordinate);
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < count; ++i) {
        bits |= (static_cast<std::uint32_t>(points[i].x) + shift) |
                (static_cast<std::uint32_t>(points[i].y) + shift);
    }
    return count <= kExactPoints && bits < 2 * shift;
}

// Whether cross * (1 / sqrt(lengthSquared)), rounded as Simplify rounds it, exceeds tolerance.
// The square root and division are only worked out when the squares lie within a relative
// 2^-40 of each other; outside that band the roundings cannot change the answer.
bool CrossExceeds(std::int64_t cross, std::int64_t lengthSquared, double tolerance) {
    const auto c = static_cast<double>(cross);
    const double crossSquared = c * c;
    const double limit = tolerance * tolerance * static_cast<double>(lengthSquared);
    if (crossSquared > limit * (1 + 0x1p-40)) {
        return true;
    }
    if (crossSquared < limit * (1 - 0x1p-40)) {
        return false;
    }
    return c * (1 / std::sqrt(static_cast<double>(lengthSquared))) > tolerance;
}

// Simplify for points that IsExact accepts, keeping the same indices. A point over the chord is
// ranked by its cross product with the chord, which orders as its distance does, packed with its
// offset so that one maximum finds the first farthest point without branches; the chord's length
// is only worked out when a distance must be weighed against a beyond-the-end distance or lies
// at the tolerance.
void SimplifyExact(const POINT* points, std::size_t first, std::size_t last, double tolerance,
                   std::vector<std::size_t>& kept) {
    const POINT a = points[first];
    const POINT b = points[last];
    const std::int64_t dx = b.x - a.x;
    const std::int64_t dy = b.y - a.y;
    const std::int64_t lengthSquared = dx * dx + dy * dy;
    if (lengthSquared == 0) {
        Simplify(points, first, last, tolerance, kept); // only beyond-the-end distances
        return;
    }
    // The largest (cross << kOffsetBits) | (kExactPoints - 1 - offset): the largest cross product,
    // the first of equals. Cross products stay under 2^51, so the key fits.
    std::int64_t widestKey = 0;
    double beyond = 0; // the largest EndDistance of a point beyond an end, the first
    std::size_t beyondAt = first;
    const std::int64_t ax = a.x;
    const std::int64_t ay = a.y;
    for (std::size_t i = first + 1; i < last; ++i) {
        const POINT p = points[i];
        const std::int64_t ex = p.x - ax;
        const std::int64_t ey = p.y - ay;
        const std::int64_t dot = ex * dx + ey * dy;
        // Unsigned, a negative dot lies beyond lengthSquared too.
        if (static_cast<std::uint64_t>(dot) > static_cast<std::uint64_t>(lengthSquared)) {
            const double d = EndDistance(p, dot < 0 ? a : b);
            if (d > beyond) {
                beyond = d;
                beyondAt = i;
            }
        } else {
            const std::int64_t cross = std::abs(ex * dy - ey * dx);
            widestKey =
                std::max(widestKey, (cross << kOffsetBits) |
                                        static_cast<std::int64_t>(kExactPoints - 1 - (i - first)));
        }
    }
    const std::int64_t widest = widestKey >> kOffsetBits;
    const std::size_t widestAt =
        first + kExactPoints - 1 - static_cast<std::size_t>(widestKey & (kExactPoints - 1));
    std::size_t at = beyondAt;
    bool isSplit = false;
    if (widest == 0) {
        isSplit = beyond > tolerance;
    } else if (beyond == 0) {
        at = widestAt;
        isSplit = CrossExceeds(widest, lengthSquared, tolerance);
    } else {
        const double d =
            static_cast<double>(widest) * (1 / std::sqrt(static_cast<double>(lengthSquared)));
        if (d > beyond || (d == beyond && widestAt < beyondAt)) {
            at = widestAt;
        }
        isSplit = std::max(d, beyond) > tolerance;
    }
    if (isSplit) {
        // Ranges with no point between are not entered: most ranges are short.
        if (at - first >= 2) {
            SimplifyExact(points, first, at, tolerance, kept);
        }
        kept.push_back(at);
        if (last - at >= 2) {
            SimplifyExact(points, at, last, tolerance, kept);
        }
    }
}

std::int64_t LengthSquared(POINT a, POINT b) {
    const std::int64_t dx = b.x - a.x;
    const std::int64_t dy = b.y - a.y;
    return dx * dx + dy * dy;
}

double Length(POINT a, POINT b) {
    return std::hypot(static_cast<double>(b.x - a.x), static_cast<double>(b.y - a.y));
}

bool BoxesOverlap(const RECT& aBounds, const std::array<POINT, 4>& a, const RECT& bBounds,
                  const std::array<POINT, 4>& b) {
    // Rectangles wholly apart (not even touching) are the common case: rejected inline.
    if (aBounds.right < bBounds.left || bBounds.right < aBounds.left ||
        aBounds.bottom < bBounds.top || bBounds.bottom < aBounds.top) {
        return false;
    }
    if (!MapRect::Overlaps(ToMapRect(aBounds), ToMapRect(bBounds))) {
        return false;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t j = 0; j < 4; ++j) {
            if (SegmentsCross(a[i], a[(i + 1) % 4], b[j], b[(j + 1) % 4])) {
                return true;
            }
        }
    }
    // No edges cross (or they meet only at corners): overlapping when a corner of one lies
    // strictly inside the other, or one lies wholly inside the other.
    for (std::size_t i = 0; i < 4; ++i) {
        if (BoxHolds(a, b[i]) || BoxHolds(b, a[i])) {
            return true;
        }
    }
    return BoxContains(a, b[0]) || BoxContains(b, a[0]);
}

void DrawBoxedLabel(HDC dc, const Label& label) {
    GdiObjectRef brush = LabelBrushCache().Get(label.haloColour);
    HPEN pen = CreatePen(PS_SOLID, 0, label.textColour);
    if (brush == nullptr || pen == nullptr) {
        OutputDebugStringW(u"label layer: no brush or pen, box skipped\n");
        if (pen != nullptr) {
            DeleteObject(pen);
        }
        return;
    }
    const POINT at = label.corners[0];
    SelectObject(dc, brush->Handle());
    SelectObject(dc, pen);
    RoundRect(dc, at.x, at.y, label.corners[2].x, label.corners[2].y, 5, 5);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    DeleteObject(pen);
    SetTextColor(dc, label.textColour);
    ExtTextOutW(dc, at.x + 3, at.y + 1, 0, nullptr, label.text.c_str(),
                static_cast<UINT>(label.text.size()), nullptr);
}

// The text at the box's first corner, where the rotated text starts, with its halo (the text in
// the halo colour one pixel around it) when asked for.
void DrawHaloedLabel(HDC dc, const Label& label, bool halo) {
    const POINT at = label.corners[0];
    const auto count = static_cast<UINT>(label.text.size());
    SetTextColor(dc, label.textColour);
    if (halo) {
        (void)platform::TextOutWithHalo(dc, at.x, at.y, label.text.c_str(), count,
                                        label.haloColour);
    } else {
        ExtTextOutW(dc, at.x, at.y, 0, nullptr, label.text.c_str(), count, nullptr);
    }
}

} // namespace

LabelFontTable& LabelFontTable::Instance() {
    static LabelFontTable table;
    return table;
}

std::uint32_t LabelFontTable::KeyOf(const LOGFONTW& font) {
    for (const auto& [known, key] : m_fonts) {
        if (std::memcmp(&known, &font, sizeof(LOGFONTW)) == 0) {
            return key;
        }
    }
    m_fonts.emplace_back(font, ++m_counter);
    return m_counter;
}

std::optional<LOGFONTW> LabelFontTable::FontOf(std::uint32_t key) const {
    if (key == 0) {
        return m_street;
    }
    if (key == 1) {
        return m_shield;
    }
    for (const auto& [font, known] : m_fonts) {
        if (known == key) {
            return font;
        }
    }
    return std::nullopt;
}

void LabelFontTable::SetBaseFonts(const LOGFONTW& street, const LOGFONTW& shield) {
    m_street = street;
    m_shield = shield;
}

void LabelFontTable::SetStreetColours(bool isDay) {
    m_streetText = isDay ? 0x3C3C3C : 0xDCDCDC;
    m_streetHalo = isDay ? 0xDCDCDC : 0x3C3C3C;
}

bool LabelsOverlap(const Label& a, const Label& b) {
    return BoxesOverlap(a.bounds, a.corners, b.bounds, b.corners);
}

namespace {

// SimplifyPolyline into a buffer the caller keeps, so that repeated calls do not allocate.
void SimplifyInto(const POINT* points, std::size_t count, double tolerance,
                  std::vector<std::size_t>& kept) {
    kept.clear();
    if (count == 0) {
        return;
    }
    kept.push_back(0);
    if (count > 1) {
        // A negative tolerance would split ranges whose points all lie on the chord for ever.
        if (IsExact(points, count)) {
            SimplifyExact(points, 0, count - 1, std::max(tolerance, 0.0), kept);
        } else {
            Simplify(points, 0, count - 1, std::max(tolerance, 0.0), kept);
        }
        kept.push_back(count - 1);
    }
}

} // namespace

std::vector<std::size_t> SimplifyPolyline(const POINT* points, std::size_t count,
                                          double tolerance) {
    std::vector<std::size_t> kept;
    kept.reserve(count);
    SimplifyInto(points, count, tolerance, kept);
    return kept;
}

std::array<POINT, 4> RotatedBox(double anchorX, double anchorY, SIZE size, double angle) {
    const double halfWidth = size.cx / 2.0;
    const double halfHeight = size.cy / 2.0;
    const double ux = halfWidth * std::cos(angle);
    const double uy = -halfWidth * std::sin(angle);
    const double vx = -halfHeight * std::sin(angle);
    const double vy = -halfHeight * std::cos(angle);
    const auto corner = [&](double x, double y) {
        return POINT{static_cast<LONG>(anchorX + x), static_cast<LONG>(anchorY + y)};
    };
    return {corner(-ux + vx, -uy + vy), corner(ux + vx, uy + vy), corner(ux - vx, uy - vy),
            corner(-ux - vx, -uy - vy)};
}

int LabelEscapement(double angle) {
    const auto tenths = static_cast<int>(angle * kTenthsOfDegreePerRadian);
    return tenths / 20 * 20;
}

GdiCache<COLORREF>& LabelBrushCache() {
    // Never destroyed: its brushes may outlive every layer, up to the end of the process.
    static auto* cache =
        new GdiCache<COLORREF>(6, [](const COLORREF& colour) { return CreateSolidBrush(colour); });
    return *cache;
}

LabelLayer::LabelLayer()
    : m_fontCache(kFontCacheSize, [this](const FontKey& key) { return CreateFontFor(key); }) {}

LabelLayer::~LabelLayer() {
    m_fontCache.Clear();
    DeleteFonts();
}

HGDIOBJ LabelLayer::CreateFontFor(const FontKey& key) const {
    std::optional<LOGFONTW> font = LabelFontTable::Instance().FontOf(key.first);
    if (!font) {
        return nullptr;
    }
    font->lfEscapement = key.second < 0 ? key.second + 3600 : key.second;
    font->lfOrientation = font->lfEscapement;
    return CreateFontIndirectW(&*font);
}

void LabelLayer::DeleteFonts() {
    if (m_measureDc != nullptr) {
        DeleteDC(m_measureDc); // first: it may hold one of the fonts
    }
    if (m_streetFont != nullptr) {
        DeleteObject(m_streetFont);
    }
    if (m_shieldFont != nullptr) {
        DeleteObject(m_shieldFont);
    }
    m_streetFont = m_shieldFont = nullptr;
    m_measureDc = nullptr;
    m_measureFont = nullptr;
}

void LabelLayer::CreateFonts(int logPixelsY) {
    m_fontCache.Clear();
    DeleteFonts();
    m_streetHeight = FontHeight(m_pointSize, logPixelsY);
    const LOGFONTW street = BaseFont(m_streetHeight, FW_NORMAL);
    const LOGFONTW shield = BaseFont(FontHeight(9, logPixelsY), FW_BOLD);
    LabelFontTable::Instance().SetBaseFonts(street, shield);
    m_streetFont = CreateFontIndirectW(&street);
    m_shieldFont = CreateFontIndirectW(&shield);
    m_measureDc = CreateCompatibleDC(nullptr);
    if (m_streetFont == nullptr || m_shieldFont == nullptr || m_measureDc == nullptr) {
        OutputDebugStringW(u"label layer: the label fonts cannot be created\n");
    }
}

void LabelLayer::Begin(HDC dc) {
    const int logPixelsY = GetDeviceCaps(dc, LOGPIXELSY);
    if (m_streetFont != nullptr && FontHeight(m_pointSize, logPixelsY) == m_streetHeight) {
        return;
    }
    CreateFonts(logPixelsY);
}

void LabelLayer::Clear() {
    DropLabels();
    m_keptParts = 0;
    m_isWholePlacement = true;
}

void LabelLayer::DropLabels() {
    for (std::size_t id = 0; id < m_slotCount; ++id) {
        m_slots[id].text.clear();
    }
    m_slotCount = 0;
    m_order.clear();
    m_isOrdered = true;
    m_freeIds.clear();
    m_grid.Clear();
    m_texts.Clear();
    m_labels.clear();
    m_isListed = true;
}

void LabelLayer::FreeSlot(std::uint32_t id) {
    Label& slot = m_slots[id];
    m_grid.Erase(id, slot.bounds);
    m_texts.Erase(id, m_textHashes[id]);
    std::u16string buffer = std::move(slot.text);
    buffer.clear();
    slot = Label{};
    slot.text = std::move(buffer);
    m_freeIds.push_back(id);
}

void LabelLayer::Order() const {
    if (m_isOrdered) {
        return;
    }
    std::sort(m_order.begin(), m_order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const Label& first = m_slots[a];
        const Label& second = m_slots[b];
        if (first.fontKey != second.fontKey) {
            return first.fontKey < second.fontKey;
        }
        const int texts = first.text.compare(second.text);
        return texts != 0 ? texts < 0 : m_placedAs[a] < m_placedAs[b];
    });
    m_isOrdered = true;
}

const std::vector<Label>& LabelLayer::Labels() const {
    if (!m_isListed) {
        Order();
        m_labels.clear();
        m_labels.reserve(m_order.size());
        for (const std::uint32_t id : m_order) {
            m_labels.push_back(m_slots[id]);
        }
        m_isListed = true;
    }
    return m_labels;
}

void LabelLayer::Shift(POINT offset, const RECT& rect) {
    std::vector<std::uint32_t> kept;
    kept.reserve(m_order.size());
    for (const std::uint32_t id : m_order) {
        if (!MapRect::Overlaps(ToMapRect(m_slots[id].bounds), ToMapRect(rect))) {
            FreeSlot(id);
        } else {
            kept.push_back(id);
        }
    }
    m_order = std::move(kept);
    m_grid.Clear();
    for (const std::uint32_t id : m_order) {
        Label& label = m_slots[id];
        OffsetRect(&label.bounds, offset.x, offset.y);
        for (POINT& corner : label.corners) {
            corner.x += offset.x;
            corner.y += offset.y;
        }
        label.isKept = true;
        m_grid.Insert(id, label.bounds);
    }
    m_isListed = false;
    m_isWholePlacement = false;
    RECT moved = rect;
    OffsetRect(&moved, offset.x, offset.y);
    // Empty when nothing was kept, and then never met.
    (void)IntersectRect(m_keptPicture.data(), &rect, &moved);
    m_keptParts = 1;
}

void LabelLayer::KeepAround(const RECT& view, const RECT& redrawn) {
    RECT open{};
    const bool isAnyRedrawn = IntersectRect(&open, &view, &redrawn) != FALSE;
    if (isAnyRedrawn && open.left == view.left && open.top == view.top &&
        open.right == view.right && open.bottom == view.bottom) {
        Clear();
        return;
    }
    for (const std::uint32_t id : m_order) {
        m_slots[id].isKept = true;
    }
    m_isListed = false;
    m_keptParts = 0;
    if (!isAnyRedrawn) {
        m_keptPicture[m_keptParts++] = view;
        return;
    }
    // The bands above and below the redrawn part, and the parts beside it.
    const RECT parts[] = {{view.left, view.top, view.right, open.top},
                          {view.left, open.bottom, view.right, view.bottom},
                          {view.left, open.top, open.left, open.bottom},
                          {open.right, open.top, view.right, open.bottom}};
    for (const RECT& part : parts) {
        if (IsRectEmpty(&part) == FALSE) {
            m_keptPicture[m_keptParts++] = part;
        }
    }
}

bool LabelLayer::IsWithinKeptPicture(const Label& label) const {
    if (!label.isKept) {
        return false;
    }
    const RECT reach = InkReach(label.bounds);
    return std::any_of(m_keptPicture.begin(), m_keptPicture.begin() + m_keptParts,
                       [&](const RECT& part) {
                           return reach.left >= part.left && reach.top >= part.top &&
                                  reach.right <= part.right && reach.bottom <= part.bottom;
                       });
}

void LabelLayer::SetDay(bool isDay) {
    // The street colours belong to the process, and another layer may have drawn by night since
    // this one last set them: they follow every call, not only a change of this layer's flag.
    LabelFontTable& table = LabelFontTable::Instance();
    table.SetStreetColours(isDay);
    if (isDay == m_isDay) {
        return;
    }
    m_isDay = isDay;
    // Within a repaint of part of the view the labels of the picture kept around it go: those
    // placed now are no whole placement. A whole repaint places them all anew.
    if (m_keptParts > 0) {
        m_isWholePlacement = false;
    }
    DropLabels();
    const std::optional<LOGFONTW> street = table.FontOf(0);
    if (street && street->lfFaceName[0] != 0 && m_measureDc != nullptr) {
        m_fontCache.Clear();
        const int logPixelsY = GetDeviceCaps(m_measureDc, LOGPIXELSY);
        // Rounded, not truncated: the point size must survive the round trip through the
        // height, or every switch would shrink the labels.
        m_pointSize = static_cast<std::uint32_t>(
            std::lround(-static_cast<double>(street->lfHeight) * 72 / logPixelsY));
        CreateFonts(logPixelsY);
    }
}

std::optional<SIZE> LabelLayer::Measure(std::uint32_t fontKey, std::u16string_view text) {
    GdiObjectRef cached;
    HGDIOBJ font = fontKey == 0 ? m_streetFont : fontKey == 1 ? m_shieldFont : nullptr;
    if (fontKey > 1 && (cached = m_fontCache.Get({fontKey, 0}))) {
        font = cached->Handle();
    }
    if (font == nullptr || m_measureDc == nullptr) {
        return std::nullopt;
    }
    // The measuring DC keeps the font it last used: most labels share the street font.
    if (font != m_measureFont) {
        SelectObject(m_measureDc, font);
        m_measureFont = font;
    }
    SIZE size{};
    const BOOL measured = GetTextExtentExPointW(
        m_measureDc, text.data(), static_cast<int>(text.size()), 0, nullptr, nullptr, &size);
    if (cached != nullptr) {
        SelectObject(m_measureDc, m_streetFont); // the cached font may be evicted
        m_measureFont = m_streetFont;
    }
    return measured ? std::optional<SIZE>(size) : std::nullopt;
}

bool LabelLayer::IsAdmitted(std::uint32_t fontKey, std::u16string_view text,
                            bool skipDuplicates) const {
    // A repaint of part of the view keeps the labels of a whole placement and places none.
    const bool isPlacementClosed = m_isWholePlacement && m_keptParts > 0;
    if (isPlacementClosed || m_order.size() >= kMaxLabels || text.empty()) {
        return false;
    }
    if (skipDuplicates) {
        return true;
    }
    return !m_texts.Any(LabelTextIndex::Hash(fontKey, text), [&](std::uint32_t id) {
        const Label& label = m_slots[id];
        return label.fontKey == fontKey && label.text == text;
    });
}

bool LabelLayer::Place(Label& label, std::u16string_view text) {
    const RECT& b = label.bounds;
    const RECT reach = InkReach(b);
    for (std::size_t i = 0; i < m_keptParts; ++i) {
        RECT intoKept{};
        if (IntersectRect(&intoKept, &reach, &m_keptPicture[i]) != FALSE) {
            return false; // drawn over the kept picture, or cut at the redrawn part's edge
        }
    }
    // The placed labels that may meet this one are those in the grid cells its bounds meet.
    m_grid.Find(b, m_found);
    ++m_counts.candidates;
    m_counts.tests += m_found.size();
    std::vector<std::uint32_t> displaced; // allocates only on a collision
    for (const std::uint32_t id : m_found) {
        const Label& placed = m_slots[id];
        if (!BoxesOverlap(b, label.corners, placed.bounds, placed.corners)) {
            continue;
        }
        if (label.priority >= placed.priority || placed.isKept) {
            return false;
        }
        displaced.push_back(id);
    }
    for (const std::uint32_t id : displaced) {
        const auto at = std::find(m_order.begin(), m_order.end(), id);
        *at = m_order.back();
        m_order.pop_back();
        FreeSlot(id);
    }
    std::uint32_t id = 0;
    if (!m_freeIds.empty()) {
        id = m_freeIds.back();
        m_freeIds.pop_back();
    } else {
        id = static_cast<std::uint32_t>(m_slotCount++);
        if (id == m_slots.size()) {
            m_slots.emplace_back();
            m_textHashes.push_back(0);
            m_placedAs.push_back(0);
        }
    }
    Label& slot = m_slots[id];
    std::u16string buffer = std::move(slot.text);
    slot = std::move(label);
    buffer.assign(text);
    slot.text = std::move(buffer);
    m_grid.Insert(id, slot.bounds);
    m_textHashes[id] = LabelTextIndex::Hash(slot.fontKey, text);
    m_texts.Insert(id, m_textHashes[id]);
    m_placedAs[id] = ++m_placements;
    m_order.push_back(id);
    m_isOrdered = m_order.size() < 2;
    m_isListed = false;
    return true;
}

bool LabelLayer::PlaceOnSegment(POINT a, POINT b, std::u16string_view text,
                                std::uint32_t elementClass, std::uint32_t fontKey,
                                COLORREF textColour, COLORREF haloColour, bool isRotated) {
    if (b.x < a.x) {
        std::swap(a, b);
    }
    const std::optional<SIZE> size = Measure(fontKey, text);
    if (!size) {
        return false;
    }
    Label label;
    label.angle = isRotated ? -std::atan2(static_cast<double>(b.y - a.y), b.x - a.x) : 0.0;
    label.corners = RotatedBox((a.x + b.x) / 2.0, (a.y + b.y) / 2.0, *size, label.angle);
    label.bounds = {label.corners[0].x, label.corners[0].y, label.corners[0].x, label.corners[0].y};
    for (const POINT& corner : label.corners) {
        label.bounds.left = std::min(label.bounds.left, corner.x);
        label.bounds.top = std::min(label.bounds.top, corner.y);
        label.bounds.right = std::max(label.bounds.right, corner.x);
        label.bounds.bottom = std::max(label.bounds.bottom, corner.y);
    }
    label.priority = elementClass;
    label.fontKey = fontKey;
    label.textColour = textColour;
    label.haloColour = haloColour;
    return Place(label, text);
}

bool LabelLayer::AddStreetLabel(const POINT* points, int count, std::u16string_view text,
                                std::uint32_t elementClass) {
    if (points == nullptr || count < 2 || !IsAdmitted(0, text, false)) {
        return false;
    }
    const std::size_t used = std::min<std::size_t>(static_cast<std::size_t>(count), kMaxPoints);
    std::vector<std::size_t>& kept = m_kept;
    SimplifyInto(points, used, kSimplifyTolerance, kept);
    std::int64_t longest = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < kept.size(); ++i) {
        const std::int64_t length = LengthSquared(points[kept[i]], points[kept[i + 1]]);
        if (length > longest) {
            longest = length;
            start = i;
        }
    }
    if (longest == 0) {
        return false; // fewer than two distinct points
    }
    const LabelFontTable& table = LabelFontTable::Instance();
    return PlaceOnSegment(points[kept[start]], points[kept[start + 1]], text, elementClass, 0,
                          table.StreetText(), table.StreetHalo(), true);
}

bool LabelLayer::AddPointLabel(POINT corner1, POINT corner2, std::u16string_view text,
                               std::uint32_t elementClass, const LOGFONTW* font,
                               COLORREF textColour, COLORREF haloColour) {
    const std::uint32_t fontKey = font == nullptr ? 0 : LabelFontTable::Instance().KeyOf(*font);
    if (!IsAdmitted(fontKey, text, elementClass < kSharedTextClass)) {
        return false;
    }
    return PlaceOnSegment(corner1, corner2, text, elementClass, fontKey, textColour, haloColour,
                          false);
}

bool LabelLayer::AddShield(const POINT* points, int count, std::u16string_view text,
                           COLORREF boxColour, COLORREF textColour, std::uint32_t elementClass) {
    if (points == nullptr || count < 2 || !IsAdmitted(1, text, false)) {
        return false;
    }
    const std::size_t used = std::min<std::size_t>(static_cast<std::size_t>(count), kMaxPoints);
    double total = 0;
    for (std::size_t i = 0; i + 1 < used; ++i) {
        total += Length(points[i], points[i + 1]);
    }
    if (total == 0) {
        return false;
    }
    double running = 0;
    std::size_t segment = 0;
    for (; segment + 1 < used; ++segment) {
        running += Length(points[segment], points[segment + 1]);
        if (running >= total / 2) {
            break;
        }
    }
    segment = std::min(segment, used - 2);
    std::optional<SIZE> size = Measure(1, text);
    if (!size) {
        return false;
    }
    size->cx += 6;
    size->cy += 3;
    Label label;
    const POINT a = points[segment];
    const POINT b = points[segment + 1];
    label.corners = RotatedBox((a.x + b.x) / 2.0, (a.y + b.y) / 2.0, *size, 0);
    label.bounds = {label.corners[0].x, label.corners[0].y, label.corners[2].x, label.corners[2].y};
    label.flags = kLabelBoxed;
    label.priority = elementClass;
    label.fontKey = 1;
    label.textColour = textColour;
    label.haloColour = boxColour;
    return Place(label, text);
}

void LabelLayer::Draw(HDC dc, bool halo) {
    const int previousMode = SetBkMode(dc, TRANSPARENT);
    HGDIOBJ previousPen = SelectObject(dc, GetStockObject(WHITE_PEN));
    HGDIOBJ previousFont = GetCurrentObject(dc, OBJ_FONT);
    HGDIOBJ previousBrush = GetCurrentObject(dc, OBJ_BRUSH);
    Order();
    for (const std::uint32_t id : m_order) {
        const Label& label = m_slots[id];
        if (IsWithinKeptPicture(label)) {
            continue; // its pixels are in the picture already
        }
        const int escapement = LabelEscapement(label.angle);
        GdiObjectRef cached;
        HGDIOBJ font = label.fontKey == 1                      ? m_shieldFont
                       : label.fontKey == 0 && escapement == 0 ? m_streetFont
                                                               : nullptr;
        if (font == nullptr && (cached = m_fontCache.Get({label.fontKey, escapement}))) {
            font = cached->Handle();
        }
        if (font == nullptr) {
            OutputDebugStringW(u"label layer: no font, label skipped\n");
            continue;
        }
        SelectObject(dc, font);
        if ((label.flags & kLabelBoxed) != 0) {
            DrawBoxedLabel(dc, label);
        } else {
            DrawHaloedLabel(dc, label, halo);
        }
    }
    SelectObject(dc, previousFont);
    SelectObject(dc, previousBrush);
    SelectObject(dc, previousPen);
    SetBkMode(dc, previousMode);
}
