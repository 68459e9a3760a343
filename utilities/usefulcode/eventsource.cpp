#include "utilities/usefulcode/eventsource.h"

#include <thread>

EventSourceBase::EventSourceBase() noexcept {
    (void)CreateBody();
}

EventSourceBase::~EventSourceBase() {
    DestroyBody();
}

bool EventSourceBase::CreateBody() noexcept {
    if (m_body == nullptr) {
        m_body = new (std::nothrow) EventSourceBody(&m_inner);
    }
    return m_body != nullptr;
}

void EventSourceBase::DestroyBody() noexcept {
    ScopedLock outer(&m_outer);
    ScopedLock inner(&m_inner);
    delete m_body;
    m_body = nullptr;
}

void EventSourceBase::LinkLocked(EventHandler* handler, OwnerHandlerList* target) noexcept {
    ScopedLock outer(&m_outer);
    ScopedLock inner(&m_inner);
    LinkUnlocked(handler, target);
}

void EventSourceBase::LinkUnlocked(EventHandler* handler, OwnerHandlerList* target) noexcept {
    if (m_body != nullptr) {
        m_body->Link(handler, target);
    } else {
        delete handler;
    }
}

void EventSourceBase::DisconnectTarget(OwnerHandlerList* target) noexcept {
    if (m_body == nullptr) {
        return;
    }
    const OwnerKey key(target);
    for (;;) {
        ScopedLock inner(&m_inner);
        if (!m_body->IsTargetInvokedElsewhere(key.GetTarget())) {
            m_body->DisconnectIf(key);
            return;
        }
        // A handler of this target runs on the firing thread: the target must outlive it.
        inner.Unlock();
        std::this_thread::yield();
    }
}

void EventSourceBase::FireLocked(const void* argument) {
    if (m_body == nullptr) {
        return;
    }
    ScopedLock outer(&m_outer);
    LockHandle handle(&m_inner);
    m_body->Fire(argument, handle);
    handle.Unlock();
}

bool EventSourceBase::IsFiring() const noexcept {
    ScopedLock inner(&m_inner);
    return m_body != nullptr && m_body->IsFiring();
}

std::size_t EventSourceBase::GetHandlerCount() const noexcept {
    ScopedLock inner(&m_inner);
    return m_body != nullptr ? m_body->GetHandlerCount() : 0;
}
