#pragma once
// The software GDI: device contexts over 32-bit colour and 1-bit monochrome surfaces (the
// screen framebuffer, bitmaps selected into memory DCs), pens, brushes, bitmaps, clip regions,
// lines, shapes and blits with GDI's own pixel rules (right and bottom edges exclusive). Window
// DCs come from the window system and draw into the screen framebuffer, clipped to the
// window's visible part. Colours are COLORREF 0x00BBGGRR. Safe from any thread; one lock guards
// every object and surface.

#include "platform/window/paint.h"
#include "platform/window/windowtypes.h"

#include <cstddef>

using HPEN = HGDIOBJ;
using HBITMAP = HGDIOBJ;
using HRGN = HGDIOBJ;

constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr BYTE GetRValue(COLORREF c) {
    return static_cast<BYTE>(c & 0xFF);
}
constexpr BYTE GetGValue(COLORREF c) {
    return static_cast<BYTE>((c >> 8) & 0xFF);
}
constexpr BYTE GetBValue(COLORREF c) {
    return static_cast<BYTE>((c >> 16) & 0xFF);
}
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// ---- Objects ----
constexpr int OBJ_PEN = 1;
constexpr int OBJ_BRUSH = 2;
constexpr int OBJ_DC = 3;
constexpr int OBJ_FONT = 6;
constexpr int OBJ_BITMAP = 7;
constexpr int OBJ_REGION = 8;
constexpr int OBJ_MEMDC = 10;

constexpr int OEM_FIXED_FONT = 10;
constexpr int ANSI_FIXED_FONT = 11;
constexpr int ANSI_VAR_FONT = 12;
constexpr int DEVICE_DEFAULT_FONT = 14;
constexpr int DEFAULT_PALETTE = 15;
constexpr int SYSTEM_FIXED_FONT = 16;
constexpr int DEFAULT_GUI_FONT = 17;

constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_NULL = 5;

constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;
constexpr UINT BS_PATTERN = 3;

struct LOGPEN {
    UINT lopnStyle;
    POINT lopnWidth; // x is the width; 0 and 1 are cosmetic one-pixel pens
    COLORREF lopnColor;
};
struct LOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    LONG_PTR lbHatch;
};
struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};

[[nodiscard]] HPEN CreatePen(int style, int width, COLORREF colour);
[[nodiscard]] HPEN CreatePenIndirect(const LOGPEN* pen);
[[nodiscard]] HBRUSH CreateSolidBrush(COLORREF colour);
[[nodiscard]] HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
// The bitmap's top-left 8 x 8 pixels: a monochrome bitmap's set (white) bits take the DC's text
// colour and clear bits its background colour; a colour bitmap's pixels are used as they are.
[[nodiscard]] HBRUSH CreatePatternBrush(HBITMAP bitmap);
// Returns the object previously selected of the same kind (for a region: SIMPLEREGION or
// ERROR_REGION, as SelectClipRgn does); null for an unknown DC or object.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Stock objects are never deleted. An object still selected into a DC stays usable there until
// it is replaced.
BOOL DeleteObject(HGDIOBJ object);
// Copies the object's description (BITMAP, LOGPEN, LOGBRUSH, LOGFONTW) into buffer; returns the
// bytes copied, or the size needed when buffer is null; 0 for an unknown object or short buffer.
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
[[nodiscard]] DWORD GetObjectType(HGDIOBJ object);
[[nodiscard]] HGDIOBJ GetCurrentObject(HDC dc, UINT type);

// ---- Device contexts ----
// A memory DC starts with a 1 x 1 monochrome bitmap selected. A null dc is compatible with the
// screen.
[[nodiscard]] HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);

constexpr int HORZSIZE = 4;
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
[[nodiscard]] int GetDeviceCaps(HDC dc, int index);

constexpr int R2_BLACK = 1;
constexpr int R2_NOTMERGEPEN = 2;
constexpr int R2_MASKNOTPEN = 3;
constexpr int R2_NOTCOPYPEN = 4;
constexpr int R2_MASKPENNOT = 5;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_NOTMASKPEN = 8;
constexpr int R2_MASKPEN = 9;
constexpr int R2_NOTXORPEN = 10;
constexpr int R2_NOP = 11;
constexpr int R2_MERGENOTPEN = 12;
constexpr int R2_COPYPEN = 13;
constexpr int R2_MERGEPENNOT = 14;
constexpr int R2_MERGEPEN = 15;
constexpr int R2_WHITE = 16;
// Returns the previous mode; 0 for an unknown DC or mode.
int SetROP2(HDC dc, int mode);
[[nodiscard]] int GetROP2(HDC dc);

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
int SetBkMode(HDC dc, int mode);
[[nodiscard]] int GetBkMode(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF colour);
[[nodiscard]] COLORREF GetBkColor(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF colour);
[[nodiscard]] COLORREF GetTextColor(HDC dc);

constexpr int ALTERNATE = 1;
constexpr int WINDING = 2;
int SetPolyFillMode(HDC dc, int mode);
[[nodiscard]] int GetPolyFillMode(HDC dc);

// Logical point (0, 0) lands on the given device point. previous may be null.
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL GetViewportOrgEx(HDC dc, POINT* origin);

// ---- Lines and shapes (logical coordinates) ----
// Any int coordinates: what shows is the part of the exact line or shape on the surface, however
// far outside it the points lie.
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
// Draws from the current position up to, not including, (x, y), which becomes current.
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);
// Coordinates are clamped to -16384..16383; the fill follows the DC's fill mode.
BOOL Polygon(HDC dc, const POINT* points, int count);
// Outline with the pen, interior with the brush, inside [left, right) x [top, bottom) for thin
// pens; a wider pen is centred on that outline.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height);
// Fills [left, right) x [top, bottom) with brush, whatever the DC's pen and ROP2.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
// CLR_INVALID outside the surface or clip.
[[nodiscard]] COLORREF GetPixel(HDC dc, int x, int y);

// ---- Blits ----
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD MERGECOPY = 0x00C000CA;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATPAINT = 0x00FB0A09;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;
// Any ternary raster operation (its truth table in bits 16..23). Colour to monochrome: source
// pixels equal to the source DC's background colour become white (1), others black (0).
// Monochrome to colour: black (0) becomes the destination DC's text colour, white (1) its
// background colour.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop);
// Scales by picking the nearest source pixel; negative sizes mirror.
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);

// ---- Bitmaps ----
// 1 bit per pixel (rows padded to 16 bits, set bits white) or 32 (0x00RRGGBB per pixel); bits
// may be null (black).
[[nodiscard]] HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel,
                                   const void* bits);
// Of the DC's kind: monochrome for a memory DC that has its first 1 x 1 bitmap.
[[nodiscard]] HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);

// ---- Regions and clipping (device coordinates) ----
[[nodiscard]] HRGN CreateRectRgn(int left, int top, int right, int bottom);
[[nodiscard]] HRGN CreateRectRgnIndirect(const RECT* rect);
// Copies the region (null: no clip region) into the DC; returns the clip's kind.
int SelectClipRgn(HDC dc, HRGN region);
// 1 and region set to the DC's clip region, 0 when it has none, -1 on error.
int GetClipRgn(HDC dc, HRGN region);
int GetRgnBox(HRGN region, RECT* rect);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
// GetClipBox (paint.h) answers for every DC: the box of what may be painted, in logical
// coordinates.

namespace platform {

// Test switch: the next count creations of GDI objects (pens, brushes, fonts, bitmaps, regions)
// and memory DCs fail: null, last error ERROR_NOT_ENOUGH_MEMORY, one debug line each. 0 ends it.
void FailNextGdiCreations(int count);

// Test switch: a memory DC that answers LOGPIXELSX/Y with its own values (a printer-like
// target); false for another DC or a value below 1.
bool SetDcPixelsPerInch(HDC dc, int x, int y);

// Live GDI objects (stock objects not counted) and memory DCs, for leak checks.
struct GdiObjectCounts {
    std::size_t objects = 0;
    std::size_t memoryDcs = 0;
    bool operator==(const GdiObjectCounts&) const = default;
};
[[nodiscard]] GdiObjectCounts CountLiveGdiObjects();

} // namespace platform
