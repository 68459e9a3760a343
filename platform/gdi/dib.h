#pragma once
// Device-independent bitmaps: DIB sections, packed DIBs (header, colour table, pixels in one
// block) and bitmap files (".bmp", and ".2bp" with 2 bits per pixel, in the same layout). Every
// size, count and offset is checked against the data's length before anything is read.

#include "platform/gdi/gdi.h"

#include <cstdint>
#include <span>
#include <vector>

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // > 0: rows bottom-up; < 0: top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1]; // the colour table (or three masks for BI_BITFIELDS) follows
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;

// A DIB section of 1, 2, 4, 8, 16, 24 or 32 bits per pixel; *bits receives its pixel memory
// (rows padded to 32 bits, in the header's order), which GDI reads and writes. info is read
// for biSize bytes plus its colour table or masks. section must be null.
[[nodiscard]] HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                       HANDLE section, DWORD offset);
// Loads a bitmap file by its full device path, adding no extension; null when the file is
// missing or not a valid bitmap file.
[[nodiscard]] HBITMAP SHLoadDIBitmap(LPCWSTR path);

namespace platform {

// A checked packed DIB: where its parts lie in the data.
struct PackedDib {
    BITMAPINFOHEADER header{};
    std::vector<std::uint32_t> palette; // 0x00RRGGBB
    std::uint32_t masks[3] = {};        // red, green, blue for 16 and 32 bits
    std::size_t pixelOffset = 0;        // from the start of the data
    std::size_t stride = 0;
};

// Checks a packed DIB (pixels right after the colour table, or at pixelOffset when it is not
// 0, as a file's header gives it). False when the header, colour table or pixel size disagree
// with the data's length or with each other.
[[nodiscard]] bool ReadPackedDib(std::span<const std::uint8_t> data, PackedDib* dib,
                                 std::size_t pixelOffset = 0);
// The same for a whole bitmap file (14-byte file header, then the packed DIB).
[[nodiscard]] bool ReadBitmapFile(std::span<const std::uint8_t> data, PackedDib* dib);
// A DIB section made from checked data; null when the data are refused.
[[nodiscard]] HBITMAP CreateDibFromPacked(std::span<const std::uint8_t> data);
[[nodiscard]] HBITMAP CreateDibFromFile(std::span<const std::uint8_t> data);

} // namespace platform

// Bitmap id (the name's low 16 bits, as MAKEINTRESOURCE passes it) of a language resource
// library; null when the module, its bundle or the bitmap is missing or the bitmap is invalid.
[[nodiscard]] HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name);

// Icon id (the name's low 16 bits) of a language resource library. An icon here is a bitmap
// object made from the icon's picture (a bitmap file); DestroyIcon frees it. Null as
// LoadBitmapW for a missing module, bundle or icon or an invalid picture.
[[nodiscard]] HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
// FALSE for a handle that is not an icon from LoadIconW (or is freed already).
BOOL DestroyIcon(HICON icon);

namespace platform {
// The icon's pixels (0x00RRGGBB, rows top-down); false for a handle that is not an icon.
[[nodiscard]] bool ReadIconPixels(HICON icon, std::vector<std::uint32_t>* pixels, int* width,
                                  int* height);
} // namespace platform
