#include "utilities/usefulcode/mapscrollbars.h"

#include "platform/window/window.h"

namespace {

constexpr int kScrollRange = 32768;

void SetBar(HWND window, int bar, DWORD word) {
    const auto page = static_cast<SHORT>(HIWORD(word));
    if (page < 0)
        return;
    SCROLLINFO info{};
    info.cbSize = 28;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = kScrollRange;
    info.nPage = static_cast<UINT>(page);
    info.nPos = static_cast<SHORT>(LOWORD(word));
    SetScrollInfo(window, bar, &info, TRUE);
}

} // namespace

void MapScrollBars::SetBars(DWORD horizontal, DWORD vertical) {
    SetBar(m_window, SB_HORZ, horizontal);
    SetBar(m_window, SB_VERT, vertical);
}
