#include "ui/customcontrol.h"
#include "ui/textface.h"

#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/controls.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const std::filesystem::path kCustomControlFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr COLORREF kPage = RGB(10, 20, 30);

class ControlPage : public testing::Test {
protected:
    void SetUp() override {
        platform::SetFontFile(kCustomControlFont);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &windowtesting::RecordingProcedure;
        windowClass.hbrBackground = pageBrush_;
        windowClass.lpszClassName = u"ControlTestPage";
        (void)RegisterClassW(&windowClass);
        page_ = CreateWindowExW(0, u"ControlTestPage", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(page_, nullptr);
        LOGFONTW description{};
        description.lfHeight = -16;
        description.lfQuality = NONANTIALIASED_QUALITY;
        font_ = CreateFontIndirectW(&description);
        driver_.RunUntilIdle();
        windowtesting::ClearLog();
    }
    void TearDown() override {
        DestroyWindow(page_);
        DeleteObject(font_);
        platform::SetFontFile({});
        windowtesting::ClearLog();
    }

    // Colours of the page's screen pixels in rect.
    std::set<COLORREF> Colours(const RECT& rect) const {
        HDC dc = GetDC(page_);
        std::set<COLORREF> found;
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x)
                found.insert(GetPixel(dc, x, y));
        }
        ReleaseDC(page_, dc);
        return found;
    }

    // A page-wide class brush: the class keeps it, so it stays for the process.
    static inline HBRUSH pageBrush_ = CreateSolidBrush(kPage);
    HWND page_{};
    HFONT font_{};
    platform::ScreenDriver driver_;
};

TEST_F(ControlPage, LabelsDrawOnlyTheirGlyphs) {
    struct Case {
        const char* name;
        COLORREF background;
        COLORREF newTextColour; // sent by 0x405; 0 keeps white
        std::set<COLORREF> colours;
    };
    const Case cases[] = {
        {"transparent", kTransparentBackground, 0, {kPage, kSkinText}},
        {"skin background", kSkinBackground, 0, {kSkinBackground, kSkinText}},
        {"text colour message", kTransparentBackground, RGB(255, 0, 0), {kPage, RGB(255, 0, 0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CustomStatic label(page_, 3001, c.background, SS_LEFT, kSkinText);
        ASSERT_NE(label.GetWindow(), nullptr);
        SendMessageW(label.GetWindow(), WM_SETFONT, reinterpret_cast<WPARAM>(font_), 0);
        SetWindowTextW(label.GetWindow(), u"alpha beta gamma");
        MoveWindow(label.GetWindow(), 10, 10, 100, 60, TRUE);
        if (c.newTextColour != 0) {
            SendMessageW(page_, kSetTextColourMessage, c.newTextColour,
                         reinterpret_cast<LPARAM>(label.GetWindow()));
            EXPECT_EQ(label.GetTextColour(), c.newTextColour);
            InvalidateRect(label.GetWindow(), nullptr, TRUE);
        }
        driver_.RunUntilIdle();
        EXPECT_EQ(Colours(RECT{10, 10, 110, 70}), c.colours);
        // Three words do not fit one line of 100 pixels: the label wraps them.
        const COLORREF text = c.newTextColour != 0 ? c.newTextColour : kSkinText;
        EXPECT_EQ(Colours(RECT{10, 10, 110, 28}).count(text), 1u);
        EXPECT_EQ(Colours(RECT{10, 30, 110, 48}).count(text), 1u);
        EXPECT_EQ(Colours(RECT{110, 10, 240, 70}), std::set<COLORREF>{kPage});
    }
}

TEST_F(ControlPage, KeysForTheParentAreForwarded) {
    CustomControl edit(page_, 3002, kSkinBackground, u"Edit", 0, kSkinText);
    MoveWindow(edit.GetWindow(), 10, 100, 200, 30, TRUE);
    SetFocus(edit.GetWindow());
    driver_.RunUntilIdle();
    struct Case {
        const char* name;
        UINT modifier;
        UINT key;
        bool reachesParent;
    };
    const Case cases[] = {
        {"Enter", 0, VK_RETURN, true},
        {"F1", 0, VK_F1, true},
        {"Ctrl+Tab", VK_CONTROL, VK_TAB, true},
        {"Tab", 0, VK_TAB, false},
        {"a letter", 0, 'A', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        windowtesting::ClearLog();
        if (c.modifier != 0)
            driver_.KeyWith(c.modifier, c.key);
        else
            driver_.Key(c.key);
        bool isForwarded = false;
        std::lock_guard lock(windowtesting::LogMutex());
        for (const auto& entry : windowtesting::Log())
            isForwarded |=
                entry.window == page_ && entry.message == WM_KEYDOWN && entry.wParam == c.key;
        EXPECT_EQ(isForwarded, c.reachesParent);
    }
    SetWindowTextW(edit.GetWindow(), u"");
    driver_.Text(u"x\ty\rz");
    WCHAR text[16] = {};
    GetWindowTextW(edit.GetWindow(), text, 16);
    EXPECT_EQ(std::u16string(text), u"xyz");
}

TEST(CustomControlTest, ListClassesRegisterOnce) {
    HWND page = CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                nullptr, nullptr);
    for (LPCWSTR name : {u"CUSTOMLISTBOX", u"CUSTOMLISTBOX", u"CUSTOMCOMBOBOX"}) {
        CustomControl control(page, 7, kSkinBackground, name, 0, kSkinText);
        EXPECT_NE(control.GetWindow(), nullptr);
        WNDCLASSW info{};
        ASSERT_TRUE(GetClassInfoW(platform::ResourceInstance(), name, &info));
        EXPECT_EQ(info.style, 0x4203u);
    }
    DestroyWindow(page);
}

} // namespace
