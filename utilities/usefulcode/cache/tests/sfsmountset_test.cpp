#include "testdata/archivewriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/cache/sfsfile.h"
#include "utilities/usefulcode/cache/sfslibrary.h"
#include "utilities/usefulcode/cache/sfsmountset.h"

#include "platform/sfs/sfs.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

class SfsMountSetTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_root.InstallModule(u"ziVur.dll")); }

    // An archive with one member "<stem>.txt" holding the text "<stem> data".
    void WriteArchive(const std::u16string& devicePath, const std::string& stem,
                      testdata::ArchiveFault fault = testdata::ArchiveFault::None) {
        testdata::ArchiveWriter writer;
        ASSERT_TRUE(writer.AddMember(stem + ".txt", stem + " data"));
        ASSERT_TRUE(m_root.WriteFile(devicePath, writer.Build(fault)));
    }

    testdata::TempDeviceRoot m_root;
};

bool CanOpen(const std::u16string& path) {
    SfsFile file;
    return file.Open(path, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                     FileHint::None);
}

TEST(ArchiveFolder, IsThePathBeforeItsLastSeparator) {
    const struct {
        std::u16string_view path;
        std::u16string_view folder;
    } cases[] = {{u"\\Maps\\a.sfs", u"\\Maps"},
                 {u"/Maps/sub\\b.sfs", u"/Maps/sub"},
                 {u"a.sfs", u"a.sfs"},
                 {u"\\a.sfs", u""},
                 {u"\\Maps\\", u"\\Maps"}};
    for (const auto& c : cases) {
        EXPECT_EQ(ArchiveFolderOf(c.path), c.folder);
    }
}

TEST_F(SfsMountSetTest, MountsAnArchiveOnceAndOneUnmountAllReleasesIt) {
    WriteArchive(u"\\Maps\\a.sfs", "a");
    SfsMountSet owner;
    EXPECT_TRUE(owner.Mount(u"\\Maps\\a.sfs"));
    EXPECT_FALSE(owner.Mount(u"\\Maps\\a.sfs"));
    EXPECT_EQ(owner.GetFolders(), std::set<std::u16string>{u"\\Maps"});
    EXPECT_TRUE(owner.IsMounted(u"\\Maps\\a.sfs"));
    EXPECT_TRUE(owner.IsMounted(u""));
    EXPECT_TRUE(CanOpen(u"\\Maps\\a.txt"));

    EXPECT_TRUE(owner.UnmountAll());
    EXPECT_FALSE(owner.IsMounted(u"\\Maps\\a.sfs"));
    EXPECT_FALSE(owner.IsMounted(u""));
    EXPECT_FALSE(CanOpen(u"\\Maps\\a.txt"));
    EXPECT_FALSE(owner.UnmountAll());
}

TEST_F(SfsMountSetTest, ComparesArchivePathsExactly) {
    WriteArchive(u"\\Maps\\a.sfs", "a");
    SfsMountSet owner;
    EXPECT_TRUE(owner.Mount(u"\\Maps\\a.sfs"));
    EXPECT_FALSE(owner.IsMounted(u"\\MAPS\\A.SFS"));
    EXPECT_TRUE(owner.UnmountAll());
}

TEST_F(SfsMountSetTest, TwoArchivesInOneFolderShareOneFolderAndLeaveTogether) {
    WriteArchive(u"\\Maps\\a.sfs", "a");
    WriteArchive(u"\\Maps\\b.sfs", "b");
    SfsMountSet owner;
    ASSERT_TRUE(owner.Mount(u"\\Maps\\a.sfs"));
    ASSERT_TRUE(owner.Mount(u"\\Maps\\b.sfs"));
    EXPECT_EQ(owner.GetFolders(), std::set<std::u16string>{u"\\Maps"});
    EXPECT_TRUE(CanOpen(u"\\Maps\\a.txt"));
    EXPECT_TRUE(CanOpen(u"\\Maps\\b.txt"));

    EXPECT_TRUE(owner.UnmountAll());
    EXPECT_TRUE(owner.GetFolders().empty());
    EXPECT_FALSE(owner.IsMounted(u"\\Maps\\a.sfs"));
    EXPECT_FALSE(owner.IsMounted(u"\\Maps\\b.sfs"));
    EXPECT_FALSE(CanOpen(u"\\Maps\\b.txt"));
}

TEST_F(SfsMountSetTest, AnArchiveOfAnotherOwnerIsMountedButNotHeld) {
    WriteArchive(u"\\Maps\\a.sfs", "a");
    SfsMountSet first;
    SfsMountSet second;
    ASSERT_TRUE(first.Mount(u"\\Maps\\a.sfs"));
    EXPECT_FALSE(second.Mount(u"\\Maps\\a.sfs"));
    EXPECT_TRUE(second.IsMounted(u"\\Maps\\a.sfs"));
    EXPECT_FALSE(second.IsMounted(u""));
    EXPECT_FALSE(second.UnmountAll());
    EXPECT_TRUE(CanOpen(u"\\Maps\\a.txt"));
}

TEST_F(SfsMountSetTest, UnmountingAFolderReleasesTheArchivesOfEveryOwnerThere) {
    WriteArchive(u"\\Maps\\a.sfs", "a");
    WriteArchive(u"\\Maps\\b.sfs", "b");
    SfsMountSet first;
    SfsMountSet second;
    ASSERT_TRUE(first.Mount(u"\\Maps\\a.sfs"));
    ASSERT_TRUE(second.Mount(u"\\Maps\\b.sfs"));
    EXPECT_TRUE(first.UnmountAll());
    EXPECT_FALSE(second.IsMounted(u"\\Maps\\b.sfs"));
    EXPECT_FALSE(CanOpen(u"\\Maps\\b.txt"));
    // The second owner still lists its folder; unmounting it again finds nothing.
    EXPECT_TRUE(second.IsMounted(u""));
    EXPECT_FALSE(second.UnmountAll());
}

TEST_F(SfsMountSetTest, AFailedMountLeavesNothingMountedSoALaterMountWorks) {
    WriteArchive(u"\\Maps\\a.sfs", "a", testdata::ArchiveFault::BadMagic);
    SfsMountSet owner;
    EXPECT_FALSE(owner.Mount(u"\\Maps\\a.sfs"));
    EXPECT_FALSE(owner.IsMounted(u"\\Maps\\a.sfs"));
    EXPECT_FALSE(owner.IsMounted(u""));
    EXPECT_FALSE(owner.Mount(u"\\Maps\\missing.sfs"));
    EXPECT_FALSE(owner.IsMounted(u"\\Maps\\missing.sfs"));

    WriteArchive(u"\\Maps\\a.sfs", "a");
    EXPECT_TRUE(owner.Mount(u"\\Maps\\a.sfs"));
    EXPECT_TRUE(CanOpen(u"\\Maps\\a.txt"));
}

TEST_F(SfsMountSetTest, AnEmptyPathOnlyLoadsTheLibrary) {
    SfsMountSet owner;
    EXPECT_FALSE(owner.Mount(u""));
    EXPECT_NE(SfsLibrary::Get(), nullptr);
    EXPECT_TRUE(owner.GetFolders().empty());
}

TEST_F(SfsMountSetTest, AFailedLibraryUnmountKeepsTheFolderAndThePaths) {
    WriteArchive(u"\\Maps\\a.sfs", "a");
    SfsMountSet owner;
    ASSERT_TRUE(owner.Mount(u"\\Maps\\a.sfs"));
    // Unmounted behind the set's back, so the library refuses the set's own unmount.
    ASSERT_NE(SfsLibrary::Get()->Functions().unmount(u"\\Maps"), 0);
    EXPECT_FALSE(owner.UnmountAll());
    EXPECT_TRUE(owner.IsMounted(u"\\Maps\\a.sfs"));
    EXPECT_EQ(owner.GetFolders(), std::set<std::u16string>{u"\\Maps"});
    // Mounted again at the library, the set's unmount goes through.
    ASSERT_EQ(SfsLibrary::Get()->Functions().mount(u"\\Maps\\a.sfs", u"\\Maps", 0, 0, 0), 1);
    EXPECT_TRUE(owner.UnmountAll());
    EXPECT_FALSE(owner.IsMounted(u"\\Maps\\a.sfs"));
}

TEST_F(SfsMountSetTest, DestructionUnmounts) {
    WriteArchive(u"\\Maps\\a.sfs", "a");
    {
        SfsMountSet owner;
        ASSERT_TRUE(owner.Mount(u"\\Maps\\a.sfs"));
    }
    SfsMountSet other;
    EXPECT_FALSE(other.IsMounted(u"\\Maps\\a.sfs"));
    EXPECT_TRUE(other.Mount(u"\\Maps\\a.sfs"));
}

TEST_F(SfsMountSetTest, OwnersOnSeveralThreadsMountAndUnmountTheirOwnFolders) {
    constexpr int kThreads = 8;
    for (int t = 0; t < kThreads; ++t) {
        const std::u16string folder = u"\\F" + std::u16string(1, static_cast<char16_t>(u'0' + t));
        WriteArchive(folder + u"\\x.sfs", "x" + std::to_string(t));
    }
    std::vector<int> results(kThreads, 0);
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &results] {
            const std::u16string folder =
                u"\\F" + std::u16string(1, static_cast<char16_t>(u'0' + t));
            const std::u16string member =
                folder + u"\\x" + std::u16string(1, static_cast<char16_t>(u'0' + t)) + u".txt";
            for (int round = 0; round < 20; ++round) {
                SfsMountSet owner;
                if (owner.Mount(folder + u"\\x.sfs") && CanOpen(member) && owner.UnmountAll() &&
                    !owner.IsMounted(folder + u"\\x.sfs")) {
                    ++results[static_cast<std::size_t>(t)];
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(results[static_cast<std::size_t>(t)], 20) << t;
    }
}

} // namespace

TEST_F(SfsMountSetTest, MountsEveryArchiveOfAFolderButNotFoldersOrOtherFiles) {
    WriteArchive(u"\\Net\\a.sfs", "a");
    WriteArchive(u"\\Net\\b.SFS", "b");
    WriteArchive(u"\\Net\\inner\\c.sfs", "c");
    ASSERT_TRUE(m_root.MakeFolder(u"\\Net\\d.sfs"));
    ASSERT_TRUE(m_root.WriteFile(u"\\Net\\e.txt", "e"));
    SfsMountSet owner;
    EXPECT_EQ(MountSfsArchivesInFolder(owner, u"\\Net"), 2u);
    EXPECT_TRUE(CanOpen(u"\\Net\\a.txt"));
    EXPECT_TRUE(CanOpen(u"\\Net\\b.txt"));
    EXPECT_FALSE(CanOpen(u"\\Net\\c.txt"));
    EXPECT_EQ(MountSfsArchivesInFolder(owner, u"\\Net\\"), 0u); // mounted already
    EXPECT_EQ(MountSfsArchivesInFolder(owner, u"\\Missing"), 0u);
}
