#pragma once
// Window classes and windows. A window belongs to the thread that created it and is named by a
// small-integer handle; a handle that was destroyed is never valid again. Unless a comment says
// otherwise a call on a window should come from its thread; PostMessageW, InvalidateRect,
// IsWindowVisible, GetClientRect and GetWindowRect are safe from any thread and never block,
// and ShowWindow and SetWindowPos from another thread are queued to the owner thread.

#include "platform/window/windowtypes.h"

#include <string>

// FALSE with ERROR_CLASS_ALREADY_EXISTS for a name already registered, ERROR_INVALID_PARAMETER
// for a missing name or procedure or negative extra sizes; a debug line names the class.
ATOM RegisterClassW(const WNDCLASSW* windowClass);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
// Finds a registered class by name (without case); the instance is not compared.
[[nodiscard]] BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* windowClass);
// Class name of a window into buffer (cut and terminated); the characters copied.
int GetClassNameW(HWND window, LPWSTR buffer, int bufferMax);

// Creates a window of a registered class (also the system classes "Static" and "Edit").
// Messages before WM_CREATE go to the class procedure; WM_CREATE gets the CREATESTRUCTW with
// lpCreateParams = param before this returns. A top-level window with CW_USEDEFAULT as width
// fills the work area. A child's menu argument is its control id. Null with
// ERROR_CANNOT_FIND_WND_CLASS for an unknown class, ERROR_INVALID_WINDOW_HANDLE for a bad parent;
// when WM_CREATE returns -1 the window is destroyed and null is returned.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
// Sends WM_DESTROY to the window and then to each child, deepest last, and frees them; a message
// another thread sent to one of them and that still waits is answered with 0. Safe inside the
// window's own handler and a child's handler.
BOOL DestroyWindow(HWND window);
[[nodiscard]] BOOL IsWindow(HWND window);

// GWL_WNDPROC, GWL_STYLE, GWL_EXSTYLE, GWL_ID, GWL_USERDATA, or a byte offset of the extra
// words. Extra words are pointer-sized and the offset plus 4 must fit the class's cbWndExtra
// (the window keeps 4 bytes more, so a pointer fits in the last 32-bit slot). 0 with
// ERROR_INVALID_INDEX for other indexes.
LONG_PTR GetWindowLongW(HWND window, int index);
// Returns the previous value. GWL_WNDPROC installs a subclass procedure.
LONG_PTR SetWindowLongW(HWND window, int index, LONG_PTR value);
LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Default handling: WM_SETTEXT/WM_GETTEXT/WM_GETTEXTLENGTH keep the window text; WM_CLOSE
// destroys the window; WM_ERASEBKGND fills with the class brush and returns 1; WM_PAINT
// validates; WM_CTLCOLOR* give the white brush; WM_ACTIVATE gives the focus to the window.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

BOOL ShowWindow(HWND window, int command);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
// SWP_NOREDRAW leaves what the window uncovers (moved, sized, hidden, lowered in the z-order)
// unrepainted, also with SWP_HIDEWINDOW. Positions
// are held within +-2^29 and sizes within 0..2^29.
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL EnableWindow(HWND window, BOOL enable); // returns TRUE when it was disabled before
[[nodiscard]] BOOL IsWindowEnabled(HWND window);
// TRUE when the window and all its ancestors have WS_VISIBLE. Any thread.
[[nodiscard]] BOOL IsWindowVisible(HWND window);
HWND SetParent(HWND window, HWND newParent); // null parent: a top-level popup
[[nodiscard]] HWND GetParent(HWND window);
[[nodiscard]] HWND GetDlgItem(HWND parent, int id);
[[nodiscard]] int GetDlgCtrlID(HWND window);

BOOL SetWindowTextW(HWND window, LPCWSTR text);
int GetWindowTextW(HWND window, LPWSTR buffer, int bufferMax);
int GetWindowTextLengthW(HWND window);
// The first top-level window with that class and title (null matches any), in creation order.
[[nodiscard]] HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);

// Client rectangle (0, 0, width, height); WS_BORDER takes one pixel each side. Any thread.
BOOL GetClientRect(HWND window, RECT* rect);
BOOL GetWindowRect(HWND window, RECT* rect); // screen coordinates; any thread
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
// Top-level visible enabled window or descendant under a screen point, topmost first.
[[nodiscard]] HWND WindowFromPoint(POINT point);
[[nodiscard]] DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);

// Rectangle helpers.
BOOL SetRect(RECT* rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* rect);
[[nodiscard]] BOOL IsRectEmpty(const RECT* rect);
BOOL IntersectRect(RECT* result, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* result, const RECT* a, const RECT* b);
BOOL OffsetRect(RECT* rect, int dx, int dy);
[[nodiscard]] BOOL PtInRect(const RECT* rect, POINT point);

// Scroll bars of a window: the values are kept (SB_HORZ, SB_VERT); nothing is drawn. nPage is
// cut to the range and nPos to min..max - (page - 1). Returns the position; 0 with
// ERROR_INVALID_PARAMETER for a bad bar or cbSize other than sizeof(SCROLLINFO) (28).
int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw);
BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO* info);

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CXDOUBLECLK = 36;
constexpr int SM_CYDOUBLECLK = 37;
[[nodiscard]] int GetSystemMetrics(int index);

constexpr UINT SPI_GETWORKAREA = 48;
constexpr UINT SPI_SETSIPINFO = 224;
constexpr UINT SPI_GETSIPINFO = 225;
// SPI_GETWORKAREA fills a RECT; the SIP codes read and write a SIPINFO (platform/window/shell.h).
BOOL SystemParametersInfoW(UINT action, UINT param, PVOID data, UINT winIni);

constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_INVALID_INDEX = 1413;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_CLASS_DOES_NOT_EXIST = 1411;
constexpr DWORD ERROR_CLASS_HAS_WINDOWS = 1412;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr DWORD ERROR_TIMER_NOT_FOUND = 1402;
constexpr DWORD ERROR_HOTKEY_ALREADY_REGISTERED = 1409;
constexpr DWORD ERROR_HOTKEY_NOT_REGISTERED = 1419;
constexpr DWORD ERROR_WINDOW_OF_OTHER_THREAD = 1408;

namespace platform {

// The virtual screen: 240 x 320 unless set; tests and the visible back end may choose
// 480 x 640. Changing it moves nothing that exists.
void SetScreenSize(int width, int height);
// The text a window keeps, read without a message; empty for an unknown window. Any thread.
[[nodiscard]] std::u16string WindowTextOf(HWND window);
// The big icon (WM_SETICON, ICON_BIG) of the topmost visible top-level window that has one;
// null when none has. The visible back end shows it as its window's icon. Any thread.
[[nodiscard]] HICON ScreenIcon();

} // namespace platform
