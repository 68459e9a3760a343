#include "testdata/bitmapwriter.h"
#include "testdata/emfwriter.h"
#include "testdata/tempdir.h"
#include "ui/skinface.h"

#include "platform/gdi/tests/gditesting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using gditesting::Canvas;

TEST(SkinBitmapTest, JudgesBitmapsByExtension) {
    struct Case {
        const char16_t* name;
        bool isBitmap;
    };
    const Case cases[] = {
        {u"Button.BMP", true}, {u"radio.2bp", true}, {u"Radio.2BP", true},  {u"frame.emf", false},
        {u"bmp", true},        {u"picture", false},  {u"a.bmp.emf", false}, {u"a.emf.Bmp", true},
        {u"a.bmpx", false},    {u"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
        EXPECT_EQ(IsSkinBitmapFileName(c.name), c.isBitmap);
        EXPECT_EQ(SkinBitmap(c.name).IsBitmap(), c.isBitmap);
    }
}

std::vector<std::uint8_t> RedBlue(int bitCount) {
    testdata::BitmapSpec spec;
    spec.width = 2;
    spec.height = 1;
    spec.bitCount = bitCount;
    if (bitCount <= 8) {
        spec.palette = {0xFF0000, 0x0000FF};
        spec.pixels = {0, 1};
    } else {
        spec.pixels = {0xFF0000, 0x0000FF};
    }
    return testdata::WriteBitmapFile(spec);
}

TEST(SkinBitmapTest, DrawsFilesOfTheSkinFolder) {
    testdata::TempDeviceRoot root;
    testdata::EmfWriter square;
    square.SetWindowExtent(4, 2)
        .CreatePen(1, 0, 0, 0x000000)
        .CreateBrush(2, 0, 0x000000)
        .SelectObject(1)
        .SelectObject(2)
        .Rectangle(0, 0, 2, 2);
    ASSERT_TRUE(root.WriteFile(GetSkinFolder() + u"RedBlue.bmp", RedBlue(24)));
    ASSERT_TRUE(root.WriteFile(GetSkinFolder() + u"RedBlue.2BP", RedBlue(2)));
    ASSERT_TRUE(root.WriteFile(GetSkinFolder() + u"Square.emf", square.Build()));
    struct Case {
        const char16_t* name;
        bool isDrawn;
        SIZE size;
        std::vector<std::string> expected; // 2x stretch of a 2 x 1 bitmap
    };
    const Case cases[] = {
        {u"RedBlue.bmp", true, {2, 1}, {"rrbb", "rrbb"}},
        {u"RedBlue.2BP", true, {2, 1}, {"rrbb", "rrbb"}},
        {u"Square.emf", true, {0, 0}, {"##..", "##.."}},
        {u"Missing.bmp", false, {0, 0}, {"....", "...."}},
        {u"Missing.emf", false, {0, 0}, {"....", "...."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(&c - cases));
        const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
        {
            std::unique_ptr<SkinBitmap> picture = CreateSkinBitmap(c.name);
            ASSERT_NE(picture, nullptr);
            Canvas canvas(4, 2);
            EXPECT_EQ(picture->Draw(canvas.dc(), RECT{0, 0, 4, 2}, SRCCOPY, false), c.isDrawn);
            EXPECT_EQ(canvas.Picture(), c.expected);
            EXPECT_EQ(picture->GetSize().cx, c.size.cx);
            EXPECT_EQ(picture->GetSize().cy, c.size.cy);
        }
        EXPECT_EQ(platform::CountLiveGdiObjects(), before);
    }
}

TEST(SkinBitmapTest, SetFileChangesOnlyToANewName) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(GetSkinFolder() + u"RedBlue.bmp", RedBlue(24)));
    SkinBitmap picture(u"Missing.bmp");
    Canvas canvas(4, 2);
    EXPECT_FALSE(picture.Draw(canvas.dc(), RECT{0, 0, 4, 2}, SRCCOPY, false));
    EXPECT_FALSE(picture.SetFile(u"Missing.bmp"));
    EXPECT_TRUE(picture.SetFile(u"RedBlue.bmp"));
    EXPECT_TRUE(picture.Draw(canvas.dc(), RECT{0, 0, 4, 2}, SRCCOPY, false));
    EXPECT_EQ(canvas.Picture(), (std::vector<std::string>{"rrbb", "rrbb"}));
    EXPECT_TRUE(picture.SetFile(u"Frame.emf"));
    EXPECT_FALSE(picture.IsBitmap());
}

} // namespace
