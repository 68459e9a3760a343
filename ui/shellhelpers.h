#pragma once
// Small helpers of the skinned pages: the soft input panel, full-screen mode, the tail of a text
// that fits a width, screen-to-client rectangles, the list font and the wait cursor. User-interface
// thread only.

#include "platform/gdi/gdi.h"

// The Tab key's scan code, in the high word of a key message's lParam.
inline constexpr UINT kTabScanCode = 15;

// Switches the soft input panel on or off; false when the shell refuses.
bool ShowInputPanel(bool isOn);
// Shows or hides the task bar for window (full screen while hidden); false when the shell
// refuses, for instance for an unknown window.
bool ShowTaskBar(HWND window, bool show);
// The input-panel button while a page takes the whole screen: shown when fullScreen is false;
// when it is true, hidden unless "Zudav"/"Simulation" of "PK.ini" is not 0 (the desktop
// simulation keeps it). False for a null or unknown window.
bool SetSipButtonVisible(HWND window, bool fullScreen);
// Hides or shows the task bar for window; false for a null or unknown window.
bool SetTaskBarHidden(HWND window, bool hidden);
// Moves window to (0, 0) and sizes it to the work area's right and bottom edges, repainting.
// False for a null window or when the work area or the move fails.
bool FitWindowToWorkArea(HWND window);
// The text itself when it fits width in font, or when not even its first character fits;
// otherwise its last n characters, n being how many of its first characters fit (an
// approximation for proportional fonts). Points into text.
[[nodiscard]] LPCWSTR FitTextTail(HDC dc, HFONT font, LPCWSTR text, int width);
// rect from screen to window's client coordinates.
void ScreenRectToClient(HWND window, RECT* rect);

// A new bold (weight 700) antialiased (quality 4) Arial font of the height (negative: the
// character height in pixels), as the list pages draw their rows with; null when it cannot be
// made. The caller deletes it.
[[nodiscard]] HFONT CreateListFont(LONG height);

// Gives the list box a new list font of the height (as CreateListFont), has it lay out its frame
// again, and deletes the font kept before, which kept then holds; false, nothing changed, when the
// font cannot be made.
bool ReplaceListFont(HWND list, LONG height, HFONT& kept);

// Shows the wait cursor while it lives; puts back the cursor shown before.
class ScopedWaitCursor {
public:
    ScopedWaitCursor();
    ~ScopedWaitCursor();
    ScopedWaitCursor(const ScopedWaitCursor&) = delete;
    ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;

private:
    HCURSOR m_previous;
};
