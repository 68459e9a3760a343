#include "ui/textface.h"

#include "platform/gdi/tests/gditesting.h"
#include "platform/gdi/text.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

const std::filesystem::path kTextFaceFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kWidth = 120;
constexpr int kHeight = 40;

// A skin-coloured canvas with a font that is not antialiased.
class FaceCanvas {
public:
    FaceCanvas()
        : canvas_(kWidth, kHeight, kSkinBackground) {
        platform::SetFontFile(kTextFaceFont);
        LOGFONTW description{};
        description.lfHeight = -16;
        description.lfQuality = NONANTIALIASED_QUALITY;
        font_ = CreateFontIndirectW(&description);
        old_ = SelectObject(canvas_.dc(), font_);
    }
    ~FaceCanvas() {
        SelectObject(canvas_.dc(), old_);
        DeleteObject(font_);
        platform::SetFontFile({});
    }
    FaceCanvas(const FaceCanvas&) = delete;
    FaceCanvas& operator=(const FaceCanvas&) = delete;

    HDC dc() const { return canvas_.dc(); }
    // Colours found in columns [left, right), rows [top, bottom).
    std::set<COLORREF> Colours(int left, int right, int top = 0, int bottom = kHeight) const {
        std::set<COLORREF> found;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x)
                found.insert(GetPixel(canvas_.dc(), x, y));
        }
        return found;
    }

private:
    gditesting::Canvas canvas_;
    HFONT font_{};
    HGDIOBJ old_{};
};

TEST(TextFaceTest, TextTakesExactlyTheStateColour) {
    struct Case {
        int kind;
        int state;
        COLORREF text;
        COLORREF marker; // kSkinBackground when the kind has none
    };
    const Case cases[] = {
        {2, 0, kSkinText, kSkinBackground},
        {2, 1, kSkinPressedText, kSkinBackground},
        {2, 2, kSkinFocusedText, kSkinBackground},
        {2, 3, kSkinDisabledText, kSkinBackground},
        {8, 1, kSkinPressedText, kSkinBackground},
        {3, 0, kSkinText, kSkinPressedText},
        {3, 1, kSkinPressedText, kSkinPressedText},
        {3, 2, kSkinFocusedText, kSkinFocusedText},
        {3, 3, kSkinDisabledMarker, kSkinDisabledMarker},
        {7, 0, kSkinText, kSkinPressedText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " state " << c.state);
        FaceCanvas canvas;
        std::unique_ptr<SkinFace> face = LoadSkinFace(1000, c.kind);
        ASSERT_NE(face, nullptr);
        EXPECT_TRUE(face->DrawWithText(canvas.dc(), RECT{0, 0, kWidth, kHeight}, u"WAW", c.state));
        EXPECT_EQ(canvas.Colours(0, 16), (std::set<COLORREF>{kSkinBackground, c.marker}));
        EXPECT_EQ(canvas.Colours(16, kWidth), (std::set<COLORREF>{kSkinBackground, c.text}));
    }
}

TEST(TextFaceTest, RightAlignedTextEndsSixteenPixelsIn) {
    FaceCanvas canvas;
    std::unique_ptr<SkinFace> face = LoadSkinFace(1000, 8);
    face->DrawWithText(canvas.dc(), RECT{0, 0, kWidth, kHeight}, u"WAW", 0);
    EXPECT_EQ(canvas.Colours(kWidth - 16, kWidth), std::set<COLORREF>{kSkinBackground});
    EXPECT_EQ(canvas.Colours(kWidth - 24, kWidth - 16).count(kSkinText), 1u);
    EXPECT_EQ(canvas.Colours(0, kWidth / 2), std::set<COLORREF>{kSkinBackground});
}

TEST(TextFaceTest, RadioCircleFillsByState) {
    // A 40-pixel line: d = 5, the circle spans (0, 5) to (30, 35), the text starts at 38.
    struct Case {
        int state;
        COLORREF fill;
        COLORREF centre;
        COLORREF text;
    };
    const Case cases[] = {
        {0, kSkinTitle, kSkinTitle, kSkinText},
        {1, kSkinTitle, kSkinBackground, kSkinText},
        {2, kSkinTitle, kSkinTitle, kSkinFocusedText},
        {3, kSkinDisabledText, kSkinDisabledText, kSkinDisabledText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        FaceCanvas canvas;
        LoadSkinFace(1000, 5)->DrawWithText(canvas.dc(), RECT{0, 0, kWidth, kHeight}, u"W",
                                            c.state);
        EXPECT_EQ(GetPixel(canvas.dc(), 15, 20), c.centre);
        EXPECT_EQ(GetPixel(canvas.dc(), 2, 20), c.fill);
        EXPECT_EQ(canvas.Colours(0, 38, 0, 4), std::set<COLORREF>{kSkinBackground});
        EXPECT_EQ(canvas.Colours(0, 38, 36, kHeight), std::set<COLORREF>{kSkinBackground});
        EXPECT_EQ(canvas.Colours(31, 38), std::set<COLORREF>{kSkinBackground});
        EXPECT_EQ(canvas.Colours(38, kWidth), (std::set<COLORREF>{kSkinBackground, c.text}));
    }
}

TEST(TextFaceTest, TwoLineCaptionsUseBothHalves) {
    struct Case {
        const char16_t* text;
        bool hasUpper;
        bool hasLower;
    };
    const Case cases[] = {
        {u"Up\r\nDown", true, true},
        {u"Up\nDown", true, true},
        {u"Up", true, true}, // one line centred over the whole height
        {u"\r\nDown", false, true},
    };
    for (const Case& c : cases) {
        FaceCanvas canvas;
        LoadSkinFace(1000, 2)->DrawWithText(canvas.dc(), RECT{0, 0, kWidth, kHeight}, c.text, 0);
        EXPECT_EQ(canvas.Colours(0, kWidth, 0, 20).count(kSkinText), c.hasUpper ? 1u : 0u);
        EXPECT_EQ(canvas.Colours(0, kWidth, 20, kHeight).count(kSkinText), c.hasLower ? 1u : 0u);
    }
    FaceCanvas one;
    LoadSkinFace(1000, 2)->DrawWithText(one.dc(), RECT{0, 0, kWidth, kHeight}, u"Up\r\nDown", 0);
    EXPECT_EQ(one.Colours(0, kWidth, 19, 21), std::set<COLORREF>{kSkinBackground});
}

TEST(TextFaceTest, OnlyKnownKindsMakeFaces) {
    for (int kind = 0; kind < 12; ++kind) {
        const bool isKnown = kind <= 3 || kind == 5 || kind == 7 || kind == 8;
        EXPECT_EQ(LoadSkinFace(1000, kind) != nullptr, isKnown) << kind;
    }
}

} // namespace
