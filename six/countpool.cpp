#include "six/countedptr.h"

#include <cstdlib>
#include <limits>

CountCell* CountPool::Alloc() noexcept {
    if (m_freeHead == nullptr) {
        // An earlier chunk could not be had; try again now.
        m_freeHead = AddChunk(std::size_t{m_inUse} + kChunkGrowth);
        if (m_freeHead == nullptr) {
            return nullptr;
        }
    }
    CountCell* cell = m_freeHead;
    const std::uint32_t inUseBefore = m_inUse;
    ++m_inUse;
    if (*cell == 0) {
        // The free list runs out with this cell. A failed chunk leaves the head null; the next
        // Alloc tries again.
        m_freeHead = AddChunk(std::size_t{inUseBefore} + kChunkGrowth);
    } else {
        m_freeHead = reinterpret_cast<CountCell*>(*cell);
    }
    return cell;
}

void CountPool::Free(CountCell* cell) noexcept {
    if (cell == nullptr || m_inUse == 0) {
        return;
    }
    *cell = reinterpret_cast<CountCell>(m_freeHead);
    m_freeHead = cell;
    --m_inUse;
    if (m_inUse != 0) {
        return;
    }
    while (m_stackTop != m_chunks) {
        --m_stackTop;
        std::free(*m_stackTop);
        *m_stackTop = nullptr;
    }
    m_firstCell = 0;
    m_freeHead = &m_firstCell;
}

CountCell* CountPool::AddChunk(std::size_t cells) noexcept {
    if (m_stackTop == m_chunks + kMaxChunks || cells == 0 ||
        cells > std::numeric_limits<std::size_t>::max() / sizeof(CountCell)) {
        return nullptr;
    }
    auto* chunk = static_cast<CountCell*>(std::malloc(cells * sizeof(CountCell)));
    if (chunk == nullptr) {
        return nullptr;
    }
    for (std::size_t i = 0; i + 1 < cells; ++i) {
        chunk[i] = reinterpret_cast<CountCell>(&chunk[i + 1]);
    }
    chunk[cells - 1] = 0;
    *m_stackTop = chunk;
    ++m_stackTop;
    return chunk;
}
