#pragma once
// The handheld shell's screen calls: full-screen switching of the task bar and the soft input
// panel (SIP) button, the SIP itself, the menu bar, and the cursor state.

#include "platform/window/windowtypes.h"

constexpr DWORD SHFS_SHOWTASKBAR = 0x0001;
constexpr DWORD SHFS_HIDETASKBAR = 0x0002;
constexpr DWORD SHFS_SHOWSIPBUTTON = 0x0004;
constexpr DWORD SHFS_HIDESIPBUTTON = 0x0008;
// The work area follows the task bar. FALSE for an unknown window.
BOOL SHFullScreen(HWND window, DWORD state);

constexpr DWORD SIPF_OFF = 0x0;
constexpr DWORD SIPF_ON = 0x1;
struct SIPINFO {
    DWORD cbSize; // 48
    DWORD fdwFlags;
    RECT rcVisibleDesktop;
    RECT rcSipRect;
    DWORD dwImDataSize;
    void* pvImData;
};
// SPI_GETSIPINFO fills the SIP state; SPI_SETSIPINFO switches it by SIPF_ON. FALSE for a null
// info or a cbSize other than 48.
BOOL SHSipInfo(UINT action, UINT param, PVOID info, UINT winIni);

constexpr DWORD SHCMBF_EMPTYBAR = 0x0001;
struct SHMENUBARINFO {
    DWORD cbSize; // 36
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB; // out: the bar window
    COLORREF clrBk;
};
// Makes the menu bar nToolBarId of the language library hInstRes: a window along the bottom of
// the screen, under the work area, which shrinks by its height. Bars hold no buttons, so only
// SHCMBF_EMPTYBAR is accepted. FALSE with ERROR_INVALID_PARAMETER for a bad info, else with the
// last error of a missing bar (ERROR_RESOURCE_NAME_NOT_FOUND) or library (as LoadStringW).
BOOL SHCreateMenuBar(SHMENUBARINFO* info);

// Cursors: the system keeps the state (there is no visible pointer on a stylus screen).
constexpr UINT_PTR IDC_ARROW = 32512;
constexpr UINT_PTR IDC_WAIT = 32514;
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name); // system cursors by MAKEINTRESOURCE id
HCURSOR SetCursor(HCURSOR cursor);                     // returns the previous cursor
[[nodiscard]] HCURSOR GetCursor();
int ShowCursor(BOOL show); // returns the new display count; the cursor shows at 0 and above

namespace platform {
[[nodiscard]] bool IsTaskBarShown();
[[nodiscard]] bool IsSipButtonShown();
} // namespace platform
