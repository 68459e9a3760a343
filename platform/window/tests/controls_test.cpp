#include "platform/window/controls.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

using windowtesting::ClearLog;
using windowtesting::RegisterRecordingClass;

namespace {

HGDIOBJ g_brushAnswer = nullptr;
LRESULT ParentProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    windowtesting::Record(window, message, wParam, lParam);
    if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLOREDIT) {
        return reinterpret_cast<LRESULT>(g_brushAnswer);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

struct Fixture {
    HWND parent;
    HWND control;
};

Fixture Make(LPCWSTR className, DWORD style) {
    RegisterRecordingClass(u"Parent", 0, 0, ParentProcedure);
    HWND parent = CreateWindowExW(0, u"Parent", u"", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    HWND control = CreateWindowExW(0, className, u"", WS_CHILD | WS_VISIBLE | style, 10, 10, 100,
                                   20, parent, reinterpret_cast<HMENU>(2000), nullptr, nullptr);
    return Fixture{parent, control};
}

std::vector<windowtesting::Logged> ParentEntries(HWND parent, UINT message) {
    std::lock_guard lock(windowtesting::LogMutex());
    std::vector<windowtesting::Logged> entries;
    for (const auto& e : windowtesting::Log()) {
        if (e.window == parent && e.message == message)
            entries.push_back(e);
    }
    return entries;
}

TEST(StaticControl, AsksItsParentForColoursAndRepaintsOnNewText) {
    Fixture f = Make(u"Static", SS_LEFT);
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    const struct {
        std::function<void()> change;
        size_t colourQuestions;
    } cases[] = {
        {[&] { SetWindowTextW(f.control, u"Distance"); }, 1},
        {[&] { SendMessageW(f.control, WM_SETFONT, 0xF00D, FALSE); }, 0},
        {[&] { SendMessageW(f.control, WM_SETFONT, 0xF00D, TRUE); }, 1},
    };
    g_brushAnswer = GetStockObject(NULL_BRUSH);
    for (const auto& c : cases) {
        ClearLog();
        c.change();
        driver.RunUntilIdle();
        const auto questions = ParentEntries(f.parent, WM_CTLCOLORSTATIC);
        ASSERT_EQ(questions.size(), c.colourQuestions);
        if (!questions.empty()) {
            EXPECT_EQ(questions[0].lParam, reinterpret_cast<LPARAM>(f.control));
            EXPECT_NE(questions[0].wParam, 0u);
        }
    }
    EXPECT_EQ(SendMessageW(f.control, WM_GETFONT, 0, 0), 0xF00D);
    EXPECT_EQ(platform::WindowTextOf(f.control), u"Distance");
    DestroyWindow(f.parent);
}

// A tap on a label reaches the window beneath it, its parent, unless the label asks to notify.
TEST(StaticControl, LetsTheStylusThroughUnlessItNotifies) {
    const struct {
        DWORD style;
        bool isThrough;
    } cases[] = {{SS_LEFT, true}, {SS_LEFT | SS_NOTIFY, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        Fixture f = Make(u"Static", c.style);
        platform::ScreenDriver driver;
        driver.RunUntilIdle();
        RECT rect{};
        GetWindowRect(f.control, &rect);
        const POINT middle{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        ClearLog();
        driver.Tap(middle);
        EXPECT_EQ(WindowFromPoint(middle), c.isThrough ? f.parent : f.control);
        EXPECT_EQ(ParentEntries(f.parent, WM_LBUTTONDOWN).size(), c.isThrough ? 1u : 0u);
        DestroyWindow(f.parent);
    }
}

TEST(EditControl, EditsSelectsLimitsAndReportsChanges) {
    Fixture f = Make(u"Edit", ES_AUTOHSCROLL);
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    SetFocus(f.control);
    driver.RunUntilIdle();
    const struct {
        std::function<void()> action;
        std::u16string text;
        DWORD selection; // MAKELONG(start, end)
        size_t changes;
    } cases[] = {
        {[&] { driver.Text(u"Berlin"); }, u"Berlin", MAKELPARAM(6, 6), 6},
        {[&] { driver.Key(VK_BACK); }, u"Berli", MAKELPARAM(5, 5), 1},
        {[&] { driver.Key(VK_TAB); }, u"Berli", MAKELPARAM(5, 5), 0},
        {[&] { driver.Key(VK_HOME); }, u"Berli", MAKELPARAM(0, 0), 0},
        {[&] { driver.Key(VK_DELETE); }, u"erli", MAKELPARAM(0, 0), 1},
        {[&] { SendMessageW(f.control, EM_SETSEL, 0, -1); }, u"erli", MAKELPARAM(0, 4), 0},
        {[&] { driver.Text(u"K"); }, u"K", MAKELPARAM(1, 1), 1},
        {[&] {
             SendMessageW(f.control, EM_LIMITTEXT, 3, 0);
             driver.Text(u"iel");
         },
         u"Kie", MAKELPARAM(3, 3), 2},
        {[&] { driver.KeyWith(VK_SHIFT, VK_LEFT); }, u"Kie", MAKELPARAM(2, 3), 0},
        {[&] { SetWindowTextW(f.control, u"Ulm"); }, u"Ulm", MAKELPARAM(0, 0), 1},
    };
    int step = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(step++);
        ClearLog();
        c.action();
        driver.RunUntilIdle();
        EXPECT_EQ(platform::WindowTextOf(f.control), c.text);
        EXPECT_EQ(static_cast<DWORD>(SendMessageW(f.control, EM_GETSEL, 0, 0)), c.selection);
        size_t changes = 0;
        for (const auto& e : ParentEntries(f.parent, WM_COMMAND)) {
            if (HIWORD(e.wParam) == EN_CHANGE) {
                EXPECT_EQ(LOWORD(e.wParam), 2000);
                EXPECT_EQ(e.lParam, reinterpret_cast<LPARAM>(f.control));
                ++changes;
            }
        }
        EXPECT_EQ(changes, c.changes);
    }
    WCHAR buffer[3];
    EXPECT_EQ(GetWindowTextW(f.control, buffer, 3), 2); // cut to the buffer
    EXPECT_EQ(std::u16string(buffer), u"Ul");
    EXPECT_FALSE(ParentEntries(f.parent, WM_CTLCOLOREDIT).empty());
    DestroyWindow(f.parent);
}

} // namespace

TEST(CommonControls, AcceptTheRecordOfTheirSizeWithKnownClassesOnly) {
    const struct {
        bool isNull;
        DWORD size;
        DWORD classes;
        BOOL result;
    } cases[] = {
        {false, 8, ICC_LISTVIEW_CLASSES, TRUE},
        {false, 8, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS, TRUE},
        {true, 8, ICC_LISTVIEW_CLASSES, FALSE},
        {false, 12, ICC_LISTVIEW_CLASSES, FALSE},
        {false, 0, ICC_LISTVIEW_CLASSES, FALSE},
        {false, 8, 0, FALSE},
        {false, 8, 0x100, FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " " << c.classes);
        const INITCOMMONCONTROLSEX init{c.size, c.classes};
        EXPECT_EQ(InitCommonControlsEx(c.isNull ? nullptr : &init), c.result);
    }
    EXPECT_EQ(platform::InitializedCommonControls(),
              ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS);
}
