#pragma once
// Writer of field table files (".fsx") for tests and tools: length-prefixed records of any length
// sorted by their key, packed into blocks (a record never crosses a block; a zero length ends a
// block's records), a plain key index, and named faults for the header checks.

#include "tablefiles/columntype.h"
#include "testdata/tablefilewriter.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace testdata {

// Header values written as given, while the data keep the writer's real layout.
struct FieldTableFileFaults {
    std::optional<std::uint32_t> magic{};
    std::optional<std::uint16_t> blockSize{};
    std::optional<std::uint16_t> keySize{};
    std::optional<std::uint32_t> blockCount{};
    std::optional<std::uint32_t> recordCount{};
    std::optional<std::uint16_t> fieldCount{};
    std::optional<std::uint16_t> collationVariant{};
    std::optional<std::uint16_t> firstTypeCode{};
    std::optional<std::size_t> fileSize{}; // file cut (or zero-padded) to this many bytes
    // The length word of the last record of data block 0 claims this many bytes.
    std::optional<std::uint16_t> lastRecordLengthInFirstBlock{};
};

class FieldTableFileWriter {
public:
    static constexpr std::uint32_t kMagic = 0x012CC174;
    static constexpr std::uint32_t kMinimumVersion = 4022002;
    static constexpr std::uint32_t kHeaderSize = 152;

    explicit FieldTableFileWriter(std::vector<ColumnType> fields,
                                  CollationVariant collation = CollationVariant::CodeOrder);

    // Defaults: blocks of 512 bytes, a key of the first field, version 4022002.
    FieldTableFileWriter& SetBlockSize(std::uint16_t bytes);
    FieldTableFileWriter& SetKeySize(std::uint16_t bytes);
    FieldTableFileWriter& SetVersion(std::uint32_t version);
    FieldTableFileWriter& SetFaults(const FieldTableFileFaults& faults);
    // Starts a new block before the n-th record in file order, leaving an empty data block
    // (first length 0) in front of it whose key index entry is that record's key.
    FieldTableFileWriter& SetEmptyBlockBefore(std::size_t recordNumber);

    // A record of the leading fields' values followed by free bytes.
    FieldTableFileWriter& AddRow(const std::vector<TableValue>& values,
                                 const std::string& tail = {});
    FieldTableFileWriter& AddRecord(std::vector<std::uint8_t> bytes);

    // The records in file order: sorted by their key, equal keys in the order they were added.
    std::vector<std::vector<std::uint8_t>> GetSortedRecords() const;
    // The data block that holds each record (in file order), as Build() lays them out.
    std::vector<std::uint32_t> GetRecordBlocks() const;

    // The file; empty when a record does not fit in one block or a block is shorter than the
    // header.
    std::vector<std::uint8_t> Build() const;
    [[nodiscard]] bool WriteTo(const std::filesystem::path& hostPath) const;

private:
    std::uint32_t GetKeySize() const;
    // Block of every sorted record; false when a record does not fit in a block.
    bool Layout(const std::vector<std::vector<std::uint8_t>>& records,
                std::vector<std::uint32_t>& blocks, std::vector<std::uint32_t>& offsets) const;

    std::vector<ColumnType> m_fields;
    CollationVariant m_collation;
    std::uint16_t m_blockSize = 512;
    std::optional<std::uint16_t> m_keySize;
    std::uint32_t m_version = kMinimumVersion;
    FieldTableFileFaults m_faults;
    std::set<std::size_t> m_emptyBlocksBefore;
    std::vector<std::vector<std::uint8_t>> m_records;
};

} // namespace testdata
