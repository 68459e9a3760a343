#include "utilities/usefulcode/fonthandle.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(FontHandle, CreatesFromTheGivenValuesAndDeletesThePreviousFont) {
    const struct {
        const char16_t* face;
        INT height;
        bool isBold;
        bool isItalic;
        bool isAntialiased;
        LONG weight;
        BYTE italic;
        BYTE quality;
    } cases[] = {
        {u"Arial", -11, true, false, true, 700, 0, 4},
        {u"Arial", 20, false, true, false, 0, 1, 0},
        {u"A face name longer than thirty-one characters", -5, true, true, false, 700, 1, 0},
    };
    FontHandle font;
    EXPECT_EQ(font.Get(), nullptr);
    HFONT previous = nullptr;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.height);
        HFONT made = font.Create(c.face, c.height, c.isBold, c.isItalic, c.isAntialiased);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(font.Get(), made);
        LOGFONTW read{};
        ASSERT_EQ(GetObjectW(made, sizeof read, &read), static_cast<int>(sizeof read));
        EXPECT_EQ(read.lfHeight, c.height);
        EXPECT_EQ(read.lfWeight, c.weight);
        EXPECT_EQ(read.lfItalic, c.italic);
        EXPECT_EQ(read.lfQuality, c.quality);
        EXPECT_EQ(read.lfWidth, 0);
        EXPECT_EQ(std::u16string(read.lfFaceName), std::u16string(c.face).substr(0, 31));
        if (previous != nullptr) {
            LOGFONTW gone{};
            EXPECT_EQ(GetObjectW(previous, sizeof gone, &gone), 0) << "the old font is deleted";
        }
        previous = made;
    }
    font.Delete();
    EXPECT_EQ(font.Get(), nullptr);
    LOGFONTW gone{};
    EXPECT_EQ(GetObjectW(previous, sizeof gone, &gone), 0);
}

TEST(FontHandle, HeightBetweenEdgesStaysWithinTheIntRange) {
    const struct {
        LONG top;
        LONG bottom;
        INT height;
    } cases[] = {{10, 60, -50}, {60, 10, 50}, {INT_MIN, INT_MAX, INT_MIN}, {INT_MAX, -5, INT_MAX}};
    for (const auto& c : cases)
        EXPECT_EQ(FontHandle::HeightBetween(c.top, c.bottom), c.height);
}

TEST(MoveWindowToRect, MovesToTheRectanglesEdgesAndReportsFailure) {
    HWND window = CreateWindowExW(0, u"Static", u"", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const RECT cases[] = {{5, 6, 45, 86}, {-3, 0, 0, 7}, {10, 10, 10, 10}};
    // Edges far apart: the extent is held at the int range instead of overflowing.
    EXPECT_TRUE(MoveWindowToRect(window, RECT{INT_MIN, 0, INT_MAX, 5}, false));
    for (const RECT& c : cases) {
        EXPECT_TRUE(MoveWindowToRect(window, c, true));
        RECT placed{};
        GetWindowRect(window, &placed);
        EXPECT_EQ(placed.left, c.left);
        EXPECT_EQ(placed.top, c.top);
        EXPECT_EQ(placed.right, c.right);
        EXPECT_EQ(placed.bottom, c.bottom);
    }
    DestroyWindow(window);
    EXPECT_FALSE(MoveWindowToRect(window, RECT{0, 0, 5, 5}, false));
}

} // namespace
