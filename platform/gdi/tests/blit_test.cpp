#include "platform/gdi/tests/gditesting.h"

#include <gtest/gtest.h>

using namespace gditesting;

namespace {

constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    const RECT rect{left, top, right, bottom};
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

} // namespace

// Ternary raster operations between colour surfaces.
TEST(Blit, RasterOperationsOnColour) {
    struct Case {
        DWORD rop;
        COLORREF source;
        COLORREF dest;
        COLORREF expected;
    };
    const Case cases[] = {
        {SRCCOPY, kRed, kGreen, kRed},        {SRCAND, kYellow, kRed, kRed},
        {SRCAND, kBlue, kRed, kBlack},        {SRCPAINT, kBlue, kRed, kMagenta},
        {SRCINVERT, kYellow, kRed, kGreen},   {NOTSRCCOPY, kRed, kBlue, RGB(0, 255, 255)},
        {0x220326, kRed, kYellow, kGreen}, // destination AND NOT source
        {0x220326, kBlack, kYellow, kYellow}, {BLACKNESS, kRed, kGreen, kBlack},
        {WHITENESS, kRed, kGreen, kWhite},    {DSTINVERT, kRed, kGreen, kMagenta},
        {PATCOPY, kRed, kGreen, kBlue}, // the destination's brush is blue
    };
    for (const Case& c : cases) {
        Canvas source(2, 2, c.source);
        Canvas dest(4, 2, c.dest);
        HBRUSH blue = CreateSolidBrush(kBlue);
        HGDIOBJ old = SelectObject(dest.dc(), blue);
        EXPECT_TRUE(BitBlt(dest.dc(), 1, 0, 2, 2, source.dc(), 0, 0, c.rop)) << std::hex << c.rop;
        EXPECT_EQ(GetPixel(dest.dc(), 1, 1), c.expected) << std::hex << c.rop;
        EXPECT_EQ(GetPixel(dest.dc(), 0, 0), c.dest) << std::hex << c.rop;
        EXPECT_EQ(GetPixel(dest.dc(), 3, 0), c.dest) << std::hex << c.rop;
        SelectObject(dest.dc(), old);
        DeleteObject(blue);
    }
}

// Colour to monochrome: the source's background colour becomes white, others black.
// Monochrome to colour: black becomes the destination's text colour, white its background.
TEST(Blit, MonochromeConversions) {
    Canvas colour(4, 1, kRed);
    Fill(colour.dc(), 1, 0, 3, 1, kGreen);
    Canvas mono(4, 1, kBlack, true);
    SetBkColor(colour.dc(), kGreen);
    BitBlt(mono.dc(), 0, 0, 4, 1, colour.dc(), 0, 0, SRCCOPY);
    EXPECT_EQ(mono.Picture(), (std::vector<std::string>{"#..#"}));

    struct Case {
        COLORREF text;
        COLORREF background;
        std::string picture;
    };
    const Case cases[] = {{kRed, kBlue, "rbbr"}, {kBlack, kWhite, "#..#"}};
    for (const Case& c : cases) {
        Canvas dest(4, 1, kGreen);
        SetTextColor(dest.dc(), c.text);
        SetBkColor(dest.dc(), c.background);
        BitBlt(dest.dc(), 0, 0, 4, 1, mono.dc(), 0, 0, SRCCOPY);
        EXPECT_EQ(dest.Picture(), (std::vector<std::string>{c.picture}));
    }
}

// The transparent-bitmap recipe: a mask from the colour key, the image blackened where the
// mask is set (destination AND NOT source), then the mask with SRCAND and the image with
// SRCPAINT onto the background.
TEST(Blit, TransparentBitmapRecipe) {
    Canvas image(6, 4, kMagenta);
    Fill(image.dc(), 1, 1, 4, 3, kBlue);
    Fill(image.dc(), 4, 1, 5, 2, kBlack);
    Canvas mask(6, 4, kBlack, true);
    SetBkColor(image.dc(), kMagenta);
    BitBlt(mask.dc(), 0, 0, 6, 4, image.dc(), 0, 0, SRCCOPY);
    SetTextColor(image.dc(), kBlack);
    SetBkColor(image.dc(), kWhite);
    BitBlt(image.dc(), 0, 0, 6, 4, mask.dc(), 0, 0, 0x220326);

    Canvas screen(8, 6, kGreen);
    Fill(screen.dc(), 0, 0, 8, 1, kRed);
    SetTextColor(screen.dc(), kBlack);
    SetBkColor(screen.dc(), kWhite);
    BitBlt(screen.dc(), 1, 0, 6, 4, mask.dc(), 0, 0, SRCAND);
    BitBlt(screen.dc(), 1, 0, 6, 4, image.dc(), 0, 0, SRCPAINT);
    EXPECT_EQ(screen.Picture(), (std::vector<std::string>{"rrrrrrrr", "ggbbb#gg", "ggbbbggg",
                                                          "gggggggg", "gggggggg", "gggggggg"}));
}

// StretchBlt picks the nearest source pixel; negative sizes mirror.
TEST(Blit, StretchScalesAndMirrors) {
    Canvas source(3, 2, kRed);
    Fill(source.dc(), 1, 0, 2, 2, kGreen);
    Fill(source.dc(), 2, 0, 3, 2, kBlue);
    Fill(source.dc(), 0, 1, 3, 2, kBlack);
    struct Case {
        int width, height, sourceX, sourceWidth;
        std::vector<std::string> picture;
    };
    const std::vector<Case> cases = {
        {6, 4, 0, 3, {"rrggbb", "rrggbb", "######", "######"}},
        {3, 1, 0, 3, {"###...", "......", "......", "......"}},
        {2, 2, 0, 3, {"rb....", "##....", "......", "......"}},
        {3, 2, 2, -3, {"bgr...", "###...", "......", "......"}},
        {-3, 2, 0, 3, {"bgr...", "###...", "......", "......"}},
    };
    for (const Case& c : cases) {
        Canvas dest(6, 4);
        const int x = c.width < 0 ? -c.width - 1 : 0;
        EXPECT_TRUE(StretchBlt(dest.dc(), x, 0, c.width, c.height, source.dc(), c.sourceX, 0,
                               c.sourceWidth, 2, SRCCOPY));
        EXPECT_EQ(dest.Picture(), c.picture) << c.width << "x" << c.height;
    }
}

// A back buffer copied onto itself shifted (scrolling) reads the pixels before the copy.
TEST(Blit, OverlappingCopyOnOneSurface) {
    Canvas canvas(5, 1);
    Fill(canvas.dc(), 0, 0, 1, 1, kRed);
    Fill(canvas.dc(), 1, 0, 2, 1, kGreen);
    Fill(canvas.dc(), 2, 0, 3, 1, kBlue);
    BitBlt(canvas.dc(), 1, 0, 4, 1, canvas.dc(), 0, 0, SRCCOPY);
    EXPECT_EQ(canvas.Picture(), (std::vector<std::string>{"rrgb."}));
}

// Scrolling a picture onto its own surface in any direction, within one clip rectangle (moved in
// place) and within two (read from a copy): every clipped pixel shows the pixel the move brings,
// read before the move; the rest stays.
TEST(Blit, ScrollsOntoItsOwnSurfaceInEveryDirection) {
    constexpr int kSide = 6;
    const COLORREF colours[] = {kRed, kGreen, kBlue, kBlack, kWhite};
    struct Case {
        int dx;
        int dy;
        bool isSplitClip; // rows 1 on, less column 3; else all but column 0
    };
    const Case cases[] = {{2, 0, false},  {-2, 0, false}, {0, 2, false},
                          {0, -2, false}, {1, 3, false},  {-3, -1, false},
                          {0, 2, true},   {-2, 0, true},  {0, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy << (c.isSplitClip ? " split" : ""));
        Canvas canvas(kSide, kSide);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x)
                Fill(canvas.dc(), x, y, x + 1, y + 1, colours[(x + 3 * y) % 5]);
        }
        const std::vector<std::string> before = canvas.Picture();
        HRGN clip =
            c.isSplitClip ? CreateRectRgn(0, 1, kSide, kSide) : CreateRectRgn(1, 0, kSide, kSide);
        SelectClipRgn(canvas.dc(), clip);
        DeleteObject(clip);
        if (c.isSplitClip)
            ExcludeClipRect(canvas.dc(), 3, 0, 4, kSide);
        ASSERT_TRUE(BitBlt(canvas.dc(), c.dx, c.dy, kSide, kSide, canvas.dc(), 0, 0, SRCCOPY));
        SelectClipRgn(canvas.dc(), nullptr); // every pixel reads back
        std::vector<std::string> expected = before;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                const bool isClipped = c.isSplitClip ? y >= 1 && x != 3 : x >= 1;
                const int fromX = x - c.dx;
                const int fromY = y - c.dy;
                if (isClipped && fromX >= 0 && fromX < kSide && fromY >= 0 && fromY < kSide)
                    expected[y][x] = before[fromY][fromX];
            }
        }
        EXPECT_EQ(canvas.Picture(), expected);
    }
}
