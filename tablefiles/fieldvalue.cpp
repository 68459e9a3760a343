#include "tablefiles/fieldvalue.h"

#include "platform/kernel/text.h"
#include "platform/littleendian.h"

#include <cstring>

namespace {

std::int64_t SignExtend(std::uint64_t value, std::uint32_t width) {
    if (width == 0 || width >= 8) {
        return static_cast<std::int64_t>(value);
    }
    const std::uint32_t shift = 64 - 8 * width;
    return static_cast<std::int64_t>(value << shift) >> shift;
}

} // namespace

FieldValue::FieldValue(std::uint32_t typeCode, const std::uint8_t* column) {
    if (typeCode < kColumnTypeCount) {
        m_type = static_cast<std::int8_t>(typeCode);
        Read(column);
    }
}

void FieldValue::Invalidate() {
    m_value.fill(0);
    m_type = static_cast<std::int8_t>(ColumnType::Invalid);
}

void FieldValue::Read(const std::uint8_t* column) {
    if (!IsValid()) {
        Invalidate();
        return;
    }
    m_value.fill(0);
    if (column == nullptr) {
        return;
    }
    const std::uint32_t width = ColumnTypeSize(static_cast<std::uint32_t>(m_type));
    if (IsTextColumnType(static_cast<std::uint32_t>(m_type))) {
        for (std::uint32_t i = 0; i < width && column[i] != 0; ++i) {
            m_value[i] = column[i];
        }
    } else {
        std::memcpy(m_value.data(), column, width);
    }
}

void FieldValue::SetText(const char* text) {
    if (!IsValid() || !IsTextColumnType(static_cast<std::uint32_t>(m_type))) {
        Invalidate();
        return;
    }
    m_value.fill(0);
    const std::uint32_t width = ColumnTypeSize(static_cast<std::uint32_t>(m_type));
    for (std::uint32_t i = 0; text != nullptr && i < width && text[i] != 0; ++i) {
        m_value[i] = static_cast<std::uint8_t>(text[i]);
    }
}

void FieldValue::SetText(const WCHAR* text) {
    if (!IsValid() || !IsTextColumnType(static_cast<std::uint32_t>(m_type))) {
        Invalidate();
        return;
    }
    m_value.fill(0);
    if (text == nullptr) {
        return;
    }
    const std::uint32_t width = ColumnTypeSize(static_cast<std::uint32_t>(m_type));
    (void)wcstombs(reinterpret_cast<char*>(m_value.data()), text, width);
}

ByteSpan FieldValue::AsKey() const {
    if (!IsValid()) {
        return {};
    }
    return {m_value.data(), ColumnTypeSize(static_cast<std::uint32_t>(m_type))};
}

std::int64_t FieldValue::AsInteger() const {
    if (!IsValid() || IsTextColumnType(static_cast<std::uint32_t>(m_type))) {
        return 0;
    }
    const std::uint32_t width = ColumnTypeSize(static_cast<std::uint32_t>(m_type));
    const std::uint64_t bits = platform::ReadLittleEndian(m_value.data(), width);
    switch (GetType()) {
    case ColumnType::Int8:
    case ColumnType::Int16:
    case ColumnType::Int32:
    case ColumnType::Int64:
        return SignExtend(bits, width);
    case ColumnType::UInt8:
    case ColumnType::UInt16:
    case ColumnType::UInt32:
    case ColumnType::UInt64:
        return static_cast<std::int64_t>(bits);
    case ColumnType::Float32:
    case ColumnType::Float64: {
        const double number = AsDouble();
        // NaN and values outside the 64-bit range have no integer; they read as 0.
        return number > -9.2e18 && number < 9.2e18 ? static_cast<std::int64_t>(number) : 0;
    }
    default:
        return 0;
    }
}

double FieldValue::AsDouble() const {
    switch (GetType()) {
    case ColumnType::Float32:
        return platform::ReadLittleEndian<float>(m_value.data());
    case ColumnType::Float64:
        return platform::ReadLittleEndian<double>(m_value.data());
    case ColumnType::UInt64:
        return static_cast<double>(platform::ReadLittleEndian(m_value.data(), 8));
    default:
        return static_cast<double>(AsInteger());
    }
}

std::string_view FieldValue::AsText() const {
    if (!IsValid() || !IsTextColumnType(static_cast<std::uint32_t>(m_type))) {
        return {};
    }
    const std::uint32_t width = ColumnTypeSize(static_cast<std::uint32_t>(m_type));
    std::uint32_t length = 0;
    while (length < width && m_value[length] != 0) {
        ++length;
    }
    return {reinterpret_cast<const char*>(m_value.data()), length};
}
