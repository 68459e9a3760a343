#pragma once
// Writes style sheet streams ("MPL1" to "MPL6") byte by byte from their layout, optionally with
// one fault built in, and the default day and night sheets for the element type codes.

#include "testdata/bitmapwriter.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

struct StyleHeaderSpec {
    std::uint16_t elementClass = 0xFFFF;
    std::int16_t order = 0; // negative: kept by the reader's caller, never written by a sheet
    std::uint16_t reserved = 0xFFFF;
    float maxScale = 0;   // written from version 3
    float labelScale = 0; // written from version 5
};

struct PenSpec {
    StyleHeaderSpec header;
    std::uint16_t width = 1;
    std::uint32_t colour = 0;
    std::uint16_t innerWidth = 0;
    std::uint32_t innerColour = 0;
};

struct SymbolSpec {
    StyleHeaderSpec header;
    std::optional<BitmapSpec> image; // written with WritePackedDib
    std::optional<BitmapSpec> mask;  // only written with an image
};

struct FontSpec {
    StyleHeaderSpec header;
    std::optional<std::u16string> faceName = u"Arial"; // none: length 0, the face is kept
    float size = 1.0F;
    std::uint32_t styleFlags = 0; // bold 1, italic 2, third flag 4
    std::uint16_t fieldA = 1;     // 3 bits (versions 2 to 6)
    std::uint16_t fieldB = 0;     // 5 bits (versions 2 to 6)
    std::uint16_t fieldC = 0;
    std::uint32_t textColour = 0;
    std::uint32_t haloColour = 0xFFFFFF; // from version 2
};

struct BrushSpec {
    StyleHeaderSpec header;
    std::uint32_t colour = 0;
    std::optional<std::array<std::uint8_t, 8>> pattern; // from version 4
};

enum class StyleSheetFault {
    None,
    TagDigit7,              // "MPL7"
    LowerCaseTag,           // "mpl" and the digit
    CutInList,              // the stream ends halfway through list faultList (0 pens .. 3 brushes)
    FaceNameLengthNegative, // the default font's face length is -3
    FaceNameLengthHuge,     // the default font's face length is 131, its 132 bytes follow
    SymbolByteCountPastEnd, // version 6: the default symbol's byte count runs past the end
    PackedDibSizeMismatch,  // the default symbol's packed bitmap has 4 bytes more than its header
    PaletteOver16Colours,   // versions 1-5: the default symbol is 8 bits with 256 colours
    PixelCountPastEnd,      // versions 1-5: the pixel count passes the end, where the stream ends
    NoBackground,           // the stream ends after the font list
    NoBrushList             // the stream ends after the background colour
};

struct StyleSheetWriter {
    int version = 6; // 1 to 6, the tag's digit
    PenSpec defaultPen;
    std::vector<PenSpec> pens;
    SymbolSpec defaultSymbol;
    std::vector<SymbolSpec> symbols;
    FontSpec defaultFont;
    std::vector<FontSpec> fonts;
    std::uint32_t background = 0xFFFFFF;
    BrushSpec defaultBrush;
    std::vector<BrushSpec> brushes;

    // Every entry listed, order -1 ones included, so that a stream can hold them.
    [[nodiscard]] std::vector<std::uint8_t> Write(StyleSheetFault fault = StyleSheetFault::None,
                                                  int faultList = 0) const;
};

// The sheet the painter's real-data test draws with: road classes 1010-1092 with inner lines,
// areas, points of interest 5001-5004 with symbols, city labels 4000; night swaps to dark colours.
[[nodiscard]] StyleSheetWriter DefaultStyleSheet(bool isNight);

} // namespace testdata
