#include "testdata/levelfilewriter.h"
#include "testdata/mapsetwriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using testdata::ElementDescription;
using testdata::GridSketch;
using testdata::MapSetWriter;

ElementDescription Element(char letter, const MapRect& bounds = {}) {
    ElementDescription element;
    element.typeLetter = letter;
    element.bounds = bounds;
    return element;
}

std::uint32_t U16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8);
}

TEST(MapSetWriter, SplitsRootAndBlockCountIntoHalves) {
    const struct {
        std::uint32_t root, count, rootLow, rootHigh, countLow, countHigh;
    } cases[] = {
        {0x00010002, 70000, 0x0002, 0x0001, 4464, 1},
        {5, 9, 5, 0, 9, 0},
        {0xFFFFFFFF, 0x12345678, 0xFFFF, 0xFFFF, 0x5678, 0x1234},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.root);
        MapSetWriter writer;
        ASSERT_TRUE(writer.Add(Element('t')));
        testdata::RidHeaderFields header;
        header.root = c.root;
        header.blockCount = c.count;
        const auto files = writer.SetHeader(header).Build();
        EXPECT_EQ(U16(files.rid, 12), c.rootLow);
        EXPECT_EQ(U16(files.rid, 512), c.rootHigh);
        EXPECT_EQ(U16(files.rid, 14), c.countLow);
        EXPECT_EQ(U16(files.rid, 514), c.countHigh);
    }
}

TEST(MapSetWriter, OrientsSketchSegmentsFromFirstToSecondNode) {
    GridSketch sketch;
    sketch.rows = {"a.b", "...", "c.d"};
    sketch.spacing = 10;
    // One-way roads run along their segments: the raw direction code of one-way along.
    const struct {
        const char* nodes;
        char letter;
        GridSketch::Direction direction = GridSketch::Direction::TwoWay;
    } cases[] = {{"cb", 'l'}, {"dc", 'm'}, {"da", 'm'}, {"ad", 'o'},
                 {"bc", 'n'}, {"ac", 'n'}, {"ca", 'l'}, {"ca", 'l', GridSketch::Direction::OneWay}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nodes);
        MapSetWriter writer;
        sketch.roads = {{"Road", c.nodes}};
        sketch.roads[0].direction = c.direction;
        sketch.roads[0].attributes = maprecord::kRawNotDriven | maprecord::kRawRing;
        const auto indexes = writer.AddSketch(sketch);
        ASSERT_TRUE(indexes.has_value());
        ASSERT_EQ(indexes->size(), 1u);
        EXPECT_EQ(writer.GetElements()[0].typeLetter, c.letter);
        EXPECT_EQ(writer.GetElements()[0].attributes,
                  maprecord::kRawRing |
                      (c.direction == GridSketch::Direction::OneWay ? maprecord::kRawOneWayAlong
                                                                    : maprecord::kRawBothWays));
    }
    sketch.roads = {{"Road", "ax"}};
    MapSetWriter writer;
    EXPECT_FALSE(writer.AddSketch(sketch).has_value());
    EXPECT_EQ(MapSetWriter::NodePosition(sketch, 'b'), (MapPoint{20, 20}));
    EXPECT_EQ(MapSetWriter::NodePosition(sketch, 'c'), (MapPoint{0, 0}));
}

TEST(MapSetWriter, KeepsEachPointListInsideOnePage) {
    MapSetWriter writer;
    ElementDescription line = Element('p');
    for (std::int32_t i = 0; i < 300; ++i) {
        line.points.push_back({i, i});
    }
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(writer.Add(line));
    }
    line.points.resize(1100); // 4 + 8 * 1100 bytes: more than a page holds
    EXPECT_FALSE(writer.Add(line));
    const auto files = writer.Build();
    EXPECT_EQ(files.dat.size() % 8192, 0u);
    for (std::uint32_t id : writer.GetElementIds()) {
        // Each record's data offset: the page plus the list's size stays in its page.
        const std::size_t block = id >> 8;
        const std::size_t slot = id & 0xFF;
        const std::size_t record = block * 8192 + 8 + 32 * slot;
        const std::uint32_t offset =
            files.rid[record + 20] | (files.rid[record + 21] << 8) | (files.rid[record + 22] << 16);
        EXPECT_NE(offset, 0u);
        EXPECT_LE(offset % 8192 + 4 + 8 * 300, 8192u);
    }
}

} // namespace

namespace {

TEST(JunctionSketch, PutsEachArmsFlagsIntoTheRawBitsOfItsNibble) {
    const struct {
        testdata::LinkNibble kind;
        std::uint8_t flags;
        std::uint32_t raw;
    } cases[] = {
        {testdata::LinkNibble::A, 0b0001, 1u << 15}, {testdata::LinkNibble::A, 0b1111, 0xFu << 15},
        {testdata::LinkNibble::B, 0b1000, 1u << 29}, {testdata::LinkNibble::C, 0b0110, 0x6u << 21},
        {testdata::LinkNibble::C, 0xF0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(testdata::LinkAttributeBits(c.kind, c.flags), c.raw);
    }
    const testdata::GridSketch sketch =
        testdata::JunctionSketch(testdata::LinkNibble::B, {{'N', true, 1}, {'W', false, 8}});
    ASSERT_EQ(sketch.roads.size(), 2u);
    EXPECT_EQ(sketch.roads[0].nodes, "JN");
    EXPECT_EQ(sketch.roads[1].nodes, "WJ");
    EXPECT_EQ(sketch.roads[1].attributes, 1u << 29);
    EXPECT_EQ(testdata::MapSetWriter::NodePosition(sketch, 'J'), (MapPoint{1000, 1000}));
}

TEST(LevelFileWriter, WritesLinesWithTheirEndings) {
    const struct {
        testdata::LevelFileWriter writer;
        std::string text;
    } cases[] = {
        {testdata::LevelFileWriter().AddMapLine("Europe.rid", "Europe", 3, "x"),
         "Europe.rid Europe 3 x\n"},
        {testdata::LevelFileWriter().SetCrLf(true).AddBlankLine().AddIsoLine("A.rid"),
         "\r\nA.rid Map.iso 0 x\r\n"},
        {testdata::LevelFileWriter().AddLine("as written"), "as written\n"},
        {testdata::LevelFileWriter(), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.writer.Build(), c.text);
    }
}

} // namespace
