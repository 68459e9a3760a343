// GDI objects, device contexts, their attributes and clip regions.
#include "platform/gdi/detail/gdistate.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/handles.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace platform::gdi_detail;

namespace {

constexpr std::uintptr_t kStockBase = 0xF000;
constexpr std::uintptr_t kMemoryDcBase = 0x40000000;
constexpr LONG kFar = 1 << 30;
// The 1 x 1 monochrome bitmap a new memory DC holds: a stock object no index names.
constexpr int kDefaultBitmap = 0x73;

std::uintptr_t Key(const void* handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

ObjectPtr MakeBrush(UINT style, COLORREF colour) {
    auto object = std::make_shared<Object>();
    object->type = OBJ_BRUSH;
    object->brush.style = style;
    object->brush.colour = colour;
    return object;
}

ObjectPtr MakePen(int style, int width, COLORREF colour) {
    auto object = std::make_shared<Object>();
    object->type = OBJ_PEN;
    object->pen = Pen{style, std::max(0, width), colour & 0xFFFFFF};
    return object;
}

ObjectPtr MakeFont(LONG height) {
    auto object = std::make_shared<Object>();
    object->type = OBJ_FONT;
    object->font.lfHeight = height;
    object->font.lfWeight = FW_NORMAL;
    object->font.lfPitchAndFamily = FF_SWISS;
    return object;
}

void AddStock(GdiState& state, int index, ObjectPtr object) {
    object->isStock = true;
    state.objects[kStockBase + static_cast<std::uintptr_t>(index)] = std::move(object);
}

void MakeStockObjects(GdiState& state) {
    AddStock(state, WHITE_BRUSH, MakeBrush(BS_SOLID, RGB(255, 255, 255)));
    AddStock(state, LTGRAY_BRUSH, MakeBrush(BS_SOLID, RGB(192, 192, 192)));
    AddStock(state, GRAY_BRUSH, MakeBrush(BS_SOLID, RGB(128, 128, 128)));
    AddStock(state, DKGRAY_BRUSH, MakeBrush(BS_SOLID, RGB(64, 64, 64)));
    AddStock(state, BLACK_BRUSH, MakeBrush(BS_SOLID, RGB(0, 0, 0)));
    AddStock(state, NULL_BRUSH, MakeBrush(BS_NULL, 0));
    AddStock(state, WHITE_PEN, MakePen(PS_SOLID, 0, RGB(255, 255, 255)));
    AddStock(state, BLACK_PEN, MakePen(PS_SOLID, 0, RGB(0, 0, 0)));
    AddStock(state, NULL_PEN, MakePen(PS_NULL, 0, 0));
    for (int index : {OEM_FIXED_FONT, ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT,
                      DEVICE_DEFAULT_FONT, SYSTEM_FIXED_FONT, DEFAULT_GUI_FONT}) {
        AddStock(state, index, MakeFont(-12));
    }
    auto bitmap = std::make_shared<Object>();
    bitmap->type = OBJ_BITMAP;
    bitmap->bitmap = std::make_shared<Surface>(1, 1, true);
    AddStock(state, kDefaultBitmap, bitmap);
}

HGDIOBJ StockHandle(int index) {
    return reinterpret_cast<HGDIOBJ>(kStockBase + static_cast<std::uintptr_t>(index));
}

void ReleasedHook(HDC dc) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    state.dcs.erase(Key(dc));
}

int ClipBoxHook(HDC dc, RECT* rect);

void Select(Dc& dc, HGDIOBJ handle, const ObjectPtr& object) {
    switch (object->type) {
    case OBJ_PEN:
        dc.pen = handle;
        dc.penObject = object;
        break;
    case OBJ_BRUSH:
        dc.brush = handle;
        dc.brushObject = object;
        break;
    case OBJ_FONT:
        dc.font = handle;
        dc.fontObject = object;
        break;
    case OBJ_BITMAP:
        dc.bitmap = handle;
        dc.bitmapObject = object;
        dc.surface = object->bitmap;
        break;
    default:
        break;
    }
}

void InitDc(GdiState& state, Dc& dc) {
    Select(dc, StockHandle(BLACK_PEN), FindObject(state, StockHandle(BLACK_PEN)));
    Select(dc, StockHandle(WHITE_BRUSH), FindObject(state, StockHandle(WHITE_BRUSH)));
    Select(dc, StockHandle(SYSTEM_FONT), FindObject(state, StockHandle(SYSTEM_FONT)));
    if (dc.isMemory) {
        const HGDIOBJ bitmap = StockHandle(kDefaultBitmap);
        Select(dc, bitmap, FindObject(state, bitmap));
    }
}

RECT Offset(RECT r, LONG dx, LONG dy) {
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// The clip in device coordinates, as a region (the DC's own area when nothing is selected).
Region DeviceClip(GdiState& state, Dc& dc) {
    if (dc.clipRegion)
        return *dc.clipRegion;
    (void)state;
    return Region{RECT{-kFar, -kFar, kFar, kFar}};
}

int RegionKind(const Region& region) {
    if (region.empty())
        return NULLREGION;
    return region.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

int ClipBoxHook(HDC handle, RECT* rect) {
    if (rect == nullptr)
        return ERROR_REGION;
    FetchTarget(handle);
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    Dc* dc = FindDc(state, handle);
    Target target;
    if (dc == nullptr || !GetTarget(state, *dc, &target))
        return ERROR_REGION;
    if (target.clip.empty()) {
        *rect = RECT{};
        return NULLREGION;
    }
    *rect =
        Offset(target.box, -target.offset.x - dc->viewport.x, -target.offset.y - dc->viewport.y);
    return RegionKind(target.clip);
}

} // namespace

namespace platform::gdi_detail {

GdiState& State();

} // namespace platform::gdi_detail

namespace {

// The window system paints its controls through GDI from the start of the program.
[[maybe_unused]] const bool kHooksInstalled = (platform::gdi_detail::State(), true);

} // namespace

namespace platform::gdi_detail {

GdiState& State() {
    static GdiState* state = [] {
        auto* made = new GdiState;
        MakeStockObjects(*made);
        DcHooks hooks;
        hooks.released = ReleasedHook;
        hooks.clipBox = ClipBoxHook;
        hooks.paintControl = PaintControl;
        hooks.fillRect = FillRect;
        hooks.textExtents = TextExtents;
        SetDcHooks(hooks);
        return made;
    }();
    return *state;
}

ObjectPtr FindObject(GdiState& state, HGDIOBJ handle) {
    auto it = state.objects.find(Key(handle));
    return it == state.objects.end() ? nullptr : it->second;
}

bool ShouldFailCreation(GdiState& state, const char16_t* what) {
    if (state.failingCreations == 0) {
        return false;
    }
    --state.failingCreations;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    const std::u16string text =
        std::u16string(u"GDI: creating ") + what + u" failed (test switch)\n";
    OutputDebugStringW(text.c_str());
    return true;
}

HGDIOBJ AddObject(GdiState& state, ObjectPtr object) {
    if (ShouldFailCreation(state, u"an object")) {
        return nullptr;
    }
    const std::uintptr_t handle = state.nextObject++;
    state.objects.emplace(handle, std::move(object));
    return reinterpret_cast<HGDIOBJ>(handle);
}

HGDIOBJ AddBitmap(SurfacePtr surface) {
    auto object = std::make_shared<Object>();
    object->type = OBJ_BITMAP;
    object->bitmap = std::move(surface);
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    return AddObject(state, std::move(object));
}

namespace {

// Gives the screen surface the window system's screen size (a new surface when it changed).
void FetchScreen() {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.screen || state.screen->width != width || state.screen->height != height)
        state.screen = std::make_shared<Surface>(std::max(width, 1), std::max(height, 1), false);
}

} // namespace

void FetchTarget(HDC handle) {
    // A memory DC draws into its own bitmap: the screen follows the window system's size when a
    // window DC, a screenshot or the screen's capabilities need it.
    if (handle != nullptr && Key(handle) >= kMemoryDcBase)
        return;
    FetchScreen();
    GdiState& state = State();
    {
        std::lock_guard lock(state.mutex);
        if (handle == nullptr || state.dcs.count(Key(handle)) != 0)
            return;
    }
    DcTarget target;
    if (!GetDcTarget(handle, &target))
        return;
    std::lock_guard lock(state.mutex);
    auto dc = std::make_unique<Dc>();
    dc->hasTarget = true;
    dc->target = std::move(target);
    InitDc(state, *dc);
    state.dcs.emplace(Key(handle), std::move(dc));
}

Dc* FindDc(GdiState& state, HDC handle) {
    auto it = state.dcs.find(Key(handle));
    return it == state.dcs.end() ? nullptr : it->second.get();
}

SurfacePtr Screen(GdiState& state) {
    return state.screen;
}

bool GetTarget(GdiState& state, Dc& dc, Target* target) {
    Region clip;
    if (dc.isMemory) {
        if (!dc.surface)
            return false;
        target->surface = dc.surface.get();
        target->offset = POINT{};
        const RECT surfaceRect{0, 0, dc.surface->width, dc.surface->height};
        // The DC's own clip is intersected where it is, not copied first.
        clip = dc.clipRegion ? IntersectRegion(*dc.clipRegion, surfaceRect)
                             : IntersectRegion(DeviceClip(state, dc), surfaceRect);
    } else {
        if (!state.screen)
            return false;
        target->surface = state.screen.get();
        target->offset = dc.target.origin;
        clip = IntersectRegion(DeviceClip(state, dc), dc.target.clip);
        for (const RECT& cut : dc.target.excluded)
            clip = SubtractRect(clip, cut);
        for (RECT& r : clip)
            r = Offset(r, dc.target.origin.x, dc.target.origin.y);
        clip = IntersectRegion(clip, RECT{0, 0, state.screen->width, state.screen->height});
    }
    if (clip.size() > 1) {
        std::sort(clip.begin(), clip.end(), [](const RECT& a, const RECT& b) {
            return a.top != b.top ? a.top < b.top : a.left < b.left;
        });
    }
    target->clip = std::move(clip);
    target->box = RegionBox(target->clip);
    return true;
}

Region IntersectRegion(const Region& a, const RECT& r) {
    Region out;
    for (const RECT& x : a) {
        RECT i{std::max(x.left, r.left), std::max(x.top, r.top), std::min(x.right, r.right),
               std::min(x.bottom, r.bottom)};
        if (i.left < i.right && i.top < i.bottom)
            out.push_back(i);
    }
    return out;
}

Region IntersectRegions(const Region& a, const Region& b) {
    Region out;
    for (const RECT& r : b) {
        Region part = IntersectRegion(a, r);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Region SubtractRect(const Region& a, const RECT& cut) {
    if (cut.left >= cut.right || cut.top >= cut.bottom)
        return a;
    Region out;
    for (const RECT& x : a) {
        if (cut.left >= x.right || cut.right <= x.left || cut.top >= x.bottom ||
            cut.bottom <= x.top) {
            out.push_back(x);
            continue;
        }
        const LONG top = std::max(x.top, cut.top);
        const LONG bottom = std::min(x.bottom, cut.bottom);
        if (x.top < top)
            out.push_back(RECT{x.left, x.top, x.right, top});
        if (x.left < cut.left)
            out.push_back(RECT{x.left, top, cut.left, bottom});
        if (cut.right < x.right)
            out.push_back(RECT{cut.right, top, x.right, bottom});
        if (bottom < x.bottom)
            out.push_back(RECT{x.left, bottom, x.right, x.bottom});
    }
    return out;
}

RECT RegionBox(const Region& region) {
    if (region.empty())
        return RECT{};
    RECT box = region.front();
    for (const RECT& r : region) {
        box.left = std::min(box.left, r.left);
        box.top = std::min(box.top, r.top);
        box.right = std::max(box.right, r.right);
        box.bottom = std::max(box.bottom, r.bottom);
    }
    return box;
}

} // namespace platform::gdi_detail

// ---- Objects ----

HPEN CreatePen(int style, int width, COLORREF colour) {
    if (style < PS_SOLID || style > PS_NULL)
        return nullptr;
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    return AddObject(state, MakePen(style, width, colour));
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
    return pen == nullptr
               ? nullptr
               : CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    return AddObject(state, MakeBrush(BS_SOLID, colour & 0xFFFFFF));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
    if (brush == nullptr)
        return nullptr;
    if (brush->lbStyle == BS_PATTERN)
        return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch));
    if (brush->lbStyle != BS_SOLID && brush->lbStyle != BS_NULL)
        return nullptr;
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    return AddObject(state, MakeBrush(brush->lbStyle, brush->lbColor & 0xFFFFFF));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    ObjectPtr source = FindObject(state, bitmap);
    if (!source || source->type != OBJ_BITMAP || source->bitmap->width == 0)
        return nullptr;
    Surface& from = *source->bitmap;
    if (from.dib)
        DibToPixels(from);
    auto pattern = std::make_shared<Surface>(8, 8, from.isMono);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x)
            pattern->Row(y)[x] = from.Row(y % from.height)[x % from.width];
    }
    ObjectPtr brush = MakeBrush(BS_PATTERN, 0);
    brush->brush.pattern = std::move(pattern);
    return AddObject(state, std::move(brush));
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
    FetchTarget(handle);
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    Dc* dc = FindDc(state, handle);
    ObjectPtr selected = FindObject(state, object);
    if (dc == nullptr || !selected)
        return nullptr;
    switch (selected->type) {
    case OBJ_PEN: {
        HGDIOBJ previous = dc->pen;
        Select(*dc, object, selected);
        return previous;
    }
    case OBJ_BRUSH: {
        HGDIOBJ previous = dc->brush;
        Select(*dc, object, selected);
        return previous;
    }
    case OBJ_FONT: {
        HGDIOBJ previous = dc->font;
        Select(*dc, object, selected);
        return previous;
    }
    case OBJ_BITMAP: {
        if (!dc->isMemory)
            return nullptr;
        HGDIOBJ previous = dc->bitmap;
        Select(*dc, object, selected);
        return previous;
    }
    case OBJ_REGION:
        dc->clipRegion = selected->region;
        return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(RegionKind(selected->region)));
    default:
        return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ object) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    auto it = state.objects.find(Key(object));
    if (it == state.objects.end())
        return FALSE;
    if (!it->second->isStock)
        state.objects.erase(it);
    return TRUE;
}

int GetObjectW(HGDIOBJ handle, int size, LPVOID buffer) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    ObjectPtr object = FindObject(state, handle);
    if (!object)
        return 0;
    auto copy = [&](const auto& value) -> int {
        const int needed = static_cast<int>(sizeof(value));
        if (buffer == nullptr)
            return needed;
        if (size < needed)
            return 0;
        std::memcpy(buffer, &value, sizeof(value));
        return needed;
    };
    switch (object->type) {
    case OBJ_BITMAP: {
        const Surface& s = *object->bitmap;
        BITMAP info{};
        info.bmWidth = s.width;
        info.bmHeight = s.height;
        info.bmPlanes = 1;
        info.bmBitsPixel = static_cast<WORD>(s.dib ? s.dib->bitCount : (s.isMono ? 1 : 32));
        info.bmWidthBytes =
            s.dib ? s.dib->stride : (s.isMono ? (s.width + 15) / 16 * 2 : s.width * 4);
        info.bmBits = s.dib ? s.dib->bits.get() : nullptr;
        return copy(info);
    }
    case OBJ_PEN: {
        LOGPEN info{static_cast<UINT>(object->pen.style), POINT{object->pen.width, 0},
                    object->pen.colour};
        return copy(info);
    }
    case OBJ_BRUSH: {
        LOGBRUSH info{object->brush.style, object->brush.colour, 0};
        return copy(info);
    }
    case OBJ_FONT:
        return copy(object->font);
    default:
        return 0;
    }
}

DWORD GetObjectType(HGDIOBJ handle) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    if (ObjectPtr object = FindObject(state, handle))
        return static_cast<DWORD>(object->type);
    auto it = state.dcs.find(Key(handle));
    if (it != state.dcs.end())
        return it->second->isMemory ? OBJ_MEMDC : OBJ_DC;
    return 0;
}

HGDIOBJ GetCurrentObject(HDC handle, UINT type) {
    FetchTarget(handle);
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    Dc* dc = FindDc(state, handle);
    if (dc == nullptr)
        return nullptr;
    switch (type) {
    case OBJ_PEN:
        return dc->pen;
    case OBJ_BRUSH:
        return dc->brush;
    case OBJ_FONT:
        return dc->font;
    case OBJ_BITMAP:
        return dc->bitmap;
    default:
        return nullptr;
    }
}

// ---- Device contexts ----

HDC CreateCompatibleDC(HDC) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    if (ShouldFailCreation(state, u"a memory DC")) {
        return nullptr;
    }
    auto dc = std::make_unique<Dc>();
    dc->isMemory = true;
    InitDc(state, *dc);
    const std::uintptr_t handle = state.nextMemoryDc++;
    state.dcs.emplace(handle, std::move(dc));
    return reinterpret_cast<HDC>(handle);
}

BOOL DeleteDC(HDC handle) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    auto it = state.dcs.find(Key(handle));
    if (it == state.dcs.end() || !it->second->isMemory)
        return FALSE;
    state.dcs.erase(it);
    return TRUE;
}

int GetDeviceCaps(HDC handle, int index) {
    FetchScreen(); // a memory DC answers some capabilities with the screen's
    FetchTarget(handle);
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    Dc* dc = FindDc(state, handle);
    if (dc == nullptr)
        return 0;
    const bool isMono = dc->isMemory && dc->surface && dc->surface->isMono;
    const Surface* surface = dc->isMemory ? dc->surface.get() : state.screen.get();
    switch (index) {
    case BITSPIXEL:
        return isMono ? 1 : 32;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return isMono ? 2 : -1;
    case LOGPIXELSX:
        return dc->pixelsPerInchX;
    case LOGPIXELSY:
        return dc->pixelsPerInchY;
    case HORZRES:
        return dc->isMemory ? state.screen->width : surface->width;
    case VERTRES:
        return dc->isMemory ? state.screen->height : surface->height;
    case HORZSIZE:
        return state.screen->width * 254 / 960;
    case VERTSIZE:
        return state.screen->height * 254 / 960;
    default:
        return 0;
    }
}

int SetROP2(HDC dc, int mode) {
    if (mode < R2_BLACK || mode > R2_WHITE)
        return 0;
    return WithDc(dc, 0, [&](Dc& d) { return std::exchange(d.rop2, mode); });
}
int GetROP2(HDC dc) {
    return WithDc(dc, 0, [](Dc& d) { return d.rop2; });
}
int SetBkMode(HDC dc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE)
        return 0;
    return WithDc(dc, 0, [&](Dc& d) { return std::exchange(d.bkMode, mode); });
}
int GetBkMode(HDC dc) {
    return WithDc(dc, 0, [](Dc& d) { return d.bkMode; });
}
COLORREF SetBkColor(HDC dc, COLORREF colour) {
    return WithDc(dc, CLR_INVALID,
                  [&](Dc& d) { return std::exchange(d.bkColour, colour & 0xFFFFFF); });
}
COLORREF GetBkColor(HDC dc) {
    return WithDc(dc, CLR_INVALID, [](Dc& d) { return d.bkColour; });
}
COLORREF SetTextColor(HDC dc, COLORREF colour) {
    return WithDc(dc, CLR_INVALID,
                  [&](Dc& d) { return std::exchange(d.textColour, colour & 0xFFFFFF); });
}
COLORREF GetTextColor(HDC dc) {
    return WithDc(dc, CLR_INVALID, [](Dc& d) { return d.textColour; });
}
int SetPolyFillMode(HDC dc, int mode) {
    if (mode != ALTERNATE && mode != WINDING)
        return 0;
    return WithDc(dc, 0, [&](Dc& d) { return std::exchange(d.fillMode, mode); });
}
int GetPolyFillMode(HDC dc) {
    return WithDc(dc, 0, [](Dc& d) { return d.fillMode; });
}
UINT SetTextAlign(HDC dc, UINT align) {
    return WithDc(dc, 0xFFFFFFFFu, [&](Dc& d) { return std::exchange(d.textAlign, align); });
}
UINT GetTextAlign(HDC dc) {
    return WithDc(dc, 0xFFFFFFFFu, [](Dc& d) { return d.textAlign; });
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous) {
    return WithDc(dc, FALSE, [&](Dc& d) {
        if (previous != nullptr)
            *previous = d.viewport;
        d.viewport = POINT{x, y};
        return TRUE;
    });
}

BOOL GetViewportOrgEx(HDC dc, POINT* origin) {
    if (origin == nullptr)
        return FALSE;
    return WithDc(dc, FALSE, [&](Dc& d) {
        *origin = d.viewport;
        return TRUE;
    });
}

// ---- Regions ----

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    auto object = std::make_shared<Object>();
    object->type = OBJ_REGION;
    RECT r{std::min(left, right), std::min(top, bottom), std::max(left, right),
           std::max(top, bottom)};
    if (r.left < r.right && r.top < r.bottom)
        object->region.push_back(r);
    return AddObject(state, std::move(object));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    return rect == nullptr ? nullptr
                           : CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int SelectClipRgn(HDC handle, HRGN region) {
    FetchTarget(handle);
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    Dc* dc = FindDc(state, handle);
    ObjectPtr object = FindObject(state, region);
    if (dc == nullptr || (region != nullptr && (!object || object->type != OBJ_REGION)))
        return ERROR_REGION;
    if (region == nullptr)
        dc->clipRegion.reset();
    else
        dc->clipRegion = object->region;
    Target target;
    return GetTarget(state, *dc, &target) ? RegionKind(target.clip) : ERROR_REGION;
}

int GetClipRgn(HDC handle, HRGN region) {
    FetchTarget(handle);
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    Dc* dc = FindDc(state, handle);
    ObjectPtr object = FindObject(state, region);
    if (dc == nullptr || !object || object->type != OBJ_REGION)
        return -1;
    if (!dc->clipRegion)
        return 0;
    object->region = *dc->clipRegion;
    return 1;
}

int GetRgnBox(HRGN region, RECT* rect) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    ObjectPtr object = FindObject(state, region);
    if (!object || object->type != OBJ_REGION || rect == nullptr)
        return ERROR_REGION;
    *rect = RegionBox(object->region);
    return RegionKind(object->region);
}

namespace {

int ChangeClip(HDC handle, int left, int top, int right, int bottom, bool isExclude) {
    FetchTarget(handle);
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    Dc* dc = FindDc(state, handle);
    if (dc == nullptr)
        return ERROR_REGION;
    const RECT r = Offset(RECT{left, top, right, bottom}, dc->viewport.x, dc->viewport.y);
    Region clip = DeviceClip(state, *dc);
    dc->clipRegion = isExclude ? SubtractRect(clip, r) : IntersectRegion(clip, r);
    Target target;
    return GetTarget(state, *dc, &target) ? RegionKind(target.clip) : ERROR_REGION;
}

} // namespace

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
    return ChangeClip(dc, left, top, right, bottom, false);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
    return ChangeClip(dc, left, top, right, bottom, true);
}

namespace platform {

void FailNextGdiCreations(int count) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    state.failingCreations = count > 0 ? count : 0;
}

bool SetDcPixelsPerInch(HDC handle, int x, int y) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    Dc* dc = FindDc(state, handle);
    if (dc == nullptr || !dc->isMemory || x <= 0 || y <= 0)
        return false;
    dc->pixelsPerInchX = x;
    dc->pixelsPerInchY = y;
    return true;
}

GdiObjectCounts CountLiveGdiObjects() {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    GdiObjectCounts counts;
    for (const auto& [handle, object] : state.objects) {
        counts.objects += object->isStock ? 0 : 1;
    }
    for (const auto& [handle, dc] : state.dcs) {
        counts.memoryDcs += dc->isMemory ? 1 : 0;
    }
    return counts;
}

} // namespace platform
