#pragma once
// The loaded blocks of one BlockCache, from the least to the most recently used, with a
// capacity and the used size in bytes. A block that somebody besides the list holds is never
// evicted. Safe from any thread; loading a block takes only this list's lock.

#include "utilities/usefulcode/cache/cachedfile.h"
#include "utilities/usefulcode/critsect.h"

#include <array>
#include <cstdint>
#include <list>
#include <unordered_map>

class CacheLruList {
public:
    // A block that cannot be loaded for want of memory is retried after flushing the list; after
    // this many attempts the loader pauses, and after kMaxLoadPauses pauses it gives up.
    static constexpr int kLoadAttemptsPerPause = 100;
    static constexpr int kMaxLoadPauses = 1;
    static constexpr DWORD kLoadPauseMs = 1000;

    explicit CacheLruList(DWORD capacityBytes);
    // Drops the list's references; blocks held elsewhere live on with their holders.
    ~CacheLruList();
    CacheLruList(const CacheLruList&) = delete;
    CacheLruList& operator=(const CacheLruList&) = delete;

    [[nodiscard]] DWORD GetCapacity() const;
    [[nodiscard]] DWORD GetUsedSize() const;
    [[nodiscard]] std::size_t GetEntryCount() const;

    // Stores the capacity and evicts down to it; the result is Evict's.
    bool SetCapacity(DWORD capacityBytes);

    // Removes blocks that nobody else holds, least recently used first, until the used size is
    // at most the capacity. False when held blocks alone keep it above.
    bool Evict();

    // Evicts every block that nobody else holds and keeps the capacity.
    void Flush();

    // The block (file, index) with the caller's own reference: the most recent one, a listed
    // one (which becomes the most recent), or a new one loaded through file.LoadBlock. Null
    // when it cannot be loaded; a load that lacks memory is retried after a flush, pausing
    // kLoadPauseMs after every kLoadAttemptsPerPause attempts, at most kMaxLoadPauses times.
    [[nodiscard]] CachedBlockPtr GetBlock(CachedFile& file, DWORD blockIndex);

    // Takes every block of the file off the list (held ones live on with their holders).
    void RemoveFileEntries(const CachedFile& file);

private:
    struct Key {
        const CachedFile* file;
        DWORD blockIndex;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const noexcept;
    };
    struct Entry {
        Key key;
        CachedBlockPtr block;
        DWORD sizeBytes;
    };
    using EntryList = std::list<Entry>;
    using EntryIndex = std::unordered_map<Key, EntryList::iterator, KeyHash>;

    // Nodes of removed entries kept for the next ones, so that a load that evicts allocates no
    // list or index node.
    static constexpr std::size_t kMaxSpareNodes = 16;

    [[nodiscard]] bool EvictLocked();
    // Unlinks an entry and returns its size; releases the list's reference to the block.
    DWORD RemoveEntry(EntryList::iterator entry);
    // Lists a block as the most recently used one.
    void AddEntry(const Key& key, CachedBlockPtr block, DWORD sizeBytes);
    [[nodiscard]] CachedBlockPtr LoadLocked(CachedFile& file, DWORD blockIndex);
    [[nodiscard]] static bool IsHeldElsewhere(const Entry& entry);

    mutable CritSect m_lock;
    EntryList m_entries; // least recently used first
    EntryIndex m_index;
    EntryList m_spareEntries;
    std::array<EntryIndex::node_type, kMaxSpareNodes> m_spareIndexNodes;
    std::size_t m_spareIndexNodeCount = 0;
    DWORD m_capacityBytes;
    DWORD m_usedBytes = 0;
};
