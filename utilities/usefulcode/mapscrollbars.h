#pragma once
// Keeps a map control window's scroll bars in step with its viewport: connected to the
// viewport's scroll signal, which sends one word per bar. User-interface thread only.

#include "utilities/usefulcode/ownerhandlerlist.h"

#include "platform/window/windowtypes.h"

class MapScrollBars {
public:
    // window: the map control's window, which has WS_HSCROLL or WS_VSCROLL.
    explicit MapScrollBars(HWND window)
        : m_window(window) {}

    // Each word: the page in the high 16 bits and the position in the low 16 bits, both
    // unsigned; a page above 32768 leaves that bar alone. Sets range 0..32768, page and position
    // of the horizontal bar (which stays shown when nothing scrolls), then of the vertical one.
    void SetBars(DWORD horizontal, DWORD vertical);

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    OwnerHandlerList m_handlers;
    HWND m_window;
};
