#include "testdata/tempdir.h"
#include "utilities/usefulcode/directorywalker.h"

#include <gtest/gtest.h>

namespace {

using Paths = std::vector<std::u16string>;

class DirectoryWalkerTest : public ::testing::Test {
protected:
    // A data folder: "/kwa", "/db" and "/maps" (and "/tmc").
    void MakeDataFolder(const std::u16string& folder) {
        for (const char16_t* part : {u"\\kwa", u"\\db", u"\\maps", u"\\tmc"}) {
            ASSERT_TRUE(m_root.MakeFolder(folder + part));
        }
    }

    // Every match of a walk as "<folder>\<name>", "." and ".." left out.
    static Paths Walk(const std::u16string& start, const std::u16string& pattern,
                      bool isRecursive) {
        Paths matches;
        DirectoryWalker walker(start, pattern, isRecursive);
        for (bool hasMatch = walker.HasMatch(); hasMatch; hasMatch = walker.Next()) {
            const std::u16string_view name = walker.Match().cFileName;
            if (name != u"." && name != u"..") {
                matches.push_back(walker.CurrentDirectory() + u"\\" + std::u16string(name));
            }
        }
        return matches;
    }

    testdata::TempDeviceRoot m_root;
};

TEST_F(DirectoryWalkerTest, WalksDepthFirstInPreOrderAndSkipsDotFolders) {
    for (const char16_t* file : {u"\\t\\a.txt", u"\\t\\b\\c.txt", u"\\t\\b\\d\\e.txt",
                                 u"\\t\\f\\g.txt", u"\\t\\.hidden\\h.txt", u"\\t\\f\\x.dat"}) {
        ASSERT_TRUE(m_root.WriteFile(file, std::string_view("x")));
    }
    EXPECT_EQ(Walk(u"\\t", u"*.txt", true),
              (Paths{u"\\t\\a.txt", u"\\t\\b\\c.txt", u"\\t\\b\\d\\e.txt", u"\\t\\f\\g.txt"}));
    EXPECT_EQ(Walk(u"\\t", u"*.txt", false), (Paths{u"\\t\\a.txt"}));
    EXPECT_EQ(Walk(u"\\t\\f", u"*", false), (Paths{u"\\t\\f\\g.txt", u"\\t\\f\\x.dat"}));
    EXPECT_TRUE(Walk(u"\\t\\a.txt", u"*", true).empty()) << "a file is no start folder";
    EXPECT_TRUE(Walk(u"\\missing", u"*", true).empty());
}

TEST_F(DirectoryWalkerTest, EnumeratesDataFoldersStartFolderFirst) {
    MakeDataFolder(u"\\data");
    MakeDataFolder(u"\\data\\sub\\set1");
    MakeDataFolder(u"\\data\\.dotset");
    MakeDataFolder(u"\\data\\.dotset\\inner");
    MakeDataFolder(u"\\data\\sub\\.hidden\\set2");
    ASSERT_TRUE(m_root.MakeFolder(u"\\data\\sub\\notdata\\kwa"));
    ASSERT_TRUE(m_root.MakeFolder(u"\\data\\sub\\notdata\\maps"));

    const Paths expected = {u"\\data", u"\\data\\.dotset", u"\\data\\sub\\set1"};
    for (const std::u16string start : {u"\\data", u"\\data\\", u"/data/"}) {
        SCOPED_TRACE(std::string(start.begin(), start.end()));
        Paths folders;
        EnumDatasetFolders(start, folders);
        if (start == u"/data/") {
            EXPECT_EQ(folders.front(), u"/data");
            EXPECT_EQ(folders.size(), expected.size());
        } else {
            EXPECT_EQ(folders, expected);
        }
    }
    EXPECT_TRUE(IsDatasetFolder(u"\\DATA\\SUB\\SET1\\"));
    EXPECT_FALSE(IsDatasetFolder(u"\\data\\sub\\notdata"));
}

TEST_F(DirectoryWalkerTest, LinkCyclesEndAndListEachFolderOnce) {
    MakeDataFolder(u"\\data");
    MakeDataFolder(u"\\data\\sub\\set1");
    std::error_code error;
    std::filesystem::create_directory_symlink(m_root.HostPathOf(u"\\data"),
                                              m_root.HostPathOf(u"\\data\\sub\\loop"), error);
    if (error) {
        GTEST_SKIP() << "the host file system makes no links: " << error.message();
    }
    Paths folders;
    EnumDatasetFolders(u"\\data", folders);
    EXPECT_EQ(folders, (Paths{u"\\data", u"\\data\\sub\\set1"}));

    ASSERT_TRUE(m_root.WriteFile(u"\\data\\sub\\set1\\maps\\a.lvl", std::string_view("x")));
    EXPECT_EQ(Walk(u"\\data", u"*.lvl", true), (Paths{u"\\data\\sub\\set1\\maps\\a.lvl"}));
}

TEST_F(DirectoryWalkerTest, DescentStopsAtTheDepthLimit) {
    std::u16string folder = u"\\d";
    for (std::size_t level = 0; level < DirectoryWalker::kMaxDepth + 8; ++level) {
        ASSERT_TRUE(m_root.WriteFile(folder + u"\\f.txt", std::string_view("x")));
        folder += u"\\a";
    }
    EXPECT_EQ(Walk(u"\\d", u"*.txt", true).size(), DirectoryWalker::kMaxDepth);
}

} // namespace
