#pragma once
// The connections a target object (window, page, mode, control) owns: event handlers and
// message handlers alike. Destroying the list detaches every connection from its source and
// deletes it, so a destroyed target is never called again.

#include "utilities/usefulcode/critsect.h"

#include <cstddef>
#include <list>

class OwnerHandlerList;

// A connection owned by a target's OwnerHandlerList.
class OwnedHandler {
public:
    virtual ~OwnedHandler() = default;
    OwnedHandler(const OwnedHandler&) = delete;
    OwnedHandler& operator=(const OwnedHandler&) = delete;

    // Unlinks this handler from whatever calls it (a signal, a message map), at once. Called by
    // the target's list with GetSourceLock() held.
    virtual void DetachFromSource() = 0;
    // Unlinks this handler from its target's OwnerHandlerList.
    virtual void DetachFromTarget() = 0;

    // The lock that guards the calling side, or null when it has none (single-threaded signals,
    // message maps).
    [[nodiscard]] virtual CritSect* GetSourceLock() const noexcept { return nullptr; }
    // True while another thread is inside this handler's call. Asked with GetSourceLock() held.
    [[nodiscard]] virtual bool IsInvokedElsewhere() const noexcept { return false; }

protected:
    OwnedHandler() = default;
};

class OwnerHandlerList {
public:
    OwnerHandlerList() = default;
    // Detaches every handler from its source and deletes it, in connection order. When another
    // thread is running one of them, waits until that call has returned. The sources must
    // outlive this call.
    ~OwnerHandlerList();
    OwnerHandlerList(const OwnerHandlerList&) = delete;
    OwnerHandlerList& operator=(const OwnerHandlerList&) = delete;

    // Appends a handler; false when the list cannot grow (the handler is then not linked).
    [[nodiscard]] bool Append(OwnedHandler* handler) noexcept;
    // Erases the handler; nothing when it is not in the list.
    void Remove(const OwnedHandler* handler) noexcept;

    [[nodiscard]] std::size_t GetSize() const noexcept;

private:
    // Takes the first handler away from its source and deletes it. False when the list is
    // empty; true also when the handler was busy and nothing was done yet.
    bool TearDownFront() noexcept;

    // A leaf lock: nothing is called while it is held. Sources take it inside their own locks.
    mutable CritSect m_lock;
    std::list<OwnedHandler*> m_handlers;
};
