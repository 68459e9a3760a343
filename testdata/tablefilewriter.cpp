#include "testdata/tablefilewriter.h"

#include "tablefiles/fsrkeyindex.h"
#include "tablefiles/keycomparator.h"
#include "testdata/detail/fileimage.h"

#include <algorithm>
#include <bit>
#include <fstream>
#include <numeric>

namespace testdata {
namespace {

constexpr std::size_t kHeaderSize = 550;

using detail::PrefixOf;
using detail::PutU16;
using detail::PutU32;
using detail::PutUnsigned;

ColumnList LayoutOf(const std::vector<ColumnType>& columns) {
    ColumnList layout;
    for (const ColumnType type : columns) {
        (void)layout.Append(static_cast<std::uint32_t>(type));
    }
    return layout;
}

void EncodeColumn(ColumnType type, const TableValue& value, std::uint8_t* out) {
    const auto code = static_cast<std::uint32_t>(type);
    const std::uint32_t width = ColumnTypeSize(code);
    if (IsTextColumnType(code)) {
        if (const auto* text = std::get_if<std::string>(&value)) {
            std::copy_n(text->begin(), std::min<std::size_t>(text->size(), width), out);
        }
        return;
    }
    if (type == ColumnType::Float32 || type == ColumnType::Float64) {
        double number = 0;
        if (const auto* real = std::get_if<double>(&value)) {
            number = *real;
        } else if (const auto* integer = std::get_if<std::int64_t>(&value)) {
            number = static_cast<double>(*integer);
        }
        if (type == ColumnType::Float32) {
            PutUnsigned(out, std::bit_cast<std::uint32_t>(static_cast<float>(number)), 4);
        } else {
            PutUnsigned(out, std::bit_cast<std::uint64_t>(number), 8);
        }
        return;
    }
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        PutUnsigned(out, static_cast<std::uint64_t>(*integer), width);
    }
}

} // namespace

std::vector<std::uint8_t> EncodeRow(const std::vector<ColumnType>& columns,
                                    const std::vector<TableValue>& values) {
    const ColumnList layout = LayoutOf(columns);
    std::vector<std::uint8_t> row(layout.GetWidth(), 0);
    for (std::size_t i = 0; i < values.size() && i < layout.columns.size(); ++i) {
        EncodeColumn(columns[i], values[i], row.data() + layout.columns[i].offset);
    }
    return row;
}

void SortByKeyOrder(std::vector<std::vector<std::uint8_t>>& records,
                    const std::vector<ColumnType>& columns, CollationVariant collation,
                    std::uint32_t compareBytes) {
    const KeyComparatorList order(collation, LayoutOf(columns), false);
    std::vector<std::vector<std::uint8_t>> keys;
    keys.reserve(records.size());
    for (const auto& record : records) {
        keys.push_back(PrefixOf(record, compareBytes));
    }
    std::vector<std::size_t> positions(records.size());
    std::iota(positions.begin(), positions.end(), std::size_t{0});
    std::stable_sort(positions.begin(), positions.end(), [&](std::size_t a, std::size_t b) {
        return order.Compare(ByteSpan(keys[a]), ByteSpan(keys[b])) < 0;
    });
    std::vector<std::vector<std::uint8_t>> sorted;
    sorted.reserve(records.size());
    for (const std::size_t position : positions) {
        sorted.push_back(std::move(records[position]));
    }
    records = std::move(sorted);
}

void ScrambleKeyIndex(std::vector<std::uint8_t>& keys, std::size_t from, std::size_t count) {
    std::uint32_t state = FsrKeyIndex::kKeyStreamSeed;
    for (std::size_t at = 0; at + 4 <= count; at += 4) {
        state = state * FsrKeyIndex::kKeyStreamMultiplier + FsrKeyIndex::kKeyStreamIncrement;
        for (std::size_t i = 0; i < 4; ++i) {
            keys[from + at + i] =
                static_cast<std::uint8_t>(keys[from + at + i] ^ (state >> (8 * i)));
        }
    }
}

bool WriteHostFile(const std::filesystem::path& hostPath, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

TableFileWriter::TableFileWriter(std::vector<ColumnType> columns, CollationVariant collation)
    : m_columns(std::move(columns))
    , m_collation(collation) {}

TableFileWriter& TableFileWriter::SetBlockSize(std::uint16_t bytes) {
    m_blockSize = bytes;
    return *this;
}

TableFileWriter& TableFileWriter::SetRecordSize(std::uint16_t bytes) {
    m_recordSize = bytes;
    return *this;
}

TableFileWriter& TableFileWriter::SetKeySize(std::uint16_t bytes) {
    m_keySize = bytes;
    return *this;
}

TableFileWriter& TableFileWriter::SetVersion(std::uint32_t version) {
    m_version = version;
    return *this;
}

TableFileWriter& TableFileWriter::SetScrambled(bool isScrambled) {
    m_isScrambled = isScrambled;
    return *this;
}

TableFileWriter& TableFileWriter::SetFaults(const TableFileFaults& faults) {
    m_faults = faults;
    return *this;
}

TableFileWriter& TableFileWriter::AddRow(const std::vector<TableValue>& values) {
    return AddRecord(EncodeRow(m_columns, values));
}

TableFileWriter& TableFileWriter::AddRecord(std::vector<std::uint8_t> bytes) {
    m_records.push_back(std::move(bytes));
    return *this;
}

std::uint32_t TableFileWriter::GetRecordSize() const {
    if (m_recordSize) {
        return *m_recordSize;
    }
    std::uint32_t width = 0;
    for (const ColumnType type : m_columns) {
        width += ColumnTypeSize(static_cast<std::uint32_t>(type));
    }
    return width;
}

std::uint32_t TableFileWriter::GetRecordsPerBlock() const {
    const std::uint32_t recordSize = GetRecordSize();
    return recordSize == 0 ? 0 : m_blockSize / recordSize;
}

std::uint32_t TableFileWriter::GetBlockCount() const {
    const std::uint32_t perBlock = GetRecordsPerBlock();
    if (perBlock == 0) {
        return 0;
    }
    return static_cast<std::uint32_t>((m_records.size() + perBlock - 1) / perBlock);
}

std::vector<std::vector<std::uint8_t>> TableFileWriter::GetSortedRecords() const {
    const std::uint32_t recordSize = GetRecordSize();
    std::vector<std::vector<std::uint8_t>> records = m_records;
    for (auto& record : records) {
        record.resize(recordSize, 0);
    }
    SortByKeyOrder(records, m_columns, m_collation,
                   m_isOrderedByKeyOnly ? GetKeySize() : recordSize);
    return records;
}

std::uint32_t TableFileWriter::GetKeySize() const {
    return std::min<std::uint32_t>(
        m_keySize.value_or(m_columns.empty() ? 0
                                             : static_cast<std::uint16_t>(ColumnTypeSize(
                                                   static_cast<std::uint32_t>(m_columns[0])))),
        GetRecordSize());
}

TableFileWriter& TableFileWriter::SetOrderByKeyOnly(bool isByKeyOnly) {
    m_isOrderedByKeyOnly = isByKeyOnly;
    return *this;
}

std::vector<std::uint8_t> TableFileWriter::Build() const {
    const std::uint32_t recordSize = GetRecordSize();
    const std::uint32_t perBlock = GetRecordsPerBlock();
    // Data blocks shorter than the header overlay its tail: only the unread bytes from offset 288
    // on may be covered, and the scrambling flag at 548 only when the version ignores it.
    const bool isHeaderCovered =
        m_blockSize < 288 || (m_blockSize < kHeaderSize && m_version >= kScramblingVersion);
    if (perBlock == 0 || isHeaderCovered) {
        return {};
    }
    const std::uint32_t keySize = GetKeySize();
    const std::uint32_t blocks = GetBlockCount();
    const std::size_t keyIndexAt = std::size_t{m_blockSize} * (blocks + 1);
    std::vector<std::uint8_t> file(
        std::max(keyIndexAt + std::size_t{blocks} * keySize, kHeaderSize), 0);

    PutU32(file, 2, m_faults.magic.value_or(kMagic));
    PutU32(file, 6, m_version);
    PutU16(file, 10, m_faults.blockSize.value_or(m_blockSize));
    PutU16(file, 12, m_faults.recordSize.value_or(static_cast<std::uint16_t>(recordSize)));
    PutU16(file, 14, m_faults.keySize.value_or(static_cast<std::uint16_t>(keySize)));
    PutU32(file, 16, m_faults.recordCount.value_or(static_cast<std::uint32_t>(m_records.size())));
    PutU16(file, 26, m_faults.columnCount.value_or(static_cast<std::uint16_t>(m_columns.size())));
    PutU16(file, 28, 0); // the column-list value, kept by readers but not used
    for (std::size_t i = 0; i < m_columns.size() && i < 128; ++i) {
        PutU16(file, 30 + 2 * i, static_cast<std::uint32_t>(m_columns[i]));
    }
    if (m_faults.firstTypeCode) {
        PutU16(file, 30, *m_faults.firstTypeCode);
    }
    PutU16(file, 286, m_faults.collationVariant.value_or(static_cast<std::uint16_t>(m_collation)));
    PutU16(file, 548, m_isScrambled ? 1 : 0);

    // Data blocks follow the header block.
    const std::vector<std::vector<std::uint8_t>> records = GetSortedRecords();
    for (std::size_t n = 0; n < records.size(); ++n) {
        const std::size_t block = n / perBlock;
        const std::size_t at = m_blockSize * (block + 1) + (n % perBlock) * recordSize;
        std::copy(records[n].begin(), records[n].end(), file.begin() + static_cast<long>(at));
        if (n % perBlock == 0) {
            std::copy_n(records[n].begin(), keySize,
                        file.begin() + static_cast<long>(keyIndexAt + block * keySize));
        }
    }
    if (m_isScrambled && m_version >= kScramblingVersion) {
        ScrambleKeyIndex(file, keyIndexAt, std::size_t{blocks} * keySize);
    }
    if (m_faults.fileSize) {
        file.resize(*m_faults.fileSize, 0);
    }
    return file;
}

bool TableFileWriter::WriteTo(const std::filesystem::path& hostPath) const {
    return WriteHostFile(hostPath, Build());
}

} // namespace testdata
