#include "platform/kernel/time.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using windowtesting::ClearLog;
using windowtesting::Numbers;
using windowtesting::RegisterRecordingClass;

namespace {

HWND MakePopup(LPCWSTR className, RECT rect, DWORD style = WS_POPUP | WS_VISIBLE) {
    return CreateWindowExW(0, className, u"", style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
}

HWND MakeChild(HWND parent, RECT rect, LPCWSTR className = u"Rec") {
    return CreateWindowExW(0, className, u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect.left,
                           rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                           nullptr, nullptr, nullptr);
}

std::vector<windowtesting::Logged> Entries(UINT message) {
    std::lock_guard lock(windowtesting::LogMutex());
    std::vector<windowtesting::Logged> entries;
    for (const auto& e : windowtesting::Log()) {
        if (e.message == message)
            entries.push_back(e);
    }
    return entries;
}

TEST(Activation, ReportsEachChangeOfTheActiveTopLevelWindow) {
    RegisterRecordingClass(u"Rec");
    HWND left = MakePopup(u"Rec", RECT{0, 0, 120, 320});
    HWND right = MakePopup(u"Rec", RECT{120, 0, 240, 320});
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    ASSERT_EQ(GetActiveWindow(), right);
    const struct {
        std::function<void()> action;
        HWND inactive;
        HWND active;
        WORD how;
    } cases[] = {
        {[&] {
             driver.Tap(POINT{10, 10});
         },
         right, left, WA_CLICKACTIVE},
        {[&] { SetForegroundWindow(right); }, left, right, WA_ACTIVE},
        {[&] {
             driver.Tap(POINT{130, 10});
         },
         nullptr, nullptr, 0}, // already active
        {[&] { ShowWindow(right, SW_HIDE); }, right, left, WA_ACTIVE},
    };
    int step = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(step++);
        ClearLog();
        c.action();
        const auto activations = Entries(WM_ACTIVATE);
        if (c.active == nullptr) {
            EXPECT_TRUE(activations.empty());
            continue;
        }
        ASSERT_EQ(activations.size(), 2u);
        EXPECT_EQ(activations[0].window, c.inactive);
        EXPECT_EQ(LOWORD(activations[0].wParam), WA_INACTIVE);
        EXPECT_EQ(activations[0].lParam, reinterpret_cast<LPARAM>(c.active));
        EXPECT_EQ(activations[1].window, c.active);
        EXPECT_EQ(LOWORD(activations[1].wParam), c.how);
        EXPECT_EQ(activations[1].lParam, reinterpret_cast<LPARAM>(c.inactive));
        EXPECT_EQ(GetActiveWindow(), c.active);
    }
    DestroyWindow(left);
    DestroyWindow(right);
}

// A window disabled under a dialog it owns hands its activation to the dialog (the last active
// enabled one of a chain of dialogs), and however a window comes to the front, the windows it
// owns lie above it: taps on a dialog reach the dialog.
TEST(Activation, ADisabledOwnerHandsItToItsDialogAndNeverLiesAboveIt) {
    RegisterRecordingClass(u"Rec");
    platform::ScreenDriver driver;
    HWND main = MakePopup(u"Rec", RECT{0, 0, 240, 320});
    HWND other = MakePopup(u"Rec", RECT{0, 0, 240, 320});
    HWND dialog = CreateWindowExW(0, u"Rec", u"", WS_POPUP | WS_VISIBLE, 20, 100, 200, 100, main,
                                  nullptr, nullptr, nullptr);
    HWND box = CreateWindowExW(0, u"Rec", u"", WS_POPUP | WS_VISIBLE, 60, 120, 120, 40, dialog,
                               nullptr, nullptr, nullptr);
    const POINT onDialog{30, 190};
    const POINT onBox{100, 140};
    enum Disabled { NoneDisabled, MainDisabled, MainAndDialogDisabled };
    const struct {
        const char* what;
        Disabled disabled;
        bool withBox;
        std::function<void()> action;
        HWND active;
        HWND lastPopupOfMain;
    } cases[] = {
        {"activating the disabled owner", MainDisabled, false, [&] { SetForegroundWindow(main); },
         dialog, dialog},
        {"activating an owner under two dialogs", MainAndDialogDisabled, true,
         [&] { SetForegroundWindow(main); }, box, box},
        {"activating an enabled owner", NoneDisabled, false, [&] { SetForegroundWindow(main); },
         main, dialog},
        {"the owner put on top", NoneDisabled, false,
         [&] { SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }, main, dialog},
        {"the owner put on top without activation", NoneDisabled, true,
         [&] {
             SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
         },
         other, box},
        // The owner, not the dialog lying above it, follows a window that goes away.
        {"the window in front hidden", NoneDisabled, false, [&] { ShowWindow(other, SW_HIDE); },
         main, dialog},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ShowWindow(box, c.withBox ? SW_SHOWNA : SW_HIDE);
        EnableWindow(main, c.disabled == NoneDisabled ? TRUE : FALSE);
        EnableWindow(dialog, c.disabled == MainAndDialogDisabled ? FALSE : TRUE);
        ShowWindow(other, SW_SHOW);
        SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        ASSERT_EQ(GetActiveWindow(), other);
        ASSERT_EQ(WindowFromPoint(onDialog), other);
        c.action();
        driver.RunUntilIdle();
        const std::map<HWND, std::string> names = {
            {main, "main"}, {other, "other"}, {dialog, "dialog"}, {box, "box"}};
        EXPECT_EQ(names.at(GetActiveWindow()), names.at(c.active));
        EXPECT_EQ(names.at(GetLastActivePopup(main)), names.at(c.lastPopupOfMain));
        EXPECT_EQ(WindowFromPoint(onDialog), dialog);
        if (c.withBox) {
            EXPECT_EQ(WindowFromPoint(onBox), box);
        }
    }
    EXPECT_EQ(GetLastActivePopup(other), other) << "a window without owned ones";
    DestroyWindow(main);
    DestroyWindow(other);
}

TEST(Focus, ChangesComeInKillSetPairs) {
    RegisterRecordingClass(u"Rec");
    HWND top = MakePopup(u"Rec", RECT{0, 0, 240, 320});
    HWND first = MakeChild(top, RECT{0, 0, 50, 50});
    HWND second = MakeChild(top, RECT{60, 0, 110, 50});
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    const struct {
        HWND target;
        HWND killed;
    } cases[] = {{first, top}, {second, first}, {second, nullptr}, {nullptr, second}};
    for (const auto& c : cases) {
        ClearLog();
        SetFocus(c.target);
        EXPECT_EQ(GetFocus(), c.target);
        const auto kills = Entries(WM_KILLFOCUS);
        const auto sets = Entries(WM_SETFOCUS);
        if (c.killed == nullptr) {
            EXPECT_TRUE(kills.empty() && sets.empty());
            continue;
        }
        ASSERT_EQ(kills.size(), 1u);
        EXPECT_EQ(kills[0].window, c.killed);
        EXPECT_EQ(kills[0].wParam, reinterpret_cast<WPARAM>(c.target));
        ASSERT_EQ(sets.size(), c.target != nullptr ? 1u : 0u);
        if (c.target != nullptr) {
            EXPECT_EQ(sets[0].wParam, reinterpret_cast<WPARAM>(c.killed));
        }
    }
    DestroyWindow(top);
}

TEST(StylusInput, GoesToCaptureWithOutsideCoordinatesAndNeverToDisabledWindows) {
    RegisterRecordingClass(u"Rec");
    HWND top = MakePopup(u"Rec", RECT{0, 0, 240, 320});
    HWND child = MakeChild(top, RECT{100, 100, 140, 140});
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    const struct {
        std::function<void()> prepare;
        POINT at;
        HWND receiver;
        int x;
        int y;
    } cases[] = {
        {[] {}, POINT{110, 120}, child, 10, 20},
        {[&] { SetCapture(child); }, POINT{5, 6}, child, -95, -94},
        {[&] { ReleaseCapture(); }, POINT{5, 6}, top, 5, 6},
        {[&] { EnableWindow(child, FALSE); }, POINT{110, 120}, nullptr, 0, 0},
        {[&] { EnableWindow(top, FALSE); }, POINT{5, 6}, nullptr, 0, 0},
    };
    int step = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(step++);
        c.prepare();
        ClearLog();
        driver.Tap(c.at);
        const auto downs = Entries(WM_LBUTTONDOWN);
        if (c.receiver == nullptr) {
            EXPECT_TRUE(downs.empty());
            continue;
        }
        ASSERT_EQ(downs.size(), 1u);
        EXPECT_EQ(downs[0].window, c.receiver);
        EXPECT_EQ(GET_X_LPARAM(downs[0].lParam), c.x);
        EXPECT_EQ(GET_Y_LPARAM(downs[0].lParam), c.y);
    }
    DestroyWindow(top);
}

TEST(StylusInput, DoubleClicksOnlyForClassesThatAskForThem) {
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    RegisterRecordingClass(u"Rec");
    RegisterRecordingClass(u"Double", CS_DBLCLKS);
    const struct {
        LPCWSTR className;
        std::uint64_t pauseMs;
        int dx;
        UINT second;
    } cases[] = {
        {u"Double", 100, 0, WM_LBUTTONDBLCLK},
        {u"Double", 501, 0, WM_LBUTTONDOWN},
        {u"Double", 100, 5, WM_LBUTTONDOWN},
        {u"Rec", 100, 0, WM_LBUTTONDOWN},
    };
    platform::ScreenDriver driver(&clock);
    for (const auto& c : cases) {
        HWND window = MakePopup(c.className, RECT{0, 0, 240, 320});
        driver.RunUntilIdle();
        driver.Tap(POINT{50, 50});
        clock.Advance(c.pauseMs);
        ClearLog();
        driver.Tap(POINT{50 + c.dx, 50});
        EXPECT_EQ(Numbers(window, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}),
                  (std::vector<UINT>{c.second}));
        DestroyWindow(window);
        clock.Advance(1000);
    }
}

TEST(KeyInput, CarriesScanCodesAndTranslatesToCharacters) {
    RegisterRecordingClass(u"Rec");
    HWND top = MakePopup(u"Rec", RECT{0, 0, 240, 320});
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    const struct {
        UINT key;
        bool isShifted;
        WORD scanCode;
        WPARAM character; // 0: none
    } cases[] = {
        {VK_TAB, false, 15, u'\t'}, {'A', false, 0x1E, u'a'},        {'A', true, 0x1E, u'A'},
        {VK_UP, false, 0x148, 0},   {VK_RETURN, false, 0x1C, u'\r'}, {VK_F1, false, 0x3B, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        ClearLog();
        if (c.isShifted) {
            driver.KeyWith(VK_SHIFT, c.key);
        } else {
            driver.Key(c.key);
        }
        std::vector<windowtesting::Logged> downs;
        for (const auto& e : Entries(WM_KEYDOWN)) {
            if (e.wParam == c.key)
                downs.push_back(e);
        }
        ASSERT_EQ(downs.size(), 1u);
        EXPECT_EQ(HIWORD(downs[0].lParam), c.scanCode);
        const auto chars = Entries(WM_CHAR);
        ASSERT_EQ(chars.size(), c.character != 0 ? 1u : 0u);
        if (c.character != 0) {
            EXPECT_EQ(chars[0].wParam, c.character);
        }
    }
    // Held keys show in the sign bit; a press since the last call in the low bit, once.
    platform::InjectKey(VK_ESCAPE, true);
    platform::InjectKey(VK_ESCAPE, false);
    platform::InjectKey(VK_CONTROL, true);
    driver.RunUntilIdle();
    const struct {
        int key;
        SHORT async;
        SHORT state;
    } states[] = {{VK_ESCAPE, 1, 0},
                  {VK_ESCAPE, 0, 0},
                  {VK_CONTROL, SHORT(0x8001), SHORT(0x8000)},
                  {VK_CONTROL, SHORT(0x8000), SHORT(0x8000)}};
    for (const auto& s : states) {
        EXPECT_EQ(GetKeyState(s.key), s.state);
        EXPECT_EQ(GetAsyncKeyState(s.key), s.async);
    }
    platform::InjectKey(VK_CONTROL, false);
    driver.RunUntilIdle();
    DestroyWindow(top);
}

TEST(KeyInput, HotKeysTakeTheKeyAndAcceleratorsWorkOnlyWhileEnabled) {
    RegisterRecordingClass(u"Rec");
    HWND main = MakePopup(u"Rec", RECT{0, 0, 240, 320});
    HWND child = MakeChild(main, RECT{0, 0, 50, 50});
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    SetFocus(child);
    ASSERT_TRUE(RegisterHotKey(main, 1, 0, VK_UP));
    EXPECT_FALSE(RegisterHotKey(child, 2, 0, VK_UP));
    testdata::TempDeviceRoot root;
    platform::ResourceBundle bundle;
    bundle.accelerators[225] = {{FVIRTKEY, VK_F3, 300}, {FVIRTKEY | FCONTROL, 'S', 301}};
    HMODULE language = windowtesting::LoadLanguage(root, bundle);
    HACCEL table = LoadAcceleratorsW(language, MAKEINTRESOURCEW(225));
    ASSERT_NE(table, nullptr);
    driver.SetAccelerators(main, table);
    // While the main window is disabled (a modeless dialog runs), keys reach the dialog and the
    // main window's accelerators stay off.
    HWND dialog = MakePopup(u"Rec", RECT{20, 20, 200, 200});
    // A modal window (a dialog or box whose own loop runs), shown in its rows only: while it is
    // up every key goes to it, the hot keys too, also when the window beneath keeps the focus or
    // stays enabled (a box of another thread).
    HWND modal = MakePopup(u"Rec", RECT{40, 40, 180, 180}, WS_POPUP);
    HWND modalChild = MakeChild(modal, RECT{0, 0, 50, 50});
    platform::SetModalWindow(modal, true);
    const struct {
        std::function<void()> press;
        HWND focus;
        bool isEnabled;
        std::vector<UINT> atMain;
        WPARAM command;
        bool isModalUp = false;
        HWND keyDownAt = nullptr; // the one window that gets the key down
        HWND charAt = nullptr;    // the one window that gets a typed character
    } cases[] = {
        {[&] { driver.Key(VK_UP); }, child, true, {WM_HOTKEY}, 0},
        {[&] { driver.Key(VK_F3); }, child, true, {WM_COMMAND}, MAKEWPARAM(300, 1)},
        {[&] { driver.KeyWith(VK_CONTROL, 'S'); }, child, true, {WM_COMMAND}, MAKEWPARAM(301, 1)},
        {[&] { driver.Key('S'); }, child, true, {}, 0},
        {[&] { platform::InjectChar(u's'); }, child, true, {}, 0},
        {[&] { driver.Key(VK_F3); }, dialog, false, {}, 0, false, dialog},
        {[&] { driver.Key(VK_UP); }, modalChild, false, {}, 0, true, modalChild},
        {[&] { driver.Key(VK_DOWN); }, modalChild, true, {}, 0, true, modalChild},
        {[&] { driver.Key(VK_UP); }, child, true, {}, 0, true, modal},
        {[&] {
             platform::InjectChar(u's');
             driver.RunUntilIdle();
         },
         child,
         true,
         {},
         0,
         true,
         nullptr,
         modal},
    };
    int step = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(step++);
        EnableWindow(main, c.isEnabled ? TRUE : FALSE);
        SetFocus(c.focus);
        ShowWindow(modal, c.isModalUp ? SW_SHOWNA : SW_HIDE);
        driver.RunUntilIdle();
        ClearLog();
        c.press();
        EXPECT_EQ(Numbers(main, {WM_HOTKEY, WM_COMMAND}), c.atMain);
        if (c.command != 0) {
            EXPECT_EQ(Entries(WM_COMMAND)[0].wParam, c.command);
        }
        if (c.keyDownAt != nullptr) {
            const auto downs = Entries(WM_KEYDOWN);
            ASSERT_EQ(downs.size(), 1u);
            EXPECT_EQ(downs[0].window, c.keyDownAt);
        }
        if (c.charAt != nullptr) {
            const auto chars = Entries(WM_CHAR);
            ASSERT_EQ(chars.size(), 1u);
            EXPECT_EQ(chars[0].window, c.charAt);
        }
    }
    ShowWindow(modal, SW_HIDE);
    DestroyWindow(modal);
    DestroyWindow(dialog);
    EnableWindow(main, TRUE);
    ASSERT_TRUE(UnregisterHotKey(main, 1));
    SetFocus(child);
    ClearLog();
    driver.Key(VK_UP);
    EXPECT_EQ(Numbers(child, {WM_KEYDOWN}).size(), 1u);
    DestroyAcceleratorTable(table);
    DestroyWindow(main);
    EXPECT_TRUE(FreeLibrary(language));
}

TEST(KeyInput, AcceleratorTablesLoadOnlyFromALoadedLibraryThatHasThem) {
    testdata::TempDeviceRoot root;
    platform::ResourceBundle bundle;
    bundle.accelerators[225] = {{FVIRTKEY, VK_F3, 300}};
    HMODULE language = windowtesting::LoadLanguage(root, bundle);
    ASSERT_NE(language, nullptr);
    const struct {
        HINSTANCE instance;
        LPCWSTR name;
        DWORD error; // 0: the table loads
    } cases[] = {
        {language, MAKEINTRESOURCEW(225), 0},
        {language, MAKEINTRESOURCEW(226), ERROR_RESOURCE_NAME_NOT_FOUND},
        {language, u"Accelerators", ERROR_RESOURCE_NAME_NOT_FOUND},
        {nullptr, MAKEINTRESOURCEW(225), ERROR_MOD_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        SetLastError(0);
        HACCEL table = LoadAcceleratorsW(c.instance, c.name);
        EXPECT_EQ(table != nullptr, c.error == 0);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(DestroyAcceleratorTable(table), table != nullptr ? TRUE : FALSE);
    }
    EXPECT_TRUE(FreeLibrary(language));
}

} // namespace
