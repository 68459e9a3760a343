#pragma once
// Counted pointers: a one-word pointer to a shared {count, object} representation made by a
// factory. Copies of a six::MTModel pointer may be made and released on any thread (the object
// itself is not protected); six::STModel pointers belong to one thread.

#include "platform/kernel/sync.h"

#include <cstddef>
#include <new>
#include <type_traits>

namespace six {

// The shared representation of one counted object. The count is the first word, so that the
// address of the rep is the address the interlocked operations work on; it is a 32-bit LONG, the
// operand type of InterlockedIncrement and InterlockedDecrement.
template <class T, class Model> struct RefCntRep {
    LONG count;
    T* object; // may be null
};

// Counting for objects shared between threads: interlocked increment and decrement, so that
// exactly one release sees the count reach zero.
struct MTModel {
    static void Increment(LONG& count) noexcept { InterlockedIncrement(&count); }
    // True when this decrement released the last reference.
    [[nodiscard]] static bool Decrement(LONG& count) noexcept {
        return InterlockedDecrement(&count) == 0;
    }
};

// Counting for value-like results owned by one thread: plain increment and decrement.
struct STModel {
    static void Increment(LONG& count) noexcept { ++count; }
    // True when the count was 1 before this decrement.
    [[nodiscard]] static bool Decrement(LONG& count) noexcept { return count-- == 1; }
};

} // namespace six

// The default factory of a counted type: makes and frees its representation.
template <class T, class Model> struct TFactory {
    // A new rep {count 1, object}, or null when it cannot be allocated (the object is then not
    // wrapped and stays the caller's).
    [[nodiscard]] static six::RefCntRep<T, Model>* AllocRep(T* object) noexcept {
        return new (std::nothrow) six::RefCntRep<T, Model>{1, object};
    }

    // Destroys the rep's object (when there is one) and frees the rep.
    static void DeallocRep(six::RefCntRep<T, Model>* rep) noexcept {
        static_assert(!std::is_polymorphic_v<T> || std::has_virtual_destructor_v<T>,
                      "a polymorphic counted type needs a virtual destructor");
        if (rep == nullptr) {
            return;
        }
        delete rep->object;
        delete rep;
    }
};

namespace six {

// The static analyzer does not follow the count and reports frees of reps that other pointers
// still count; the sanitizer builds and the thread tests check these paths instead.
// NOLINTBEGIN(clang-analyzer-cplusplus.NewDelete,clang-analyzer-cplusplus.NewDeleteLeaks)

// One-word counted pointer. Factory provides AllocRep and DeallocRep as TFactory does.
template <class T, class Model = MTModel, class Factory = TFactory<T, Model>> class RefCntPtr {
public:
    using Rep = RefCntRep<T, Model>;

    RefCntPtr() noexcept = default;
    RefCntPtr(std::nullptr_t) noexcept {}

    // Takes over the initial count of a rep made by Factory::AllocRep (null stays null).
    explicit RefCntPtr(Rep* rep) noexcept
        : m_rep(rep) {}

    // Wraps a new object in a new rep. A null object gives a null pointer and allocates
    // nothing. When the rep cannot be allocated the pointer is null and the object is
    // destroyed, so that nothing leaks.
    explicit RefCntPtr(T* object) noexcept {
        if (object == nullptr) {
            return;
        }
        m_rep = Factory::AllocRep(object);
        if (m_rep == nullptr) {
            delete object;
        }
    }

    RefCntPtr(const RefCntPtr& other) noexcept
        : m_rep(other.m_rep) {
        if (m_rep != nullptr) {
            Model::Increment(m_rep->count);
        }
    }

    RefCntPtr(RefCntPtr&& other) noexcept
        : m_rep(other.m_rep) {
        other.m_rep = nullptr;
    }

    // The source's rep is counted before the former one is released, so assigning a pointer to
    // itself (or to another pointer on the same rep) leaves the count as it was.
    RefCntPtr& operator=(const RefCntPtr& other) noexcept {
        if (this == &other) {
            return *this;
        }
        Rep* incoming = other.m_rep;
        if (incoming != nullptr) {
            Model::Increment(incoming->count);
        }
        Rep* former = m_rep;
        m_rep = incoming;
        ReleaseRep(former);
        return *this;
    }

    RefCntPtr& operator=(RefCntPtr&& other) noexcept {
        if (this != &other) {
            Rep* former = m_rep;
            m_rep = other.m_rep;
            other.m_rep = nullptr;
            ReleaseRep(former);
        }
        return *this;
    }

    ~RefCntPtr() { Release(); }

    // Drops this pointer's reference; the last one destroys the object through the factory.
    void Release() noexcept {
        Rep* former = m_rep;
        m_rep = nullptr;
        ReleaseRep(former);
    }

    [[nodiscard]] T* Get() const noexcept { return m_rep != nullptr ? m_rep->object : nullptr; }
    T* operator->() const noexcept { return Get(); }
    T& operator*() const noexcept { return *Get(); }
    // Tests the pointer word (a rep whose object is null still counts as set).
    explicit operator bool() const noexcept { return m_rep != nullptr; }

    [[nodiscard]] Rep* GetRep() const noexcept { return m_rep; }

private:
    static void ReleaseRep(Rep* rep) noexcept {
        if (rep != nullptr && Model::Decrement(rep->count)) {
            Factory::DeallocRep(rep);
        }
    }

    Rep* m_rep = nullptr;
};

// NOLINTEND(clang-analyzer-cplusplus.NewDelete,clang-analyzer-cplusplus.NewDeleteLeaks)

} // namespace six
