#pragma once
// Pages of one file read on demand into a bounded least-recently-used cache. A page handed out
// stays intact while its holder keeps the returned pointer: such a page is never reused for
// another page number (the cache may then hold more memory than its limit until it is let go).
// Not locked: the owning store serialises calls.

#include "utilities/usefulcode/rawfile.h"

#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>

struct CachedPage {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::uint32_t size = 0; // valid bytes, the page size except for a short last page
};
using CachedPagePtr = std::shared_ptr<const CachedPage>;

class PageCache {
public:
    // Attaches the open file: its size is found by seeking to the end.
    PageCache(std::uint32_t pageSize, std::unique_ptr<RawFile> file);

    // The page, or null when it lies at or past the end of the file, cannot be allocated ("No
    // Memory" / "Error" when the cache holds no page to reuse) or cannot be read (three tries,
    // 1000 ms apart, then "ERROR: Reading data failed" / "Routing"). A failed page is not kept.
    [[nodiscard]] CachedPagePtr GetPage(std::uint32_t page);
    // Releases least-recently used pages down to max(1, limit).
    void SetPageLimit(std::uint16_t limit);

    [[nodiscard]] std::uint32_t GetFileSize() const { return m_fileSize; }
    [[nodiscard]] std::uint32_t GetHeldPages() const {
        return static_cast<std::uint32_t>(m_lru.size());
    }
    [[nodiscard]] std::uint16_t GetPageLimit() const { return m_limit; }
    [[nodiscard]] std::uint64_t GetHits() const { return m_hits; }
    [[nodiscard]] std::uint64_t GetMisses() const { return m_misses; }

private:
    struct Entry {
        std::uint32_t page;
        std::shared_ptr<CachedPage> data;
    };
    // Drops the least-recent page; its buffer for reuse unless a holder keeps it.
    [[nodiscard]] std::shared_ptr<CachedPage> TakeLeastRecent();
    [[nodiscard]] bool ReadPage(std::uint32_t page, CachedPage& into);
    void Trim(std::size_t keep);

    std::uint32_t m_pageSize;
    std::unique_ptr<RawFile> m_file;
    std::uint32_t m_fileSize = 0;
    std::uint16_t m_limit = 1;
    std::list<Entry> m_lru; // most recent first
    std::unordered_map<std::uint32_t, std::list<Entry>::iterator> m_index;
    std::uint64_t m_hits = 0;
    std::uint64_t m_misses = 0;
};
