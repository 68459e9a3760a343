#include "utilities/usefulcode/eventsourcebody.h"

#include "utilities/usefulcode/eventhandler.h"

#include "platform/kernel/sync.h"

#include <algorithm>
#include <new>

EventSourceBody::~EventSourceBody() {
    for (EventHandler* handler : m_handlers) {
        if (handler != nullptr) {
            Destroy(handler);
        }
    }
}

void EventSourceBody::Link(EventHandler* handler, OwnerHandlerList* target) noexcept {
    if (handler == nullptr) {
        return;
    }
    try {
        m_handlers.push_back(handler);
    } catch (const std::bad_alloc&) {
        delete handler;
        return;
    }
    if (!target->Append(handler)) {
        EraseHandler(handler);
        delete handler;
    }
}

void EventSourceBody::Destroy(EventHandler* handler) noexcept {
    handler->DetachFromTarget();
    delete handler;
}

void EventSourceBody::DisconnectIf(const EventHandler& key) noexcept {
    const bool isFiringHere = IsFiring() && !IsFiringElsewhere();
    for (auto position = m_handlers.begin(); position != m_handlers.end();) {
        EventHandler* handler = *position;
        if (handler == nullptr || handler->GetTarget() != key.GetTarget()) {
            ++position;
        } else if (!IsFiring()) {
            Destroy(handler);
            position = m_handlers.erase(position);
        } else if (isFiringHere) {
            Queue(position);
            ++position;
        } else {
            *position = nullptr;
            Destroy(handler);
            ++position;
        }
    }
}

void EventSourceBody::Queue(Position position) noexcept {
    if (std::find(m_removed.begin(), m_removed.end(), position) != m_removed.end()) {
        return;
    }
    try {
        m_removed.push_back(position);
    } catch (const std::bad_alloc&) {
        // Cannot defer: take it out of the firing now. Its own call, if it is running, touches
        // nothing of the handler after the target function returns.
        EventHandler* handler = *position;
        *position = nullptr;
        Destroy(handler);
    }
}

void EventSourceBody::EraseHandler(const EventHandler* handler) noexcept {
    for (auto position = m_handlers.begin(); position != m_handlers.end();) {
        if (*position != handler) {
            ++position;
        } else if (IsFiring()) {
            *position = nullptr; // a firing's walk or the removed list may point at this node
            ++position;
        } else {
            position = m_handlers.erase(position);
        }
    }
}

void EventSourceBody::Fire(const void* argument, ILock& lock) {
    lock.Lock();
    if (m_firingDepth++ == 0) {
        m_firingThread = GetCurrentThreadId();
    }
    FireFrame frame{nullptr, nullptr, m_frames};
    m_frames = &frame;
    // Nodes are erased only when no firing is active, so `position` stays valid across calls.
    for (auto position = m_handlers.begin();; ++position) {
        while (position != m_handlers.end() && *position == nullptr) {
            ++position;
        }
        if (position == m_handlers.end()) {
            break;
        }
        EventHandler* handler = *position;
        frame.invoking = handler;
        frame.invokingTarget = handler->GetTarget();
        lock.Unlock();
        handler->Invoke(argument);
        lock.Lock();
        frame.invoking = nullptr;
        frame.invokingTarget = nullptr;
    }
    m_frames = frame.outer;
    if (--m_firingDepth == 0) {
        m_firingThread = 0;
        DeleteRemoved();
    }
    lock.Unlock();
}

void EventSourceBody::DeleteRemoved() noexcept {
    for (const Position position : m_removed) {
        EventHandler* handler = *position;
        *position = nullptr;
        if (handler != nullptr) {
            Destroy(handler);
        }
    }
    m_removed.clear();
    m_handlers.remove(nullptr);
}

bool EventSourceBody::IsFiringElsewhere() const noexcept {
    return IsFiring() && m_firingThread != GetCurrentThreadId();
}

bool EventSourceBody::IsInvokedElsewhere(const EventHandler* handler) const noexcept {
    if (!IsFiringElsewhere()) {
        return false;
    }
    for (const FireFrame* frame = m_frames; frame != nullptr; frame = frame->outer) {
        if (frame->invoking == handler) {
            return true;
        }
    }
    return false;
}

bool EventSourceBody::IsTargetInvokedElsewhere(const void* target) const noexcept {
    if (!IsFiringElsewhere()) {
        return false;
    }
    for (const FireFrame* frame = m_frames; frame != nullptr; frame = frame->outer) {
        if (frame->invokingTarget == target) {
            return true;
        }
    }
    return false;
}

std::size_t EventSourceBody::GetHandlerCount() const noexcept {
    return static_cast<std::size_t>(
        std::count_if(m_handlers.begin(), m_handlers.end(), [this](const EventHandler* handler) {
            if (handler == nullptr) {
                return false;
            }
            return std::none_of(m_removed.begin(), m_removed.end(),
                                [handler](Position position) { return *position == handler; });
        }));
}
