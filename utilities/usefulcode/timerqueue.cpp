#include "utilities/usefulcode/timerqueue.h"

#include "platform/kernel/debug.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <utility>

namespace detail {

struct TimerEntry {
    DWORD id = 0;
    DWORD dueTick = 0;
    std::uint64_t sequence = 0; // orders entries with the same due tick by scheduling time
    std::unique_ptr<TimerCallback> callback;
};

// The queue's data, shared with the waiter thread so that a thread still on its way out (or a
// callback that destroyed its own queue) never touches freed memory.
struct TimerQueueState {
    std::mutex mutex;
    std::deque<TimerEntry> heap; // binary heap, earliest entry at the front
    DWORD lastId = 0;
    std::uint64_t lastSequence = 0;
    HANDLE wakeEvent = nullptr; // auto-reset: the heap changed or the queue is stopping
    HANDLE thread = nullptr;    // the newest waiter thread
    DWORD threadId = 0;
    bool isWaiterRunning = false;
    bool isStopping = false;

    TimerQueueState()
        : wakeEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~TimerQueueState() {
        if (thread != nullptr) {
            CloseHandle(thread);
        }
        if (wakeEvent != nullptr) {
            CloseHandle(wakeEvent);
        }
    }
    TimerQueueState(const TimerQueueState&) = delete;
    TimerQueueState& operator=(const TimerQueueState&) = delete;
};

} // namespace detail

namespace {

using detail::TimerEntry;
using detail::TimerQueueState;

// Milliseconds from now until tick, negative when it has passed. Correct across the wrap of the
// tick counter as long as the two are less than 2^31 ms apart.
std::int32_t TicksUntil(DWORD tick, DWORD now) {
    return static_cast<std::int32_t>(tick - now);
}

// Heap order for std::push_heap and friends: "a fires after b".
bool FiresAfter(const TimerEntry& a, const TimerEntry& b) {
    const std::int32_t difference = TicksUntil(a.dueTick, b.dueTick);
    if (difference != 0) {
        return difference > 0;
    }
    return a.sequence > b.sequence;
}

DWORD WaiterMain(LPVOID parameter);

// Starts a waiter thread when none is running. Call with the state's mutex held.
bool EnsureWaiterLocked(const std::shared_ptr<TimerQueueState>& state) {
    if (state->isWaiterRunning) {
        return true;
    }
    auto* threadReference = new std::shared_ptr<TimerQueueState>(state);
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaiterMain, threadReference, 0, &threadId);
    if (thread == nullptr) {
        delete threadReference;
        OutputDebugStringW(u"TimerQueue: cannot start the waiter thread\n");
        return false;
    }
    // An earlier waiter that found the heap empty is ending on its own; it holds its own
    // reference to the state, so its handle can go.
    if (state->thread != nullptr) {
        CloseHandle(state->thread);
    }
    state->thread = thread;
    state->threadId = threadId;
    state->isWaiterRunning = true;
    return true;
}

// The waiter thread: sleeps until the earliest entry is due, fires every entry that is due,
// and ends when the heap is empty or the queue is stopping. Callbacks run without the mutex.
DWORD WaiterMain(LPVOID parameter) {
    std::shared_ptr<TimerQueueState> state;
    {
        auto* reference = static_cast<std::shared_ptr<TimerQueueState>*>(parameter);
        state = std::move(*reference);
        delete reference;
    }
    std::unique_lock lock(state->mutex);
    while (!state->isStopping && !state->heap.empty()) {
        const DWORD dueTick = state->heap.front().dueTick;
        if (TicksUntil(dueTick, GetTickCount()) > 0) {
            lock.unlock();
            // Waits for the tick itself, so that a clock move after the reading above cannot
            // push the deadline back.
            (void)platform::WaitForSingleObjectUntilTick(state->wakeEvent, dueTick);
            lock.lock();
            continue;
        }
        std::pop_heap(state->heap.begin(), state->heap.end(), FiresAfter);
        std::unique_ptr<TimerCallback> callback = std::move(state->heap.back().callback);
        state->heap.pop_back();
        lock.unlock();
        if (callback) {
            callback->Invoke();
            callback.reset(); // may release the target's resources: not under the mutex
        }
        lock.lock();
    }
    state->isWaiterRunning = false;
    return 0;
}

class FunctionTimerCallback final : public TimerCallback {
public:
    FunctionTimerCallback(void* target, TimerFunction function)
        : m_target(target)
        , m_function(function) {}
    void Invoke() override { m_function(m_target); }

private:
    void* m_target;
    TimerFunction m_function;
};

class ArgumentTimerCallback final : public TimerCallback {
public:
    ArgumentTimerCallback(void* target, TimerFunctionWithArgument function, std::uintptr_t argument)
        : m_target(target)
        , m_function(function)
        , m_argument(argument) {}
    void Invoke() override { m_function(m_target, m_argument); }

private:
    void* m_target;
    TimerFunctionWithArgument m_function;
    std::uintptr_t m_argument;
};

DWORD ClampDelay(DWORD delayMs) {
    return std::min(delayMs, TimerQueue::kMaxDelayMs);
}

} // namespace

TimerQueue::TimerQueue()
    : m_state(std::make_shared<TimerQueueState>()) {
    if (m_state->wakeEvent == nullptr) {
        OutputDebugStringW(u"TimerQueue: cannot create the wake event\n");
    }
}

TimerQueue::~TimerQueue() {
    std::deque<TimerEntry> dropped;
    HANDLE thread = nullptr;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->isStopping = true;
        dropped.swap(m_state->heap);
        if (m_state->isWaiterRunning && m_state->threadId != GetCurrentThreadId()) {
            thread = m_state->thread;
        }
    }
    if (m_state->wakeEvent != nullptr) {
        SetEvent(m_state->wakeEvent);
    }
    if (thread != nullptr) {
        (void)WaitForSingleObject(thread, INFINITE);
    }
    // dropped releases the callbacks here, after the waiter has let go of the state.
}

DWORD TimerQueue::AddTimer(DWORD delayMs, std::unique_ptr<TimerCallback> callback) {
    if (!callback || m_state->wakeEvent == nullptr) {
        return 0;
    }
    DWORD id = 0;
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->isStopping) {
            return 0;
        }
        id = ++m_state->lastId;
        if (id == 0) { // the counter wrapped: 0 stays "no timer"
            id = ++m_state->lastId;
        }
        TimerEntry entry;
        entry.id = id;
        entry.dueTick = GetTickCount() + ClampDelay(delayMs);
        entry.sequence = ++m_state->lastSequence;
        entry.callback = std::move(callback);
        m_state->heap.push_back(std::move(entry));
        std::push_heap(m_state->heap.begin(), m_state->heap.end(), FiresAfter);
        if (!EnsureWaiterLocked(m_state)) {
            auto& heap = m_state->heap;
            heap.erase(std::find_if(heap.begin(), heap.end(),
                                    [id](const TimerEntry& e) { return e.id == id; }));
            std::make_heap(heap.begin(), heap.end(), FiresAfter);
            return 0;
        }
    }
    SetEvent(m_state->wakeEvent);
    return id;
}

DWORD TimerQueue::AddTimer(void* target, DWORD delayMs, TimerFunction function) {
    if (function == nullptr) {
        return 0;
    }
    return AddTimer(delayMs, std::make_unique<FunctionTimerCallback>(target, function));
}

DWORD TimerQueue::AddTimer(void* target, DWORD delayMs, TimerFunctionWithArgument function,
                           std::uintptr_t argument) {
    if (function == nullptr) {
        return 0;
    }
    return AddTimer(delayMs, std::make_unique<ArgumentTimerCallback>(target, function, argument));
}

void TimerQueue::Cancel(DWORD id) {
    std::unique_ptr<TimerCallback> released;
    {
        std::lock_guard lock(m_state->mutex);
        auto& heap = m_state->heap;
        const auto found = std::find_if(heap.begin(), heap.end(),
                                        [id](const TimerEntry& e) { return e.id == id; });
        if (found != heap.end()) {
            released = std::move(found->callback);
            heap.erase(found);
            std::make_heap(heap.begin(), heap.end(), FiresAfter);
        }
    }
    // The waiter looks at the heap and the clock again (also for an unknown id); with nothing
    // left it ends.
    SetEvent(m_state->wakeEvent);
}

bool TimerQueue::Reschedule(DWORD id, DWORD delayMs) {
    bool isFound = false;
    {
        std::lock_guard lock(m_state->mutex);
        auto& heap = m_state->heap;
        const auto found = std::find_if(heap.begin(), heap.end(),
                                        [id](const TimerEntry& e) { return e.id == id; });
        if (found != heap.end()) {
            found->dueTick = GetTickCount() + ClampDelay(delayMs);
            found->sequence = ++m_state->lastSequence;
            std::make_heap(heap.begin(), heap.end(), FiresAfter);
            isFound = true;
        }
    }
    SetEvent(m_state->wakeEvent);
    return isFound;
}

void TimerQueue::Clear() {
    std::deque<TimerEntry> dropped;
    {
        std::lock_guard lock(m_state->mutex);
        dropped.swap(m_state->heap);
    }
    // The waiter finds the heap empty and ends; the callbacks are released outside the mutex.
    SetEvent(m_state->wakeEvent);
}
