#pragma once
// Window-system types, structures and constant numbers, as the device defines them.

#include "platform/types.h"

struct HDC__;     // NOLINT(bugprone-reserved-identifier): the device's own name
struct HMENU__;   // NOLINT(bugprone-reserved-identifier)
struct HACCEL__;  // NOLINT(bugprone-reserved-identifier)
struct HGDIOBJ__; // NOLINT(bugprone-reserved-identifier)
using HDC = HDC__*;
using HMENU = HMENU__*;
using HACCEL = HACCEL__*;
using HGDIOBJ = HGDIOBJ__*;
using HBRUSH = HGDIOBJ;
using HFONT = HGDIOBJ;
using HICON = HGDIOBJ;
using HCURSOR = HGDIOBJ;
using ATOM = WORD;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = BOOL (*)(HWND, UINT, WPARAM, LPARAM);
using UINT_PTR = std::uintptr_t;

// A resource named by a number (ids up to 0xFFFF) instead of a text.
inline LPCWSTR MAKEINTRESOURCEW(UINT_PTR id) {
    return reinterpret_cast<LPCWSTR>(id);
}
using INT_PTR = std::intptr_t;
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

struct POINT {
    LONG x;
    LONG y;
};
struct SIZE {
    LONG cx;
    LONG cy;
};
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;
using LPPOINT = POINT*;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};

struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

struct SCROLLINFO {
    UINT cbSize;
    UINT fMask;
    int nMin;
    int nMax;
    UINT nPage;
    int nPos;
    int nTrackPos;
};

// ---- Class styles ----
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr UINT CS_NOCLOSE = 0x0200;
constexpr UINT CS_GLOBALCLASS = 0x4000;

// ---- Window styles ----
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

inline HWND__* const HWND_TOP = nullptr;
inline HWND__* const HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline HWND__* const HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline HWND__* const HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);

// ---- Window words ----
constexpr int GWL_WNDPROC = -4;
constexpr int GWL_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWL_USERDATA = -21;

// ---- ShowWindow ----
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;

// ---- SetWindowPos ----
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;

// ---- Messages ----
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETREDRAW = 0x000B;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_CANCELMODE = 0x001F;
constexpr UINT WM_DRAWITEM = 0x002B;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_HELP = 0x0053;
constexpr UINT WM_GETICON = 0x007F;
constexpr UINT WM_SETICON = 0x0080;
constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_GETDLGCODE = 0x0087;
constexpr UINT WM_KEYFIRST = 0x0100;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_KEYLAST = 0x0108;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_VSCROLL = 0x0115;
constexpr UINT WM_CTLCOLOREDIT = 0x0133;
constexpr UINT WM_CTLCOLORLISTBOX = 0x0134;
constexpr UINT WM_CTLCOLORSTATIC = 0x0138;
constexpr UINT WM_MOUSEFIRST = 0x0200;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MOUSELAST = 0x0205;
constexpr UINT WM_CAPTURECHANGED = 0x0215;
constexpr UINT WM_HOTKEY = 0x0312;
constexpr UINT WM_USER = 0x0400;

// WM_SIZE kinds, WM_ACTIVATE states.
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;
constexpr WORD WA_CLICKACTIVE = 2;

// Stylus and key-state flags in wParam of stylus messages.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;

constexpr WORD LOWORD(std::uintptr_t value) {
    return static_cast<WORD>(value & 0xFFFF);
}
constexpr WORD HIWORD(std::uintptr_t value) {
    return static_cast<WORD>((value >> 16) & 0xFFFF);
}
constexpr LPARAM MAKELPARAM(int low, int high) {
    return static_cast<LPARAM>(
        static_cast<DWORD>((static_cast<DWORD>(high) << 16) | (static_cast<DWORD>(low) & 0xFFFF)));
}
constexpr WPARAM MAKEWPARAM(int low, int high) {
    return static_cast<WPARAM>(static_cast<DWORD>(MAKELPARAM(low, high)));
}
// Signed halves of a stylus message's lParam.
constexpr int GET_X_LPARAM(LPARAM value) {
    return static_cast<SHORT>(LOWORD(value));
}
constexpr int GET_Y_LPARAM(LPARAM value) {
    return static_cast<SHORT>(HIWORD(value));
}

// ---- Scroll bars ----
constexpr int SB_HORZ = 0;
constexpr int SB_VERT = 1;
// Scroll codes: LOWORD(wParam) of WM_HSCROLL and WM_VSCROLL.
constexpr UINT SB_LINEUP = 0;
constexpr UINT SB_LINELEFT = 0;
constexpr UINT SB_LINEDOWN = 1;
constexpr UINT SB_LINERIGHT = 1;
constexpr UINT SB_PAGEUP = 2;
constexpr UINT SB_PAGELEFT = 2;
constexpr UINT SB_PAGEDOWN = 3;
constexpr UINT SB_PAGERIGHT = 3;
constexpr UINT SB_THUMBPOSITION = 4;
constexpr UINT SB_THUMBTRACK = 5;
constexpr UINT SB_TOP = 6;
constexpr UINT SB_BOTTOM = 7;
constexpr UINT SB_ENDSCROLL = 8;
constexpr UINT SIF_RANGE = 0x0001;
constexpr UINT SIF_PAGE = 0x0002;
constexpr UINT SIF_POS = 0x0004;
constexpr UINT SIF_DISABLENOSCROLL = 0x0008;
constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | 0x0010;

// ---- List and combo boxes (the program's own classes answer these) ----
constexpr UINT LB_ADDSTRING = 0x0180;
constexpr UINT LB_INSERTSTRING = 0x0181;
constexpr UINT LB_DELETESTRING = 0x0182;
constexpr UINT LB_RESETCONTENT = 0x0184;
constexpr UINT LB_SETCURSEL = 0x0186;
constexpr UINT LB_GETCURSEL = 0x0188;
constexpr UINT LB_GETTEXT = 0x0189;
constexpr UINT LB_GETTEXTLEN = 0x018A;
constexpr UINT LB_GETCOUNT = 0x018B;
constexpr UINT LB_GETTOPINDEX = 0x018E;
constexpr UINT LB_GETITEMRECT = 0x0198;
constexpr UINT LB_SETITEMHEIGHT = 0x01A0;
constexpr LRESULT LB_ERR = -1;
constexpr WORD LBN_SELCHANGE = 1;
constexpr WORD LBN_DBLCLK = 2;
constexpr DWORD LBS_OWNERDRAWFIXED = 0x0010;

constexpr UINT CB_ADDSTRING = 0x0143;
constexpr UINT CB_DELETESTRING = 0x0144;
constexpr UINT CB_GETCOUNT = 0x0146;
constexpr UINT CB_GETCURSEL = 0x0147;
constexpr UINT CB_GETLBTEXT = 0x0148;
constexpr UINT CB_GETLBTEXTLEN = 0x0149;
constexpr UINT CB_RESETCONTENT = 0x014B;
constexpr UINT CB_SETCURSEL = 0x014E;
constexpr UINT CB_SHOWDROPDOWN = 0x014F;
constexpr UINT CB_SETTOPINDEX = 0x015C;
constexpr UINT CB_SETDROPPEDWIDTH = 0x0160;
constexpr LRESULT CB_ERR = -1;
constexpr WORD CBN_SELCHANGE = 1;
constexpr WORD CBN_SETFOCUS = 3;
constexpr WORD CBN_KILLFOCUS = 4;
constexpr WORD CBN_EDITCHANGE = 5;
constexpr WORD CBN_EDITUPDATE = 6;
constexpr WORD CBN_DROPDOWN = 7;
constexpr WORD CBN_CLOSEUP = 8;
constexpr WORD CBN_SELENDOK = 9;
constexpr WORD CBN_SELENDCANCEL = 10;

// WM_NOTIFY: lParam points at a record that starts with this header.
struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};
constexpr UINT NM_CUSTOMDRAW = static_cast<UINT>(-12);
// Custom drawing stages and answers.
constexpr DWORD CDDS_PREPAINT = 0x00001;
constexpr DWORD CDDS_ITEM = 0x10000;
constexpr DWORD CDDS_ITEMPREPAINT = CDDS_ITEM | CDDS_PREPAINT;
constexpr DWORD CDDS_SUBITEM = 0x20000;
constexpr LRESULT CDRF_DODEFAULT = 0x00;
constexpr LRESULT CDRF_NOTIFYITEMDRAW = 0x20;
struct NMCUSTOMDRAW {
    NMHDR hdr;
    DWORD dwDrawStage;
    HDC hdc;
    RECT rc;
    DWORD_PTR dwItemSpec;
    UINT uItemState;
    LPARAM lItemlParam;
};
// The list view's custom-draw record: the colours the control draws an item's text with.
struct NMLVCUSTOMDRAW {
    NMCUSTOMDRAW nmcd;
    COLORREF clrText;
    COLORREF clrTextBk;
};

// WM_DRAWITEM: lParam points at this record.
constexpr UINT ODT_LISTBOX = 2;
constexpr UINT ODA_DRAWENTIRE = 0x0001;
constexpr UINT ODS_SELECTED = 0x0001;
struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
};
