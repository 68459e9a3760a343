// Update regions, painting and device contexts.
#include "platform/window/paint.h"

#include "platform/kernel/handles.h"
#include "platform/window/detail/state.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <unordered_map>

using namespace platform::window_detail;

namespace {

constexpr std::uintptr_t kStockBase = 0xF000;
constexpr int kStockCount = 18;

struct DcTable {
    std::unordered_map<std::uintptr_t, platform::DcTarget> dcs;
    std::uintptr_t next = 0x100;
};

// Guarded by the window system's mutex.
DcTable& Dcs() {
    static DcTable* table = new DcTable;
    return *table;
}

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom)
        return RECT{};
    return r;
}

RECT ToClient(const RECT& screen, POINT origin) {
    return RECT{screen.left - origin.x, screen.top - origin.y, screen.right - origin.x,
                screen.bottom - origin.y};
}

void AddHigherSiblings(State& state, const Window& window, POINT origin,
                       std::vector<RECT>& excluded) {
    const std::vector<HWND>* list = &state.topLevel;
    if (Window* parent = Find(state, window.parent))
        list = &parent->children;
    for (HWND sibling : *list) {
        if (sibling == window.handle)
            break;
        const Window* s = Find(state, sibling);
        if (s != nullptr && (s->style & WS_VISIBLE) != 0) {
            excluded.push_back(ToClient(ScreenRectOf(state, *s), origin));
        }
    }
}

// A DC over the client area of window (the screen's when null), or over the frame of a window
// with a border: its whole rectangle but the client area.
HDC MakeDc(State& state, Window* window, const RECT* paintBox, bool isFrame = false) {
    platform::DcTarget target;
    if (window == nullptr) {
        target.clip = RECT{0, 0, state.screenWidth, state.screenHeight};
    } else {
        const int border = isFrame ? BorderOf(*window) : 0;
        target.window = window->handle;
        target.origin = ClientOriginOnScreen(state, *window);
        target.origin.x -= border;
        target.origin.y -= border;
        RECT clip = ClientRectOf(*window);
        if (isFrame) {
            target.excluded.push_back(
                RECT{border, border, clip.right + border, clip.bottom + border});
            clip = RECT{0, 0, clip.right + 2 * border, clip.bottom + 2 * border};
        }
        for (Window* up = Find(state, window->parent); up != nullptr;
             up = Find(state, up->parent)) {
            const POINT upOrigin = ClientOriginOnScreen(state, *up);
            RECT upClient = ClientRectOf(*up);
            OffsetRect(&upClient, upOrigin.x - target.origin.x, upOrigin.y - target.origin.y);
            clip = Intersect(clip, upClient);
        }
        clip = Intersect(
            clip, ToClient(RECT{0, 0, state.screenWidth, state.screenHeight}, target.origin));
        if (paintBox != nullptr)
            clip = Intersect(clip, *paintBox);
        // A window that does not show draws nowhere on the screen.
        if (!IsVisibleChain(state, *window))
            clip = RECT{};
        target.clip = clip;
        if (!isFrame && (window->style & WS_CLIPCHILDREN) != 0) {
            for (HWND child : window->children) {
                const Window* c = Find(state, child);
                if (c != nullptr && (c->style & WS_VISIBLE) != 0)
                    target.excluded.push_back(c->rect);
            }
        }
        if ((window->style & WS_CLIPSIBLINGS) != 0 || window->parent == nullptr) {
            AddHigherSiblings(state, *window, target.origin, target.excluded);
        }
        // A child draws under what covers its parents as well: the top-level windows above its
        // own, and the siblings above each parent that clips them.
        for (const Window* up = Find(state, window->parent); up != nullptr;
             up = Find(state, up->parent)) {
            if ((up->style & WS_CLIPSIBLINGS) != 0 || up->parent == nullptr)
                AddHigherSiblings(state, *up, target.origin, target.excluded);
        }
    }
    DcTable& table = Dcs();
    const std::uintptr_t handle = table.next++;
    table.dcs.emplace(handle, std::move(target));
    return reinterpret_cast<HDC>(handle);
}

platform::DcHooks& Hooks() {
    static platform::DcHooks hooks;
    return hooks;
}

bool FreeDc(State& state, HDC dc) {
    (void)state;
    if (Dcs().dcs.erase(reinterpret_cast<std::uintptr_t>(dc)) == 0)
        return false;
    if (Hooks().released != nullptr)
        Hooks().released(dc);
    return true;
}

void ForEachChild(HWND window, void (*call)(HWND, const void*), const void* data) {
    std::vector<HWND> children;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        if (Window* w = Find(state, window))
            children = w->children;
    }
    for (HWND child : children)
        call(child, data);
}

} // namespace

namespace platform::window_detail {

void PaintBareScreen() {
    State& state = GetState();
    int (*fill)(HDC, const RECT*, HBRUSH) = nullptr;
    HDC dc = nullptr;
    RECT box{};
    {
        std::lock_guard lock(state.mutex);
        fill = Hooks().fillRect;
        if (IsRectEmpty(&state.bareUpdate) != FALSE || fill == nullptr)
            return;
        box = state.bareUpdate;
        state.bareUpdate = RECT{};
        platform::DcTarget target;
        target.clip = box;
        for (HWND top : state.topLevel) {
            const Window* w = Find(state, top);
            if (w != nullptr && (w->style & WS_VISIBLE) != 0)
                target.excluded.push_back(ScreenRectOf(state, *w));
        }
        const std::uintptr_t handle = Dcs().next++;
        Dcs().dcs.emplace(handle, std::move(target));
        dc = reinterpret_cast<HDC>(handle);
    }
    (void)fill(dc, &box, static_cast<HBRUSH>(GetStockObject(kBareScreenBrush)));
    std::lock_guard lock(state.mutex);
    (void)FreeDc(state, dc);
}

} // namespace platform::window_detail

HGDIOBJ GetStockObject(int index) {
    if (index < 0 || index >= kStockCount)
        return nullptr;
    return reinterpret_cast<HGDIOBJ>(kStockBase + static_cast<std::uintptr_t>(index));
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    if (window == nullptr) {
        for (auto& [handle, w] : state.windows) {
            if (IsVisibleChain(state, *w))
                InvalidateLocked(state, *w, rect, erase != FALSE); // every window anyway
        }
        return TRUE;
    }
    Window* w = Find(state, window);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    InvalidateArea(state, *w, rect, erase != FALSE, ChildRule::ByStyle);
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
    WindowLock w(window);
    if (!w)
        return FALSE;
    if (rect == nullptr)
        w->isFrameDirty = false;
    if (!w->hasUpdate)
        return TRUE;
    RECT& box = w->update;
    if (rect == nullptr || (rect->left <= box.left && rect->top <= box.top &&
                            rect->right >= box.right && rect->bottom >= box.bottom)) {
        w->hasUpdate = false;
        w->isUpdateErase = false;
        return TRUE;
    }
    // The box shrinks only where the validated rectangle spans it completely.
    if (rect->left <= box.left && rect->right >= box.right) {
        if (rect->top <= box.top && rect->bottom > box.top)
            box.top = rect->bottom;
        if (rect->bottom >= box.bottom && rect->top < box.bottom)
            box.bottom = rect->top;
    } else if (rect->top <= box.top && rect->bottom >= box.bottom) {
        if (rect->left <= box.left && rect->right > box.left)
            box.left = rect->right;
        if (rect->right >= box.right && rect->left < box.right)
            box.right = rect->left;
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* w = Find(state, window);
    if (w == nullptr || !w->hasUpdate) {
        if (rect != nullptr)
            *rect = RECT{};
        return FALSE;
    }
    if (rect != nullptr)
        *rect = w->update;
    return TRUE;
}

BOOL UpdateWindow(HWND window) {
    bool needsPaint = false;
    {
        WindowLock w(window);
        if (!w)
            return FALSE;
        State& state = w.state;
        needsPaint = (w->hasUpdate || w->isFrameDirty) && IsVisibleChain(state, *w);
    }
    if (needsPaint)
        SendMessageW(window, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL RedrawWindow(HWND window, const RECT* rect, void* region, UINT flags) {
    if (region != nullptr || (window != nullptr && !IsWindow(window))) {
        SetLastError(region != nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window == nullptr) {
        std::vector<HWND> tops;
        {
            State& state = GetState();
            std::lock_guard lock(state.mutex);
            tops = state.topLevel;
        }
        for (HWND top : tops)
            RedrawWindow(top, nullptr, nullptr, flags | RDW_ALLCHILDREN);
        return TRUE;
    }
    const ChildRule rule = (flags & RDW_ALLCHILDREN) != 0  ? ChildRule::All
                           : (flags & RDW_NOCHILDREN) != 0 ? ChildRule::None
                                                           : ChildRule::ByStyle;
    bool reachesChildren = rule == ChildRule::All;
    {
        WindowLock w(window);
        if (!w)
            return FALSE;
        if (rule == ChildRule::ByStyle)
            reachesChildren = (w->style & WS_CLIPCHILDREN) == 0;
        if ((flags & RDW_INVALIDATE) != 0)
            InvalidateArea(w.state, *w, rect, (flags & RDW_ERASE) != 0, rule);
    }
    if ((flags & RDW_VALIDATE) != 0)
        ValidateRect(window, rect);
    if ((flags & (RDW_UPDATENOW | RDW_ERASENOW)) != 0)
        UpdateWindow(window);
    if (reachesChildren && (flags & (RDW_VALIDATE | RDW_UPDATENOW | RDW_ERASENOW)) != 0) {
        // The children's own parts were invalidated above; these flags act on them too.
        const UINT childFlags = flags & ~RDW_INVALIDATE;
        ForEachChild(
            window,
            [](HWND child, const void* data) {
                RedrawWindow(child, nullptr, nullptr, *static_cast<const UINT*>(data));
            },
            &childFlags);
    }
    return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (paint == nullptr)
        return nullptr;
    HDC dc = nullptr;
    HDC frame = nullptr;
    RECT whole{};
    int (*fill)(HDC, const RECT*, HBRUSH) = nullptr;
    bool erase = false;
    RECT box{};
    {
        WindowLock w(window);
        if (!w)
            return nullptr;
        State& state = w.state;
        if (w->hasUpdate)
            box = w->update;
        // The frame of a window with a border is the system's to paint, as the window paints:
        // when it showed again on its own, or the part painted reaches the client area's edge
        // (a part inside leaves the frame as it was).
        const RECT client = ClientRectOf(*w);
        const bool isFrameDue =
            w->isFrameDirty ||
            (w->hasUpdate && (box.left <= 0 || box.top <= 0 || box.right >= client.right ||
                              box.bottom >= client.bottom));
        erase = w->hasUpdate && w->isUpdateErase;
        w->hasUpdate = false;
        w->isUpdateErase = false;
        w->isFrameDirty = false;
        dc = MakeDc(state, &*w, &box);
        fill = Hooks().fillRect;
        if (isFrameDue && BorderOf(*w) > 0 && fill != nullptr) {
            frame = MakeDc(state, &*w, nullptr, true);
            whole = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
        }
    }
    if (frame != nullptr) {
        (void)fill(frame, &whole, static_cast<HBRUSH>(GetStockObject(kFrameBrush)));
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        (void)FreeDc(state, frame);
    }
    *paint = PAINTSTRUCT{};
    paint->hdc = dc;
    paint->rcPaint = box;
    paint->fErase = erase ? TRUE : FALSE;
    if (erase && SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) != 0) {
        paint->fErase = FALSE;
    }
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (paint == nullptr)
        return FALSE;
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return FreeDc(state, paint->hdc) ? TRUE : FALSE;
}

HDC GetDC(HWND window) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* w = Find(state, window);
    if (window != nullptr && w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return MakeDc(state, w, nullptr);
}

int ReleaseDC(HWND, HDC dc) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return FreeDc(state, dc) ? 1 : 0;
}

int GetClipBox(HDC dc, RECT* rect) {
    int (*hook)(HDC, RECT*) = nullptr;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        hook = Hooks().clipBox;
    }
    return hook != nullptr ? hook(dc, rect) : platform::GetWindowDcClipBox(dc, rect);
}

namespace platform {

void SetDcHooks(const DcHooks& hooks) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Hooks() = hooks;
}

DcHooks GetDcHooks() {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return Hooks();
}

int GetWindowDcClipBox(HDC dc, RECT* rect) {
    platform::DcTarget target;
    if (rect == nullptr || !platform::GetDcTarget(dc, &target))
        return ERROR_REGION;
    *rect = target.clip;
    if (IsRectEmpty(&target.clip))
        return NULLREGION;
    RECT overlap{};
    for (const RECT& cut : target.excluded) {
        if (IntersectRect(&overlap, &cut, &target.clip))
            return COMPLEXREGION;
    }
    return SIMPLEREGION;
}

} // namespace platform

BOOL PtVisible(HDC dc, int x, int y) {
    platform::DcTarget target;
    if (!platform::GetDcTarget(dc, &target))
        return FALSE;
    const POINT point{x, y};
    if (!PtInRect(&target.clip, point))
        return FALSE;
    for (const RECT& cut : target.excluded) {
        if (PtInRect(&cut, point))
            return FALSE;
    }
    return TRUE;
}

HWND WindowFromDC(HDC dc) {
    platform::DcTarget target;
    return platform::GetDcTarget(dc, &target) ? target.window : nullptr;
}

namespace platform {

bool GetDcTarget(HDC dc, DcTarget* target) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    auto it = Dcs().dcs.find(reinterpret_cast<std::uintptr_t>(dc));
    if (it == Dcs().dcs.end() || target == nullptr)
        return false;
    *target = it->second;
    return true;
}

bool StartPaintWatch() {
    window_detail::State& state = window_detail::GetState();
    std::lock_guard lock(state.mutex);
    if (state.paintWatcher)
        return false;
    state.paintWatcher = std::this_thread::get_id();
    state.watchedWindows.clear();
    for (const auto& [key, window] : state.windows) {
        if (window->hasUpdate || window->isFrameDirty)
            state.watchedWindows.insert(window->handle);
    }
    state.watchedBare = state.bareUpdate;
    return true;
}

void EndPaintWatch() {
    window_detail::State& state = window_detail::GetState();
    std::lock_guard lock(state.mutex);
    if (!state.paintWatcher)
        return;
    state.paintWatcher.reset();
    for (HWND handle : state.watchedWindows) {
        if (window_detail::Window* window = window_detail::Find(state, handle);
            window != nullptr && !window->isDestroying) {
            window->isFrameDirty = window->isFrameDirty || window_detail::BorderOf(*window) > 0;
            window_detail::InvalidateLocked(state, *window, nullptr, true);
        }
    }
    state.watchedWindows.clear();
    if (IsRectEmpty(&state.watchedBare) == FALSE)
        window_detail::InvalidateBareScreen(state, state.watchedBare);
    state.watchedBare = RECT{};
}

} // namespace platform
