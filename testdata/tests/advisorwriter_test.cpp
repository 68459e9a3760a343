#include "testdata/advisorwriter.h"

#include "platform/sfs/sfsformat.h"

#include <gtest/gtest.h>

namespace {

using testdata::ConfigTextFault;
using testdata::ConfigTextWriter;

TEST(ConfigTextWriter, WritesEveryLineFormItNames) {
    const ConfigTextWriter writer =
        ConfigTextWriter().Row({"k", "v"}).Comment("c").Module("M", {"A", "B"});
    const struct {
        ConfigTextFault fault;
        std::string bytes;
    } cases[] = {
        {ConfigTextFault::None, "k;v\r\n#c\r\nModule;M\r\nCondition;A;B\r\n"},
        {ConfigTextFault::TabsAroundCells,
         "k\t;\tv\t\r\n#c\t\r\nModule\t;\tM\t\r\nCondition\t;\tA\t;\tB\t\r\n"},
        {ConfigTextFault::NoFinalLineEnd, "k;v\r\n#c\r\nModule;M\r\nCondition;A;B"},
        {ConfigTextFault::LfOnlyLines, "k;v\n#c\nModule;M\nCondition;A;B\n"},
        {ConfigTextFault::Utf8ByteOrderMark,
         "\xEF\xBB\xBFk;v\r\n#c\r\nModule;M\r\nCondition;A;B\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        EXPECT_EQ(writer.Build(c.fault), c.bytes);
    }
    EXPECT_EQ(ConfigTextWriter().Value({"L", ""}, "R").Blank().EndMark().Build(),
              "Value;L;;R\r\n\r\nEOF\r\n");
}

TEST(ConfigTextWriter, ArchivesHoldTheFilesAndSamplesByName) {
    std::vector<platform::SfsMember> members;
    ASSERT_EQ(platform::ParseSfsArchive(testdata::BuildConfigArchive({{"SOA.csv", "a"}}), members),
              platform::SfsFormatError::None);
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].name, u"SOA.csv");
    ASSERT_EQ(
        platform::ParseSfsArchive(testdata::BuildVoiceArchive({{"Attention", {1, 2}}}), members),
        platform::SfsFormatError::None);
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].name, u"Attention.wav");
    EXPECT_EQ(members[0].size, 2u);
    EXPECT_EQ(testdata::VoiceArchiveName(u"dutch"), u"dutch_waves.sfs");
}

} // namespace
