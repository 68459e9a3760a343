#pragma once
// A typed column value: reads one column of a record, or holds a search key built from a number
// or a text. Its key bytes always span the full width of the column type.

#include "tablefiles/bytespan.h"
#include "tablefiles/columntype.h"

#include "platform/types.h"

#include <array>
#include <cstdint>
#include <string_view>

class FieldValue {
public:
    // An invalid value.
    FieldValue() = default;
    // Stores the type and reads the value from the column bytes at `column` (the full width of
    // the type; a text up to its terminating zero). Null bytes give a zero value of the type. Any
    // type code above 15 makes the value invalid.
    FieldValue(std::uint32_t typeCode, const std::uint8_t* column);

    // Reads the column at `column` by the value's own type; invalid values stay invalid.
    void Read(const std::uint8_t* column);

    // Text types take the text cut at the column width; any other type becomes invalid.
    void SetText(const char* text);
    // As above, converted to the system code page.
    void SetText(const WCHAR* text);

    // The value's bytes at the full width of its type (1 to 256 bytes); empty when invalid.
    ByteSpan AsKey() const;

    bool IsValid() const { return m_type < static_cast<std::int8_t>(kColumnTypeCount); }
    ColumnType GetType() const { return static_cast<ColumnType>(m_type); }

    // The number as a signed value (unsigned 64-bit values keep their bit pattern, floats are
    // truncated toward zero); 0 for texts and invalid values.
    std::int64_t AsInteger() const;
    // The number as a double; 0 for texts and invalid values.
    double AsDouble() const;
    // The text up to its terminating zero or the column width; empty for other types.
    std::string_view AsText() const;

private:
    void Invalidate();

    std::array<std::uint8_t, 256> m_value{};
    std::int8_t m_type = static_cast<std::int8_t>(ColumnType::Invalid);
};
