// The message box as a window of the headless screen: its buttons by style, the answers of
// Enter, Esc and taps, the owner it covers and disables, and what it draws.
#include "platform/gdi/gdi.h"
#include "platform/gdi/messageboxwindow.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/tests/repaintcheck.h"
#include "platform/gdi/text.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr UINT kTapFirst = 0x1000; // a tap on the button with index action - kTapFirst

// What a step saw of the shown box.
struct SeenBox {
    bool isShown = false;
    std::u16string caption;
    std::u16string text;
    std::vector<std::u16string> buttons; // labels, left to right
    std::vector<int> ids;
    std::vector<POINT> centres;
    RECT rect{};
    RECT textRect{}; // the text window's
    bool isOwnerEnabled = true;
    bool isActive = false;
};

SeenBox LookAtBox(HWND owner) {
    SeenBox seen;
    HWND box = nullptr;
    for (HWND window : platform::ShownWindows()) {
        if (platform::IsMessageBoxWindow(window)) {
            box = window;
            break;
        }
    }
    if (box == nullptr)
        return seen;
    seen.isShown = true;
    seen.caption = platform::WindowTextOf(box);
    GetWindowRect(box, &seen.rect);
    seen.isOwnerEnabled = IsWindowEnabled(owner) != FALSE;
    seen.isActive = GetActiveWindow() == box;
    std::vector<std::pair<LONG, HWND>> buttons;
    for (HWND window : platform::ShownWindows()) {
        if (GetParent(window) != box)
            continue;
        RECT rect{};
        GetWindowRect(window, &rect);
        const int id = GetDlgCtrlID(window);
        if (id >= IDOK && id <= IDNO) {
            buttons.emplace_back(rect.left, window);
        } else {
            seen.text = platform::WindowTextOf(window);
            seen.textRect = rect;
        }
    }
    std::sort(buttons.begin(), buttons.end());
    for (const auto& [left, button] : buttons) {
        RECT rect{};
        GetWindowRect(button, &rect);
        seen.buttons.push_back(platform::WindowTextOf(button));
        seen.ids.push_back(GetDlgCtrlID(button));
        seen.centres.push_back(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
    }
    return seen;
}

// A shown popup of a class of its own with the procedure, at rect (screen coordinates).
HWND MakePopup(LPCWSTR className, WNDPROC procedure, RECT rect, HWND owner) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = className;
    (void)RegisterClassW(&windowClass);
    return CreateWindowExW(0, className, u"", WS_POPUP | WS_VISIBLE, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, owner, nullptr, nullptr,
                           nullptr);
}

class MessageBoxWindow : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        platform::SetScreenSize(240, 320);
        platform::ShowMessageBoxesAsWindows();
        platform::ClearRecordedMessageBoxes();
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = u"BoxOwner";
        (void)RegisterClassW(&windowClass);
        m_owner = CreateWindowExW(0, u"BoxOwner", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                  nullptr, nullptr, nullptr, nullptr);
        SetActiveWindow(m_owner);
    }
    void TearDown() override {
        DestroyWindow(m_owner);
        platform::SetMessageBoxSink(nullptr);
        platform::ClearRecordedMessageBoxes();
        platform::SetFontFile({});
    }

    // Shows a box of the style over the owner and plays the action on it (a key, or a tap on
    // a button); then, while the box is still up, taps its last button. What was seen before
    // the action, and the answer.
    int Answer(UINT type, UINT action, SeenBox& seen, LPCWSTR caption = u"Route") {
        platform::ScreenDriver driver;
        std::vector<platform::ScriptStep> steps;
        steps.push_back(platform::ScriptStep::Run([&] {
            seen = LookAtBox(m_owner);
            std::vector<platform::ScriptStep> input;
            if (action >= kTapFirst && action - kTapFirst < seen.centres.size())
                input.push_back(platform::ScriptStep::TapAt(seen.centres[action - kTapFirst]));
            else if (action < kTapFirst)
                input.push_back(platform::ScriptStep::Press(action));
            if (!seen.centres.empty())
                input.push_back(platform::ScriptStep::TapAt(seen.centres.back()));
            driver.PlayWhenIdle(std::move(input));
        }));
        driver.PlayWhenIdle(std::move(steps));
        const int answer = MessageBoxW(m_owner, u"No route could be found.", caption, type);
        EXPECT_FALSE(driver.RanOutOfScript());
        MSG quit{};
        (void)PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        return answer;
    }

    HWND m_owner = nullptr;
};

// Each style's buttons left to right; Enter takes the default button, Esc the cancel (No where
// there is no Cancel, OK where OK is alone, nothing for Abort/Retry/Ignore: the last button then
// answers), a tap the button tapped.
TEST_F(MessageBoxWindow, StylesShowTheirButtonsAndAnswerEnterEscAndTaps) {
    const struct {
        UINT type;
        std::vector<std::u16string> buttons;
        std::vector<int> ids;
        int enter;
        int escape;
    } cases[] = {
        {MB_OK | MB_ICONERROR, {u"OK"}, {IDOK}, IDOK, IDOK},
        {MB_OKCANCEL | MB_ICONQUESTION, {u"OK", u"Cancel"}, {IDOK, IDCANCEL}, IDOK, IDCANCEL},
        {MB_OKCANCEL | MB_DEFBUTTON2, {u"OK", u"Cancel"}, {IDOK, IDCANCEL}, IDCANCEL, IDCANCEL},
        {MB_YESNO | MB_ICONWARNING, {u"Yes", u"No"}, {IDYES, IDNO}, IDYES, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3,
         {u"Yes", u"No", u"Cancel"},
         {IDYES, IDNO, IDCANCEL},
         IDCANCEL,
         IDCANCEL},
        {MB_RETRYCANCEL | MB_ICONINFORMATION,
         {u"Retry", u"Cancel"},
         {IDRETRY, IDCANCEL},
         IDRETRY,
         IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2 | MB_ICONERROR,
         {u"Abort", u"Retry", u"Ignore"},
         {IDABORT, IDRETRY, IDIGNORE},
         IDRETRY,
         IDIGNORE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        SeenBox seen;
        EXPECT_EQ(Answer(c.type, VK_RETURN, seen), c.enter);
        EXPECT_TRUE(seen.isShown);
        EXPECT_EQ(seen.buttons, c.buttons);
        EXPECT_EQ(seen.ids, c.ids);
        EXPECT_EQ(seen.caption, u"Route");
        EXPECT_EQ(seen.text, u"No route could be found.");
        EXPECT_TRUE(seen.isActive);
        EXPECT_FALSE(seen.isOwnerEnabled);
        EXPECT_EQ(Answer(c.type, VK_ESCAPE, seen), c.escape);
        for (std::size_t i = 0; i < c.ids.size(); ++i)
            EXPECT_EQ(Answer(c.type, kTapFirst + static_cast<UINT>(i), seen), c.ids[i]) << i;
        // Other keys answer nothing: the last button does.
        EXPECT_EQ(Answer(c.type, 'A', seen), c.ids.back());
        // Gone, with the owner enabled and active again.
        EXPECT_FALSE(LookAtBox(m_owner).isShown);
        EXPECT_TRUE(IsWindowEnabled(m_owner));
        EXPECT_EQ(GetActiveWindow(), m_owner);
    }
    // Every box is recorded with its answer.
    const std::vector<platform::MessageBoxRecord> boxes = platform::RecordedMessageBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.front().answer, IDOK);
    EXPECT_EQ(boxes.back().answer, IDIGNORE);
}

// Without a caption the box says "Error"; it lies in the middle of its owner, within the
// screen, and draws its title strip, text and buttons over what lay there.
TEST_F(MessageBoxWindow, LiesOverItsOwnerWithItsCaptionTextIconAndButtons) {
    SeenBox seen;
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    platform::ScreenDriver driver;
    driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
                             seen = LookAtBox(m_owner);
                             (void)platform::ReadScreenPixels(nullptr, &pixels, &width, &height);
                         }),
                         platform::ScriptStep::Press(VK_RETURN)});
    EXPECT_EQ(MessageBoxW(nullptr,
                          u"The settings file \\PK.ini is damaged; changes cannot be "
                          u"saved. A & B stays as it is.",
                          nullptr, MB_OK | MB_ICONWARNING),
              IDOK);
    ASSERT_TRUE(seen.isShown);
    EXPECT_EQ(seen.caption, u"Error");
    EXPECT_FALSE(seen.isOwnerEnabled) << "the active window is the owner of a box without one";
    const RECT& r = seen.rect;
    EXPECT_GE(r.left, 0);
    EXPECT_LE(r.right, 240);
    EXPECT_NEAR(r.left + r.right, 240, 1);
    EXPECT_NEAR(r.top + r.bottom, 320, 1);
    ASSERT_EQ(width, 240);
    ASSERT_GT(r.bottom - r.top, 60);
    const auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; };
    // Black frame, navy title strip, white body, grey button face, the owner's white outside.
    EXPECT_EQ(at(r.left, r.top + 5), 0x000000u);
    EXPECT_EQ(at(r.left + 3, r.top + 3), 0x000080u);
    EXPECT_EQ(at(r.left + 3, (r.top + r.bottom) / 2), 0xFFFFFFu);
    ASSERT_EQ(seen.centres.size(), 1u);
    EXPECT_EQ(at(seen.centres[0].x - 20, seen.centres[0].y), 0xD4D0C8u);
    // The warning icon's yellow at the left of the body, and ink in the text beside it.
    std::set<std::uint32_t> body;
    for (int y = r.top + 30; y < seen.centres[0].y - 15; ++y) {
        for (int x = r.left + 2; x < r.right - 2; ++x)
            body.insert(at(x, y));
    }
    EXPECT_TRUE(body.contains(0xFFCC00u));
    EXPECT_TRUE(body.contains(0x000000u));
}

// A long text over a small owner, another box say, shows whole: the box takes the width of the
// work area that its text wants and its text window the height of every wrapped line; the box
// lies centred over its owner where it fits, and always within the work area.
TEST_F(MessageBoxWindow, ShowsALongTextWholeOverASmallOwner) {
    const std::u16string text =
        u"Die Einstellungsdatei \\PK.ini ist besch\u00e4digt; \u00c4nderungen "
        u"k\u00f6nnen nicht gespeichert werden.";
    const struct {
        const char* what;
        RECT owner;
        bool isCentred;
    } cases[] = {
        {"small owner in the middle", {70, 120, 170, 200}, true},
        {"small owner in a corner", {190, 290, 240, 320}, false},
    };
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    LOGFONTW boxFont{}; // the box's font at 240 pixels of width
    boxFont.lfHeight = -13;
    const std::u16string face = u"Tahoma";
    std::copy(face.begin(), face.end(), boxFont.lfFaceName);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RECT& o = c.owner;
        HWND owner =
            CreateWindowExW(0, u"BoxOwner", u"", WS_POPUP | WS_VISIBLE, o.left, o.top,
                            o.right - o.left, o.bottom - o.top, nullptr, nullptr, nullptr, nullptr);
        SeenBox seen;
        platform::ScreenDriver driver;
        driver.PlayWhenIdle({platform::ScriptStep::Run([&] { seen = LookAtBox(owner); }),
                             platform::ScriptStep::Press(VK_RETURN)});
        EXPECT_EQ(MessageBoxW(owner, text.c_str(), nullptr, MB_OK | MB_ICONWARNING), IDOK);
        DestroyWindow(owner);
        ASSERT_TRUE(seen.isShown);
        EXPECT_EQ(seen.text, text);
        // Every line of the text as it wraps in the text window's width fits in its height.
        RECT wrapped{0, 0, seen.textRect.right - seen.textRect.left, 0};
        HDC dc = CreateCompatibleDC(nullptr);
        HFONT font = CreateFontIndirectW(&boxFont);
        HGDIOBJ old = SelectObject(dc, font);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &wrapped,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        DeleteObject(font);
        DeleteDC(dc);
        EXPECT_GE(wrapped.bottom, 3 * metrics.tmHeight) << "a text of several lines";
        EXPECT_GE(seen.textRect.bottom - seen.textRect.top, wrapped.bottom);
        const RECT& r = seen.rect;
        EXPECT_GE(r.left, work.left);
        EXPECT_GE(r.top, work.top);
        EXPECT_LE(r.right, work.right);
        EXPECT_LE(r.bottom, work.bottom);
        if (c.isCentred) {
            EXPECT_NEAR(r.left + r.right, o.left + o.right, 1);
            EXPECT_NEAR(r.top + r.bottom, o.top + o.bottom, 1);
        }
    }
}

LRESULT SeeThroughProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND)
        return 1; // draws nothing: the screen shows through, as a skinned dialog's clear parts
    return DefWindowProcW(window, message, wParam, lParam);
}

// The screen under the box is put back when it goes: a window beneath that lets the screen show
// through shows what it showed before, not the box.
TEST_F(MessageBoxWindow, PutsBackTheScreenItCovered) {
    HWND clear = MakePopup(u"SeeThrough", SeeThroughProcedure, RECT{20, 40, 220, 280}, m_owner);
    platform::ScreenDriver driver;
    ASSERT_TRUE(driver.RunUntilIdle());
    HDC screen = GetDC(nullptr);
    const RECT all{0, 0, 240, 320};
    HBRUSH green = CreateSolidBrush(RGB(0, 160, 0));
    FillRect(screen, &all, green);
    DeleteObject(green);
    ReleaseDC(nullptr, screen);
    std::vector<std::uint32_t> before;
    int width = 0;
    int height = 0;
    ASSERT_TRUE(platform::ReadScreenPixels(nullptr, &before, &width, &height));
    driver.PlayWhenIdle({platform::ScriptStep::Press(VK_RETURN)});
    EXPECT_EQ(MessageBoxW(clear, u"Text", u"Caption", MB_OKCANCEL | MB_ICONQUESTION), IDOK);
    ASSERT_TRUE(driver.RunUntilIdle());
    std::vector<std::uint32_t> after;
    ASSERT_TRUE(platform::ReadScreenPixels(nullptr, &after, &width, &height));
    EXPECT_EQ(std::count(after.begin(), after.end(), 0x00A000u), 240 * 320);
    EXPECT_TRUE(after == before);
    DestroyWindow(clear);
}

HWND g_pageToBringBack = nullptr;

// Hands the front to the page when activated, as the main window does for the open page.
LRESULT BringsThePageBackProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE && g_pageToBringBack != nullptr) {
        SetForegroundWindow(g_pageToBringBack);
        return 0;
    }
    return repaintcheck::FilledPopupProcedure(window, message, wParam, lParam);
}

// A box shown for a window beneath another: while it is up its owner lies beneath it, in front
// and whole; once it is answered the owner hands the front back to the page, which shows whole.
TEST_F(MessageBoxWindow, ABoxOfAWindowBeneathAnotherLeavesNoPixelsOfEither) {
    HWND menu =
        MakePopup(u"BringsThePageBack", BringsThePageBackProcedure, RECT{0, 0, 240, 320}, nullptr);
    SetWindowLongW(menu, GWL_USERDATA, LTGRAY_BRUSH);
    HWND page = repaintcheck::MakeFilledPopup(RECT{0, 0, 240, 320}, GRAY_BRUSH);
    SetActiveWindow(page);
    ASSERT_TRUE(platform::ScreenDriver().RunUntilIdle());
    g_pageToBringBack = page;
    std::optional<RECT> whileUp = RECT{};
    HWND frontWhileUp = nullptr;
    platform::ScreenDriver driver;
    driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
        whileUp = repaintcheck::DifferenceFromWholeRepaint();
        frontWhileUp = WindowFromPoint(POINT{2, 2});
        driver.PlayWhenIdle({platform::ScriptStep::Press(VK_RETURN)});
    })});
    EXPECT_EQ(MessageBoxW(menu, u"Text", u"Caption", MB_OK), IDOK);
    MSG quit{};
    (void)PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    ASSERT_TRUE(platform::ScreenDriver().RunUntilIdle());
    g_pageToBringBack = nullptr;
    EXPECT_FALSE(whileUp.has_value());
    EXPECT_EQ(frontWhileUp, menu);
    EXPECT_EQ(GetActiveWindow(), page);
    EXPECT_EQ(WindowFromPoint(POINT{2, 2}), page);
    EXPECT_FALSE(repaintcheck::DifferenceFromWholeRepaint().has_value());
    DestroyWindow(page);
    DestroyWindow(menu);
}

// A WM_QUIT ends the box unanswered (0) and is posted again; so does EndMessageBoxWindows.
TEST_F(MessageBoxWindow, AQuitOrTheEndOfTheProgramEndsItUnanswered) {
    for (const bool isQuit : {true, false}) {
        SCOPED_TRACE(isQuit);
        platform::ScreenDriver driver;
        driver.PlayWhenIdle({platform::ScriptStep::Run([isQuit] {
            if (isQuit)
                PostQuitMessage(3);
            else
                platform::EndMessageBoxWindows();
        })});
        EXPECT_EQ(MessageBoxW(m_owner, u"text", u"caption", MB_YESNO), 0);
        MSG msg{};
        EXPECT_EQ(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE, isQuit);
        EXPECT_TRUE(IsWindowEnabled(m_owner));
        EXPECT_FALSE(LookAtBox(m_owner).isShown);
    }
}

} // namespace
