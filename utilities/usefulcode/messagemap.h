#pragma once
// Message maps: a window's handlers by message number. The object that wants a message
// registers a member function for its number; every handler registered for a message runs, in
// registration order, and the last one that writes the result decides it. A handler is owned by
// the map and by its owner's OwnerHandlerList: destroying either removes it. User-interface
// thread only; no locks.

#include "utilities/usefulcode/ownerhandlerlist.h"

#include "platform/window/windowtypes.h"

#include <map>
#include <new>

// The values of one dispatch. A handler that handles the message sets *handled and writes
// *result.
struct MessageArgs {
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT* result = nullptr;
    bool* handled = nullptr;
};

class MessageMap;

// One registration of one owner function for one message number.
class MessageHandler : public OwnedHandler {
public:
    // Erases this handler's entry from its map.
    void DetachFromMap();
    // Erases this handler from its owner's OwnerHandlerList.
    void DetachFromOwner();
    virtual void Invoke(MessageArgs* args) { (void)args; }
    [[nodiscard]] const OwnerHandlerList* GetOwner() const noexcept { return m_owner; }
    [[nodiscard]] UINT GetMessage() const noexcept { return m_message; }

    void DetachFromSource() override { DetachFromMap(); }
    void DetachFromTarget() override { DetachFromOwner(); }

protected:
    MessageHandler(MessageMap* map, OwnerHandlerList* owner, UINT message) noexcept
        : m_map(map)
        , m_owner(owner)
        , m_message(message) {}

private:
    friend class MessageMap;
    MessageMap* m_map;
    OwnerHandlerList* m_owner;
    UINT m_message;
};

// Calls Class::function(message, wParam, lParam, result, handled) on the owner object.
template <class Class> class MemberMessageHandler final : public MessageHandler {
public:
    using Function = void (Class::*)(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    MemberMessageHandler(MessageMap* map, OwnerHandlerList* owner, UINT message, Class* object,
                         Function function) noexcept
        : MessageHandler(map, owner, message)
        , m_object(object)
        , m_function(function) {}
    void Invoke(MessageArgs* args) override {
        (m_object->*m_function)(GetMessage(), args->wParam, args->lParam, args->result,
                                args->handled);
    }

private:
    Class* m_object;
    Function m_function;
};

class MessageMap {
public:
    MessageMap() = default;
    // Detaches every handler from its owner and deletes it. A dispatch in progress on this map
    // stops after the handler that is running.
    ~MessageMap();
    MessageMap(const MessageMap&) = delete;
    MessageMap& operator=(const MessageMap&) = delete;

    // Calls every handler registered for message, in registration order. A handler removed
    // during the dispatch is not called any more; one added during it is not called by it.
    void Dispatch(UINT message, MessageArgs* args);
    // Adds after the handlers of the same number; false when the map cannot grow.
    [[nodiscard]] bool Insert(MessageHandler* handler) noexcept;
    void Erase(MessageHandler* handler) noexcept;
    // Detaches the handler from its owner and deletes it.
    static void DestroyEntry(MessageHandler* handler);
    // Removes, detaches and deletes every handler of the owner.
    void RemoveOwner(const OwnerHandlerList* owner);
    [[nodiscard]] std::size_t GetSize() const noexcept { return m_entries.size(); }

private:
    struct DispatchFrame {
        bool isMapGone = false;
        DispatchFrame* outer = nullptr;
    };
    [[nodiscard]] bool Contains(UINT message, const MessageHandler* handler) const;

    std::multimap<UINT, MessageHandler*> m_entries;
    DispatchFrame* m_frames = nullptr;
};

// Owning pointer to a heap MessageMap; holds an empty map from construction (null only when it
// could not be allocated).
class MessageMapPtr {
public:
    MessageMapPtr()
        : m_map(new (std::nothrow) MessageMap) {}
    ~MessageMapPtr() { Reset(); }
    MessageMapPtr(const MessageMapPtr&) = delete;
    MessageMapPtr& operator=(const MessageMapPtr&) = delete;
    // Destroys the map now (its handlers leave their owners); afterwards Get is null.
    void Reset() {
        delete m_map;
        m_map = nullptr;
    }
    [[nodiscard]] MessageMap* Get() const noexcept { return m_map; }

private:
    MessageMap* m_map;
};

// Registers owner->function for message in the map. Allocation failure registers nothing.
template <class Owner, class Class>
requires std::is_base_of_v<Class, Owner>
void ConnectMessageHandler(MessageMapPtr& map, UINT message, Owner* owner,
                           void (Class::*function)(UINT, WPARAM, LPARAM, LRESULT*, bool*)) {
    if (map.Get() == nullptr || owner == nullptr || function == nullptr)
        return;
    OwnerHandlerList* list = &owner->GetOwnerHandlerList();
    auto* handler = new (std::nothrow)
        MemberMessageHandler<Class>(map.Get(), list, message, static_cast<Class*>(owner), function);
    if (handler == nullptr)
        return;
    if (!map.Get()->Insert(handler)) {
        delete handler;
        return;
    }
    if (!list->Append(handler)) {
        map.Get()->Erase(handler);
        delete handler;
    }
}

// Removes every handler of the owner from the map.
template <class Owner> void DisconnectMessageHandlers(MessageMapPtr& map, Owner* owner) {
    if (map.Get() != nullptr && owner != nullptr) {
        map.Get()->RemoveOwner(&owner->GetOwnerHandlerList());
    }
}
