#pragma once
// Writer of fixed-record table files (".fsr") for tests and tools: typed columns, any collation
// variant, records sorted by the reader's own key order, blocks packed as the reader expects, a
// plain or scrambled key index, and named faults for the header checks. One writer per file.

#include "tablefiles/columntype.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace testdata {

// One column value: integers for the integer columns, a double for the float columns, narrow
// code page 1252 text for the text columns (cut at the column width).
using TableValue = std::variant<std::int64_t, double, std::string>;

// Encodes one row at the columns' widths; a value of the wrong kind writes zeros.
std::vector<std::uint8_t> EncodeRow(const std::vector<ColumnType>& columns,
                                    const std::vector<TableValue>& values);

// Sorts records stably into the readers' key order of the columns, comparing each record's first
// `compareBytes` bytes (zero-padded when it is shorter).
void SortByKeyOrder(std::vector<std::vector<std::uint8_t>>& records,
                    const std::vector<ColumnType>& columns, CollationVariant collation,
                    std::uint32_t compareBytes);

// Header values written as given, while the data keep the writer's real layout. Each breaks one
// rule a reader must check.
struct TableFileFaults {
    std::optional<std::uint32_t> magic{};
    std::optional<std::uint16_t> blockSize{};
    std::optional<std::uint16_t> recordSize{};
    std::optional<std::uint16_t> keySize{};
    std::optional<std::uint32_t> recordCount{};
    std::optional<std::uint16_t> columnCount{};
    std::optional<std::uint16_t> collationVariant{};
    std::optional<std::uint16_t> firstTypeCode{}; // type code of column 0
    std::optional<std::size_t> fileSize{};        // file cut (or zero-padded) to this many bytes
};

class TableFileWriter {
public:
    static constexpr std::uint32_t kMagic = 0x012BB329;
    static constexpr std::uint32_t kPlainVersion = 9021996;      // key index always plain
    static constexpr std::uint32_t kScramblingVersion = 9021997; // honours the scrambling flag

    explicit TableFileWriter(std::vector<ColumnType> columns,
                             CollationVariant collation = CollationVariant::CodeOrder);

    // Layout. Defaults: blocks of 1024 bytes, records exactly as wide as the columns, a key of
    // the first column, version 9021997, plain key index.
    TableFileWriter& SetBlockSize(std::uint16_t bytes);
    TableFileWriter& SetRecordSize(std::uint16_t bytes); // at least the columns' width
    TableFileWriter& SetKeySize(std::uint16_t bytes);
    TableFileWriter& SetVersion(std::uint32_t version);
    // Sets the scrambling flag; the key index is scrambled only from version 9021997 on.
    TableFileWriter& SetScrambled(bool isScrambled);
    TableFileWriter& SetFaults(const TableFileFaults& faults);
    // Orders records by their key bytes only, so that records of one key keep the order in which
    // they were added (default: by the whole record).
    TableFileWriter& SetOrderByKeyOnly(bool isByKeyOnly);

    TableFileWriter& AddRow(const std::vector<TableValue>& values);
    // A raw record, cut or zero-padded to the record size.
    TableFileWriter& AddRecord(std::vector<std::uint8_t> bytes);

    std::uint32_t GetRecordSize() const;
    // The key's width: the key size or the first column's, at most the record size.
    std::uint32_t GetKeySize() const;
    std::uint32_t GetRecordsPerBlock() const;
    std::uint32_t GetBlockCount() const;
    // The records in file order (sorted by the table's key order, equal records in the order
    // they were added).
    std::vector<std::vector<std::uint8_t>> GetSortedRecords() const;

    // The file; empty when the real layout is impossible: a record wider than a block, or blocks
    // so short that data would overlay header fields (below 288 bytes, or below 550 from version
    // 9021997 on, whose scrambling flag lies at offset 548).
    std::vector<std::uint8_t> Build() const;
    // Writes Build() to a host file, replacing it; false when it cannot be written.
    [[nodiscard]] bool WriteTo(const std::filesystem::path& hostPath) const;

private:
    std::vector<ColumnType> m_columns;
    CollationVariant m_collation;
    std::uint16_t m_blockSize = 1024;
    std::optional<std::uint16_t> m_recordSize;
    std::optional<std::uint16_t> m_keySize;
    bool m_isOrderedByKeyOnly = false;
    std::uint32_t m_version = kScramblingVersion;
    bool m_isScrambled = false;
    TableFileFaults m_faults;
    std::vector<std::vector<std::uint8_t>> m_records;
};

// Applies the key-index keystream in place (scrambling and descrambling are the same XOR): whole
// little-endian 32-bit words only, a tail of 1 to 3 bytes unchanged.
void ScrambleKeyIndex(std::vector<std::uint8_t>& keys, std::size_t from, std::size_t count);

// Writes bytes to a host file, replacing it; false when it cannot be written.
[[nodiscard]] bool WriteHostFile(const std::filesystem::path& hostPath,
                                 const std::vector<std::uint8_t>& bytes);

} // namespace testdata
