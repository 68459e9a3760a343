#include "testdata/fieldtablefilewriter.h"

#include "testdata/detail/fileimage.h"

#include <algorithm>

namespace testdata {

using detail::PrefixOf;
using detail::PutU16;
using detail::PutU32;

FieldTableFileWriter::FieldTableFileWriter(std::vector<ColumnType> fields,
                                           CollationVariant collation)
    : m_fields(std::move(fields))
    , m_collation(collation) {}

FieldTableFileWriter& FieldTableFileWriter::SetBlockSize(std::uint16_t bytes) {
    m_blockSize = bytes;
    return *this;
}

FieldTableFileWriter& FieldTableFileWriter::SetKeySize(std::uint16_t bytes) {
    m_keySize = bytes;
    return *this;
}

FieldTableFileWriter& FieldTableFileWriter::SetVersion(std::uint32_t version) {
    m_version = version;
    return *this;
}

FieldTableFileWriter& FieldTableFileWriter::SetFaults(const FieldTableFileFaults& faults) {
    m_faults = faults;
    return *this;
}

FieldTableFileWriter& FieldTableFileWriter::SetEmptyBlockBefore(std::size_t recordNumber) {
    m_emptyBlocksBefore.insert(recordNumber);
    return *this;
}

FieldTableFileWriter& FieldTableFileWriter::AddRow(const std::vector<TableValue>& values,
                                                   const std::string& tail) {
    std::vector<ColumnType> leading(
        m_fields.begin(),
        m_fields.begin() + static_cast<long>(std::min(values.size(), m_fields.size())));
    std::vector<std::uint8_t> record = EncodeRow(leading, values);
    record.insert(record.end(), tail.begin(), tail.end());
    return AddRecord(std::move(record));
}

FieldTableFileWriter& FieldTableFileWriter::AddRecord(std::vector<std::uint8_t> bytes) {
    m_records.push_back(std::move(bytes));
    return *this;
}

std::uint32_t FieldTableFileWriter::GetKeySize() const {
    if (m_keySize) {
        return *m_keySize;
    }
    return m_fields.empty() ? 0 : ColumnTypeSize(static_cast<std::uint32_t>(m_fields[0]));
}

std::vector<std::vector<std::uint8_t>> FieldTableFileWriter::GetSortedRecords() const {
    std::vector<std::vector<std::uint8_t>> records = m_records;
    SortByKeyOrder(records, m_fields, m_collation, GetKeySize());
    return records;
}

bool FieldTableFileWriter::Layout(const std::vector<std::vector<std::uint8_t>>& records,
                                  std::vector<std::uint32_t>& blocks,
                                  std::vector<std::uint32_t>& offsets) const {
    blocks.clear();
    offsets.clear();
    std::uint32_t block = 0;
    std::uint32_t offset = 0;
    for (std::size_t n = 0; n < records.size(); ++n) {
        const std::size_t length = records[n].size() + 2;
        if (length > m_blockSize) {
            return false;
        }
        if (m_emptyBlocksBefore.count(n) != 0) {
            block += offset == 0 ? 1 : 2; // close the current block, leave the next one empty
            offset = 0;
        } else if (offset + length > m_blockSize) {
            ++block;
            offset = 0;
        }
        blocks.push_back(block);
        offsets.push_back(offset);
        offset += static_cast<std::uint32_t>(length);
    }
    return true;
}

std::vector<std::uint32_t> FieldTableFileWriter::GetRecordBlocks() const {
    std::vector<std::uint32_t> blocks;
    std::vector<std::uint32_t> offsets;
    (void)Layout(GetSortedRecords(), blocks, offsets);
    return blocks;
}

std::vector<std::uint8_t> FieldTableFileWriter::Build() const {
    const std::vector<std::vector<std::uint8_t>> records = GetSortedRecords();
    std::vector<std::uint32_t> blocks;
    std::vector<std::uint32_t> offsets;
    if (m_blockSize < kHeaderSize || !Layout(records, blocks, offsets)) {
        return {};
    }
    const std::uint32_t keySize = GetKeySize();
    const std::uint32_t blockCount = blocks.empty() ? 0 : blocks.back() + 1;
    const std::size_t keyIndexAt = std::size_t{m_blockSize} * (blockCount + 1);
    std::vector<std::uint8_t> file(
        std::max<std::size_t>(keyIndexAt + std::size_t{blockCount} * keySize, kHeaderSize), 0);

    PutU32(file, 0, m_faults.magic.value_or(kMagic));
    PutU32(file, 4, m_version);
    PutU16(file, 8, m_faults.blockSize.value_or(m_blockSize));
    PutU16(file, 10, m_faults.keySize.value_or(static_cast<std::uint16_t>(keySize)));
    PutU32(file, 12, m_faults.blockCount.value_or(blockCount));
    PutU32(file, 16, m_faults.recordCount.value_or(static_cast<std::uint32_t>(records.size())));
    PutU16(file, 20, m_faults.fieldCount.value_or(static_cast<std::uint16_t>(m_fields.size())));
    for (std::size_t i = 0; i < m_fields.size() && i < 64; ++i) {
        PutU16(file, 22 + 2 * i, static_cast<std::uint32_t>(m_fields[i]));
    }
    if (m_faults.firstTypeCode) {
        PutU16(file, 22, *m_faults.firstTypeCode);
    }
    PutU16(file, 150, m_faults.collationVariant.value_or(static_cast<std::uint16_t>(m_collation)));

    std::vector<bool> isKeyed(blockCount, false);
    for (std::size_t n = 0; n < records.size(); ++n) {
        const std::size_t at = std::size_t{m_blockSize} * (blocks[n] + 1) + offsets[n];
        PutU16(file, at, static_cast<std::uint32_t>(records[n].size()));
        std::copy(records[n].begin(), records[n].end(), file.begin() + static_cast<long>(at + 2));
        // A block's key is its first record's; an empty block takes the key of the record after.
        const std::vector<std::uint8_t> key = PrefixOf(records[n], keySize);
        for (std::uint32_t b = blocks[n] + 1; b-- > 0 && !isKeyed[b];) {
            std::copy(key.begin(), key.end(),
                      file.begin() + static_cast<long>(keyIndexAt + std::size_t{b} * keySize));
            isKeyed[b] = true;
        }
        const bool isLastOfFirstBlock =
            blocks[n] == 0 && (n + 1 == records.size() || blocks[n + 1] != 0);
        if (isLastOfFirstBlock && m_faults.lastRecordLengthInFirstBlock) {
            PutU16(file, at, *m_faults.lastRecordLengthInFirstBlock);
        }
    }
    if (m_faults.fileSize) {
        file.resize(*m_faults.fileSize, 0);
    }
    return file;
}

bool FieldTableFileWriter::WriteTo(const std::filesystem::path& hostPath) const {
    return WriteHostFile(hostPath, Build());
}

} // namespace testdata
