#pragma once
// The heap part of a signal: its connections in connection order, how deep it is firing, and
// the connections disconnected while firing, which are deleted when the outermost firing ends.
// The owning EventSource takes the locks; the body itself takes none except through the ILock
// handed to Fire.

#include "utilities/usefulcode/critsect.h"

#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <vector>

class EventHandler;
class OwnerHandlerList;

class EventSourceBody {
public:
    // lock: the lock that guards this body against other threads (the source's inner lock), or
    // null for a single-threaded source.
    explicit EventSourceBody(CritSect* lock) noexcept
        : m_lock(lock) {}
    // Detaches every handler from its target and deletes it. Not while firing.
    ~EventSourceBody();
    EventSourceBody(const EventSourceBody&) = delete;
    EventSourceBody& operator=(const EventSourceBody&) = delete;

    // The functions below expect the caller to hold GetLock() when there is one; Fire takes it
    // itself through `lock`.

    // Takes ownership of a new handler and appends it at the end of this list, then of the
    // target's list. When either cannot grow (or the handler is null) nothing is connected and
    // the handler is deleted.
    void Link(EventHandler* handler, OwnerHandlerList* target) noexcept;

    // Removes every connection of the key's target. Not firing: detached and deleted at once.
    // Firing on this thread: left in place (later ones are still called by this firing) and
    // queued once, to be deleted when the outermost firing ends. Firing on another thread:
    // taken out of the firing and deleted at once; the caller has made sure that none of them
    // is running (IsTargetInvokedElsewhere).
    void DisconnectIf(const EventHandler& key) noexcept;

    // Erases every node that holds the handler; while firing the node stays, empty, until the
    // outermost firing ends. The handler is not deleted.
    void EraseHandler(const EventHandler* handler) noexcept;

    // Calls every handler with the argument, in list order, taking the next node only after
    // the call returns (handlers appended meanwhile are called too). `lock` is held only between
    // calls, never during one. A handler may fire the same source again on this thread; the
    // queued deletions wait for the outermost firing to end.
    void Fire(const void* argument, ILock& lock);

    [[nodiscard]] bool IsFiring() const noexcept { return m_firingDepth != 0; }
    // Whether a thread other than the caller is inside a call of this handler, or of any
    // handler of this target.
    [[nodiscard]] bool IsInvokedElsewhere(const EventHandler* handler) const noexcept;
    [[nodiscard]] bool IsTargetInvokedElsewhere(const void* target) const noexcept;
    // Connections not disconnected yet.
    [[nodiscard]] std::size_t GetHandlerCount() const noexcept;
    [[nodiscard]] CritSect* GetLock() const noexcept { return m_lock; }

private:
    using Position = std::list<EventHandler*>::iterator;

    // One active firing: the handler it is calling now (never dereferenced by other threads).
    struct FireFrame {
        const EventHandler* invoking;
        const void* invokingTarget;
        FireFrame* outer;
    };

    void Queue(Position position) noexcept;
    static void Destroy(EventHandler* handler) noexcept;
    void DeleteRemoved() noexcept;
    [[nodiscard]] bool IsFiringElsewhere() const noexcept;

    std::list<EventHandler*> m_handlers; // an empty node is a handler taken out while firing
    std::uint32_t m_firingDepth = 0;
    std::vector<Position> m_removed; // in the order of disconnection
    DWORD m_firingThread = 0;
    FireFrame* m_frames = nullptr; // innermost firing first
    CritSect* m_lock;
};
