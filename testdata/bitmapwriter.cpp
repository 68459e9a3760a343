// Packed DIBs and bitmap files.
#include "testdata/bitmapwriter.h"

#include "testdata/detail/fileimage.h"

#include <algorithm>
#include <cstddef>

namespace testdata {

namespace {

std::vector<std::uint8_t> Row(const BitmapSpec& spec, int y) {
    const std::size_t stride =
        (static_cast<std::size_t>(spec.width) * static_cast<std::size_t>(spec.bitCount) + 31) / 32 *
        4;
    std::vector<std::uint8_t> row(stride, 0);
    for (int x = 0; x < spec.width; ++x) {
        const std::size_t at = static_cast<std::size_t>(y) * spec.width + x;
        const std::uint32_t p = at < spec.pixels.size() ? spec.pixels[at] : 0;
        const std::uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        switch (spec.bitCount) {
        case 16: {
            const std::uint32_t v = spec.isBitfields
                                        ? ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                                        : ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
            row[x * 2] = static_cast<std::uint8_t>(v);
            row[x * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
            break;
        }
        case 24:
        case 32: {
            const std::size_t n = static_cast<std::size_t>(spec.bitCount / 8);
            row[x * n] = static_cast<std::uint8_t>(b);
            row[x * n + 1] = static_cast<std::uint8_t>(g);
            row[x * n + 2] = static_cast<std::uint8_t>(r);
            break;
        }
        default: {
            const int bit = x * spec.bitCount;
            const int shift = 8 - spec.bitCount - (bit % 8);
            row[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(p << shift);
            break;
        }
        }
    }
    return row;
}

} // namespace

std::vector<std::uint8_t> WritePackedDib(const BitmapSpec& spec, BitmapFault fault) {
    std::vector<std::uint8_t> out;
    const bool hasMasks = spec.isBitfields && spec.bitCount == 16;
    detail::AppendU32(out, 40);
    detail::AppendU32(
        out, static_cast<std::uint32_t>(fault == BitmapFault::HugeSize ? 100000 : spec.width));
    const int height = fault == BitmapFault::HugeSize ? 100000 : spec.height;
    detail::AppendU32(out, static_cast<std::uint32_t>(spec.isTopDown ? -height : height));
    detail::AppendU16(out, 1);
    detail::AppendU16(
        out, fault == BitmapFault::BadBitCount ? 3u : static_cast<std::uint32_t>(spec.bitCount));
    detail::AppendU32(out, hasMasks ? 3u : 0u);
    detail::AppendU32(out, 0);
    detail::AppendU32(out, 2835);
    detail::AppendU32(out, 2835);
    std::uint32_t used = static_cast<std::uint32_t>(spec.palette.size());
    if (fault == BitmapFault::PaletteTooLong)
        used = (1u << spec.bitCount) + 1;
    if (fault == BitmapFault::PalettePastEnd)
        used = 0x10000000;
    detail::AppendU32(out, used);
    detail::AppendU32(out, 0);
    if (hasMasks) {
        detail::AppendU32(out, 0xF800);
        detail::AppendU32(out, 0x07E0);
        detail::AppendU32(out, 0x001F);
    }
    for (std::uint32_t colour : spec.palette)
        detail::AppendU32(out, colour & 0xFFFFFF);
    for (int i = 0; i < spec.height; ++i) {
        const int y = spec.isTopDown ? i : spec.height - 1 - i;
        const std::vector<std::uint8_t> row = Row(spec, y);
        out.insert(out.end(), row.begin(), row.end());
    }
    if (fault == BitmapFault::PixelsShort && !out.empty())
        out.pop_back();
    if (fault == BitmapFault::HeaderPastEnd)
        detail::PutU32(out, 0, static_cast<std::uint32_t>(out.size() + 1));
    return out;
}

std::vector<std::uint8_t> WriteBitmapFile(const BitmapSpec& spec, BitmapFault fault) {
    const std::vector<std::uint8_t> dib = WritePackedDib(spec, fault);
    const std::size_t table =
        40 + (spec.isBitfields && spec.bitCount == 16 ? 12 : 0) + spec.palette.size() * 4;
    std::uint32_t offset = static_cast<std::uint32_t>(14 + table);
    if (fault == BitmapFault::PixelOffsetInside)
        offset = 14 + 40;
    if (fault == BitmapFault::PixelOffsetPastEnd)
        offset = static_cast<std::uint32_t>(14 + dib.size() + 1);
    std::vector<std::uint8_t> out = {'B', 'M'};
    detail::AppendU32(out, static_cast<std::uint32_t>(14 + dib.size()));
    detail::AppendU32(out, 0);
    detail::AppendU32(out, offset);
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

std::vector<std::uint8_t> WriteKeyedPlate(int width, int height, std::uint32_t rgb) {
    BitmapSpec spec;
    spec.width = std::max(width, 1);
    spec.height = std::max(height, 1);
    const auto w = static_cast<std::size_t>(spec.width);
    const auto h = static_cast<std::size_t>(spec.height);
    spec.pixels.assign(w * h, rgb);
    for (const std::size_t corner : {std::size_t{0}, w - 1, (h - 1) * w, h * w - 1})
        spec.pixels[corner] = kSkinKeyRgb;
    return WriteBitmapFile(spec);
}

} // namespace testdata
