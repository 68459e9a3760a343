#pragma once
// CountedPtr: a two-word shared pointer {count cell, object} for the few process-wide
// singletons. Its count cells come from a per-type CountPool that grows in chunks and returns
// every chunk when its last cell is freed. The count changes with interlocked operations, so
// copies of one pointer may be made and released on any thread. The pool has no lock: cells are
// taken and returned on the thread that owns the pool, which therefore makes the object and
// drops its last reference.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

// One count cell. While handed out it holds a count; while free it holds the address of the
// next free cell (0 in the last), so it is pointer-sized.
using CountCell = std::uintptr_t;
static_assert(std::atomic_ref<CountCell>::required_alignment <= alignof(CountCell),
              "count cells are changed in place with interlocked operations");

class CountPool {
public:
    static constexpr std::size_t kMaxChunks = 255;
    static constexpr std::size_t kChunkGrowth = 9; // a new chunk holds (cells in use + 9) cells

    // Constant-initialised, so a static pool is ready before any static initialiser runs. The
    // destructor does nothing: chunks still in use at exit are left to the process.
    constexpr CountPool() noexcept
        : m_freeHead(&m_firstCell)
        , m_stackTop(m_chunks) {}
    CountPool(const CountPool&) = delete;
    CountPool& operator=(const CountPool&) = delete;

    // Hands out the cell at the head of the free list (its content is then undefined). When that
    // cell was the last free one, a chunk of (cells in use before this call + 9) cells becomes the
    // free list. Null only when no cell is free and no chunk can be allocated (C allocator
    // failure, or all 255 chunk slots used).
    [[nodiscard]] CountCell* Alloc() noexcept;

    // Returns a cell to the front of the free list. When no cell remains in use, every chunk is
    // freed and the pool starts again from its built-in cell. Null is ignored.
    void Free(CountCell* cell) noexcept;

    [[nodiscard]] std::uint32_t GetInUse() const noexcept { return m_inUse; }
    [[nodiscard]] std::size_t GetChunkCount() const noexcept {
        return static_cast<std::size_t>(m_stackTop - m_chunks);
    }
    // The pool's own cell, the first one handed out.
    [[nodiscard]] const CountCell* GetFirstCell() const noexcept { return &m_firstCell; }

private:
    // n cells from the C allocator, linked in order and the last linked to 0, pushed on the chunk
    // stack. Returns the first cell, or null when the chunk cannot be had.
    CountCell* AddChunk(std::size_t cells) noexcept;

    CountCell m_firstCell = 0;
    CountCell* m_freeHead; // null after a failed chunk allocation
    std::uint32_t m_inUse = 0;
    CountCell* m_chunks[kMaxChunks] = {};
    CountCell** m_stackTop;
};

template <class T> class CountedPtr {
public:
    CountedPtr() noexcept = default;

    // Takes ownership of a new object with a count of 1. A null object gives an empty pointer.
    // When no count cell can be had the object is destroyed and the pointer is empty.
    explicit CountedPtr(T* object) noexcept {
        if (object == nullptr) {
            return;
        }
        m_count = s_pool.Alloc();
        if (m_count == nullptr) {
            DestroyObject(object);
            return;
        }
        *m_count = 1;
        m_object = object;
    }

    CountedPtr(const CountedPtr& other) noexcept
        : m_count(other.m_count)
        , m_object(other.m_object) {
        if (m_object != nullptr) {
            Increment(m_count);
        }
    }

    // Nothing changes when both refer to the same object. Otherwise the source is counted
    // before this pointer's former reference is released, so the source stays valid even when
    // the former object owned it.
    CountedPtr& operator=(const CountedPtr& other) noexcept {
        if (this == &other || other.m_object == m_object) {
            return *this;
        }
        CountCell* count = other.m_count;
        T* object = other.m_object;
        if (object != nullptr) {
            Increment(count);
        }
        Release();
        m_count = count;
        m_object = object;
        return *this;
    }

    ~CountedPtr() { Release(); }

    // Drops this pointer's reference and leaves it empty; the last reference destroys the
    // object and returns the cell to the pool.
    void Release() noexcept {
        T* object = m_object;
        CountCell* count = m_count;
        m_object = nullptr;
        m_count = nullptr;
        if (object != nullptr && Decrement(count) == 0) {
            DestroyObject(object);
            s_pool.Free(count);
        }
    }

    [[nodiscard]] T* Get() const noexcept { return m_object; }
    T* operator->() const noexcept { return m_object; }
    T& operator*() const noexcept { return *m_object; }
    explicit operator bool() const noexcept { return m_object != nullptr; }

    // References to the object, 0 when empty.
    [[nodiscard]] std::uintptr_t GetCount() const noexcept {
        return m_object != nullptr
                   ? std::atomic_ref<CountCell>(*m_count).load(std::memory_order_relaxed)
                   : 0;
    }

    [[nodiscard]] static CountPool& GetPool() noexcept { return s_pool; }

private:
    // A new reference needs no ordering: it is made from one that is already held.
    static void Increment(CountCell* count) noexcept {
        std::atomic_ref<CountCell>(*count).fetch_add(1, std::memory_order_relaxed);
    }
    // The references dropped on other threads happen before the object is destroyed.
    static CountCell Decrement(CountCell* count) noexcept {
        return std::atomic_ref<CountCell>(*count).fetch_sub(1, std::memory_order_acq_rel) - 1;
    }

    static void DestroyObject(T* object) noexcept {
        static_assert(!std::is_polymorphic_v<T> || std::has_virtual_destructor_v<T>,
                      "a polymorphic object type needs a virtual destructor");
        delete object;
    }

    CountCell* m_count = nullptr;
    T* m_object = nullptr;

    static inline constinit CountPool s_pool{};
};
