#include "testdata/fieldtablefilewriter.h"
#include "testdata/namefilewriter.h"
#include "testdata/tablefilewriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

std::uint32_t U16At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8);
}

TEST(TableFileWriter, PacksSortedRecordsBehindTheHeaderBlockAndIndexesEachBlock) {
    testdata::TableFileWriter writer({ColumnType::UInt32, ColumnType::Int16});
    writer.SetRecordSize(100).SetKeySize(4); // 10 records per block of 1024 bytes
    for (std::int64_t id = 25; id > 0; --id) {
        writer.AddRow({id * 10, -id});
    }
    const std::vector<std::uint8_t> file = writer.Build();
    ASSERT_EQ(writer.GetRecordsPerBlock(), 10u);
    ASSERT_EQ(writer.GetBlockCount(), 3u);
    EXPECT_EQ(file.size(), 1024u * 4 + 3 * 4);
    EXPECT_EQ(U32At(file, 2), 0x012BB329u);
    EXPECT_EQ(U32At(file, 6), 9021997u);
    EXPECT_EQ(U16At(file, 10), 1024u);
    EXPECT_EQ(U16At(file, 12), 100u);
    EXPECT_EQ(U16At(file, 14), 4u);
    EXPECT_EQ(U32At(file, 16), 25u);
    EXPECT_EQ(U16At(file, 26), 2u);
    EXPECT_EQ(U16At(file, 30), 5u);
    EXPECT_EQ(U16At(file, 32), 2u);
    // Record 0 (id 10) at the start of data block 0, record 10 (id 110) at data block 1.
    EXPECT_EQ(U32At(file, 1024), 10u);
    EXPECT_EQ(U16At(file, 1024 + 4), 0xFFFFu); // -1
    EXPECT_EQ(U32At(file, 1024 + 100), 20u);
    EXPECT_EQ(U32At(file, 2048), 110u);
    // Key index after the last data block.
    EXPECT_EQ(U32At(file, 4096), 10u);
    EXPECT_EQ(U32At(file, 4100), 110u);
    EXPECT_EQ(U32At(file, 4104), 210u);
    // Blocks shorter than the header would overlay the fields a reader takes from it.
    EXPECT_TRUE(testdata::TableFileWriter({ColumnType::UInt8}).SetBlockSize(200).Build().empty());
    EXPECT_TRUE(testdata::TableFileWriter({ColumnType::UInt8}).SetBlockSize(512).Build().empty());
    EXPECT_FALSE(testdata::TableFileWriter({ColumnType::UInt8})
                     .SetBlockSize(512)
                     .SetVersion(9021996)
                     .Build()
                     .empty());
}

TEST(TableFileWriter, ScramblesTheKeyIndexOnlyFromTheScramblingVersion) {
    const auto build = [](std::uint32_t version, bool isScrambled) {
        testdata::TableFileWriter writer({ColumnType::UInt32});
        writer.SetRecordSize(128).SetVersion(version).SetScrambled(isScrambled);
        for (std::int64_t id = 1; id <= 12; ++id) {
            writer.AddRow({id});
        }
        return writer.Build();
    };
    const auto plain = build(9021997, false);
    const auto scrambled = build(9021997, true);
    const auto flaggedOld = build(9021996, true);
    const std::size_t keys = std::size_t{1024} * 3; // 2 data blocks of 8 records
    ASSERT_EQ(plain.size(), keys + 8);
    EXPECT_EQ(U16At(scrambled, 548), 1u);
    EXPECT_EQ(U16At(flaggedOld, 548), 1u);
    EXPECT_NE(U32At(scrambled, keys), U32At(plain, keys));
    EXPECT_NE(U32At(scrambled, keys + 4), U32At(plain, keys + 4));
    EXPECT_EQ(U32At(flaggedOld, keys), U32At(plain, keys));
    EXPECT_EQ(U32At(flaggedOld, keys + 4), U32At(plain, keys + 4));
    std::vector<std::uint8_t> restored(scrambled.begin() + keys, scrambled.end());
    testdata::ScrambleKeyIndex(restored, 0, restored.size());
    EXPECT_EQ(restored, std::vector<std::uint8_t>(plain.begin() + keys, plain.end()));
}

TEST(NameFileWriter, RecordsNeverCrossABlock) {
    testdata::NameFileWriter writer;
    const std::string long200(200, 'x');
    std::uint32_t last = 0;
    for (int i = 0; i < 60; ++i) {
        last = writer.Add(long200, 1, {{"abc", 2}});
        ASSERT_NE(last, testdata::NameFileWriter::kNoName);
        const std::uint32_t length = 1 + 200 + 1 + 1 + 3 + 1 + 1;
        EXPECT_EQ(last / 8192, (last + length - 1) / 8192) << i;
    }
    EXPECT_GT(last, 8192u);
    EXPECT_EQ(writer.Build().size() % 8192, 0u);
    EXPECT_EQ(writer.Add(std::string(256, 'y')), testdata::NameFileWriter::kNoName);
    EXPECT_EQ(writer.Add("a", 0, {{std::string(124, 'z'), 1}}), testdata::NameFileWriter::kNoName);
    const std::uint32_t atEnd = writer.AddAtBlockEnd({5, 'a'});
    EXPECT_EQ((atEnd + 2) % 8192, 0u);
}

TEST(FieldTableFileWriter, StartsANewBlockWhenARecordDoesNotFit) {
    testdata::FieldTableFileWriter writer({ColumnType::UInt32});
    writer.SetBlockSize(160);
    for (std::int64_t id = 1; id <= 4; ++id) {
        writer.AddRow({id}, std::string(66, 'a')); // 2 + 70 bytes: two per block
    }
    const std::vector<std::uint8_t> file = writer.Build();
    EXPECT_EQ(writer.GetRecordBlocks(), (std::vector<std::uint32_t>{0, 0, 1, 1}));
    EXPECT_EQ(U32At(file, 0), 0x012CC174u);
    EXPECT_EQ(U32At(file, 12), 2u);
    EXPECT_EQ(U32At(file, 16), 4u);
    EXPECT_EQ(U16At(file, 160), 70u);
    EXPECT_EQ(U32At(file, 162), 1u);
    EXPECT_EQ(U32At(file, 160 + 72 + 2), 2u);
    EXPECT_EQ(U16At(file, 160 + 144), 0u); // the block's records end
    EXPECT_EQ(U32At(file, 480), 1u);       // key index
    EXPECT_EQ(U32At(file, 484), 3u);
    EXPECT_TRUE(
        testdata::FieldTableFileWriter({ColumnType::UInt32}).SetBlockSize(100).Build().empty());
}

} // namespace
