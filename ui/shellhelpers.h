#pragma once
// Small helpers of the skinned pages: the soft input panel, full-screen mode, the tail of a text
// that fits a width, and screen-to-client rectangles. User-interface thread only.

#include "platform/gdi/gdi.h"

// Switches the soft input panel on or off; false when the shell refuses.
bool ShowInputPanel(bool isOn);
// Shows or hides the task bar for window (full screen while hidden); false when the shell
// refuses, for instance for an unknown window.
bool ShowTaskBar(HWND window, bool show);
// The text itself when it fits width in font, or when not even its first character fits;
// otherwise its last n characters, n being how many of its first characters fit (an
// approximation for proportional fonts). Points into text.
[[nodiscard]] LPCWSTR FitTextTail(HDC dc, HFONT font, LPCWSTR text, int width);
// rect from screen to window's client coordinates.
void ScreenRectToClient(HWND window, RECT* rect);
