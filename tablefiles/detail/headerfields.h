#pragma once
// Reading and checking the header fields shared by the table file formats.

#include "tablefiles/columntype.h"

#include "platform/littleendian.h"

#include <cstdint>
#include <string>

namespace tablefiles::detail {

// Builds the column list from `count` u16 type codes; false for an unknown type code.
[[nodiscard]] inline bool BuildColumns(const std::uint8_t* typeCodes, std::uint32_t count,
                                       std::uint32_t listValue, ColumnList& columns) {
    columns.columns.clear();
    columns.columns.reserve(count);
    columns.listValue = listValue;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!columns.Append(platform::ReadU16(typeCodes + std::size_t{2} * i))) {
            return false;
        }
    }
    return true;
}

// A key must end on a column boundary (or behind the last column), so that every key column is
// compared whole.
inline bool KeyEndsOnColumnBoundary(const ColumnList& columns, std::uint32_t keySize) {
    for (const ColumnInfo& column : columns.columns) {
        if (keySize > column.offset && keySize < column.offset + column.size) {
            return false;
        }
    }
    return true;
}

// The checks every table header ends with: a known collation variant, and a key of at most
// `keyLimit` bytes that ends on a column boundary. An empty text, or the reason, which calls the
// columns `columnNoun` ("columns", "fields").
inline std::string CheckCollationAndKey(const ColumnList& columns, std::uint32_t variant,
                                        std::uint32_t keySize, std::uint32_t keyLimit,
                                        const char* columnNoun) {
    if (variant >= kCollationVariantCount) {
        return "collation variant " + std::to_string(variant);
    }
    if (keySize > keyLimit || !KeyEndsOnColumnBoundary(columns, keySize)) {
        return "key size " + std::to_string(keySize) + " does not fit the " + columnNoun;
    }
    return {};
}

} // namespace tablefiles::detail
