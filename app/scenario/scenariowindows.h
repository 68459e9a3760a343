#pragma once
// What a scenario's steps see of the screen: the active window and its screen section, the texts
// shown, where to tap for a control. User-interface thread.

#include "platform/window/windowtypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The window classes of a pick list's own window, of a list (ui/customcombobox.h) and of an edit
// field.
inline constexpr char16_t kPickListClass[] = u"CUSTOMCOMBOBOX";
inline constexpr char16_t kListClass[] = u"CUSTOMLISTBOX";
inline constexpr char16_t kEditClass[] = u"Edit";

// The window a child window lies in; the window itself when it is a top-level one.
[[nodiscard]] HWND TopLevelOf(HWND window);
// The window's text; empty for none.
[[nodiscard]] std::u16string WindowText(HWND window);
[[nodiscard]] bool HasClass(HWND window, std::u16string_view className);

// The active window of this thread, else the foreground window; null without one.
[[nodiscard]] HWND ActiveWindow();
// The screen section of a skinned dialog or framework window (a page, the main window); empty
// for any other window.
[[nodiscard]] std::u16string SectionOf(HWND window);
// The texts of the shown windows (top first), the entries of shown lists (the program's lists and
// the open-file dialog's, every entry, also those scrolled away) and the text items of shown
// skinned dialogs; empty texts left out.
[[nodiscard]] std::vector<std::u16string> ShownTexts();
// True when one of ShownTexts, or one of its lines, is exactly text.
[[nodiscard]] bool IsTextShown(const std::u16string& text);
// The screen point in the middle of the active window's shown control with the id, or of the
// active dialog's button with the id; nullopt, with the reason in problem, when there is none,
// it is disabled or another window covers its middle.
[[nodiscard]] std::optional<POINT> FindTapPoint(UINT id, std::string& problem);
// Pick lists (combo boxes): a tap on the middle lands in the edit field, which only takes the
// caret; the list opens from the drop-down button at the right end and an entry is chosen by a
// tap on its row. The point of the active window's pick list's drop-down button; nullopt, with
// the reason in problem, as FindTapPoint.
[[nodiscard]] std::optional<POINT> FindDropButtonPoint(UINT id, std::string& problem);
// The middle of the row of the open list of that pick list whose entry is entry (blanks around
// the entry's text aside); nullopt, with the reason in problem, when the list is not open, has
// no such entry or scrolls (its rows then do not tell which entry each shows).
[[nodiscard]] std::optional<POINT> FindListEntryPoint(UINT id, const std::u16string& entry,
                                                      std::string& problem);
// Fills the screen with a colour no window paints, paints it whole again at once (every shown
// window, and the bare screen where none lies) and compares the screen with shown (its pixels read
// before, width a row; repainted receives the repainted ones and is kept by the caller from call to
// call): empty when they are equal, otherwise why a frame fails, naming the first rectangle of
// pixels that kept the fill (painted by no window) or else where they differ, or else the first
// pixels of the skin's key colour (magenta, transparent where a skin bitmap is drawn), or else the
// first text the repaint drew that cannot be read on the colour under it (a WCAG 2 contrast below
// 3:1; the greyed captions of disabled buttons and the few colour pairs the program's design fixes
// aside): texts drawn into bitmaps count where a blit carries them onto the screen, while drawn
// texts are kept (platform::KeepDrawnTexts). Neither the fill nor the repaint is ever shown in the
// window, and the screen is left as it was.
[[nodiscard]] std::string CompareWithWholeRepaint(const std::vector<std::uint32_t>& shown,
                                                  int width, std::vector<std::uint32_t>& repainted);
