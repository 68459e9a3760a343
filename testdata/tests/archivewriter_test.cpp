#include "testdata/archivewriter.h"
#include "testdata/tempdir.h"

#include "platform/sfs/sfsformat.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

TEST(ArchiveWriter, WritesWhatItBuilds) {
    testdata::TempDeviceRoot root;
    testdata::ArchiveWriter writer;
    ASSERT_TRUE(writer.AddMember("a.txt", "alpha"));
    ASSERT_TRUE(writer.AddMember("b.bin", std::vector<std::uint8_t>{0, 1, 2, 255}));
    const std::filesystem::path host = root.HostPath() / "out.sfs";
    ASSERT_TRUE(writer.WriteTo(host));
    std::ifstream in(host, std::ios::binary);
    const std::vector<std::uint8_t> written((std::istreambuf_iterator<char>(in)),
                                            std::istreambuf_iterator<char>());
    EXPECT_EQ(written, writer.Build());
    EXPECT_FALSE(writer.WriteTo(root.HostPath() / "no" / "folder.sfs"));
}

TEST(ArchiveWriter, FaultsThatNeedMembersDoNothingHarmfulWithoutThem) {
    testdata::ArchiveWriter empty;
    for (testdata::ArchiveFault fault :
         {testdata::ArchiveFault::DuplicateName, testdata::ArchiveFault::MemberPastEnd,
          testdata::ArchiveFault::BadNameCharacter, testdata::ArchiveFault::EmptyName}) {
        std::vector<platform::SfsMember> members;
        EXPECT_EQ(platform::ParseSfsArchive(empty.Build(fault), members),
                  platform::SfsFormatError::None);
    }
    std::vector<platform::SfsMember> members;
    EXPECT_NE(
        platform::ParseSfsArchive(empty.Build(testdata::ArchiveFault::ShortDirectorySize), members),
        platform::SfsFormatError::None);
}

} // namespace
