#include "testdata/nmeawriter.h"
#include "testdata/rdsgroupfilewriter.h"

#include "platform/receiver/replayfiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Group = platform::RdsGroup;

TEST(RdsGroupFile, ReadsBothFormsInEitherCaseAndRefusesOtherLines) {
    // Groups 8A, then a group 3A, which receivers write whole in the short form too.
    const std::vector<Group> groups = {{0xD3C2, 0x8408, 0xC852, 0x2550},
                                       {0x0001, 0x82B0, 0x00FF, 0xF00F},
                                       {0xD3C2, 0x3010, 0x0EA7, 0xCD46}};
    const std::vector<Group> shortForms = {
        {0, 0x8008, 0xC852, 0x2550}, {0, 0x80B0, 0x00FF, 0xF00F}, groups[2]};
    const struct {
        const char* what;
        bool isLowerCase;
        bool isShortForm;
        bool isCrLf;
        testdata::RdsGroupFault fault;
        std::vector<Group> expected;
        std::size_t refused;
    } cases[] = {
        {"upper", false, false, false, testdata::RdsGroupFault::None, groups, 0},
        {"lower, CR LF", true, false, true, testdata::RdsGroupFault::None, groups, 0},
        {"short form", false, true, false, testdata::RdsGroupFault::None, shortForms, 0},
        {"garbage", false, false, true, testdata::RdsGroupFault::GarbageLine, groups, 1},
        {"torn",
         true,
         false,
         false,
         testdata::RdsGroupFault::TornLastLine,
         {groups[0], groups[1]},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testdata::RdsGroupFileWriter writer;
        writer.SetLowerCase(c.isLowerCase).SetShortForm(c.isShortForm).SetCrLf(c.isCrLf);
        for (const Group& group : groups) {
            writer.Add(group);
        }
        const platform::RdsGroupList list = platform::ParseRdsGroups(writer.Build(c.fault));
        EXPECT_EQ(list.groups, c.expected);
        EXPECT_EQ(list.refusedLines, c.refused);
    }
    const platform::RdsGroupList spaced = platform::ParseRdsGroups("\t0001000200030004  \n\n");
    EXPECT_EQ(spaced.groups, (std::vector<Group>{{1, 2, 3, 4}}));
    EXPECT_EQ(platform::ParseRdsGroups("000100020003000G\n12345678901\n").refusedLines, 2u);
}

TEST(NmeaReplay, CutsCyclesAtEachGgaAndCompletesSentences) {
    testdata::NmeaFixValues first;
    testdata::NmeaFixValues second;
    second.second = 1;
    const std::string gga1 = testdata::NmeaWriter::Gga(first);
    const std::string vtg1 = testdata::NmeaWriter::Vtg(first);
    const std::string rmc1 = testdata::NmeaWriter::Rmc(first);
    const std::string gga2 = testdata::NmeaWriter::Gga(second);
    const std::string bare = "$GPVTG,090.0,T,,M,027.0,N,050.0,K";
    const struct {
        const char* what;
        std::string bytes;
        std::vector<platform::NmeaCycle> expected;
    } cases[] = {
        {"two cycles", gga1 + vtg1 + rmc1 + gga2, {{gga1, vtg1, rmc1}, {gga2, "", ""}}},
        {"before the first GGA", vtg1 + "$GPGSV,1*00\r\n" + gga1, {{gga1, vtg1, ""}}},
        {"LF and noise",
         "junk " + gga1.substr(0, gga1.size() - 2) + "\n" + rmc1 + rmc1,
         {{gga1, "", rmc1}}},
        {"no checksum", bare + "\n", {{"", testdata::NmeaWriter::Sentence(bare.substr(1)), ""}}},
        {"too long", "$GPGGA," + std::string(300, '1') + "\n", {}},
        {"none", "no sentences\r\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<platform::NmeaCycle> cycles = platform::ParseNmeaCycles(c.bytes);
        ASSERT_EQ(cycles.size(), c.expected.size());
        for (std::size_t i = 0; i < cycles.size(); ++i) {
            EXPECT_EQ(cycles[i].gga, c.expected[i].gga);
            EXPECT_EQ(cycles[i].vtg, c.expected[i].vtg);
            EXPECT_EQ(cycles[i].rmc, c.expected[i].rmc);
        }
    }
}

} // namespace
