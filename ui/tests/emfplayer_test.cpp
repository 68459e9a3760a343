#include "testdata/emfwriter.h"
#include "testdata/tempdir.h"
#include "ui/emfplayer.h"

#include "platform/gdi/tests/gditesting.h"
#include "platform/gdi/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using gditesting::Canvas;
using testdata::EmfFault;
using testdata::EmfWriter;

const std::filesystem::path kTestFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

bool PlayInto(const std::vector<std::uint8_t>& file, HDC dc, RECT rect) {
    std::unique_ptr<EmfPlayer> player = EmfPlayer::Create();
    return player->LoadBytes(file.data(), file.size()) && player->Play(dc, rect);
}

// Box of the pixels that are not white: left, top, right, bottom inclusive; all -1 if none.
RECT InkBox(const Canvas& canvas, int width, int height) {
    RECT box{-1, -1, -1, -1};
    const std::vector<std::string> rows = canvas.Picture();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (rows[y][x] == '.')
                continue;
            if (box.left < 0) {
                box = RECT{x, y, x, y};
            }
            box.left = std::min<LONG>(box.left, x);
            box.right = std::max<LONG>(box.right, x);
            box.top = std::min<LONG>(box.top, y);
            box.bottom = std::max<LONG>(box.bottom, y);
        }
    }
    return box;
}

EmfWriter BlackTools() {
    EmfWriter w;
    w.CreatePen(1, 0, 0, 0x000000).CreateBrush(2, 0, 0x000000).SelectObject(1).SelectObject(2);
    return w;
}

TEST(EmfPlayerTest, MapsTheWindowOntoTheTarget) {
    struct Case {
        const char* name;
        bool setsExtent;
        int extentX, extentY, originX, originY;
        RECT target;
        RECT logical;  // a filled rectangle
        RECT expected; // its pixels, inclusive
    };
    const Case cases[] = {
        {"(100, 0) lands on (60, 10)",
         true,
         100,
         100,
         0,
         0,
         {10, 10, 60, 60},
         {50, 0, 100, 40},
         {35, 10, 59, 29}},
        {"no extent maps 1:1", false, 0, 0, 0, 0, {10, 10, 60, 60}, {2, 3, 6, 8}, {12, 13, 15, 17}},
        {"extent 0 maps 1:1", true, 0, 0, 0, 0, {10, 10, 60, 60}, {2, 3, 6, 8}, {12, 13, 15, 17}},
        {"origin moves the window",
         true,
         100,
         100,
         50,
         50,
         {0, 0, 50, 50},
         {50, 50, 100, 100},
         {0, 0, 24, 24}},
        {"truncates after multiplying",
         true,
         3,
         3,
         0,
         0,
         {0, 0, 10, 10},
         {1, 1, 2, 2},
         {3, 3, 5, 5}},
        {"left of the origin truncates toward zero",
         true,
         100,
         100,
         10,
         0,
         {20, 0, 70, 50},
         {3, 0, 20, 10},
         {17, 0, 24, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmfWriter w = BlackTools();
        if (c.setsExtent)
            w.SetWindowExtent(c.extentX, c.extentY);
        w.SetWindowOrigin(c.originX, c.originY);
        w.Rectangle(c.logical.left, c.logical.top, c.logical.right, c.logical.bottom);
        Canvas canvas(80, 80);
        ASSERT_TRUE(PlayInto(w.Build(), canvas.dc(), c.target));
        const RECT box = InkBox(canvas, 80, 80);
        EXPECT_EQ(box.left, c.expected.left);
        EXPECT_EQ(box.top, c.expected.top);
        EXPECT_EQ(box.right, c.expected.right);
        EXPECT_EQ(box.bottom, c.expected.bottom);
    }
}

TEST(EmfPlayerTest, DrawsLinesShapesAndStockObjects) {
    struct Case {
        const char* name;
        EmfWriter picture;
        std::vector<std::string> expected;
    };
    EmfWriter path = BlackTools();
    path.MoveTo(1, 1).LineTo(8, 1).LineTo(8, 6).LineTo(1, 6);
    EmfWriter stock;
    stock.CreatePen(1, 0, 0, 0x0000FF)
        .SelectObject(1)
        .SelectObject(0x80000007u)
        .SelectObject(0x80000005u)
        .Rectangle(1, 1, 5, 4);
    EmfWriter polygons = BlackTools();
    polygons.PolyPolyline({{{0, 0}, {3, 0}}, {{5, 2}, {9, 2}}}).Polyline({{1, 4}, {1, 7}});
    EmfWriter deleted = BlackTools();
    deleted.CreatePen(3, 0, 0, 0x0000FF).DeleteObject(3).SelectObject(3).Rectangle(1, 1, 4, 3);
    const Case cases[] = {
        {"line-to records join",
         path,
         {"..........", ".########.", "........#.", "........#.", "........#.", "........#.",
          "..#######.", ".........."}},
        {"stock black pen and null brush",
         stock,
         {"..........", ".####.....", ".#..#.....", ".####.....", "..........", "..........",
          "..........", ".........."}},
        {"poly-polyline parts stay apart",
         polygons,
         {"###.......", "..........", ".....####.", "..........", ".#........", ".#........",
          ".#........", ".........."}},
        {"a deleted pen is not used again by this play",
         deleted,
         {"..........", ".###......", ".###......", "..........", "..........", "..........",
          "..........", ".........."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(10, 8);
        ASSERT_TRUE(PlayInto(c.picture.Build(), canvas.dc(), RECT{0, 0, 10, 8}));
        EXPECT_EQ(canvas.Picture(), c.expected);
    }
}

TEST(EmfPlayerTest, PlacesTextByItsAlignment) {
    platform::SetFontFile(kTestFont);
    struct Case {
        std::uint32_t align;
        int centreX, centreY; // of the ink box, -1 where not checked
        int left, right;      // ink edges, -1 where not checked
    };
    const Case cases[] = {
        {6, 32, 32, -1, -1},
        {2, -1, -1, -1, 32},
        {0, -1, -1, 32, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.align);
        EmfWriter w;
        w.SetWindowExtent(64, 64)
            .CreateFont(1, -20, 400, 3, u"Arial")
            .SelectObject(1)
            .SetBkMode(1)
            .SetTextAlign(c.align)
            .TextOut(32, 32, u"HIH");
        Canvas canvas(64, 64);
        ASSERT_TRUE(PlayInto(w.Build(), canvas.dc(), RECT{0, 0, 64, 64}));
        const RECT ink = InkBox(canvas, 64, 64);
        ASSERT_GE(ink.left, 0);
        if (c.centreX >= 0) {
            EXPECT_NEAR((ink.left + ink.right + 1) / 2.0, c.centreX, 1.0);
            EXPECT_NEAR((ink.top + ink.bottom + 1) / 2.0, c.centreY, 1.0);
        }
        if (c.left >= 0) {
            EXPECT_NEAR(ink.left, c.left, 2);
        }
        if (c.right >= 0) {
            EXPECT_NEAR(ink.right + 1, c.right, 2);
        }
    }
    platform::SetFontFile({});
}

TEST(EmfPlayerTest, SurvivesEveryFaultWithoutLeaking) {
    struct Case {
        EmfFault fault;
        bool isLoaded;
        bool playResult;
        bool drawsPicture;
    };
    const Case cases[] = {
        {EmfFault::None, true, true, true},
        {EmfFault::BadSignature, false, false, false},
        {EmfFault::ShorterThan44, false, false, false},
        {EmfFault::RecordSizeZero, true, false, false},
        {EmfFault::RecordSizeNotMultipleOf4, true, false, false},
        {EmfFault::RecordPastEnd, true, false, false},
        {EmfFault::NoEndRecord, true, true, true},
        {EmfFault::PointCountPastRecord, true, true, true},
        {EmfFault::PartCountPastRecord, true, true, true},
        {EmfFault::TextPastRecord, true, true, true},
        {EmfFault::ShortFontRecord, true, true, true},
        {EmfFault::ObjectIndexNegative, true, true, true},
        {EmfFault::ObjectIndexHuge, true, true, true},
        {EmfFault::TypeAbove119, true, true, true},
        {EmfFault::DrawBeforeExtent, true, true, true},
    };
    platform::SetFontFile(kTestFont);
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        const std::vector<std::uint8_t> file = testdata::SampleSkinPicture().Build(c.fault);
        Canvas canvas(64, 64);
        const HGDIOBJ pen = GetCurrentObject(canvas.dc(), OBJ_PEN);
        const HGDIOBJ brush = GetCurrentObject(canvas.dc(), OBJ_BRUSH);
        const HGDIOBJ font = GetCurrentObject(canvas.dc(), OBJ_FONT);
        const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
        std::unique_ptr<EmfPlayer> player = EmfPlayer::Create();
        EXPECT_EQ(player->LoadBytes(file.data(), file.size()), c.isLoaded);
        EXPECT_EQ(player->IsLoaded(), c.isLoaded);
        EXPECT_EQ(player->Play(canvas.dc(), RECT{0, 0, 64, 64}), c.playResult);
        EXPECT_EQ(platform::CountLiveGdiObjects(), before);
        EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_PEN), pen);
        EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_BRUSH), brush);
        EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_FONT), font);
        EXPECT_EQ(canvas.Count(gditesting::kWhite) < 64 * 64, c.drawsPicture);
    }
    platform::SetFontFile({});
}

TEST(EmfPlayerTest, LoadsWholeFilesOnly) {
    testdata::TempDeviceRoot root;
    const std::vector<std::uint8_t> good = testdata::SampleSkinPicture().Build();
    std::vector<std::uint8_t> huge = good;
    huge.resize(16u * 1024 * 1024 + 4, 0);
    ASSERT_TRUE(root.WriteFile(u"\\good.emf", good));
    ASSERT_TRUE(root.WriteFile(u"\\huge.emf", huge));
    ASSERT_TRUE(
        root.WriteFile(u"\\bad.emf", testdata::SampleSkinPicture().Build(EmfFault::BadSignature)));
    struct Case {
        const char16_t* path;
        bool isLoaded;
    };
    const Case cases[] = {
        {u"\\good.emf", true},
        {u"\\huge.emf", false},
        {u"\\bad.emf", false},
        {u"\\missing.emf", false},
    };
    std::unique_ptr<EmfPlayer> player = EmfPlayer::Create();
    for (const Case& c : cases) {
        ASSERT_TRUE(player->Load(u"\\good.emf"));
        EXPECT_EQ(player->Load(c.path), c.isLoaded);
        EXPECT_EQ(player->IsLoaded(), c.isLoaded);
        Canvas canvas(8, 8);
        EXPECT_EQ(player->Play(canvas.dc(), RECT{0, 0, 8, 8}), c.isLoaded);
    }
}

} // namespace
