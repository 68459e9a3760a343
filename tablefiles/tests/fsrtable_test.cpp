#include "tablefiles/fsrtable.h"
#include "testdata/archivewriter.h"
#include "testdata/tablefilewriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/cache/sfsmountset.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/kernel/debug.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using testdata::TableFileFaults;
using testdata::TableFileWriter;

template <typename T> std::vector<std::uint8_t> Key(T value) {
    std::vector<std::uint8_t> bytes(sizeof(T));
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

std::uint32_t U32(const std::uint8_t* bytes) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, 4);
    return value;
}

class TableFile : public ::testing::Test {
protected:
    // The arena stays for the whole program: a test's blocks live until its fixture is gone.
    void SetUp() override {
        if (!MemoryArena::Shared().HoldsMemory()) {
            ASSERT_TRUE(MemoryArena::Shared().Reserve(4 << 20));
        }
    }

    void Put(const std::u16string& name, const TableFileWriter& writer) {
        const std::vector<std::uint8_t> bytes = writer.Build();
        ASSERT_FALSE(bytes.empty());
        ASSERT_TRUE(m_root.WriteFile(name, bytes));
    }

    // Ids 0 .. count - 1 in a u32 column with a u32 payload of id * 3; 128 records per block.
    TableFileWriter Numbers(std::uint32_t count) {
        TableFileWriter writer({ColumnType::UInt32, ColumnType::UInt32});
        for (std::uint32_t id = 0; id < count; ++id) {
            writer.AddRow({std::int64_t{id}, std::int64_t{id} * 3});
        }
        return writer;
    }

    testdata::TempDeviceRoot m_root;
    BlockCachePtr m_cache = BlockCache::Create(64);
};

TEST_F(TableFile, WithoutRecordsOpensAndFindsNothing) {
    Put(u"\\db\\empty.fsr", TableFileWriter({ColumnType::UInt32}));
    FsrTable table(m_cache);
    ASSERT_TRUE(table.OpenMapped(u"\\db\\empty.fsr"));
    EXPECT_TRUE(table.IsOpen());
    EXPECT_EQ(table.GetRecordCount(), 0u);
    EXPECT_EQ(table.GetBlockCount(), 0u);
    const auto key = Key<std::uint32_t>(0);
    EXPECT_FALSE(table.GetRecord(0).IsValid());
    EXPECT_FALSE(table.Find(key, false).IsValid());
    EXPECT_FALSE(table.Find(key, true).IsValid());
    EXPECT_FALSE(table.FindRecord(key, false).IsValid());
    EXPECT_FALSE(table.FindRows(FieldValue(5, key.data()), false).IsValid());
}

TEST_F(TableFile, OpensMappedPlainAndFromAnArchiveAlike) {
    const TableFileWriter writer = Numbers(1000);
    Put(u"\\db\\ids.fsr", writer);
    testdata::ArchiveWriter archive;
    ASSERT_TRUE(archive.AddMember("packed.fsr", writer.Build()));
    ASSERT_TRUE(archive.WriteTo(m_root.HostPathOf(u"\\db\\data.sfs")));
    ASSERT_TRUE(m_root.InstallModule(u"ziVur.dll"));
    SfsMountSet mounts;
    ASSERT_TRUE(mounts.Mount(u"\\db\\data.sfs"));

    FsrTable mapped(m_cache);
    FsrTable plain(m_cache);
    FsrTable archived(m_cache);
    ASSERT_TRUE(mapped.OpenMapped(u"\\DB\\IDS.FSR"));
    ASSERT_TRUE(plain.OpenPlain(u"\\db\\ids.fsr"));
    ASSERT_TRUE(archived.OpenArchived(u"\\db\\packed.fsr"));
    EXPECT_FALSE(FsrTable(m_cache).OpenArchived(u"\\db\\ids.fsr"));
    for (FsrTable* table : {&mapped, &plain, &archived}) {
        EXPECT_EQ(table->GetBlockCount(), 8u);
        for (const std::uint32_t id : {0u, 127u, 128u, 999u}) {
            SCOPED_TRACE(id);
            const FsrKeyRange range = table->Find(Key(id), false);
            ASSERT_TRUE(range.IsValid());
            EXPECT_EQ(range.GetRecordNumber(), id);
            EXPECT_EQ(U32(range.GetRecord() + 4), id * 3);
        }
        EXPECT_FALSE(table->Find(Key<std::uint32_t>(1000), false).IsValid());
    }
    archived.Close();
    plain.Close();
    mapped.Close();
    EXPECT_TRUE(mounts.UnmountAll());
}

TEST_F(TableFile, WalksEveryRecordAcrossBlocks) {
    Put(u"\\t.fsr", Numbers(300));
    FsrTable table(m_cache);
    ASSERT_TRUE(table.OpenMapped(u"\\t.fsr"));
    std::uint32_t expected = 0;
    for (FsrRecord record = table.GetRecord(0); record.IsValid(); record.Next()) {
        ASSERT_EQ(U32(record.GetRecord()), expected);
        EXPECT_EQ(record.GetRecordNumber(), expected);
        ++expected;
    }
    EXPECT_EQ(expected, 300u);
    EXPECT_EQ(U32(table.GetRecord(129).GetRecord()), 129u);
    EXPECT_FALSE(table.GetRecord(300).IsValid());
}

TEST_F(TableFile, EqualRunStartsInThePreviousBlock) {
    // 128 records per block; key 500 occupies records 120 .. 140 and 600 occupies 141 .. 540.
    TableFileWriter writer({ColumnType::Int32, ColumnType::UInt32});
    for (std::int64_t i = 0; i < 120; ++i) {
        writer.AddRow({i - 200, i});
    }
    for (std::int64_t i = 0; i < 21; ++i) {
        writer.AddRow({500, 20 - i});
    }
    for (std::int64_t i = 0; i < 400; ++i) {
        writer.AddRow({600, i});
    }
    writer.AddRow({700, 0});
    Put(u"\\runs.fsr", writer);
    FsrTable table(m_cache);
    ASSERT_TRUE(table.OpenMapped(u"\\runs.fsr"));

    const struct {
        std::int32_t key;
        std::uint32_t first;
        std::uint32_t count;
    } runs[] = {{500, 120, 21}, {600, 141, 400}, {700, 541, 1}, {-200, 0, 1}, {-81, 119, 1}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.key);
        FsrKeyRange range = table.Find(Key(run.key), false);
        ASSERT_TRUE(range.IsValid());
        EXPECT_EQ(range.GetRecordNumber(), run.first);
        std::uint32_t count = 0;
        for (; range.IsValid(); range.Next()) {
            EXPECT_EQ(static_cast<std::int32_t>(U32(range.GetRecord())), run.key);
            if (run.key == 500) { // equal keys in the order of the rest of the record
                EXPECT_EQ(U32(range.GetRecord() + 4), count);
            }
            ++count;
        }
        EXPECT_EQ(count, run.count);
    }
    for (const std::int32_t missing : {-201, 499, 501, 650, 701}) {
        EXPECT_FALSE(table.Find(Key(missing), false).IsValid()) << missing;
    }
}

TEST_F(TableFile, FloorLookupFollowsTheLastRecordRule) {
    // Keys 10, 20, ..., 3000 in 24 blocks of 128 records.
    TableFileWriter writer({ColumnType::Int32});
    for (std::int64_t key = 10; key <= 3000; key += 10) {
        writer.AddRow({key});
    }
    writer.SetRecordSize(8);
    Put(u"\\floor.fsr", writer);
    FsrTable table(m_cache);
    ASSERT_TRUE(table.OpenMapped(u"\\floor.fsr"));
    const struct {
        std::int32_t key;
        std::int32_t found; // 0: nothing
    } rows[] = {{5, 0},       {10, 10},     {15, 10},     {1285, 1280}, {1280, 1280},
                {1289, 1280}, {1290, 1290}, {2985, 2980}, {2990, 2990}, {2995, 2990},
                {3000, 0},    {99999, 0},   {-5, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        const FsrRecord record = table.FindRecord(Key(row.key), false);
        ASSERT_EQ(record.IsValid(), row.found != 0);
        if (record.IsValid()) {
            EXPECT_EQ(static_cast<std::int32_t>(U32(record.GetRecord())), row.found);
        }
    }
}

TEST_F(TableFile, SecondaryOrderFindsTextsByPrefix) {
    TableFileWriter writer({ColumnType::Text16, ColumnType::UInt16}, CollationVariant::German);
    const char* names[] = {"Bach", "Bad",    "Bad Ems",  "Baden",  "Badenweiler",
                           "Bade", "Berlin", "\xc4rzen", "Aachen", "bad"};
    std::int64_t number = 0;
    for (const char* name : names) {
        writer.AddRow({std::string(name), number++});
    }
    Put(u"\\names.fsr", writer);
    FsrTable table(m_cache);
    ASSERT_TRUE(table.OpenMapped(u"\\names.fsr"));

    const auto collect = [&table](const char* text, bool secondary) {
        FieldValue key(static_cast<std::uint32_t>(ColumnType::Text16), nullptr);
        key.SetText(text);
        std::vector<std::string> found;
        for (FsrRowRange rows = table.FindRows(key, secondary); rows.IsValid(); rows.Next()) {
            found.emplace_back(rows.GetValue(0).AsText());
        }
        return found;
    };
    EXPECT_EQ(collect("Bad", true),
              (std::vector<std::string>{"Bad", "Bad Ems", "Bade", "Baden", "Badenweiler"}));
    EXPECT_EQ(collect("Bad", false), (std::vector<std::string>{"Bad"}));
    EXPECT_EQ(collect("B", true).size(), 7u);
    EXPECT_EQ(collect("\xc4", true), (std::vector<std::string>{"\xc4rzen"}));
    EXPECT_TRUE(collect("Bx", true).empty());
    // Upper case sorts before lower case and Ä right after A.
    std::vector<std::string> order;
    for (FsrRecord record = table.GetRecord(0); record.IsValid(); record.Next()) {
        order.emplace_back(reinterpret_cast<const char*>(record.GetRecord()));
    }
    EXPECT_EQ(order.front(), "Aachen");
    EXPECT_EQ(order[1], "\xc4rzen");
    EXPECT_EQ(order.back(), "bad");
}

TEST_F(TableFile, EachCollationVariantOrdersAndFindsItsWay) {
    const struct {
        const char* search;
        const char* last; // the last record in the variant's order
        CollationVariant variant;
        bool isFound;
    } rows[] = {{"M\334NCHEN", "\334berlingen", CollationVariant::CodeOrder, false},
                {"M\334NCHEN", "\334berlingen", CollationVariant::CaseFolded, true},
                {"m\374nchen", "ulm", CollationVariant::German, true},
                {"M\334NCHEN", "Zwickau", CollationVariant::GermanCaseFolded, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.variant));
        TableFileWriter writer({ColumnType::Text32}, row.variant);
        for (const char* name : {"m\374nchen", "Zwickau", "Aalen", "\334berlingen", "ulm"}) {
            writer.AddRow({std::string(name)});
        }
        Put(u"\\c.fsr", writer);
        FsrTable table(m_cache);
        ASSERT_TRUE(table.OpenMapped(u"\\c.fsr"));
        EXPECT_STREQ(reinterpret_cast<const char*>(table.GetRecord(0).GetRecord()), "Aalen");
        EXPECT_STREQ(reinterpret_cast<const char*>(table.GetRecord(4).GetRecord()), row.last);
        FieldValue key(static_cast<std::uint32_t>(ColumnType::Text32), nullptr);
        key.SetText(row.search);
        EXPECT_EQ(table.FindRows(key, false).IsValid(), row.isFound);
        // Records are in the table's order: every neighbour pair ascends or ties.
        const KeyComparatorList order(row.variant, *table.GetColumnList(), false);
        FsrRecord previous = table.GetRecord(0);
        for (FsrRecord record = table.GetRecord(1); record.IsValid(); record.Next()) {
            EXPECT_LE(order.Compare(previous.GetRecordBytes(), record.GetRecordBytes()), 0);
            previous = record;
        }
        table.Close();
    }
}

TEST_F(TableFile, ReadsEveryColumnType) {
    const std::vector<ColumnType> types = {
        ColumnType::Int8,    ColumnType::UInt8,   ColumnType::Int16,   ColumnType::UInt16,
        ColumnType::Int32,   ColumnType::UInt32,  ColumnType::Float32, ColumnType::Float64,
        ColumnType::Text8,   ColumnType::Text16,  ColumnType::Text32,  ColumnType::Text64,
        ColumnType::Text128, ColumnType::Text256, ColumnType::Int64,   ColumnType::UInt64};
    TableFileWriter writer(types);
    writer.SetBlockSize(1024);
    writer.AddRow({std::int64_t{-5}, std::int64_t{250}, std::int64_t{-30000}, std::int64_t{65000},
                   std::int64_t{-2000000000}, std::int64_t{4000000000}, 1.5, -2.25,
                   std::string("ABCDEFGH"), std::string("sixteen"), std::string("thirty-two"),
                   std::string(64, 'x'), std::string("Stra\337e"), std::string(300, 'y'),
                   std::int64_t{-9000000000000}, std::int64_t{-1}});
    writer.AddRow({std::int64_t{7}});
    Put(u"\\all.fsr", writer);
    FsrTable table(m_cache);
    ASSERT_TRUE(table.OpenMapped(u"\\all.fsr"));
    ASSERT_TRUE(table.HasColumnTypes(types.data(), 16));

    std::int8_t keyValue = -5;
    const FsrRowRange rows =
        table.FindRows(FieldValue(0, reinterpret_cast<const std::uint8_t*>(&keyValue)), false);
    ASSERT_TRUE(rows.IsValid());
    const std::int64_t integers[] = {-5, 250, -30000, 65000, -2000000000, 4000000000};
    for (std::uint32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(rows.GetValue(i).AsInteger(), integers[i]) << i;
        EXPECT_EQ(rows.GetValue(i).GetType(), types[i]);
    }
    EXPECT_EQ(rows.GetValue(6).AsDouble(), 1.5);
    EXPECT_EQ(rows.GetValue(7).AsDouble(), -2.25);
    EXPECT_EQ(rows.GetValue(8).AsText(), "ABCDEFGH");
    EXPECT_EQ(rows.GetValue(9).AsText(), "sixteen");
    EXPECT_EQ(rows.GetValue(10).AsText(), "thirty-two");
    EXPECT_EQ(rows.GetValue(11).AsText(), std::string(64, 'x'));
    EXPECT_EQ(rows.GetValue(12).AsText(), "Stra\337e");
    EXPECT_EQ(rows.GetValue(13).AsText(), std::string(256, 'y'));
    EXPECT_EQ(rows.GetValue(13).AsKey().length, 256u);
    EXPECT_EQ(rows.GetValue(14).AsInteger(), -9000000000000);
    EXPECT_EQ(static_cast<std::uint64_t>(rows.GetValue(15).AsInteger()), ~std::uint64_t{0});
    EXPECT_FALSE(rows.GetValue(16).IsValid());
}

TEST_F(TableFile, ChecksColumnTypesExactly) {
    Put(u"\\two.fsr", Numbers(3));
    FsrTable table(m_cache);
    const ColumnType two[] = {ColumnType::UInt32, ColumnType::UInt32};
    const ColumnType other[] = {ColumnType::UInt32, ColumnType::Int32};
    EXPECT_FALSE(table.HasColumnTypes(two, 2));
    ASSERT_TRUE(table.OpenMapped(u"\\two.fsr"));
    EXPECT_TRUE(table.HasColumnTypes(two, 2));
    EXPECT_FALSE(table.HasColumnTypes(two, 1));
    EXPECT_FALSE(table.HasColumnTypes(other, 2));
    table.Close();
    EXPECT_FALSE(table.HasColumnTypes(two, 2));
}

TEST_F(TableFile, ReadsScrambledAndPlainKeyIndexes) {
    const struct {
        std::uint32_t version;
        bool isScrambled;
        bool readsScrambled;
    } rows[] = {{9021997, true, true}, {9021997, false, false}, {9021996, true, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.version);
        TableFileWriter writer = Numbers(2000);
        writer.SetVersion(row.version).SetScrambled(row.isScrambled);
        Put(u"\\s.fsr", writer);
        FsrTable table(m_cache);
        ASSERT_TRUE(table.OpenMapped(u"\\s.fsr"));
        EXPECT_EQ(table.IsKeyIndexScrambled(), row.readsScrambled);
        for (std::uint32_t id = 0; id < 2000; id += 97) {
            const FsrKeyRange range = table.Find(Key(id), false);
            ASSERT_TRUE(range.IsValid()) << id;
            EXPECT_EQ(range.GetRecordNumber(), id);
        }
    }
}

TEST(KeyIndex, DescramblesWholeWordsFromTheFirstGeneratedState) {
    std::uint8_t keys[6] = {1, 2, 3, 4, 5, 6};
    FsrKeyIndex::Descramble(keys, sizeof keys);
    const std::uint32_t state = FsrKeyIndex::kKeyStreamSeed * FsrKeyIndex::kKeyStreamMultiplier +
                                FsrKeyIndex::kKeyStreamIncrement;
    EXPECT_EQ(U32(keys), 0x04030201u ^ state);
    EXPECT_EQ(keys[4], 5);
    EXPECT_EQ(keys[5], 6);
    FsrKeyIndex::Descramble(keys, sizeof keys);
    EXPECT_EQ(U32(keys), 0x04030201u);
}

TEST_F(TableFile, GrowsTheCacheOnlyForBlocksOfAKilobyteOrMore) {
    const struct {
        std::uint16_t blockSize;
        std::uint32_t version;
        std::uint32_t capacityKb;
    } rows[] = {{512, 9021996, 0}, {1024, 9021997, 1}, {4096, 9021997, 4}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.blockSize);
        TableFileWriter writer = Numbers(10);
        writer.SetBlockSize(row.blockSize).SetVersion(row.version);
        Put(u"\\g.fsr", writer);
        const BlockCachePtr empty = BlockCache::Create(0);
        FsrTable table(empty);
        FsrTable shared(m_cache);
        ASSERT_TRUE(table.OpenMapped(u"\\g.fsr"));
        ASSERT_TRUE(shared.OpenMapped(u"\\g.fsr"));
        EXPECT_EQ(table.Find(Key<std::uint32_t>(9), false).GetRecordNumber(), 9u);
        EXPECT_EQ(shared.Find(Key<std::uint32_t>(9), false).GetRecordNumber(), 9u);
        EXPECT_EQ(empty->GetLruList().GetCapacity(), row.capacityKb * 1024);
        EXPECT_EQ(m_cache->GetLruList().GetCapacity(), 64u * 1024);
    }
    // The private cache starts at 0 KB and grows with the table's blocks.
    TableFileWriter writer = Numbers(10);
    writer.SetBlockSize(2048);
    Put(u"\\p.fsr", writer);
    FsrTable privateCache;
    ASSERT_TRUE(privateCache.OpenPlain(u"\\p.fsr"));
    EXPECT_EQ(privateCache.Find(Key<std::uint32_t>(3), false).GetRecordNumber(), 3u);
}

TEST_F(TableFile, KeysShorterThanTheirColumnsAreNotReadPast) {
    Put(u"\\k.fsr", Numbers(500));
    FsrTable table(m_cache);
    ASSERT_TRUE(table.OpenMapped(u"\\k.fsr"));
    const std::vector<std::uint8_t> halfKey = {7, 0};
    // The first column is not whole inside the key, so every record compares equal.
    const FsrKeyRange range = table.Find(halfKey, false);
    ASSERT_TRUE(range.IsValid());
    EXPECT_EQ(range.GetRecordNumber(), 0u);
    // A key of no columns is a prefix of every record.
    EXPECT_EQ(table.Find(ByteSpan(), false).GetRecordNumber(), 0u);
    // A key of both columns picks one record.
    std::vector<std::uint8_t> both = Key<std::uint32_t>(40);
    const auto payload = Key<std::uint32_t>(120);
    both.insert(both.end(), payload.begin(), payload.end());
    EXPECT_EQ(table.Find(both, false).GetRecordNumber(), 40u);
    EXPECT_EQ(table.FindRecord(both, false).GetRecordNumber(), 40u);
}

TEST_F(TableFile, RefusesUnsafeHeadersAndStaysClean) {
    const std::size_t goodSize = Numbers(300).Build().size();
    const struct {
        const char16_t* reason; // part of the debug line that names the refused file
        TableFileFaults faults;
    } rows[] = {
        {u"unknown magic", {.magic = 0x012BB328}},
        {u"block size 0", {.blockSize = 0}},
        {u"record size 0", {.recordSize = 0}},
        {u"record size 1025 exceeds block size 1024", {.recordSize = 1025}},
        {u"columns of 8 bytes exceed the record size 6", {.recordSize = 6}},
        {u"key size 12 does not fit", {.keySize = 12}},
        {u"key size 6 does not fit", {.keySize = 6}},
        {u"557 records need", {.recordCount = 301 + 128 * 2}},
        {u"4294967295 records need", {.recordCount = 0xFFFFFFFF}},
        // One record per block and no key bytes: the block count plus one needs 33 bits.
        {u"4294967295 records need", {.blockSize = 8, .keySize = 0, .recordCount = 0xFFFFFFFF}},
        {u"column count 129", {.columnCount = 129}},
        {u"column type is unknown", {.firstTypeCode = 16}},
        {u"collation variant 4", {.collationVariant = 4}},
        {u"300 records need", {.fileSize = goodSize - 1}},
        {u"header shorter than 550 bytes", {.fileSize = 549}},
        {u"header shorter than 550 bytes", {.fileSize = 0}},
    };
    Put(u"\\good.fsr", Numbers(300));
    for (const auto& row : rows) {
        SCOPED_TRACE(
            std::string(row.reason, row.reason + std::char_traits<char16_t>::length(row.reason)));
        TableFileWriter writer = Numbers(300);
        writer.SetFaults(row.faults);
        ASSERT_TRUE(m_root.WriteFile(u"\\bad.fsr", writer.Build()));
        FsrTable table(m_cache);
        ASSERT_TRUE(table.OpenMapped(u"\\good.fsr"));
        for (const bool isPlain : {false, true}) {
            platform::DebugOutputCapture capture;
            EXPECT_FALSE(isPlain ? table.OpenPlain(u"\\bad.fsr") : table.OpenMapped(u"\\bad.fsr"));
            EXPECT_TRUE(capture.Contains(u"\\bad.fsr: "));
            EXPECT_TRUE(capture.Contains(row.reason));
            EXPECT_FALSE(table.IsOpen());
            EXPECT_EQ(table.GetRecordCount(), 0u);
            EXPECT_EQ(table.GetColumnList(), nullptr);
            EXPECT_FALSE(table.GetRecord(0).IsValid());
            EXPECT_FALSE(table.Find(Key<std::uint32_t>(1), false).IsValid());
        }
        ASSERT_TRUE(table.OpenMapped(u"\\good.fsr"));
        EXPECT_EQ(table.Find(Key<std::uint32_t>(299), false).GetRecordNumber(), 299u);
    }
    EXPECT_FALSE(FsrTable(m_cache).OpenMapped(u"\\missing.fsr"));
    EXPECT_FALSE(FsrTable(m_cache).OpenMapped(u""));
    TableFileWriter oldVersion = Numbers(3);
    oldVersion.SetVersion(9021995);
    Put(u"\\old.fsr", oldVersion);
    platform::DebugOutputCapture capture;
    EXPECT_FALSE(FsrTable(m_cache).OpenMapped(u"\\old.fsr"));
    EXPECT_TRUE(capture.Contains(u"\\old.fsr: version 9021995 is below 9021996"));
}

TEST_F(TableFile, CursorsOutliveAClosedTablesSharedFile) {
    Put(u"\\c.fsr", Numbers(300));
    FsrTable first(m_cache);
    FsrTable second(m_cache);
    ASSERT_TRUE(first.OpenMapped(u"\\c.fsr"));
    ASSERT_TRUE(second.OpenMapped(u"\\C.FSR"));
    first.Close();
    EXPECT_EQ(second.Find(Key<std::uint32_t>(200), false).GetRecordNumber(), 200u);
    FsrKeyRange range = second.Find(Key<std::uint32_t>(5), false);
    FsrKeyRange copy = range;
    copy.Next();
    EXPECT_FALSE(copy.IsValid());
    EXPECT_TRUE(range.IsValid());
    EXPECT_EQ(U32(range.GetRecord()), 5u);
}

} // namespace
