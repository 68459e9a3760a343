#pragma once
// Interface pointers: a one-word pointer to a heap holder that exposes an interface and keeps
// the object behind it alive. Copying clones the holder, destroying deletes it. A pointer to a
// base interface is always made through a cast holder, never by copying the interface word.
// One six::IntfPtr belongs to one thread; its copies may live on other threads.

#include "six/refcntptr.h"

#include <concepts>
#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace six {

// The holder behind an IntfPtr, exclusively owned by it.
template <class T> class IntfHolder {
public:
    virtual ~IntfHolder() = default;
    IntfHolder(const IntfHolder&) = delete;
    IntfHolder& operator=(const IntfHolder&) = delete;

    // A new holder of the same kind on the same object, or null when allocation fails.
    [[nodiscard]] virtual IntfHolder* Clone() const = 0;

    [[nodiscard]] T* GetInterface() const noexcept { return m_interface; }

protected:
    explicit IntfHolder(T* interface) noexcept
        : m_interface(interface) {}

private:
    T* m_interface;
};

// Holder of an object that lives in a six::MTModel rep; it counts as one reference.
template <class T, class Factory = TFactory<T, MTModel>>
class RefCntIntfHolder final : public IntfHolder<T> {
public:
    using Source = RefCntPtr<T, MTModel, Factory>;

    explicit RefCntIntfHolder(const Source& source) noexcept
        : IntfHolder<T>(source.Get())
        , m_source(source) {}

    [[nodiscard]] IntfHolder<T>* Clone() const override {
        return new (std::nothrow) RefCntIntfHolder(m_source);
    }

private:
    Source m_source;
};

// Holder of a base interface T of the object behind Source (a six::RefCntPtr with
// six::MTModel, or a six::IntfPtr of a derived interface). It holds its own copy of the source,
// which keeps the object alive; its interface word is the source object converted to T, so it
// points into the object when T lies at a non-zero position inside it.
template <class T, class Source> class CastIntfHolder final : public IntfHolder<T> {
public:
    explicit CastIntfHolder(Source source) noexcept
        : IntfHolder<T>(static_cast<T*>(source.Get()))
        , m_source(std::move(source)) {}

    [[nodiscard]] IntfHolder<T>* Clone() const override {
        Source copy(m_source);
        if (copy.Get() == nullptr) {
            return nullptr; // the source could not be copied (its own holder clone failed)
        }
        return new (std::nothrow) CastIntfHolder(std::move(copy));
    }

private:
    Source m_source;
};

template <class T> class IntfPtr {
public:
    IntfPtr() noexcept = default;
    IntfPtr(std::nullptr_t) noexcept {}

    // Takes ownership of a holder (null gives an empty pointer).
    explicit IntfPtr(IntfHolder<T>* holder) noexcept
        : m_holder(holder) {}

    // A RefCntIntfHolder on the source's rep. Empty when the source is null or holds no
    // object, or when the holder cannot be allocated.
    template <class Factory>
    explicit IntfPtr(const RefCntPtr<T, MTModel, Factory>& source) noexcept {
        if (source.Get() != nullptr) {
            m_holder = new (std::nothrow) RefCntIntfHolder<T, Factory>(source);
        }
    }

    // A cast holder on an object of a type derived from T. Empty as above.
    template <class Derived, class Factory>
    requires(!std::same_as<Derived, T> && std::convertible_to<Derived*, T*>) explicit IntfPtr(
        const RefCntPtr<Derived, MTModel, Factory>& source) noexcept {
        if (source.Get() != nullptr) {
            using Source = RefCntPtr<Derived, MTModel, Factory>;
            m_holder = new (std::nothrow) CastIntfHolder<T, Source>(source);
        }
    }

    // A cast holder on a cloned holder of a derived interface. Empty when the source is empty or
    // a holder cannot be allocated.
    template <class Derived>
    requires(!std::same_as<Derived, T> && std::convertible_to<Derived*, T*>)
        IntfPtr(const IntfPtr<Derived>& source)
    noexcept { // NOLINT(google-explicit-constructor)
        IntfPtr<Derived> copy(source);
        if (copy.Get() != nullptr) {
            m_holder = new (std::nothrow) CastIntfHolder<T, IntfPtr<Derived>>(std::move(copy));
        }
    }

    // Clones the source's holder; the copy is empty when the clone fails.
    IntfPtr(const IntfPtr& other) noexcept
        : m_holder(other.m_holder != nullptr ? other.m_holder->Clone() : nullptr) {}

    IntfPtr(IntfPtr&& other) noexcept
        : m_holder(other.m_holder) {
        other.m_holder = nullptr;
    }

    IntfPtr& operator=(const IntfPtr& other) noexcept {
        if (this != &other) {
            IntfHolder<T>* copy = other.m_holder != nullptr ? other.m_holder->Clone() : nullptr;
            delete m_holder;
            m_holder = copy;
        }
        return *this;
    }

    IntfPtr& operator=(IntfPtr&& other) noexcept {
        if (this != &other) {
            delete m_holder;
            m_holder = other.m_holder;
            other.m_holder = nullptr;
        }
        return *this;
    }

    ~IntfPtr() { delete m_holder; }

    // Deletes the holder, which releases whatever keeps the object alive.
    void Release() noexcept {
        delete m_holder;
        m_holder = nullptr;
    }

    [[nodiscard]] T* Get() const noexcept {
        return m_holder != nullptr ? m_holder->GetInterface() : nullptr;
    }
    T* operator->() const noexcept { return Get(); }
    T& operator*() const noexcept { return *Get(); }
    explicit operator bool() const noexcept { return m_holder != nullptr; }

    [[nodiscard]] const IntfHolder<T>* GetHolder() const noexcept { return m_holder; }

private:
    IntfHolder<T>* m_holder = nullptr;
};

} // namespace six
