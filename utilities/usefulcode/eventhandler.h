#pragma once
// A connection of one target function to one signal. It is linked into the signal's
// EventSourceBody and into the target's OwnerHandlerList, so destroying either side removes it.

#include "utilities/usefulcode/ownerhandlerlist.h"

class EventSourceBody;

class EventHandler : public OwnedHandler {
public:
    // Erases every node of the body's handler list that holds this handler, at once (a firing in
    // progress skips it from now on).
    void DetachFromSource() override;
    // Erases this handler from the target's OwnerHandlerList.
    void DetachFromTarget() override;
    // Calls the bound function with the event argument that `argument` points to.
    virtual void Invoke(const void* argument) = 0;
    // The target's identity: its OwnerHandlerList, which is the same whichever base-class
    // pointer a caller holds.
    [[nodiscard]] const void* GetTarget() const noexcept { return m_target; }

    [[nodiscard]] CritSect* GetSourceLock() const noexcept override;
    [[nodiscard]] bool IsInvokedElsewhere() const noexcept override;

protected:
    EventHandler(EventSourceBody* body, OwnerHandlerList* target) noexcept
        : m_body(body)
        , m_target(target) {}

private:
    EventSourceBody* m_body;
    OwnerHandlerList* m_target;
};

// The search key of EventSourceBody::DisconnectIf: names a target, never linked anywhere.
class OwnerKey final : public EventHandler {
public:
    explicit OwnerKey(OwnerHandlerList* target) noexcept
        : EventHandler(nullptr, target) {}
    void Invoke(const void* /*argument*/) override {}
};
