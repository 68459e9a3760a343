#pragma once
// What a scenario's steps see of the screen: the active window and its screen section, the texts
// shown, where to tap for a control. User-interface thread.

#include "platform/window/windowtypes.h"

#include <optional>
#include <string>

// The active window of this thread, else the foreground window; null without one.
[[nodiscard]] HWND ActiveWindow();
// The screen section of a skinned dialog or framework window (a page, the main window); empty
// for any other window.
[[nodiscard]] std::u16string SectionOf(HWND window);
// True when a shown window's text, or a text item of a shown skinned dialog, is exactly text.
[[nodiscard]] bool IsTextShown(const std::u16string& text);
// The screen point in the middle of the active window's shown control with the id, or of the
// active dialog's button with the id; nullopt, with the reason in problem, when there is none,
// it is disabled or another window covers its middle.
[[nodiscard]] std::optional<POINT> FindTapPoint(UINT id, std::string& problem);
