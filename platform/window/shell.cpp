// Task bar, SIP, menu bar and cursor state.
#include "platform/window/shell.h"

#include "platform/kernel/handles.h"
#include "platform/shell/resources.h"
#include "platform/window/detail/state.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <mutex>

using namespace platform::window_detail;

namespace {

constexpr std::uintptr_t kCursorBase = 0xE000;
std::mutex g_cursorMutex;
HCURSOR g_cursor = nullptr;
int g_cursorCount = 0;

// A window procedure for the menu bar: the empty bar only paints its background, black.
LRESULT MenuBarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterMenuBarClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = MenuBarProcedure;
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = u"MenuBar";
        (void)RegisterClassW(&windowClass);
    });
}

} // namespace

namespace platform::window_detail {

BOOL SipParameters(bool isSet, void* sipInfo) {
    return SHSipInfo(isSet ? SPI_SETSIPINFO : SPI_GETSIPINFO, 0, sipInfo, 0);
}

} // namespace platform::window_detail

BOOL SHFullScreen(HWND window, DWORD request) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    if (Find(state, window) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if ((request & SHFS_SHOWTASKBAR) != 0)
        state.isTaskBarShown = true;
    if ((request & SHFS_HIDETASKBAR) != 0)
        state.isTaskBarShown = false;
    if ((request & SHFS_SHOWSIPBUTTON) != 0)
        state.isSipButtonShown = true;
    if ((request & SHFS_HIDESIPBUTTON) != 0)
        state.isSipButtonShown = false;
    return TRUE;
}

BOOL SHSipInfo(UINT action, UINT, PVOID info, UINT) {
    auto* sip = static_cast<SIPINFO*>(info);
    // cbSize is the device's 48 bytes whatever the host's pointer size.
    if (sip == nullptr || sip->cbSize != 48) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    if (action == SPI_SETSIPINFO) {
        state.isSipOn = (sip->fdwFlags & SIPF_ON) != 0;
        return TRUE;
    }
    if (action != SPI_GETSIPINFO) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const RECT work = WorkArea(state);
    const LONG sipHeight = 80 * state.screenWidth / 240;
    sip->fdwFlags = state.isSipOn ? SIPF_ON : SIPF_OFF;
    sip->rcSipRect = RECT{0, work.bottom - sipHeight, state.screenWidth, work.bottom};
    sip->rcVisibleDesktop = work;
    if (state.isSipOn)
        sip->rcVisibleDesktop.bottom -= sipHeight;
    sip->dwImDataSize = 0;
    sip->pvImData = nullptr;
    return TRUE;
}

BOOL SHCreateMenuBar(SHMENUBARINFO* info) {
    if (info == nullptr || info->cbSize != 36 || (info->dwFlags & SHCMBF_EMPTYBAR) == 0 ||
        !IsWindow(info->hwndParent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!platform::HasMenuBar(info->hInstRes, info->nToolBarId)) {
        return FALSE;
    }
    RegisterMenuBarClass();
    const int height = 26 * GetSystemMetrics(SM_CXSCREEN) / 240;
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    HWND bar = CreateWindowExW(0, u"MenuBar", u"", WS_POPUP, 0, screenHeight - height,
                               GetSystemMetrics(SM_CXSCREEN), height, info->hwndParent, nullptr,
                               info->hInstRes, nullptr);
    if (bar == nullptr)
        return FALSE;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        state.menuBar = bar;
    }
    ShowWindow(bar, SW_SHOWNA);
    info->hwndMB = bar;
    return TRUE;
}

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name) {
    const auto id = reinterpret_cast<UINT_PTR>(name);
    if (id != IDC_ARROW && id != IDC_WAIT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(kCursorBase + (id - IDC_ARROW));
}

HCURSOR SetCursor(HCURSOR cursor) {
    std::lock_guard lock(g_cursorMutex);
    HCURSOR previous = g_cursor;
    g_cursor = cursor;
    return previous;
}

HCURSOR GetCursor() {
    std::lock_guard lock(g_cursorMutex);
    return g_cursor;
}

int ShowCursor(BOOL show) {
    std::lock_guard lock(g_cursorMutex);
    g_cursorCount += show != FALSE ? 1 : -1;
    return g_cursorCount;
}

namespace platform {

bool IsTaskBarShown() {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return state.isTaskBarShown;
}

bool IsSipButtonShown() {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return state.isSipButtonShown;
}

} // namespace platform
