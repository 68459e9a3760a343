#pragma once
// Dialogs from in-memory templates without items, modal (with their own message loop that
// disables the owner) and modeless.

#include "platform/window/windowtypes.h"

#include <cstdint>
#include <vector>

constexpr DWORD DS_SETFOREGROUND = 0x0200;
constexpr DWORD DS_CENTER = 0x0800;

// Dialog words (pointer-sized) of a dialog window, for GetWindowLongW and SetWindowLongW.
constexpr int DWL_MSGRESULT = 0;
constexpr int DWL_DLGPROC = 8;
constexpr int DWL_USER = 16;

// WM_GETDLGCODE answers.
constexpr LRESULT DLGC_WANTARROWS = 0x0001;
constexpr LRESULT DLGC_WANTTAB = 0x0002;
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr LRESULT DLGC_WANTMESSAGE = 0x0004;
constexpr LRESULT DLGC_HASSETSEL = 0x0008;
constexpr LRESULT DLGC_WANTCHARS = 0x0080;

// The template's fixed part as it lies in memory (18 bytes, 2-byte packed): style, extended
// style, item count, x, y, cx, cy in dialog units; then the menu, class and title words.
struct DLGTEMPLATE;
using LPCDLGTEMPLATEW = const DLGTEMPLATE*;

// Pixels of 4 horizontal and 8 vertical dialog units: the low and high word. 8 x 16 on a
// 240-pixel-wide screen, scaled with the width.
[[nodiscard]] LONG GetDialogBaseUnits();

// Runs a modal dialog: creates it (WM_INITDIALOG with lParam = initParam), disables the owner
// (the top-level window of parent) while its own message loop runs, and after EndDialog
// enables and activates the owner again and destroys the dialog. Returns the EndDialog value;
// -1 for a template that cannot be used (items, bad size) or a bad parent. A WM_QUIT ends the
// loop with -1 and is posted again so that outer loops end too.
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent,
                                DLGPROC procedure, LPARAM initParam);
// The same dialog, modeless: returns its window (shown when the template has WS_VISIBLE).
HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent,
                                DLGPROC procedure, LPARAM initParam);
// Ends a modal dialog with result once its procedure returns; a modeless one is hidden.
BOOL EndDialog(HWND dialog, INT_PTR result);
// Takes the messages meant for the dialog: a Tab key-down is first offered with WM_GETDLGCODE
// (lParam the MSG) to its window and dispatched only when the answer wants tabs; other
// messages of the dialog or its children are translated and dispatched. FALSE for messages of
// other windows.
BOOL IsDialogMessageW(HWND dialog, MSG* msg);

namespace platform {

// Builds an item-less template in memory: the fixed part and three zero words.
[[nodiscard]] std::vector<std::uint8_t> MakeDialogTemplate(DWORD style, short x, short y, short cx,
                                                           short cy, WORD itemCount = 0);
[[nodiscard]] inline LPCDLGTEMPLATEW AsTemplate(const std::vector<std::uint8_t>& bytes) {
    return reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data());
}

} // namespace platform
