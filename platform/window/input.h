#pragma once
// Input: key states, focus, capture, activation, hot keys and accelerators, and the injection
// of stylus and key input from the screen back end (headless: from tests and scripts).
// Injected input goes to the capture window, else the window under the stylus; keys go to the
// focus window, else the active window. While a modal window is up (platform::SetModalWindow)
// every key goes to it instead, hot keys too. Disabled windows get none of it.

#include "platform/window/windowtypes.h"

constexpr UINT VK_LBUTTON = 0x01;
constexpr UINT VK_RBUTTON = 0x02;
constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_PRIOR = 0x21;
constexpr UINT VK_NEXT = 0x22;
constexpr UINT VK_END = 0x23;
constexpr UINT VK_HOME = 0x24;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_DELETE = 0x2E;
constexpr UINT VK_NUMPAD0 = 0x60;
constexpr UINT VK_NUMPAD9 = 0x69;
constexpr UINT VK_MULTIPLY = 0x6A;
constexpr UINT VK_ADD = 0x6B;
constexpr UINT VK_SUBTRACT = 0x6D;
constexpr UINT VK_DECIMAL = 0x6E;
constexpr UINT VK_F1 = 0x70;
constexpr UINT VK_F3 = 0x72;
constexpr UINT VK_F5 = 0x74;
constexpr UINT VK_F12 = 0x7B;
constexpr UINT VK_OEM_PLUS = 0xBB;
constexpr UINT VK_OEM_MINUS = 0xBD;

// Sign bit: held. GetKeyState follows the input messages the calling thread has taken;
// GetAsyncKeyState tells the state now, and in its low bit whether the key was pressed since
// the previous call (cleared by the call).
[[nodiscard]] SHORT GetKeyState(int key);
SHORT GetAsyncKeyState(int key);

// Sends WM_KILLFOCUS to the old and WM_SETFOCUS to the new window (activating its top-level
// window first); returns the old focus. Null for an unknown window. The activation and focus
// messages of a window of another thread are queued to that thread, never waited for.
HWND SetFocus(HWND window);
[[nodiscard]] HWND GetFocus();
HWND SetCapture(HWND window); // returns the previous capture window
BOOL ReleaseCapture();
[[nodiscard]] HWND GetCapture();
// The active top-level window changes with WM_ACTIVATE: WA_INACTIVE to the old one (lParam the
// new), then WA_ACTIVE (WA_CLICKACTIVE for a tap) to the new one (lParam the old).
// Activating a top-level window that is disabled under a window it owns (a modal dialog)
// activates that window instead (GetLastActivePopup's). An activated window comes to the front
// with the windows it owns above it.
HWND SetActiveWindow(HWND window);
BOOL SetForegroundWindow(HWND window);
// The visible, enabled window that window owns (directly or not) and that was activated last,
// or window itself when it owns none; null for an unknown window.
[[nodiscard]] HWND GetLastActivePopup(HWND window);
[[nodiscard]] HWND GetActiveWindow();
[[nodiscard]] HWND GetForegroundWindow();

constexpr UINT MOD_ALT = 0x0001;
constexpr UINT MOD_CONTROL = 0x0002;
constexpr UINT MOD_SHIFT = 0x0004;
// A registered key (with exactly those modifiers held) is taken from every window but a modal
// one that is up (platform::SetModalWindow): its key down is posted as WM_HOTKEY (wParam id,
// lParam modifiers | key << 16) to window. FALSE with ERROR_HOTKEY_ALREADY_REGISTERED when the
// key is taken.
BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT key);
BOOL UnregisterHotKey(HWND window, int id);

constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;
struct ACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
};
HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
// Makes a table from accelerator table MAKEINTRESOURCE(id) of a language library's bundle; null
// with the last error set (ERROR_RESOURCE_NAME_NOT_FOUND for a missing table or a name that is
// not an id, else as LoadStringW) when there is none.
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);
// For a WM_KEYDOWN or WM_SYSKEYDOWN whose key and modifiers match an entry, and only while
// window is enabled: sends WM_COMMAND (low word the command, high word 1, lParam 0) to window
// and returns TRUE (the message is consumed).
int TranslateAcceleratorW(HWND window, HACCEL table, const MSG* msg);

namespace platform {

enum class StylusAction { Down, Move, Up, RightDown, RightUp };
// Stylus input at a screen point. A second Down on a window of a CS_DBLCLKS class within the
// double-click time and distance becomes WM_LBUTTONDBLCLK.
void InjectStylus(StylusAction action, POINT screenPoint);
// A key going down or up; lParam carries the PC scan code in bits 16-23 (Tab = 15).
void InjectKey(UINT key, bool isDown);
// A typed character (as the soft input panel sends it): WM_CHAR to the focus window (to the
// modal window's, while one is up).
void InjectChar(WCHAR character);
// Marks a top-level window as modal (a dialog or message box whose own loop runs while it is
// up: DialogBoxIndirectParamW's, the system's boxes), or no longer. While a shown, enabled modal
// window is up, the highest such takes every key and typed character: its focus gets them when
// the focus lies in it or in a window it owns, else the window itself; no hot key is taken, so
// nothing beneath it reacts to a key.
void SetModalWindow(HWND window, bool isModal);
[[nodiscard]] BYTE ScanCodeOf(UINT key);

} // namespace platform
