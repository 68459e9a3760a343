#include "mapdisplay/painter.h"

#include "platform/gdi/dib.h"
#include "platform/kernel/debug.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

void DeleteIfSet(HGDIOBJ& object) {
    if (object != nullptr) {
        DeleteObject(object);
        object = nullptr;
    }
}

// A symbol's transparent pixels: 0x00RRGGBB 0x008080 in the image.
constexpr COLORREF kTransparentKey = RGB(0x00, 0x80, 0x80);

// A one-bit copy of a colour bitmap: white where the source pixel equals key, else black; the
// inverse when isInverted.
HBITMAP MakeMask(HBITMAP source, int width, int height, COLORREF key, bool isInverted) {
    HBITMAP mask = CreateBitmap(width, height, 1, 1, nullptr);
    HDC from = CreateCompatibleDC(nullptr);
    HDC to = CreateCompatibleDC(nullptr);
    if (mask != nullptr && from != nullptr && to != nullptr) {
        HGDIOBJ oldFrom = SelectObject(from, source);
        HGDIOBJ oldTo = SelectObject(to, mask);
        SetBkColor(from, key);
        BitBlt(to, 0, 0, width, height, from, 0, 0, isInverted ? NOTSRCCOPY : SRCCOPY);
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
    } else if (mask != nullptr) {
        DeleteObject(mask);
        mask = nullptr;
    }
    if (from != nullptr)
        DeleteDC(from);
    if (to != nullptr)
        DeleteDC(to);
    return mask;
}

void BuildPen(MapStyle::PenEntry& entry, const PenStyle& style) {
    entry.hasInner = style.innerWidth != 0;
    entry.outerWidth = style.width;
    entry.innerWidth = style.innerWidth;
    entry.colour = style.colour & 0xFFFFFF;
    entry.innerColour = style.innerColour & 0xFFFFFF;
    entry.outer = CreatePen(PS_SOLID, style.width, entry.colour);
    if (entry.hasInner)
        entry.inner = CreatePen(PS_SOLID, style.innerWidth, entry.innerColour);
    entry.thin = CreatePen(PS_SOLID, 0, entry.colour);
}

void BuildSymbol(MapStyle::SymbolEntry& entry, const SymbolStyle& style) {
    if (style.image.IsEmpty())
        return;
    HBITMAP image = platform::CreateDibFromPacked(style.image.Bytes());
    BITMAP info{};
    if (image == nullptr || GetObjectW(image, sizeof(info), &info) == 0) {
        if (image != nullptr)
            DeleteObject(image);
        return;
    }
    HBITMAP mask = nullptr;
    if (!style.mask.IsEmpty()) {
        // The sheet's mask may have any depth: white stays opaque, everything else transparent.
        HBITMAP packed = platform::CreateDibFromPacked(style.mask.Bytes());
        if (packed != nullptr) {
            mask = MakeMask(packed, info.bmWidth, info.bmHeight, RGB(255, 255, 255), false);
            DeleteObject(packed);
        }
    } else {
        mask = MakeMask(image, info.bmWidth, info.bmHeight, kTransparentKey, true);
    }
    if (mask == nullptr) {
        DeleteObject(image);
        return;
    }
    entry.image = image;
    entry.mask = mask;
    entry.width = info.bmWidth;
    entry.height = info.bmHeight;
}

void BuildFont(MapStyle::FontEntry& entry, const FontStyle& style) {
    // A size from the sheet may be any float: heights beyond a screenful mean nothing.
    entry.font.lfHeight = style.size <= 0 ? static_cast<LONG>(std::max(style.size, -16384.0F)) : 0;
    entry.font.lfWeight = (style.styleFlags & kFontBold) != 0 ? 700 : 400;
    entry.font.lfItalic = (style.styleFlags & kFontItalic) != 0 ? 1 : 0;
    const std::size_t length = std::min<std::size_t>(style.faceName.size(), 31);
    std::copy_n(style.faceName.data(), length, entry.font.lfFaceName);
    entry.font.lfFaceName[length] = 0;
    entry.textColour = style.textColour & 0xFFFFFF;
    entry.haloColour = style.haloColour & 0xFFFFFF;
}

void BuildBrush(MapStyle::BrushEntry& entry, const BrushStyle& style) {
    entry.colour = style.colour & 0xFFFFFF;
    if (!style.pattern) {
        entry.brush = CreateSolidBrush(entry.colour);
        return;
    }
    // One-bit rows padded to 16 bits, most significant bit first; the sheet's rows hold column
    // x in bit x.
    std::array<std::uint8_t, 16> bits{};
    for (std::size_t row = 0; row < 8; ++row) {
        std::uint8_t reversed = 0;
        for (int x = 0; x < 8; ++x) {
            if (((*style.pattern)[row] >> x) & 1)
                reversed |= static_cast<std::uint8_t>(0x80 >> x);
        }
        bits[row * 2] = reversed;
    }
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, bits.data());
    if (pattern == nullptr)
        return;
    entry.brush = CreatePatternBrush(pattern);
    DeleteObject(pattern);
}

// Sizes the table from the list's classes and builds every entry in place.
template <typename Entry, typename Style, typename BuildFn>
void BuildTable(MapStyle::Table<Entry>& table, const StyleList<Style>& list, BuildFn build) {
    std::uint32_t lowest = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t highest = 0;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        lowest = std::min<std::uint32_t>(lowest, list.GetClassAt(i));
        highest = std::max<std::uint32_t>(highest, list.GetClassAt(i));
    }
    const std::size_t span = list.Count() == 0 ? 0 : highest - lowest + 1;
    table.Resize(list.Count() == 0 ? 0 : lowest, list.Count(), span);
    build(table.Default(), list.DefaultEntry());
    for (std::size_t i = 0; i < list.Count(); ++i) {
        build(table.EntryAt(i), list.At(i));
        table.Assign(list.GetClassAt(i), i);
    }
}

// trunc(widen scale / scale + 0.5), kept within what a pen width can use.
int WidenFactor(float widenScale, float scale) {
    return static_cast<int>(std::clamp(widenScale / scale + 0.5F, 1.0F, 256.0F));
}

// Whether lines are drawn wider than their style at the scale.
bool IsWidened(float scale, const DrawOptions& options) {
    return options.widen && scale > 0 && scale <= options.widenScale;
}

// Whether a class's outer line is drawn wider at the scale: it is while its labels show.
bool IsOuterWidened(float labelScale, float scale, const DrawOptions& options) {
    return IsWidened(scale, options) && labelScale >= scale;
}

// The width of the pen of the class's outer line at the scale (a thin pen draws one pixel).
int OuterWidth(const MapStyle::PenEntry& entry, float labelScale, float scale,
               const DrawOptions& options) {
    if (IsOuterWidened(labelScale, scale, options)) {
        const int factor = WidenFactor(options.widenScale, scale);
        return entry.hasInner ? entry.outerWidth + (factor - 1) * entry.innerWidth
                              : factor * entry.outerWidth;
    }
    return labelScale < scale ? 1 : std::max<int>(entry.outerWidth, 1);
}

// The width of the pen of the class's inner line at the scale, while it has one.
int InnerWidth(const MapStyle::PenEntry& entry, float scale, const DrawOptions& options) {
    return IsWidened(scale, options) ? entry.innerWidth * WidenFactor(options.widenScale, scale)
                                     : entry.innerWidth;
}

HPEN WidenedPen(HPEN& cache, COLORREF colour, int width) {
    if (cache != nullptr) {
        LOGPEN current{};
        if (GetObjectW(cache, sizeof(current), &current) != 0 && current.lopnWidth.x == width)
            return cache;
        DeleteObject(cache);
    }
    cache = CreatePen(PS_SOLID, width, colour);
    return cache;
}

} // namespace

MapStyle::PenEntry::~PenEntry() {
    DeleteIfSet(outer);
    DeleteIfSet(inner);
    DeleteIfSet(widenedInner);
    DeleteIfSet(widenedOuter);
    DeleteIfSet(thin);
}

MapStyle::SymbolEntry::~SymbolEntry() {
    DeleteIfSet(image);
    DeleteIfSet(mask);
}

MapStyle::BrushEntry::~BrushEntry() {
    DeleteIfSet(brush);
}

template <typename Entry> Entry& MapStyle::Table<Entry>::Get(std::uint32_t elementClass) {
    if (elementClass >= m_lowest && elementClass - m_lowest < m_byClass.size()) {
        Entry* entry = m_byClass[elementClass - m_lowest];
        if (entry != nullptr)
            return *entry;
    }
    return *m_default;
}

template <typename Entry>
void MapStyle::Table<Entry>::Resize(std::uint32_t lowest, std::size_t entryCount,
                                    std::size_t classSpan) {
    m_byClass.clear();
    m_entries.reset();
    m_default = std::make_unique<Entry>();
    m_entries = std::make_unique<Entry[]>(entryCount);
    m_count = entryCount;
    m_lowest = lowest;
    m_byClass.assign(classSpan, nullptr);
}

template <typename Entry>
void MapStyle::Table<Entry>::Assign(std::uint32_t elementClass, std::size_t entry) {
    if (elementClass >= m_lowest && elementClass - m_lowest < m_byClass.size() && entry < m_count)
        m_byClass[elementClass - m_lowest] = &m_entries[entry];
}

template class MapStyle::Table<MapStyle::PenEntry>;
template class MapStyle::Table<MapStyle::SymbolEntry>;
template class MapStyle::Table<MapStyle::FontEntry>;
template class MapStyle::Table<MapStyle::BrushEntry>;

bool MapStyle::Load(const std::u16string& path) {
    MapStyleFile sheet;
    if (!sheet.LoadFile(path)) {
        return false;
    }
    Build(sheet);
    return true;
}

void MapStyle::Build(const MapStyleFile& sheet) {
    m_selectedClass = 0;
    m_selectedPen = nullptr;
    m_reach = {};
    BuildTable(pens, sheet.pens, BuildPen);
    BuildTable(symbols, sheet.symbols, BuildSymbol);
    BuildTable(fonts, sheet.fonts, BuildFont);
    BuildTable(brushes, sheet.brushes, BuildBrush);
    m_scales.clear();
    BuildScaleTable(sheet, m_scales);
    m_background = sheet.background & 0xFFFFFF;
}

void MapStyle::FillBackground(const DrawContext& context) const {
    HBRUSH brush = CreateSolidBrush(m_background);
    if (brush == nullptr)
        return;
    FillRect(context.dc, &context.rect, brush);
    DeleteObject(brush);
}

float MapStyle::LabelScale(std::uint16_t elementClass) const {
    return elementClass < m_scales.size() ? m_scales[elementClass].labelScale : 0.0F;
}

float MapStyle::MaxScale(std::uint16_t elementClass) const {
    return elementClass < m_scales.size() ? m_scales[elementClass].maxScale
                                          : std::numeric_limits<float>::max();
}

int MapStyle::PenReach(float scale, const DrawOptions& options) {
    if (m_reach.pixels != 0 && m_reach.scale == scale && m_reach.widen == options.widen &&
        m_reach.widenScale == options.widenScale)
        return m_reach.pixels;
    int widest = 1;
    for (std::size_t elementClass = 0; elementClass < m_scales.size(); ++elementClass) {
        const ScaleRow& row = m_scales[elementClass];
        // A class the draw leaves out at this scale draws no line.
        if (!(row.maxScale > scale))
            continue;
        const PenEntry& entry = pens.Get(static_cast<std::uint32_t>(elementClass));
        widest = std::max(widest, OuterWidth(entry, row.labelScale, scale, options));
        if (entry.hasInner && row.labelScale >= scale)
            widest = std::max(widest, InnerWidth(entry, scale, options));
    }
    // Half the pen on each side of the line, and a pixel for rounding its centre to the grid.
    m_reach = {scale, options.widen, options.widenScale, (widest + 1) / 2 + 1};
    return m_reach.pixels;
}

bool MapStyle::SelectOuterPen(HDC dc, std::uint16_t elementClass, float scale,
                              const DrawOptions& options) {
    if (elementClass == m_selectedClass && m_selectedClass != 0 && dc == m_selectedDc)
        return m_selectedPen != nullptr;
    PenEntry& entry = pens.Get(elementClass);
    const float labelScale = LabelScale(elementClass);
    HPEN pen = nullptr;
    if (IsOuterWidened(labelScale, scale, options)) {
        pen = WidenedPen(entry.widenedOuter, entry.colour,
                         OuterWidth(entry, labelScale, scale, options));
    } else {
        pen = labelScale < scale ? entry.thin : entry.outer;
    }
    m_selectedClass = elementClass;
    m_selectedPen = pen;
    m_selectedDc = dc;
    if (pen == nullptr)
        return false;
    SelectObject(dc, pen);
    return true;
}

bool MapStyle::SelectInnerPen(HDC dc, std::uint16_t elementClass, float scale,
                              const DrawOptions& options) {
    PenEntry& entry = pens.Get(elementClass);
    const float labelScale = LabelScale(elementClass);
    if (!entry.hasInner || labelScale < scale)
        return false;
    HPEN pen = entry.inner;
    if (IsWidened(scale, options))
        pen = WidenedPen(entry.widenedInner, entry.innerColour, InnerWidth(entry, scale, options));
    // The outer pen is no longer the one in the DC.
    m_selectedClass = 0;
    if (pen == nullptr)
        return false;
    SelectObject(dc, pen);
    return true;
}
