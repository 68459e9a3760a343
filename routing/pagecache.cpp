#include "routing/pagecache.h"

#include "platform/kernel/messagebox.h"
#include "platform/kernel/time.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr int kReadTries = 3;
constexpr DWORD kRetryWaitMs = 1000;

std::shared_ptr<CachedPage> AllocatePage(std::uint32_t pageSize) {
    auto page = std::make_shared<CachedPage>();
    page->bytes.reset(new (std::nothrow) std::uint8_t[pageSize]);
    if (!page->bytes) {
        return nullptr;
    }
    return page;
}

} // namespace

PageCache::PageCache(std::uint32_t pageSize, std::unique_ptr<RawFile> file)
    : m_pageSize(pageSize)
    , m_file(std::move(file)) {
    if (m_file && m_file->IsOpen()) {
        const LONG end = m_file->Seek(0, kRawSeekEnd);
        m_fileSize = end > 0 ? static_cast<std::uint32_t>(end) : 0u;
    }
}

void PageCache::Trim(std::size_t keep) {
    while (m_lru.size() > keep) {
        m_index.erase(m_lru.back().page);
        m_lru.pop_back();
    }
}

void PageCache::SetPageLimit(std::uint16_t limit) {
    m_limit = limit;
    Trim(std::max<std::size_t>(1, limit));
}

std::shared_ptr<CachedPage> PageCache::TakeLeastRecent() {
    Entry last = std::move(m_lru.back());
    m_index.erase(last.page);
    m_lru.pop_back();
    // A page a holder still reads is left to the holder.
    return last.data.use_count() == 1 ? std::move(last.data) : nullptr;
}

CachedPagePtr PageCache::GetPage(std::uint32_t page) {
    // A search reads crossing after crossing of one page: the most recent page needs no lookup
    // and no move.
    if (!m_lru.empty() && m_lru.front().page == page) {
        ++m_hits;
        return m_lru.front().data;
    }
    if (const auto found = m_index.find(page); found != m_index.end()) {
        ++m_hits;
        m_lru.splice(m_lru.begin(), m_lru, found->second);
        return m_lru.front().data;
    }
    ++m_misses;
    if (std::uint64_t{page} * m_pageSize >= m_fileSize) {
        return nullptr;
    }
    std::shared_ptr<CachedPage> data;
    if (m_lru.size() >= std::max<std::size_t>(1, m_limit)) {
        data = TakeLeastRecent();
    }
    if (!data) {
        data = AllocatePage(m_pageSize);
    }
    if (!data && !m_lru.empty()) {
        data = TakeLeastRecent();
    }
    if (!data) {
        MessageBoxW(nullptr, u"No Memory", u"Error", MB_ICONHAND | MB_SETFOREGROUND);
        return nullptr;
    }
    if (!ReadPage(page, *data)) {
        return nullptr;
    }
    m_lru.push_front({page, data});
    m_index[page] = m_lru.begin();
    return data;
}

bool PageCache::ReadPage(std::uint32_t page, CachedPage& into) {
    const std::uint64_t start = std::uint64_t{page} * m_pageSize;
    // A last page cut short is read as far as it goes.
    const auto count =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(m_pageSize, m_fileSize - start));
    std::memset(into.bytes.get() + count, 0, m_pageSize - count);
    into.size = count;
    for (int attempt = 0; attempt < kReadTries; ++attempt) {
        if (m_file->Seek(static_cast<LONG>(start), kRawSeekBegin) == static_cast<LONG>(start) &&
            m_file->Read(into.bytes.get(), count)) {
            return true;
        }
        Sleep(kRetryWaitMs);
    }
    MessageBoxW(nullptr, u"ERROR: Reading data failed", u"Routing", MB_ICONHAND | MB_SETFOREGROUND);
    return false;
}
