#include "basiccomp/retrievalengine/code/fsxtable.h"

#include "tablefiles/detail/headerfields.h"
#include "utilities/usefulcode/cache/sfsfile.h"
#include "utilities/usefulcode/handlefile.h"
#include "utilities/usefulcode/ifile.h"

#include "platform/debug.h"

#include <array>
#include <string>
#include <utility>

using tablefiles::detail::ReadU16;
using tablefiles::detail::ReadU32;

namespace {

// One debug line naming the file (when known) and the reason (plain ASCII) it was refused.
void ReportRefusal(const std::u16string& name, const std::string& reason) {
    std::u16string line = name.empty() ? u"field table file refused: " : name + u": ";
    line.append(reason.begin(), reason.end());
    line += u"\n";
    OutputDebugStringW(line.c_str());
}

struct FieldTableHeader {
    std::uint32_t blockSize = 0;
    std::uint32_t keySize = 0;
    std::uint32_t blockCount = 0;
    std::uint32_t recordCount = 0;
    std::uint32_t variant = 0;
    ColumnList columns;
};

std::string CheckHeader(const std::uint8_t* bytes, FieldTableHeader& header) {
    if (ReadU32(bytes) != FsxTable::kMagic) {
        return "unknown magic";
    }
    const std::uint32_t version = ReadU32(bytes + 4);
    if (version < FsxTable::kMinimumVersion) {
        return "version " + std::to_string(version) + " is below 4022002";
    }
    header.blockSize = ReadU16(bytes + 8);
    header.keySize = ReadU16(bytes + 10);
    header.blockCount = ReadU32(bytes + 12);
    header.recordCount = ReadU32(bytes + 16);
    header.variant = ReadU16(bytes + 150);
    const std::uint32_t fieldCount = ReadU16(bytes + 20);
    if (header.blockSize == 0) {
        return "block size 0";
    }
    if (fieldCount > 64 ||
        !tablefiles::detail::BuildColumns(bytes + 22, fieldCount, fieldCount, header.columns)) {
        return "field count " + std::to_string(fieldCount) + " or a field type is unknown";
    }
    if (header.variant >= kCollationVariantCount) {
        return "collation variant " + std::to_string(header.variant);
    }
    if (header.keySize > header.blockSize ||
        !tablefiles::detail::KeyEndsOnColumnBoundary(header.columns, header.keySize)) {
        return "key size " + std::to_string(header.keySize) + " does not fit the fields";
    }
    return {};
}

} // namespace

FsxRecord::FsxRecord(FsrBlockPointer block, std::uint32_t offset, std::uint32_t keySize,
                     std::shared_ptr<const KeyComparatorList> comparators,
                     std::shared_ptr<const std::vector<std::uint8_t>> key)
    : m_block(std::move(block))
    , m_keySize(keySize)
    , m_comparators(std::move(comparators))
    , m_key(std::move(key)) {
    if (!PlaceRecord(offset)) {
        End();
    }
}

bool FsxRecord::PlaceRecord(std::uint32_t offset) {
    const std::uint32_t length = m_block.GetLength();
    if (!m_block.IsValid() || length < 2 || offset > length - 2) {
        return false;
    }
    const std::uint8_t* data = m_block.GetData();
    const std::uint32_t recordLength = ReadU16(data + offset);
    // A record that would leave the block, or that cannot hold its key, ends the block's records.
    if (recordLength == 0 || recordLength > length - 2 - offset || recordLength < m_keySize) {
        return false;
    }
    m_offset = offset;
    m_record = ByteSpan(data + offset + 2, recordLength);
    return true;
}

void FsxRecord::End() {
    m_block.End();
    m_record = ByteSpan();
    m_offset = 0;
}

void FsxRecord::Next() {
    if (!IsValid()) {
        return;
    }
    if (!PlaceRecord(m_offset + 2 + m_record.length)) {
        const auto next = static_cast<std::uint32_t>(m_block.GetBlockIndex() + 1);
        if (!m_block.MoveTo(next) || !PlaceRecord(0)) {
            End();
            return;
        }
    }
    if (!m_key || !m_comparators || m_comparators->Compare(ByteSpan(*m_key), m_record) != 0) {
        End();
    }
}

FsxTable::FsxTable(BlockCachePtr cache)
    : m_cache(std::move(cache)) {}

FsxTable::~FsxTable() {
    Close();
}

void FsxTable::Reset() {
    m_blockSize = 0;
    m_blockCount = 0;
    m_recordCount = 0;
    m_keySize = 0;
    m_columns.reset();
    m_primary.reset();
    m_secondary.reset();
    m_keyIndex.Clear();
}

void FsxTable::Close() {
    if (m_file) {
        if (m_cache) {
            m_cache->RemoveFile(m_file);
        }
        m_file.Release();
    }
    Reset();
}

bool FsxTable::ReadHeader(IFile& file) {
    Reset();
    std::array<std::uint8_t, kHeaderSize> bytes{};
    if (file.Read(bytes.data(), kHeaderSize) != kHeaderSize) {
        ReportRefusal(m_openingName, "header shorter than 152 bytes");
        return false;
    }
    FieldTableHeader header;
    std::string problem = CheckHeader(bytes.data(), header);
    const std::uint64_t keyIndexAt = std::uint64_t{header.blockSize} * (header.blockCount + 1ull);
    if (problem.empty() && header.recordCount > 0) {
        const std::uint64_t needed = keyIndexAt + std::uint64_t{header.blockCount} * header.keySize;
        const DWORD fileSize = file.GetSize();
        if (fileSize == kInvalidFilePosition || needed > fileSize) {
            problem = std::to_string(header.blockCount) + " blocks need " + std::to_string(needed) +
                      " bytes, file has " + std::to_string(fileSize);
        } else if (!m_keyIndex.Load(file, static_cast<std::uint32_t>(keyIndexAt), header.blockCount,
                                    header.keySize, false)) {
            problem = "key index unreadable";
        }
    }
    if (!problem.empty()) {
        ReportRefusal(m_openingName, problem);
        Reset();
        return false;
    }
    m_blockSize = header.blockSize;
    m_blockCount = header.blockCount;
    m_recordCount = header.recordCount;
    m_keySize = header.keySize;
    const auto variant = static_cast<CollationVariant>(header.variant);
    auto columns = std::make_shared<const ColumnList>(std::move(header.columns));
    m_primary = std::make_shared<const KeyComparatorList>(variant, *columns, false);
    m_secondary = std::make_shared<const KeyComparatorList>(variant, *columns, true);
    m_columns = std::move(columns);
    if (m_recordCount > 0 && m_cache &&
        m_blockSize / 1024 > m_cache->GetLruList().GetCapacity() / 1024) {
        m_cache->SetCapacityKB(m_blockSize / 1024);
    }
    return true;
}

bool FsxTable::OpenMapped(const std::u16string& name) {
    return Open(name, false);
}

bool FsxTable::OpenArchived(const std::u16string& name) {
    return Open(name, true);
}

bool FsxTable::Open(const std::u16string& name, bool isArchived) {
    Close();
    if (name.empty() || !m_cache) {
        return false;
    }
    {
        HandleFile looseFile;
        SfsFile archiveFile;
        IFile& file = isArchived ? static_cast<IFile&>(archiveFile) : looseFile;
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
    CachedFilePtr cached =
        isArchived ? m_cache->GetArchiveFile(name, FileCreation::OpenExisting, FileAccess::Read,
                                             FileShare::Read, m_blockSize)
                   : m_cache->GetMappedFile(name, FileCreation::OpenExisting, FileAccess::Read,
                                            FileShare::Read, m_blockSize);
    if (!cached) {
        Reset();
        return false;
    }
    cached->SetBlockCount(m_blockCount + 1);
    m_file = std::move(cached);
    return true;
}

FsxRecord FsxTable::Find(ByteSpan key, bool secondary) const {
    if (!IsOpen() || m_recordCount == 0) {
        return {};
    }
    const std::shared_ptr<const KeyComparatorList>& comparators =
        secondary ? m_secondary : m_primary;
    const FsrKeyIndex::BlockRange blocks = m_keyIndex.FindBlocks(key, *comparators);
    if (!blocks.isFound) {
        return {};
    }
    auto keyCopy = std::make_shared<const std::vector<std::uint8_t>>(key.Duplicate());
    for (std::uint32_t dataBlock = blocks.first; dataBlock < m_blockCount; ++dataBlock) {
        FsrBlockPointer pointer(m_file, m_blockSize);
        if (!pointer.MoveTo(dataBlock + 1)) {
            return {};
        }
        FsxRecord record(pointer, 0, m_keySize, comparators, keyCopy);
        std::uint32_t offset = 0;
        while (record.IsValid()) {
            if (comparators->Compare(key, record.GetRecordBytes()) == 0) {
                return record;
            }
            offset += 2 + record.GetRecordBytes().length;
            record = FsxRecord(pointer, offset, m_keySize, comparators, keyCopy);
        }
        if (dataBlock >= blocks.last) {
            break;
        }
    }
    return {};
}
