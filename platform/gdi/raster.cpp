// Spans and pixels: clipping, the binary raster operations, pens' and brushes' paints, and the
// conversion of DIB sections' bits.
#include "platform/gdi/detail/gdistate.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace platform::gdi_detail {

namespace {

// The result of a binary raster operation; its code minus one is the truth table over
// (pen, destination) bits.
std::uint32_t Rop2(int rop2, std::uint32_t pen, std::uint32_t dest) {
    const unsigned table = static_cast<unsigned>(rop2 - 1);
    std::uint32_t out = 0;
    if ((table & 1) != 0)
        out |= ~pen & ~dest;
    if ((table & 2) != 0)
        out |= ~pen & dest;
    if ((table & 4) != 0)
        out |= pen & ~dest;
    if ((table & 8) != 0)
        out |= pen & dest;
    return out & 0xFFFFFF;
}

} // namespace

std::uint32_t PaintAt(const Paint& paint, int x, int y) {
    if (paint.pattern == nullptr)
        return paint.colour;
    const int px = (x - paint.patternOrigin.x) & 7;
    const int py = (y - paint.patternOrigin.y) & 7;
    const std::uint32_t p = paint.pattern->pixels[static_cast<std::size_t>(py * 8 + px)];
    if (!paint.pattern->isMono)
        return p;
    return p != 0 ? paint.patternFore : paint.patternBack;
}

void WriteRun(Surface& surface, int y, int x0, int x1, const Paint& paint, int rop2) {
    std::uint32_t* row = surface.Row(y);
    if (IsPlainPaint(paint, rop2)) {
        std::fill(row + x0, row + x1, surface.isMono ? ToMono(paint.colour) : paint.colour);
        return;
    }
    for (int x = x0; x < x1; ++x) {
        std::uint32_t p = PaintAt(paint, x, y);
        if (surface.isMono)
            p = ToMono(p);
        row[x] = Rop2(rop2, p, row[x]);
    }
}

bool IsVisible(const Target& target, int x, int y) {
    for (const RECT& r : target.clip) {
        if (r.top > y)
            break;
        if (y < r.bottom && x >= r.left && x < r.right)
            return true;
    }
    return false;
}

void SetPixelClipped(const Target& target, int x, int y, const Paint& paint, int rop2) {
    if (IsVisible(target, x, y) && rop2 != R2_NOP)
        WriteRun(*target.surface, y, x, x + 1, paint, rop2);
}

Paint PenPaint(const Dc& dc) {
    Paint paint;
    paint.colour = ToPixel(dc.penObject ? dc.penObject->pen.colour : 0);
    return paint;
}

bool BrushPaint(const Dc& dc, const Brush& brush, const Target& target, Paint* paint) {
    if (brush.style == BS_NULL)
        return false;
    *paint = Paint{};
    paint->colour = ToPixel(brush.colour);
    if (brush.style == BS_PATTERN && brush.pattern) {
        paint->pattern = brush.pattern.get();
        paint->patternFore = ToPixel(dc.textColour);
        paint->patternBack = ToPixel(dc.bkColour);
        paint->patternOrigin = target.offset;
    }
    return true;
}

SpanSet::SpanSet(const Target& target, const gdi_detail::Paint& paint, int rop2)
    : target_(target)
    , paint_(paint)
    , rop2_(rop2) {
    switch (rop2) {
    case R2_BLACK:
    case R2_WHITE:
    case R2_NOP:
    case R2_COPYPEN:
    case R2_NOTCOPYPEN:
    case R2_MASKPEN:
    case R2_MERGEPEN:
    case R2_MASKNOTPEN:
    case R2_MERGENOTPEN:
        isDirect_ = true;
        break;
    default:
        isDirect_ = false;
        break;
    }
}

void SpanSet::Paint() {
    std::sort(spans_.begin(), spans_.end());
    std::size_t i = 0;
    while (i < spans_.size()) {
        const int y = spans_[i][0];
        int x0 = spans_[i][1];
        int x1 = spans_[i][2];
        ++i;
        while (i < spans_.size() && spans_[i][0] == y && spans_[i][1] <= x1) {
            x1 = std::max(x1, spans_[i][2]);
            ++i;
        }
        FillSpan(target_, y, x0, x1, paint_, rop2_);
    }
    spans_.clear();
}

// ---- DIB sections ----

namespace {

int MaskShift(std::uint32_t mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

std::uint32_t ToMask(std::uint32_t channel, std::uint32_t mask) {
    if (mask == 0)
        return 0;
    const std::uint32_t max = mask >> MaskShift(mask);
    return ((channel * max + 127) / 255) << MaskShift(mask);
}

std::uint8_t* DibRow(Surface& s, int y) {
    const int row = s.dib->isBottomUp ? s.height - 1 - y : y;
    return s.dib->bits.get() + static_cast<std::size_t>(row) * s.dib->stride;
}

int Nearest(const std::vector<std::uint32_t>& palette, std::uint32_t p) {
    int best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const long dr = static_cast<long>((palette[i] >> 16) & 0xFF) - ((p >> 16) & 0xFF);
        const long dg = static_cast<long>((palette[i] >> 8) & 0xFF) - ((p >> 8) & 0xFF);
        const long db = static_cast<long>(palette[i] & 0xFF) - (p & 0xFF);
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
        }
    }
    return best;
}

// One colour channel of a 16- or 32-bit DIB: where its bits lie and its largest value, found
// once per conversion rather than once per pixel.
struct MaskChannel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit MaskChannel(std::uint32_t m)
        : mask(m)
        , shift(MaskShift(m))
        , max(m >> MaskShift(m)) {}
    // The channel scaled to 0..255.
    std::uint32_t Read(std::uint32_t value) const {
        if (mask == 0)
            return 0;
        const std::uint32_t v = (value & mask) >> shift;
        return max == 255 ? v : v * 255 / max;
    }
};

void DibRowToPixels(const Surface::Dib& d, const std::uint8_t* in, std::uint32_t* out, int width,
                    const MaskChannel& red, const MaskChannel& green, const MaskChannel& blue) {
    switch (d.bitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
        for (int x = 0; x < width; ++x) {
            const int bitsAt = x * d.bitCount;
            const int shift = 8 - d.bitCount - (bitsAt & 7);
            const unsigned index = (in[bitsAt >> 3] >> shift) & ((1u << d.bitCount) - 1);
            out[x] = index < d.palette.size() ? d.palette[index] : 0;
        }
        break;
    case 16:
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = in[x * 2] | (in[x * 2 + 1] << 8);
            out[x] = (red.Read(v) << 16) | (green.Read(v) << 8) | blue.Read(v);
        }
        break;
    case 24: {
        int x = 0;
        if constexpr (std::endian::native == std::endian::little) {
            // Four bytes at a time, the fourth (the next pixel's blue) masked off; the last
            // pixel of the row is read by bytes, so nothing past the row is read.
            for (; x + 1 < width; ++x) {
                std::uint32_t v = 0;
                std::memcpy(&v, in + x * 3, sizeof v);
                out[x] = v & 0xFFFFFF;
            }
        }
        for (; x < width; ++x)
            out[x] = in[x * 3] | (in[x * 3 + 1] << 8) | (in[x * 3 + 2] << 16);
        break;
    }
    default:
        if (d.redMask == 0xFF0000 && d.greenMask == 0xFF00 && d.blueMask == 0xFF) {
            // The usual masks are the pixel's own layout: only the fourth byte goes.
            for (int x = 0; x < width; ++x)
                out[x] = in[x * 4] | (in[x * 4 + 1] << 8) | (in[x * 4 + 2] << 16);
            break;
        }
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = in[x * 4] | (in[x * 4 + 1] << 8) | (in[x * 4 + 2] << 16) |
                                    (static_cast<std::uint32_t>(in[x * 4 + 3]) << 24);
            out[x] = (red.Read(v) << 16) | (green.Read(v) << 8) | blue.Read(v);
        }
        break;
    }
}

} // namespace

// Row by row, the format chosen once per row: a skin picture is converted whenever it is drawn.
void DibToPixels(Surface& s) {
    const Surface::Dib& d = *s.dib;
    const MaskChannel red(d.redMask), green(d.greenMask), blue(d.blueMask);
    for (int y = 0; y < s.height; ++y) {
        std::uint32_t* out = s.Row(y);
        DibRowToPixels(d, DibRow(s, y), out, s.width, red, green, blue);
        if (s.isMono) {
            for (int x = 0; x < s.width; ++x)
                out[x] = ToMono(out[x]);
        }
    }
}

void PixelsToDib(Surface& s) {
    Surface::Dib& d = *s.dib;
    for (int y = 0; y < s.height; ++y) {
        std::uint8_t* out = DibRow(s, y);
        const std::uint32_t* in = s.Row(y);
        for (int x = 0; x < s.width; ++x) {
            const std::uint32_t p = in[x];
            const std::uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            switch (d.bitCount) {
            case 1:
            case 2:
            case 4:
            case 8: {
                const int bitsAt = x * d.bitCount;
                const int shift = 8 - d.bitCount - (bitsAt & 7);
                const unsigned mask = ((1u << d.bitCount) - 1) << shift;
                const auto index = static_cast<unsigned>(Nearest(d.palette, p));
                out[bitsAt >> 3] =
                    static_cast<std::uint8_t>((out[bitsAt >> 3] & ~mask) | (index << shift));
                break;
            }
            case 16: {
                const std::uint32_t v =
                    ToMask(r, d.redMask) | ToMask(g, d.greenMask) | ToMask(b, d.blueMask);
                out[x * 2] = static_cast<std::uint8_t>(v);
                out[x * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
                break;
            }
            case 24:
                out[x * 3] = static_cast<std::uint8_t>(b);
                out[x * 3 + 1] = static_cast<std::uint8_t>(g);
                out[x * 3 + 2] = static_cast<std::uint8_t>(r);
                break;
            default: {
                const std::uint32_t v =
                    ToMask(r, d.redMask) | ToMask(g, d.greenMask) | ToMask(b, d.blueMask);
                for (int i = 0; i < 4; ++i)
                    out[x * 4 + i] = static_cast<std::uint8_t>(v >> (8 * i));
                break;
            }
            }
        }
    }
}

} // namespace platform::gdi_detail
