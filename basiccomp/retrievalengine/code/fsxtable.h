#pragma once
// A field table file (".fsx"): records of any length, each a u16 length and its bytes, sorted by
// key and packed into data blocks, with a plain key index of every block's first key. Read
// through a BlockCache; lookups walk a block's records from its start. No lock of its own: its
// users serialise access to one table.

#include "tablefiles/bytespan.h"
#include "tablefiles/columntype.h"
#include "tablefiles/detail/tablefileopen.h"
#include "tablefiles/detail/tablekeys.h"
#include "tablefiles/fsrblockpointer.h"
#include "tablefiles/fsrkeyindex.h"
#include "tablefiles/keycomparator.h"
#include "utilities/usefulcode/cache/blockcache.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class IFile;

// A field table file's key index has the table file's layout: first keys of the data blocks.
using FsxKeyIndex = FsrKeyIndex;

// The records equal to a search key, from the first one on. Copies share the block view, the key
// and the comparator list; not used after the table was closed.
class FsxRecord {
public:
    FsxRecord() = default;
    FsxRecord(FsrBlockPointer block, std::uint32_t offset, std::uint32_t keySize,
              std::shared_ptr<const KeyComparatorList> comparators,
              std::shared_ptr<const std::vector<std::uint8_t>> key);

    bool IsValid() const { return m_record.data != nullptr && m_block.IsValid(); }
    // The current record's bytes after its length word; null when ended.
    const std::uint8_t* GetRecord() const { return IsValid() ? m_record.data : nullptr; }
    ByteSpan GetRecordBytes() const { return IsValid() ? m_record : ByteSpan(); }
    // Steps to the following record, into the next block when this block's records end, and ends
    // at the first record that is not equal to the key or past the last block.
    void Next();

private:
    // Places the cursor on the record at `offset` of the current block; false at the block's
    // end (a zero length, no room for a length word, or a record that would leave the block).
    bool PlaceRecord(std::uint32_t offset);
    void End();

    FsrBlockPointer m_block;
    ByteSpan m_record;
    std::uint32_t m_offset = 0; // of the current record's length word in its block
    std::uint32_t m_keySize = 0;
    std::shared_ptr<const KeyComparatorList> m_comparators;
    std::shared_ptr<const std::vector<std::uint8_t>> m_key;
};

class FsxTable {
public:
    static constexpr std::uint32_t kMagic = 0x012CC174;
    static constexpr std::uint32_t kMinimumVersion = 4022002;
    static constexpr std::uint32_t kHeaderSize = 152;

    explicit FsxTable(BlockCachePtr cache);
    ~FsxTable();
    FsxTable(const FsxTable&) = delete;
    FsxTable& operator=(const FsxTable&) = delete;

    // Close, read the header from the file opened on its own (loose, or a member of a mounted
    // archive), then attach it from the cache as a mapped or an archive file. False (table
    // closed) when the file is missing, its header is refused or the cache cannot hold it.
    [[nodiscard]] bool OpenMapped(const std::u16string& name);
    [[nodiscard]] bool OpenArchived(const std::u16string& name);

    // Close, read the header from headerFile and read the records from file (already open, for
    // instance over bytes in memory). False (table closed) when the header is refused.
    [[nodiscard]] bool Attach(IFile& headerFile, CachedFilePtr file);

    // Reads and checks the header at the file's current position and loads the key index. A
    // refused header leaves the table clean and closed; a debug line names the reason.
    [[nodiscard]] bool ReadHeader(IFile& file) { return ReadHeaderOf(file, {}).has_value(); }

    bool IsOpen() const { return static_cast<bool>(m_file); }
    void Close();

    std::uint32_t GetBlockSize() const { return m_blockSize; }
    std::uint32_t GetBlockCount() const { return m_blockCount; }
    std::uint32_t GetRecordCount() const { return m_recordCount; }
    std::shared_ptr<const ColumnList> GetColumnList() const { return m_keys.GetColumns(); }

    // The first record equal to the key (secondary: texts by prefix); ended when the table is
    // closed or empty or nothing matches.
    FsxRecord Find(ByteSpan key, bool secondary) const;

private:
    [[nodiscard]] bool Open(const std::u16string& name, tablefiles::detail::TableFileKind kind);
    // ReadHeader, giving the blocks the file is attached in; refusal messages name the file when
    // a name is given.
    [[nodiscard]] std::optional<tablefiles::detail::TableBlocks>
    ReadHeaderOf(IFile& file, const std::u16string& name);
    void Reset();

    BlockCachePtr m_cache;
    CachedFilePtr m_file;
    std::uint32_t m_blockSize = 0;
    std::uint32_t m_blockCount = 0;
    std::uint32_t m_recordCount = 0;
    std::uint32_t m_keySize = 0;
    tablefiles::detail::TableKeys m_keys;
};
