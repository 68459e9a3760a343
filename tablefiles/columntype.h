#pragma once
// Column types of the table files: codes as stored in file headers, their byte widths, and the
// column description of a record layout. Columns are packed without gaps in record order.

#include <cstdint>
#include <vector>

// Type code of a column (u16 in file headers). Numbers are little-endian and may be unaligned;
// text columns hold narrow text in the system code page, zero-terminated when shorter than the
// column.
enum class ColumnType : std::uint8_t {
    Int8 = 0,
    UInt8 = 1,
    Int16 = 2,
    UInt16 = 3,
    Int32 = 4,
    UInt32 = 5,
    Float32 = 6,
    Float64 = 7,
    Text8 = 8,
    Text16 = 9,
    Text32 = 10,
    Text64 = 11,
    Text128 = 12,
    Text256 = 13,
    Int64 = 14,
    UInt64 = 15,
    Invalid = 16, // only as the state of a FieldValue
};

constexpr std::uint32_t kColumnTypeCount = 16;

// Width in bytes of a column of type code 0-15; 0 for any other code.
std::uint32_t ColumnTypeSize(std::uint32_t typeCode);

inline bool IsTextColumnType(std::uint32_t typeCode) {
    return typeCode >= 8 && typeCode <= 13;
}

// Order in which the text columns of a table compare (u16 in the table header).
enum class CollationVariant : std::uint16_t {
    CodeOrder = 0,
    CaseFolded = 1,
    German = 2,
    GermanCaseFolded = 3,
};

constexpr std::uint32_t kCollationVariantCount = 4;

struct ColumnInfo {
    std::uint32_t typeCode = 0;
    std::uint32_t size = 0;   // bytes
    std::uint32_t offset = 0; // from the record start
};

// The columns of a record layout in record order, with the header's column-list value (kept,
// not interpreted).
struct ColumnList {
    std::vector<ColumnInfo> columns;
    std::uint32_t listValue = 0;

    // Appends a column of the given type after the last one; false (and nothing appended) for an
    // unknown type code.
    [[nodiscard]] bool Append(std::uint32_t typeCode);

    // Bytes covered by all columns.
    std::uint32_t GetWidth() const;
};
