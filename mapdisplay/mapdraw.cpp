// The drawing pass of the map engine facade: the level for the scale drawn layer by layer with
// its style, steered by the caller's hook, then the highlights, the house numbers and the labels.

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "mapdisplay/enginenamereader.h"
#include "mapdisplay/mapenginefacade.h"
#include "utilities/mapgeometry/elementrecord.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/kernel/debug.h"
#include "platform/window/input.h"
#include "platform/window/message.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

using namespace maprecord;

std::uint32_t DrawHook::BeginDraw(DrawContext&) {
    return 0;
}
std::uint32_t DrawHook::BeginLayer(DrawContext&, std::uint32_t, std::uint32_t&) {
    return 0;
}
std::uint32_t DrawHook::FilterClass(DrawContext&, std::uint32_t) {
    return 0;
}
std::uint32_t DrawHook::FilterElement(DrawContext&, const six::RefCntPtr<MapElement>&) {
    return 0;
}
void DrawHook::EndLayer(DrawContext&, std::uint32_t) {}
void DrawHook::EndDraw(DrawContext&) {}

DrawHook& DrawHook::Default() {
    static DrawHook hook;
    return hook;
}

std::uint32_t LayerCode(std::uint8_t layer, std::uint16_t elementClass) {
    const std::uint32_t group = elementClass < 1000 ? 0 : (elementClass < 2000 ? 1 : 2);
    return layer + 0x10000 * group;
}

namespace {

constexpr std::uint32_t kSkip = 1;
constexpr std::uint32_t kCallEndDraw = 2;
constexpr std::uint32_t kCallBeginLayer = 4;
constexpr std::uint32_t kCallEndLayer = 2;
constexpr std::uint32_t kOfferElements = 8;
constexpr std::uint32_t kOfferClasses = 16;
constexpr std::uint8_t kHighlightLayer = 6;

// Counts the elements handled and, after every 10th, looks for Esc pressed since the last look
// or a tap waiting in the queue.
class InterruptCheck {
public:
    InterruptCheck() { (void)GetAsyncKeyState(VK_ESCAPE); }
    bool Count() {
        if (++m_count % 10 != 0)
            return false;
        MSG message{};
        return (GetAsyncKeyState(VK_ESCAPE) & 1) != 0 ||
               PeekMessageW(&message, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE) != 0;
    }

private:
    std::uint32_t m_count = 0;
};

// The next layer after a scan: its lowest layer above, or 0 when none lies above.
std::uint8_t NextLayer(const LayerScanFilter& scan) {
    return scan.lowestSeen > scan.highestSeen ? 0 : scan.lowestSeen;
}

// The view rectangle widened by 8 pixels, or by the reach of the widest pen drawn at the scale
// when that is more (a line outside the part being drawn inks it up to there), in map units (all
// four corners, for a turned view).
MapRect QueryRect(const DrawContext& context) {
    const RECT& r = context.rect;
    const LONG m = std::max(8, context.style->PenReach(context.scale, *context.options));
    const std::array<POINT, 4> corners = {
        POINT{r.left - m, r.top - m}, POINT{r.right + m, r.top - m},
        POINT{r.left - m, r.bottom + m}, POINT{r.right + m, r.bottom + m}};
    const MapPoint first = context.transform->ScreenToWorld(corners[0]);
    MapRect rect{first.x, first.y, first.x, first.y};
    for (const POINT& corner : corners)
        rect.Extend(context.transform->ScreenToWorld(corner));
    return rect;
}

std::vector<POINT> DevicePoints(const DrawContext& context, const GeometryElement& element) {
    std::vector<POINT> points;
    const std::uint32_t count = element.GetPointCount();
    MapPoint p;
    for (std::uint32_t i = 0; i < count && element.GetPoint(i, p); ++i)
        points.push_back(context.transform->WorldToScreen(p));
    return points;
}

// A solid 4-pixel pen and a solid brush of one colour, selected while the object lives.
class HighlightTools {
public:
    HighlightTools(HDC dc, COLORREF colour)
        : m_dc(dc)
        , m_pen(CreatePen(PS_SOLID, 4, colour))
        , m_brush(CreateSolidBrush(colour)) {
        if (m_pen != nullptr)
            m_oldPen = SelectObject(dc, m_pen);
        if (m_brush != nullptr)
            m_oldBrush = SelectObject(dc, m_brush);
    }
    ~HighlightTools() {
        if (m_pen != nullptr) {
            SelectObject(m_dc, m_oldPen);
            DeleteObject(m_pen);
        }
        if (m_brush != nullptr) {
            SelectObject(m_dc, m_oldBrush);
            DeleteObject(m_brush);
        }
    }
    HighlightTools(const HighlightTools&) = delete;
    HighlightTools& operator=(const HighlightTools&) = delete;
    [[nodiscard]] bool IsReady() const { return m_pen != nullptr && m_brush != nullptr; }

private:
    HDC m_dc;
    HPEN m_pen;
    HBRUSH m_brush;
    HGDIOBJ m_oldPen = nullptr;
    HGDIOBJ m_oldBrush = nullptr;
};

// End marks of a group of four bits: the first point, the last, the second, the second-last;
// each a stroke from its neighbour and a circle of radius 6 around it.
void DrawEndMarks(HDC dc, const std::vector<POINT>& points, std::uint32_t word,
                  const std::array<std::uint32_t, 4>& bits, COLORREF colour) {
    const std::size_t n = points.size();
    const std::array<std::pair<std::size_t, std::size_t>, 4> marks = {
        std::pair{std::size_t{0}, std::size_t{1}}, std::pair{n - 1, n - 2},
        std::pair{std::size_t{1}, std::size_t{0}}, std::pair{n - 2, n - 1}};
    if ((word & (bits[0] | bits[1] | bits[2] | bits[3])) == 0)
        return;
    HighlightTools tools(dc, colour);
    if (!tools.IsReady())
        return;
    for (std::size_t i = 0; i < 4; ++i) {
        if ((word & bits[i]) == 0)
            continue;
        const POINT at = points[marks[i].first];
        const POINT stroke[2] = {points[marks[i].second], at};
        Polyline(dc, stroke, 2);
        Ellipse(dc, at.x - 6, at.y - 6, at.x + 6, at.y + 6);
    }
}

void DrawWholeLine(HDC dc, const std::vector<POINT>& points, COLORREF colour) {
    HighlightTools tools(dc, colour);
    if (tools.IsReady())
        Polyline(dc, points.data(), static_cast<int>(points.size()));
}

void DrawHighlights(HDC dc, const std::vector<POINT>& points, std::uint32_t word,
                    const std::array<COLORREF, 5>& colours) {
    if (colours[0] != 0) {
        DrawEndMarks(dc, points, word, {0x8000, 0x10000, 0x20000, 0x40000}, colours[0]);
        DrawEndMarks(dc, points, word, {0x4000000, 0x8000000, 0x10000000, 0x20000000}, colours[0]);
    }
    if (colours[1] != 0)
        DrawEndMarks(dc, points, word, {0x200000, 0x400000, 0x800000, 0x1000000}, colours[1]);
    if (colours[2] != 0 && (word & 0x40000000) != 0)
        DrawWholeLine(dc, points, colours[2]);
    if (colours[3] != 0 && (word & 0x80000) != 0)
        DrawWholeLine(dc, points, colours[3]);
    if (colours[4] != 0 && (word & 0x100000) != 0)
        DrawWholeLine(dc, points, colours[4]);
}

std::u16string HouseNumberText(const HouseNumber& number) {
    std::u16string text;
    for (const char c : std::to_string(number.GetNumber()))
        text.push_back(static_cast<char16_t>(c));
    if (number.GetSuffix() != 0)
        text.push_back(static_cast<char16_t>(number.GetSuffix()));
    return text;
}

void DrawHouseNumberAt(HDC dc, POINT at, const HouseNumberArray& side, std::size_t index) {
    if (side.GetSize() <= index || !side[index].IsValid())
        return;
    const std::u16string text = HouseNumberText(side[index]);
    TextOutW(dc, at.x, at.y, text.c_str(), static_cast<int>(text.size()));
}

// One end's numbers: near P0 towards P1 by the factor (whole step when it is 2 pixels or
// shorter), first side above or left of the line, second side opposite.
void DrawHouseNumberPair(HDC dc, POINT p0, POINT p1, double factor, const HouseNumberInfo& info,
                         std::size_t index) {
    int dx = p1.x - p0.x;
    int dy = p1.y - p0.y;
    if (dx * static_cast<double>(dx) + dy * static_cast<double>(dy) > 4.0) {
        dx = static_cast<int>(dx * factor);
        dy = static_cast<int>(dy * factor);
    }
    const POINT anchor{p0.x + dx, p0.y + dy};
    POINT offset{};
    if (dx != 0 && std::abs(dx) >= std::abs(dy))
        offset = {0, 10};
    else
        offset = dy <= 0 ? POINT{10, 0} : POINT{-10, 0};
    DrawHouseNumberAt(dc, {anchor.x + offset.x, anchor.y + offset.y}, info.firstSide, index);
    DrawHouseNumberAt(dc, {anchor.x - offset.x, anchor.y - offset.y}, info.secondSide, index);
}

void DrawHouseNumbers(HDC dc, const std::vector<POINT>& points, const HouseNumberInfo& info) {
    const std::size_t n = points.size();
    DrawHouseNumberPair(dc, points[0], points[1], 0.3, info, 0);
    DrawHouseNumberPair(dc, points[n - 2], points[n - 1], n == 2 ? 0.7 : 0.3, info, 1);
}

} // namespace

int MapEngineFacade::Draw(DrawContext& context, float scale, DrawHook* hook) {
    ReaderLockGuard guard(m_readers, m_loaders);
    const int result = DrawLocked(context, scale, hook != nullptr ? *hook : DrawHook::Default());
    if (result == 0)
        DiscardPicture(context);
    return result;
}

int MapEngineFacade::DrawLocked(DrawContext& context, float scale, DrawHook& hook) {
    MapLevel* level = ChooseLevel(scale);
    if (level == nullptr || context.transform == nullptr || !context.options)
        return 0;
    std::shared_ptr<MapStyle> style;
    bool isDay = true;
    {
        std::lock_guard lock(m_styleMutex);
        if (level->isAlternateLoaded != m_isAlternate)
            (void)RebuildStyle(*level);
        if (level->isStyleLoaded)
            style = level->style;
        isDay = !level->isAlternateLoaded;
    }
    if (!style) {
        context.style = nullptr;
        context.styleHolder.reset();
        const std::u16string line =
            u"Map style not loaded: " + (isDay ? level->styleFile : level->alternateStyleFile);
        OutputDebugStringW(line.c_str());
        return 0;
    }
    context.style = style.get();
    context.styleHolder = style;
    SetPaintDay(context, isDay);
    if (context.fillBackground)
        style->FillBackground(context);
    const MapRect query = QueryRect(context);
    LevelEngine& levelEngine = *level->engine;
    RetrievalEngineImpl& engine = levelEngine.Get();
    context.nameReader =
        engine.HasNameFile() ? MakeEngineNameReader(levelEngine.GetPtr()) : nullptr;

    const std::uint32_t drawFlags = hook.BeginDraw(context);
    if ((drawFlags & kSkip) != 0) {
        DiscardPicture(context);
        return 1;
    }
    const bool wantsLayers = (drawFlags & kCallBeginLayer) != 0;
    const bool isDetailed = levelEngine.IsDetailed();
    if (context.lineBatch != nullptr)
        context.lineBatch->SetArrows(isDetailed && scale < 4.0F);
    const DrawOptions& options = *context.options;
    LevelEngine& firstEngine = *m_levels.front().engine;
    InterruptCheck interrupt;

    std::uint32_t hookState = 0;
    std::uint32_t previousCode = 0;
    std::uint8_t layer = 0;
    std::vector<std::uint32_t> secondPass;
    do {
        DrawFilter filter;
        filter.rect = query;
        filter.scale = scale;
        filter.table = &style->ScaleTable();
        filter.transform = context.transform;
        filter.StartScan(layer);
        const std::unique_ptr<DrawCursor> cursor = levelEngine.QueryForDrawing(filter);
        if (!cursor || !cursor->IsValid()) {
            layer = cursor ? NextLayer(cursor->GetFilter()) : 0;
            if (wantsLayers)
                (void)hook.BeginLayer(context, previousCode, hookState);
            continue;
        }
        const std::uint32_t code = LayerCode(layer, RecordTypeCode(cursor->GetRecord()));
        previousCode = code;
        const std::uint32_t layerFlags =
            wantsLayers ? hook.BeginLayer(context, code, hookState) : 0;
        if ((layerFlags & kSkip) != 0) {
            layer = static_cast<std::uint8_t>(layer + 1);
            continue;
        }
        style->ClearSelectedClass();
        secondPass.clear();
        for (; cursor->IsValid(); cursor->Next()) {
            if (interrupt.Count())
                return 0;
            const std::uint8_t* record = cursor->GetRecord();
            const std::uint16_t elementClass = RecordTypeCode(record);
            const std::uint32_t id = cursor->GetElementId();
            if ((layerFlags & kOfferClasses) != 0 &&
                (hook.FilterClass(context, elementClass) & kSkip) != 0)
                continue;
            if ((layerFlags & kOfferElements) != 0 &&
                (hookState == 0 || RecordAttributeWord(record) == hookState) &&
                (hook.FilterElement(context, engine.GetElement(id)) & kSkip) != 0)
                continue;
            const GeometryRef& geometry = cursor->GetGeometry();
            if (!geometry)
                continue;
            int country = 0;
            if (options.shieldCountry && style->MaxScale(elementClass) > scale &&
                elementClass >= 1010 && elementClass <= 1030 && scale > 2.0F && scale < 500.0F) {
                country = isDetailed ? levelEngine.GetCountryOfElement(id)
                                     : firstEngine.GetCountryOfElement(RecordAttributeWord(record));
            }
            if (DrawElement(context, *geometry.Get(), 0, country) == 1)
                secondPass.push_back(id);
        }
        if (context.lineBatch != nullptr)
            context.lineBatch->Flush(context, 0);
        layer = NextLayer(cursor->GetFilter());
        for (const std::uint32_t id : secondPass) {
            if (interrupt.Count())
                return 0;
            const ElementData data = engine.GetElementGeometry(id);
            if (data.geometry)
                (void)DrawElement(context, *data.geometry.Get(), 1, 0);
        }
        if (context.lineBatch != nullptr)
            context.lineBatch->Flush(context, 1);
        if ((layerFlags & kCallEndLayer) != 0)
            hook.EndLayer(context, code);
    } while (layer >= 1 && layer <= 254);

    const auto& colours = options.highlightColours;
    const bool hasHighlights =
        std::any_of(colours.begin(), colours.end(), [](COLORREF c) { return c != 0; });
    LayerFilter onLayer6;
    onLayer6.rect = query;
    onLayer6.layer = kHighlightLayer;
    if (isDetailed && scale < 16.0F && hasHighlights) {
        const auto cursor = levelEngine.QueryOnLayer(onLayer6);
        for (; cursor && cursor->IsValid(); cursor->Next()) {
            const GeometryRef& geometry = cursor->GetGeometry();
            if (!geometry)
                continue;
            const std::vector<POINT> points = DevicePoints(context, *geometry.Get());
            if (points.size() >= 2)
                DrawHighlights(context.dc, points, RecordAttributeWord(cursor->GetRecord()),
                               colours);
        }
    }
    if (options.houseNumbers && isDetailed && scale < 1.0F) {
        const int oldMode = SetBkMode(context.dc, TRANSPARENT);
        const COLORREF oldColour = SetTextColor(context.dc, 0x000000);
        const auto cursor = levelEngine.QueryOnLayer(onLayer6);
        for (; cursor && cursor->IsValid(); cursor->Next()) {
            HouseNumberInfo info;
            const GeometryRef& geometry = cursor->GetGeometry();
            if (!geometry || !engine.FillHouseNumberInfo(cursor->GetElementId(), info))
                continue;
            const std::vector<POINT> points = DevicePoints(context, *geometry.Get());
            if (points.size() >= 2)
                DrawHouseNumbers(context.dc, points, info);
        }
        SetTextColor(context.dc, oldColour);
        SetBkMode(context.dc, oldMode);
    }
    if (wantsLayers)
        (void)hook.BeginLayer(context, kLayersEnd, hookState);
    FinishLabels(context);
    if ((drawFlags & kCallEndDraw) != 0)
        hook.EndDraw(context);
    return 1;
}
