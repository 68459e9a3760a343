#pragma once
// The system's message box as a window of the screen: a modal box over its owner (or over the
// active window) with a title strip holding the caption, the style's icon, the text and a row of
// the style's buttons. A tap on a button answers with its id, Enter with the default button,
// Esc with the style's cancel (platform::MessageBoxEscapeButton); while it is up it takes every
// key (platform::SetModalWindow), so nothing beneath it reacts to one. The box is a top-level
// window of class kMessageBoxClass whose text is the caption; its text is a child window's text
// and each button a child window whose control id is the button's id and whose text its label,
// so whatever looks at the shown windows finds them. Any thread: the box belongs to the calling
// thread and runs its own message loop there.

#include "platform/kernel/messagebox.h"
#include "platform/window/windowtypes.h"

namespace platform {

inline constexpr char16_t kMessageBoxClass[] = u"SystemMessageBox";

// Shows the box and returns the id of the button chosen. The owner (the record's, else the
// calling thread's active window) is disabled while the box is up when it belongs to the
// calling thread; a window of another thread is only covered. 0 when a WM_QUIT (posted again,
// so that outer loops end too) or EndMessageBoxWindows ended the box unanswered.
int ShowMessageBoxWindow(const MessageBoxRecord& box);

// Makes MessageBoxW show its boxes with ShowMessageBoxWindow (SetMessageBoxSink).
void ShowMessageBoxesAsWindows();

// Ends every open box unanswered (0), and every open-file dialog (platform/gdi/openfilewindow.h)
// cancelled, as at the end of the program. Any thread.
void EndMessageBoxWindows();

// True for a shown or hidden message box window. Any thread.
[[nodiscard]] bool IsMessageBoxWindow(HWND window);

} // namespace platform
