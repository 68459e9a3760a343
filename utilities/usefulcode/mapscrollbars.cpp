#include "utilities/usefulcode/mapscrollbars.h"

#include "platform/window/window.h"

namespace {

constexpr int kScrollRange = 32768;

void SetBar(HWND window, int bar, DWORD word, UINT mask) {
    // Both halves are unsigned: the whole extent in view is page 32768 and a thumb at the far
    // end position 32768, which a signed reading turns negative.
    const WORD page = HIWORD(word);
    if (page > kScrollRange)
        return;
    SCROLLINFO info{};
    info.cbSize = 28;
    info.fMask = mask;
    info.nMin = 0;
    info.nMax = kScrollRange;
    info.nPage = page;
    info.nPos = LOWORD(word);
    SetScrollInfo(window, bar, &info, TRUE);
}

} // namespace

void MapScrollBars::SetBars(DWORD horizontal, DWORD vertical) {
    SetBar(m_window, SB_HORZ, horizontal, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL);
    SetBar(m_window, SB_VERT, vertical, SIF_RANGE | SIF_PAGE | SIF_POS);
}
