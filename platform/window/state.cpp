#include "platform/window/detail/state.h"

#include "platform/kernel/handles.h"
#include "platform/kernel/sync.h"
#include "platform/window/window.h"

#include <algorithm>

namespace platform::window_detail {

namespace {

// Taskbar and menu bar height at 240 pixels of screen width; scaled with the width.
constexpr int kBarHeight = 26;

// Ends the calling thread's queue when the thread ends: its windows go without messages and
// the senders waiting for it get 0.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder();
};

thread_local QueueHolder t_queue;

QueueHolder::~QueueHolder() {
    if (!queue) {
        return;
    }
    State& state = GetState();
    std::vector<std::shared_ptr<SentMessage>> pending;
    {
        std::lock_guard lock(state.mutex);
        queue->isAlive = false;
        pending.assign(queue->sent.begin(), queue->sent.end());
        queue->sent.clear();
        queue->deferred.clear();
        for (auto it = state.windows.begin(); it != state.windows.end();) {
            Window& window = *it->second;
            if (window.queue != queue) {
                ++it;
                continue;
            }
            window.windowClass->windowCount -= 1;
            if (state.focus == window.handle)
                state.focus = nullptr;
            if (state.active == window.handle)
                state.active = nullptr;
            if (state.capture == window.handle)
                state.capture = nullptr;
            std::erase(state.topLevel, window.handle);
            std::erase(state.creationOrder, window.handle);
            if (Window* parent = Find(state, window.parent)) {
                std::erase(parent->children, window.handle);
            }
            it = state.windows.erase(it);
        }
        std::erase_if(state.hotKeys, [&](const HotKey& key) { return !Find(state, key.window); });
        state.queues.erase(queue->threadId);
        for (auto& message : pending) {
            AnswerUnserved(*message);
        }
    }
    queue.reset();
}

} // namespace

ThreadQueue::~ThreadQueue() {
    if (wake != nullptr) {
        CloseHandle(wake);
    }
}

State& GetState() {
    static State* state = new State; // never destroyed: threads may end after static teardown
    return *state;
}

std::shared_ptr<ThreadQueue> CurrentQueue() {
    if (t_queue.queue) {
        return t_queue.queue;
    }
    auto queue = std::make_shared<ThreadQueue>();
    queue->threadId = GetCurrentThreadId();
    queue->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    State& state = GetState();
    {
        std::lock_guard lock(state.mutex);
        state.queues[queue->threadId] = queue;
    }
    t_queue.queue = queue;
    return queue;
}

WindowLock::WindowLock(HWND window)
    : state(GetState())
    , m_lock(state.mutex)
    , m_window(Find(state, window)) {
    if (m_window == nullptr)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
}

bool IsOwnerThread(const Window& window) {
    return window.queue == t_queue.queue;
}

bool IsHitTransparentTop(const State& state, HWND top) {
    // The empty menu bar holds no buttons and draws nothing: taps go to the window beneath.
    return top != nullptr && top == state.menuBar;
}

bool IsHitTransparent(const Window& window) {
    constexpr DWORD kNotify = 0x0100; // SS_NOTIFY
    const std::u16string& name = window.windowClass ? window.windowClass->name : std::u16string();
    return name.size() == 6 && (window.style & kNotify) == 0 &&
           std::equal(name.begin(), name.end(), u"static", [](char16_t a, char16_t b) {
               return (a >= u'A' && a <= u'Z' ? a - u'A' + u'a' : a) == b;
           });
}

Window* Find(State& state, HWND window) {
    if (window == nullptr) {
        return nullptr;
    }
    auto it = state.windows.find(reinterpret_cast<std::uintptr_t>(window));
    return it == state.windows.end() ? nullptr : it->second.get();
}

int BorderOf(const Window& window) {
    return (window.style & WS_BORDER) != 0 ? 1 : 0;
}

RECT ClientRectOf(const Window& window) {
    const int border = BorderOf(window);
    const LONG width = std::max<LONG>(0, window.rect.right - window.rect.left - 2 * border);
    const LONG height = std::max<LONG>(0, window.rect.bottom - window.rect.top - 2 * border);
    return RECT{0, 0, width, height};
}

POINT ClientOriginOnScreen(State& state, const Window& window) {
    POINT origin{window.rect.left + BorderOf(window), window.rect.top + BorderOf(window)};
    for (Window* parent = Find(state, window.parent); parent != nullptr;
         parent = Find(state, parent->parent)) {
        origin.x += parent->rect.left + BorderOf(*parent);
        origin.y += parent->rect.top + BorderOf(*parent);
    }
    return origin;
}

RECT ScreenRectOf(State& state, const Window& window) {
    const POINT origin = ClientOriginOnScreen(state, window);
    const int border = BorderOf(window);
    return RECT{origin.x - border, origin.y - border,
                origin.x - border + (window.rect.right - window.rect.left),
                origin.y - border + (window.rect.bottom - window.rect.top)};
}

bool IsVisibleChain(State& state, const Window& window) {
    for (const Window* w = &window; w != nullptr; w = Find(state, w->parent)) {
        if ((w->style & WS_VISIBLE) == 0)
            return false;
    }
    return true;
}

bool IsEnabledChain(State& state, const Window& window) {
    for (const Window* w = &window; w != nullptr; w = Find(state, w->parent)) {
        if ((w->style & WS_DISABLED) != 0)
            return false;
    }
    return true;
}

HWND TopLevelOf(State& state, HWND window) {
    Window* w = Find(state, window);
    while (w != nullptr && w->parent != nullptr) {
        w = Find(state, w->parent);
    }
    return w != nullptr ? w->handle : nullptr;
}

bool IsOwnedBy(State& state, HWND window, HWND owner) {
    // Owners are made before the windows they own, so a chain cannot come back to itself; the
    // count only guards against a damaged state.
    const Window* w = Find(state, window);
    for (std::size_t depth = 0; w != nullptr && depth < state.windows.size(); ++depth) {
        if (w->owner == nullptr)
            return false;
        if (w->owner == owner)
            return true;
        w = Find(state, w->owner);
    }
    return false;
}

HWND LastActivePopupOf(State& state, HWND top) {
    for (HWND h : state.topLevel) {
        const Window* w = Find(state, h);
        if (w != nullptr && h != top && !w->isDestroying &&
            (w->style & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE && IsOwnedBy(state, h, top)) {
            return h;
        }
    }
    return top;
}

void RaiseOwnedWindows(State& state, HWND top) {
    const Window* owner = Find(state, top);
    if (owner == nullptr || owner->parent != nullptr)
        return;
    const DWORD band = owner->exStyle & WS_EX_TOPMOST;
    // A topmost window owned by an ordinary one lies above it anyway; an ordinary one owned by
    // a topmost one stays in its own band.
    std::vector<HWND> owned;
    for (HWND h : state.topLevel) {
        const Window* w = Find(state, h);
        if (w != nullptr && (w->exStyle & WS_EX_TOPMOST) == band && IsOwnedBy(state, h, top))
            owned.push_back(h);
    }
    if (owned.empty())
        return;
    std::erase_if(state.topLevel, [&owned](HWND h) {
        return std::find(owned.begin(), owned.end(), h) != owned.end();
    });
    const auto at = std::find(state.topLevel.begin(), state.topLevel.end(), top);
    state.topLevel.insert(at, owned.begin(), owned.end());
}

void PlaceAtFrontOfBand(State& state, HWND top) {
    const Window* w = Find(state, top);
    if (w == nullptr || w->parent != nullptr)
        return;
    std::erase(state.topLevel, top);
    auto position = state.topLevel.begin();
    if ((w->exStyle & WS_EX_TOPMOST) == 0) {
        position = std::find_if(state.topLevel.begin(), state.topLevel.end(), [&](HWND h) {
            const Window* o = Find(state, h);
            return o == nullptr || (o->exStyle & WS_EX_TOPMOST) == 0;
        });
    }
    state.topLevel.insert(position, top);
}

void BringToFront(State& state, HWND top) {
    const Window* w = Find(state, top);
    if (w == nullptr || w->parent != nullptr)
        return;
    HWND root = top;
    for (std::size_t depth = 0; depth < state.windows.size(); ++depth) {
        const Window* r = Find(state, root);
        if (r == nullptr || Find(state, r->owner) == nullptr)
            break;
        root = r->owner;
    }
    const std::vector<HWND> before = state.topLevel;
    for (HWND h : {root, top}) {
        PlaceAtFrontOfBand(state, h);
        RaiseOwnedWindows(state, h);
    }
    InvalidateReordered(state, before, state.topLevel);
}

RECT WorkArea(const State& state) {
    const int bar = kBarHeight * state.screenWidth / 240;
    RECT area{0, 0, state.screenWidth, state.screenHeight};
    if (state.isTaskBarShown)
        area.top += bar;
    if (state.menuBar != nullptr)
        area.bottom -= bar;
    return area;
}

void WakeQueue(ThreadQueue& queue) {
    if (queue.isWaiting) {
        SetEvent(queue.wake);
    }
}

void AnswerUnserved(SentMessage& message) {
    message.result = 0;
    message.isDone = true;
    if (message.sender)
        WakeQueue(*message.sender);
}

void AnswerSentTo(ThreadQueue& queue, HWND window) {
    std::vector<std::shared_ptr<SentMessage>> kept;
    for (std::shared_ptr<SentMessage>& message : queue.sent) {
        if (message->window == window)
            AnswerUnserved(*message);
        else
            kept.push_back(std::move(message));
    }
    queue.sent.assign(kept.begin(), kept.end());
}

namespace {

// Each shown child (but the one skipped) where the box reaches it.
void InvalidateChildrenIn(State& state, Window& window, const RECT& box, bool erase,
                          ChildRule children, HWND skipped);

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

void InvalidateLocked(State& state, Window& window, const RECT* rect, bool erase) {
    RECT area = ClientRectOf(window);
    if (rect != nullptr) {
        area.left = std::max(area.left, rect->left);
        area.top = std::max(area.top, rect->top);
        area.right = std::min(area.right, rect->right);
        area.bottom = std::min(area.bottom, rect->bottom);
    }
    if (area.left >= area.right || area.top >= area.bottom) {
        return;
    }
    bool hasGrown = false;
    if (window.hasUpdate) {
        const RECT old = window.update;
        window.update.left = std::min(old.left, area.left);
        window.update.top = std::min(old.top, area.top);
        window.update.right = std::max(old.right, area.right);
        window.update.bottom = std::max(old.bottom, area.bottom);
        hasGrown = !SameRect(window.update, old) && !SameRect(window.update, area);
    } else {
        window.update = area;
        window.hasUpdate = true;
    }
    window.isUpdateErase = window.isUpdateErase || erase;
    if (state.paintWatcher && *state.paintWatcher != std::this_thread::get_id())
        state.watchedWindows.insert(window.handle);
    WakeQueue(*window.queue);
    // The update area is one box: two parts apart join into a box that reaches beyond both, and
    // the window paints all of it, also over children that neither part reached. Unless it
    // clips them, they paint again after it.
    if (hasGrown && (window.style & WS_CLIPCHILDREN) == 0)
        InvalidateChildrenIn(state, window, window.update, erase, ChildRule::ByStyle, nullptr);
}

namespace {

// InvalidateArea, leaving out the window skipped and what lies in it.
void InvalidateAreaBut(State& state, Window& window, const RECT* rect, bool erase,
                       ChildRule children, HWND skipped) {
    InvalidateLocked(state, window, rect, erase);
    if (const int border = BorderOf(window); border > 0 && rect != nullptr) {
        // The part of the frame around the client area that the area reaches shows again.
        const RECT client = ClientRectOf(window);
        const RECT whole{-border, -border, client.right + border, client.bottom + border};
        RECT reached{};
        if (IntersectRect(&reached, rect, &whole) != FALSE &&
            (reached.left < 0 || reached.top < 0 || reached.right > client.right ||
             reached.bottom > client.bottom)) {
            window.isFrameDirty = true;
            WakeQueue(*window.queue);
        }
    }
    const bool includesChildren =
        children == ChildRule::All ||
        (children == ChildRule::ByStyle && (window.style & WS_CLIPCHILDREN) == 0);
    if (!includesChildren) {
        return;
    }
    InvalidateChildrenIn(state, window, rect != nullptr ? *rect : ClientRectOf(window), erase,
                         children, skipped);
}

void InvalidateChildrenIn(State& state, Window& window, const RECT& box, bool erase,
                          ChildRule children, HWND skipped) {
    for (HWND child : window.children) {
        Window* c = Find(state, child);
        if (c == nullptr || child == skipped || (c->style & WS_VISIBLE) == 0) {
            continue;
        }
        const int border = BorderOf(*c);
        RECT local{std::max(box.left, c->rect.left), std::max(box.top, c->rect.top),
                   std::min(box.right, c->rect.right), std::min(box.bottom, c->rect.bottom)};
        if (local.left >= local.right || local.top >= local.bottom) {
            continue;
        }
        local = RECT{local.left - c->rect.left - border, local.top - c->rect.top - border,
                     local.right - c->rect.left - border, local.bottom - c->rect.top - border};
        InvalidateAreaBut(state, *c, &local, erase, children, skipped);
    }
}

} // namespace

void InvalidateArea(State& state, Window& window, const RECT* rect, bool erase,
                    ChildRule children) {
    InvalidateAreaBut(state, window, rect, erase, children, nullptr);
}

void InvalidateTree(State& state, Window& window) {
    InvalidateLocked(state, window, nullptr, true);
    for (HWND child : window.children) {
        if (Window* w = Find(state, child); w != nullptr && (w->style & WS_VISIBLE) != 0) {
            InvalidateTree(state, *w);
        }
    }
}

namespace {

// Makes the area (screen coordinates) dirty in target and in the children that lie in it, the
// window skipped left out: what shows again there shows in every window, the children of a
// parent that clips them included.
void InvalidateOnScreen(State& state, Window& target, const RECT& screenRect, HWND skipped) {
    const POINT origin = ClientOriginOnScreen(state, target);
    RECT local = screenRect;
    OffsetRect(&local, -origin.x, -origin.y);
    InvalidateAreaBut(state, target, &local, true, ChildRule::All, skipped);
}

} // namespace

void InvalidateBeneath(State& state, const Window& window, const RECT& screenRect) {
    if (Window* parent = Find(state, window.parent)) {
        InvalidateOnScreen(state, *parent, screenRect, window.handle);
        return;
    }
    for (HWND top : state.topLevel) {
        Window* other = Find(state, top);
        if (other != nullptr && other != &window && IsVisibleChain(state, *other)) {
            InvalidateOnScreen(state, *other, screenRect, window.handle);
        }
    }
    InvalidateBareScreen(state, screenRect);
}

void InvalidateReordered(State& state, const std::vector<HWND>& before,
                         const std::vector<HWND>& after) {
    const auto rankBefore = [&before](HWND h) {
        return static_cast<std::size_t>(std::find(before.begin(), before.end(), h) -
                                        before.begin());
    };
    for (std::size_t i = 0; i < after.size(); ++i) {
        Window* raised = Find(state, after[i]);
        const std::size_t was = rankBefore(after[i]);
        if (raised == nullptr || was == before.size() || !IsVisibleChain(state, *raised))
            continue;
        const RECT raisedRect = ScreenRectOf(state, *raised);
        for (std::size_t j = i + 1; j < after.size(); ++j) {
            const Window* lowered = Find(state, after[j]);
            if (lowered == nullptr || rankBefore(after[j]) >= was ||
                !IsVisibleChain(state, *lowered)) {
                continue;
            }
            const RECT loweredRect = ScreenRectOf(state, *lowered);
            RECT overlap{};
            if (IntersectRect(&overlap, &raisedRect, &loweredRect) != FALSE)
                InvalidateOnScreen(state, *raised, overlap, nullptr);
        }
    }
}

void InvalidateBareScreen(State& state, const RECT& screenRect) {
    const RECT screen{0, 0, state.screenWidth, state.screenHeight};
    RECT area{};
    if (IntersectRect(&area, &screenRect, &screen) == FALSE)
        return;
    (void)UnionRect(&state.bareUpdate, &state.bareUpdate, &area);
    if (state.paintWatcher && *state.paintWatcher != std::this_thread::get_id())
        (void)UnionRect(&state.watchedBare, &state.watchedBare, &area);
}

} // namespace platform::window_detail
