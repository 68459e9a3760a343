#pragma once
// A fixed-record table file (".fsr"): a header block, data blocks of fixed-size records sorted by
// key, and a key index with the first key of every data block. The table is read through a
// BlockCache (mapped, archived or plain); lookups return cursors into cached blocks. No lock of
// its own: its users serialise access to one table.

#include "tablefiles/bytespan.h"
#include "tablefiles/columntype.h"
#include "tablefiles/detail/tablefileopen.h"
#include "tablefiles/detail/tablekeys.h"
#include "tablefiles/fieldvalue.h"
#include "tablefiles/fsrkeyindex.h"
#include "tablefiles/fsrrecord.h"
#include "tablefiles/keycomparator.h"
#include "utilities/usefulcode/cache/blockcache.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class IFile;

class FsrTable {
public:
    static constexpr std::uint32_t kMagic = 0x012BB329;
    static constexpr std::uint32_t kMinimumVersion = 9021996;
    static constexpr std::uint32_t kScramblingVersion = 9021997;
    static constexpr std::uint32_t kHeaderSize = 550;

    // A closed table with a private cache of capacity 0 KB.
    FsrTable();
    // A closed table sharing the given cache.
    explicit FsrTable(BlockCachePtr cache);
    ~FsrTable();
    FsrTable(const FsrTable&) = delete;
    FsrTable& operator=(const FsrTable&) = delete;

    // Close, read the header from the file opened on its own, then attach the file from the
    // cache: memory-mapped, as a member of a mounted archive, or as a loose file read block by
    // block. False (table closed) when the file is missing, its header is refused or the cache
    // cannot hold it.
    [[nodiscard]] bool OpenMapped(const std::u16string& name);
    [[nodiscard]] bool OpenArchived(const std::u16string& name);
    [[nodiscard]] bool OpenPlain(const std::u16string& name);
    // Close, read the header from headerFile at its current position, then read the blocks from
    // `file`: a cached file over the same bytes (one held in memory, say) that no cache lists.
    // False (table closed) when there is no file or the header is refused.
    [[nodiscard]] bool Attach(IFile& headerFile, CachedFilePtr file);

    // Reads and checks the header at the file's current position and loads the key index. A
    // refused header (unknown magic, old version, sizes the records or the file cannot hold)
    // leaves the table clean and closed; a debug line names the reason.
    [[nodiscard]] bool ReadHeader(IFile& file) { return ReadHeaderOf(file, {}).has_value(); }

    bool IsOpen() const { return static_cast<bool>(m_file); }
    void Close();

    std::uint32_t GetBlockCount() const { return m_blockCount; }
    std::uint32_t GetRecordCount() const { return m_recordCount; }
    std::uint32_t GetRecordSize() const { return m_recordSize; }
    std::uint32_t GetBlockSize() const { return m_blockSize; }
    bool IsKeyIndexScrambled() const { return m_isScrambled; }
    // The columns; null while no header is loaded.
    std::shared_ptr<const ColumnList> GetColumnList() const { return m_keys.GetColumns(); }

    // Cursor on record n; ended when the table is closed or n is not below the record count.
    FsrRecord GetRecord(std::uint32_t number) const;
    // The run of records equal to the key, from its first record; the secondary order finds texts
    // by prefix. Ended when the table is closed or empty or nothing matches.
    FsrKeyRange Find(ByteSpan key, bool secondary) const;
    // The record with the greatest key not above the search key. Ended when the table is closed or
    // empty, the key lies below the first record, or that record is the table's last one.
    FsrRecord FindRecord(ByteSpan key, bool secondary) const;

    // True when the table has exactly `count` columns with these type codes, in order.
    bool HasColumnTypes(const ColumnType* types, std::uint32_t count) const;
    // Find with the value's key bytes (its column type's full width), with its columns readable.
    FsrRowRange FindRows(const FieldValue& key, bool secondary) const;

private:
    [[nodiscard]] bool Open(const std::u16string& name, tablefiles::detail::TableFileKind kind);
    // ReadHeader, giving the blocks the file is attached in; refusal messages name the file when
    // a name is given.
    [[nodiscard]] std::optional<tablefiles::detail::TableBlocks>
    ReadHeaderOf(IFile& file, const std::u16string& name);
    // Forgets the header, the columns and the key index.
    void Reset();
    // The data blocks where the key's run may start; not found when the table is closed or empty.
    FsrKeyIndex::BlockRange FindBlocks(ByteSpan key, bool secondary) const;
    std::uint32_t GetRecordsInBlock(std::uint32_t dataBlock) const;
    FsrRecordLayout GetLayout() const;
    FsrBlockPointer PointerOnDataBlock(std::uint32_t dataBlock) const;
    // Lower bound of the key among the records of a data block (whose pointer is given).
    std::uint32_t FindInBlock(const FsrBlockPointer& block, std::uint32_t dataBlock, ByteSpan key,
                              const KeyComparatorList& comparators) const;

    BlockCachePtr m_cache;
    CachedFilePtr m_file;
    std::uint32_t m_recordSize = 0;
    std::uint32_t m_blockSize = 0;
    std::uint32_t m_recordCount = 0;
    std::uint32_t m_blockCount = 0;
    std::uint32_t m_recordsPerBlock = 0;
    bool m_isScrambled = false;
    tablefiles::detail::TableKeys m_keys;
};
