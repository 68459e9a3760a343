#pragma once
// Search memory: a reserve of address space from which 4096-byte pages are committed on demand,
// and per network level a paged table of 8-byte node records (512 per page) held to a page
// budget. The reserve is shared and locked; a node table belongs to one router at a time.

#include <bit>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>

// The node marks of one network node.
struct NodeRecord {
    static constexpr std::uint8_t kStartSettled = 1;
    static constexpr std::uint8_t kDestinationSettled = 2;
    static constexpr std::uint8_t kSeeded = 4;

    // Bits 0-2 the flags above, bits 3-7 the arrival index (31: none).
    std::uint8_t flags = 0xF8;
    std::uint8_t unused[3] = {0, 0, 0};
    // While the node is open the handle of its search label, once settled its cost.
    std::uint32_t value = 0;

    [[nodiscard]] std::uint32_t ArrivalIndex() const { return flags >> 3; }
    void SetArrivalIndex(std::uint32_t index) {
        flags = static_cast<std::uint8_t>((flags & 7u) | ((index & 31u) << 3));
    }
    [[nodiscard]] float Cost() const { return std::bit_cast<float>(value); }
    void SetCost(float cost) { value = std::bit_cast<std::uint32_t>(cost); }
};
static_assert(sizeof(NodeRecord) == 8);

namespace detail {
inline const NodeRecord kExhaustedRecord{};
} // namespace detail

// What GetRecord returns for a node beyond the table or past the page budget; never written.
[[nodiscard]] inline const NodeRecord* ExhaustedRecord() {
    return &detail::kExhaustedRecord;
}

[[nodiscard]] inline bool IsExhausted(const NodeRecord* record) {
    return record == ExhaustedRecord();
}

class SearchMemoryReserve {
public:
    static constexpr std::uint32_t kReserveBytes = 0x1400000;
    // Blocks given back that stay committed, zero-filled again when handed out: a calculation
    // commits and gives back its pages each time, and the system's commit and decommit of a
    // single page cost more than filling it.
    static constexpr std::uint32_t kRetainedBlocks = 512;

    // Reserves the address space; on failure shows "ERROR: No memory reserved" and every commit
    // fails.
    explicit SearchMemoryReserve(std::uint32_t bytes = kReserveBytes,
                                 std::uint32_t retainedBlocks = kRetainedBlocks);
    ~SearchMemoryReserve();
    SearchMemoryReserve(const SearchMemoryReserve&) = delete;
    SearchMemoryReserve& operator=(const SearchMemoryReserve&) = delete;

    // The process-wide reserve, made on first use and kept until the process ends, so that
    // routers may be destroyed at any point of the exit.
    [[nodiscard]] static SearchMemoryReserve& Shared();

    // A zero-filled read-write block: the lowest decommitted page, else fresh address space.
    // Null (with "ERROR: No memory") when it cannot be committed.
    [[nodiscard]] void* CommitPage(std::uint32_t size);
    // Gives a committed block back; ignored for null or before any commit. Up to the retained
    // count the block stays committed (its address is free all the same); beyond it the system
    // takes it back.
    void DecommitPage(void* address);

    [[nodiscard]] bool IsReserved() const { return m_base != nullptr; }
    // Blocks committed now, and the most committed at once since the last ResetPeak.
    [[nodiscard]] std::uint32_t GetCommittedPages();
    [[nodiscard]] std::uint32_t GetPeakCommittedPages();
    void ResetPeak();
    // Free blocks that are still committed.
    [[nodiscard]] std::uint32_t GetRetainedBlocks();

private:
    std::mutex m_mutex;
    std::set<std::uint8_t*> m_freePages;
    std::map<std::uint8_t*, std::uint32_t> m_retained; // free blocks still committed: bytes
    std::uint32_t m_retainLimit = 0;
    std::uint8_t* m_base = nullptr;
    std::uint8_t* m_nextFree = nullptr;
    std::uint32_t m_size = 0;
    std::int64_t m_pageSize = -1;
    std::uint32_t m_busy = 0;
    std::uint32_t m_committed = 0;
    std::uint32_t m_peakCommitted = 0;
};

class NodeTable {
public:
    static constexpr std::uint32_t kPageBytes = 4096;
    static constexpr std::uint32_t kNodesPerPage = 512;

    explicit NodeTable(SearchMemoryReserve& reserve = SearchMemoryReserve::Shared())
        : m_reserve(&reserve) {}
    ~NodeTable() { Release(); }
    NodeTable(const NodeTable&) = delete;
    NodeTable& operator=(const NodeTable&) = delete;

    // Gives back every page and sizes the table: budget pages = max(1, budget / 4) (a budget
    // above 0xFFFF counts as 0xFFFF), (nodeCount >> 9) + 1 pages.
    void Init(std::uint32_t budget, std::uint32_t nodeCount);
    // The node's record, committing its page on first use; ExhaustedRecord() beyond the table,
    // past the budget or when the page cannot be committed.
    [[nodiscard]] NodeRecord* GetRecord(std::uint32_t nodeId) {
        const std::uint32_t page = nodeId >> 9;
        if (page < m_pageCount && m_pages[page] != nullptr) {
            return &m_pages[page][nodeId & 0x1FFu];
        }
        return CommitRecord(nodeId);
    }
    // Gives back every page; the table is empty afterwards.
    void Release();
    // Hands everything to the target (released first); this table is empty afterwards.
    void MoveTo(NodeTable& target);

    [[nodiscard]] std::uint32_t GetPageCount() const { return m_pageCount; }
    [[nodiscard]] std::uint32_t GetNodeCount() const { return m_nodeCount; }
    [[nodiscard]] std::uint16_t GetPageBudget() const { return m_pageBudget; }
    [[nodiscard]] std::uint16_t GetPagesInUse() const { return m_pagesInUse; }

private:
    // GetRecord for a node whose page is not committed yet.
    [[nodiscard]] NodeRecord* CommitRecord(std::uint32_t nodeId);
    void FreeArrays();

    SearchMemoryReserve* m_reserve;
    NodeRecord** m_pages = nullptr;
    NodeRecord** m_spare = nullptr;
    std::uint32_t m_spareLength = 0;
    std::uint32_t m_pageCount = 0;
    std::uint32_t m_nodeCount = 0;
    std::uint16_t m_pageBudget = 0;
    std::uint16_t m_pagesInUse = 0;
};
