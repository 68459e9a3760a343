#include "advisor/advisorconfiguration.h"
#include "testdata/advisorwriter.h"
#include "testdata/memorybytefile.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

namespace {

using testdata::ConfigTextFault;
using testdata::ConfigTextWriter;

std::vector<std::string> ContentLines(const std::string& bytes) {
    testdata::MemoryByteFile file(bytes);
    std::vector<std::string> lines;
    for (std::string line = AdvisorConfiguration::ReadContentLine(&file);;
         line = AdvisorConfiguration::ReadContentLine(&file)) {
        lines.push_back(line);
        if (line == "EOF") {
            return lines;
        }
    }
}

TEST(AdvisorConfigurationLines, EndOnlyAtCrLfAndSkipBlanksAndComments) {
    const struct {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\tb\r\n", {"ab", "EOF"}},
        {"x\r\ny", {"x", "y", "EOF"}}, // a last line without CR LF is kept
        {"x\r", {"x", "EOF"}},
        {"x\ny\r\n", {"x\ny", "EOF"}}, // LF alone does not end a line
        {"a\rb\r\n", {"ab", "EOF"}},   // a lone CR is dropped
        {"\t\t\r\n\r\nk\r\n", {"k", "EOF"}},
        {"#c\r\n;x;y\r\nk;v\r\n", {"k;v", "EOF"}},
        {"k\r\nEOF\r\nm\r\n", {"k", "EOF"}},
        {"EOF", {"EOF"}},
        {"", {"EOF"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(ContentLines(c.bytes), c.lines);
    }
    EXPECT_EQ(AdvisorConfiguration::ReadTextLine(nullptr), "");
    EXPECT_EQ(AdvisorConfiguration::ReadContentLine(nullptr), "EOF");
}

// Lines are read ahead in blocks: after each line the file stands just after its CR LF, also
// where a line, its CR or its LF meets a block's edge.
TEST(AdvisorConfigurationLines, LeaveTheFileJustAfterEachLine) {
    const auto repeat = [](std::size_t count) { return std::string(count, 'x'); };
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"short lines", "a\r\nbc\r\n\r\nd"},
        {"CR last in the block", repeat(255) + "\r\nnext\r\n"},
        {"LF first in the next block", repeat(254) + "\r\n" + repeat(300) + "\r\n"},
        {"lone CR at the block's edge", repeat(255) + "\ry\r\nz"},
        {"CR at the end of the file", repeat(255) + "\r"},
        {"a line over several blocks", repeat(700) + "\t\r\n" + repeat(3) + "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::MemoryByteFile file(c.bytes);
        std::size_t from = 0;
        for (std::string line = AdvisorConfiguration::ReadTextLine(&file); line != "EOF";
             line = AdvisorConfiguration::ReadTextLine(&file)) {
            const std::size_t end = c.bytes.find("\r\n", from);
            const std::size_t after = end == std::string::npos ? c.bytes.size() : end + 2;
            std::string expected =
                c.bytes.substr(from, (end == std::string::npos ? after : end) - from);
            std::erase(expected, '\t');
            if (!expected.empty() && expected.back() == '\r') {
                expected.pop_back();
            }
            std::erase_if(expected, [](char ch) { return ch == '\r'; });
            EXPECT_EQ(line, expected);
            EXPECT_EQ(file.Seek(0, SeekOrigin::Current), after);
            from = after;
        }
        EXPECT_EQ(from, c.bytes.size());
    }
}

TEST(AdvisorConfigurationLines, CellsRunToTheNextSemicolonAndAreEmptyPastTheEnd) {
    const struct {
        std::string text;
        std::vector<std::string> cells; // the first four
    } cases[] = {
        {"a;b", {"a", "b", "", ""}},       {"a;b;", {"a", "b", "", ""}},
        {";;", {"", "", "", ""}},          {"", {"", "", "", ""}},
        {" a ; b", {" a ", " b", "", ""}}, {"k;;v", {"k", "", "v", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CellSplitter cells(c.text);
        std::vector<std::string> got;
        for (int i = 0; i < 4; ++i) {
            got.push_back(cells.Next());
        }
        EXPECT_EQ(got, c.cells);
    }
}

TEST(AdvisorConfigurationLines, KeyValueRowsTakeTheirColumnAndKeepTheFirstValue) {
    const std::string bytes = ConfigTextWriter()
                                  .Row({"Turn", "links", "left", "gauche"})
                                  .Row({"Turn", "rechts", "right"})
                                  .Row({"Short", "nur"})
                                  .Row({"Caf\xE9", "\xFC"})
                                  .Build();
    const struct {
        unsigned column;
        AdvisorConfiguration::Table table;
    } cases[] = {
        {0, {{u"Turn", u"links"}, {u"Short", u"nur"}, {u"Caf\u00E9", u"\u00FC"}}},
        {2, {{u"Turn", u"gauche"}, {u"Short", u""}, {u"Caf\u00E9", u""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        testdata::MemoryByteFile file(bytes);
        AdvisorConfiguration::Table table;
        EXPECT_TRUE(AdvisorConfiguration::LoadKeyValueTable(&file, table, c.column));
        EXPECT_EQ(table, c.table);
    }
}

// What a loaded configuration holds, for comparing two loads.
struct Loaded {
    bool hasGeneral = false;
    bool hasDestinations = false;
    bool hasDecisions = false;
    AdvisorConfiguration::Table general;
    AdvisorConfiguration::Table phrases;
    AdvisorConfiguration::Table destinations;
    std::vector<std::u16string> conditions;
    bool operator==(const Loaded&) const = default;
};

Loaded Load(const std::u16string& folder) {
    AdvisorConfiguration configuration;
    DecisionTableStore store;
    Loaded loaded;
    loaded.hasGeneral = configuration.LoadGeneralProperties(folder);
    EXPECT_TRUE(configuration.LoadPhraseTables(folder, 1));
    loaded.hasDestinations = configuration.LoadDestinationPhrases(folder, 0);
    loaded.hasDecisions = configuration.LoadDecisionTables(folder, store);
    EXPECT_EQ(configuration.GetDecisionTables(), loaded.hasDecisions ? &store : nullptr);
    loaded.general = configuration.GetGeneralSettings();
    loaded.phrases = configuration.GetPhraseTable();
    loaded.destinations = configuration.GetDestinationPhrases();
    loaded.conditions = store.GetConditions(u"T_Street");
    return loaded;
}

std::vector<testdata::NamedFile> DataSet(ConfigTextFault fault) {
    return {
        {"General.properties", ConfigTextWriter()
                                   .Comment(" sectors")
                                   .Row({"Sector1", "20"})
                                   .Row({"Sector1", "99"})
                                   .Build(fault)},
        {"SOA.csv", ConfigTextWriter().Row({"Turn", "m", "[TurnSOA]"}).Build(fault)},
        {"SpokenDistances.csv", ConfigTextWriter()
                                    .Row({"Turn", "m", "[TurnSD]"})
                                    .Row({"In100", "m", "[In100m]"})
                                    .Build(fault)},
        {"RouteNumbers.csv",
         ConfigTextWriter().Row({"In100", "m", "[RN]"}).Row({"A1", "m", "[A] [1]"}).Build(fault)},
        {"SOD.csv", ConfigTextWriter().Row({"Arrive", "[Arrived]"}).Build(fault)},
        {"DecisionTables.csv", ConfigTextWriter()
                                   .Module("T_Street", {"Relative_Direction_Of_TS", "StreetType"})
                                   .Value({"Left", "1"}, "TurnLeft")
                                   .Build(fault)},
    };
}

TEST(AdvisorConfigurationFiles, LoadAlikePlainInArchivesAndInEveryLineForm) {
    const Loaded expected{true,
                          true,
                          true,
                          {{u"Sector1", u"20"}},
                          {{u"Turn", u"[TurnSOA]"}, {u"In100", u"[In100m]"}, {u"A1", u"[A] [1]"}},
                          {{u"Arrive", u"[Arrived]"}},
                          {u"Relative_Direction_Of_TS", u"StreetType"}};
    const struct {
        const char* name;
        ConfigTextFault fault;
        bool isArchived;
        std::u16string_view place; // where the files go
        std::u16string folder;     // what the advisor is given
    } cases[] = {
        {"plain under the root", ConfigTextFault::None, false, u"\\ConfigFiles", u"\\"},
        {"archive under the root", ConfigTextFault::None, true, u"\\ConfigFiles", u""},
        {"plain in a folder", ConfigTextFault::TabsAroundCells, false, u"\\Data\\Adv",
         u"\\data\\adv"},
        {"archive named as folder", ConfigTextFault::NoFinalLineEnd, true, u"\\storage\\cfg",
         u"\\storage\\cfg\\advisor.sfs"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
        const std::u16string place(c.place);
        const auto files = DataSet(c.fault);
        if (c.isArchived) {
            ASSERT_TRUE(
                root.WriteFile(place + u"\\Advisor.sfs", testdata::BuildConfigArchive(files)));
        } else {
            for (const auto& file : files) {
                const std::u16string name(file.name.begin(), file.name.end());
                ASSERT_TRUE(root.WriteFile(place + u"\\" + name, file.bytes));
            }
        }
        EXPECT_EQ(Load(c.folder), expected);
    }
}

TEST(AdvisorConfigurationFiles, MissingFilesFailOnlyTheLoadersThatNeedThem) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
    ASSERT_TRUE(root.MakeFolder(u"\\ConfigFiles"));
    EXPECT_EQ(Load(u"\\"), Loaded{});
    AdvisorConfiguration configuration;
    EXPECT_FALSE(configuration.OpenConfigFile(u"\\", u"SOA.csv"));
    EXPECT_FALSE(configuration.GetArchives().IsMounted(u""));
}

TEST(AdvisorConfigurationFiles, ArchiveStaysMountedUntilTheConfigurationGoes) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
    ASSERT_TRUE(root.WriteFile(u"\\Cfg\\Advisor.sfs",
                               testdata::BuildConfigArchive(DataSet(ConfigTextFault::None))));
    {
        AdvisorConfiguration configuration;
        EXPECT_TRUE(configuration.OpenConfigFile(u"\\cfg\\advisor.sfs", u"SOD.csv"));
        EXPECT_TRUE(configuration.GetArchives().IsMounted(u"\\CFG\\ADVISOR.SFS"));
        // Without ".SFS" in the folder no archive is named: the one mounted already serves.
        EXPECT_TRUE(configuration.OpenConfigFile(u"\\cfg", u"SOA.csv"));
        EXPECT_FALSE(configuration.OpenConfigFile(u"\\cfg", u"Missing.csv"));
    }
    AdvisorConfiguration later;
    EXPECT_FALSE(later.GetArchives().IsMounted(u"\\Cfg\\Advisor.sfs"));
}

} // namespace
