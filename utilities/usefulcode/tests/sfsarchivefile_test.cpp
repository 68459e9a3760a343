#include "testdata/archivewriter.h"
#include "testdata/freshprocess.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/cache/sfsmountset.h"
#include "utilities/usefulcode/sfsarchivefile.h"

#include "platform/files/errors.h"
#include "platform/files/modules.h"
#include "platform/kernel/messagebox.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

constexpr const char16_t* kMember = u"\\Kwa\\net.rd";

// A device with an archive holding one member.
struct ArchiveDevice {
    ArchiveDevice() {
        platform::ClearRecordedMessageBoxes();
        testdata::ArchiveWriter writer;
        EXPECT_TRUE(writer.AddMember("net.rd", "0123456789"));
        EXPECT_TRUE(root.WriteFile(u"\\Kwa\\net.sfs", writer.Build()));
    }

    // Installs the library and mounts the archive.
    void MountArchive() {
        ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
        ASSERT_TRUE(mounts.Mount(u"\\Kwa\\net.sfs"));
    }

    testdata::TempDeviceRoot root;
    SfsMountSet mounts;
};

class SfsArchiveFileTest : public ::testing::Test {
protected:
    void TearDown() override { platform::ResetHiddenEntryPoints(); }

    ArchiveDevice m_device;
};

TEST_F(SfsArchiveFileTest, ReadsAMemberButNeitherTellsNorWrites) {
    m_device.MountArchive();
    SfsArchiveFile file;
    file.Open(kMember, RawFileMode::Read);
    ASSERT_TRUE(file.IsOpen());
    char bytes[16] = {};
    EXPECT_TRUE(file.Read(bytes, 4));
    EXPECT_EQ(std::string(bytes, 4), "0123");
    EXPECT_EQ(file.Tell(), -1);
    EXPECT_EQ(file.Seek(2, kRawSeekCurrent), 6);
    EXPECT_EQ(file.Seek(-1, kRawSeekEnd), 9);
    EXPECT_EQ(file.Seek(-3, 8), 7); // any other origin counts from the end
    EXPECT_EQ(file.Seek(1, kRawSeekBegin), 1);
    EXPECT_TRUE(file.ReadData(bytes, 2));
    EXPECT_EQ(std::string(bytes, 2), "12");
    EXPECT_FALSE(file.Read(bytes, 9)); // only 7 remain
    EXPECT_FALSE(file.Write("ab", 2));
    EXPECT_FALSE(file.WriteData("ab", 2));
    EXPECT_EQ(file.Close(), 1);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(platform::RecordedMessageBoxes().empty());
}

TEST_F(SfsArchiveFileTest, OpensOnlyForReadingAndOnlyMembers) {
    m_device.MountArchive();
    for (int mode : {1, 2, 3, 4, 5, 6}) {
        SfsArchiveFile file;
        file.Open(kMember, static_cast<RawFileMode>(mode));
        EXPECT_FALSE(file.IsOpen()) << mode;
    }
    SfsArchiveFile file;
    file.Open(u"\\Kwa\\missing.rd", RawFileMode::Read);
    EXPECT_FALSE(file.IsOpen());
    const std::unique_ptr<RawFile> created = CreateRawFile(kMember, RawFileMode::Read, true);
    ASSERT_NE(created, nullptr);
    EXPECT_TRUE(created->IsOpen());
    EXPECT_NE(dynamic_cast<SfsArchiveFile*>(created.get()), nullptr);
}

// Each failure text is shown once per process, so each of these tests runs in a fresh one.
TEST(SfsArchiveFileFailures, AMissingLibraryIsShownOncePerProcess) {
    testdata::RunInFreshProcess([] {
        ArchiveDevice device;
        const std::size_t modulesBefore = platform::LoadedModuleCount();
        {
            SfsArchiveFile first;
            SfsArchiveFile second;
            first.Open(kMember, RawFileMode::Read);
            EXPECT_FALSE(first.IsOpen());
            EXPECT_FALSE(SfsArchiveFile::IsLibraryLoaded());
            const auto boxes = platform::RecordedMessageBoxes();
            ASSERT_EQ(boxes.size(), 1u);
            const std::u16string systemText(platform::SystemErrorText(ERROR_MOD_NOT_FOUND));
            EXPECT_EQ(boxes[0].text, u"Cannot load ZIVUR.DLL\r\n" + systemText + u"\r\n");
            EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONHAND));
            EXPECT_EQ(boxes[0].owner, nullptr);
        }
        EXPECT_EQ(platform::LoadedModuleCount(), modulesBefore); // nothing to free
        // With every instance gone, the next one tries again, silently, and finds the library once
        // it is there.
        {
            SfsArchiveFile later;
            EXPECT_FALSE(SfsArchiveFile::IsLibraryLoaded());
        }
        EXPECT_EQ(platform::RecordedMessageBoxes().size(), 1u);
        device.MountArchive();
        SfsArchiveFile installed;
        installed.Open(kMember, RawFileMode::Read);
        EXPECT_TRUE(installed.IsOpen());
        EXPECT_EQ(platform::RecordedMessageBoxes().size(), 1u);
    });
}

TEST(SfsArchiveFileFailures, AMissingEntryPointCountsAsNoLibrary) {
    testdata::RunInFreshProcess([] {
        ArchiveDevice device;
        ASSERT_TRUE(device.root.InstallModule(u"ziVur.dll"));
        ASSERT_TRUE(device.mounts.Mount(u"\\Kwa\\net.sfs"));
        const std::size_t modulesBefore = platform::LoadedModuleCount();
        platform::HideEntryPoint(u"ziVur.dll", u"SFS_SetFilePointer");
        {
            SfsArchiveFile file;
            EXPECT_FALSE(SfsArchiveFile::IsLibraryLoaded());
            EXPECT_EQ(platform::LoadedModuleCount(), modulesBefore);
            file.Open(kMember, RawFileMode::Read);
            EXPECT_FALSE(file.IsOpen());
            char byte = 0;
            EXPECT_FALSE(file.Read(&byte, 1));
            EXPECT_EQ(file.Seek(0, kRawSeekBegin), -1);
            const auto boxes = platform::RecordedMessageBoxes();
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, u"Cannot find function SFS_SetFilePointer in ziVur.dll!");
            EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONHAND));
        }
        EXPECT_EQ(platform::LoadedModuleCount(), modulesBefore);
    });
}

TEST_F(SfsArchiveFileTest, TheLastInstanceFreesTheLibrary) {
    m_device.MountArchive();
    const std::size_t modulesBefore = platform::LoadedModuleCount();
    auto first = std::make_unique<SfsArchiveFile>();
    EXPECT_EQ(platform::LoadedModuleCount(), modulesBefore + 1);
    auto second = std::make_unique<SfsArchiveFile>();
    EXPECT_EQ(platform::LoadedModuleCount(), modulesBefore + 1);
    first.reset();
    second->Open(kMember, RawFileMode::Read);
    EXPECT_TRUE(second->IsOpen());
    second.reset();
    EXPECT_EQ(platform::LoadedModuleCount(), modulesBefore);
}

} // namespace
