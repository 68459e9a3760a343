#include "basiccomp/retrievalengine/code/fsxtable.h"

#include "tablefiles/detail/headerfields.h"
#include "utilities/usefulcode/ifile.h"

#include <array>
#include <string>
#include <utility>

using platform::ReadU16;
using platform::ReadU32;
using tablefiles::detail::TableFileKind;

namespace {

constexpr std::u16string_view kKindName = u"field table file";

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
    return tablefiles::detail::CheckCollationAndKey(header.columns, header.variant, header.keySize,
                                                    header.blockSize, "fields");
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
    m_keys.Clear();
}

void FsxTable::Close() {
    tablefiles::detail::DetachFromCache(m_cache, m_file);
    Reset();
}

std::optional<tablefiles::detail::TableBlocks> FsxTable::ReadHeaderOf(IFile& file,
                                                                      const std::u16string& name) {
    Reset();
    std::array<std::uint8_t, kHeaderSize> bytes{};
    if (file.Read(bytes.data(), kHeaderSize) != kHeaderSize) {
        tablefiles::detail::ReportRefusal(kKindName, name, "header shorter than 152 bytes");
        return std::nullopt;
    }
    FieldTableHeader header;
    std::string problem = CheckHeader(bytes.data(), header);
    if (problem.empty() && header.recordCount > 0) {
        problem = m_keys.LoadKeyIndex(file, header.blockSize, header.blockCount, header.keySize,
                                      false, std::to_string(header.blockCount) + " blocks");
    }
    if (!problem.empty()) {
        tablefiles::detail::ReportRefusal(kKindName, name, problem);
        Reset();
        return std::nullopt;
    }
    m_blockSize = header.blockSize;
    m_blockCount = header.blockCount;
    m_recordCount = header.recordCount;
    m_keySize = header.keySize;
    m_keys.SetColumns(static_cast<CollationVariant>(header.variant), std::move(header.columns));
    if (m_recordCount > 0) {
        tablefiles::detail::FitBlockInCache(m_cache, m_blockSize);
    }
    return tablefiles::detail::TableBlocks{m_blockSize, m_blockCount};
}

bool FsxTable::OpenMapped(const std::u16string& name) {
    return Open(name, TableFileKind::Mapped);
}

bool FsxTable::OpenArchived(const std::u16string& name) {
    return Open(name, TableFileKind::Archived);
}

bool FsxTable::Open(const std::u16string& name, TableFileKind kind) {
    Close();
    m_file = tablefiles::detail::OpenTableFile(
        m_cache, name, kind, [&](IFile& file) { return ReadHeaderOf(file, name); });
    if (!m_file) {
        Reset(); // the header may have been read before the cache refused the file
    }
    return IsOpen();
}

bool FsxTable::Attach(IFile& headerFile, CachedFilePtr file) {
    Close();
    m_file = tablefiles::detail::AttachTableFile(
        headerFile, std::move(file), [&](IFile& header) { return ReadHeaderOf(header, {}); });
    if (!m_file) {
        Reset(); // the header may have been read before it was refused
    }
    return IsOpen();
}

FsxRecord FsxTable::Find(ByteSpan key, bool secondary) const {
    if (!IsOpen() || m_recordCount == 0) {
        return {};
    }
    const FsrKeyIndex::BlockRange blocks = m_keys.FindBlocks(key, secondary);
    if (!blocks.isFound) {
        return {};
    }
    const std::shared_ptr<const KeyComparatorList>& comparators = m_keys.GetOrder(secondary);
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
