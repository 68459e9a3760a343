#include "testdata/archivewriter.h"

#include "platform/sfs/sfsformat.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::SfsFormatError;
using testdata::ArchiveFault;

testdata::ArchiveWriter ThreeMembers() {
    testdata::ArchiveWriter writer;
    EXPECT_TRUE(writer.AddMember("General.properties", "key=value\n"));
    EXPECT_TRUE(writer.AddMember("SOA.csv", std::string(300, 'x')));
    EXPECT_TRUE(writer.AddMember("empty.bin", ""));
    return writer;
}

TEST(SfsFormat, DirectoryListsNamesOffsetsAndSizes) {
    const std::vector<std::uint8_t> archive = ThreeMembers().Build();
    std::vector<platform::SfsMember> members;
    ASSERT_EQ(platform::ParseSfsArchive(archive, members), SfsFormatError::None);
    ASSERT_EQ(members.size(), 3u);
    EXPECT_EQ(members[0].name, u"General.properties");
    EXPECT_EQ(members[1].name, u"SOA.csv");
    EXPECT_EQ(members[2].name, u"empty.bin");
    EXPECT_EQ(members[0].size, 10u);
    EXPECT_EQ(members[1].size, 300u);
    EXPECT_EQ(members[2].size, 0u);
    const std::string first(archive.begin() + members[0].offset,
                            archive.begin() + members[0].offset + members[0].size);
    EXPECT_EQ(first, "key=value\n");
    EXPECT_EQ(members[1].offset, members[0].offset + 10);
    EXPECT_EQ(members[2].offset + members[2].size, archive.size());

    testdata::ArchiveWriter none;
    EXPECT_EQ(platform::ParseSfsArchive(none.Build(), members), SfsFormatError::None);
    EXPECT_TRUE(members.empty());
}

TEST(SfsFormat, EveryFaultIsRefusedForItsReason) {
    const struct {
        ArchiveFault fault;
        SfsFormatError error;
    } cases[] = {
        {ArchiveFault::BadMagic, SfsFormatError::BadMagic},
        {ArchiveFault::UnknownVersion, SfsFormatError::UnsupportedVersion},
        {ArchiveFault::SizeFieldMismatch, SfsFormatError::SizeMismatch},
        {ArchiveFault::CutInsideDirectory, SfsFormatError::DirectoryOutOfBounds},
        {ArchiveFault::DirectoryPastEnd, SfsFormatError::DirectoryOutOfBounds},
        {ArchiveFault::HugeCount, SfsFormatError::CountTooLarge},
        {ArchiveFault::ShortDirectorySize, SfsFormatError::DirectoryTruncated},
        {ArchiveFault::LongDirectorySize, SfsFormatError::DirectorySizeMismatch},
        {ArchiveFault::MemberPastEnd, SfsFormatError::MemberOutOfBounds},
        {ArchiveFault::MemberSizeOverflow, SfsFormatError::MemberOutOfBounds},
        {ArchiveFault::DuplicateName, SfsFormatError::DuplicateName},
        {ArchiveFault::BadNameCharacter, SfsFormatError::BadName},
        {ArchiveFault::EmptyName, SfsFormatError::BadName},
    };
    const testdata::ArchiveWriter writer = ThreeMembers();
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        std::vector<platform::SfsMember> members;
        EXPECT_EQ(platform::ParseSfsArchive(writer.Build(c.fault), members), c.error);
        EXPECT_FALSE(platform::SfsFormatErrorText(c.error).empty());
    }
}

TEST(SfsFormat, ShortInputsAreRefusedWithoutReadingPastThem) {
    const std::vector<std::uint8_t> archive = ThreeMembers().Build();
    std::vector<platform::SfsMember> members;
    for (std::size_t size : {std::size_t{0}, std::size_t{4}, std::size_t{31}}) {
        const std::span<const std::uint8_t> cut(archive.data(), size);
        EXPECT_EQ(platform::ParseSfsArchive(cut, members), SfsFormatError::TooSmall);
    }
    const std::span<const std::uint8_t> headerOnly(archive.data(), 40);
    EXPECT_EQ(platform::ParseSfsArchive(headerOnly, members), SfsFormatError::SizeMismatch);

    platform::SfsHeader header;
    ASSERT_EQ(platform::ParseSfsHeader(archive, archive.size(), header), SfsFormatError::None);
    const std::span<const std::uint8_t> directory(archive.data() + header.directoryOffset,
                                                  header.directorySize - 1);
    EXPECT_EQ(platform::ParseSfsDirectory(directory, header, archive.size(), members),
              SfsFormatError::DirectorySizeMismatch);
}

TEST(SfsFormat, MemberNameRules) {
    const struct {
        std::string_view name;
        bool isValid;
    } cases[] = {
        {"Europe.lvl", true},
        {"Stra\xC3\x9F"
         "e.txt",
         true},
        {"with space.wav", true},
        {"", false},
        {".", false},
        {"..", false},
        {"dir\\file", false},
        {"dir/file", false},
        {"a:b", false},
        {"wild*", false},
        {"what?", false},
        {"tab\there", false},
        {"trailing.", false},
        {"trailing ", false},
        {"bad\xC3(", false},
        {"\xED\xA0\x80", false}, // an encoded surrogate
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name));
        EXPECT_EQ(platform::IsValidSfsMemberName(c.name), c.isValid);
    }
    EXPECT_TRUE(platform::IsValidSfsMemberName(std::string(255, 'n')));
    EXPECT_FALSE(platform::IsValidSfsMemberName(std::string(256, 'n')));
}

TEST(ArchiveWriter, RefusesNamesTheFormatForbidsAndDuplicates) {
    testdata::ArchiveWriter writer;
    EXPECT_TRUE(writer.AddMember("tmc.dat", "1"));
    EXPECT_FALSE(writer.AddMember("TMC.DAT", "2"));
    EXPECT_FALSE(writer.AddMember("sub\\tmc.dat", "3"));
    EXPECT_FALSE(writer.AddMember("", "4"));
    EXPECT_EQ(writer.MemberCount(), 1u);
}

} // namespace
