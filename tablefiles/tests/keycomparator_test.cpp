#include "tablefiles/keycomparator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

ColumnList Columns(std::initializer_list<ColumnType> types) {
    ColumnList list;
    for (const ColumnType type : types) {
        EXPECT_TRUE(list.Append(static_cast<std::uint32_t>(type)));
    }
    return list;
}

std::vector<std::uint8_t> Text(const std::string& text, std::size_t width) {
    std::vector<std::uint8_t> bytes(width, 0);
    std::memcpy(bytes.data(), text.data(), std::min(text.size(), width));
    return bytes;
}

template <typename T> std::vector<std::uint8_t> Bytes(T value) {
    std::vector<std::uint8_t> bytes(sizeof(T));
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

std::vector<std::uint8_t> Join(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ColumnTypes, WidthsFollowTheTypeCodes) {
    const std::uint32_t widths[] = {1, 1, 2, 2, 4, 4, 4, 8, 8, 16, 32, 64, 128, 256, 8, 8, 0, 0};
    for (std::uint32_t code = 0; code < std::size(widths); ++code) {
        SCOPED_TRACE(code);
        EXPECT_EQ(ColumnTypeSize(code), widths[code]);
    }
    ColumnList list;
    EXPECT_FALSE(list.Append(16));
    EXPECT_TRUE(list.Append(4));
    EXPECT_TRUE(list.Append(9));
    EXPECT_TRUE(list.Append(0));
    ASSERT_EQ(list.columns.size(), 3u);
    EXPECT_EQ(list.columns[1].offset, 4u);
    EXPECT_EQ(list.columns[2].offset, 20u);
    EXPECT_EQ(list.GetWidth(), 21u);
}

TEST(NumberComparators, CompareByTheColumnsSignedness) {
    const std::vector<std::uint8_t> high = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const std::vector<std::uint8_t> one = {1, 0, 0, 0, 0, 0, 0, 0};
    const struct {
        ColumnType type;
        int highAgainstOne;
    } rows[] = {{ColumnType::Int8, -1},  {ColumnType::UInt8, 1},  {ColumnType::Int16, -1},
                {ColumnType::UInt16, 1}, {ColumnType::Int32, -1}, {ColumnType::UInt32, 1},
                {ColumnType::Int64, -1}, {ColumnType::UInt64, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.type));
        const KeyComparatorList list(CollationVariant::CodeOrder, Columns({row.type}), false);
        EXPECT_EQ(list.Compare(ByteSpan(high), ByteSpan(one)), row.highAgainstOne);
        EXPECT_EQ(list.Compare(ByteSpan(one), ByteSpan(high)), -row.highAgainstOne);
        EXPECT_EQ(list.Compare(ByteSpan(one), ByteSpan(one)), 0);
    }
}

TEST(NumberComparators, ReadLittleEndianBytes) {
    // 0x0100 = 256 is above 0x00FF = 255 although its first byte is smaller.
    const std::vector<std::uint8_t> big = {0x00, 0x01};
    const std::vector<std::uint8_t> small = {0xFF, 0x00};
    const KeyComparatorList list(CollationVariant::CodeOrder, Columns({ColumnType::UInt16}), false);
    EXPECT_EQ(list.Compare(ByteSpan(big), ByteSpan(small)), 1);
}

TEST(NumberComparators, FloatsCompareByValueAndNanIsEqual) {
    const KeyComparatorList floats(CollationVariant::CodeOrder, Columns({ColumnType::Float32}),
                                   false);
    EXPECT_EQ(floats.Compare(ByteSpan(Bytes(-2.5f)), ByteSpan(Bytes(1.0f))), -1);
    EXPECT_EQ(floats.Compare(ByteSpan(Bytes(3.0f)), ByteSpan(Bytes(1.0f))), 1);
    EXPECT_EQ(floats.Compare(ByteSpan(Bytes(std::numeric_limits<float>::quiet_NaN())),
                             ByteSpan(Bytes(1.0f))),
              0);
    const KeyComparatorList doubles(CollationVariant::CodeOrder, Columns({ColumnType::Float64}),
                                    false);
    EXPECT_EQ(doubles.Compare(ByteSpan(Bytes(-1e300)), ByteSpan(Bytes(1e-300))), -1);
    EXPECT_EQ(doubles.Compare(ByteSpan(Bytes(0.0)), ByteSpan(Bytes(-0.0))), 0);
}

TEST(TextComparators, PrimaryFindsWholeTextsSecondaryFindsPrefixes) {
    const ColumnList columns = Columns({ColumnType::Text16});
    const KeyComparatorList primary(CollationVariant::CodeOrder, columns, false);
    const KeyComparatorList secondary(CollationVariant::CodeOrder, columns, true);
    const auto key = Text("Bad", 16);
    const struct {
        const char* record;
        int primary;
        int secondary;
    } rows[] = {{"Bad", 0, 0}, {"Baden", -1, 0}, {"Bad Homburg", -1, 0}, {"Ba", 1, 1},
                {"Bac", 1, 1}, {"Bae", -1, -1},  {"bad", -1, -1},        {"", 1, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.record);
        const auto record = Text(row.record, 16);
        EXPECT_EQ(primary.Compare(ByteSpan(key), ByteSpan(record)), row.primary);
        EXPECT_EQ(secondary.Compare(ByteSpan(key), ByteSpan(record)), row.secondary);
    }
}

TEST(TextComparators, CollationVariantDecidesTheOrder) {
    const ColumnList columns = Columns({ColumnType::Text8});
    const auto lower = Text("\xe4pfel", 8); // äpfel
    const auto upper = Text("\xc4PFEL", 8); // ÄPFEL
    const auto birne = Text("Birne", 8);
    const struct {
        CollationVariant variant;
        int lowerAgainstUpper;
        int upperAgainstBirne;
    } rows[] = {{CollationVariant::CodeOrder, 1, 1},
                {CollationVariant::CaseFolded, 0, 1},
                {CollationVariant::German, 1, -1},
                {CollationVariant::GermanCaseFolded, 0, -1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.variant));
        const KeyComparatorList list(row.variant, columns, false);
        EXPECT_EQ(list.Compare(ByteSpan(lower), ByteSpan(upper)), row.lowerAgainstUpper);
        EXPECT_EQ(list.Compare(ByteSpan(upper), ByteSpan(birne)), row.upperAgainstBirne);
    }
}

TEST(TextComparators, FullWidthTextsWithoutTerminatorStayInTheColumn) {
    const KeyComparatorList list(CollationVariant::CodeOrder,
                                 Columns({ColumnType::Text8, ColumnType::UInt8}), false);
    const auto a = Join(Text("ABCDEFGH", 8), {1});
    const auto b = Join(Text("ABCDEFGH", 8), {2});
    EXPECT_EQ(list.Compare(ByteSpan(a), ByteSpan(b)), -1);
}

TEST(KeyComparatorLists, KeyOfTheFirstColumnMatchesEveryRecordWithIt) {
    const KeyComparatorList list(CollationVariant::CodeOrder,
                                 Columns({ColumnType::UInt32, ColumnType::Int16}), false);
    const auto key = Bytes<std::uint32_t>(7);
    for (const std::int16_t second : {-5, 0, 300}) {
        const auto record = Join(Bytes<std::uint32_t>(7), Bytes(second));
        EXPECT_EQ(list.Compare(ByteSpan(key), ByteSpan(record)), 0);
    }
    const auto fullKey = Join(Bytes<std::uint32_t>(7), Bytes<std::int16_t>(0));
    EXPECT_EQ(list.Compare(ByteSpan(fullKey),
                           ByteSpan(Join(Bytes<std::uint32_t>(7), Bytes<std::int16_t>(-5)))),
              1);
    EXPECT_EQ(list.Compare(ByteSpan(fullKey),
                           ByteSpan(Join(Bytes<std::uint32_t>(8), Bytes<std::int16_t>(-5)))),
              -1);
}

TEST(KeyComparatorLists, NeverReadPastAShortKeyOrRecord) {
    const KeyComparatorList list(CollationVariant::CodeOrder,
                                 Columns({ColumnType::UInt16, ColumnType::Text64}), false);
    // Heap buffers of exactly the given length, so that a read past them is caught by ASan.
    const auto record = Join(Bytes<std::uint16_t>(9), Text("Hauptstrasse", 64));
    const std::unique_ptr<std::uint8_t[]> shortKey(new std::uint8_t[5]{9, 0, 'H', 'a', 'u'});
    EXPECT_EQ(list.Compare(ByteSpan(shortKey.get(), 5), ByteSpan(record)), 0);
    const std::unique_ptr<std::uint8_t[]> splitNumber(new std::uint8_t[1]{10});
    EXPECT_EQ(list.Compare(ByteSpan(splitNumber.get(), 1), ByteSpan(record)), 0);
    const std::unique_ptr<std::uint8_t[]> shortRecord(new std::uint8_t[3]{9, 0, 'Z'});
    const auto fullKey = Join(Bytes<std::uint16_t>(9), Text("Hauptstrasse", 64));
    EXPECT_EQ(list.Compare(ByteSpan(fullKey), ByteSpan(shortRecord.get(), 3)), 0);
    EXPECT_EQ(list.Compare(ByteSpan(), ByteSpan(record)), 0);
}

// Every layout, variant and order against the comparator objects asked column by column: the
// same result for every pair of rows (also with keys cut short), and a search of the sorted rows
// that stops where a walk asking the comparator objects would.
TEST(KeyComparatorLists, CompareAndSearchAgreeWithTheComparatorObjects) {
    const std::vector<std::vector<ColumnType>> layouts = {
        {ColumnType::UInt32},
        {ColumnType::Int8, ColumnType::Text8, ColumnType::Float64},
        {ColumnType::Text16, ColumnType::Int16, ColumnType::UInt64},
        {ColumnType::Float32, ColumnType::UInt8, ColumnType::Int64, ColumnType::Text8},
        {ColumnType::UInt16, ColumnType::Int32, ColumnType::Text32},
    };
    // Bytes that make equal columns likely and cover signs, NaNs, case, umlauts and terminators.
    const std::uint8_t alphabet[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 'a', 'A', 0xE4, 0xC4, 's', 0xDF};
    std::mt19937 random(7);
    std::uint32_t searched = 0;
    for (const auto& layout : layouts) {
        ColumnList columns;
        for (const ColumnType type : layout) {
            ASSERT_TRUE(columns.Append(static_cast<std::uint32_t>(type)));
        }
        std::vector<std::vector<std::uint8_t>> rows(40,
                                                    std::vector<std::uint8_t>(columns.GetWidth()));
        for (auto& row : rows) {
            for (auto& byte : row) {
                byte = alphabet[random() % std::size(alphabet)];
            }
        }
        for (std::uint32_t variant = 0; variant < kCollationVariantCount; ++variant) {
            for (const bool secondary : {false, true}) {
                SCOPED_TRACE(testing::Message() << columns.columns.size() << " columns, variant "
                                                << variant << (secondary ? ", secondary" : ""));
                const KeyComparatorList list(static_cast<CollationVariant>(variant), columns,
                                             secondary);
                for (const auto& key : rows) {
                    for (const auto& row : rows) {
                        for (const std::uint32_t cut : {0u, 3u, 5u}) {
                            const ByteSpan keyBytes(key.data(), columns.GetWidth() - cut);
                            ASSERT_EQ(list.Compare(keyBytes, ByteSpan(row)),
                                      list.CompareEachColumn(keyBytes, ByteSpan(row)));
                        }
                    }
                }
                auto sorted = rows;
                std::stable_sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) {
                    return list.CompareEachColumn(ByteSpan(a), ByteSpan(b)) < 0;
                });
                std::vector<std::uint8_t> packed;
                for (const auto& row : sorted) {
                    packed.insert(packed.end(), row.begin(), row.end());
                }
                const auto count = static_cast<std::uint32_t>(sorted.size());
                for (const auto& key : rows) {
                    const auto isBelowKey = [&](const std::vector<std::uint8_t>& row) {
                        return list.CompareEachColumn(ByteSpan(key), ByteSpan(row)) > 0;
                    };
                    // NaNs and prefixes order some rows loosely; a search there has no one answer.
                    if (!std::is_partitioned(sorted.begin(), sorted.end(), isBelowKey)) {
                        continue;
                    }
                    const auto bound =
                        std::partition_point(sorted.begin(), sorted.end() - 1, isBelowKey) -
                        sorted.begin();
                    EXPECT_EQ(list.FindLowerBound(ByteSpan(key), packed.data(), count,
                                                  columns.GetWidth(), columns.GetWidth()),
                              static_cast<std::uint32_t>(bound));
                    ++searched;
                }
            }
        }
    }
    EXPECT_GT(searched, 1000u);
}

TEST(KeyComparatorLists, UnknownTypesAndVariantsHaveNoComparator) {
    EXPECT_EQ(GetKeyComparator(16, 0, false), nullptr);
    EXPECT_EQ(GetKeyComparator(8, 4, true), nullptr);
    EXPECT_NE(GetKeyComparator(15, 3, false), nullptr);
    // Numbers use the same comparator in every variant and in both lists.
    EXPECT_EQ(GetKeyComparator(5, 0, false), GetKeyComparator(5, 3, true));
    EXPECT_NE(GetKeyComparator(9, 0, false), GetKeyComparator(9, 0, true));
    EXPECT_NE(GetKeyComparator(9, 0, false), GetKeyComparator(9, 1, false));
}

} // namespace
