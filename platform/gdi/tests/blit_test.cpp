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
