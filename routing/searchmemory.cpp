#include "routing/searchmemory.h"

#include "platform/files/memory.h"
#include "platform/kernel/messagebox.h"

#include <algorithm>
#include <cstring>
#include <new>

SearchMemoryReserve::SearchMemoryReserve(std::uint32_t bytes, std::uint32_t retainedBlocks)
    : m_retainLimit(retainedBlocks) {
    m_base = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS));
    if (m_base == nullptr) {
        MessageBoxW(nullptr, u"ERROR: No memory reserved", u"Routing", MB_ICONHAND | MB_TOPMOST);
    } else {
        m_size = bytes;
    }
    m_nextFree = m_base;
}

SearchMemoryReserve::~SearchMemoryReserve() {
    if (m_base != nullptr) {
        (void)VirtualFree(m_base, 0, MEM_RELEASE);
    }
}

SearchMemoryReserve& SearchMemoryReserve::Shared() {
    // Never destroyed: a router in static storage gives its pages back during exit, possibly
    // after this function's statics are gone. The system takes the address space at exit.
    static SearchMemoryReserve* const reserve = new SearchMemoryReserve;
    return *reserve;
}

void* SearchMemoryReserve::CommitPage(std::uint32_t size) {
    const std::lock_guard lock(m_mutex);
    ++m_busy;
    m_pageSize = size;
    void* page = nullptr;
    if (!m_freePages.empty()) {
        std::uint8_t* at = *m_freePages.begin();
        m_freePages.erase(m_freePages.begin());
        const auto retained = m_retained.find(at);
        const std::uint32_t kept = retained != m_retained.end() ? retained->second : 0;
        if (retained != m_retained.end()) {
            m_retained.erase(retained);
        }
        page = kept >= size ? at : VirtualAlloc(at, size, MEM_COMMIT, PAGE_READWRITE);
        if (page != nullptr && kept > 0) {
            std::memset(at, 0, std::min(kept, size)); // what it held before it was given back
        }
    } else if (m_base != nullptr) {
        std::uint8_t* at = m_nextFree;
        const auto used = static_cast<std::uint64_t>(at - m_base);
        if (used + size <= m_size) {
            m_nextFree += size;
            page = VirtualAlloc(at, size, MEM_COMMIT, PAGE_READWRITE);
        }
    }
    if (page == nullptr) {
        MessageBoxW(nullptr, u"ERROR: No memory", u"Routing", MB_ICONHAND | MB_TOPMOST);
    } else {
        ++m_committed;
        m_peakCommitted = std::max(m_peakCommitted, m_committed);
    }
    --m_busy;
    return page;
}

void SearchMemoryReserve::DecommitPage(void* address) {
    const std::lock_guard lock(m_mutex);
    ++m_busy;
    if (address != nullptr && m_pageSize != -1) {
        auto* at = static_cast<std::uint8_t*>(address);
        m_freePages.insert(at);
        if (m_retained.size() < m_retainLimit) {
            m_retained[at] = static_cast<std::uint32_t>(m_pageSize);
        } else {
            (void)VirtualFree(address, static_cast<SIZE_T>(m_pageSize), MEM_DECOMMIT);
        }
        m_committed -= m_committed > 0 ? 1 : 0;
    }
    --m_busy;
}

std::uint32_t SearchMemoryReserve::GetCommittedPages() {
    const std::lock_guard lock(m_mutex);
    return m_committed;
}

std::uint32_t SearchMemoryReserve::GetRetainedBlocks() {
    const std::lock_guard lock(m_mutex);
    return static_cast<std::uint32_t>(m_retained.size());
}

std::uint32_t SearchMemoryReserve::GetPeakCommittedPages() {
    const std::lock_guard lock(m_mutex);
    return m_peakCommitted;
}

void SearchMemoryReserve::ResetPeak() {
    const std::lock_guard lock(m_mutex);
    m_peakCommitted = m_committed;
}

void NodeTable::FreeArrays() {
    if (m_pages != nullptr) {
        for (std::uint32_t i = 0; i < m_pageCount; ++i) {
            m_reserve->DecommitPage(m_pages[i]);
        }
    }
    delete[] m_pages;
    if (m_spare != m_pages) {
        delete[] m_spare;
    }
    m_pages = nullptr;
    m_spare = nullptr;
    m_spareLength = 0;
}

void NodeTable::Init(std::uint32_t budget, std::uint32_t nodeCount) {
    // The page array goes back to the spare so that a table of the same size can reuse it.
    NodeRecord** previous = m_pages;
    const std::uint32_t previousLength = m_pageCount;
    if (previous != nullptr) {
        for (std::uint32_t i = 0; i < previousLength; ++i) {
            m_reserve->DecommitPage(previous[i]);
        }
        delete[] m_spare;
        m_spare = previous;
        m_spareLength = previousLength;
        m_pages = nullptr;
    }
    m_pagesInUse = 0;
    m_nodeCount = nodeCount;
    const auto pages = static_cast<std::uint16_t>(std::min<std::uint32_t>(budget, 0xFFFF) >> 2);
    m_pageBudget = pages == 0 ? std::uint16_t{1} : pages;
    m_pageCount = 0;
    if (nodeCount == 0) {
        return;
    }
    const std::uint32_t count = (nodeCount >> 9) + 1;
    if (m_spare != nullptr && m_spareLength == count) {
        m_pages = m_spare;
        m_spare = nullptr;
        m_spareLength = 0;
    } else {
        delete[] m_spare;
        m_spare = nullptr;
        m_spareLength = 0;
        m_pages = new (std::nothrow) NodeRecord*[count];
        if (m_pages == nullptr) {
            return; // no array: every record is exhausted
        }
    }
    std::fill(m_pages, m_pages + count, nullptr);
    m_pageCount = count;
}

NodeRecord* NodeTable::CommitRecord(std::uint32_t nodeId) {
    auto* exhausted = const_cast<NodeRecord*>(ExhaustedRecord());
    const std::uint32_t page = (nodeId >> 9) & 0xFFFFu;
    if (page >= m_pageCount || (nodeId >> 9) > 0xFFFFu) {
        return exhausted;
    }
    if (m_pages[page] == nullptr) {
        if (m_pagesInUse < 0xFFFF) {
            ++m_pagesInUse;
        }
        if (m_pagesInUse > m_pageBudget) {
            return exhausted;
        }
        void* memory = m_reserve->CommitPage(kPageBytes);
        if (memory == nullptr) {
            return exhausted;
        }
        auto* records = static_cast<NodeRecord*>(memory);
        std::fill(records, records + kNodesPerPage, NodeRecord{});
        m_pages[page] = records;
    }
    return &m_pages[page][nodeId & 0x1FFu];
}

void NodeTable::Release() {
    FreeArrays();
    m_pageCount = 0;
    m_nodeCount = 0;
    m_pagesInUse = 0;
}

void NodeTable::MoveTo(NodeTable& target) {
    if (&target == this) {
        return;
    }
    target.Release();
    target.m_reserve = m_reserve;
    target.m_pages = m_pages;
    target.m_spare = m_spare;
    target.m_spareLength = m_spareLength;
    target.m_pageCount = m_pageCount;
    target.m_nodeCount = m_nodeCount;
    target.m_pageBudget = m_pageBudget;
    target.m_pagesInUse = m_pagesInUse;
    m_pages = nullptr;
    m_spare = nullptr;
    m_spareLength = 0;
    m_pageCount = 0;
    m_nodeCount = 0;
    m_pageBudget = 0;
    m_pagesInUse = 0;
}
