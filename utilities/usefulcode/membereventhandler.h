#pragma once
// The connection that calls a member function of the target with the event's values. The
// function may belong to a base class of the target that does not lie at its start; the handler
// then calls it on that base inside the target.

#include "utilities/usefulcode/eventhandler.h"

#include <tuple>
#include <type_traits>

template <class Class, class... Args> class MemberEventHandler final : public EventHandler {
public:
    static_assert((!std::is_reference_v<Args> && ...), "events pass their values by value");
    using Function = void (Class::*)(Args...);
    using Arguments = std::tuple<Args...>; // what the signal's argument pointer points to

    MemberEventHandler(EventSourceBody* body, OwnerHandlerList* target, Class* object,
                       Function function) noexcept
        : EventHandler(body, target)
        , m_object(object)
        , m_function(function) {}

    // The call is the last thing done: the target may destroy itself, and with it this handler.
    void Invoke(const void* argument) override {
        Class* object = m_object;
        const Function function = m_function;
        std::apply([object, function](const Args&... values) { (object->*function)(values...); },
                   *static_cast<const Arguments*>(argument));
    }

private:
    Class* m_object;
    Function m_function;
};
