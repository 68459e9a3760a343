#include "testdata/tempdir.h"
#include "testdata/tmctableswriter.h"
#include "traffic/tmcdatabase.h"
#include "utilities/usefulcode/filecheck.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/messagebox.h"
#include "platform/shell/modulepath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t Code(std::uint32_t location) {
    return MakeTmcLocationCode(1, 1, location);
}

class TmcDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.InstallModule(u"ziVur.dll"));
        // Archive members are read into blocks of the shared arena.
        if (!MemoryArena::Shared().HoldsMemory()) {
            ASSERT_TRUE(MemoryArena::Shared().Reserve(4 << 20));
        }
        platform::SetExecutablePath(u"\\Program\\Navigator.exe");
        m_database = CreateTmcDatabase(BlockCache::Create(256));
        ASSERT_TRUE(m_database);
    }
    void TearDown() override { platform::SetExecutablePath(u""); }

    testdata::TempDeviceRoot m_root;
    TmcDatabasePtr m_database;
};

TEST_F(TmcDatabaseTest, LoadsFromFolderArchivesOrProgramFolder) {
    enum class Form { Folder, Archive, ProgramFolder, ProgramFolderArchives };
    const testdata::TmcTablesWriter writer(testdata::TmcSampleTables());
    for (Form form :
         {Form::Folder, Form::Archive, Form::ProgramFolder, Form::ProgramFolderArchives}) {
        SCOPED_TRACE(static_cast<int>(form));
        const std::u16string data = u"\\Data" + std::u16string(1, u'0' + static_cast<int>(form));
        switch (form) {
        case Form::Folder:
            ASSERT_TRUE(writer.WriteFolder(m_root, data, true));
            break;
        case Form::Archive:
            ASSERT_TRUE(writer.WriteArchive(m_root, data, u"tmc.sfs"));
            break;
        case Form::ProgramFolder:
            ASSERT_TRUE(writer.WriteFolder(m_root, u"\\Program\\tmc", false));
            ASSERT_TRUE(writer.WriteArchive(m_root, data, u"cookies.sfs", {"Loc2Cookie.fsr"}));
            break;
        case Form::ProgramFolderArchives:
            // Only the cookie rows in the data folder, only the rest in the program folder.
            ASSERT_TRUE(writer.WriteArchive(m_root, data, u"cookies.sfs", {"Loc2Cookie.fsr"}));
            ASSERT_TRUE(
                writer.WriteArchive(m_root, u"\\Program\\tmc", u"tables.sfs",
                                    {"Events.fsr", "Loc2Area.fsr", "Loc2Chain.fsr", "Loc2First.fsr",
                                     "Loc2Line.fsr", "Loc2RoadName.fsr", "Loc2RoadNum.fsr",
                                     "Loc2Type.fsr", "Loc2Second.fsr", "EUC2SFN.fsr"}));
            break;
        }
        ASSERT_TRUE(m_database->Load(data));
        EXPECT_TRUE(m_database->IsLoaded());
        const TmcLocationPtr point = m_database->FindLocation(Code(104));
        ASSERT_TRUE(point);
        EXPECT_EQ(point->GetFirstName(), "Kreuz");
        EXPECT_EQ(point->GetRoadName(), "Ring");
        EXPECT_EQ(point->GetAreaName(), "Hamburg");
        EXPECT_EQ(point->GetLineCode(), Code(100));
        EXPECT_EQ(point->GetCountry(), 1);
        EXPECT_EQ(point->GetTable(), 1);
        // The cookie rows read after their archive was unmounted again.
        std::vector<std::uint32_t> ids;
        EXPECT_TRUE(point->GetElementIds(true, 0, ids, true, true));
        EXPECT_EQ(ids.size(), 4U);
        const TmcEventPtr event = m_database->FindEvent(401);
        ASSERT_TRUE(event);
        EXPECT_EQ(event->GetText(), "gesperrt");
        EXPECT_EQ(event->GetSignName(), "Sperrung.bmp");
        EXPECT_EQ(event->GetAttribute136(), 0);
        EXPECT_FALSE(m_database->FindEvent(999));
        EXPECT_FALSE(m_database->FindLocation(Code(999)));
        m_database->Unload();
        EXPECT_FALSE(m_database->IsLoaded());
        EXPECT_FALSE(m_database->FindEvent(401));
    }
}

// A table that is there but refused is named in the file-check box; a missing one is not.
TEST_F(TmcDatabaseTest, AcceptsOnlyTheKnownLayoutsAndStopsAtTheFirstMissingTable) {
    const struct {
        testdata::TmcTablesKnobs knobs;
        bool isLoaded;
        bool hasEvents;     // opened before the failure
        const char* zeroed; // a table overwritten with zeros at its size, or none
        const char* named;  // the table the file-check box names, or none
    } cases[] = {
        {{0, 0, false, "", false}, true, true, "", ""},
        {{1, 1, false, "", false}, true, true, "", ""},
        {{0, 0, true, "", false}, false, true, "", "Loc2Type.fsr"},
        {{0, 0, false, "Loc2Line.fsr", false}, false, true, "", ""},
        {{0, 0, false, "Events.fsr", false}, false, false, "", ""},
        {{0, 0, false, "Loc2Cookie.fsr", false}, false, false, "", ""},
        {{0, 0, false, "EUC2SFN.fsr", false}, false, true, "", ""},
        {{0, 0, false, "", false}, false, true, "Loc2Line.fsr", "Loc2Line.fsr"},
        {{0, 0, false, "", false}, false, false, "Loc2Cookie.fsr", "Loc2Cookie.fsr"},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(index);
        ForgetFileCheckMessages();
        platform::ClearRecordedMessageBoxes();
        const std::u16string data = u"\\D" + std::u16string(1, u'0' + index++);
        ASSERT_TRUE(testdata::TmcTablesWriter(testdata::TmcSampleTables(), c.knobs)
                        .WriteFolder(m_root, data, true));
        const std::u16string zeroed = data + u"\\" + platform::AnsiToWide(c.zeroed);
        if (*c.zeroed != '\0') {
            const auto size = std::filesystem::file_size(m_root.HostPathOf(zeroed));
            ASSERT_TRUE(m_root.WriteFile(zeroed, std::string(size, '\0')));
        }
        EXPECT_EQ(m_database->Load(data), c.isLoaded);
        std::vector<std::string> boxes;
        for (const auto& box : platform::RecordedMessageBoxes()) {
            boxes.push_back(platform::WideToAnsi(box.text));
        }
        ASSERT_EQ(boxes.size(), *c.named != '\0' ? 1u : 0u);
        if (!boxes.empty()) {
            EXPECT_NE(boxes[0].find("\\" + std::string(c.named) + ", file size: "),
                      std::string::npos)
                << boxes[0];
        }
        EXPECT_EQ(m_database->IsLoaded(), c.isLoaded);
        EXPECT_EQ(static_cast<bool>(m_database->FindEvent(101)), c.hasEvents);
        m_database->Unload();
        EXPECT_FALSE(m_database->FindEvent(101));
    }
}

TEST_F(TmcDatabaseTest, ReadsTextsWithoutNulUpToTheColumnEnd) {
    testdata::TmcTablesKnobs knobs;
    knobs.unterminatedNames = true;
    ASSERT_TRUE(testdata::TmcTablesWriter(testdata::TmcSampleTables(), knobs)
                    .WriteFolder(m_root, u"\\Data", true));
    ASSERT_TRUE(m_database->Load(u"\\Data"));
    const TmcLocationPtr point = m_database->FindLocation(Code(101));
    ASSERT_TRUE(point);
    EXPECT_EQ(point->GetFirstName(), "Nord" + std::string(60, 'x'));
}

TEST_F(TmcDatabaseTest, ChainsFollowNeighboursUntilNoneOrNoRow) {
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    // 110 -> 111 -> 112 (no chain row) and back.
    model.locations.push_back({Code(110), 0, 0, 0, "", "", "", "", 0, 0, true, Code(111), 0});
    model.locations.push_back({Code(111), 0, 0, 0, "", "", "", "", 0, 0, true, Code(112), 0});
    model.locations.push_back({Code(112), 0, 0, 0, "", "", "", "", 0, 0, false, 0, 0});
    ASSERT_TRUE(testdata::TmcTablesWriter(model).WriteFolder(m_root, u"\\Data", true));
    ASSERT_TRUE(m_database->Load(u"\\Data"));
    const struct {
        std::uint32_t from;
        bool direction;
        std::uint32_t count;
        bool result;
        std::vector<std::uint32_t> codes;
    } cases[] = {
        {101, true, 3, true, {Code(101), Code(102), Code(103), Code(104)}},
        {104, true, 3, true, {Code(104), Code(105)}},
        {103, false, 1, true, {Code(103), Code(102)}},
        {101, false, 2, true, {Code(101)}},
        {110, true, 3, true, {Code(110), Code(111)}},
        {100, true, 3, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        const TmcLocationPtr location = m_database->FindLocation(Code(c.from));
        ASSERT_TRUE(location);
        std::vector<std::uint32_t> codes;
        EXPECT_EQ(location->GetChain(c.direction, c.count, codes), c.result);
        EXPECT_EQ(codes, c.codes);
    }
}

TEST_F(TmcDatabaseTest, ElementIdsFollowTheSidesOfTheStretch) {
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    // Flags with the affected bits 1 (q 1), 2 (q 3), 0 and negative (q 2).
    model.cookies.push_back({Code(200), 7, static_cast<std::int16_t>(2 | 1 << 2)});
    model.cookies.push_back({Code(200), 8, static_cast<std::int16_t>(3 | 2 << 2)});
    model.cookies.push_back({Code(200), 9, 2});
    model.cookies.push_back({Code(200), 10, -2}); // side 2, f >> 2 = -1
    ASSERT_TRUE(testdata::TmcTablesWriter(model).WriteFolder(m_root, u"\\Data", true));
    ASSERT_TRUE(m_database->Load(u"\\Data"));
    constexpr std::uint32_t kQ1 = 4U << 28; // sample rows: affected bits 1
    const struct {
        std::uint32_t from;
        bool direction;
        std::uint32_t extent;
        bool mark, all;
        std::vector<std::uint32_t> ids;
    } cases[] = {
        {101, true, 0, false, false, {1002 | kQ1 | 2U << 28}},
        {101, false, 0, false, false, {1003 | kQ1 | 3U << 28}},
        {101,
         true,
         2,
         false,
         false,
         {1000 | kQ1, 1010 | kQ1, 1012 | kQ1 | 2U << 28, 1022 | kQ1 | 2U << 28}},
        {103,
         false,
         2,
         false,
         false,
         {1021 | kQ1 | 1U << 28, 1011 | kQ1 | 1U << 28, 1013 | kQ1 | 3U << 28,
          1003 | kQ1 | 3U << 28}},
        {105,
         true,
         0,
         true,
         true,
         {1040 | 1U << 31, 1041 | 1U << 31, 1042 | 1U << 31, 1043 | 1U << 31}},
        {105, true, 1, false, false, {}},
        {200,
         true,
         0,
         false,
         false,
         {7 | (2 + 4 * 1U) << 28, 9 | (2 + 4 * 2U) << 28, 10 | (2 + 4 * 2U) << 28}},
        {200,
         false,
         0,
         false,
         true,
         {7 | (2 + 4 * 1U) << 28, 8 | (3 + 4 * 3U) << 28, 9 | (2 + 4 * 2U) << 28,
          10 | (2 + 4 * 2U) << 28}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " " << c.direction << " " << c.extent);
        const TmcLocationPtr location = m_database->FindLocation(Code(c.from));
        ASSERT_TRUE(location);
        std::vector<std::uint32_t> ids;
        EXPECT_EQ(location->GetElementIds(c.direction, c.extent, ids, c.mark, c.all),
                  !c.ids.empty());
        EXPECT_EQ(ids, c.ids);
    }
}

TEST_F(TmcDatabaseTest, LineAlongRoadNamesTheElementsBetweenItsPoints) {
    // Five elements along x, the second and fourth digitised against the road; crossings after
    // the second and the third: points 501 (start), 502, 503, 504 (end).
    const std::vector<testdata::TmcRoadElement> road = {
        {11, 0, 0, 1, 0}, {12, 2, 0, 1, 0}, {13, 2, 0, 3, 0}, {14, 4, 0, 3, 0}, {15, 4, 0, 5, 0}};
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    const testdata::TmcRoadLine line =
        testdata::TmcLineAlongRoad(model, road, {1, 2}, Code(500), Code(501), "Landstrasse", "28");
    ASSERT_EQ(line.points,
              (std::vector<std::uint32_t>{Code(501), Code(502), Code(503), Code(504)}));
    ASSERT_TRUE(testdata::TmcTablesWriter(model).WriteFolder(m_root, u"\\Data", true));
    ASSERT_TRUE(m_database->Load(u"\\Data"));
    // Classes: side + 4 q, q 1 along the digitising, 3 against it.
    constexpr auto Along = [](std::uint32_t id, std::uint32_t side) {
        return id | (side + 4) << 28;
    };
    constexpr auto Against = [](std::uint32_t id, std::uint32_t side) {
        return id | (side + 12) << 28;
    };
    const struct {
        std::uint32_t from;
        bool direction;
        std::uint32_t extent;
        std::vector<std::uint32_t> ids;
    } cases[] = {
        {501, true, 2, {Along(11, 0), Against(12, 0), Along(13, 0)}},
        {501, true, 9, {Along(11, 0), Against(12, 0), Along(13, 0), Against(14, 0), Along(15, 0)}},
        {503, true, 1, {Against(14, 0), Along(15, 0)}},
        {504, false, 1, {Against(15, 1), Along(14, 1)}},
        {503, false, 2, {Against(13, 1), Along(12, 1), Against(11, 1)}},
        {502, true, 0, {}},
        {504, true, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " " << c.direction << " " << c.extent);
        const TmcLocationPtr location = m_database->FindLocation(Code(c.from));
        ASSERT_TRUE(location);
        std::vector<std::uint32_t> ids;
        EXPECT_EQ(location->GetElementIds(c.direction, c.extent, ids, false, false),
                  !c.ids.empty());
        EXPECT_EQ(ids, c.ids);
    }
    const TmcLocationPtr point = m_database->FindLocation(Code(502));
    ASSERT_TRUE(point);
    EXPECT_EQ(point->GetFirstName(), "Landstrasse 2");
    EXPECT_EQ(point->GetRoadNumber(), "28");
    EXPECT_EQ(point->GetLineCode(), Code(500));
    std::uint8_t typeClass = 9;
    ASSERT_TRUE(m_database->FindLocation(Code(500))->GetTypeClass(typeClass));
    EXPECT_EQ(typeClass, 1);
}

} // namespace
