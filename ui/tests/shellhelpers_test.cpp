#include "testdata/tempdir.h"
#include "ui/shellhelpers.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/gdi/tests/gditesting.h"
#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/shell.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <optional>
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

// A language library in "\Windows", so that "PK.ini" lies there, and a window on the screen.
class FullScreenHelpers : public testing::Test {
protected:
    void SetUp() override {
        module_ = windowtesting::LoadLanguage(root_, platform::ResourceBundle{});
        ASSERT_NE(module_, nullptr);
        platform::SetResourceInstance(module_);
        window_ = CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE, 10, 20, 50, 60, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(window_);
        ShowTaskBar(nullptr, true);
        platform::SetResourceInstance(nullptr);
        FreeLibrary(module_);
    }

    testdata::TempDeviceRoot root_;
    HMODULE module_ = nullptr;
    HWND window_ = nullptr;
};

TEST_F(FullScreenHelpers, SipButtonHidesInFullScreenUnlessSimulating) {
    const struct {
        const char* name;
        std::optional<int> simulation; // no entry when empty
        bool fullScreen;
        bool shown;
    } cases[] = {
        {"no entry, full screen: hidden", std::nullopt, true, false},
        {"no entry, leaving: shown", std::nullopt, false, true},
        {"simulation 0, full screen: hidden", 0, true, false},
        {"simulation 1, full screen: kept", 1, true, true},
        {"simulation 2, full screen: kept", 2, true, true},
        {"simulation 1, leaving: shown", 1, false, true},
    };
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    ASSERT_EQ(settings, u"\\Windows\\PK.ini");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(root_.WriteFile(settings, std::string_view{}));
        if (c.simulation) {
            IniProfile::WriteInt(u"Zudav", u"Simulation", *c.simulation, settings.c_str());
        }
        // Start from the opposite state, so that each case has something to change.
        ASSERT_TRUE(SHFullScreen(window_, c.shown ? SHFS_HIDESIPBUTTON : SHFS_SHOWSIPBUTTON));
        EXPECT_TRUE(SetSipButtonVisible(window_, c.fullScreen));
        EXPECT_EQ(platform::IsSipButtonShown(), c.shown);
    }
}

TEST_F(FullScreenHelpers, TaskBarFollowsAndTheWindowFillsTheWorkAreaFromTheCorner) {
    const struct {
        bool hidden;
        int screenWidth;
        int screenHeight;
    } cases[] = {{true, 240, 320}, {false, 240, 320}, {true, 480, 640}, {false, 480, 640}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hidden << " " << c.screenWidth);
        platform::SetScreenSize(c.screenWidth, c.screenHeight);
        EXPECT_TRUE(SetTaskBarHidden(window_, c.hidden));
        EXPECT_EQ(platform::IsTaskBarShown(), !c.hidden);
        RECT work{};
        ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
        EXPECT_EQ(work.top == 0, c.hidden);
        ASSERT_TRUE(MoveWindow(window_, 10, 20, 50, 60, FALSE));
        EXPECT_TRUE(FitWindowToWorkArea(window_));
        RECT rect{};
        ASSERT_TRUE(GetWindowRect(window_, &rect));
        // At the corner, as wide and high as the work area's right and bottom edges.
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.top, 0);
        EXPECT_EQ(rect.right, c.screenWidth);
        EXPECT_EQ(rect.bottom, c.screenHeight);
    }
    platform::SetScreenSize(240, 320);
}

TEST_F(FullScreenHelpers, NullOrUnknownWindowChangesNothing) {
    ASSERT_TRUE(SetTaskBarHidden(window_, true));
    ASSERT_TRUE(SetSipButtonVisible(window_, true));
    EXPECT_FALSE(SetTaskBarHidden(nullptr, false));
    EXPECT_FALSE(SetSipButtonVisible(nullptr, false));
    EXPECT_FALSE(FitWindowToWorkArea(nullptr));
    HWND gone = CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr,
                                nullptr);
    DestroyWindow(gone);
    EXPECT_FALSE(SetTaskBarHidden(gone, false));
    EXPECT_FALSE(SetSipButtonVisible(gone, false));
    EXPECT_FALSE(FitWindowToWorkArea(gone));
    EXPECT_FALSE(platform::IsTaskBarShown());
    EXPECT_FALSE(platform::IsSipButtonShown());
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

TEST(ShellHelpersTest, WaitCursorShowsWhileItLivesAndNestedOnesPutBackTheirOwn) {
    const HCURSOR arrow = LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_ARROW));
    const HCURSOR wait = LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_WAIT));
    ASSERT_NE(arrow, wait);
    (void)SetCursor(arrow);
    {
        ScopedWaitCursor outer;
        EXPECT_EQ(GetCursor(), wait);
        {
            ScopedWaitCursor inner;
            EXPECT_EQ(GetCursor(), wait);
        }
        EXPECT_EQ(GetCursor(), wait);
    }
    EXPECT_EQ(GetCursor(), arrow);
}

TEST(ShellHelpersTest, ListFontIsBoldAntialiasedArialOfTheHeight) {
    for (const LONG height : {-11L, -12L, 20L}) {
        HFONT font = CreateListFont(height);
        ASSERT_NE(font, nullptr);
        LOGFONTW read{};
        ASSERT_EQ(GetObjectW(font, sizeof(read), &read), static_cast<int>(sizeof(read)));
        EXPECT_EQ(std::u16string(read.lfFaceName), u"Arial") << height;
        EXPECT_EQ(read.lfHeight, height);
        EXPECT_EQ(read.lfWeight, 700);
        EXPECT_EQ(read.lfQuality, 4);
        EXPECT_EQ(read.lfItalic, 0);
        (void)DeleteObject(font);
    }
}

TEST(ShellHelpersTest, ReplacedListFontIsTheListsAndTheOldOneIsGone) {
    HWND list = CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(list, nullptr);
    HFONT kept = nullptr;
    ASSERT_TRUE(ReplaceListFont(list, -11, kept));
    HFONT first = kept;
    ASSERT_TRUE(ReplaceListFont(list, -12, kept));
    EXPECT_NE(kept, first);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)), kept);
    LOGFONTW read{};
    EXPECT_EQ(GetObjectW(first, sizeof(read), &read), 0) << "the font kept before is deleted";
    ASSERT_EQ(GetObjectW(kept, sizeof(read), &read), static_cast<int>(sizeof(read)));
    EXPECT_EQ(read.lfHeight, -12);
    DestroyWindow(list);
    (void)DeleteObject(kept);
}
