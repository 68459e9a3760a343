#pragma once
// Search labels and the heap that orders them by cost. Labels live in 32-byte blocks of a pool
// (the label and its share word); a NodeRecord names an open label by its handle. The heap is a
// 1-based binary min-heap whose labels always know their slot. One router uses them at a time.

#include "routing/crossingrecord.h"

#include <cstdint>
#include <memory>
#include <vector>

struct SearchLabel {
    CrossingAddress crossing;
    std::uint32_t nodeId = 0;
    float cost = 0.0f;
    std::uint32_t heapIndex = 0;
};
static_assert(sizeof(SearchLabel) == 24);

// 32-byte blocks holding a label, its reference count and its handle (index + 1).
class SearchLabelPool {
public:
    SearchLabelPool() = default;
    SearchLabelPool(const SearchLabelPool&) = delete;
    SearchLabelPool& operator=(const SearchLabelPool&) = delete;

    // A fresh label with count 1; null when no memory is left.
    [[nodiscard]] SearchLabel* Allocate();
    // Drops one reference; the block is free again at 0.
    void Release(SearchLabel* label);
    [[nodiscard]] std::uint32_t HandleOf(const SearchLabel* label) const;
    // Null for 0 or a handle that names no live label.
    [[nodiscard]] SearchLabel* FromHandle(std::uint32_t handle) const;
    [[nodiscard]] std::uint32_t GetLiveCount() const { return m_live; }

private:
    struct Block {
        SearchLabel label;
        std::uint32_t references = 0;
        std::uint32_t handle = 0;
    };
    static_assert(sizeof(Block) == 32);
    static constexpr std::uint32_t kChunk = 1024;

    std::vector<std::unique_ptr<Block[]>> m_chunks;
    std::vector<std::uint32_t> m_free; // handles
    std::uint32_t m_live = 0;
};

// A popped label: the only reference, given back to the pool when the handle goes.
class PoppedLabel {
public:
    PoppedLabel() = default;
    PoppedLabel(SearchLabelPool* pool, SearchLabel* label)
        : m_pool(pool)
        , m_label(label) {}
    PoppedLabel(PoppedLabel&& other) noexcept
        : m_pool(other.m_pool)
        , m_label(other.m_label) {
        other.m_label = nullptr;
    }
    PoppedLabel& operator=(PoppedLabel&& other) noexcept;
    PoppedLabel(const PoppedLabel&) = delete;
    PoppedLabel& operator=(const PoppedLabel&) = delete;
    ~PoppedLabel() { Reset(); }

    void Reset();
    [[nodiscard]] SearchLabel* Get() const { return m_label; }
    SearchLabel* operator->() const { return m_label; }
    explicit operator bool() const { return m_label != nullptr; }

private:
    SearchLabelPool* m_pool = nullptr;
    SearchLabel* m_label = nullptr;
};

class SearchNodeHeap {
public:
    static constexpr std::uint32_t kInitialLabels = 4000;

    explicit SearchNodeHeap(SearchLabelPool& pool);
    virtual ~SearchNodeHeap();
    SearchNodeHeap(const SearchNodeHeap&) = delete;
    SearchNodeHeap& operator=(const SearchNodeHeap&) = delete;

    [[nodiscard]] virtual bool IsEmpty() const { return m_count == 0; }
    // Sifts up past parents of strictly higher cost, so an equal cost stays below. Grows the
    // slots beyond 4000 labels; false (the label not taken) when they cannot grow.
    [[nodiscard]] virtual bool Push(SearchLabel* label);
    // Gives every label back to the pool.
    virtual void Clear();
    // After the label at the slot got a lower cost; nothing for slots below 2.
    virtual void DecreaseKey(std::uint32_t index);
    // The label of lowest cost; only when not empty.
    [[nodiscard]] virtual PoppedLabel PopMin();

    [[nodiscard]] std::uint32_t GetCount() const { return m_count; }
    [[nodiscard]] std::uint32_t GetCapacity() const { return m_capacity; }
    // The most labels held at once since the last ResetPeak, and how often the slots grew.
    [[nodiscard]] std::uint32_t GetPeakCount() const { return m_peakCount; }
    [[nodiscard]] std::uint32_t GetGrowths() const { return m_growths; }
    void ResetPeak() { m_peakCount = m_count; }
    [[nodiscard]] SearchLabel* At(std::uint32_t slot) const {
        return slot >= 1 && slot <= m_count ? m_slots[slot] : nullptr;
    }

private:
    void Place(SearchLabel* label, float cost, std::uint32_t slot) {
        m_slots[slot] = label;
        m_costs[slot] = cost;
        label->heapIndex = slot;
    }
    void SiftUp(SearchLabel* label, std::uint32_t slot);
    // Slots and costs of the given capacity; false when either cannot be allocated.
    bool Allocate(std::uint32_t capacity);

    SearchLabelPool* m_pool;
    SearchLabel** m_slots = nullptr; // slot 0 unused
    // Beside each slot its label's cost, so that the sifts compare without reaching into the
    // labels; Push and DecreaseKey take it from the label.
    float* m_costs = nullptr;
    std::uint32_t m_capacity = 0; // labels the slots hold
    std::uint32_t m_count = 0;
    std::uint32_t m_peakCount = 0;
    std::uint32_t m_growths = 0;
};
