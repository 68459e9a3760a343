#pragma once
// Writes packed DIBs and bitmap files (".bmp", ".2bp") with 1 to 32 bits per pixel, optionally
// with one fault built in.

#include <cstdint>
#include <vector>

namespace testdata {

struct BitmapSpec {
    int width = 0;
    int height = 0;
    int bitCount = 24;                  // 1, 2, 4, 8, 16, 24 or 32
    bool isTopDown = false;             // rows are stored bottom-up unless set
    bool isBitfields = false;           // 16 bits: masks 5-6-5 instead of 5-5-5
    std::vector<std::uint32_t> palette; // 0x00RRGGBB, for up to 8 bits
    // Top row first: palette indices for up to 8 bits, else 0x00RRGGBB.
    std::vector<std::uint32_t> pixels;
};

enum class BitmapFault {
    None,
    PixelsShort,       // the last pixel byte is missing
    PaletteTooLong,    // biClrUsed is larger than the bit count allows
    PalettePastEnd,    // the colour table claims more entries than the data hold
    HeaderPastEnd,     // biSize is larger than the data
    BadBitCount,       // 3 bits per pixel
    HugeSize,          // 100000 x 100000 pixels
    PixelOffsetInside, // a file's pixel offset points into the colour table
    PixelOffsetPastEnd // a file's pixel offset points past the end
};

[[nodiscard]] std::vector<std::uint8_t> WritePackedDib(const BitmapSpec& spec,
                                                       BitmapFault fault = BitmapFault::None);
// The 14-byte file header ("BM", size, pixel offset) and the packed DIB.
[[nodiscard]] std::vector<std::uint8_t> WriteBitmapFile(const BitmapSpec& spec,
                                                        BitmapFault fault = BitmapFault::None);

// The colour the skin's bitmaps key out (0x00RRGGBB): magenta.
inline constexpr std::uint32_t kSkinKeyRgb = 0xFF00FF;
// A bitmap file of a button face as the skin draws them: a plate of one colour (0x00RRGGBB)
// whose four corner pixels are the key colour, keyed out where the face is drawn (its top-left
// pixel's colour), so that the plate shows round on any background.
[[nodiscard]] std::vector<std::uint8_t> WriteKeyedPlate(int width, int height, std::uint32_t rgb);

} // namespace testdata
