// Style sheet streams.
#include "testdata/stylesheetwriter.h"

#include "testdata/detail/fileimage.h"

#include <algorithm>
#include <bit>
#include <cstddef>

namespace testdata {

namespace {

using Bytes = std::vector<std::uint8_t>;

void AppendFloat(Bytes& out, float v) {
    detail::AppendU32(out, std::bit_cast<std::uint32_t>(v));
}

struct Writer {
    int version;
    StyleSheetFault fault;
    Bytes out;
    std::optional<std::size_t> cutAt; // where the stream ends when the fault ends it early

    void Header(const StyleHeaderSpec& h) {
        detail::AppendU16(out, h.elementClass);
        detail::AppendU16(out, static_cast<std::uint16_t>(h.order));
        detail::AppendU16(out, h.reserved);
        if (version >= 3) {
            AppendFloat(out, h.maxScale);
        }
        if (version >= 5) {
            AppendFloat(out, h.labelScale);
        }
    }

    void Entry(const PenSpec& pen, bool) {
        Header(pen.header);
        detail::AppendU16(out, pen.width);
        detail::AppendU32(out, pen.colour);
        detail::AppendU16(out, pen.innerWidth);
        detail::AppendU32(out, pen.innerColour);
    }

    // The version 6 form: byte count, packed bitmap.
    void Packed(Bytes packed, bool isFaulty) {
        if (isFaulty && fault == StyleSheetFault::SymbolByteCountPastEnd) {
            detail::AppendU32(out, 0xFFFFFF00u);
            return;
        }
        if (isFaulty && fault == StyleSheetFault::PackedDibSizeMismatch) {
            packed.insert(packed.end(), 4, 0);
        }
        detail::AppendU32(out, static_cast<std::uint32_t>(packed.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }

    // The version 1 to 5 form: header, 64-byte colour table, u16 pixel count, pixels.
    void Old(const Bytes& packed, bool isFaulty) {
        out.insert(out.end(), packed.begin(), packed.begin() + 40);
        const std::uint32_t bitCount = packed[14];
        const std::uint32_t used = packed[32] | packed[33] << 8;
        const std::size_t colours = used != 0 ? used : bitCount <= 8 ? (1u << bitCount) : 0;
        // A colour table of more than 16 colours (a fault) has only 16 in the stream.
        const auto tableEnd = static_cast<long>(40 + std::min<std::size_t>(colours * 4, 64));
        Bytes table(packed.begin() + 40,
                    packed.begin() + std::min<long>(tableEnd, static_cast<long>(packed.size())));
        table.resize(64, 0);
        out.insert(out.end(), table.begin(), table.end());
        const Bytes pixels(packed.begin() +
                               std::min<long>(tableEnd, static_cast<long>(packed.size())),
                           packed.end());
        const bool isCut = isFaulty && fault == StyleSheetFault::PixelCountPastEnd;
        detail::AppendU16(out, static_cast<std::uint32_t>(pixels.size() + (isCut ? 100 : 0)));
        out.insert(out.end(), pixels.begin(), pixels.end());
        if (isCut) {
            cutAt = out.size();
        }
    }

    void Image(const std::optional<BitmapSpec>& spec, bool isFaulty) {
        if (!spec) {
            if (version >= 6) {
                detail::AppendU32(out, 0);
            } else {
                out.insert(out.end(), 40, 0);
            }
            return;
        }
        const Bytes packed = WritePackedDib(*spec);
        if (version >= 6) {
            Packed(packed, isFaulty);
        } else {
            Old(packed, isFaulty);
        }
    }

    void Entry(const SymbolSpec& symbol, bool isDefault) {
        Header(symbol.header);
        std::optional<BitmapSpec> image = symbol.image;
        const bool needsImage = fault == StyleSheetFault::SymbolByteCountPastEnd ||
                                fault == StyleSheetFault::PackedDibSizeMismatch ||
                                fault == StyleSheetFault::PaletteOver16Colours ||
                                fault == StyleSheetFault::PixelCountPastEnd;
        if (isDefault && needsImage) {
            image = BitmapSpec{2, 2, 1, false, false, {0x000000, 0xFFFFFF}, {0, 1, 1, 0}};
            if (fault == StyleSheetFault::PaletteOver16Colours) {
                image->bitCount = 8;
                image->palette.clear(); // 8 bits without used colours: 256
            }
        }
        Image(image, isDefault);
        if (image) {
            Image(symbol.mask, false);
        }
    }

    void Entry(const FontSpec& font, bool isDefault) {
        Header(font.header);
        if (isDefault && fault == StyleSheetFault::FaceNameLengthNegative) {
            detail::AppendU16(out, static_cast<std::uint16_t>(-3));
        } else if (isDefault && fault == StyleSheetFault::FaceNameLengthHuge) {
            detail::AppendU16(out, 131);
            out.insert(out.end(), 132, 'A');
        } else if (!font.faceName) {
            detail::AppendU16(out, 0);
        } else {
            detail::AppendU16(out, static_cast<std::uint32_t>(2 * font.faceName->size() + 1));
            for (const char16_t unit : *font.faceName) {
                detail::AppendU16(out, unit);
            }
            detail::AppendU16(out, 0);
        }
        AppendFloat(out, font.size);
        if (version == 1) {
            detail::AppendU16(out, font.styleFlags & 1u);
            detail::AppendU16(out, (font.styleFlags >> 1) & 1u);
        } else {
            detail::AppendU16(out, (font.styleFlags & 7u) | (font.fieldB & 31u) << 3 |
                                       (font.fieldA & 7u) << 8);
        }
        detail::AppendU16(out, font.fieldC);
        detail::AppendU32(out, font.textColour);
        if (version >= 2) {
            detail::AppendU32(out, font.haloColour);
        }
    }

    void Entry(const BrushSpec& brush, bool) {
        Header(brush.header);
        detail::AppendU32(out, brush.colour);
        if (version < 4) {
            return;
        }
        detail::AppendU32(out, brush.pattern ? 1 : 0);
        if (brush.pattern) {
            out.insert(out.end(), brush.pattern->begin(), brush.pattern->end());
        }
    }

    template <typename Spec> void List(const Spec& defaultEntry, const std::vector<Spec>& entries) {
        Entry(defaultEntry, true);
        detail::AppendU16(out, static_cast<std::uint32_t>(entries.size()));
        for (const Spec& entry : entries) {
            Entry(entry, false);
        }
    }
};

} // namespace

std::vector<std::uint8_t> StyleSheetWriter::Write(StyleSheetFault fault, int faultList) const {
    Writer w{version, fault, {}, std::nullopt};
    const char digit = fault == StyleSheetFault::TagDigit7 ? '7' : static_cast<char>('0' + version);
    const bool isLower = fault == StyleSheetFault::LowerCaseTag;
    w.out = {static_cast<std::uint8_t>(isLower ? 'm' : 'M'),
             static_cast<std::uint8_t>(isLower ? 'p' : 'P'),
             static_cast<std::uint8_t>(isLower ? 'l' : 'L'), static_cast<std::uint8_t>(digit)};
    std::array<std::size_t, 5> listStart{};
    listStart[0] = w.out.size();
    w.List(defaultPen, pens);
    listStart[1] = w.out.size();
    w.List(defaultSymbol, symbols);
    listStart[2] = w.out.size();
    w.List(defaultFont, fonts);
    const std::size_t fontsEnd = w.out.size();
    detail::AppendU32(w.out, background);
    const std::size_t backgroundEnd = w.out.size();
    listStart[3] = w.out.size();
    w.List(defaultBrush, brushes);
    listStart[4] = w.out.size();
    if (fault == StyleSheetFault::CutInList && faultList >= 0 && faultList < 4) {
        const auto list = static_cast<std::size_t>(faultList);
        w.cutAt = listStart[list] + (listStart[list + 1] - listStart[list]) / 2;
    } else if (fault == StyleSheetFault::NoBackground) {
        w.cutAt = fontsEnd;
    } else if (fault == StyleSheetFault::NoBrushList) {
        w.cutAt = backgroundEnd;
    }
    if (w.cutAt) {
        w.out.resize(*w.cutAt);
    }
    return w.out;
}

StyleSheetWriter DefaultStyleSheet(bool isNight) {
    StyleSheetWriter sheet;
    const auto pick = [isNight](std::uint32_t day, std::uint32_t night) {
        return isNight ? night : day;
    };
    sheet.background = pick(0xE8F0F0, 0x202830);
    sheet.defaultPen.colour = pick(0x808080, 0x606060);
    sheet.defaultFont.textColour = pick(0x000000, 0xE0E0E0);
    sheet.defaultFont.haloColour = pick(0xFFFFFF, 0x000000);
    sheet.defaultFont.size = 8;
    sheet.defaultBrush.colour = pick(0xD0D8D0, 0x303830);
    struct Road {
        std::uint16_t code;
        std::uint16_t width;
        std::uint32_t day;
        std::uint32_t night;
        float maxScale;   // drawn below it; 0 = at every scale
        float labelScale; // wide, with its inner line and its name or road number, below it
    };
    // COLORREF values (0x00BBGGRR): casing, then a lighter inner line. Motorways, trunk and
    // primary roads are drawn at every scale, wider than the lesser roads and named up to
    // region scales; the lesser roads are named below half the scale they vanish at.
    const Road roads[] = {
        {1010, 8, 0x0050C0, 0x0040A0, 0, 1000}, {1020, 7, 0x0080E0, 0x0060B0, 0, 500},
        {1030, 6, 0x00B0F0, 0x0080C0, 0, 250},  {1040, 5, 0x40D0F0, 0x3090B0, 200, 100},
        {1050, 4, 0x80E0F0, 0x5090A0, 100, 50}, {1060, 3, 0xA0A0A0, 0x707070, 50, 25},
        {1070, 3, 0xB0B0B0, 0x606060, 20, 10},  {1080, 3, 0xB0C0B0, 0x607060, 10, 5},
        {1090, 2, 0xC0C0C0, 0x505050, 5, 2.5F}, {1091, 4, 0x0080E0, 0x0060B0, 0, 0},
        {1092, 2, 0xC08040, 0x805020, 100, 50},
    };
    for (const Road& road : roads) {
        PenSpec pen;
        pen.header = {road.code, 0, 100, road.maxScale, road.labelScale};
        pen.width = road.width;
        pen.colour = pick(0x404040, 0x101010);
        pen.innerWidth = static_cast<std::uint16_t>(road.width - 2);
        pen.innerColour = pick(road.day, road.night);
        sheet.pens.push_back(pen);
    }
    // Areas of the test towns and the city points' label.
    sheet.brushes.push_back({{300, 0, 100, 0, 0}, pick(0xC0E0C0, 0x304030), std::nullopt});
    sheet.brushes.push_back({{500, 0, 100, 0, 0}, pick(0xF0C0A0, 0x504030), std::nullopt});
    sheet.brushes.push_back(
        {{700, 0, 100, 0, 0},
         pick(0xD0D0E0, 0x303040),
         std::array<std::uint8_t, 8>{0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA}});
    FontSpec city;
    city.header = {4000, 0, 100, 0, 0};
    city.faceName = u"Arial";
    city.size = 10;
    city.styleFlags = 1;
    city.textColour = pick(0x000000, 0xF0F0F0);
    city.haloColour = pick(0xFFFFFF, 0x000000);
    sheet.fonts.push_back(city);
    // Points of interest: 8 x 8 symbols of two colours on the transparent 0x008080.
    const std::uint32_t poiColours[] = {0x0000C0, 0xC00000, 0x00A000, 0x800080};
    for (std::uint16_t i = 0; i < 4; ++i) {
        SymbolSpec symbol;
        symbol.header = {static_cast<std::uint16_t>(5001 + i), 0, 100, 20, 10};
        BitmapSpec image{8, 8, 4, false, false, {0x008080, poiColours[i], 0xFFFFFF}, {}};
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const bool isEdge = x == 0 || y == 0 || x == 7 || y == 7;
                const bool isCorner = (x == 0 || x == 7) && (y == 0 || y == 7);
                image.pixels.push_back(isCorner ? 0u : isEdge ? 1u : 2u);
            }
        }
        symbol.image = image;
        sheet.symbols.push_back(symbol);
        FontSpec label = city;
        label.header = {static_cast<std::uint16_t>(5001 + i), 0, 100, 20, 10};
        label.size = 8;
        label.styleFlags = 0;
        sheet.fonts.push_back(label);
    }
    return sheet;
}

} // namespace testdata
