#pragma once
// Geometry elements and the fixed pool they live in: 100 slots, each holding one small object
// that points into cached blocks (never owning them). A GeometryRef counts its slot; the slot is
// free again when the last reference goes; nothing is destroyed. Slots are taken under a lock and
// counted atomically, so references may be made and dropped on any thread.

#include "utilities/mapgeometry/mapgeometry.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

// The uniform view of one element's geometry. Objects are built in pool slots and never
// destroyed, so they hold nothing that needs it.
class GeometryElement {
public:
    // Raw attribute word (record offset 16).
    [[nodiscard]] virtual std::uint32_t GetAttributeWord() const = 0;
    // The element's type code (record offset 24).
    [[nodiscard]] virtual std::uint16_t GetTypeCode() const = 0;
    [[nodiscard]] virtual MapRect GetBounds() const = 0;
    // The record's fields from offset 16 on (16 bytes).
    [[nodiscard]] virtual const std::uint8_t* GetRecord() const = 0;
    // Whether the geometry meets the rectangle (the rule depends on the class).
    [[nodiscard]] virtual bool Intersects(const MapRect& rect) const = 0;
    [[nodiscard]] virtual std::uint32_t GetPointCount() const = 0;
    // Point `index` in map units; false (point unchanged) at or above the point count.
    [[nodiscard]] virtual bool GetPoint(std::uint32_t index, MapPoint& point) const = 0;

protected:
    GeometryElement() = default;
    GeometryElement(const GeometryElement&) = default;
    GeometryElement& operator=(const GeometryElement&) = default;
    ~GeometryElement() = default;
};

class GeometryRef;

class GeometryPool {
public:
    static constexpr std::size_t kSlotCount = 100;
    // Room for a vtable and two pointers, the largest geometry class.
    static constexpr std::size_t kObjectBytes = 3 * sizeof(void*);

    struct Slot {
        std::atomic<std::uint32_t> useCount{0};
        GeometryElement* object = nullptr;
        alignas(std::max_align_t) std::array<std::byte, kObjectBytes> storage{};
    };

    // Builds a T in the next free slot (round-robin from the slot after the one taken last) and
    // returns its first reference; empty when all slots are in use.
    template <class T, class... Arguments> static GeometryRef Make(Arguments&&... arguments);

    // Slots with a use count above 0.
    [[nodiscard]] static std::size_t GetLiveCount();

private:
    // A free slot with its use count set to 1, or null when all are in use.
    static Slot* Take();
};

class GeometryRef {
public:
    GeometryRef() = default;
    GeometryRef(const GeometryRef& other) noexcept
        : m_slot(other.m_slot) {
        AddReference();
    }
    GeometryRef(GeometryRef&& other) noexcept
        : m_slot(std::exchange(other.m_slot, nullptr)) {}
    GeometryRef& operator=(const GeometryRef& other) noexcept {
        if (m_slot != other.m_slot) {
            GeometryRef copy(other);
            std::swap(m_slot, copy.m_slot);
        }
        return *this;
    }
    GeometryRef& operator=(GeometryRef&& other) noexcept {
        if (this != &other) {
            Release();
            m_slot = std::exchange(other.m_slot, nullptr);
        }
        return *this;
    }
    ~GeometryRef() { Release(); }

    // Drops this reference; the handle is empty afterwards.
    void Release() noexcept {
        if (m_slot != nullptr) {
            m_slot->useCount.fetch_sub(1, std::memory_order_acq_rel);
            m_slot = nullptr;
        }
    }

    [[nodiscard]] const GeometryElement* Get() const {
        return m_slot != nullptr ? m_slot->object : nullptr;
    }
    const GeometryElement* operator->() const { return Get(); }
    explicit operator bool() const { return m_slot != nullptr; }

private:
    friend class GeometryPool;
    explicit GeometryRef(GeometryPool::Slot* slot) noexcept
        : m_slot(slot) {}
    void AddReference() noexcept {
        if (m_slot != nullptr) {
            m_slot->useCount.fetch_add(1, std::memory_order_relaxed);
        }
    }

    GeometryPool::Slot* m_slot = nullptr;
};

template <class T, class... Arguments> GeometryRef GeometryPool::Make(Arguments&&... arguments) {
    static_assert(std::is_base_of_v<GeometryElement, T>);
    static_assert(sizeof(T) <= kObjectBytes, "a geometry element outgrows its slot");
    static_assert(alignof(T) <= alignof(std::max_align_t));
    static_assert(std::is_trivially_destructible_v<T>, "pool objects are never destroyed");
    Slot* slot = Take();
    if (slot == nullptr) {
        return GeometryRef();
    }
    // The slot is this caller's alone until the reference below is shared.
    slot->object = new (slot->storage.data()) T(std::forward<Arguments>(arguments)...);
    return GeometryRef(slot);
}
