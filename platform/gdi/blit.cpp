// Bitmaps and blits with the ternary raster operations.
#include "platform/gdi/detail/gdistate.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace platform::gdi_detail;

namespace {

bool IsSizeAllowed(int width, int height) {
    return width > 0 && height > 0 && width <= kMaxBitmapSide && height <= kMaxBitmapSide &&
           static_cast<std::int64_t>(width) * height <= kMaxBitmapPixels;
}

// The ternary raster operation whose truth table (bit index = pattern * 4 + source * 2 +
// destination) is code.
std::uint32_t Rop3(unsigned code, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
    switch (code) {
    case 0xCC:
        return s;
    case 0x88:
        return s & d;
    case 0xEE:
        return s | d;
    case 0x66:
        return s ^ d;
    case 0x33:
        return ~s & 0xFFFFFF;
    case 0x22:
        return d & ~s & 0xFFFFFF;
    case 0xF0:
        return p;
    default:
        break;
    }
    std::uint32_t out = 0;
    for (unsigned k = 0; k < 8; ++k) {
        if ((code & (1u << k)) == 0)
            continue;
        out |= ((k & 4) != 0 ? p : ~p) & ((k & 2) != 0 ? s : ~s) & ((k & 1) != 0 ? d : ~d);
    }
    return out & 0xFFFFFF;
}

bool UsesSource(unsigned code) {
    return ((code >> 2) & 0x33) != (code & 0x33);
}

bool UsesPattern(unsigned code) {
    return ((code >> 4) & 0x0F) != (code & 0x0F);
}

struct Source {
    const Surface* surface = nullptr;
    std::vector<std::uint32_t> copy; // when source and destination share a surface
    long long originX = 0, originY = 0;
    bool isMono = false;
    std::uint32_t bk = 0;
};

// Copies columns [from, to) of rows [top, bottom) of dest from the pixels (rows of
// sourceWidth) rowShift rows and columnShift columns away, all inside both. Rows that span both
// whole move as one block; when the pixels are dest's own, overlapping pixels are read before
// they are written.
void MoveRows(Surface& dest, const std::uint32_t* sourcePixels, int sourceWidth, long long top,
              long long bottom, long long from, long long to, long long columnShift,
              long long rowShift) {
    if (top >= bottom || from >= to)
        return;
    const auto sourceRow = [&](long long y) {
        return sourcePixels + static_cast<std::size_t>(y + rowShift) * sourceWidth;
    };
    if (from == 0 && to == dest.width && columnShift == 0 && sourceWidth == dest.width) {
        std::memmove(dest.Row(static_cast<int>(top)), sourceRow(top),
                     static_cast<std::size_t>(bottom - top) * dest.width * sizeof(std::uint32_t));
        return;
    }
    const auto bytes = static_cast<std::size_t>(to - from) * sizeof(std::uint32_t);
    // Moving down a surface, the rows below are written first: their sources lie above.
    if (rowShift < 0) {
        for (long long y = bottom - 1; y >= top; --y)
            std::memmove(dest.Row(static_cast<int>(y)) + from, sourceRow(y) + from + columnShift,
                         bytes);
    } else {
        for (long long y = top; y < bottom; ++y)
            std::memmove(dest.Row(static_cast<int>(y)) + from, sourceRow(y) + from + columnShift,
                         bytes);
    }
}

BOOL Blit(HDC destHandle, int x, int y, int width, int height, HDC sourceHandle, int sourceX,
          int sourceY, int sourceWidth, int sourceHeight, DWORD rop) {
    const unsigned code = (rop >> 16) & 0xFF;
    const bool needsSource = UsesSource(code);
    if (needsSource)
        FetchTarget(sourceHandle);
    return Draw(destHandle, [&](Dc& dc, const Target& target) {
        GdiState& state = State();
        Source source;
        if (needsSource) {
            Dc* sourceDc = FindDc(state, sourceHandle);
            Target sourceTarget;
            if (sourceDc == nullptr || !GetTarget(state, *sourceDc, &sourceTarget))
                return FALSE;
            Surface& s = *sourceTarget.surface;
            if (s.dib && &s != target.surface)
                DibToPixels(s);
            source.surface = &s;
            source.originX = SurfaceX(*sourceDc, sourceTarget, sourceX);
            source.originY = SurfaceY(*sourceDc, sourceTarget, sourceY);
            source.isMono = s.isMono;
            source.bk = ToPixel(sourceDc->bkColour);
        }
        if (width == 0 || height == 0 || (needsSource && (sourceWidth == 0 || sourceHeight == 0)))
            return TRUE;
        Paint pattern;
        const bool hasPattern = UsesPattern(code) && dc.brushObject &&
                                BrushPaint(dc, dc.brushObject->brush, target, &pattern);
        const bool isDestMono = target.surface->isMono;
        const std::uint32_t text = ToPixel(dc.textColour);
        const std::uint32_t bk = ToPixel(dc.bkColour);
        // A negative size counts back from the pixel at the given position.
        const long long left = width < 0 ? static_cast<long long>(x) + width + 1 : x;
        const long long top = height < 0 ? static_cast<long long>(y) + height + 1 : y;
        const long long dx0 = SurfaceX(dc, target, left);
        const long long dx1 = SurfaceX(dc, target, left + std::llabs(width));
        const long long dy0 = SurfaceY(dc, target, top);
        const long long dy1 = SurfaceY(dc, target, top + std::llabs(height));
        const bool flipX = (width < 0) != (sourceWidth < 0);
        const bool flipY = (height < 0) != (sourceHeight < 0);
        const long long dw = dx1 - dx0;
        const long long dh = dy1 - dy0;
        const long long sw = std::llabs(sourceWidth);
        const long long sh = std::llabs(sourceHeight);
        const long long sx0 = source.originX - (sourceWidth < 0 ? sw - 1 : 0);
        const long long sy0 = source.originY - (sourceHeight < 0 ? sh - 1 : 0);
        const bool isPlainCopy = needsSource && code == 0xCC && !flipX && !flipY && sw == dw &&
                                 sh == dh && source.isMono == isDestMono;
        // A plain copy within one clip rectangle moves its rows in place; any other blit onto
        // its own surface reads a copy of it.
        if (needsSource && source.surface == target.surface &&
            !(isPlainCopy && target.clip.size() <= 1))
            source.copy = source.surface->pixels;
        const std::uint32_t* sourcePixels = !needsSource          ? nullptr
                                            : source.copy.empty() ? source.surface->pixels.data()
                                                                  : source.copy.data();
        // The texts go along, read from the source as it is before the copy (a scroll within
        // one surface).
        if (needsSource && !flipX && !flipY && sw == dw && sh == dh && !source.isMono &&
            !isDestMono && IsKeepingTexts())
            CarryTexts(*source.surface, sx0, sy0, sw, sh, *target.surface, dx0, dy0, target.clip);
        for (const RECT& clip : target.clip) {
            const long long cx0 = std::max<long long>(clip.left, dx0);
            const long long cx1 = std::min<long long>(clip.right, dx1);
            const long long cy0 = std::max<long long>(clip.top, dy0);
            const long long cy1 = std::min<long long>(clip.bottom, dy1);
            if (isPlainCopy) {
                const long long columnShift = sx0 - dx0;
                const long long rowShift = sy0 - dy0;
                MoveRows(*target.surface, sourcePixels, source.surface->width,
                         std::max(cy0, -rowShift), std::min(cy1, source.surface->height - rowShift),
                         std::max(cx0, -columnShift),
                         std::min(cx1, source.surface->width - columnShift), columnShift, rowShift);
                continue;
            }
            for (long long py = cy0; py < cy1; ++py) {
                std::uint32_t* row = target.surface->Row(static_cast<int>(py));
                long long sy = 0;
                const std::uint32_t* sourceRow = nullptr;
                if (needsSource) {
                    // Unscaled, the nearest source row is the same row: no division.
                    long long oy = sh == dh ? py - dy0 : (2 * (py - dy0) + 1) * sh / (2 * dh);
                    if (flipY)
                        oy = sh - 1 - oy;
                    sy = sy0 + oy;
                    if (sy < 0 || sy >= source.surface->height)
                        continue;
                    sourceRow = sourcePixels + sy * source.surface->width;
                    // An unscaled copy between surfaces of one kind moves whole runs.
                    if (code == 0xCC && !flipX && sw == dw && source.isMono == isDestMono) {
                        const long long from = std::max(cx0, dx0 - sx0);
                        const long long to = std::min(cx1, dx0 - sx0 + source.surface->width);
                        if (from < to) {
                            std::copy(sourceRow + (sx0 + from - dx0), sourceRow + (sx0 + to - dx0),
                                      row + from);
                        }
                        continue;
                    }
                }
                // The operation is chosen once per row: the common ones need no truth table.
                const auto pixels = [&](auto operation) {
                    for (long long px = cx0; px < cx1; ++px) {
                        std::uint32_t s = 0;
                        if (needsSource) {
                            long long ox =
                                sw == dw ? px - dx0 : (2 * (px - dx0) + 1) * sw / (2 * dw);
                            if (flipX)
                                ox = sw - 1 - ox;
                            const long long sx = sx0 + ox;
                            if (sx < 0 || sx >= source.surface->width)
                                continue;
                            s = sourceRow[sx];
                            if (source.isMono && !isDestMono)
                                s = s == 0 ? text : bk;
                            else if (!source.isMono && isDestMono)
                                s = s == source.bk ? 0xFFFFFFu : 0u;
                        }
                        std::uint32_t p = 0;
                        if (hasPattern) {
                            p = PaintAt(pattern, static_cast<int>(px), static_cast<int>(py));
                            if (isDestMono)
                                p = ToMono(p);
                        }
                        row[px] = operation(p, s, row[px]);
                    }
                };
                using Pixel = std::uint32_t;
                switch (code) {
                case 0x66:
                    pixels([](Pixel, Pixel s, Pixel d) { return s ^ d; });
                    break;
                case 0x22:
                    pixels([](Pixel, Pixel s, Pixel d) { return d & ~s & 0xFFFFFFu; });
                    break;
                case 0x88:
                    pixels([](Pixel, Pixel s, Pixel d) { return s & d; });
                    break;
                case 0xCC:
                    pixels([](Pixel, Pixel s, Pixel) { return s; });
                    break;
                default:
                    pixels([&](Pixel p, Pixel s, Pixel d) { return Rop3(code, p, s, d); });
                    break;
                }
            }
        }
        return TRUE;
    });
}

} // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop) {
    return Blit(dest, x, y, width, height, source, sourceX, sourceY, width, height, rop);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop) {
    return Blit(dest, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight,
                rop);
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    if (UsesSource((rop >> 16) & 0xFF))
        return FALSE;
    return Blit(dc, x, y, width, height, nullptr, 0, 0, width, height, rop);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (!IsSizeAllowed(width, height) || planes != 1 || (bitsPerPixel != 1 && bitsPerPixel != 32))
        return nullptr;
    auto surface = std::make_shared<Surface>(width, height, bitsPerPixel == 1);
    if (bits != nullptr) {
        const auto* in = static_cast<const std::uint8_t*>(bits);
        if (bitsPerPixel == 1) {
            const int stride = (width + 15) / 16 * 2;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const bool isSet = (in[y * stride + x / 8] & (0x80 >> (x % 8))) != 0;
                    surface->Row(y)[x] = isSet ? 0xFFFFFFu : 0u;
                }
            }
        } else {
            std::memcpy(surface->pixels.data(), in, surface->pixels.size() * 4);
            for (std::uint32_t& p : surface->pixels)
                p &= 0xFFFFFF;
        }
    }
    return AddBitmap(std::move(surface));
}

HBITMAP CreateCompatibleBitmap(HDC handle, int width, int height) {
    bool isMono = false;
    {
        FetchTarget(handle);
        GdiState& state = State();
        std::lock_guard lock(state.mutex);
        Dc* dc = FindDc(state, handle);
        if (handle != nullptr && dc == nullptr)
            return nullptr;
        isMono = dc != nullptr && dc->isMemory && dc->surface && dc->surface->isMono;
    }
    if (width == 0 || height == 0)
        return CreateBitmap(1, 1, 1, 1, nullptr);
    return CreateBitmap(width, height, 1, isMono ? 1 : 32, nullptr);
}
