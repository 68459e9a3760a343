#pragma once
// The area tree file "EAreaI.tre": 8192-byte blocks of variable-length area nodes, each named by
// its file offset, with level, parent, element id, rectangle, name and child ids. A node never
// crosses its block; a length word of 0 ends a block's nodes. The node at offset 0 has no id of
// its own (id 0 reads back as -1). Cursors read through the block cache and may run on any
// thread; the index itself is opened and closed under its owner's lock.

#include "basiccomp/retrievalengine/code/cityindexfile.h"
#include "basiccomp/retrievalengine/code/namesearchcursor.h"
#include "tablefiles/fsrblockpointer.h"
#include "utilities/mapgeometry/mapgeometry.h"
#include "utilities/usefulcode/cache/blockcache.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class AreaTreeCursor {
public:
    static constexpr std::uint32_t kBlockSize = 8192;
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;
    // Level, parent, element id and rectangle, then the name.
    static constexpr std::uint32_t kFixedSize = 30;

    AreaTreeCursor() = default;
    // A cursor on no node of the file.
    explicit AreaTreeCursor(CachedFilePtr file);

    // Positions on the node at file offset id; kNone positions on nothing. The cursor is valid
    // when the node's block is present and the node is whole: its length word is not 0, covers
    // the fixed fields and a name terminator, and stays inside its block.
    void Seek(std::uint32_t id);
    [[nodiscard]] bool IsValid() const { return m_length != 0; }
    // Valid cursor: the node behind this one, else offset 0 of the next block. Invalid cursor:
    // the node at offset 0.
    void Next();
    // The node's file offset; -1 for offset 0 and for no position.
    [[nodiscard]] std::int32_t GetId() const;

    // Node fields; only meaningful on a valid cursor (zero or empty otherwise).
    [[nodiscard]] std::uint32_t GetLevel() const;
    [[nodiscard]] std::uint32_t GetParent() const;
    [[nodiscard]] std::uint32_t GetElementId() const;
    [[nodiscard]] GeoRect GetRect() const;
    // Narrow (code page 1252) text without its terminator.
    [[nodiscard]] std::string_view GetName() const;
    [[nodiscard]] std::vector<std::uint32_t> GetChildren() const;

    // Moves up from this node along its parents to the first node of the level: that node's
    // id; -1 when the walk leaves the tree, meets a higher level first, or goes round a cycle
    // (it stops after as many steps as the file can hold nodes).
    std::int32_t WalkUpTo(std::uint32_t level);

private:
    [[nodiscard]] const std::uint8_t* Node() const { return m_block.GetData() + m_offset; }

    CachedFilePtr m_file;
    FsrBlockPointer m_block;
    std::uint32_t m_id = kNone;
    std::uint32_t m_offset = 0;
    std::uint32_t m_length = 0;     // 0: not valid
    std::uint32_t m_nameLength = 0; // without the terminator
};

class AreaTreeIndex {
public:
    explicit AreaTreeIndex(BlockCachePtr cache);
    ~AreaTreeIndex();
    AreaTreeIndex(const AreaTreeIndex&) = delete;
    AreaTreeIndex& operator=(const AreaTreeIndex&) = delete;

    // Loads the city index files of the folder, then opens folder + "\EAreaI.tre"; as plain
    // files (Open) or from the mounted archives (OpenArchived). True when the tree file is held
    // (whether the city index files loaded or not). A tree already held is closed first. A tree
    // file cut short of a whole block or without a node at offset 0 (zeroed) is not held and
    // brings the file-check box naming it.
    [[nodiscard]] bool Open(const std::u16string& folder);
    [[nodiscard]] bool OpenArchived(const std::u16string& folder);
    [[nodiscard]] bool IsOpen() const { return static_cast<bool>(m_file); }
    // Releases the tree file and the city index files.
    void Close();

    // Reads "AllCitiesByName.idx" and "AllCitiesByCountry.idx" of the folder; true when both
    // were read. Files of an earlier load are dropped first.
    bool LoadCityIndexes(const std::u16string& folder, bool isArchived);
    [[nodiscard]] bool IsLoaded() const { return m_cityFiles.IsLoaded(); }
    void Reset() { m_cityFiles.Reset(); }
    // The cities whose folded name holds the text (country 0: all, else that country's); no
    // results without both city index files.
    [[nodiscard]] NameSearchCursor FindCities(std::u16string_view text,
                                              std::uint16_t country) const {
        return m_cityFiles.FindCities(text, country);
    }

    // A cursor on the node (not valid when the tree is not held or no node stands there).
    [[nodiscard]] AreaTreeCursor GetNode(std::uint32_t id) const;

    // The ancestor of the node (or the node itself) at the level; see AreaTreeCursor::WalkUpTo.
    [[nodiscard]] std::int32_t WalkToLevel(std::uint32_t id, std::uint32_t level) const {
        return GetNode(id).WalkUpTo(level);
    }

private:
    [[nodiscard]] bool OpenFile(CachedFilePtr file, const std::u16string& path);

    BlockCachePtr m_cache;
    CachedFilePtr m_file;
    CityIndexFiles m_cityFiles;
};
