#pragma once
// Signals: an EventSource is embedded in the notifying object, one per kind of notification;
// targets connect member functions to it and are called, on the firing thread, with the event's
// values. A connection ends when its target disconnects, the source is destroyed, or the
// target's OwnerHandlerList is destroyed.
//
// Locks: Connect and Emit take the outer lock and then the inner one; Disconnect takes only the
// inner one. A firing holds the outer lock throughout, so firings and connections of one source
// never interleave; handlers run with it held and must not wait for a thread that is about to
// connect to, disconnect from or destroy a target of the same source. A handler may connect,
// disconnect and fire its own source again.
//
// Targets expose their handler list as `OwnerHandlerList& GetOwnerHandlerList()`.

#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/eventsourcebody.h"
#include "utilities/usefulcode/membereventhandler.h"

#include <concepts>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

template <class Target>
concept EventTarget = requires(Target& target) {
    { target.GetOwnerHandlerList() } -> std::same_as<OwnerHandlerList&>;
};

namespace event_detail {

template <class... Args, class Target, class Class>
EventHandler* MakeHandler(EventSourceBody* body, Target* target,
                          void (Class::*function)(Args...)) noexcept {
    if (body == nullptr || target == nullptr || function == nullptr) {
        return nullptr;
    }
    // The function is called on the Class part of the target, wherever it lies inside it.
    return new (std::nothrow) MemberEventHandler<Class, Args...>(
        body, &target->GetOwnerHandlerList(), static_cast<Class*>(target), function);
}

} // namespace event_detail

// The untyped part of a locked signal: {body, outer lock, inner lock}.
class EventSourceBase {
public:
    EventSourceBase(const EventSourceBase&) = delete;
    EventSourceBase& operator=(const EventSourceBase&) = delete;

    // Makes the body when there is none; false when it cannot be allocated (the source is then
    // never connected or fired). The constructor calls it.
    [[nodiscard]] bool CreateBody() noexcept;
    // Deletes every connection and the body. Waits for a firing on another thread; must not be
    // called from inside one of the source's own handlers. The destructor calls it.
    void DestroyBody() noexcept;
    [[nodiscard]] bool HasBody() const noexcept { return m_body != nullptr; }

    // Removes every connection of the target to this source, whatever function it binds. During
    // a firing on this thread (from a handler) the target's later handlers are still called by
    // that firing and deleted when it ends. During a firing on another thread, waits until no
    // handler of the target is running there; none is called afterwards. No connection: nothing.
    template <EventTarget Target> void Disconnect(Target* target) noexcept {
        if (target != nullptr) {
            DisconnectTarget(&target->GetOwnerHandlerList());
        }
    }
    // The same without any lock, for sources used by one thread only.
    template <EventTarget Target> void DisconnectUnlocked(Target* target) noexcept {
        if (target != nullptr && m_body != nullptr) {
            m_body->DisconnectIf(OwnerKey(&target->GetOwnerHandlerList()));
        }
    }

    [[nodiscard]] bool IsFiring() const noexcept;
    [[nodiscard]] std::size_t GetHandlerCount() const noexcept;

protected:
    EventSourceBase() noexcept;
    ~EventSourceBase();

    // Links a new handler under both locks (outer, then inner). Takes ownership.
    void LinkLocked(EventHandler* handler, OwnerHandlerList* target) noexcept;
    void LinkUnlocked(EventHandler* handler, OwnerHandlerList* target) noexcept;
    void DisconnectTarget(OwnerHandlerList* target) noexcept;
    void FireLocked(const void* argument);
    [[nodiscard]] EventSourceBody* GetBody() const noexcept { return m_body; }

private:
    EventSourceBody* m_body = nullptr;
    mutable CritSect m_outer;
    mutable CritSect m_inner;
};

// A signal that may be fired, connected and disconnected from several threads. Args are the
// event's values (none, one word, or a few words or a small record), passed on by value.
template <class... Args> class EventSource final : public EventSourceBase {
public:
    EventSource() noexcept = default;

    // Connects a member function of the target (or of one of its base classes). Connecting the
    // same function twice makes two connections. When allocation fails nothing is connected.
    template <EventTarget Target, class Class>
    requires std::is_base_of_v<Class, Target>
    void Connect(Target* target, void (Class::*function)(Args...)) noexcept {
        if (target != nullptr) {
            LinkLocked(event_detail::MakeHandler<Args...>(GetBody(), target, function),
                       &target->GetOwnerHandlerList());
        }
    }
    // The same without any lock, for sources used by one thread only.
    template <EventTarget Target, class Class>
    requires std::is_base_of_v<Class, Target>
    void ConnectUnlocked(Target* target, void (Class::*function)(Args...)) noexcept {
        if (target != nullptr) {
            LinkUnlocked(event_detail::MakeHandler<Args...>(GetBody(), target, function),
                         &target->GetOwnerHandlerList());
        }
    }

    // Calls every connection with the values, on this thread, under the outer lock.
    void Emit(Args... values) {
        const std::tuple<Args...> arguments{std::move(values)...};
        FireLocked(&arguments);
    }
};

// A signal used by one thread only: the body alone, without locks.
template <class... Args> class SingleThreadedEventSource {
public:
    SingleThreadedEventSource() noexcept
        : m_body(new (std::nothrow) EventSourceBody(nullptr)) {}
    // Deletes every connection. Must not be called from inside one of its own handlers.
    ~SingleThreadedEventSource() { delete m_body; }
    SingleThreadedEventSource(const SingleThreadedEventSource&) = delete;
    SingleThreadedEventSource& operator=(const SingleThreadedEventSource&) = delete;

    [[nodiscard]] bool HasBody() const noexcept { return m_body != nullptr; }

    template <EventTarget Target, class Class>
    requires std::is_base_of_v<Class, Target>
    void ConnectUnlocked(Target* target, void (Class::*function)(Args...)) noexcept {
        if (target != nullptr && m_body != nullptr) {
            m_body->Link(event_detail::MakeHandler<Args...>(m_body, target, function),
                         &target->GetOwnerHandlerList());
        }
    }
    template <EventTarget Target> void DisconnectUnlocked(Target* target) noexcept {
        if (target != nullptr && m_body != nullptr) {
            m_body->DisconnectIf(OwnerKey(&target->GetOwnerHandlerList()));
        }
    }
    void Emit(Args... values) {
        if (m_body != nullptr) {
            const std::tuple<Args...> arguments{std::move(values)...};
            NullLock lock;
            m_body->Fire(&arguments, lock);
        }
    }

    [[nodiscard]] bool IsFiring() const noexcept { return m_body != nullptr && m_body->IsFiring(); }
    [[nodiscard]] std::size_t GetHandlerCount() const noexcept {
        return m_body != nullptr ? m_body->GetHandlerCount() : 0;
    }

private:
    EventSourceBody* m_body;
};
