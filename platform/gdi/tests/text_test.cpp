#include "platform/gdi/tests/gditesting.h"
#include "platform/gdi/text.h"
#include "platform/kernel/debug.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <optional>

using namespace gditesting;

namespace {

const std::filesystem::path kTestFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

LOGFONTW Font(LONG height, const char16_t* face = u"Arial", LONG escapement = 0,
              BYTE quality = DEFAULT_QUALITY) {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = FW_NORMAL;
    font.lfEscapement = escapement;
    font.lfOrientation = escapement;
    font.lfQuality = quality;
    for (int i = 0; face[i] != 0 && i < LF_FACESIZE - 1; ++i)
        font.lfFaceName[i] = face[i];
    return font;
}

// Pins every face to one file for the life of the object.
class TestFont {
public:
    TestFont() { platform::SetFontFile(kTestFont); }
    ~TestFont() { platform::SetFontFile({}); }
    TestFont(const TestFont&) = delete;
    TestFont& operator=(const TestFont&) = delete;
};

// Selects a font into dc for the life of the object.
class SelectedFont {
public:
    SelectedFont(HDC dc, const LOGFONTW& font)
        : dc_(dc)
        , font_(CreateFontIndirectW(&font)) {
        old_ = SelectObject(dc, font_);
    }
    ~SelectedFont() {
        SelectObject(dc_, old_);
        DeleteObject(font_);
    }
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;

private:
    HDC dc_;
    HFONT font_;
    HGDIOBJ old_{};
};

// The box of pixels that differ from background; empty when none do.
RECT Bounds(const Canvas& canvas, int width, int height, COLORREF background = kWhite) {
    RECT box{width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (GetPixel(canvas.dc(), x, y) != background) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
    }
    return box.left < box.right ? box : RECT{};
}

std::vector<LONG> Corners(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

SIZE Extent(HDC dc, std::u16string_view text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

} // namespace

// Face names map to font files; unknown names fall back to the default face with a debug line.
TEST(Text, FaceTable) {
    struct Case {
        const char16_t* face;
        BYTE family;
        LONG weight;
        const char* file;
        bool isReported;
    };
    const Case cases[] = {
        {u"Arial", 0, FW_NORMAL, "LiberationSans-Regular.ttf", false},
        {u"arial", 0, FW_BOLD, "LiberationSans-Bold.ttf", false},
        {u"Microsoft Sans Serif", 0, FW_NORMAL, "LiberationSans-Regular.ttf", false},
        {u"MS Sans Serif", 0, FW_NORMAL, "LiberationSans-Regular.ttf", false},
        {u"", FF_SWISS, FW_NORMAL, "LiberationSans-Regular.ttf", false},
        {u"", 0, FW_NORMAL, "DejaVuSans.ttf", false},
        {u"No Such Face", 0, FW_NORMAL, "DejaVuSans.ttf", true},
    };
    for (const Case& c : cases) {
        LOGFONTW font = Font(-12, c.face);
        font.lfPitchAndFamily = c.family;
        font.lfWeight = c.weight;
        platform::DebugOutputCapture capture;
        EXPECT_EQ(platform::FontFileFor(font).filename().string(), c.file);
        EXPECT_EQ(capture.Contains(u"No Such Face"), c.isReported);
        // Text is drawn whatever the face.
        Canvas canvas(40, 20);
        SelectedFont selected(canvas.dc(), font);
        SetBkMode(canvas.dc(), TRANSPARENT);
        EXPECT_TRUE(TextOutW(canvas.dc(), 1, 1, u"Ab", 2));
        EXPECT_GT(canvas.Count(kBlack), 10);
    }
}

// Negative heights are character heights, positive ones cell heights.
TEST(Text, HeightsAndMetrics) {
    TestFont testFont;
    struct Case {
        LONG height;
        LONG cell;
        LONG internalLeading;
    };
    const Case cases[] = {{-20, 24, 4}, {20, 20, 3}, {-11, 13, 2}, {12, 12, 2}};
    for (const Case& c : cases) {
        Canvas canvas(4, 4);
        SelectedFont selected(canvas.dc(), Font(c.height));
        TEXTMETRICW metrics{};
        ASSERT_TRUE(GetTextMetricsW(canvas.dc(), &metrics));
        EXPECT_EQ(metrics.tmHeight, c.cell) << c.height;
        EXPECT_EQ(metrics.tmAscent + metrics.tmDescent, c.cell) << c.height;
        EXPECT_EQ(metrics.tmInternalLeading, c.internalLeading) << c.height;
        EXPECT_EQ(Extent(canvas.dc(), u"Wg").cy, c.cell) << c.height;
    }
    Canvas canvas(4, 4);
    LOGFONTW font = Font(-17);
    HFONT handle = CreateFontIndirectW(&font);
    LOGFONTW back{};
    EXPECT_EQ(GetObjectW(handle, sizeof(back), &back), static_cast<int>(sizeof(back)));
    EXPECT_EQ(std::memcmp(&back, &font, sizeof(font)), 0);
    DeleteObject(handle);
}

// Fit counts and partial extents.
TEST(Text, ExtentsAndFit) {
    TestFont testFont;
    Canvas canvas(4, 4);
    SelectedFont selected(canvas.dc(), Font(-12));
    const std::u16string text = u"iiWWii";
    int extents[6] = {};
    SIZE size{};
    int fit = -1;
    ASSERT_TRUE(GetTextExtentExPointW(canvas.dc(), text.data(), 6, 1000, &fit, extents, &size));
    EXPECT_EQ(fit, 6);
    EXPECT_EQ(extents[5], size.cx);
    for (int i = 1; i < 6; ++i)
        EXPECT_GT(extents[i], extents[i - 1]);
    struct Case {
        int maxExtent;
        int fit;
    };
    const Case cases[] = {{0, 0},          {extents[0] - 1, 0},
                          {extents[0], 1}, {extents[3] - 1, 3},
                          {extents[3], 4}, {extents[5], 6}};
    for (const Case& c : cases) {
        GetTextExtentExPointW(canvas.dc(), text.data(), 6, c.maxExtent, &fit, nullptr, nullptr);
        EXPECT_EQ(fit, c.fit) << c.maxExtent;
    }
}

// With an opaque background the drawn pixels are exactly the text's cells, placed by the
// alignment; transparent text stays inside them.
TEST(Text, DrawnBoundsEqualExtents) {
    TestFont testFont;
    struct Case {
        UINT align;
        int bkMode;
        int dx; // cell left minus x, in units of the width / 2
        int dy; // cell top minus y: 0 top, 1 baseline, 2 bottom
    };
    const Case cases[] = {
        {TA_TOP | TA_LEFT, OPAQUE, 0, 0},
        {TA_RIGHT, OPAQUE, -2, 0},
        {TA_CENTER, OPAQUE, -1, 0},
        {TA_BOTTOM, OPAQUE, 0, 2},
        {TA_BASELINE | TA_CENTER, OPAQUE, -1, 1},
    };
    for (const Case& c : cases) {
        Canvas canvas(200, 60);
        SelectedFont selected(canvas.dc(), Font(-14));
        TEXTMETRICW metrics{};
        GetTextMetricsW(canvas.dc(), &metrics);
        const SIZE size = Extent(canvas.dc(), u"Hallo, Weg");
        SetTextAlign(canvas.dc(), c.align);
        SetBkMode(canvas.dc(), c.bkMode);
        SetBkColor(canvas.dc(), kBlue);
        ExtTextOutW(canvas.dc(), 100, 30, 0, nullptr, u"Hallo, Weg", 10, nullptr);
        const LONG left = 100 + c.dx * size.cx / 2;
        const LONG top = 30 - (c.dy == 0 ? 0 : (c.dy == 1 ? metrics.tmAscent : size.cy));
        EXPECT_EQ(Corners(Bounds(canvas, 200, 60)),
                  Corners(RECT{left, top, left + size.cx, top + size.cy}))
            << c.align;
    }
    Canvas canvas(120, 40);
    SelectedFont selected(canvas.dc(), Font(-14));
    SetBkMode(canvas.dc(), TRANSPARENT);
    const SIZE size = Extent(canvas.dc(), u"Hallo, Weg");
    TextOutW(canvas.dc(), 5, 5, u"Hallo, Weg", 10);
    const RECT ink = Bounds(canvas, 120, 40);
    EXPECT_GE(ink.left, 5);
    EXPECT_GE(ink.top, 5);
    EXPECT_LE(ink.right, 5 + size.cx);
    EXPECT_LE(ink.bottom, 5 + size.cy);
    EXPECT_GT(ink.right - ink.left, size.cx * 3 / 4);
}

// ETO_OPAQUE fills its rectangle with the background colour; ETO_CLIPPED keeps the text in it.
TEST(Text, OpaqueAndClippedRectangles) {
    TestFont testFont;
    struct Case {
        UINT options;
        RECT expected;
    };
    const RECT rect{10, 10, 30, 20};
    const Case cases[] = {{ETO_OPAQUE, rect}, {ETO_OPAQUE | ETO_CLIPPED, rect}};
    for (const Case& c : cases) {
        Canvas canvas(60, 40);
        SelectedFont selected(canvas.dc(), Font(-14));
        SetBkMode(canvas.dc(), TRANSPARENT);
        SetBkColor(canvas.dc(), kGreen);
        ExtTextOutW(canvas.dc(), 12, 12, c.options, &rect, u"MMMMMM", 6, nullptr);
        const RECT drawn = Bounds(canvas, 60, 40);
        if ((c.options & ETO_CLIPPED) != 0) {
            EXPECT_EQ(Corners(drawn), Corners(c.expected));
        } else {
            EXPECT_GT(drawn.right, rect.right);
        }
        EXPECT_EQ(GetPixel(canvas.dc(), 10, 10), kGreen);
        EXPECT_EQ(GetPixel(canvas.dc(), 29, 19), kGreen);
    }
}

// Rotated text turns about its start point: at escapement 440 its ink lies along 44 degrees.
TEST(Text, RotatedTextFollowsEscapement) {
    TestFont testFont;
    for (LONG escapement : {440, 900, 3150}) {
        Canvas canvas(200, 200);
        SelectedFont selected(canvas.dc(), Font(-12, u"Arial", escapement));
        SetBkMode(canvas.dc(), TRANSPARENT);
        TextOutW(canvas.dc(), 100, 100, u"------------", 12);
        // The principal axis of the ink pixels.
        double sx = 0, sy = 0, n = 0;
        std::vector<std::pair<int, int>> ink;
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 200; ++x) {
                if (GetPixel(canvas.dc(), x, y) == kBlack) {
                    ink.emplace_back(x, y);
                    sx += x;
                    sy += y;
                    ++n;
                }
            }
        }
        ASSERT_GT(n, 20) << escapement;
        const double mx = sx / n, my = sy / n;
        double xx = 0, xy = 0, yy = 0;
        for (const auto& [x, y] : ink) {
            xx += (x - mx) * (x - mx);
            xy += (x - mx) * -(y - my);
            yy += (y - my) * (y - my);
        }
        double degrees = 0.5 * std::atan2(2 * xy, xx - yy) * 180 / std::numbers::pi;
        const double expected = escapement / 10.0;
        while (degrees < expected - 90)
            degrees += 180;
        while (degrees > expected + 90)
            degrees -= 180;
        EXPECT_NEAR(degrees, expected, 1.5) << escapement;
        // The text starts at its start point and runs away from it.
        const double radians = expected * std::numbers::pi / 180;
        const double along = (mx - 100) * std::cos(radians) - (my - 100) * std::sin(radians);
        EXPECT_GT(along, 20) << escapement;
    }
}

// DrawTextW: DT_CALCRECT gives the box of what is drawn; breaks, prefixes and placement.
TEST(Text, DrawTextLayout) {
    TestFont testFont;
    struct Case {
        const char16_t* text;
        UINT format;
        int lines;
        const char16_t* widthOf; // the widest line as drawn
    };
    const Case cases[] = {
        {u"Weg", DT_SINGLELINE, 1, u"Weg"},
        {u"eins\r\nzwei drei\nvier", 0, 3, u"zwei drei"},
        {u"eins\r\nzwei", DT_SINGLELINE, 1, u"einszwei"},
        {u"aaaa bbbb cccc dddd", DT_WORDBREAK, 2, u"aaaa bbbb"},
        {u"&Datei", 0, 1, u"Datei"},
        {u"&Datei", DT_NOPREFIX, 1, u"&Datei"},
        {u"A&&B", 0, 1, u"A&B"},
    };
    for (const Case& c : cases) {
        Canvas canvas(160, 80);
        SelectedFont selected(canvas.dc(), Font(-12));
        TEXTMETRICW metrics{};
        GetTextMetricsW(canvas.dc(), &metrics);
        const SIZE widest = Extent(canvas.dc(), c.widthOf);
        const int wrap = Extent(canvas.dc(), u"aaaa bbbb cc").cx;
        RECT calc{5, 5, 5 + wrap, 5};
        const int height = DrawTextW(canvas.dc(), c.text, -1, &calc, c.format | DT_CALCRECT);
        EXPECT_EQ(height, c.lines * metrics.tmHeight) << c.format;
        EXPECT_EQ(Corners(calc), Corners(RECT{5, 5, 5 + widest.cx, 5 + height}))
            << c.format << " " << static_cast<int>(c.text[0]);
        SetBkColor(canvas.dc(), kBlue);
        RECT draw{5, 5, 5 + wrap, 75};
        EXPECT_EQ(DrawTextW(canvas.dc(), c.text, -1, &draw, c.format), height);
        EXPECT_EQ(Corners(Bounds(canvas, 160, 80)), Corners(calc)) << c.format;
    }
}

// DT_CENTER, DT_RIGHT and DT_VCENTER place a single line; without DT_NOCLIP nothing leaves
// the rectangle.
TEST(Text, DrawTextPlacementAndClip) {
    TestFont testFont;
    struct Case {
        UINT format;
        int dx; // in halves of the free width
        int dy; // in halves of the free height
    };
    const Case cases[] = {{DT_SINGLELINE, 0, 0},
                          {DT_SINGLELINE | DT_CENTER, 1, 0},
                          {DT_SINGLELINE | DT_RIGHT, 2, 0},
                          {DT_SINGLELINE | DT_VCENTER, 0, 1},
                          {DT_SINGLELINE | DT_VCENTER | DT_RIGHT, 2, 1},
                          {DT_SINGLELINE | DT_BOTTOM | DT_CENTER, 1, 2}};
    for (const Case& c : cases) {
        Canvas canvas(100, 60);
        SelectedFont selected(canvas.dc(), Font(-12));
        SetBkColor(canvas.dc(), kBlue);
        const SIZE size = Extent(canvas.dc(), u"Ziel");
        RECT rect{10, 10, 90, 50};
        DrawTextW(canvas.dc(), u"Ziel", 4, &rect, c.format);
        const LONG left = 10 + c.dx * (80 - size.cx) / 2;
        const LONG top = 10 + c.dy * (40 - size.cy) / 2;
        EXPECT_EQ(Corners(Bounds(canvas, 100, 60)),
                  Corners(RECT{left, top, left + size.cx, top + size.cy}))
            << c.format;
    }
    Canvas canvas(100, 60);
    SelectedFont selected(canvas.dc(), Font(-12));
    SetBkColor(canvas.dc(), kBlue);
    RECT small{10, 10, 20, 15};
    DrawTextW(canvas.dc(), u"Ziel", 4, &small, 0);
    EXPECT_EQ(Corners(Bounds(canvas, 100, 60)), Corners(small));
    DrawTextW(canvas.dc(), u"Ziel", 4, &small, DT_NOCLIP);
    EXPECT_GT(Bounds(canvas, 100, 60).right, 20);
}

// lfQuality ANTIALIASED_QUALITY blends edges; other qualities draw only the text colour.
TEST(Text, AntialiasingByQuality) {
    TestFont testFont;
    struct Case {
        BYTE quality;
        bool hasBlends;
    };
    for (const Case& c : {Case{DEFAULT_QUALITY, false}, Case{ANTIALIASED_QUALITY, true}}) {
        Canvas canvas(60, 30);
        SelectedFont selected(canvas.dc(), Font(-16, u"Arial", 0, c.quality));
        SetBkMode(canvas.dc(), TRANSPARENT);
        TextOutW(canvas.dc(), 2, 2, u"Oslo", 4);
        const int black = canvas.Count(kBlack);
        const int white = canvas.Count(kWhite);
        EXPECT_GT(black, 0);
        EXPECT_EQ(black + white < 60 * 30, c.hasBlends) << static_cast<int>(c.quality);
    }
}

// More fonts than the instance cache holds: dropped instances come back with the same metrics.
TEST(Text, ManyFontsKeepTheirMetrics) {
    TestFont testFont;
    Canvas canvas(4, 4);
    std::vector<SIZE> first;
    for (int pass = 0; pass < 2; ++pass) {
        for (LONG height = 6; height < 106; ++height) {
            SelectedFont selected(canvas.dc(), Font(-height, u"Arial", (height % 4) * 900));
            const SIZE size = Extent(canvas.dc(), u"Weg");
            if (pass == 0) {
                first.push_back(size);
            } else {
                EXPECT_EQ(size.cx, first[static_cast<std::size_t>(height - 6)].cx) << height;
                EXPECT_EQ(size.cy, first[static_cast<std::size_t>(height - 6)].cy) << height;
            }
        }
    }
    EXPECT_GT(first.back().cy, first.front().cy * 10);
}

namespace {

// Every pixel of a canvas, row after row.
std::vector<COLORREF> AllPixels(const Canvas& canvas, int width, int height) {
    std::vector<COLORREF> pixels;
    pixels.reserve(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            pixels.push_back(GetPixel(canvas.dc(), x, y));
    }
    return pixels;
}

} // namespace

// Measuring and drawing agree for small, rotated, synthetic bold and the largest fonts: the
// extents measured before anything is drawn are the pen steps of the drawn text (the text drawn
// whole equals its characters drawn one by one at those extents), the opaque cell is as wide as
// the extent, the extent stays after drawing and does not depend on the angle.
TEST(Text, MeasuringAgreesWithDrawing) {
    struct Case {
        const char16_t* face;
        LONG height;
        LONG weight;
        LONG escapement;
        BYTE quality;
        bool isPinned; // every face resolves to the test font: bold is synthetic
        std::u16string_view text;
        int width; // of the canvases
    };
    constexpr LONG kHugeHeight = std::numeric_limits<LONG>::min() + 1;
    const Case cases[] = {
        {u"Arial", -13, FW_NORMAL, 0, DEFAULT_QUALITY, false, u"Hallo, Weg", 140},
        {u"DejaVu Sans", 27, FW_NORMAL, 0, ANTIALIASED_QUALITY, false, u"Wj1%", 140},
        {u"Times New Roman", -31, FW_BOLD, 0, DEFAULT_QUALITY, false, u"Rgx.", 140},
        {u"Arial", -19, FW_BOLD, 0, ANTIALIASED_QUALITY, true, u"fett", 140},
        {u"Courier New", -15, FW_NORMAL, 900, DEFAULT_QUALITY, false, u"abc", 140},
        {u"Arial", kHugeHeight, FW_NORMAL, 0, DEFAULT_QUALITY, false, u"il", 920},
    };
    constexpr int kHeight = 70, kX = 10, kBaseline = 60;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.height);
        std::optional<TestFont> pinned;
        if (c.isPinned)
            pinned.emplace();
        LOGFONTW font = Font(c.height, c.face, c.escapement, c.quality);
        font.lfWeight = c.weight;
        const int count = static_cast<int>(c.text.size());
        Canvas whole(c.width, kHeight), single(c.width, kHeight), cell(c.width, kHeight);
        SelectedFont wholeFont(whole.dc(), font), singleFont(single.dc(), font),
            cellFont(cell.dc(), font);
        std::vector<int> extents(c.text.size());
        SIZE size{};
        ASSERT_TRUE(GetTextExtentExPointW(whole.dc(), c.text.data(), count, 0, nullptr,
                                          extents.data(), &size));
        ASSERT_GT(size.cx, 0);
        for (const Canvas* canvas : {&whole, &single}) {
            SetBkMode(canvas->dc(), TRANSPARENT);
            SetTextAlign(canvas->dc(), TA_BASELINE);
        }
        TextOutW(whole.dc(), kX, kBaseline, c.text.data(), count);
        const double radians = c.escapement / 10.0 * std::numbers::pi / 180;
        for (int i = 0; i < count; ++i) {
            const int along = i == 0 ? 0 : extents[static_cast<std::size_t>(i) - 1];
            TextOutW(single.dc(), kX + static_cast<int>(std::lround(std::cos(radians) * along)),
                     kBaseline - static_cast<int>(std::lround(std::sin(radians) * along)),
                     &c.text[static_cast<std::size_t>(i)], 1);
        }
        const std::vector<COLORREF> drawn = AllPixels(whole, c.width, kHeight);
        EXPECT_GT(std::count(drawn.begin(), drawn.end(), kBlack), 0);
        EXPECT_EQ(drawn, AllPixels(single, c.width, kHeight));
        if (c.escapement == 0) {
            // The cell's top row lies on the canvas whatever the font's height.
            SetBkColor(cell.dc(), kBlue);
            SetTextColor(cell.dc(), kBlue);
            ExtTextOutW(cell.dc(), kX, 1, 0, nullptr, c.text.data(), count, nullptr);
            EXPECT_EQ(Corners(Bounds(cell, c.width, 2)), Corners(RECT{kX, 1, kX + size.cx, 2}));
        } else {
            LOGFONTW level = font;
            level.lfEscapement = level.lfOrientation = 0;
            SelectedFont levelFont(cell.dc(), level);
            EXPECT_EQ(Extent(cell.dc(), c.text).cx, size.cx);
        }
        EXPECT_EQ(Extent(whole.dc(), c.text).cx, size.cx);
    }
}

namespace {

// A change to a memory DC's clip: IntersectClipRect, or ExcludeClipRect when isExclude.
struct ClipStep {
    RECT rect;
    bool isExclude;
};

// Whether the pixel stays visible after the clip steps.
bool IsInsideSteps(const std::vector<ClipStep>& steps, int x, int y) {
    for (const ClipStep& step : steps) {
        const bool isIn = x >= step.rect.left && x < step.rect.right && y >= step.rect.top &&
                          y < step.rect.bottom;
        if (isIn == step.isExclude)
            return false;
    }
    return true;
}

// Vertical stripes of the given width every `period` pixels across the canvas, excluded.
std::vector<ClipStep> ExcludedStripes(int width, int period, int height) {
    std::vector<ClipStep> steps;
    for (int x = 1; x < width; x += period)
        steps.push_back({RECT{x, 0, x + 2, height}, true});
    return steps;
}

// A grid of squares of side 3 every 5 pixels, excluded: many rectangles on every row.
std::vector<ClipStep> ExcludedSquares(int width, int height) {
    std::vector<ClipStep> steps;
    for (int y = 2; y < height; y += 5) {
        for (int x = 2; x < width; x += 5)
            steps.push_back({RECT{x, y, x + 3, y + 3}, true});
    }
    return steps;
}

} // namespace

// Text under a clip region is the text drawn without one, masked by the region: a glyph inside
// one rectangle, glyphs cut by a rectangle's edges, rows crossing many rectangles, glyphs beside
// the region and an empty region, in colour (blended edges), monochrome, rotated and opaque.
TEST(Text, ClipRegionsMaskTheUnclippedText) {
    TestFont testFont;
    constexpr int kWidth = 120;
    constexpr int kHeight = 44;
    const std::u16string text = u"Wegweiser 42";
    struct Case {
        const char* name;
        std::vector<ClipStep> steps;
        BYTE quality = ANTIALIASED_QUALITY;
        LONG escapement = 0;
        int bkMode = TRANSPARENT;
        bool isMonoSurface = false;
        bool hasInk = true;
    };
    std::vector<ClipStep> squaresInRect = ExcludedSquares(kWidth, kHeight);
    squaresInRect.insert(squaresInRect.begin(), {RECT{9, 8, 77, 23}, false});
    const Case cases[] = {
        {"around the text", {{RECT{0, 0, kWidth, kHeight}, false}}},
        {"cutting glyphs", {{RECT{13, 9, 71, 19}, false}}},
        {"two rectangles apart", {{RECT{0, 0, 40, kHeight}, false}, {RECT{25, 14, 31, 16}, true}}},
        {"stripes", ExcludedStripes(kWidth, 5, kHeight)},
        {"squares", ExcludedSquares(kWidth, kHeight)},
        {"squares in a rectangle", squaresInRect},
        {"beside the text",
         {{RECT{0, 38, kWidth, kHeight}, false}},
         ANTIALIASED_QUALITY,
         0,
         TRANSPARENT,
         false,
         false},
        {"empty",
         {{RECT{30, 10, 30, 30}, false}},
         ANTIALIASED_QUALITY,
         0,
         TRANSPARENT,
         false,
         false},
        {"monochrome glyphs", ExcludedSquares(kWidth, kHeight), DEFAULT_QUALITY},
        {"monochrome surface", ExcludedStripes(kWidth, 4, kHeight), ANTIALIASED_QUALITY, 0,
         TRANSPARENT, true},
        {"rotated", ExcludedStripes(kWidth, 6, kHeight), ANTIALIASED_QUALITY, 150},
        {"opaque", ExcludedSquares(kWidth, kHeight), ANTIALIASED_QUALITY, 0, OPAQUE},
    };
    for (const Case& c : cases) {
        Canvas plain(kWidth, kHeight, kWhite, c.isMonoSurface);
        Canvas clipped(kWidth, kHeight, kWhite, c.isMonoSurface);
        for (const Canvas* canvas : {&plain, &clipped}) {
            SelectedFont selected(canvas->dc(), Font(-20, u"Arial", c.escapement, c.quality));
            SetBkMode(canvas->dc(), c.bkMode);
            SetBkColor(canvas->dc(), kGreen);
            SetTextColor(canvas->dc(), kBlue);
            if (canvas == &clipped) {
                for (const ClipStep& step : c.steps) {
                    const RECT& r = step.rect;
                    (void)(step.isExclude
                               ? ExcludeClipRect(canvas->dc(), r.left, r.top, r.right, r.bottom)
                               : IntersectClipRect(canvas->dc(), r.left, r.top, r.right, r.bottom));
                }
            }
            TextOutW(canvas->dc(), 4, c.escapement == 0 ? 6 : 36, text.c_str(),
                     static_cast<int>(text.size()));
            SelectClipRgn(canvas->dc(), nullptr); // GetPixel reads inside the clip only
        }
        int ink = 0;
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const COLORREF drawn = GetPixel(clipped.dc(), x, y);
                const COLORREF expected =
                    IsInsideSteps(c.steps, x, y) ? GetPixel(plain.dc(), x, y) : kWhite;
                ink += drawn != kWhite ? 1 : 0;
                if (drawn != expected && ++wrong <= 3)
                    ADD_FAILURE() << c.name << ": pixel " << x << ", " << y;
            }
        }
        EXPECT_EQ(wrong, 0) << c.name;
        EXPECT_EQ(ink > 0, c.hasInk) << c.name;
        EXPECT_LT(plain.Count(kWhite), kWidth * kHeight) << c.name;
    }
}

// Each character's bitmap is rasterised once per font; every later glyph of it, in this call or
// the next, comes from the cache. Measuring rasterises nothing.
TEST(Text, GlyphCacheRasterisesEachCharacterOnce) {
    TestFont testFont;
    Canvas canvas(120, 40);
    SelectedFont selected(canvas.dc(), Font(-23, u"Arial", 0));
    struct Step {
        const char16_t* text;
        bool isDrawn;
        std::uint64_t drawn;
        std::uint64_t hits;
        std::uint64_t rasterised;
    };
    const Step steps[] = {{u"Abba", false, 0, 0, 0},
                          {u"Abba", true, 4, 1, 3},
                          {u"baA", true, 3, 3, 0},
                          {u"bAx", true, 3, 2, 1}};
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << std::string(step.text, step.text + 3));
        const platform::GlyphCounts before = platform::CountGlyphs();
        const auto length = static_cast<int>(std::char_traits<char16_t>::length(step.text));
        if (step.isDrawn) {
            ASSERT_TRUE(TextOutW(canvas.dc(), 2, 2, step.text, length));
        } else {
            SIZE size{};
            ASSERT_TRUE(GetTextExtentPoint32W(canvas.dc(), step.text, length, &size));
        }
        const platform::GlyphCounts after = platform::CountGlyphs();
        EXPECT_EQ(after.drawn - before.drawn, step.drawn);
        EXPECT_EQ(after.cacheHits - before.cacheHits, step.hits);
        EXPECT_EQ(after.rasterised - before.rasterised, step.rasterised);
    }
}
