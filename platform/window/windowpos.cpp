// Showing, moving, sizing and z-order; hit testing, rectangles, metrics and the work area.
#include "platform/kernel/handles.h"
#include "platform/window/detail/state.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>

using namespace platform::window_detail;

namespace {

constexpr int kCoordinateLimit = 1 << 29;

// Queues a call to the owner thread of a window when the caller is another thread. True when
// queued (or the window is gone).
bool DeferToOwner(HWND window, std::function<void()> call, bool* isGone) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* w = Find(state, window);
    *isGone = w == nullptr;
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return true;
    }
    if (IsOwnerThread(*w))
        return false;
    w->queue->deferred.push_back(std::move(call));
    WakeQueue(*w->queue);
    return true;
}

// Moves the window in the z-order of its siblings; unless isQuiet, the windows it no longer
// covers, or that now cover it, repaint what they show again.
void PlaceInZOrder(State& state, Window& window, HWND insertAfter, bool isQuiet) {
    std::vector<HWND>* list = &state.topLevel;
    if (Window* parent = Find(state, window.parent))
        list = &parent->children;
    const std::vector<HWND> before = *list;
    const bool isTopLevel = window.parent == nullptr;
    if (isTopLevel && insertAfter == HWND_TOPMOST)
        window.exStyle |= WS_EX_TOPMOST;
    if (isTopLevel && insertAfter == HWND_NOTOPMOST)
        window.exStyle &= ~WS_EX_TOPMOST;
    std::erase(*list, window.handle);
    auto position = list->begin();
    if (insertAfter == HWND_BOTTOM) {
        position = list->end();
    } else if (insertAfter != HWND_TOP && insertAfter != HWND_TOPMOST &&
               insertAfter != HWND_NOTOPMOST) {
        auto after = std::find(list->begin(), list->end(), insertAfter);
        position = after == list->end() ? list->begin() : after + 1;
    }
    if (isTopLevel && (window.exStyle & WS_EX_TOPMOST) == 0) {
        // Ordinary windows stay below every topmost one.
        auto firstOrdinary = std::find_if(list->begin(), list->end(), [&](HWND h) {
            const Window* w = Find(state, h);
            return w == nullptr || (w->exStyle & WS_EX_TOPMOST) == 0;
        });
        position = std::max(position, firstOrdinary);
    }
    list->insert(position, window.handle);
    if (isTopLevel)
        RaiseOwnedWindows(state, window.handle);
    if (!isQuiet)
        InvalidateReordered(state, before, *list);
}

HWND HitTestChildren(State& state, const Window& window, POINT clientPoint) {
    for (HWND child : window.children) {
        const Window* c = Find(state, child);
        if (c == nullptr || (c->style & WS_VISIBLE) == 0 || IsHitTransparent(*c))
            continue;
        if (clientPoint.x >= c->rect.left && clientPoint.x < c->rect.right &&
            clientPoint.y >= c->rect.top && clientPoint.y < c->rect.bottom) {
            const POINT inner{clientPoint.x - c->rect.left - BorderOf(*c),
                              clientPoint.y - c->rect.top - BorderOf(*c)};
            HWND deeper = HitTestChildren(state, *c, inner);
            return deeper != nullptr ? deeper : child;
        }
    }
    return nullptr;
}

// Sets or clears WS_VISIBLE and makes what appears or, unless isQuiet, what it uncovers dirty.
void SetVisibleFlag(HWND window, bool show, bool isQuiet) {
    WindowLock w(window);
    if (!w)
        return;
    State& state = w.state;
    if (show) {
        w->style |= WS_VISIBLE;
        if (IsVisibleChain(state, *w))
            InvalidateTree(state, *w);
        return;
    }
    if (IsVisibleChain(state, *w) && !isQuiet)
        InvalidateBeneath(state, *w, ScreenRectOf(state, *w));
    w->style &= ~WS_VISIBLE;
}

// ShowWindow on the owner thread; isQuiet hides without repainting what the window uncovers.
BOOL ShowWindowOwned(HWND window, int command, bool isQuiet);

} // namespace

BOOL ShowWindow(HWND window, int command) {
    bool isGone = false;
    if (DeferToOwner(
            window, [window, command] { ShowWindow(window, command); }, &isGone)) {
        return isGone ? FALSE : TRUE;
    }
    return ShowWindowOwned(window, command, false);
}

namespace {

BOOL ShowWindowOwned(HWND window, int command, bool isQuiet) {
    const bool show = command != SW_HIDE;
    bool wasVisible = false;
    bool isTopLevel = false;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        Window* w = Find(state, window);
        wasVisible = (w->style & WS_VISIBLE) != 0;
        isTopLevel = w->parent == nullptr;
    }
    if (show != wasVisible) {
        SendMessageW(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        SetVisibleFlag(window, show, isQuiet);
    }
    if (!show) {
        State& state = GetState();
        bool wasActive = false;
        {
            std::lock_guard lock(state.mutex);
            wasActive = state.active == window;
        }
        if (wasActive)
            ActivateNext(window);
    } else if (isTopLevel && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
               IsWindowEnabled(window)) {
        Activate(window, WA_ACTIVE);
    }
    return wasVisible ? TRUE : FALSE;
}

} // namespace

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    // Positions and sizes are held within kCoordinateLimit, so that edges and extents computed
    // from them stay within the int range.
    x = std::clamp(x, -kCoordinateLimit, kCoordinateLimit);
    y = std::clamp(y, -kCoordinateLimit, kCoordinateLimit);
    width = std::clamp(width, 0, kCoordinateLimit);
    height = std::clamp(height, 0, kCoordinateLimit);
    bool isGone = false;
    if (DeferToOwner(
            window, [=] { SetWindowPos(window, insertAfter, x, y, width, height, flags); },
            &isGone)) {
        return isGone ? FALSE : TRUE;
    }
    bool hasMoved = false;
    bool hasResized = false;
    bool isTopLevel = false;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        Window* w = Find(state, window);
        RECT next = w->rect;
        if ((flags & SWP_NOMOVE) == 0) {
            next.right += x - next.left;
            next.bottom += y - next.top;
            next.left = x;
            next.top = y;
        }
        if ((flags & SWP_NOSIZE) == 0) {
            next.right = next.left + std::max(0, width);
            next.bottom = next.top + std::max(0, height);
        }
        hasMoved = next.left != w->rect.left || next.top != w->rect.top;
        hasResized = (next.right - next.left) != (w->rect.right - w->rect.left) ||
                     (next.bottom - next.top) != (w->rect.bottom - w->rect.top);
        isTopLevel = w->parent == nullptr;
        const bool isVisible = IsVisibleChain(state, *w);
        if (isVisible && (hasMoved || hasResized) && (flags & SWP_NOREDRAW) == 0) {
            InvalidateBeneath(state, *w, ScreenRectOf(state, *w));
        }
        w->rect = next;
        if ((flags & SWP_NOZORDER) == 0)
            PlaceInZOrder(state, *w, insertAfter, (flags & SWP_NOREDRAW) != 0);
        if (isVisible && (flags & SWP_NOREDRAW) == 0 &&
            (hasMoved || hasResized || (flags & SWP_NOZORDER) == 0)) {
            InvalidateTree(state, *w);
        }
    }
    if ((flags & SWP_SHOWWINDOW) != 0) {
        ShowWindow(window, (flags & SWP_NOACTIVATE) != 0 ? SW_SHOWNA : SW_SHOW);
    } else if ((flags & SWP_HIDEWINDOW) != 0) {
        // With SWP_NOREDRAW what the window uncovers is left as it is, not repainted.
        ShowWindowOwned(window, SW_HIDE, (flags & SWP_NOREDRAW) != 0);
    } else if (isTopLevel && (flags & SWP_NOACTIVATE) == 0 && IsWindowVisible(window) &&
               IsWindowEnabled(window)) {
        Activate(window, WA_ACTIVE);
    }
    RECT client{};
    GetClientRect(window, &client);
    if (hasResized) {
        SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    }
    if (hasMoved) {
        State& state = GetState();
        POINT origin{};
        {
            std::lock_guard lock(state.mutex);
            if (Window* w = Find(state, window)) {
                origin = POINT{w->rect.left + BorderOf(*w), w->rect.top + BorderOf(*w)};
            }
        }
        SendMessageW(window, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    }
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(window, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint != FALSE ? 0 : SWP_NOREDRAW));
}

HWND WindowFromPoint(POINT point) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    for (HWND top : state.topLevel) {
        const Window* w = Find(state, top);
        if (w == nullptr || (w->style & WS_VISIBLE) == 0 || IsHitTransparentTop(state, top))
            continue;
        if (point.x >= w->rect.left && point.x < w->rect.right && point.y >= w->rect.top &&
            point.y < w->rect.bottom) {
            const POINT client{point.x - w->rect.left - BorderOf(*w),
                               point.y - w->rect.top - BorderOf(*w)};
            HWND child = HitTestChildren(state, *w, client);
            return child != nullptr ? child : top;
        }
    }
    return nullptr;
}

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom) {
    if (rect == nullptr)
        return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(RECT* rect) {
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL IsRectEmpty(const RECT* rect) {
    return rect == nullptr || rect->left >= rect->right || rect->top >= rect->bottom ? TRUE : FALSE;
}

BOOL IntersectRect(RECT* result, const RECT* a, const RECT* b) {
    if (result == nullptr || a == nullptr || b == nullptr)
        return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        *result = RECT{};
        return FALSE;
    }
    *result = r;
    return TRUE;
}

BOOL UnionRect(RECT* result, const RECT* a, const RECT* b) {
    if (result == nullptr || a == nullptr || b == nullptr)
        return FALSE;
    if (IsRectEmpty(a)) {
        *result = IsRectEmpty(b) ? RECT{} : *b;
    } else if (IsRectEmpty(b)) {
        *result = *a;
    } else {
        *result = RECT{std::min(a->left, b->left), std::min(a->top, b->top),
                       std::max(a->right, b->right), std::max(a->bottom, b->bottom)};
    }
    return IsRectEmpty(result) ? FALSE : TRUE;
}

BOOL OffsetRect(RECT* rect, int dx, int dy) {
    if (rect == nullptr)
        return FALSE;
    *rect = RECT{rect->left + dx, rect->top + dy, rect->right + dx, rect->bottom + dy};
    return TRUE;
}

BOOL PtInRect(const RECT* rect, POINT point) {
    return rect != nullptr && point.x >= rect->left && point.x < rect->right &&
                   point.y >= rect->top && point.y < rect->bottom
               ? TRUE
               : FALSE;
}

int GetSystemMetrics(int index) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    switch (index) {
    case SM_CXSCREEN:
        return state.screenWidth;
    case SM_CYSCREEN:
        return state.screenHeight;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 13 * state.screenWidth / 240;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4 * state.screenWidth / 240;
    default:
        return 0;
    }
}

BOOL SystemParametersInfoW(UINT action, UINT, PVOID data, UINT) {
    if (data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (action == SPI_GETWORKAREA) {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        *static_cast<RECT*>(data) = WorkArea(state);
        return TRUE;
    }
    if (action == SPI_GETSIPINFO || action == SPI_SETSIPINFO) {
        return platform::window_detail::SipParameters(action == SPI_SETSIPINFO, data);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

namespace platform {

void SetScreenSize(int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    state.screenWidth = width;
    state.screenHeight = height;
}

} // namespace platform
