#include "ui/transparentbitmap.h"

#include "platform/gdi/tests/gditesting.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using gditesting::Canvas;

constexpr std::uint32_t M = 0xFF00FF; // magenta, the key
constexpr std::uint32_t R = 0xFF0000;
constexpr std::uint32_t G = 0x00FF00;
constexpr std::uint32_t B = 0x0000FF;

TEST(TransparentBitmapTest, KeyPixelsShowTheBackground) {
    struct Case {
        const char* name;
        bool isCentred;
        RECT rect;    // stretched into
        POINT centre; // or centred on
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"stretched 2x",
         false,
         {1, 1, 7, 5},
         {},
         {"........", "...rr...", "...rr...", ".bb..gg.", ".bb..gg.", "........"}},
        {"centred",
         true,
         {},
         {4, 3},
         {"........", "........", "....r...", "...b.g..", "........", "........"}},
        {"partly outside",
         true,
         {},
         {0, 0},
         {".g......", "........", "........", "........", "........", "........"}},
    };
    const std::uint32_t pixels[] = {M, R, M, B, M, G};
    HBITMAP bitmap = CreateBitmap(3, 2, 1, 32, pixels);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
        {
            TransparentBitmap transparent(bitmap, kKeyTopLeftPixel);
            ASSERT_FALSE(transparent.IsEmpty());
            Canvas canvas(8, 6);
            if (c.isCentred)
                transparent.DrawCentred(canvas.dc(), c.centre);
            else
                transparent.DrawStretched(canvas.dc(), c.rect);
            EXPECT_EQ(canvas.Picture(), c.expected);
        }
        EXPECT_EQ(platform::CountLiveGdiObjects(), before);
    }
    DeleteObject(bitmap);
}

TEST(TransparentBitmapTest, ABitmapWithoutPixelsDrawsNothing) {
    for (HBITMAP bitmap : {HBITMAP{}, CreateBitmap(0, 0, 1, 32, nullptr)}) {
        TransparentBitmap transparent(bitmap, kKeyTopLeftPixel);
        EXPECT_TRUE(transparent.IsEmpty());
        Canvas canvas(4, 4);
        transparent.DrawStretched(canvas.dc(), RECT{0, 0, 4, 4});
        transparent.DrawCentred(canvas.dc(), POINT{2, 2});
        EXPECT_EQ(canvas.Count(gditesting::kWhite), 16);
        if (bitmap != nullptr)
            DeleteObject(bitmap);
    }
}

} // namespace
