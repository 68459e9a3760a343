#pragma once
// The screen under a system window (a message box, the open-file dialog), kept while it is up
// and put back before it goes, as the system keeps it for its boxes: a window beneath that lets
// the screen show through (a skinned dialog drawn with transparent parts) then shows what it
// showed before, not the box.

#include "platform/window/windowtypes.h"

#include <cstdint>
#include <vector>

namespace platform::gdi_detail {

class SavedScreen {
public:
    // Keeps what the screen shows in rect (screen coordinates): while a check holds the screen,
    // the picture the user sees, not what the check paints.
    explicit SavedScreen(const RECT& rect);
    SavedScreen(const SavedScreen&) = delete;
    SavedScreen& operator=(const SavedScreen&) = delete;

    // Puts the kept picture back on the screen.
    void Restore() const;

private:
    RECT m_rect{}; // cut to the screen; empty when nothing was kept
    std::vector<std::uint32_t> m_pixels;
};

} // namespace platform::gdi_detail
