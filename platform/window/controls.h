#pragma once
// The system classes "Static" (a text label) and "Edit" (a single-line edit field). Both ask
// their parent for colours when they paint (WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT: wParam the DC,
// lParam the control; a NULL_BRUSH answer leaves the background as it is). The edit field
// reports every change of its text to the parent as WM_COMMAND (id, EN_CHANGE).

#include "platform/window/windowtypes.h"

constexpr DWORD SS_LEFT = 0x0000;
constexpr DWORD SS_CENTER = 0x0001;
constexpr DWORD SS_RIGHT = 0x0002;
constexpr DWORD SS_NOTIFY = 0x0100;

constexpr DWORD ES_LEFT = 0x0000;
constexpr DWORD ES_CENTER = 0x0001;
constexpr DWORD ES_RIGHT = 0x0002;
constexpr DWORD ES_UPPERCASE = 0x0008;
constexpr DWORD ES_LOWERCASE = 0x0010;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr DWORD ES_NUMBER = 0x2000;

constexpr UINT EM_GETSEL = 0x00B0;
constexpr UINT EM_SETSEL = 0x00B1;
constexpr UINT EM_REPLACESEL = 0x00C2;
constexpr UINT EM_LIMITTEXT = 0x00C5;
constexpr UINT EM_SETLIMITTEXT = EM_LIMITTEXT;
constexpr UINT EM_GETLIMITTEXT = 0x00D5;

constexpr WORD EN_SETFOCUS = 0x0100;
constexpr WORD EN_KILLFOCUS = 0x0200;
constexpr WORD EN_CHANGE = 0x0300;
constexpr WORD EN_MAXTEXT = 0x0501;

// ---- Common controls ----

constexpr DWORD ICC_LISTVIEW_CLASSES = 0x00000001;
constexpr DWORD ICC_TREEVIEW_CLASSES = 0x00000002;
constexpr DWORD ICC_BAR_CLASSES = 0x00000004;
constexpr DWORD ICC_TAB_CLASSES = 0x00000008;
constexpr DWORD ICC_UPDOWN_CLASS = 0x00000010;
constexpr DWORD ICC_PROGRESS_CLASS = 0x00000020;

struct INITCOMMONCONTROLSEX {
    DWORD dwSize; // sizeof(INITCOMMONCONTROLSEX), 8
    DWORD dwICC;
};

// The program draws its lists, combo boxes and buttons itself, so no common control class is
// made; the classes asked for are noted. FALSE for a null record, a dwSize other than 8 or no
// class or an unknown one in dwICC.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);

namespace platform {
// The ICC_ bits every successful InitCommonControlsEx of this process asked for.
[[nodiscard]] DWORD InitializedCommonControls();
} // namespace platform
