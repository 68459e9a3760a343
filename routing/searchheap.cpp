#include "routing/searchheap.h"

#include <algorithm>
#include <new>

SearchLabel* SearchLabelPool::Allocate() {
    if (m_free.empty()) {
        const auto base = static_cast<std::uint32_t>(m_chunks.size() * kChunk);
        auto* chunk = new (std::nothrow) Block[kChunk];
        if (chunk == nullptr) {
            return nullptr;
        }
        m_chunks.emplace_back(chunk);
        for (std::uint32_t i = kChunk; i-- > 0;) {
            chunk[i].handle = base + i + 1;
            m_free.push_back(base + i + 1);
        }
    }
    const std::uint32_t handle = m_free.back();
    m_free.pop_back();
    Block& block = m_chunks[(handle - 1) / kChunk][(handle - 1) % kChunk];
    block.label = SearchLabel{};
    block.references = 1;
    ++m_live;
    return &block.label;
}

void SearchLabelPool::Release(SearchLabel* label) {
    if (label == nullptr) {
        return;
    }
    auto* block = reinterpret_cast<Block*>(label);
    if (block->references == 0 || --block->references != 0) {
        return;
    }
    m_free.push_back(block->handle);
    --m_live;
}

std::uint32_t SearchLabelPool::HandleOf(const SearchLabel* label) const {
    return label != nullptr ? reinterpret_cast<const Block*>(label)->handle : 0u;
}

SearchLabel* SearchLabelPool::FromHandle(std::uint32_t handle) const {
    if (handle == 0 || (handle - 1) / kChunk >= m_chunks.size()) {
        return nullptr;
    }
    Block& block = m_chunks[(handle - 1) / kChunk][(handle - 1) % kChunk];
    return block.references != 0 ? &block.label : nullptr;
}

PoppedLabel& PoppedLabel::operator=(PoppedLabel&& other) noexcept {
    if (this != &other) {
        Reset();
        m_pool = other.m_pool;
        m_label = other.m_label;
        other.m_label = nullptr;
    }
    return *this;
}

void PoppedLabel::Reset() {
    if (m_label != nullptr && m_pool != nullptr) {
        m_pool->Release(m_label);
    }
    m_label = nullptr;
}

SearchNodeHeap::SearchNodeHeap(SearchLabelPool& pool)
    : m_pool(&pool) {
    (void)Allocate(kInitialLabels);
}

SearchNodeHeap::~SearchNodeHeap() {
    Clear();
    delete[] m_slots;
    delete[] m_costs;
}

bool SearchNodeHeap::Allocate(std::uint32_t capacity) {
    auto* slots = new (std::nothrow) SearchLabel*[std::size_t{capacity} + 1]();
    auto* costs = new (std::nothrow) float[std::size_t{capacity} + 1]();
    if (slots == nullptr || costs == nullptr) {
        delete[] slots;
        delete[] costs;
        return false;
    }
    if (m_slots != nullptr) {
        std::copy(m_slots, m_slots + m_count + 1, slots);
        std::copy(m_costs, m_costs + m_count + 1, costs);
    }
    delete[] m_slots;
    delete[] m_costs;
    m_slots = slots;
    m_costs = costs;
    m_capacity = capacity;
    return true;
}

void SearchNodeHeap::SiftUp(SearchLabel* label, std::uint32_t slot) {
    const float cost = label->cost;
    while (slot > 1 && cost < m_costs[slot / 2]) {
        Place(m_slots[slot / 2], m_costs[slot / 2], slot);
        slot /= 2;
    }
    Place(label, cost, slot);
}

bool SearchNodeHeap::Push(SearchLabel* label) {
    if (label == nullptr) {
        return false;
    }
    if (m_count == m_capacity) {
        const std::uint32_t capacity = std::max<std::uint32_t>(m_capacity * 2, kInitialLabels);
        if (capacity <= m_capacity || !Allocate(capacity)) {
            return false;
        }
        m_growths += capacity > kInitialLabels ? 1u : 0u;
    }
    ++m_count;
    m_peakCount = std::max(m_peakCount, m_count);
    SiftUp(label, m_count);
    return true;
}

void SearchNodeHeap::Clear() {
    for (std::uint32_t i = 1; i <= m_count; ++i) {
        m_pool->Release(m_slots[i]);
        m_slots[i] = nullptr;
    }
    m_count = 0;
}

void SearchNodeHeap::DecreaseKey(std::uint32_t index) {
    if (index < 1 || index > m_count) {
        return;
    }
    SearchLabel* label = m_slots[index];
    m_costs[index] = label->cost; // the slot's cost follows its label even where nothing moves
    if (index < 2 || !(label->cost < m_costs[index / 2])) {
        return;
    }
    SiftUp(label, index);
}

PoppedLabel SearchNodeHeap::PopMin() {
    if (m_count == 0) {
        return {};
    }
    SearchLabel* result = m_slots[1];
    SearchLabel* last = m_slots[m_count];
    const float lastCost = m_costs[m_count];
    std::uint32_t hole = 1;
    if (m_count > 2) {
        std::uint32_t child = 2;
        bool isFilled = false;
        do {
            // The right child only when strictly cheaper, taken by index: the two costs compare
            // at random, and a mispredicted jump costs more than the load.
            const float left = m_costs[child];
            const float right = m_costs[child + 1];
            const bool isRight = left > right;
            child += isRight ? 1u : 0u;
            const float pickedCost = isRight ? right : left;
            if (lastCost <= pickedCost) {
                Place(last, lastCost, hole);
                isFilled = true;
                break;
            }
            Place(m_slots[child], pickedCost, hole);
            hole = child;
            child = 2 * hole;
        } while (child < m_count);
        if (!isFilled && hole != m_count) {
            Place(last, lastCost, hole);
        }
    } else if (m_count == 2) {
        Place(last, lastCost, 1);
    }
    m_slots[m_count] = nullptr;
    --m_count;
    result->heapIndex = 0;
    return {m_pool, result};
}
