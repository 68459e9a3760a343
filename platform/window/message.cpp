// Thread queues: get, peek, post, send, timers.
#include "platform/window/message.h"

#include "platform/kernel/handles.h"
#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"
#include "platform/window/detail/state.h"
#include "platform/window/input.h"
#include "platform/window/window.h"

#include <algorithm>
#include <functional>

using namespace platform::window_detail;

namespace {

bool IsInRange(UINT message, UINT first, UINT last) {
    return (first == 0 && last == 0) || (message >= first && message <= last);
}

// A message for target passes the window filter when target is the filter window or inside it.
bool PassesWindowFilter(State& state, HWND filter, HWND target) {
    if (filter == nullptr)
        return true;
    for (Window* w = Find(state, target); w != nullptr; w = Find(state, w->parent)) {
        if (w->handle == filter)
            return true;
    }
    return false;
}

bool IsStylusDown(UINT message) {
    return message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDOWN;
}

// The thread's key states follow the input messages it takes.
void TrackKeyState(ThreadQueue& queue, const MSG& msg) {
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
        queue.keyState[msg.wParam & 0xFF] = msg.message == WM_KEYDOWN ? 1 : 0;
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
        queue.keyState[VK_LBUTTON] = msg.message != WM_LBUTTONUP ? 1 : 0;
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        queue.keyState[VK_RBUTTON] = msg.message == WM_RBUTTONDOWN ? 1 : 0;
        break;
    default:
        break;
    }
}

bool TakePosted(State& state, ThreadQueue& queue, MSG* msg, HWND window, UINT first, UINT last,
                bool remove, bool* isClick) {
    for (auto it = queue.posted.begin(); it != queue.posted.end();) {
        if (it->msg.hwnd != nullptr && Find(state, it->msg.hwnd) == nullptr) {
            it = queue.posted.erase(it); // the window is gone: its messages go with it
            continue;
        }
        if (!IsInRange(it->msg.message, first, last) ||
            !PassesWindowFilter(state, window, it->msg.hwnd)) {
            ++it;
            continue;
        }
        *msg = it->msg;
        *isClick = it->isInput && IsStylusDown(msg->message);
        if (remove && it->isInput)
            TrackKeyState(queue, *msg);
        if (remove)
            queue.posted.erase(it);
        return true;
    }
    return false;
}

bool TakePaint(State& state, ThreadQueue& queue, MSG* msg, HWND window, UINT first, UINT last) {
    if (!IsInRange(WM_PAINT, first, last))
        return false;
    for (HWND h : state.creationOrder) {
        Window* w = Find(state, h);
        if (w != nullptr && w->queue.get() == &queue && (w->hasUpdate || w->isFrameDirty) &&
            IsVisibleChain(state, *w) && PassesWindowFilter(state, window, h)) {
            *msg = MSG{h, WM_PAINT, 0, 0, GetTickCount(), {}};
            return true;
        }
    }
    return false;
}

Timer* DueTimer(State& state, ThreadQueue& queue, HWND window, std::uint64_t now) {
    Timer* due = nullptr;
    for (Timer& timer : queue.timers) {
        if (timer.dueMs <= now && PassesWindowFilter(state, window, timer.window) &&
            (due == nullptr || timer.dueMs < due->dueMs)) {
            due = &timer;
        }
    }
    return due;
}

// WM_QUIT, WM_PAINT and WM_TIMER, in this order, once nothing was posted.
bool TakeGenerated(State& state, ThreadQueue& queue, MSG* msg, HWND window, UINT first, UINT last,
                   bool remove, std::uint64_t now) {
    if (queue.isQuitPosted) {
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, GetTickCount(), {}};
        if (remove)
            queue.isQuitPosted = false;
        return true;
    }
    if (TakePaint(state, queue, msg, window, first, last))
        return true;
    if (!IsInRange(WM_TIMER, first, last))
        return false;
    Timer* timer = DueTimer(state, queue, window, now);
    if (timer == nullptr)
        return false;
    *msg = MSG{timer->window,  WM_TIMER, timer->id, reinterpret_cast<LPARAM>(timer->procedure),
               GetTickCount(), {}};
    if (remove)
        timer->dueMs = now + timer->elapseMs;
    return true;
}

// Until the next timer the get could return; timers it filters out do not wake it.
DWORD WaitTime(State& state, const ThreadQueue& queue, HWND window, UINT first, UINT last,
               std::uint64_t now) {
    std::uint64_t wait = INFINITE;
    if (!IsInRange(WM_TIMER, first, last))
        return INFINITE;
    for (const Timer& timer : queue.timers) {
        if (!PassesWindowFilter(state, window, timer.window))
            continue;
        wait = std::min<std::uint64_t>(wait, timer.dueMs > now ? timer.dueMs - now : 0);
    }
    return static_cast<DWORD>(std::min<std::uint64_t>(wait, INFINITE));
}

} // namespace

namespace platform::window_detail {

LRESULT CallProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure = nullptr;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        Window* w = Find(state, window);
        if (w == nullptr)
            return 0;
        procedure = w->procedure;
    }
    return procedure(window, message, wParam, lParam);
}

bool ServeIncoming(ThreadQueue& queue) {
    State& state = GetState();
    bool hasServed = false;
    for (;;) {
        std::shared_ptr<SentMessage> sent;
        std::function<void()> call;
        {
            std::lock_guard lock(state.mutex);
            if (!queue.sent.empty()) {
                sent = queue.sent.front();
                queue.sent.pop_front();
            } else if (!queue.deferred.empty()) {
                call = std::move(queue.deferred.front());
                queue.deferred.pop_front();
            } else {
                return hasServed;
            }
        }
        hasServed = true;
        if (sent) {
            const LRESULT result =
                CallProcedure(sent->window, sent->message, sent->wParam, sent->lParam);
            std::lock_guard lock(state.mutex);
            sent->result = result;
            sent->isDone = true;
            if (sent->sender)
                WakeQueue(*sent->sender);
        } else {
            call();
        }
    }
}

std::function<bool()>& IdleHook() {
    thread_local std::function<bool()> hook;
    return hook;
}

bool TakeMessage(MSG* msg, HWND window, UINT first, UINT last, bool remove, bool wait) {
    auto queue = CurrentQueue();
    State& state = GetState();
    bool hasAskedIdleHook = false;
    for (;;) {
        if (auto* pump = state.inputPump.load())
            pump();
        ServeIncoming(*queue);
        PaintBareScreen();
        std::unique_lock lock(state.mutex);
        if (!queue->sent.empty() || !queue->deferred.empty())
            continue;
        bool isClick = false;
        if (TakePosted(state, *queue, msg, window, first, last, remove, &isClick)) {
            lock.unlock();
            if (isClick)
                ClickActivate(msg->hwnd);
            return true;
        }
        const std::uint64_t now = platform::CurrentClock().TickMs();
        if (TakeGenerated(state, *queue, msg, window, first, last, remove, now))
            return true;
        if (!wait)
            return false;
        if (IdleHook() && !hasAskedIdleHook) {
            lock.unlock();
            const std::function<bool()> hook = IdleHook();
            // Something done (input injected, the clock moved): look again. Otherwise look once
            // more before waiting, so that nothing posted meanwhile is missed.
            hasAskedIdleHook = !hook();
            continue;
        }
        hasAskedIdleHook = false;
        const DWORD waitMs = WaitTime(state, *queue, window, first, last, now);
        queue->isWaiting = true;
        lock.unlock();
        (void)WaitForSingleObject(queue->wake, waitMs);
        lock.lock();
        queue->isWaiting = false;
    }
}

} // namespace platform::window_detail

BOOL GetMessageW(MSG* msg, HWND window, UINT first, UINT last) {
    if (msg == nullptr || (window != nullptr && !IsWindow(window))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    TakeMessage(msg, window, first, last, true, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
    if (msg == nullptr)
        return FALSE;
    return TakeMessage(msg, window, first, last, (remove & PM_REMOVE) != 0, false) ? TRUE : FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (msg == nullptr)
        return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    if (msg->hwnd == nullptr)
        return 0;
    return CallProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const DWORD time = GetTickCount();
    std::shared_ptr<ThreadQueue> own = window == nullptr ? CurrentQueue() : nullptr;
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    ThreadQueue* queue = own.get();
    if (window != nullptr) {
        Window* w = Find(state, window);
        if (w == nullptr || !w->queue->isAlive) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        queue = w->queue.get();
    }
    queue->posted.push_back(QueuedMessage{MSG{window, message, wParam, lParam, time, {}}, false});
    WakeQueue(*queue);
    return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    const DWORD time = GetTickCount();
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    auto it = state.queues.find(threadId);
    std::shared_ptr<ThreadQueue> queue = it != state.queues.end() ? it->second.lock() : nullptr;
    if (!queue || !queue->isAlive) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    queue->posted.push_back(QueuedMessage{MSG{nullptr, message, wParam, lParam, time, {}}, false});
    WakeQueue(*queue);
    return TRUE;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto own = CurrentQueue();
    State& state = GetState();
    auto sent = std::make_shared<SentMessage>();
    std::shared_ptr<ThreadQueue> target;
    {
        std::lock_guard lock(state.mutex);
        Window* w = Find(state, window);
        if (w == nullptr || !w->queue->isAlive) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (w->queue != own) {
            target = w->queue;
            *sent = SentMessage{window, message, wParam, lParam, 0, false, own};
            target->sent.push_back(sent);
            WakeQueue(*target);
        }
    }
    if (!target)
        return CallProcedure(window, message, wParam, lParam);
    for (;;) {
        ServeIncoming(*own);
        std::unique_lock lock(state.mutex);
        if (sent->isDone)
            return sent->result;
        if (!target->isAlive)
            return 0;
        if (!own->sent.empty() || !own->deferred.empty())
            continue;
        own->isWaiting = true;
        lock.unlock();
        (void)WaitForSingleObject(own->wake, INFINITE);
        lock.lock();
        own->isWaiting = false;
    }
}

void PostQuitMessage(int exitCode) {
    auto queue = CurrentQueue();
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    queue->isQuitPosted = true;
    queue->quitCode = exitCode;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC procedure) {
    std::shared_ptr<ThreadQueue> queue = window == nullptr ? CurrentQueue() : nullptr;
    const std::uint64_t now = platform::CurrentClock().TickMs();
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    if (window != nullptr) {
        Window* w = Find(state, window);
        if (w == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        queue = w->queue;
    }
    const std::uint64_t due = now + std::max<UINT>(elapseMs, 1);
    for (Timer& timer : queue->timers) {
        if (timer.window == window && timer.id == id && (window != nullptr || id != 0)) {
            timer = Timer{window, id, std::max<UINT>(elapseMs, 1), due, procedure};
            WakeQueue(*queue);
            return window != nullptr ? id : timer.id;
        }
    }
    if (window == nullptr)
        id = ++queue->nextTimerId;
    queue->timers.push_back(Timer{window, id, std::max<UINT>(elapseMs, 1), due, procedure});
    WakeQueue(*queue);
    return id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    std::shared_ptr<ThreadQueue> queue = window == nullptr ? CurrentQueue() : nullptr;
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    if (window != nullptr) {
        Window* w = Find(state, window);
        if (w == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        queue = w->queue;
    }
    const auto removed = std::erase_if(
        queue->timers, [&](const Timer& t) { return t.window == window && t.id == id; });
    if (removed == 0) {
        SetLastError(ERROR_TIMER_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

namespace platform {

void SetIdleHook(std::function<bool()> hook) {
    window_detail::IdleHook() = std::move(hook);
}

void SetInputPump(void (*pump)()) {
    GetState().inputPump.store(pump);
}

} // namespace platform
