// The highway drawing files: the line syntax with each of the writer's knobs, read from memory
// and from the device; joining two drawings, moving them to the origin and fitting them.
#include "junctionview/paint/drawingfile.h"
#include "testdata/drawingfilewriter.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using junctionview::Drawing;
using testdata::DrawingKnob;
using Segments = std::vector<JunctionSegment>;

// The two lines of the drawing numbered 16 in the file format's description.
const std::vector<testdata::DrawingLine> kFile16 = {{0, 0, 10, 0, 1}, {10, 0, 10, 5, 2}};

Drawing ParseBytes(const std::string& bytes, std::uint32_t firstId, bool* isTooLong = nullptr) {
    Drawing drawing;
    junctionview::DrawingParser parser(drawing, firstId);
    for (const char c : bytes) {
        if (!parser.Feed(static_cast<unsigned char>(c))) {
            break;
        }
    }
    if (isTooLong != nullptr) {
        *isTooLong = parser.IsTooLong();
    }
    return drawing;
}

TEST(DrawingFile, LinesBecomeSegmentsWithEveryKnob) {
    const struct {
        const char* name;
        DrawingKnob knob;
        Segments route;
        Segments side;
    } cases[] = {
        {"LF", DrawingKnob::None, {{0, 0, 0, 10, 0}}, {{1, 10, 0, 10, 5}}},
        {"CR LF", DrawingKnob::CrLf, {{0, 0, 0, 10, 0}}, {{1, 10, 0, 10, 5}}},
        // "10,0,10,2": y2 keeps the line before's 0, the text after the last comma is the flag.
        {"missing y2", DrawingKnob::MissingCoordinate, {{0, 0, 0, 10, 0}}, {{1, 10, 0, 10, 0}}},
        {"empty line",
         DrawingKnob::EmptyLine,
         {{0, 0, 0, 10, 0}},
         {{1, 10, 0, 10, 5}, {2, 10, 0, 10, 5}}},
        // "000000000000000010": the first 15 characters read 0.
        {"long field", DrawingKnob::LongField, {{0, 0, 0, 10, 0}}, {{1, 0, 0, 10, 5}}},
        // "10,0,10,5,2,7": the flag is the text after the last comma.
        {"sixth field", DrawingKnob::SixthField, {{0, 0, 0, 10, 0}}, {{1, 10, 0, 10, 5}}},
        {"no final line feed", DrawingKnob::NoFinalLineFeed, {{0, 0, 0, 10, 0}}, {}},
        {"no route segment",
         DrawingKnob::NoRouteSegment,
         {},
         {{0, 0, 0, 10, 0}, {1, 10, 0, 10, 5}}},
    };
    testdata::TempDeviceRoot root;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes = testdata::WriteDrawingFile(kFile16, c.knob);
        const Drawing parsed = ParseBytes(bytes, 0);
        EXPECT_EQ(parsed.route, c.route);
        EXPECT_EQ(parsed.side, c.side);

        ASSERT_TRUE(root.WriteFile(u"\\ConfigFiles\\HiWayImages\\Bitmap16.txt", bytes));
        Drawing read;
        std::uint32_t next = 0;
        ASSERT_EQ(
            junctionview::ReadDrawingFile(junctionview::DrawingFilePath(u"", 16), read, 0, &next),
            junctionview::DrawingRead::Read);
        EXPECT_EQ(read.route, c.route);
        EXPECT_EQ(read.side, c.side);
        EXPECT_EQ(next, c.route.size() + c.side.size());
    }
}

TEST(DrawingFile, RefusesLongFilesAndMissingPaths) {
    testdata::TempDeviceRoot root;
    const std::string many = testdata::WriteDrawingFile(kFile16, DrawingKnob::ManyLines);
    bool isTooLong = false;
    (void)ParseBytes(many, 0, &isTooLong);
    EXPECT_TRUE(isTooLong);
    ASSERT_TRUE(root.WriteFile(u"\\ConfigFiles\\HiWayImages\\Bitmap0.txt", many));
    ASSERT_TRUE(root.WriteFile(u"\\\u00c4\\ConfigFiles\\HiWayImages\\Bitmap5.txt",
                               testdata::WriteDrawingFile(kFile16)));
    const struct {
        std::u16string path;
        junctionview::DrawingRead expected;
    } cases[] = {
        {junctionview::DrawingFilePath(u"", 0), junctionview::DrawingRead::TooLong},
        {junctionview::DrawingFilePath(u"\\\u00e4", 5), junctionview::DrawingRead::Read},
        {junctionview::DrawingFilePath(u"", 17), junctionview::DrawingRead::Missing},
        {junctionview::DrawingFilePath(u"\\\u4e2d", 5), junctionview::DrawingRead::Missing},
        {std::u16string(u"\\x\0y.txt", 8), junctionview::DrawingRead::Missing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        Drawing drawing;
        drawing.side.push_back({9, 1, 1, 1, 1});
        EXPECT_EQ(junctionview::ReadDrawingFile(c.path, drawing, 0, nullptr), c.expected);
        EXPECT_EQ(drawing.side.size(), c.expected == junctionview::DrawingRead::Read ? 2u : 1u)
            << "nothing is appended unless the file is read";
    }
}

TEST(DrawingFile, JoinAndNormalise) {
    const struct {
        const char* name;
        std::string first;
        std::string second;
        Segments route;
        Segments side;
        std::array<float, 4> extent;
    } cases[] = {
        {"the file numbered 16",
         testdata::WriteDrawingFile(kFile16),
         "",
         {{0, 0, 0, 10, 0}},
         {{1, 10, 0, 10, 5}},
         {0, 0, 10, 5}},
        {"moved to the origin",
         testdata::WriteDrawingFile({{100, 50, 110, 50, 1}, {104, 42, 104, 50, 0}}),
         "",
         {{0, 0, 8, 10, 8}},
         {{1, 4, 0, 4, 8}},
         {0, 0, 10, 8}},
        // The offset (3.5 - 10, -2.25 - 5) truncates to (-6, -7).
        {"joined",
         testdata::WriteDrawingFile({{0, 0, 10, 5, 1}}),
         testdata::WriteDrawingFile({{3.5f, -2.25f, 3.5f, 10, 1}, {0, 0, 3.5f, -2.25f, 0}}),
         {{0, 0, 0, 10, 5}, {1, 9.5f, 4.75f, 9.5f, 17}},
         {{2, 6, 7, 9.5f, 4.75f}},
         {0, 0, 10, 17}},
        {"second without a route segment",
         testdata::WriteDrawingFile({{0, 0, 10, 5, 1}}),
         testdata::WriteDrawingFile({{20, 20, 30, 20, 0}}),
         {{0, 0, 0, 10, 5}},
         {{1, 20, 20, 30, 20}},
         {0, 0, 30, 20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Drawing drawing;
        junctionview::DrawingParser first(drawing, 0);
        for (const char byte : c.first) {
            (void)first.Feed(static_cast<unsigned char>(byte));
        }
        const std::size_t routes = drawing.route.size();
        const std::size_t sides = drawing.side.size();
        junctionview::DrawingParser second(drawing, first.NextId());
        for (const char byte : c.second) {
            (void)second.Feed(static_cast<unsigned char>(byte));
        }
        junctionview::JoinDrawing(drawing, routes, sides);
        junctionview::NormaliseDrawing(drawing);
        EXPECT_EQ(drawing.route, c.route);
        EXPECT_EQ(drawing.side, c.side);
        EXPECT_EQ(drawing.extent, c.extent);
    }
}

TEST(DrawingFile, FitKeepsProportionsCentred) {
    const struct {
        const char* name;
        std::array<float, 4> extent;
        JunctionRect rect;
        Segments route; // the diagonal of the extent
    } cases[] = {
        // bh = 25; W = 800 exceeds 200, so 200 x 50, centred vertically.
        {"4:1 into 200 x 200", {0, 0, 40, 10}, {0, 0, 200, 200}, {{0, 0, 75, 200, 125}}},
        {"1:4 into 200 x 200", {0, 0, 10, 40}, {0, 0, 200, 200}, {{0, 75, 0, 125, 200}}},
        {"offset rectangle", {0, 0, 40, 10}, {20, 10, 220, 210}, {{0, 20, 85, 220, 135}}},
        // 100 * 1 / 400 truncates to 0: nothing is mapped.
        {"no height", {0, 0, 400, 0}, {0, 0, 200, 200}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Drawing drawing;
        drawing.extent = c.extent;
        drawing.route.push_back({0, 0, 0, c.extent[2], c.extent[3]});
        Segments route{{7, 1, 1, 1, 1}};
        Segments side{{7, 1, 1, 1, 1}};
        junctionview::FitDrawing(drawing.route, drawing.side, drawing.extent, c.rect, route, side);
        EXPECT_EQ(route, c.route);
        EXPECT_TRUE(side.empty());
    }
}

} // namespace
