#pragma once
// One-shot timers without a window: each timer fires once, in due order, on the queue's waiter
// thread. Every call is safe from any thread, also from a callback of the same queue. Changes
// never wait for a callback, so a caller may hold a lock that the callbacks take; the price is
// that a callback popped just before Cancel may still run after Cancel returns, so a callback
// must check that its work is still wanted.

#include "platform/types.h"

#include <cstdint>
#include <memory>

// What a timer calls when it fires. Runs on the waiter thread, without any lock of the queue.
class TimerCallback {
public:
    virtual ~TimerCallback() = default;
    virtual void Invoke() = 0;
};

using TimerFunction = void (*)(void* target);
using TimerFunctionWithArgument = void (*)(void* target, std::uintptr_t argument);

namespace detail {
struct TimerQueueState;
}

class TimerQueue {
public:
    // Delays are capped at this many milliseconds (about 12.4 days). Due ticks are ordered by
    // their signed difference, which stays right across the wrap of the tick counter as long as
    // two entries are less than 2^31 ms apart: the cap leaves room for an entry that is overdue
    // by as much again (while a slow callback holds the waiter) beside one just added.
    static constexpr DWORD kMaxDelayMs = 0x3FFFFFFFu;

    TimerQueue();
    // Releases the pending timers without firing them. When a callback is running on another
    // thread, waits for it to return, so the caller must not hold a lock that the callbacks take.
    // Called from a callback of this queue it does not wait; the callback finishes on its own.
    ~TimerQueue();
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;

    // Adds a timer due delayMs milliseconds (GetTickCount) from now; delay 0 fires at once on the
    // waiter thread. Returns its id (the first id of a queue is 1), or 0 when the waiter thread
    // cannot be started (the timer is then dropped).
    [[nodiscard]] DWORD AddTimer(DWORD delayMs, std::unique_ptr<TimerCallback> callback);
    [[nodiscard]] DWORD AddTimer(void* target, DWORD delayMs, TimerFunction function);
    [[nodiscard]] DWORD AddTimer(void* target, DWORD delayMs, TimerFunctionWithArgument function,
                                 std::uintptr_t argument);
    template <class T>
    [[nodiscard]] DWORD AddTimer(T* target, DWORD delayMs, void (T::*member)(std::uintptr_t),
                                 std::uintptr_t argument);

    // Removes a pending timer; an unknown or already fired id changes nothing. Either way the
    // waiter looks at the clock again.
    void Cancel(DWORD id);

    // Moves a pending timer to delayMs from now; false when the id is not pending. Either way
    // the waiter looks at the clock again.
    [[nodiscard]] bool Reschedule(DWORD id, DWORD delayMs);

    // Drops every pending timer without firing it; the queue stays usable. Like Cancel, it does
    // not wait for a callback already popped.
    void Clear();

private:
    std::shared_ptr<detail::TimerQueueState> m_state;
};

namespace detail {
template <class T> class MemberTimerCallback final : public TimerCallback {
public:
    MemberTimerCallback(T* target, void (T::*member)(std::uintptr_t), std::uintptr_t argument)
        : m_target(target)
        , m_member(member)
        , m_argument(argument) {}
    void Invoke() override { (m_target->*m_member)(m_argument); }

private:
    T* m_target;
    void (T::*m_member)(std::uintptr_t);
    std::uintptr_t m_argument;
};
} // namespace detail

template <class T>
DWORD TimerQueue::AddTimer(T* target, DWORD delayMs, void (T::*member)(std::uintptr_t),
                           std::uintptr_t argument) {
    return AddTimer(delayMs,
                    std::make_unique<detail::MemberTimerCallback<T>>(target, member, argument));
}
