#include "tablefiles/fieldvalue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t Code(ColumnType type) {
    return static_cast<std::uint32_t>(type);
}

TEST(FieldValues, ReadTheWidthOfTheirType) {
    // Bytes 01 02 ... : each type takes only its own width from them.
    std::vector<std::uint8_t> column(300);
    for (std::size_t i = 0; i < column.size(); ++i) {
        column[i] = static_cast<std::uint8_t>(i + 1);
    }
    for (std::uint32_t code = 0; code < 16; ++code) {
        SCOPED_TRACE(code);
        const FieldValue value(code, column.data());
        ASSERT_TRUE(value.IsValid());
        const ByteSpan key = value.AsKey();
        ASSERT_EQ(key.length, ColumnTypeSize(code));
        EXPECT_EQ(std::memcmp(key.data, column.data(), key.length), 0);
    }
    EXPECT_EQ(FieldValue(Code(ColumnType::Int16), column.data()).AsInteger(), 0x0201);
    EXPECT_EQ(FieldValue(Code(ColumnType::UInt32), column.data()).AsInteger(), 0x04030201);
}

TEST(FieldValues, SignedAndUnsignedReadings) {
    const std::vector<std::uint8_t> ones(8, 0xFF);
    const struct {
        ColumnType type;
        std::int64_t value;
    } rows[] = {{ColumnType::Int8, -1},   {ColumnType::UInt8, 255},
                {ColumnType::Int16, -1},  {ColumnType::UInt16, 65535},
                {ColumnType::Int32, -1},  {ColumnType::UInt32, 4294967295},
                {ColumnType::Int64, -1},  {ColumnType::UInt64, -1},
                {ColumnType::Float32, 0}, {ColumnType::Float64, 0}}; // NaN reads as 0
    for (const auto& row : rows) {
        SCOPED_TRACE(Code(row.type));
        EXPECT_EQ(FieldValue(Code(row.type), ones.data()).AsInteger(), row.value);
    }
    float half = -0.5f;
    EXPECT_EQ(
        FieldValue(Code(ColumnType::Float32), reinterpret_cast<std::uint8_t*>(&half)).AsDouble(),
        -0.5);
}

TEST(FieldValues, TextsStopAtTheirZeroOrTheColumnWidth) {
    const std::string stored = std::string("Ulm") + '\0' + "rest of column";
    const FieldValue ulm(Code(ColumnType::Text16),
                         reinterpret_cast<const std::uint8_t*>(stored.data()));
    EXPECT_EQ(ulm.AsText(), "Ulm");
    // The key spans the whole column, zero after the text.
    const ByteSpan key = ulm.AsKey();
    ASSERT_EQ(key.length, 16u);
    EXPECT_EQ(key.data[3], 0);
    EXPECT_EQ(key.data[4], 0);
    const std::string full(20, 'q');
    EXPECT_EQ(
        FieldValue(Code(ColumnType::Text8), reinterpret_cast<const std::uint8_t*>(full.data()))
            .AsText(),
        std::string(8, 'q'));
}

TEST(FieldValues, SetTextCutsAtTheColumnWidth) {
    FieldValue value(Code(ColumnType::Text8), nullptr);
    EXPECT_EQ(value.AsText(), "");
    value.SetText("Wiesbaden");
    EXPECT_EQ(value.AsText(), "Wiesbade");
    value.SetText("Ems");
    EXPECT_EQ(value.AsText(), "Ems");
    EXPECT_EQ(value.AsKey().data[3], 0); // nothing of the longer text is left
    value.SetText(u"M\u00fcnchen \u20ac");
    EXPECT_EQ(value.AsText(), "M\xfcnchen ");
    FieldValue wide(Code(ColumnType::Text16), nullptr);
    wide.SetText(u"\u20ac\u00df");
    EXPECT_EQ(wide.AsText(), "\x80\xdf");
}

TEST(FieldValues, InvalidTypesAndTextOnNumbers) {
    const std::uint8_t bytes[4] = {1, 2, 3, 4};
    const FieldValue unknown(16, bytes);
    EXPECT_FALSE(unknown.IsValid());
    EXPECT_TRUE(unknown.AsKey().IsEmpty());
    EXPECT_FALSE(FieldValue(200, bytes).IsValid());
    EXPECT_FALSE(FieldValue().IsValid());
    FieldValue number(Code(ColumnType::UInt32), bytes);
    number.SetText("12");
    EXPECT_FALSE(number.IsValid());
    EXPECT_TRUE(number.AsKey().IsEmpty());
    FieldValue other(Code(ColumnType::Int32), bytes);
    other.SetText(u"12");
    EXPECT_FALSE(other.IsValid());
    FieldValue invalid;
    invalid.Read(bytes);
    EXPECT_FALSE(invalid.IsValid());
    EXPECT_EQ(invalid.AsInteger(), 0);
    // Texts have no number, whatever their bytes.
    const std::string text(256, '9');
    const FieldValue wideText(Code(ColumnType::Text256),
                              reinterpret_cast<const std::uint8_t*>(text.data()));
    EXPECT_EQ(wideText.AsInteger(), 0);
    EXPECT_EQ(wideText.AsDouble(), 0.0);
    EXPECT_EQ(number.AsText(), "");
}

TEST(FieldValues, ReadReplacesTheValue) {
    const std::uint8_t first[2] = {0x34, 0x12};
    const std::uint8_t second[2] = {0xFF, 0x7F};
    FieldValue value(Code(ColumnType::UInt16), first);
    EXPECT_EQ(value.AsInteger(), 0x1234);
    value.Read(second);
    EXPECT_EQ(value.AsInteger(), 0x7FFF);
    value.Read(nullptr);
    EXPECT_EQ(value.AsInteger(), 0);
}

} // namespace
