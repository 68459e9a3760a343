#include "basiccomp/retrievalengine/code/fsxtable.h"
#include "testdata/bytesfile.h"
#include "testdata/fieldtablefilewriter.h"
#include "testdata/memoryblockfile.h"
#include "testdata/tempdir.h"

#include "platform/kernel/debug.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using testdata::FieldTableFileFaults;
using testdata::FieldTableFileWriter;

std::vector<std::uint8_t> Key(std::uint32_t id) {
    std::vector<std::uint8_t> bytes(4);
    std::memcpy(bytes.data(), &id, 4);
    return bytes;
}

std::uint32_t U32(const std::uint8_t* bytes) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, 4);
    return value;
}

// Element ids with signpost-like records: id, a running number, a text of varying length.
FieldTableFileWriter Signposts() {
    FieldTableFileWriter writer({ColumnType::UInt32, ColumnType::UInt32, ColumnType::Text8});
    writer.SetBlockSize(256);
    std::int64_t number = 0;
    for (std::int64_t id = 1; id <= 40; ++id) {
        const int copies = id == 20 ? 12 : 1 + static_cast<int>(id % 3);
        for (int i = 0; i < copies; ++i) {
            writer.AddRow({id, number++}, std::string(static_cast<std::size_t>(5 + id % 11), 'a'));
        }
    }
    return writer;
}

class FieldTableFile : public ::testing::Test {
protected:
    void Put(const std::u16string& name, const FieldTableFileWriter& writer) {
        const std::vector<std::uint8_t> bytes = writer.Build();
        ASSERT_FALSE(bytes.empty());
        ASSERT_TRUE(m_root.WriteFile(name, bytes));
    }

    // The ids of the records from Find(id) on, while the cursor lasts.
    static std::vector<std::uint32_t> Walk(const FsxTable& table, std::uint32_t id) {
        std::vector<std::uint32_t> ids;
        for (FsxRecord record = table.Find(Key(id), false); record.IsValid(); record.Next()) {
            ids.push_back(U32(record.GetRecord()));
        }
        return ids;
    }

    testdata::TempDeviceRoot m_root;
    BlockCachePtr m_cache = BlockCache::Create(16);
};

TEST_F(FieldTableFile, KeyRunContinuesIntoTheNextBlock) {
    const FieldTableFileWriter writer = Signposts();
    Put(u"\\SignpostInfo.fsx", writer);
    FsxTable table(m_cache);
    ASSERT_TRUE(table.OpenMapped(u"\\signpostinfo.FSX"));
    // Element 20 has 12 records, more than one block holds.
    const auto sorted = writer.GetSortedRecords();
    const auto blocks = writer.GetRecordBlocks();
    std::vector<std::uint32_t> blocksOf20;
    for (std::size_t n = 0; n < sorted.size(); ++n) {
        if (U32(sorted[n].data()) == 20) {
            blocksOf20.push_back(blocks[n]);
        }
    }
    ASSERT_NE(blocksOf20.front(), blocksOf20.back());
    EXPECT_EQ(Walk(table, 20), std::vector<std::uint32_t>(12, 20));
    // Records come in the order they were added (their running numbers ascend).
    std::uint32_t previous = 0;
    for (FsxRecord record = table.Find(Key(20), false); record.IsValid(); record.Next()) {
        EXPECT_GE(U32(record.GetRecord() + 4), previous);
        previous = U32(record.GetRecord() + 4);
        EXPECT_EQ(record.GetRecordBytes().length, 8u + 5 + 20 % 11);
    }
    for (std::uint32_t id = 1; id <= 40; ++id) {
        const std::size_t copies = id == 20 ? 12 : 1 + id % 3;
        EXPECT_EQ(Walk(table, id), std::vector<std::uint32_t>(copies, id)) << id;
    }
    EXPECT_TRUE(Walk(table, 0).empty());
    EXPECT_TRUE(Walk(table, 41).empty());
}

TEST_F(FieldTableFile, AttachedInMemoryFindsWhatTheOpenedFileFinds) {
    const std::vector<std::uint8_t> bytes = Signposts().Build();
    Put(u"\\SignpostInfo.fsx", Signposts());
    FsxTable opened(m_cache);
    ASSERT_TRUE(opened.OpenMapped(u"\\SignpostInfo.fsx"));
    for (const DWORD pageSize : {testdata::MemoryBlockFile::kWholeFile, opened.GetBlockSize()}) {
        FsxTable attached(m_cache);
        testdata::BytesFile header(bytes);
        ASSERT_TRUE(attached.Attach(header, testdata::MakeMemoryBlockFile(bytes, 1, pageSize)));
        for (std::uint32_t id = 0; id <= 41; ++id) {
            EXPECT_EQ(Walk(attached, id), Walk(opened, id)) << pageSize << " " << id;
        }
    }
    FsxTable refused(m_cache);
    std::vector<std::uint8_t> broken = bytes;
    broken[0] ^= 0xFF; // magic
    testdata::BytesFile header(broken);
    EXPECT_FALSE(refused.Attach(header, testdata::MakeMemoryBlockFile(broken, 1, 0)));
    EXPECT_FALSE(refused.IsOpen());
}

TEST_F(FieldTableFile, SearchStartsInTheBlockBeforeAnEqualBlockKey) {
    FieldTableFileWriter writer({ColumnType::UInt32});
    writer.SetBlockSize(160);
    // 26-byte records: 6 per block; id 7 fills records 4 .. 9, so block 1 begins with 7.
    for (std::int64_t id : {1, 2, 3, 4, 7, 7, 7, 7, 7, 7, 8, 9}) {
        writer.AddRow({id}, std::string(20, 'x'));
    }
    Put(u"\\ADAS.fsx", writer);
    ASSERT_EQ(writer.GetRecordBlocks()[4], 0u);
    ASSERT_EQ(writer.GetRecordBlocks()[6], 1u);
    FsxTable table(m_cache);
    ASSERT_TRUE(table.OpenMapped(u"\\ADAS.fsx"));
    EXPECT_EQ(Walk(table, 7).size(), 6u);
    EXPECT_EQ(Walk(table, 9), std::vector<std::uint32_t>{9});
    EXPECT_TRUE(Walk(table, 5).empty());
}

TEST_F(FieldTableFile, ShortRecordsAndPrefixKeys) {
    FieldTableFileWriter writer({ColumnType::Text16, ColumnType::UInt32, ColumnType::Text64},
                                CollationVariant::CaseFolded);
    writer.SetKeySize(16);
    for (const char* name : {"Bahnhof", "bahnhofstr", "Berg", "Bach"}) {
        writer.AddRow({std::string(name)}); // only the key field
    }
    Put(u"\\t.fsx", writer);
    FsxTable table(m_cache);
    ASSERT_TRUE(table.OpenMapped(u"\\t.fsx"));
    std::vector<std::uint8_t> key(16, 0);
    std::memcpy(key.data(), "BAHN", 4);
    std::vector<std::string> found;
    for (FsxRecord record = table.Find(key, true); record.IsValid(); record.Next()) {
        EXPECT_EQ(record.GetRecordBytes().length, 16u);
        found.emplace_back(reinterpret_cast<const char*>(record.GetRecord()));
    }
    EXPECT_EQ(found, (std::vector<std::string>{"Bahnhof", "bahnhofstr"}));
    EXPECT_FALSE(table.Find(key, false).IsValid());
}

TEST_F(FieldTableFile, EmptyBlockHoldsNoRecords) {
    FieldTableFileWriter writer({ColumnType::UInt32});
    for (std::int64_t id = 1; id <= 6; ++id) {
        writer.AddRow({id}, "payload");
    }
    writer.SetEmptyBlockBefore(3); // block 1 is empty, its key that of id 4 in block 2
    Put(u"\\e.fsx", writer);
    ASSERT_EQ(writer.GetRecordBlocks(), (std::vector<std::uint32_t>{0, 0, 0, 2, 2, 2}));
    FsxTable table(m_cache);
    ASSERT_TRUE(table.OpenMapped(u"\\e.fsx"));
    EXPECT_EQ(table.GetBlockCount(), 3u);
    EXPECT_EQ(Walk(table, 3), std::vector<std::uint32_t>{3});
    EXPECT_EQ(Walk(table, 5), std::vector<std::uint32_t>{5});
    // The search for 4 ends in the empty block that the key index names for it.
    EXPECT_TRUE(Walk(table, 4).empty());
}

TEST_F(FieldTableFile, LengthsThatLeaveTheBlockEndItsRecords) {
    FieldTableFileWriter writer({ColumnType::UInt32});
    writer.SetBlockSize(160);
    for (std::int64_t id : {1, 2, 3, 3, 3, 3, 3, 3, 4}) {
        writer.AddRow({id}, std::string(20, 'x'));
    }
    FieldTableFileFaults faults;
    faults.lastRecordLengthInFirstBlock = 0xFFFF; // the fourth 3, last of block 0
    writer.SetFaults(faults);
    Put(u"\\l.fsx", writer);
    FsxTable table(m_cache);
    ASSERT_TRUE(table.OpenMapped(u"\\l.fsx"));
    EXPECT_EQ(Walk(table, 1), std::vector<std::uint32_t>{1});
    // The broken record ends block 0's records; the run goes on in block 1.
    EXPECT_EQ(Walk(table, 3), (std::vector<std::uint32_t>{3, 3, 3, 3, 3}));
    EXPECT_EQ(Walk(table, 4), std::vector<std::uint32_t>{4});
}

TEST_F(FieldTableFile, RefusesUnsafeHeaders) {
    const std::size_t goodSize = Signposts().Build().size();
    const struct {
        const char* name;
        std::uint32_t version;
        FieldTableFileFaults faults;
    } rows[] = {
        {"version one below the minimum", 4022001, {}},
        {"magic", 4022002, {.magic = 0x012CC175}},
        {"block size 0", 4022002, {.blockSize = 0}},
        {"block count beyond the file", 4022002, {.blockCount = 1000}},
        {"huge block count", 4022002, {.blockCount = 0xFFFFFFFF}},
        {"field count above 64", 4022002, {.fieldCount = 65}},
        {"unknown field type", 4022002, {.firstTypeCode = 17}},
        {"collation variant", 4022002, {.collationVariant = 9}},
        {"key splits a field", 4022002, {.keySize = 2}},
        {"key index cut", 4022002, {.fileSize = goodSize - 1}},
        {"short header", 4022002, {.fileSize = 151}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FieldTableFileWriter writer = Signposts();
        writer.SetVersion(row.version).SetFaults(row.faults);
        ASSERT_TRUE(m_root.WriteFile(u"\\bad.fsx", writer.Build()));
        FsxTable table(m_cache);
        platform::DebugOutputCapture capture;
        EXPECT_FALSE(table.OpenMapped(u"\\bad.fsx"));
        EXPECT_TRUE(capture.Contains(u"\\bad.fsx: "));
        EXPECT_FALSE(table.IsOpen());
        EXPECT_EQ(table.GetColumnList(), nullptr);
        EXPECT_FALSE(table.Find(Key(20), false).IsValid());
    }
    FsxTable table(m_cache);
    EXPECT_FALSE(table.OpenMapped(u"\\missing.fsx"));
    EXPECT_FALSE(table.OpenArchived(u"\\missing.fsx"));
}

TEST_F(FieldTableFile, WithoutRecordsFindsNothing) {
    Put(u"\\none.fsx", FieldTableFileWriter({ColumnType::UInt32}));
    FsxTable table(m_cache);
    ASSERT_TRUE(table.OpenMapped(u"\\none.fsx"));
    EXPECT_EQ(table.GetRecordCount(), 0u);
    EXPECT_FALSE(table.Find(Key(1), false).IsValid());
    table.Close();
    EXPECT_FALSE(table.IsOpen());
}

} // namespace
