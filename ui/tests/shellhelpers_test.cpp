#include "ui/shellhelpers.h"

#include "platform/gdi/tests/gditesting.h"
#include "platform/gdi/text.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::filesystem::path kShellFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

DWORD SipFlags() {
    SIPINFO info{};
    info.cbSize = 48;
    EXPECT_TRUE(SHSipInfo(SPI_GETSIPINFO, 0, &info, 0));
    return info.fdwFlags;
}

TEST(ShellHelpersTest, SwitchesInputPanelAndTaskBar) {
    HWND window = CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    for (bool isOn : {true, false, true, false}) {
        EXPECT_TRUE(ShowInputPanel(isOn));
        EXPECT_EQ((SipFlags() & SIPF_ON) != 0, isOn);
        EXPECT_TRUE(ShowTaskBar(window, isOn));
        EXPECT_EQ(platform::IsTaskBarShown(), isOn);
    }
    DestroyWindow(window);
    EXPECT_FALSE(ShowTaskBar(window, true));
    EXPECT_FALSE(platform::IsTaskBarShown());
}

TEST(ShellHelpersTest, FitTextTailKeepsWhatFits) {
    platform::SetFontFile(kShellFont);
    LOGFONTW description{};
    description.lfHeight = -12;
    HFONT font = CreateFontIndirectW(&description);
    gditesting::Canvas canvas(8, 8);
    const std::u16string text = u"abcdefghijkl";
    HGDIOBJ old = SelectObject(canvas.dc(), font);
    int extents[12] = {};
    SIZE size{};
    ASSERT_TRUE(GetTextExtentExPointW(canvas.dc(), text.c_str(), 12, 0, nullptr, extents, &size));
    SelectObject(canvas.dc(), old);
    struct Case {
        const char* name;
        int width;
        std::u16string expected;
    };
    const Case cases[] = {
        {"five fit: the last five", extents[4], u"hijkl"},
        {"one fits: the last one", extents[0], u"l"},
        {"everything fits", size.cx, text},
        {"nothing fits", extents[0] - 1, text},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LPCWSTR tail = FitTextTail(canvas.dc(), font, text.c_str(), c.width);
        EXPECT_EQ(std::u16string(tail), c.expected);
        EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_FONT), old);
    }
    DeleteObject(font);
    platform::SetFontFile({});
}

TEST(ShellHelpersTest, ScreenRectToClientMovesBothCorners) {
    HWND window = CreateWindowExW(0, u"Static", u"", WS_POPUP, 30, 40, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    RECT rect{origin.x + 5, origin.y + 6, origin.x + 25, origin.y - 4};
    ScreenRectToClient(window, &rect);
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.top, 6);
    EXPECT_EQ(rect.right, 25);
    EXPECT_EQ(rect.bottom, -4);
    DestroyWindow(window);
}

} // namespace
