#pragma once
// The depth-first walk of a map data file's block tree for a query rectangle, shared by every
// element walk: a walk supplies its record filter and its Settle, and calls Start and Advance.
// The walk distrusts the file: oversized counts end their block, child 0 or a child beyond the
// block count is skipped, and a walk enters at most block-count blocks and kMaxDepth levels.
// An iterator belongs to one thread.

#include "utilities/mapgeometry/elementrecord.h"
#include "utilities/mapgeometry/mapcursor.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <vector>

class ElementIterator {
public:
    static constexpr std::size_t kMaxDepth = 64;

    ElementIterator() = default;
    // Unpositioned over the block file of a map data file whose header has this version.
    ElementIterator(CachedFilePtr blockFile, std::uint32_t version);

    // A current record is held.
    [[nodiscard]] bool IsValid() const;
    // The id of the current record (version 3 and above: block * 256 + slot, else block * 2048 +
    // slot); kNoElementId when none is held.
    [[nodiscard]] std::uint32_t GetElementId() const;
    // The current 32-byte element record; null when none is held.
    [[nodiscard]] const std::uint8_t* GetRecord() const { return m_record; }
    [[nodiscard]] std::uint32_t GetVersion() const { return m_version; }
    [[nodiscard]] const MapRect& GetQueryRect() const { return m_query; }

protected:
    friend class ElementStore;

    // Normalises the query rectangle and positions the walk on the first record in the tree whose
    // bounds meet it; ends at once for root 0.
    void Start(std::uint32_t root, const MapRect& query);
    // The next record whose bounds meet the query rectangle, in tree order; ends the walk when
    // there is none.
    void Advance();
    // The leaf below `block` reached by first intersecting entries, held by the cursor; false
    // when the subtree has no such leaf with records.
    bool Descend(std::uint32_t block);
    // The child of the next intersecting entry after those already taken; 0 when none is left.
    std::uint32_t NextCandidate();
    // Descends from `block`, then from each next candidate, until a leaf with records is held;
    // its first record becomes current. False (the walk ended) when no candidate is left.
    bool EnterNextLeaf(std::uint32_t block);
    void End();

private:
    // An inner block on the way down, held by its cursor while the walk is below it, and the
    // entry taken last.
    struct StackEntry {
        MapCursor node;
        std::uint16_t entry;
    };

    // The block's bytes through a temporary cursor (kept alive by `cursor`); null for block 0,
    // a block beyond the count, or once the walk's budget of blocks is spent.
    const std::uint8_t* ReadBlock(MapCursor& cursor, std::uint32_t block, bool isEntering);
    // The first entry from `from` on whose rectangle meets the query and whose child is a block
    // of the file; the entry count when none does.
    std::uint32_t FirstIntersectingEntry(const std::uint8_t* block, std::uint32_t from) const;
    [[nodiscard]] bool RecordMeetsQuery() const;

    MapCursor m_cursor; // the current leaf
    const std::uint8_t* m_record = nullptr;
    std::vector<StackEntry> m_stack;
    CachedFilePtr m_blockFile;
    std::uint32_t m_version = 0;
    MapRect m_query;
    std::uint32_t m_leafCount = 0;
    std::uint32_t m_blocksEntered = 0;
    bool m_isExhausted = false;
};

// The records of a map data file found by element id.
class ElementStore {
public:
    ElementStore() = default;
    ElementStore(CachedFilePtr blockFile, std::uint32_t root, std::uint32_t version)
        : m_blockFile(std::move(blockFile))
        , m_root(root)
        , m_version(version) {}

    // Positions `iterator` on the record of the id (with an empty walk stack). False, with the
    // iterator invalid, for ids 0 and 0xFFFFFFFF, a block beyond the file or not a leaf, and a
    // slot not below the leaf's record count.
    bool Find(ElementIterator& iterator, std::uint32_t id) const;

    [[nodiscard]] const CachedFilePtr& GetBlockFile() const { return m_blockFile; }
    [[nodiscard]] std::uint32_t GetRoot() const { return m_root; }
    [[nodiscard]] std::uint32_t GetVersion() const { return m_version; }

private:
    CachedFilePtr m_blockFile;
    std::uint32_t m_root = 0;
    std::uint32_t m_version = 0;
};
