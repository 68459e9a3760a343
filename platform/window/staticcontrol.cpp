// The "Static" class: a text label that keeps its font and asks its parent for colours.
#include "platform/window/controls.h"
#include "platform/window/detail/state.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

using namespace platform::window_detail;

namespace {

struct StaticState {
    HFONT font = nullptr;
};

std::shared_ptr<StaticState> StateOf(HWND window) {
    WindowLock w(window);
    if (!w)
        return nullptr;
    if (!w->control)
        w->control = std::make_shared<StaticState>();
    return std::static_pointer_cast<StaticState>(w->control);
}

LRESULT StaticProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTEXT: {
        const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
        InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    case WM_SETFONT:
        if (auto state = StateOf(window))
            state->font = reinterpret_cast<HFONT>(wParam);
        if (lParam != 0)
            InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_GETFONT: {
        auto state = StateOf(window);
        return state ? reinterpret_cast<LRESULT>(state->font) : 0;
    }
    case WM_ERASEBKGND:
        return 1; // the background is painted with the parent's brush
    case WM_PAINT:
        return PaintAskingParent(window, WM_CTLCOLORSTATIC);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

namespace platform::window_detail {

void RegisterStaticClass() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = StaticProcedure;
    windowClass.lpszClassName = u"Static";
    (void)RegisterClassW(&windowClass);
}

} // namespace platform::window_detail
