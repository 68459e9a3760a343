#include "testdata/alertcencoder.h"
#include "testdata/rdsgroupfilewriter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using testdata::AlertCEncoder;
using testdata::AlertCLabel;
using testdata::AlertCMessage;

// Blocks C and D of published broadcast examples (ISO 14819-1 coding); block B there also
// carries the TP bit, which the encoder leaves 0.
TEST(AlertCEncoder, EncodesPublishedBroadcastExamples) {
    const struct {
        const char* name;
        unsigned event;
        unsigned location;
        unsigned extent;
        std::vector<AlertCLabel> labels;
        std::vector<AlertCEncoder::Group> expected; // B without TP
    } cases[] = {
        {"stop time",
         82,
         9552,
         1,
         {{8, 0xF4}},
         {{0xD301, 0x8005, 0xC852, 0x2550}, {0xD301, 0x8005, 0x48F4, 0x0000}}},
        {"control code and added event",
         513,
         0x7BEB,
         0,
         {{1, 2}, {14, 0}, {9, 803}},
         {{0xD301, 0x8005, 0xC201, 0x7BEB}, {0xD301, 0x8005, 0x415D, 0x2C8C}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AlertCMessage message;
        message.event = c.event;
        message.location = c.location;
        message.extent = c.extent;
        message.isNegativeDirection = true;
        message.continuityIndex = 5;
        message.labels = c.labels;
        EXPECT_EQ(AlertCEncoder::Encode(message), c.expected);
    }
}

TEST(AlertCEncoder, AppliesOneFaultToEveryMultiGroupMessage) {
    AlertCMessage message;
    message.event = 1;
    message.continuityIndex = 2;
    message.labels = std::vector<AlertCLabel>(4, AlertCLabel{9, 7}); // 60 bits: four groups
    AlertCEncoder encoder;
    encoder.AddTable(0xD301, 9).AddMessage(message);
    const std::vector<AlertCEncoder::Group> plain = encoder.Groups();
    ASSERT_EQ(plain.size(), 5U);
    EXPECT_EQ(plain[0][2], 9 << 6 | 0x27) << "3A: table 9";
    EXPECT_EQ(plain[2][2] >> 12, 0x6) << "second group, two more to come";
    EXPECT_EQ(plain[3][2] >> 12, 0x1);
    EXPECT_EQ(plain[4][2] >> 12, 0x0);
    const struct {
        testdata::AlertCFault fault;
        std::size_t groups;
        std::size_t changed; // index of the group that differs from the plain one
    } cases[] = {
        {testdata::AlertCFault::RepeatedGroup, 6, 4},
        {testdata::AlertCFault::ChangedRepeat, 6, 4},
        {testdata::AlertCFault::MissingGroup, 4, 3},
        {testdata::AlertCFault::MissingSecondGroup, 4, 2},
        {testdata::AlertCFault::MissingLastGroup, 4, 4}, // only one fewer
        {testdata::AlertCFault::ContinuityMismatch, 5, 2},
        {testdata::AlertCFault::SecondGroupOutOfTurn, 5, 3},
        {testdata::AlertCFault::WrongSequenceIndicator, 5, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        const std::vector<AlertCEncoder::Group> groups = encoder.Groups(c.fault);
        ASSERT_EQ(groups.size(), c.groups);
        for (std::size_t index = 0; index < c.changed; ++index) {
            EXPECT_EQ(groups[index], plain[index]) << index;
        }
        if (c.changed < groups.size()) {
            EXPECT_NE(groups[c.changed], plain[c.changed]);
        }
    }
    // A message's own fault replaces the one the groups are built with.
    AlertCEncoder mixed;
    mixed.AddMessage(message, testdata::AlertCFault::MissingSecondGroup).AddMessage(message);
    const std::vector<AlertCEncoder::Group> groups =
        mixed.Groups(testdata::AlertCFault::MissingLastGroup);
    ASSERT_EQ(groups.size(), 6U);
    EXPECT_EQ(groups[1], plain[3]) << "the first message without its second group";
    EXPECT_EQ(groups[5], plain[3]) << "the second without its last";
}

// What stations send beside TMC: RT+ announced in groups 3A between the lines, and a change of
// programme type and traffic programme flag while a group is repeated.
TEST(RdsGroupFileWriter, WritesRadioTextPlusAnnouncementsAndProgrammeChanges) {
    const AlertCEncoder::Group first{0xD301, 0x8005, 0xC852, 0x2550};
    const AlertCEncoder::Group second{0xD301, 0x8005, 0x48F4, 0x0000};
    const struct {
        const char* name;
        testdata::RdsGroupFiller filler;
        bool isChanged;
        const char* expected;
    } cases[] = {
        {"RT+ beside TMC", testdata::RdsGroupFiller::RadioTextPlus, false,
         "D3018005C8522550\nD3010408E0CD5354\nD301240054726166\nD30130160000"
         "4BD7\nD301800548F40000\n"},
        {"programme type 9 and TP from the second copy of the second group",
         testdata::RdsGroupFiller::None, true,
         "D3018005C8522550\nD3018005C8522550\nD301800548F40000\nD301852548F40000\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RdsGroupFileWriter writer;
        writer.Add(first).Add(second).SetFiller(c.filler);
        if (c.isChanged) {
            writer.SetCopies(2).SetProgrammeTypeFrom(1, 1, 9, true);
        }
        EXPECT_EQ(writer.Build(), c.expected);
    }
}

} // namespace
