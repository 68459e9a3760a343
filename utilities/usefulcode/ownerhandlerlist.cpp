#include "utilities/usefulcode/ownerhandlerlist.h"

#include <algorithm>
#include <new>
#include <thread>

OwnerHandlerList::~OwnerHandlerList() {
    while (TearDownFront()) {
    }
}

bool OwnerHandlerList::TearDownFront() noexcept {
    OwnedHandler* handler = nullptr;
    CritSect* sourceLock = nullptr;
    {
        ScopedLock guard(&m_lock);
        if (m_handlers.empty()) {
            return false;
        }
        handler = m_handlers.front();
        sourceLock = handler->GetSourceLock();
    }
    // The source's lock comes first (sources take this list's lock inside theirs). Meanwhile
    // the source may have taken the handler away, so the list is looked at again under both.
    ScopedLock sourceGuard(sourceLock);
    bool isBusy = false;
    {
        ScopedLock guard(&m_lock);
        if (m_handlers.empty() || m_handlers.front() != handler ||
            handler->GetSourceLock() != sourceLock) {
            return true;
        }
        isBusy = handler->IsInvokedElsewhere();
        if (!isBusy) {
            m_handlers.pop_front();
        }
    }
    if (isBusy) {
        // Another thread is inside this handler: let it finish before the target goes away.
        sourceGuard.Unlock();
        std::this_thread::yield();
        return true;
    }
    handler->DetachFromSource();
    delete handler;
    return true;
}

bool OwnerHandlerList::Append(OwnedHandler* handler) noexcept {
    ScopedLock guard(&m_lock);
    try {
        m_handlers.push_back(handler);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void OwnerHandlerList::Remove(const OwnedHandler* handler) noexcept {
    ScopedLock guard(&m_lock);
    const auto found = std::find(m_handlers.begin(), m_handlers.end(), handler);
    if (found != m_handlers.end()) {
        m_handlers.erase(found);
    }
}

std::size_t OwnerHandlerList::GetSize() const noexcept {
    ScopedLock guard(&m_lock);
    return m_handlers.size();
}
