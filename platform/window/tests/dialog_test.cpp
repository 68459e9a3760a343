#include "platform/kernel/messagebox.h"
#include "platform/window/dialog.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

using windowtesting::ClearLog;
using windowtesting::RegisterRecordingClass;

namespace {

const std::vector<std::uint8_t> kTemplate =
    platform::MakeDialogTemplate(WS_POPUP | WS_CLIPCHILDREN | DS_SETFOREGROUND, 0, 0, 100, 50);

struct Seen {
    LPARAM initParam = 0;
    RECT rect{};
    BOOL isOwnerEnabled = TRUE;
    std::vector<UINT> messages;
    LRESULT dialogCode = 0;
};
Seen g_seen;
UINT g_ending = 0; // what the dialog does once it runs

BOOL RecordingDialogProcedure(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    g_seen.messages.push_back(message);
    switch (message) {
    case WM_INITDIALOG:
        g_seen.initParam = lParam;
        GetWindowRect(dialog, &g_seen.rect);
        PostMessageW(dialog, WM_USER, 0, 0);
        return TRUE;
    case WM_USER:
        g_seen.isOwnerEnabled = IsWindowEnabled(GetParent(dialog));
        if (g_ending == WM_COMMAND)
            EndDialog(dialog, 77);
        if (g_ending == WM_CLOSE)
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        if (g_ending == WM_QUIT)
            PostQuitMessage(4);
        if (g_ending == WM_KEYDOWN)
            platform::InjectKey(VK_TAB, true);
        return TRUE;
    case WM_GETDLGCODE: {
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (key != nullptr && HIWORD(key->lParam) == 15) {
            SetWindowLongW(dialog, DWL_MSGRESULT, g_seen.dialogCode);
            return TRUE;
        }
        return FALSE;
    }
    case WM_KEYDOWN:
        EndDialog(dialog, 5);
        return TRUE;
    default:
        return FALSE;
    }
}

TEST(ModalDialog, HasTheTemplateSizeAndDisablesItsOwnerWhileItRuns) {
    RegisterRecordingClass(u"Rec");
    HWND owner = CreateWindowExW(0, u"Rec", u"", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    ASSERT_EQ(GetDialogBaseUnits(), MAKELPARAM(8, 16));
    const struct {
        UINT ending;
        INT_PTR result;
        bool isQuitPending;
    } cases[] = {{WM_COMMAND, 77, false}, {WM_CLOSE, IDCANCEL, false}, {WM_QUIT, -1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ending);
        g_seen = Seen{};
        g_ending = c.ending;
        ClearLog();
        EXPECT_EQ(DialogBoxIndirectParamW(nullptr, platform::AsTemplate(kTemplate), owner,
                                          RecordingDialogProcedure, 1234),
                  c.result);
        EXPECT_EQ(g_seen.initParam, 1234);
        EXPECT_EQ(g_seen.rect.right - g_seen.rect.left, 200);
        EXPECT_EQ(g_seen.rect.bottom - g_seen.rect.top, 100);
        EXPECT_FALSE(g_seen.isOwnerEnabled);
        EXPECT_TRUE(IsWindowEnabled(owner));
        EXPECT_EQ(GetActiveWindow(), owner);
        const auto activations = windowtesting::Numbers(owner, {WM_ACTIVATE});
        EXPECT_EQ(activations.size(), 2u); // lost to the dialog, back at its end
        MSG msg{};
        EXPECT_EQ(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE,
                  c.isQuitPending);
    }
    DestroyWindow(owner);
}

BOOL NestingProcedure(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        PostMessageW(dialog, WM_USER, 0, lParam);
        return TRUE;
    }
    if (message == WM_USER) {
        g_ending = WM_QUIT;
        const INT_PTR inner = DialogBoxIndirectParamW(nullptr, platform::AsTemplate(kTemplate),
                                                      dialog, RecordingDialogProcedure, 0);
        g_seen.initParam = inner;
        return TRUE;
    }
    return FALSE;
}

TEST(ModalDialog, QuitInANestedLoopEndsEveryLoop) {
    g_seen = Seen{};
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, platform::AsTemplate(kTemplate), nullptr,
                                      NestingProcedure, 0),
              -1);
    EXPECT_EQ(g_seen.initParam, -1);
    MSG msg{};
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, 4u);
}

TEST(ModalDialog, TabIsOfferedThroughGetDlgCodeAndRefusedTemplatesFail) {
    const struct {
        LRESULT dialogCode;
        bool isTabDispatched;
    } cases[] = {{DLGC_WANTARROWS, false}, {DLGC_WANTTAB, true}};
    for (const auto& c : cases) {
        g_seen = Seen{};
        g_seen.dialogCode = c.dialogCode;
        g_ending = WM_KEYDOWN;
        HWND dialog = CreateDialogIndirectParamW(nullptr, platform::AsTemplate(kTemplate), nullptr,
                                                 RecordingDialogProcedure, 0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
        SetFocus(dialog);
        MSG msg{};
        for (int i = 0; i < 20 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (!IsDialogMessageW(dialog, &msg))
                DispatchMessageW(&msg);
        }
        platform::InjectKey(VK_TAB, false);
        const auto& seen = g_seen.messages;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), WM_GETDLGCODE), 1);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), WM_KEYDOWN), c.isTabDispatched ? 1 : 0);
        DestroyWindow(dialog);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    const auto withItems = platform::MakeDialogTemplate(WS_POPUP, 0, 0, 10, 10, 1);
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, platform::AsTemplate(withItems), nullptr,
                                      RecordingDialogProcedure, 0),
              -1);
}

LRESULT g_keyCode = 0; // what the dialog answers WM_GETDLGCODE for Enter and Esc
UINT g_key = 0;        // the key pressed once the dialog runs

BOOL KeyDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        PostMessageW(dialog, WM_USER, 0, 0);
        return TRUE;
    case WM_USER:
        platform::InjectKey(g_key, true);
        platform::InjectKey(g_key, false);
        return TRUE;
    case WM_GETDLGCODE:
        SetWindowLongW(dialog, DWL_MSGRESULT, g_keyCode);
        return TRUE;
    case WM_COMMAND:
        EndDialog(dialog, 100 + LOWORD(wParam));
        return TRUE;
    case WM_KEYDOWN:
        EndDialog(dialog, 200 + static_cast<INT_PTR>(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

// As the dialog manager does: Enter is the command of OK, Esc that of Cancel, unless the window
// with the focus wants every key.
TEST(ModalDialog, EnterAndEscAreOkAndCancelUnlessTheFocusWantsThem) {
    const struct {
        UINT key;
        LRESULT code;
        INT_PTR result;
    } cases[] = {{VK_RETURN, 0, 100 + IDOK},
                 {VK_ESCAPE, 0, 100 + IDCANCEL},
                 {VK_RETURN, DLGC_WANTALLKEYS, 200 + VK_RETURN},
                 {VK_ESCAPE, DLGC_WANTALLKEYS, 200 + VK_ESCAPE}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        g_key = c.key;
        g_keyCode = c.code;
        EXPECT_EQ(DialogBoxIndirectParamW(nullptr, platform::AsTemplate(kTemplate), nullptr,
                                          KeyDialogProcedure, 0),
                  c.result);
    }
}

} // namespace
