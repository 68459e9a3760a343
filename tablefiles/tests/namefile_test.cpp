#include "tablefiles/namefile.h"
#include "testdata/archivewriter.h"
#include "testdata/namefilewriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using testdata::NameFileWriter;

class NameFileTest : public ::testing::Test {
protected:
    // The arena stays for the whole program: a test's blocks live until its fixture is gone.
    void SetUp() override {
        if (!MemoryArena::Shared().HoldsMemory()) {
            ASSERT_TRUE(MemoryArena::Shared().Reserve(1 << 20));
        }
    }

    void Put(const NameFileWriter& writer, const std::u16string& base = u"\\maps\\set") {
        ASSERT_TRUE(m_root.WriteFile(base + u".nam", writer.Build()));
        ASSERT_TRUE(m_names.Open(base));
    }

    testdata::TempDeviceRoot m_root;
    BlockCachePtr m_cache = BlockCache::Create(64);
    std::shared_ptr<SfsMountSet> m_mounts = std::make_shared<SfsMountSet>();
    NameFile m_names{m_cache, m_mounts};
};

TEST_F(NameFileTest, ReadsMainTextAndItsForms) {
    NameFileWriter writer;
    const std::uint32_t plain = writer.Add("Hauptstra\337e", 1);
    const std::uint32_t forms = writer.Add("Am Markt/Marktplatz/Alter Markt", 2);
    const std::uint32_t noPrimary = writer.Add("/Ring", 3);
    const std::uint32_t empty = writer.Add("", 4);
    const std::uint32_t euro = writer.Add("\x80 5", 5);
    Put(writer);

    const struct {
        std::uint32_t offset;
        const char16_t* name;
        const char16_t* raw;
        const char16_t* alternatives; // null: none
    } rows[] = {{plain, u"Hauptstra\u00dfe", u"Hauptstra\u00dfe", nullptr},
                {forms, u"Am Markt/Marktplatz/Alter Markt", u"Am Markt/Marktplatz/Alter Markt",
                 u"Marktplatz/Alter Markt"},
                {noPrimary, u"Ring", u"/Ring", u"Ring"},
                {empty, u"", u"", nullptr},
                {euro, u"\u20ac 5", u"\u20ac 5", nullptr}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.offset);
        std::u16string text = u"unchanged";
        ASSERT_TRUE(m_names.GetName(row.offset, text));
        EXPECT_EQ(text, row.name);
        ASSERT_TRUE(m_names.GetRawName(row.offset, text));
        EXPECT_EQ(text, row.raw);
        text = u"unchanged";
        EXPECT_EQ(m_names.GetAlternativeNames(row.offset, text), row.alternatives != nullptr);
        EXPECT_EQ(text, row.alternatives != nullptr ? row.alternatives : u"unchanged");
    }
}

TEST_F(NameFileTest, NoNameOffsetLeavesTheTextUnchanged) {
    NameFileWriter writer;
    (void)writer.Add("x");
    Put(writer);
    std::u16string text = u"kept";
    std::u16string main = u"kept";
    std::int16_t code = 5;
    EXPECT_FALSE(m_names.GetName(NameFile::kNoName, text));
    EXPECT_FALSE(m_names.GetNameForCode(NameFile::kNoName, text, main, code));
    EXPECT_EQ(text, u"kept");
    EXPECT_EQ(main, u"kept");
    EXPECT_EQ(code, 5);
    std::vector<std::int16_t> codes = {1};
    m_names.GetCodes(codes, NameFile::kNoName);
    EXPECT_TRUE(codes.empty());
}

TEST_F(NameFileTest, FindsTheTextForACode) {
    NameFileWriter writer;
    const std::uint32_t offset =
        writer.Add("/Rue Neuve", 7, {{"Nieuwstraat", 3}, {"Neue Strasse", 9}, {"Minus", -20}});
    Put(writer);
    const struct {
        std::int16_t code;
        std::int16_t codeAfter;
        const char16_t* text;
    } rows[] = {{3, 3, u"Nieuwstraat"},  {9, 9, u"Neue Strasse"}, {7, 107, u"Rue Neuve"},
                {4, 107, u"Rue Neuve"},  {0, 107, u"Rue Neuve"},  {-20, 107, u"Rue Neuve"},
                {236, 107, u"Rue Neuve"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        std::u16string text;
        std::u16string main;
        std::int16_t code = row.code;
        ASSERT_TRUE(m_names.GetNameForCode(offset, text, main, code));
        EXPECT_EQ(text, row.text);
        EXPECT_EQ(main, u"Rue Neuve");
        EXPECT_EQ(code, row.codeAfter);
    }
    std::vector<std::int16_t> codes;
    m_names.GetCodes(codes, offset);
    EXPECT_EQ(codes, (std::vector<std::int16_t>{3, 9, -20}));
}

TEST_F(NameFileTest, ReadsNamesInLaterBlocksAndFromArchives) {
    NameFileWriter writer;
    std::vector<std::uint32_t> offsets;
    offsets.reserve(200);
    for (int i = 0; i < 200; ++i) {
        offsets.push_back(writer.Add(std::to_string(i) + std::string(100, '.'), 1));
    }
    ASSERT_GT(offsets.back(), 2 * NameFile::kBlockSize);
    Put(writer);
    std::u16string text;
    ASSERT_TRUE(m_names.GetName(offsets[150], text));
    EXPECT_EQ(text.substr(0, 4), u"150.");

    testdata::ArchiveWriter archive;
    ASSERT_TRUE(archive.AddMember("packed.nam", writer.Build()));
    ASSERT_TRUE(archive.WriteTo(m_root.HostPathOf(u"\\maps\\set.sfs")));
    NameFile fromArchive(m_cache, m_mounts);
    EXPECT_FALSE(fromArchive.Open(u"\\maps\\packed"));
    ASSERT_TRUE(m_root.InstallModule(u"ziVur.dll"));
    ASSERT_TRUE(m_mounts->Mount(u"\\maps\\set.sfs"));
    ASSERT_TRUE(fromArchive.Open(u"\\maps\\packed"));
    ASSERT_TRUE(fromArchive.GetName(offsets[199], text));
    EXPECT_EQ(text.substr(0, 4), u"199.");
    fromArchive.Close();
    EXPECT_FALSE(fromArchive.IsOpen());
    EXPECT_FALSE(fromArchive.GetName(offsets[0], text));
}

TEST_F(NameFileTest, ALastBlockCutShortStillHoldsNames) {
    NameFileWriter writer;
    writer.SetPadLastBlock(false);
    std::vector<std::uint32_t> offsets;
    offsets.reserve(100);
    for (int i = 0; i < 100; ++i) {
        offsets.push_back(writer.Add(std::to_string(i) + std::string(100, '-'), 1));
    }
    ASSERT_GT(offsets.back(), NameFile::kBlockSize);
    ASSERT_NE(writer.GetSize() % NameFile::kBlockSize, 0u);
    ASSERT_TRUE(m_root.WriteFile(u"\\maps\\loose.nam", writer.Build()));
    testdata::ArchiveWriter archive;
    ASSERT_TRUE(archive.AddMember("short.nam", writer.Build()));
    ASSERT_TRUE(archive.WriteTo(m_root.HostPathOf(u"\\maps\\short.sfs")));
    ASSERT_TRUE(m_root.InstallModule(u"ziVur.dll"));
    ASSERT_TRUE(m_mounts->Mount(u"\\maps\\short.sfs"));

    NameFile fromArchive(m_cache, m_mounts);
    ASSERT_TRUE(fromArchive.Open(u"\\maps\\short"));
    NameFile loose(m_cache, m_mounts);
    ASSERT_TRUE(loose.Open(u"\\maps\\loose"));
    for (NameFile* names : {&fromArchive, &loose}) {
        std::u16string text;
        ASSERT_TRUE(names->GetName(offsets.back(), text));
        EXPECT_EQ(text.substr(0, 3), u"99-");
    }
}

TEST_F(NameFileTest, ReadsStayInsideTheBlockAndTheFile) {
    NameFileWriter writer;
    writer.SetPadLastBlock(false);
    const std::uint32_t good = writer.Add("Good", 1, {{"Other", 2}});
    // A length byte of 200 with two bytes left in the block.
    const std::uint32_t pastBlock = writer.AddAtBlockEnd({200, 'a', 'b'});
    // A record whose end mark would lie in the next block.
    const std::uint32_t noEndMark = writer.AddAtBlockEnd({3, 'a', 'b', 'c', 1, 2, 'x', 'y', 5});
    // A further text running past the block.
    const std::uint32_t furtherPast = writer.AddAtBlockEnd({1, 'a', 1, 90, 'b'});
    const std::uint32_t last = writer.Add("Last", 1);
    Put(writer);
    std::u16string text;
    ASSERT_TRUE(m_names.GetName(good, text));
    ASSERT_TRUE(m_names.GetName(last, text));
    EXPECT_EQ(text, u"Last");
    text = u"kept";
    for (const std::uint32_t offset : {pastBlock, writer.GetSize(), writer.GetSize() - 1,
                                       writer.GetSize() + 9000, 0xFFFFFFFEu}) {
        SCOPED_TRACE(offset);
        EXPECT_FALSE(m_names.GetName(offset, text));
        EXPECT_FALSE(m_names.GetRawName(offset, text));
    }
    EXPECT_EQ(text, u"kept");
    // The main texts read, but the walks for codes run out of the block.
    for (const std::uint32_t offset : {noEndMark, furtherPast}) {
        SCOPED_TRACE(offset);
        EXPECT_TRUE(m_names.GetName(offset, text));
        std::u16string main;
        std::int16_t code = 50;
        EXPECT_FALSE(m_names.GetNameForCode(offset, text, main, code));
        EXPECT_EQ(code, 50);
        std::vector<std::int16_t> codes = {1};
        m_names.GetCodes(codes, offset);
        EXPECT_TRUE(codes.empty());
    }
}

// A record without its end mark inside its block (zeroed, or reaching into the next block) marks
// the file damaged, told once, though its main text still reads; sound records do not.
TEST_F(NameFileTest, ARecordWithoutItsEndMarkMarksTheFileDamaged) {
    NameFileWriter writer;
    const std::uint32_t good = writer.Add("Good", 1, {{"Other", 2}});
    const std::uint32_t empty = writer.Add("", 4);
    const std::uint32_t zeroed = writer.AddRaw(std::vector<std::uint8_t>(64, 0));
    const std::uint32_t noEndMark = writer.AddAtBlockEnd({3, 'a', 'b', 'c', 1, 2, 'x', 'y', 5});
    Put(writer);
    const struct {
        const char* name;
        std::uint32_t offset;
        bool isDamaged;
    } cases[] = {{"whole", good, false},
                 {"empty main text", empty, false},
                 {"zeroed", zeroed, true},
                 {"end mark in the next block", noEndMark, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(m_names.Open(u"\\maps\\set"));
        std::u16string text;
        EXPECT_TRUE(m_names.GetName(c.offset, text));
        EXPECT_EQ(m_names.TakeDamagedFile().empty(), !c.isDamaged);
        EXPECT_TRUE(m_names.TakeDamagedFile().empty());
    }
}

TEST_F(NameFileTest, MissingFileIsClosed) {
    EXPECT_FALSE(m_names.Open(u"\\maps\\none"));
    EXPECT_FALSE(m_names.IsOpen());
    std::u16string text;
    EXPECT_FALSE(m_names.GetName(0, text));
}

} // namespace
