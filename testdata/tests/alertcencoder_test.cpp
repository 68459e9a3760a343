#include "testdata/alertcencoder.h"

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
        EXPECT_NE(groups[c.changed], plain[c.changed]);
    }
}

} // namespace
