#pragma once
// Helpers the main window and the pages share: a modal loop for a framework window and the
// open-file request. User-interface thread only.

#include "utilities/usefulcode/windowhandle.h"

#include <optional>
#include <string>
#include <string_view>

// Shows the window (creating it on the first call), then fetches and dispatches messages until
// a WM_CLOSE addressed to it arrives (consumed) or WM_QUIT; a WM_QUIT is posted again so that
// the outer loop ends too. The window is hidden afterwards, not destroyed.
void RunModalWindow(WindowHandle& window);

// Asks the user for one existing file (255 characters at most). filter holds pairs of texts
// separated by '|' and ends with "||"; empty for none. The chosen path, or nullopt on cancel.
[[nodiscard]] std::optional<std::u16string> RequestOpenFile(HWND owner, std::u16string_view filter);
