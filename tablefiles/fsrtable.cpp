#include "tablefiles/fsrtable.h"

#include "tablefiles/detail/headerfields.h"
#include "utilities/usefulcode/cache/sfsfile.h"
#include "utilities/usefulcode/handlefile.h"
#include "utilities/usefulcode/ifile.h"

#include "platform/debug.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

using tablefiles::detail::ReadU16;
using tablefiles::detail::ReadU32;

namespace {

// One debug line naming the file (when known) and the reason (plain ASCII) it was refused.
void ReportRefusal(const std::u16string& name, const std::string& reason) {
    std::u16string line = name.empty() ? u"table file refused: " : name + u": ";
    line.append(reason.begin(), reason.end());
    line += u"\n";
    OutputDebugStringW(line.c_str());
}

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
    if (header.variant >= kCollationVariantCount) {
        return "collation variant " + std::to_string(header.variant);
    }
    if (header.keySize > header.recordSize ||
        !tablefiles::detail::KeyEndsOnColumnBoundary(header.columns, header.keySize)) {
        return "key size " + std::to_string(header.keySize) + " does not fit the columns";
    }
    return {};
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
    m_columns.reset();
    m_primary.reset();
    m_secondary.reset();
    m_keyIndex.Clear();
}

void FsrTable::Close() {
    if (m_file) {
        if (m_cache) {
            m_cache->RemoveFile(m_file);
        }
        m_file.Release();
    }
    Reset();
}

bool FsrTable::ReadHeader(IFile& file) {
    Reset();
    std::array<std::uint8_t, kHeaderSize> bytes{};
    if (file.Read(bytes.data(), kHeaderSize) != kHeaderSize) {
        ReportRefusal(m_openingName, "header shorter than 550 bytes");
        return false;
    }
    TableHeader header;
    std::string problem = CheckHeader(bytes.data(), header);
    // Records per block; a refused header leaves it at 1 so that the sums below stay defined.
    const std::uint32_t perBlock = std::max<std::uint32_t>(
        problem.empty() && header.recordSize != 0 ? header.blockSize / header.recordSize : 1, 1);
    const auto blocks =
        static_cast<std::uint32_t>((std::uint64_t{header.recordCount} + perBlock - 1) / perBlock);
    // In 64 bits: with one record per block, blocks + 1 overflows 32 bits for the largest counts.
    const std::uint64_t keyIndexAt = std::uint64_t{header.blockSize} * (std::uint64_t{blocks} + 1);
    if (problem.empty() && header.recordCount > 0) {
        const std::uint64_t needed = keyIndexAt + std::uint64_t{blocks} * header.keySize;
        const DWORD fileSize = file.GetSize();
        if (fileSize == kInvalidFilePosition || needed > fileSize) {
            problem = std::to_string(header.recordCount) + " records need " +
                      std::to_string(needed) + " bytes, file has " + std::to_string(fileSize);
        } else if (!m_keyIndex.Load(file, static_cast<std::uint32_t>(keyIndexAt), blocks,
                                    header.keySize, header.isScrambled)) {
            problem = "key index unreadable";
        }
    }
    if (!problem.empty()) {
        ReportRefusal(m_openingName, problem);
        Reset();
        return false;
    }
    m_blockSize = header.blockSize;
    m_recordSize = header.recordSize;
    m_recordCount = header.recordCount;
    m_recordsPerBlock = perBlock;
    m_blockCount = header.recordCount == 0 ? 0 : blocks;
    m_isScrambled = header.isScrambled;
    const auto variant = static_cast<CollationVariant>(header.variant);
    auto columns = std::make_shared<const ColumnList>(std::move(header.columns));
    m_primary = std::make_shared<const KeyComparatorList>(variant, *columns, false);
    m_secondary = std::make_shared<const KeyComparatorList>(variant, *columns, true);
    m_columns = std::move(columns);
    // A table with blocks of 1024 bytes or more always fits one block in its cache.
    if (m_cache && m_blockSize / 1024 > m_cache->GetLruList().GetCapacity() / 1024) {
        m_cache->SetCapacityKB(m_blockSize / 1024);
    }
    return true;
}

bool FsrTable::OpenMapped(const std::u16string& name) {
    return Open(name, FileKind::Mapped);
}

bool FsrTable::OpenArchived(const std::u16string& name) {
    return Open(name, FileKind::Archived);
}

bool FsrTable::OpenPlain(const std::u16string& name) {
    return Open(name, FileKind::Plain);
}

bool FsrTable::Open(const std::u16string& name, FileKind kind) {
    Close();
    if (name.empty() || !m_cache) {
        return false;
    }
    {
        HandleFile looseFile;
        SfsFile archiveFile;
        IFile& file = kind == FileKind::Archived ? static_cast<IFile&>(archiveFile) : looseFile;
        if (!file.Open(name, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                       FileHint::None)) {
            return false;
        }
        m_openingName = name;
        const bool isRead = ReadHeader(file);
        m_openingName.clear();
        if (!isRead) {
            return false;
        }
    }
    CachedFilePtr cached;
    switch (kind) {
    case FileKind::Mapped:
        cached = m_cache->GetMappedFile(name, FileCreation::OpenExisting, FileAccess::Read,
                                        FileShare::Read, m_blockSize);
        break;
    case FileKind::Archived:
        cached = m_cache->GetArchiveFile(name, FileCreation::OpenExisting, FileAccess::Read,
                                         FileShare::Read, m_blockSize);
        break;
    case FileKind::Plain:
        cached = m_cache->GetPlainFile(name, FileCreation::OpenExisting, FileAccess::Read,
                                       FileShare::Read, m_blockSize);
        break;
    }
    if (!cached) {
        Reset();
        return false;
    }
    cached->SetBlockCount(m_blockCount + 1);
    m_file = std::move(cached);
    return true;
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
                     m_primary);
}

std::uint32_t FsrTable::FindInBlock(const FsrBlockPointer& block, std::uint32_t dataBlock,
                                    ByteSpan key, const KeyComparatorList& comparators) const {
    const std::uint32_t whole = block.GetLength() / m_recordSize;
    const std::uint32_t count = std::min(GetRecordsInBlock(dataBlock), whole);
    std::uint32_t low = 0;
    std::uint32_t high = count == 0 ? 0 : count - 1;
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        const ByteSpan record(block.GetData() + std::size_t{middle} * m_recordSize, m_recordSize);
        if (comparators.Compare(key, record) >= 1) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

FsrKeyRange FsrTable::Find(ByteSpan key, bool secondary) const {
    if (!IsOpen() || m_recordCount == 0) {
        return {};
    }
    const std::shared_ptr<const KeyComparatorList>& comparators =
        secondary ? m_secondary : m_primary;
    const FsrKeyIndex::BlockRange blocks = m_keyIndex.FindBlocks(key, *comparators);
    if (!blocks.isFound) {
        return {};
    }
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
            return FsrKeyRange(std::move(first),
                               std::make_shared<const std::vector<std::uint8_t>>(key.Duplicate()));
        }
        if (dataBlock >= blocks.last) {
            break;
        }
    }
    return {};
}

FsrRecord FsrTable::FindRecord(ByteSpan key, bool secondary) const {
    if (!IsOpen() || m_recordCount == 0) {
        return {};
    }
    const std::shared_ptr<const KeyComparatorList>& comparators =
        secondary ? m_secondary : m_primary;
    const FsrKeyIndex::BlockRange blocks = m_keyIndex.FindBlocks(key, *comparators);
    if (!blocks.isFound) {
        return {};
    }
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
    if (!m_columns || m_columns->columns.size() != count) {
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        if (m_columns->columns[i].typeCode != static_cast<std::uint32_t>(types[i])) {
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
    return FsrRowRange(Find(keyBytes, secondary), m_columns);
}
