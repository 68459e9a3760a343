#include "tablefiles/fsrtable.h"

#include "tablefiles/detail/headerfields.h"
#include "utilities/usefulcode/ifile.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

using platform::ReadU16;
using platform::ReadU32;
using tablefiles::detail::TableFileKind;

namespace {

constexpr std::u16string_view kKindName = u"table file";

struct TableHeader {
    std::uint32_t blockSize = 0;
    std::uint32_t recordSize = 0;
    std::uint32_t keySize = 0;
    std::uint32_t recordCount = 0;
    std::uint32_t variant = 0;
    bool isScrambled = false;
    ColumnList columns;
};

// Checks every size the reader will rely on; an empty text when the header is sound.
std::string CheckHeader(const std::uint8_t* bytes, TableHeader& header) {
    if (ReadU32(bytes + 2) != FsrTable::kMagic) {
        return "unknown magic";
    }
    const std::uint32_t version = ReadU32(bytes + 6);
    if (version < FsrTable::kMinimumVersion) {
        return "version " + std::to_string(version) + " is below 9021996";
    }
    header.blockSize = ReadU16(bytes + 10);
    header.recordSize = ReadU16(bytes + 12);
    header.keySize = ReadU16(bytes + 14);
    header.recordCount = ReadU32(bytes + 16);
    header.variant = ReadU16(bytes + 286);
    header.isScrambled = version >= FsrTable::kScramblingVersion && ReadU16(bytes + 548) != 0;
    const std::uint32_t columnCount = ReadU16(bytes + 26);
    if (header.blockSize == 0 || header.recordSize == 0) {
        return "block size " + std::to_string(header.blockSize) + ", record size " +
               std::to_string(header.recordSize);
    }
    if (header.recordSize > header.blockSize) {
        return "record size " + std::to_string(header.recordSize) + " exceeds block size " +
               std::to_string(header.blockSize);
    }
    if (columnCount > 128 || !tablefiles::detail::BuildColumns(
                                 bytes + 30, columnCount, ReadU16(bytes + 28), header.columns)) {
        return "column count " + std::to_string(columnCount) + " or a column type is unknown";
    }
    if (header.columns.GetWidth() > header.recordSize) {
        return "columns of " + std::to_string(header.columns.GetWidth()) +
               " bytes exceed the record size " + std::to_string(header.recordSize);
    }
    return tablefiles::detail::CheckCollationAndKey(header.columns, header.variant, header.keySize,
                                                    header.recordSize, "columns");
}

} // namespace

FsrTable::FsrTable()
    : m_cache(BlockCache::Create(0)) {}

FsrTable::FsrTable(BlockCachePtr cache)
    : m_cache(std::move(cache)) {}

FsrTable::~FsrTable() {
    Close();
}

void FsrTable::Reset() {
    m_recordSize = 0;
    m_blockSize = 0;
    m_recordCount = 0;
    m_blockCount = 0;
    m_recordsPerBlock = 0;
    m_isScrambled = false;
    m_keys.Clear();
}

void FsrTable::Close() {
    tablefiles::detail::DetachFromCache(m_cache, m_file);
    Reset();
}

std::optional<tablefiles::detail::TableBlocks> FsrTable::ReadHeaderOf(IFile& file,
                                                                      const std::u16string& name) {
    Reset();
    std::array<std::uint8_t, kHeaderSize> bytes{};
    if (file.Read(bytes.data(), kHeaderSize) != kHeaderSize) {
        tablefiles::detail::ReportRefusal(kKindName, name, "header shorter than 550 bytes");
        return std::nullopt;
    }
    TableHeader header;
    std::string problem = CheckHeader(bytes.data(), header);
    // Records per block; a refused header leaves it at 1 so that the sums below stay defined.
    const std::uint32_t perBlock = std::max<std::uint32_t>(
        problem.empty() && header.recordSize != 0 ? header.blockSize / header.recordSize : 1, 1);
    const auto blocks =
        static_cast<std::uint32_t>((std::uint64_t{header.recordCount} + perBlock - 1) / perBlock);
    if (problem.empty() && header.recordCount > 0) {
        problem =
            m_keys.LoadKeyIndex(file, header.blockSize, blocks, header.keySize, header.isScrambled,
                                std::to_string(header.recordCount) + " records");
    }
    if (!problem.empty()) {
        tablefiles::detail::ReportRefusal(kKindName, name, problem);
        Reset();
        return std::nullopt;
    }
    m_blockSize = header.blockSize;
    m_recordSize = header.recordSize;
    m_recordCount = header.recordCount;
    m_recordsPerBlock = perBlock;
    m_blockCount = header.recordCount == 0 ? 0 : blocks;
    m_isScrambled = header.isScrambled;
    m_keys.SetColumns(static_cast<CollationVariant>(header.variant), std::move(header.columns));
    // A table with blocks of 1024 bytes or more always fits one block in its cache.
    tablefiles::detail::FitBlockInCache(m_cache, m_blockSize);
    return tablefiles::detail::TableBlocks{m_blockSize, m_blockCount};
}

bool FsrTable::OpenMapped(const std::u16string& name) {
    return Open(name, TableFileKind::Mapped);
}

bool FsrTable::OpenArchived(const std::u16string& name) {
    return Open(name, TableFileKind::Archived);
}

bool FsrTable::OpenPlain(const std::u16string& name) {
    return Open(name, TableFileKind::Plain);
}

bool FsrTable::Open(const std::u16string& name, TableFileKind kind) {
    Close();
    m_file = tablefiles::detail::OpenTableFile(
        m_cache, name, kind, [&](IFile& file) { return ReadHeaderOf(file, name); });
    if (!m_file) {
        Reset(); // the header may have been read before the cache refused the file
    }
    return IsOpen();
}

bool FsrTable::Attach(IFile& headerFile, CachedFilePtr file) {
    Close();
    m_file = tablefiles::detail::AttachTableFile(
        headerFile, std::move(file), [&](IFile& header) { return ReadHeaderOf(header, {}); });
    if (!m_file) {
        Reset(); // the header may have been read before it was refused
    }
    return IsOpen();
}

std::uint32_t FsrTable::GetRecordsInBlock(std::uint32_t dataBlock) const {
    if (dataBlock + 1 < m_blockCount) {
        return m_recordsPerBlock;
    }
    return (m_recordCount - 1) % m_recordsPerBlock + 1;
}

FsrRecordLayout FsrTable::GetLayout() const {
    return {m_recordSize, m_recordsPerBlock, m_recordCount - 1};
}

FsrBlockPointer FsrTable::PointerOnDataBlock(std::uint32_t dataBlock) const {
    FsrBlockPointer pointer(m_file, m_blockSize);
    (void)pointer.MoveTo(dataBlock + 1);
    return pointer;
}

FsrRecord FsrTable::GetRecord(std::uint32_t number) const {
    if (!IsOpen() || number >= m_recordCount) {
        return {};
    }
    return FsrRecord(PointerOnDataBlock(number / m_recordsPerBlock), GetLayout(), number,
                     m_keys.GetOrder(false));
}

std::uint32_t FsrTable::FindInBlock(const FsrBlockPointer& block, std::uint32_t dataBlock,
                                    ByteSpan key, const KeyComparatorList& comparators) const {
    const std::uint32_t whole = block.GetLength() / m_recordSize;
    const std::uint32_t count = std::min(GetRecordsInBlock(dataBlock), whole);
    return comparators.FindLowerBound(key, block.GetData(), count, m_recordSize, m_recordSize);
}

FsrKeyIndex::BlockRange FsrTable::FindBlocks(ByteSpan key, bool secondary) const {
    if (!IsOpen() || m_recordCount == 0) {
        return {};
    }
    return m_keys.FindBlocks(key, secondary);
}

FsrKeyRange FsrTable::Find(ByteSpan key, bool secondary) const {
    const FsrKeyIndex::BlockRange blocks = FindBlocks(key, secondary);
    if (!blocks.isFound) {
        return {};
    }
    const std::shared_ptr<const KeyComparatorList>& comparators = m_keys.GetOrder(secondary);
    for (std::uint32_t dataBlock = blocks.first; dataBlock < m_blockCount; ++dataBlock) {
        FsrBlockPointer pointer = PointerOnDataBlock(dataBlock);
        if (!pointer.IsValid() || pointer.GetLength() < m_recordSize) {
            return {};
        }
        const std::uint32_t low = FindInBlock(pointer, dataBlock, key, *comparators);
        const ByteSpan record(pointer.GetData() + std::size_t{low} * m_recordSize, m_recordSize);
        if (comparators->Compare(key, record) == 0) {
            FsrRecord first(std::move(pointer), GetLayout(), dataBlock * m_recordsPerBlock + low,
                            comparators);
            return FsrKeyRange(std::move(first), key);
        }
        if (dataBlock >= blocks.last) {
            break;
        }
    }
    return {};
}

FsrRecord FsrTable::FindRecord(ByteSpan key, bool secondary) const {
    const FsrKeyIndex::BlockRange blocks = FindBlocks(key, secondary);
    if (!blocks.isFound) {
        return {};
    }
    const std::shared_ptr<const KeyComparatorList>& comparators = m_keys.GetOrder(secondary);
    const FsrBlockPointer pointer = PointerOnDataBlock(blocks.last);
    if (!pointer.IsValid() || pointer.GetLength() < m_recordSize) {
        return {};
    }
    const std::uint32_t low = FindInBlock(pointer, blocks.last, key, *comparators);
    const std::uint32_t number = blocks.last * m_recordsPerBlock + low;
    const ByteSpan record(pointer.GetData() + std::size_t{low} * m_recordSize, m_recordSize);
    std::uint32_t result = number;
    if (comparators->Compare(key, record) < 0) {
        if (number == 0) {
            return {};
        }
        result = number - 1;
    } else if (number >= m_recordCount - 1) {
        return {}; // the floor is the last record: by the format's rule nothing is found
    }
    return FsrRecord(PointerOnDataBlock(result / m_recordsPerBlock), GetLayout(), result,
                     comparators);
}

bool FsrTable::HasColumnTypes(const ColumnType* types, std::uint32_t count) const {
    const std::shared_ptr<const ColumnList>& columns = m_keys.GetColumns();
    if (!columns || columns->columns.size() != count) {
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        if (columns->columns[i].typeCode != static_cast<std::uint32_t>(types[i])) {
            return false;
        }
    }
    return true;
}

FsrRowRange FsrTable::FindRows(const FieldValue& key, bool secondary) const {
    const ByteSpan keyBytes = key.AsKey();
    if (keyBytes.IsEmpty()) {
        return {};
    }
    return FsrRowRange(Find(keyBytes, secondary), m_keys.GetColumns());
}
