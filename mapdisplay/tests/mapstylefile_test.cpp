#include "mapdisplay/mapstylefile.h"
#include "testdata/memorybytefile.h"
#include "testdata/stylesheetwriter.h"

#include "platform/kernel/debug.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <limits>
#include <string>

namespace {

using testdata::StyleSheetFault;
using testdata::StyleSheetWriter;

constexpr float kLargest = std::numeric_limits<float>::max();

testdata::BitmapSpec Image(int bitCount) {
    testdata::BitmapSpec spec{3, 2, bitCount, false, false, {}, {}};
    if (bitCount <= 8) {
        spec.palette = {0x008080, 0xFF0000, 0x00FF00};
        spec.pixels = {0, 1, 2, 2, 1, 0};
        if (bitCount == 1) {
            spec.palette.pop_back();
            spec.pixels = {0, 1, 1, 1, 1, 0};
        }
    } else {
        spec.pixels = {0x008080, 0xFF0000, 0x008080, 0x123456, 0x008080, 0xFFFFFF};
    }
    return spec;
}

// One entry of every kind, every field set, an order -1 entry in each list.
StyleSheetWriter FullSheet(int version) {
    StyleSheetWriter w;
    w.version = version;
    w.defaultPen = {{7, 1, 2, 3.5F, 1.25F}, 2, 0x010203, 1, 0x040506};
    w.pens = {{{1010, 2, 100, 500, 100}, 7, 0x0050C0, 5, 0x00B0F0},
              {{1020, -1, 100, 0, 0}, 3, 0x111111, 0, 0}};
    w.defaultSymbol = {{8, 0, 9, 0, 0}, std::nullopt, std::nullopt};
    if (version == 6) {
        w.symbols = {{{5001, 0, 100, 20, 0}, Image(24), Image(1)},
                     {{5002, 0, 100, 0, 0}, Image(8), std::nullopt},
                     {{5003, -1, 100, 0, 0}, Image(4), std::nullopt}};
    } else {
        w.symbols = {{{5001, 0, 100, 20, 0}, Image(4), Image(1)},
                     {{5002, 0, 100, 0, 0}, Image(24), std::nullopt}};
    }
    w.defaultFont = {{0, 0, 0, 0, 0}, u"Tahoma", 9.5F, 1, 5, 17, 0xABCD, 0x123456, 0x654321};
    w.fonts = {{{4000, 3, 100, 40, 10}, u"Arial", 10, 7, 2, 31, 0xFFFF, 0x0, 0xFFFFFF},
               {{4001, -1, 100, 0, 0}, std::nullopt, 8, 2, 0, 0, 0, 0x1, 0x2}};
    w.background = 0x0E0D0C;
    w.defaultBrush = {{9, 0, 0, 0, 0}, 0x777777, std::nullopt};
    w.brushes = {{{300, 0, 100, 1000, 0}, 0xC0E0C0, std::nullopt},
                 {{700, 0, 100, 0, 0},
                  0xD0D0E0,
                  std::array<std::uint8_t, 8>{0x55, 0xAA, 0x55, 0xAA, 0x01, 0x80, 0xFF, 0x00}}};
    return w;
}

bool LoadBytes(MapStyleFile& sheet, const std::vector<std::uint8_t>& bytes) {
    testdata::MemoryByteFile file(bytes);
    return sheet.Load(file);
}

float Halved(float maxScale, float labelScale, int version) {
    const float label = version >= 5 ? labelScale : 0;
    return label == 0 ? (version >= 3 ? maxScale : 0) / 2 : label;
}

void ExpectHeader(const StyleHeader& h, const testdata::StyleHeaderSpec& s, int version) {
    EXPECT_EQ(h.elementClass, s.elementClass);
    EXPECT_EQ(h.order, s.order);
    EXPECT_EQ(h.reserved, s.reserved);
    EXPECT_EQ(h.maxScale, version >= 3 ? s.maxScale : 0);
    EXPECT_EQ(h.labelScale, Halved(s.maxScale, s.labelScale, version));
}

TEST(MapStyleFileLoad, ReadsEveryEntryKindOfEveryVersionExactly) {
    for (int version = 1; version <= 6; ++version) {
        SCOPED_TRACE(version);
        const StyleSheetWriter w = FullSheet(version);
        MapStyleFile sheet;
        ASSERT_TRUE(LoadBytes(sheet, w.Write()));
        ASSERT_EQ(sheet.pens.Count(), 2U);
        ExpectHeader(sheet.pens.At(0).header, w.pens[0].header, version);
        EXPECT_EQ(sheet.pens.Get(1010).innerColour, 0x00B0F0U);
        EXPECT_EQ(sheet.pens.Get(1010).innerWidth, 5);
        EXPECT_EQ(sheet.pens.Get(1015).colour, 0x010203U); // the default entry
        ExpectHeader(sheet.pens.DefaultEntry().header, w.defaultPen.header, version);

        ASSERT_EQ(sheet.symbols.Count(), w.symbols.size());
        const SymbolStyle& symbol = sheet.symbols.Get(5001);
        EXPECT_EQ(
            std::vector<std::uint8_t>(symbol.image.Bytes().begin(), symbol.image.Bytes().end()),
            testdata::WritePackedDib(*w.symbols[0].image));
        EXPECT_EQ(std::vector<std::uint8_t>(symbol.mask.Bytes().begin(), symbol.mask.Bytes().end()),
                  testdata::WritePackedDib(*w.symbols[0].mask));
        EXPECT_TRUE(sheet.symbols.Get(5002).mask.IsEmpty());
        EXPECT_TRUE(sheet.symbols.DefaultEntry().image.IsEmpty());

        const FontStyle& font = sheet.fonts.DefaultEntry();
        EXPECT_EQ(font.faceName, u"Tahoma");
        EXPECT_EQ(font.size, 9.5F);
        EXPECT_EQ(font.styleFlags, 1U);
        EXPECT_EQ(font.fieldA, version == 1 ? 1U : 5U);
        EXPECT_EQ(font.fieldB, version == 1 ? 0U : 17U);
        EXPECT_EQ(font.fieldC, 0xABCDU);
        EXPECT_EQ(font.textColour, 0x123456U);
        EXPECT_EQ(font.haloColour, version == 1 ? 0xFFFFFFU : 0x654321U);
        const FontStyle& city = sheet.fonts.Get(4000);
        EXPECT_EQ(city.styleFlags, version == 1 ? 3U : 7U); // v1 has no third flag
        EXPECT_EQ(sheet.fonts.Get(4001).faceName, u"");     // length 0 leaves the fresh face

        EXPECT_EQ(sheet.background, 0x0E0D0CU);
        ASSERT_EQ(sheet.brushes.Count(), 2U);
        EXPECT_EQ(sheet.brushes.Get(700).colour, 0xD0D0E0U);
        EXPECT_EQ(sheet.brushes.Get(700).pattern.has_value(), version >= 4);
        if (version >= 4) {
            EXPECT_EQ(*sheet.brushes.Get(700).pattern, *w.brushes[1].pattern);
        }
        EXPECT_FALSE(sheet.brushes.Get(300).pattern.has_value());
    }
}

TEST(MapStyleFileSave, RoundTripsVersion6ByteForByteWithoutOrderMinusOneEntries) {
    StyleSheetWriter w = FullSheet(6);
    // A label scale of 0 is read as half the max scale and saved so.
    for (testdata::SymbolSpec& symbol : w.symbols) {
        symbol.header.labelScale = symbol.header.maxScale == 0 ? 0 : 9;
    }
    w.brushes[0].header.labelScale = 33;
    MapStyleFile sheet;
    ASSERT_TRUE(LoadBytes(sheet, w.Write()));
    EXPECT_EQ(sheet.pens.Count(), 2U); // order -1 entries stay in memory
    EXPECT_EQ(sheet.pens.GetMaxOrder(), 2);
    for (const int version : {6, 0}) {
        SCOPED_TRACE(version);
        testdata::MemoryByteFile out;
        ASSERT_TRUE(sheet.Save(out, version));
        StyleSheetWriter kept = w;
        kept.pens.pop_back();
        kept.symbols.pop_back();
        kept.fonts.pop_back();
        EXPECT_EQ(out.Bytes(), kept.Write());
    }
}

TEST(MapStyleFileSave, FailsOnOldSymbolsAndOnShortWrites) {
    MapStyleFile sheet;
    ASSERT_TRUE(LoadBytes(sheet, FullSheet(6).Write()));
    for (int version = 1; version <= 5; ++version) {
        SCOPED_TRACE(version);
        testdata::MemoryByteFile out;
        EXPECT_FALSE(sheet.Save(out, version));
        // Tag, the pen list without its order -1 entry, then the symbol list's default header.
        StyleSheetWriter pensOnly;
        pensOnly.version = version;
        pensOnly.defaultPen = FullSheet(6).defaultPen;
        pensOnly.pens = {FullSheet(6).pens[0]};
        pensOnly.defaultSymbol = FullSheet(6).defaultSymbol;
        const std::size_t headerBytes = version >= 5 ? 14 : version >= 3 ? 10 : 6;
        const std::size_t penListEnd = 4 + 2 * (headerBytes + 12) + 2;
        ASSERT_EQ(out.Bytes().size(), penListEnd + headerBytes);
        const std::vector<std::uint8_t> expected = pensOnly.Write();
        EXPECT_TRUE(std::equal(out.Bytes().begin(), out.Bytes().begin() + penListEnd + 6,
                               expected.begin()));
    }
    testdata::MemoryByteFile whole;
    ASSERT_TRUE(sheet.Save(whole, 6));
    for (std::size_t limit :
         {std::size_t{0}, std::size_t{3}, std::size_t{40}, whole.Bytes().size() - 1}) {
        SCOPED_TRACE(limit);
        testdata::MemoryByteFile out;
        out.SetWriteLimit(limit);
        EXPECT_FALSE(sheet.Save(out, 6));
    }
    testdata::MemoryByteFile out;
    EXPECT_FALSE(sheet.Save(out, 7));
}

TEST(MapStyleFileLoad, RefusesEveryFaultWithoutReadingPastTheStream) {
    const struct {
        StyleSheetFault fault;
        int version;
        int list;
        bool loads;
    } cases[] = {
        {StyleSheetFault::TagDigit7, 6, 0, false},
        {StyleSheetFault::LowerCaseTag, 6, 0, false},
        {StyleSheetFault::CutInList, 6, 0, false},
        {StyleSheetFault::CutInList, 6, 1, false},
        {StyleSheetFault::CutInList, 3, 2, false},
        {StyleSheetFault::CutInList, 6, 3, true}, // the brush list is optional
        {StyleSheetFault::FaceNameLengthNegative, 6, 0, false},
        {StyleSheetFault::FaceNameLengthHuge, 2, 0, false},
        {StyleSheetFault::SymbolByteCountPastEnd, 6, 0, false},
        {StyleSheetFault::PackedDibSizeMismatch, 6, 0, false},
        {StyleSheetFault::PackedDibSizeMismatch, 5, 0, true}, // no byte count in the old form
        {StyleSheetFault::PaletteOver16Colours, 4, 0, false},
        {StyleSheetFault::PixelCountPastEnd, 1, 0, false},
        {StyleSheetFault::NoBackground, 6, 0, true},
        {StyleSheetFault::NoBrushList, 6, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault) * 100 + c.version * 10 + c.list);
        StyleSheetWriter w = FullSheet(c.version);
        MapStyleFile sheet;
        EXPECT_EQ(LoadBytes(sheet, w.Write(c.fault, c.list)), c.loads);
    }
}

TEST(MapStyleFileLoad, KeepsWhiteBackgroundAndWholeBrushesOfAShortTail) {
    StyleSheetWriter w = FullSheet(6);
    MapStyleFile sheet;
    ASSERT_TRUE(LoadBytes(sheet, w.Write(StyleSheetFault::NoBackground)));
    EXPECT_EQ(sheet.background, 0xFFFFFFU);
    EXPECT_EQ(sheet.brushes.Count(), 0U);
    ASSERT_TRUE(LoadBytes(sheet, w.Write(StyleSheetFault::CutInList, 3)));
    EXPECT_EQ(sheet.background, 0x0E0D0CU);
    EXPECT_LE(sheet.brushes.Count(), 1U); // the entry cut in half is dropped
    for (std::size_t i = 0; i < sheet.brushes.Count(); ++i) {
        EXPECT_EQ(sheet.brushes.At(i).colour, 0xC0E0C0U);
    }
}

TEST(MapStyleFileLoad, LoadsTheDefaultSheetsAndFailsOnAMissingFile) {
    for (const bool isNight : {false, true}) {
        MapStyleFile sheet;
        ASSERT_TRUE(LoadBytes(sheet, testdata::DefaultStyleSheet(isNight).Write()));
        EXPECT_NE(sheet.pens.Get(1010).innerWidth, 0);
        EXPECT_FALSE(sheet.symbols.Get(5004).image.IsEmpty());
        EXPECT_EQ(sheet.fonts.Get(4000).styleFlags, kFontBold);
    }
    MapStyleFile sheet;
    EXPECT_FALSE(sheet.LoadFile(u"/no/such/folder/day.sty"));
}

// The line a road class draws at a view scale (metres per pixel) as the sheet and its scale
// table give it: none from its max scale up, a one-pixel line above its label scale, else its
// outer and inner widths.
struct DrawnRoadLine {
    int outer;
    int inner;
};

DrawnRoadLine RoadLineAt(const MapStyleFile& sheet, const std::vector<ScaleRow>& table,
                         std::uint16_t roadClass, float scale) {
    const ScaleRow& row = table.at(roadClass);
    if (!(row.maxScale > scale)) {
        return {0, 0};
    }
    if (row.labelScale < scale) {
        return {1, 0};
    }
    const PenStyle& pen = sheet.pens.Get(roadClass);
    return {pen.width, pen.innerWidth};
}

struct RoadScaleBand {
    const char* band;
    float scale;      // metres per pixel
    bool mustBeNamed; // names or road numbers of motorway, trunk and primary roads shown
};

constexpr RoadScaleBand kRoadScaleBands[] = {
    {"street", 0.5F, true},   {"street", 1, true},      {"town", 2, true},
    {"town", 5, true},        {"town", 10, true},       {"town", 20, true},
    {"region", 50, true},     {"region", 100, true},    {"region", 200, true},
    {"country", 1000, false}, {"country", 5000, false}, {"country", 100000, false},
};

// The major road's line is at least as wide as the lesser road's in every band, wider in one.
void ExpectWiderRoad(const MapStyleFile& sheet, const std::vector<ScaleRow>& table,
                     std::uint16_t major, std::uint16_t lesser) {
    bool isWiderSomewhere = false;
    for (const RoadScaleBand& band : kRoadScaleBands) {
        SCOPED_TRACE(std::to_string(major) + " against " + std::to_string(lesser) + " at " +
                     std::to_string(band.scale) + " m per pixel");
        const DrawnRoadLine line = RoadLineAt(sheet, table, major, band.scale);
        const DrawnRoadLine other = RoadLineAt(sheet, table, lesser, band.scale);
        EXPECT_GE(line.outer, other.outer);
        EXPECT_GE(line.inner, other.inner);
        isWiderSomewhere = isWiderSomewhere || line.outer > other.outer;
    }
    EXPECT_TRUE(isWiderSomewhere) << major << " is nowhere wider than " << lesser;
}

TEST(DefaultStyleSheet, DrawsMajorRoadsWidestAndNamesThemAtTownAndRegionScales) {
    const std::uint16_t majorRoads[] = {1010, 1020, 1030};
    const std::uint16_t lesserRoads[] = {1040, 1050, 1060, 1070, 1080, 1090};
    for (const bool isNight : {false, true}) {
        SCOPED_TRACE(isNight ? "night" : "day");
        MapStyleFile sheet;
        ASSERT_TRUE(LoadBytes(sheet, testdata::DefaultStyleSheet(isNight).Write()));
        std::vector<ScaleRow> table;
        BuildScaleTable(sheet, table);
        ASSERT_GT(table.size(), 1090U);
        for (const std::uint16_t major : majorRoads) {
            for (const RoadScaleBand& band : kRoadScaleBands) {
                EXPECT_TRUE(!band.mustBeNamed || table[major].labelScale > band.scale)
                    << major << " unnamed at " << band.scale << " m per pixel (" << band.band
                    << ")";
            }
            for (const std::uint16_t lesser : lesserRoads) {
                ExpectWiderRoad(sheet, table, major, lesser);
            }
        }
    }
}

TEST(ScaleTable, TakesSymbolThenPenThenBrushAndMarksScaleZeroAsLargest) {
    MapStyleFile sheet;
    SymbolStyle symbol;
    symbol.header = {20, 0, 100, 100, 30};
    sheet.symbols.Add(symbol);
    symbol.header = {4, 0, 100, 0, 5};
    sheet.symbols.Add(symbol);
    PenStyle pen;
    pen.header = {20, 0, 100, 200, 40};
    sheet.pens.Add(pen);
    pen.header = {6, 0, 100, 7, 2};
    sheet.pens.Add(pen);
    BrushStyle brush;
    brush.header = {6, 0, 100, 0, 1};
    sheet.brushes.Add(brush);
    std::vector<ScaleRow> table;
    BuildScaleTable(sheet, table);
    ASSERT_EQ(table.size(), 21U);
    EXPECT_EQ(table[0], (ScaleRow{kLargest, 0, 0}));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(table[4].maxScale), 0x7F7FFFFFU);
    EXPECT_EQ(table[4], (ScaleRow{kLargest, 5, 10}));
    EXPECT_EQ(table[6], (ScaleRow{kLargest, 1, 2})); // the brush over the pen
    EXPECT_EQ(table[20], (ScaleRow{200, 40, 80}));   // the pen over the symbol
    MapStyleFile small;
    pen.header = {3, 0, 100, 9, 1};
    small.pens.Add(pen);
    BuildScaleTable(small, table);
    EXPECT_EQ(table.size(), 21U); // never shrinks
    EXPECT_EQ(table[3], (ScaleRow{9, 1, 2}));
    EXPECT_EQ(table[20], (ScaleRow{kLargest, 0, 0}));
}

TEST(StyleList, IndexesByClassAndFallsBackToTheDefault) {
    PenStyleList list;
    list.DefaultEntry().width = 9;
    list.SetClassAt(2, 12); // grows with fresh entries
    EXPECT_EQ(list.Count(), 3U);
    EXPECT_EQ(list.GetClassAt(0), 0xFFFF);
    EXPECT_EQ(list.Get(12).width, 0);
    list.SetClassAt(0, 10);
    list.SetClassAt(1, 11);
    EXPECT_EQ(&list.Get(11), &list.At(1));
    list.Remove(1);
    EXPECT_EQ(list.Get(11).width, 9);
    EXPECT_EQ(&list.Get(12), &list.At(1));
    EXPECT_EQ(list.Get(9).width, 9);
    EXPECT_EQ(list.Get(70000).width, 9);
    PenStyle pen;
    pen.Reset();
    EXPECT_EQ(pen.width, 1);
    EXPECT_EQ(pen.header.reserved, 100);
}

} // namespace
