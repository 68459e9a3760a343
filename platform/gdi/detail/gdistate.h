#pragma once
// GDI's inner state: surfaces, objects, DCs and the lock that guards them. Only platform/gdi
// includes this.

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::gdi_detail {

// The largest bitmap GDI creates or reads: the longest side and the most pixels.
constexpr int kMaxBitmapSide = 16384;
constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 26;

// A text drawn into a surface while drawn texts are kept (KeepDrawnTexts): pixel values and
// surface pixels.
struct TextNote {
    std::u16string text;
    std::uint32_t colour = 0;
    std::uint32_t background = 0; // the colour most of its glyph pixels covered
    RECT box{};                   // its glyph pixels
    POINT origin{};               // where the call placed it
    struct Sample {
        POINT at;
        std::uint32_t pixel; // as the text left it
    };
    // A few of its glyph pixels, spread over it.
    std::array<Sample, 16> samples{};
    std::size_t sampleCount = 0;
};

// Pixels are 0x00RRGGBB, rows top-down without padding. A monochrome surface holds only
// 0x000000 and 0xFFFFFF.
struct Surface {
    int width = 0;
    int height = 0;
    bool isMono = false;
    std::vector<std::uint32_t> pixels;
    // A DIB section keeps its bits in the caller's format; GDI converts them in before it reads
    // and out after it writes.
    struct Dib {
        int bitCount = 32;
        int stride = 0;
        bool isBottomUp = true;
        std::vector<std::uint32_t> palette; // 0x00RRGGBB
        std::unique_ptr<std::uint8_t[]> bits;
        std::size_t size = 0;
        std::uint32_t redMask = 0, greenMask = 0, blueMask = 0; // 16 and 32 bits
    };
    std::unique_ptr<Dib> dib;
    // The texts drawn into it or blitted onto it, while drawn texts are kept.
    std::vector<TextNote> texts;

    Surface(int w, int h, bool mono)
        : width(w)
        , height(h)
        , isMono(mono)
        , pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0) {}
    std::uint32_t* Row(int y) { return pixels.data() + static_cast<std::size_t>(y) * width; }
};
using SurfacePtr = std::shared_ptr<Surface>;

void DibToPixels(Surface& surface);
void PixelsToDib(Surface& surface);

constexpr std::uint32_t ToPixel(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr COLORREF ToColorref(std::uint32_t p) {
    return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
}
// Drawing colours on a monochrome surface become black or white by brightness.
constexpr std::uint32_t ToMono(std::uint32_t p) {
    const unsigned sum = ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
    return sum >= 384 ? 0xFFFFFFu : 0u;
}

// A set of non-overlapping rectangles.
using Region = std::vector<RECT>;
Region IntersectRegion(const Region& a, const RECT& r);
Region IntersectRegions(const Region& a, const Region& b);
Region SubtractRect(const Region& a, const RECT& r);
RECT RegionBox(const Region& region);

struct Pen {
    int style = PS_SOLID;
    int width = 0;
    COLORREF colour = 0;
};
struct Brush {
    UINT style = BS_SOLID;
    COLORREF colour = 0;
    SurfacePtr pattern; // 8 x 8
};

struct Object {
    int type = 0; // OBJ_*
    bool isStock = false;
    Pen pen;
    Brush brush;
    SurfacePtr bitmap;
    Region region;
    LOGFONTW font{};
};
using ObjectPtr = std::shared_ptr<Object>;

struct Dc {
    bool isMemory = false;
    bool hasTarget = false; // window DCs: the window system's description was read
    DcTarget target;        // window DCs: origin on the screen, clip, excluded rectangles
    SurfacePtr surface;     // memory DCs: the selected bitmap
    HGDIOBJ pen{}, brush{}, font{}, bitmap{};
    ObjectPtr penObject, brushObject, fontObject, bitmapObject;
    COLORREF textColour = 0;
    COLORREF bkColour = 0xFFFFFF;
    int bkMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    int fillMode = ALTERNATE;
    UINT textAlign = 0;
    POINT viewport{};
    POINT current{};
    std::optional<Region> clipRegion; // device coordinates
    int pixelsPerInchX = 96;          // a test may give a memory DC its own
    int pixelsPerInchY = 96;
};

struct GdiState {
    std::recursive_mutex mutex;
    std::unordered_map<std::uintptr_t, ObjectPtr> objects;
    std::unordered_map<std::uintptr_t, std::unique_ptr<Dc>> dcs; // window and memory DCs
    std::uintptr_t nextObject = 0x100000;
    std::uintptr_t nextMemoryDc = 0x40000000;
    int failingCreations = 0; // the test switch: creations still to fail
    SurfacePtr screen;
    // While a ScreenHold lives: the screen as it was at the hold's start, which the window shows.
    std::optional<std::vector<std::uint32_t>> heldScreen;
};
// Draws a "Static" or "Edit" control (the window system's paintControl hook).
void PaintControl(HWND control, HDC dc, UINT colourMessage, HBRUSH brush);
bool TextExtents(HFONT font, const WCHAR* text, int count, int* extents);

// The state, locked; installs the window system's DC hooks on first use.
GdiState& State();

ObjectPtr FindObject(GdiState& state, HGDIOBJ handle);
HGDIOBJ AddObject(GdiState& state, ObjectPtr object);
// Takes the lock.
HGDIOBJ AddBitmap(SurfacePtr surface);
// The DC, made on first use for a window DC. Call FetchTarget outside the lock first.
Dc* FindDc(GdiState& state, HDC dc);
// Reads a window DC's description before the GDI lock is taken (the window system's lock comes
// first).
void FetchTarget(HDC dc);
SurfacePtr Screen(GdiState& state);

// Where a DC draws: its surface, the offset from DC to surface coordinates and the clip in
// surface coordinates.
struct Target {
    Surface* surface = nullptr;
    POINT offset{};
    Region clip;
    RECT box{};
};
// False for an unknown DC or one without a surface.
bool GetTarget(GdiState& state, Dc& dc, Target* target);

// What a span is painted with: a colour, or an 8 x 8 pattern aligned to the DC's origin.
struct Paint {
    std::uint32_t colour = 0;
    const Surface* pattern = nullptr;
    std::uint32_t patternFore = 0; // monochrome pattern: set bits
    std::uint32_t patternBack = 0; // clear bits
    POINT patternOrigin{};         // surface position of the pattern's (0, 0)
};
// The paint's colour at a surface pixel.
std::uint32_t PaintAt(const Paint& paint, int x, int y);
Paint PenPaint(const Dc& dc);
inline bool HasPen(const Dc& dc) {
    return dc.penObject && dc.penObject->pen.style != PS_NULL;
}
// Wider than a pixel: drawn as a shape around the path rather than stepped.
inline bool IsWide(const Dc& dc) {
    return dc.penObject && dc.penObject->pen.width > 1;
}
// False for a null brush.
bool BrushPaint(const Dc& dc, const Brush& brush, const Target& target, Paint* paint);

// A colour copied as it is: the span is filled without a raster operation.
inline bool IsPlainPaint(const Paint& paint, int rop2) {
    return paint.pattern == nullptr && rop2 == R2_COPYPEN;
}
// Columns [x0, x1) of row y of the surface, all inside it.
void WriteRun(Surface& surface, int y, int x0, int x1, const Paint& paint, int rop2);

// Spans in surface coordinates, x0 included and x1 excluded, clipped to target. Inline: shapes
// paint many short spans.
inline void FillSpan(const Target& target, int y, int x0, int x1, const Paint& paint, int rop2) {
    if (x0 >= x1 || y < target.box.top || y >= target.box.bottom || rop2 == R2_NOP)
        return;
    const bool isPlain = IsPlainPaint(paint, rop2);
    for (const RECT& r : target.clip) {
        if (r.top > y)
            break;
        if (y >= r.bottom)
            continue;
        const int a = std::max<int>(x0, r.left);
        const int b = std::min<int>(x1, r.right);
        if (a >= b)
            continue;
        if (isPlain) {
            std::uint32_t* row = target.surface->Row(y);
            std::fill(row + a, row + b,
                      target.surface->isMono ? ToMono(paint.colour) : paint.colour);
        } else {
            WriteRun(*target.surface, y, a, b, paint, rop2);
        }
    }
}
void SetPixelClipped(const Target& target, int x, int y, const Paint& paint, int rop2);
bool IsVisible(const Target& target, int x, int y);

struct PointD {
    double x;
    double y;
};
// A point in surface coordinates before clipping (see ExactX).
struct PointL {
    long long x;
    long long y;
};

// The pixels of a shape built from overlapping parts, painted once each: spans go straight to
// the target when painting a pixel twice gives what painting it once gives, else they are
// collected and merged before they are painted.
class SpanSet {
public:
    SpanSet(const Target& target, const Paint& paint, int rop2);
    void Add(int y, int x0, int x1) {
        if (x0 >= x1)
            return;
        if (isDirect_)
            FillSpan(target_, y, x0, x1, paint_, rop2_);
        else
            spans_.push_back({y, x0, x1});
    }
    void Paint();
    const Target& target() const { return target_; }

private:
    const Target& target_;
    gdi_detail::Paint paint_;
    int rop2_;
    bool isDirect_;
    std::vector<std::array<int, 3>> spans_;
};

// Adds the convex polygon's pixels (centres inside; surface coordinates) to spans, rows within
// the clip box.
void AddConvex(SpanSet& spans, const PointD* points, int count);

// The pen along logical points; closed adds the segment back to the first point.
void Stroke(Dc& dc, const Target& target, const POINT* points, int count, bool closed);

// Runs call(dc) under the lock; fallback for an unknown DC.
template <typename Result, typename Call> Result WithDc(HDC handle, Result fallback, Call call) {
    FetchTarget(handle);
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    Dc* dc = FindDc(state, handle);
    return dc == nullptr ? fallback : call(*dc);
}

// Runs call(dc, target) under the lock with a DIB section's bits converted in before and out
// after; FALSE for an unknown DC.
template <typename Call> BOOL Draw(HDC handle, Call call) {
    FetchTarget(handle);
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    Dc* dc = FindDc(state, handle);
    Target target;
    if (dc == nullptr || !GetTarget(state, *dc, &target))
        return FALSE;
    if (target.surface->dib)
        DibToPixels(*target.surface);
    const BOOL result = call(*dc, target);
    if (target.surface->dib)
        PixelsToDib(*target.surface);
    return result;
}

// Drawn texts (textnotes.cpp), under the lock. True while they are kept.
bool IsKeepingTexts();
// Notes a text run painted into surface: ink holds its glyph pixels (surface coordinates) and
// under the colours they covered, one for one.
void NoteText(Surface& surface, std::u16string_view text, std::uint32_t colour, POINT origin,
              const std::vector<POINT>& ink, const std::vector<std::uint32_t>& under);
// A blit copied source's rectangle at (sourceX, sourceY) unscaled to (destX, destY) of dest,
// within the clip: the texts it copied go along.
void CarryTexts(const Surface& source, long long sourceX, long long sourceY, long long width,
                long long height, Surface& dest, long long destX, long long destY,
                const Region& clip);

// Logical to surface coordinates, kept far inside the range of int whatever the input: for
// boxes, pixels and text, where clamping each coordinate on its own keeps what shows.
constexpr long long kCoordinateLimit = 1LL << 28;
inline long long Clamp(long long v) {
    return v < -kCoordinateLimit ? -kCoordinateLimit
                                 : (v > kCoordinateLimit ? kCoordinateLimit : v);
}
inline long long SurfaceX(const Dc& dc, const Target& target, long long x) {
    return Clamp(x + dc.viewport.x + target.offset.x);
}
inline long long SurfaceY(const Dc& dc, const Target& target, long long y) {
    return Clamp(y + dc.viewport.y + target.offset.y);
}
// Logical to surface coordinates without a limit (|result| < 2^33), for the lines and shapes,
// which clip exactly: clamping each coordinate on its own would turn a line or bend a curve.
inline long long ExactX(const Dc& dc, const Target& target, long long x) {
    return x + dc.viewport.x + target.offset.x;
}
inline long long ExactY(const Dc& dc, const Target& target, long long y) {
    return y + dc.viewport.y + target.offset.y;
}

// First pixel whose centre is at or right of x, kept far inside the range of int. The ceiling
// is taken in integers inside the limits: std::ceil is a library call on the base x86-64 set.
inline int PixelFrom(double x) {
    constexpr auto kLimit = static_cast<double>(kCoordinateLimit);
    const double v = x - 0.5;
    if (!(v > -kLimit))
        return static_cast<int>(-kCoordinateLimit);
    if (v >= kLimit)
        return static_cast<int>(kCoordinateLimit);
    const auto whole = static_cast<long long>(v); // toward zero
    return static_cast<int>(whole + (v > static_cast<double>(whole) ? 1 : 0));
}

} // namespace platform::gdi_detail
