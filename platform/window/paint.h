#pragma once
// Invalidation and painting. A device context (DC) here is a handle that carries its window,
// the screen position of its origin and its clip: the window's client area, cut to its
// ancestors and, for BeginPaint, to the update region's box; WS_CLIPCHILDREN and
// WS_CLIPSIBLINGS take out the children and the higher siblings. Drawing comes with GDI.

#include "platform/window/windowtypes.h"

#include <vector>

constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_INTERNALPAINT = 0x0002;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_VALIDATE = 0x0008;
constexpr UINT RDW_NOINTERNALPAINT = 0x0010;
constexpr UINT RDW_NOERASE = 0x0020;
constexpr UINT RDW_NOCHILDREN = 0x0040;
constexpr UINT RDW_ALLCHILDREN = 0x0080;
constexpr UINT RDW_UPDATENOW = 0x0100;
constexpr UINT RDW_ERASENOW = 0x0200;

constexpr int ERROR_REGION = 0; // GetClipBox results
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;

// Stock objects. Their handles are fixed numbers that GDI knows.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
[[nodiscard]] HGDIOBJ GetStockObject(int index); // null for an unknown index

// Adds rect (client coordinates; null: the whole client area) to the update region, and to
// the children's where they lie in it unless the window has WS_CLIPCHILDREN. Any thread; never
// blocks. A null window invalidates every window.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
// The update region's box; FALSE when there is none.
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
// Sends WM_PAINT at once when the window has an update region.
BOOL UpdateWindow(HWND window);
// RDW_ALLCHILDREN and RDW_NOCHILDREN choose the children as InvalidateRect does when neither
// is given. The region argument is not supported and must be null.
BOOL RedrawWindow(HWND window, const RECT* rect, void* region, UINT flags);

// Sends WM_ERASEBKGND (wParam = the DC) when the update was asked with erase; fErase stays TRUE
// when the handler returned 0. Validates the window. rcPaint is the update region's box.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
// A DC over the client area; a null window gives the whole screen.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
// The clip box in the DC's coordinates; NULLREGION when nothing may be painted.
int GetClipBox(HDC dc, RECT* rect);
[[nodiscard]] BOOL PtVisible(HDC dc, int x, int y);
[[nodiscard]] HWND WindowFromDC(HDC dc);

namespace platform {

// What a DC stands for, for GDI: screen position of its origin, clip in DC coordinates and
// the parts of the clip taken out by children and siblings.
struct DcTarget {
    HWND window = nullptr;
    POINT origin{};
    RECT clip{};
    std::vector<RECT> excluded;
};
// False for an unknown DC.
[[nodiscard]] bool GetDcTarget(HDC dc, DcTarget* target);

// Calls GDI makes into the window system's DCs: released runs when a DC is released (with
// the window system's lock held); clipBox, when set, answers GetClipBox for every DC;
// paintControl draws a "Static" or "Edit" control into its paint DC after the parent answered
// the colour message with brush; fillRect fills with a brush (the class background).
struct DcHooks {
    void (*released)(HDC dc) = nullptr;
    int (*clipBox)(HDC dc, RECT* rect) = nullptr;
    void (*paintControl)(HWND control, HDC dc, UINT colourMessage, HBRUSH brush) = nullptr;
    int (*fillRect)(HDC dc, const RECT* rect, HBRUSH brush) = nullptr;
    // Extents of the first 1..count characters of text in font (null: the default font) into
    // extents[0..count - 1]; false when nothing could be measured.
    bool (*textExtents)(HFONT font, const WCHAR* text, int count, int* extents) = nullptr;
};
void SetDcHooks(const DcHooks& hooks);
[[nodiscard]] DcHooks GetDcHooks();
// The clip box of a window DC as the window system sees it (without GDI's clip region).
int GetWindowDcClipBox(HDC dc, RECT* rect);

// For a check that paints the screen for its own purposes and then puts the picture from its
// start back (platform::ScreenHold): from StartPaintWatch on, the windows that are to paint
// then, and those that threads other than the caller's make dirty until EndPaintWatch, are
// kept; EndPaintWatch makes them dirty again, so that what they paint while the check runs (a
// box that comes up, say) is painted again over the picture put back. One watch at a time:
// false when another runs. Any thread.
[[nodiscard]] bool StartPaintWatch();
void EndPaintWatch();

} // namespace platform
