#include "utilities/usefulcode/cache/cachelrulist.h"

#include "platform/kernel/debug.h"
#include "platform/kernel/time.h"

#include <functional>

std::size_t CacheLruList::KeyHash::operator()(const Key& key) const noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(key.file);
    return std::hash<std::uintptr_t>()(address ^ (std::uintptr_t{key.blockIndex} * 0x9E3779B1u));
}

CacheLruList::CacheLruList(DWORD capacityBytes)
    : m_capacityBytes(capacityBytes) {}

CacheLruList::~CacheLruList() {
    ScopedLock lock(&m_lock);
    m_index.clear();
    m_entries.clear();
    m_usedBytes = 0;
}

DWORD CacheLruList::GetCapacity() const {
    ScopedLock lock(&m_lock);
    return m_capacityBytes;
}

DWORD CacheLruList::GetUsedSize() const {
    ScopedLock lock(&m_lock);
    return m_usedBytes;
}

std::size_t CacheLruList::GetEntryCount() const {
    ScopedLock lock(&m_lock);
    return m_entries.size();
}

bool CacheLruList::SetCapacity(DWORD capacityBytes) {
    ScopedLock lock(&m_lock);
    m_capacityBytes = capacityBytes;
    return EvictLocked();
}

bool CacheLruList::Evict() {
    ScopedLock lock(&m_lock);
    return EvictLocked();
}

void CacheLruList::Flush() {
    ScopedLock lock(&m_lock);
    const DWORD capacity = m_capacityBytes;
    m_capacityBytes = 0;
    (void)EvictLocked();
    m_capacityBytes = capacity;
}

bool CacheLruList::IsHeldElsewhere(const Entry& entry) {
    // Only the list can hand out new references, and it does so under its lock, so a count of 1
    // seen under the lock cannot grow behind our back.
    return __atomic_load_n(&entry.block.GetRep()->count, __ATOMIC_ACQUIRE) > 1;
}

bool CacheLruList::EvictLocked() {
    // Entries skipped on the way are held, and stay held while we hold the lock, so the walk
    // goes on from the removed entry instead of starting again at the front.
    auto entry = m_entries.begin();
    while (m_usedBytes > m_capacityBytes) {
        while (entry != m_entries.end() && IsHeldElsewhere(*entry)) {
            ++entry;
        }
        if (entry == m_entries.end()) {
            return false;
        }
        const auto next = std::next(entry);
        m_usedBytes -= RemoveEntry(entry);
        entry = next;
    }
    return true;
}

DWORD CacheLruList::RemoveEntry(EntryList::iterator entry) {
    const DWORD size = entry->sizeBytes;
    EntryIndex::node_type indexNode = m_index.extract(entry->key);
    if (!indexNode.empty() && m_spareIndexNodeCount < kMaxSpareNodes) {
        m_spareIndexNodes[m_spareIndexNodeCount++] = std::move(indexNode);
    }
    // Moved out first, so that the block (and perhaps its file) is released after the list
    // is consistent again.
    CachedBlockPtr block = std::move(entry->block);
    if (m_spareEntries.size() < kMaxSpareNodes) {
        m_spareEntries.splice(m_spareEntries.end(), m_entries, entry);
    } else {
        m_entries.erase(entry);
    }
    block.Release();
    return size;
}

void CacheLruList::AddEntry(const Key& key, CachedBlockPtr block, DWORD sizeBytes) {
    if (m_spareEntries.empty()) {
        m_entries.push_back(Entry{key, std::move(block), sizeBytes});
    } else {
        m_entries.splice(m_entries.end(), m_spareEntries, m_spareEntries.begin());
        m_entries.back() = Entry{key, std::move(block), sizeBytes};
    }
    const auto listed = std::prev(m_entries.end());
    if (m_spareIndexNodeCount == 0) {
        m_index.emplace(key, listed);
        return;
    }
    EntryIndex::node_type& indexNode = m_spareIndexNodes[--m_spareIndexNodeCount];
    indexNode.key() = key;
    indexNode.mapped() = listed;
    m_index.insert(std::move(indexNode));
}

void CacheLruList::RemoveFileEntries(const CachedFile& file) {
    ScopedLock lock(&m_lock);
    for (auto entry = m_entries.begin(); entry != m_entries.end();) {
        const auto next = std::next(entry);
        if (entry->key.file == &file) {
            m_usedBytes -= RemoveEntry(entry);
        }
        entry = next;
    }
}

CachedBlockPtr CacheLruList::GetBlock(CachedFile& file, DWORD blockIndex) {
    const Key key{&file, blockIndex};
    ScopedLock lock(&m_lock);
    if (!m_entries.empty() && m_entries.back().key == key) {
        return m_entries.back().block;
    }
    if (const auto found = m_index.find(key); found != m_index.end()) {
        m_entries.splice(m_entries.end(), m_entries, found->second);
        return m_entries.back().block;
    }
    CachedBlockPtr block = LoadLocked(file, blockIndex);
    if (!block) {
        return block;
    }
    const DWORD size = file.GetEntrySize();
    m_usedBytes += size;
    if (m_usedBytes > m_capacityBytes) {
        (void)EvictLocked(); // the new block is not listed yet, so it stays
    }
    AddEntry(key, block, size);
    return block;
}

CachedBlockPtr CacheLruList::LoadLocked(CachedFile& file, DWORD blockIndex) {
    const auto makeBlock = [&]() {
        BYTE* data = file.LoadBlock(blockIndex);
        if (data == nullptr) {
            return CachedBlockPtr();
        }
        auto* made = TFactory<CachedBlock, six::MTModel>::MakeBlock(file, data, blockIndex);
        if (made == nullptr) {
            file.ReleaseBlock(data, blockIndex);
        }
        return CachedBlockPtr(made);
    };
    CachedBlockPtr block = makeBlock();
    int attempts = 0;
    int pauses = 0;
    while (!block) {
        if (!file.LastLoadLackedMemory()) {
            return block; // flushing cannot help a file that failed otherwise
        }
        OutputDebugStringW(u"NO_MEMORY_IN_CACHE");
        if (attempts == kLoadAttemptsPerPause) {
            if (pauses == kMaxLoadPauses) {
                return block;
            }
            ++pauses;
            Sleep(kLoadPauseMs);
            attempts = 0;
        }
        Flush();
        block = makeBlock();
        ++attempts;
    }
    return block;
}
