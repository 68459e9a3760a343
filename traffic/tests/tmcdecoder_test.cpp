#include "testdata/alertcencoder.h"
#include "testdata/nmeawriter.h"
#include "testdata/rdsgroupfilewriter.h"
#include "traffic/tmcdecoder.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using testdata::AlertCEncoder;
using testdata::AlertCFault;
using testdata::AlertCLabel;
using testdata::AlertCMessage;
using testdata::RdsGroupFiller;

struct Decoded {
    TmcRawMessage message;
    int endOffset; // offset just past the character that finished it
    int buildState;
};

std::vector<Decoded> DecodeAll(TmcDecoder& decoder, const std::string& text) {
    std::vector<Decoded> out;
    int offset = 0;
    const int size = static_cast<int>(text.size());
    while (offset < size) {
        offset += decoder.Decode(text.data() + offset, size - offset);
        if (const TmcRawMessage* message = decoder.TakeMessage()) {
            out.push_back({*message, offset, decoder.GetBuildState()});
        }
    }
    if (decoder.EndInput()) {
        out.push_back({*decoder.TakeMessage(), offset, decoder.GetBuildState()});
    }
    return out;
}

std::array<std::uint8_t, 28> Bytes(const TmcRawMessage& message) {
    std::array<std::uint8_t, 28> bytes{};
    std::memcpy(bytes.data(), &message, bytes.size());
    return bytes;
}

// The 28 data bits of each subsequent group, packed most significant bit first.
std::array<std::uint8_t, 14> FreeFormatOf(const std::vector<AlertCEncoder::Group>& groups) {
    std::array<std::uint8_t, 14> buffer{};
    int position = 0;
    for (std::size_t index = 1; index < groups.size(); ++index) {
        const std::uint32_t data = (groups[index][2] & 0x0FFFU) << 16 | groups[index][3];
        for (int bit = 27; bit >= 0; --bit, ++position) {
            if ((data >> bit) & 1U) {
                buffer[position / 8] =
                    static_cast<std::uint8_t>(buffer[position / 8] | 0x80U >> (position % 8));
            }
        }
    }
    return buffer;
}

AlertCMessage Message(unsigned event, unsigned location, std::vector<AlertCLabel> labels = {}) {
    AlertCMessage message;
    message.event = event;
    message.location = location;
    message.extent = 2;
    message.duration = 5;
    message.continuityIndex = 6;
    message.labels = std::move(labels);
    return message;
}

class TmcDecoding : public ::testing::Test {
protected:
    void SetUp() override {
        SYSTEMTIME time{2026, 12, 0, 7, 18, 30, 15, 0};
        ASSERT_TRUE(m_clock.SetTime(time));
        m_clock.SetLocalOffsetMinutes(60);
    }

    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    TmcDecoder m_decoder;
};

TEST_F(TmcDecoding, EmitsASingleGroupAfterItsSixteenthDigitWithTableAndTime) {
    AlertCMessage message = Message(101, 12345);
    message.programmeType = 0x1A; // bits 9-8 of block B: 0b11
    message.isDiversion = true;
    AlertCEncoder encoder;
    encoder.AddTable(0xD301, 58).AddMessage(message);
    const std::vector<AlertCEncoder::Group> groups = encoder.Groups();
    std::string text = encoder.Build();
    text.pop_back(); // no line feed after the last group

    const std::vector<Decoded> decoded = DecodeAll(m_decoder, text);
    ASSERT_EQ(decoded.size(), 1U);
    EXPECT_EQ(decoded[0].endOffset, static_cast<int>(text.size())) << "after the 16th digit";
    EXPECT_EQ(m_decoder.GetLocationTableNumber(), 58U);
    const AlertCEncoder::Group& group = groups[1];
    // 2026-12-07 19:30:15 local time.
    const std::uint32_t seconds = 1796671815U;
    const std::array<std::uint8_t, 28> expected = {0xD3,
                                                   0x01,
                                                   0xE8 | 0x03,
                                                   static_cast<std::uint8_t>(group[1] & 0xFF),
                                                   static_cast<std::uint8_t>(group[2] >> 8),
                                                   static_cast<std::uint8_t>(group[2] & 0xFF),
                                                   static_cast<std::uint8_t>(group[3] >> 8),
                                                   static_cast<std::uint8_t>(group[3] & 0xFF),
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   static_cast<std::uint8_t>(seconds),
                                                   static_cast<std::uint8_t>(seconds >> 8),
                                                   static_cast<std::uint8_t>(seconds >> 16),
                                                   static_cast<std::uint8_t>(seconds >> 24)};
    EXPECT_EQ(Bytes(decoded[0].message), expected);
    EXPECT_EQ(group[1] & 0x0FU, 0x08U | 5U) << "F set, duration 5";
}

TEST_F(TmcDecoding, PacksMultiGroupMessagesOfTwoToFiveGroups) {
    const struct {
        const char* name;
        std::vector<AlertCLabel> labels;
        std::size_t groups;
    } cases[] = {
        {"two groups", {{8, 0xF4}}, 2},
        {"three groups", {{1, 3}, {9, 803}, {9, 513}, {0, 2}}, 3},
        {"five groups", std::vector<AlertCLabel>(7, AlertCLabel{9, 0x7FF}), 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const AlertCMessage message = Message(401, 4711, c.labels);
        const std::vector<AlertCEncoder::Group> groups = AlertCEncoder::Encode(message);
        ASSERT_EQ(groups.size(), c.groups);
        AlertCEncoder encoder;
        encoder.AddMessage(message);
        const std::vector<Decoded> decoded = DecodeAll(m_decoder, encoder.Build());
        ASSERT_EQ(decoded.size(), 1U);
        const std::array<std::uint8_t, 28> bytes = Bytes(decoded[0].message);
        EXPECT_EQ(bytes[3], groups[0][1] & 0xF8U) << "continuity index cleared";
        EXPECT_EQ(bytes[4] << 8 | bytes[5], groups[0][2]);
        EXPECT_EQ(bytes[6] << 8 | bytes[7], groups[0][3]);
        const std::array<std::uint8_t, 14> freeFormat = FreeFormatOf(groups);
        EXPECT_TRUE(std::equal(freeFormat.begin(), freeFormat.end(), bytes.begin() + 8));
        EXPECT_EQ(decoded[0].buildState, static_cast<int>(c.groups));
        EXPECT_EQ(bytes[22] | bytes[23], 0);
    }
}

TEST_F(TmcDecoding, AbandonsMessagesWhoseGroupsComeOutOfSequence) {
    const AlertCFault faults[] = {AlertCFault::ChangedRepeat, AlertCFault::ContinuityMismatch,
                                  AlertCFault::MissingGroup, AlertCFault::SecondGroupOutOfTurn,
                                  AlertCFault::WrongSequenceIndicator};
    const AlertCMessage fiveGroups = Message(401, 4711, std::vector<AlertCLabel>(7, {9, 100}));
    AlertCEncoder broken;
    broken.AddMessage(fiveGroups);
    AlertCEncoder after;
    after.AddMessage(Message(102, 200));
    for (const AlertCFault fault : faults) {
        SCOPED_TRACE(static_cast<int>(fault));
        m_decoder.Reset();
        const std::vector<Decoded> decoded =
            DecodeAll(m_decoder, broken.Build(fault) + after.Build());
        ASSERT_EQ(decoded.size(), 1U) << "only the message after the broken one";
        EXPECT_EQ(decoded[0].message.blockD[1], 200);
    }
}

// The groups written as a station's log: each copies times in a row, filler between lines.
std::string RepeatedGroupLog(const std::vector<AlertCEncoder::Group>& groups, int copies,
                             RdsGroupFiller filler) {
    testdata::RdsGroupFileWriter writer;
    for (const AlertCEncoder::Group& group : groups) {
        writer.Add(group);
    }
    return writer.SetCopies(copies).SetFiller(filler).Build();
}

std::vector<std::array<std::uint8_t, 28>> RecordsOf(const std::vector<Decoded>& decoded) {
    std::vector<std::array<std::uint8_t, 28>> records;
    for (const Decoded& one : decoded) {
        records.push_back(Bytes(one.message));
    }
    return records;
}

TEST_F(TmcDecoding, TakesEachRepeatedGroupOnceWhateverComesBetween) {
    const RdsGroupFiller fillers[] = {RdsGroupFiller::None, RdsGroupFiller::OtherGroups,
                                      RdsGroupFiller::DamagedLine, RdsGroupFiller::RadioTextPlus};
    for (std::size_t groupCount = 1; groupCount <= 5; ++groupCount) {
        // 0, 1, 2, 4 and 7 labels of 15 bits make messages of 1 to 5 groups.
        const std::size_t labelCounts[] = {0, 1, 2, 4, 7};
        std::vector<AlertCLabel> labels;
        for (std::size_t index = 0; index < labelCounts[groupCount - 1]; ++index) {
            labels.push_back({9, static_cast<unsigned>(300 + 77 * index)});
        }
        const AlertCMessage first = Message(401, 4711, labels);
        ASSERT_EQ(AlertCEncoder::Encode(first).size(), groupCount);
        // The same kind of message at the next location, then a single group.
        AlertCEncoder encoder;
        encoder.AddTable(0xD301, 9).AddMessage(first).AddMessage(Message(401, 4712, labels));
        encoder.AddMessage(Message(102, 200));
        TmcDecoder plainDecoder;
        const std::vector<Decoded> expected = DecodeAll(plainDecoder, encoder.Build());
        ASSERT_EQ(expected.size(), 3U);
        for (const int copies : {1, 2, 3, 4}) {
            for (const RdsGroupFiller filler : fillers) {
                SCOPED_TRACE(testing::Message() << groupCount << " groups, " << copies
                                                << " copies, filler " << static_cast<int>(filler));
                TmcDecoder decoder;
                const std::vector<Decoded> decoded =
                    DecodeAll(decoder, RepeatedGroupLog(encoder.Groups(), copies, filler));
                EXPECT_EQ(RecordsOf(decoded), RecordsOf(expected));
            }
        }
    }
}

// Stations announce other open data applications in groups 3A too (RT+ with block C 0000 beside
// TMC); only TMC's own announcements give the table number.
TEST_F(TmcDecoding, TakesTheTableNumberOnlyFromTmcAnnouncements) {
    const AlertCEncoder::Group radioTextPlus = testdata::RdsGroupFileWriter::ApplicationGroup(
        0xD301, testdata::kRadioTextPlusApplicationId, 0x0000, 0x16);
    // An application whose block C reads as TMC's variant 0 with table 33.
    const AlertCEncoder::Group otherApplication =
        testdata::RdsGroupFileWriter::ApplicationGroup(0xD301, 0x1234, 33 << 6, 0x10);
    const struct {
        const char* name;
        std::uint16_t applicationId; // of the TMC announcement at the start; 0: none
        unsigned tableNumber;
        std::vector<AlertCEncoder::Group> before; // before each message
        std::uint32_t expected;
    } cases[] = {
        {"RT+ after TMC", testdata::kTmcApplicationId, 9, {radioTextPlus}, 9},
        {"TMC under its second id", testdata::kTmcSecondApplicationId, 5, {radioTextPlus}, 5},
        {"another application's variant-0 look-alike",
         testdata::kTmcApplicationId,
         9,
         {otherApplication, radioTextPlus},
         9},
        {"RT+ without TMC's announcement", 0, 0, {radioTextPlus, otherApplication}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AlertCEncoder encoder;
        if (c.applicationId != 0) {
            encoder.AddTable(0xD301, c.tableNumber, c.applicationId);
        }
        for (const AlertCMessage& message :
             {Message(101, 12345), Message(401, 4711, {{8, 0xF4}}), Message(102, 200)}) {
            for (const AlertCEncoder::Group& group : c.before) {
                encoder.AddGroup(group);
            }
            encoder.AddMessage(message);
        }
        TmcDecoder decoder;
        const std::vector<Decoded> decoded = DecodeAll(decoder, encoder.Build());
        ASSERT_EQ(decoded.size(), 3U);
        for (const Decoded& one : decoded) {
            EXPECT_EQ(one.message.tableAndProgrammeType >> 2, c.expected);
        }
        EXPECT_EQ(decoder.GetLocationTableNumber(), c.expected);
    }
}

// The table number belongs to the station whose group 3A gave it: a newly tuned station's
// messages carry 0 (their country's default) until that station's own announcement, across
// resets too, and the first station's number stays its own. A message in the 10-digit form has
// no programme identification: it is the station's that the last whole group named, whatever its
// type.
TEST_F(TmcDecoding, StampsTheTableNumberOnlyOnTheAnnouncingStationsMessages) {
    constexpr std::uint16_t kFirst = 0xD301;
    constexpr std::uint16_t kSecond = 0xD3C2; // another station of the same country
    // Short: a message written in the 10-digit form (its programme identification left out).
    // Tuning: a group 0A of the station.
    enum class Kind { Table, Single, Multi, Short, Tuning, Reset };
    struct Step {
        Kind kind;
        std::uint16_t programmeId = 0;
        unsigned table = 0; // Table only
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::vector<unsigned> tables; // of the messages, in order
    } cases[] = {
        {"one station, across a reset",
         {{Kind::Table, kFirst, 58}, {Kind::Single, kFirst}, {Kind::Reset}, {Kind::Multi, kFirst}},
         {58, 58}},
        {"a newly tuned station before its announcement",
         {{Kind::Table, kFirst, 58},
          {Kind::Single, kFirst},
          {Kind::Reset},
          {Kind::Single, kSecond},
          {Kind::Multi, kSecond}},
         {58, 0, 0}},
        {"the new station's own announcement",
         {{Kind::Table, kFirst, 58},
          {Kind::Single, kFirst},
          {Kind::Single, kSecond},
          {Kind::Table, kSecond, 9},
          {Kind::Multi, kSecond},
          {Kind::Single, kSecond}},
         {58, 0, 9, 9}},
        {"back to the first station",
         {{Kind::Table, kFirst, 58},
          {Kind::Table, kSecond, 9},
          {Kind::Multi, kSecond},
          {Kind::Reset},
          {Kind::Single, kFirst},
          {Kind::Table, kFirst, 58},
          {Kind::Multi, kFirst}},
         {9, 0, 58}},
        {"the 10-digit form after whole messages",
         {{Kind::Table, kFirst, 58},
          {Kind::Single, kFirst},
          {Kind::Short, kFirst},
          {Kind::Single, kSecond},
          {Kind::Short, kSecond}},
         {58, 58, 0, 0}},
        {"the 10-digit form after a newly tuned station's group 0A, then its announcement",
         {{Kind::Table, kFirst, 58},
          {Kind::Short, kFirst},
          {Kind::Tuning, kSecond},
          {Kind::Short, kSecond},
          {Kind::Reset},
          {Kind::Short, kSecond},
          {Kind::Table, kSecond, 9},
          {Kind::Short, kSecond}},
         {58, 0, 0, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TmcDecoder decoder;
        std::vector<unsigned> tables;
        unsigned event = 101;
        AlertCEncoder encoder;
        auto decodeSoFar = [&](AlertCFault form = AlertCFault::None) {
            for (const Decoded& one : DecodeAll(decoder, encoder.Build(form))) {
                tables.push_back(one.message.tableAndProgrammeType >> 2U);
            }
            encoder = AlertCEncoder();
        };
        for (const Step& step : c.steps) {
            if (step.kind == Kind::Reset) {
                decodeSoFar();
                decoder.Reset();
                continue;
            }
            if (step.kind == Kind::Table) {
                encoder.AddTable(step.programmeId, step.table);
                continue;
            }
            if (step.kind == Kind::Tuning) {
                encoder.AddGroup(testdata::RdsGroupFileWriter::TuningGroup(step.programmeId));
                continue;
            }
            AlertCMessage message = step.kind == Kind::Multi ? Message(event, 4711, {{8, 0xF4}})
                                                             : Message(event, 12345);
            message.programmeId = step.programmeId;
            if (step.kind == Kind::Short) {
                decodeSoFar();
                encoder.AddMessage(message);
                decodeSoFar(AlertCFault::ShortForm);
            } else {
                encoder.AddMessage(message);
            }
            ++event;
        }
        decodeSoFar();
        EXPECT_EQ(tables, c.tables);
    }
}

// A multi-group message whose second group was missed never comes out, whatever count of
// groups an earlier broken message of the same continuity index left.
TEST_F(TmcDecoding, RefusesMessagesWhoseSecondGroupWasMissed) {
    const AlertCMessage three = Message(401, 4711, std::vector<AlertCLabel>(2, {9, 803}));
    const AlertCMessage four = Message(401, 4712, std::vector<AlertCLabel>(4, {9, 513}));
    const AlertCMessage five = Message(401, 4713, std::vector<AlertCLabel>(7, {9, 100}));
    ASSERT_EQ(AlertCEncoder::Encode(three).size(), 3U);
    ASSERT_EQ(AlertCEncoder::Encode(four).size(), 4U);
    ASSERT_EQ(AlertCEncoder::Encode(five).size(), 5U);
    struct Sent {
        AlertCMessage message;
        AlertCFault fault;
        bool isTaken;
    };
    const struct {
        const char* name;
        std::vector<Sent> sent;
    } cases[] = {
        {"without its last group, then again without its second",
         {{three, AlertCFault::MissingLastGroup, false},
          {three, AlertCFault::MissingSecondGroup, false}}},
        {"five groups with a wrong sequence indicator, then four without the second",
         {{five, AlertCFault::WrongSequenceIndicator, false},
          {four, AlertCFault::MissingSecondGroup, false}}},
        {"without its last group, then whole",
         {{four, AlertCFault::MissingLastGroup, false}, {four, AlertCFault::None, true}}},
        {"whole, then without its second group",
         {{three, AlertCFault::None, true}, {three, AlertCFault::MissingSecondGroup, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AlertCEncoder received;
        AlertCEncoder expected;
        for (const Sent& sent : c.sent) {
            received.AddMessage(sent.message, sent.fault);
            if (sent.isTaken) {
                expected.AddMessage(sent.message);
            }
        }
        received.AddMessage(Message(102, 200));
        expected.AddMessage(Message(102, 200));
        TmcDecoder decoder;
        TmcDecoder referenceDecoder;
        EXPECT_EQ(RecordsOf(DecodeAll(decoder, received.Build())),
                  RecordsOf(DecodeAll(referenceDecoder, expected.Build())));
    }
}

// A station may change its programme type or traffic programme flag while it repeats a group:
// such a copy is still a copy. Copies from another station or with other bits of the message
// are not.
TEST_F(TmcDecoding, TakesCopiesThatDifferInProgrammeTypeAsRepeats) {
    AlertCMessage single = Message(101, 12345);
    single.programmeType = 0x1A;
    AlertCMessage three = Message(401, 4711, std::vector<AlertCLabel>(2, {9, 803}));
    three.programmeType = 0x1A;
    AlertCMessage five = Message(401, 4713, std::vector<AlertCLabel>(7, {9, 100}));
    five.programmeType = 0x1A;
    AlertCEncoder::Group otherStation = AlertCEncoder::Encode(single)[0];
    otherStation[0] = 0xD302;
    AlertCEncoder::Group otherDuration = AlertCEncoder::Encode(single)[0];
    otherDuration[1] = static_cast<std::uint16_t>((otherDuration[1] & ~0x07U) | 6U);
    struct Change {
        std::size_t group;
        int copy;
        unsigned programmeType;
        bool isTrafficProgramme;
    };
    const struct {
        const char* name;
        std::vector<AlertCEncoder::Group> groups;
        int copies;
        std::optional<Change> change;
    } cases[] = {
        {"programme type from the second copy of the second of three groups",
         AlertCEncoder::Encode(three), 3, Change{1, 1, 9, false}},
        {"programme type from the second copy of the first group", AlertCEncoder::Encode(three), 2,
         Change{0, 1, 9, false}},
        {"traffic programme from the third copy of the third of five groups",
         AlertCEncoder::Encode(five), 3, Change{2, 2, 0x1A, true}},
        {"both from the second copy of a single group", AlertCEncoder::Encode(single), 2,
         Change{0, 1, 9, true}},
        {"another station", {AlertCEncoder::Encode(single)[0], otherStation}, 2, std::nullopt},
        {"another duration", {AlertCEncoder::Encode(single)[0], otherDuration}, 2, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RdsGroupFileWriter log;
        testdata::RdsGroupFileWriter once;
        for (const AlertCEncoder::Group& group : c.groups) {
            log.Add(group);
            once.Add(group);
        }
        log.SetCopies(c.copies).SetFiller(RdsGroupFiller::OtherGroups);
        if (c.change) {
            log.SetProgrammeTypeFrom(c.change->group, c.change->copy, c.change->programmeType,
                                     c.change->isTrafficProgramme);
        }
        TmcDecoder decoder;
        TmcDecoder referenceDecoder;
        const std::vector<Decoded> expected = DecodeAll(referenceDecoder, once.Build());
        EXPECT_EQ(expected.size(), c.change ? 1U : 2U);
        EXPECT_EQ(RecordsOf(DecodeAll(decoder, log.Build())), RecordsOf(expected));
    }
}

TEST_F(TmcDecoding, SendsAMessageAgainAfterFourCopiesOfItsLastGroup) {
    const struct {
        const char* name;
        std::vector<AlertCLabel> labels;
        int copies;
        std::size_t messages;
    } cases[] = {
        {"single group, 4 copies", {}, 4, 1},
        {"single group, 5 copies", {}, 5, 2},
        {"single group, 8 copies", {}, 8, 2},
        {"single group, 9 copies", {}, 9, 3},
        {"five groups, 9 copies of each", std::vector<AlertCLabel>(7, AlertCLabel{9, 0x7FF}), 9, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TmcDecoder decoder;
        const std::vector<AlertCEncoder::Group> groups =
            AlertCEncoder::Encode(Message(401, 4711, c.labels));
        EXPECT_EQ(
            DecodeAll(decoder, RepeatedGroupLog(groups, c.copies, RdsGroupFiller::OtherGroups))
                .size(),
            c.messages);
    }
}

TEST_F(TmcDecoding, IgnoresGroupsOutsideItsSubset) {
    const AlertCMessage single = Message(101, 12345);
    const AlertCMessage multi = Message(401, 4711, {{8, 0xF4}});
    const struct {
        const char* name;
        AlertCFault fault;
        std::uint32_t table; // after a 3A of table 7, sent before each case
        std::size_t messages;
    } cases[] = {
        {"plain", AlertCFault::None, 7, 2},
        {"T = 1", AlertCFault::TrafficModelBit, 7, 0},
        {"version B", AlertCFault::VersionB, 3, 0},
        {"3A of variant 1", AlertCFault::OtherVariant3A, 3, 2},
        {"lower-case digits", AlertCFault::LowerCase, 3, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TmcDecoder decoder;
        AlertCEncoder first;
        first.AddTable(0xD301, 3);
        (void)DecodeAll(decoder, first.Build());
        AlertCEncoder encoder;
        encoder.AddTable(0xD301, 7).AddGroup({0xD301, 0x0408, 0x1234, 0x5678}); // a group 0A
        encoder.AddMessage(single).AddMessage(multi);
        EXPECT_EQ(DecodeAll(decoder, encoder.Build(c.fault)).size(), c.messages);
        EXPECT_EQ(decoder.GetLocationTableNumber(), c.table);
    }
}

TEST_F(TmcDecoding, ReadsTheTenDigitFormAsGroup8AWithoutProgrammeIdentification) {
    AlertCEncoder encoder;
    encoder.AddMessage(Message(101, 12345));
    const AlertCEncoder::Group group = encoder.Groups()[0];
    const std::vector<Decoded> decoded =
        DecodeAll(m_decoder, encoder.Build(AlertCFault::ShortForm));
    ASSERT_EQ(decoded.size(), 1U);
    const std::array<std::uint8_t, 28> bytes = Bytes(decoded[0].message);
    EXPECT_EQ(bytes[0] | bytes[1], 0) << "programme identification 0";
    EXPECT_EQ(bytes[2], 0);
    EXPECT_EQ(bytes[3], group[1] & 0xFF);
    EXPECT_EQ(bytes[4] << 8 | bytes[5], group[2]);
    EXPECT_EQ(bytes[6] << 8 | bytes[7], group[3]);
    EXPECT_EQ(decoded[0].endOffset, 11) << "ten digits and the line feed";
}

TEST_F(TmcDecoding, DiscardsPartialGroupsAtMalformedTextAndReset) {
    const struct {
        const char* name;
        std::string text;
        std::size_t messages;
        std::uint64_t groups; // whole groups read
    } cases[] = {
        {"broken by a blank", "D301 840DD0652AC5\nD301840DD0652AC5\n", 1, 1},
        {"broken by ':'", "D301840D:0652AC5\n", 0, 0},
        {"twelve digits, no group", "840DD0652AC5\n", 0, 0},
        {"eleven digits", "0DD0652AC5F\n", 0, 0},
        {"ten digits", "0DD0652AC5\n", 1, 1},
        {"blocks apart, as other programs log them", "D301 840D D065 2AC5\n", 0, 0},
        {"a group 0A", "D3010408D3012020\n", 0, 1},
        {"a group 0A on a CR LF line", "D3010408D3012020\r\n", 0, 1},
        // Lines of other formats: digits that make groups, in lines that are no group.
        {"a group with another field after it", "D3010408D3012020,57\n", 0, 0},
        {"two groups in one line", "D3010408D3012020D3010408D3012020\n", 0, 0},
        {"a message in two groups in one line", "D301840DD0652AC5D301840DD0652AC5\n", 0, 0},
        {"a message with another field after it", "D301840DD0652AC5,57\n", 0, 0},
        {"ten digits with another field after them", "0DD0652AC5,57\n", 0, 0},
        // The time of reception after the group, as recorders write it.
        {"a group 0A with a time after it", "D3010408D3012020 @2024/01/01 10:00:00.00\n", 0, 1},
        {"a message with a time after it", "D301840DD0652AC5 @2024/01/01 10:00:00.00\r\n", 1, 1},
        {"ten digits with a time after them", "0DD0652AC5\t10:00:00.00\n", 1, 1},
        {"a message on the last line without its end", "D301840DD0652AC5", 1, 1},
        {"a receiver's NMEA log with its ephemeris sentences",
         testdata::NmeaWriter().AddCycle({}).AddEphemeris(5).AddEphemeris(12).Build(), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TmcDecoder decoder;
        EXPECT_EQ(DecodeAll(decoder, c.text).size(), c.messages);
        EXPECT_EQ(decoder.GetGroupCount(), c.groups);
    }
    AlertCEncoder encoder;
    encoder.AddTable(0xD301, 12).AddMessage(Message(101, 12345));
    const std::string text = encoder.Build();
    const std::size_t secondLine = text.find('\n') + 1;
    EXPECT_EQ(m_decoder.Decode(text.data(), static_cast<int>(secondLine + 9)),
              static_cast<int>(secondLine + 9));
    m_decoder.Reset();
    EXPECT_EQ(DecodeAll(m_decoder, text.substr(secondLine + 9)).size(), 0U);
    EXPECT_EQ(m_decoder.GetLocationTableNumber(), 12U) << "kept across the reset";
}

// Groups of a public broadcast example (ISO 14819-1 coding), with a programme identification.
TEST_F(TmcDecoding, DecodesTheBroadcastExampleFieldByField) {
    const std::string text = "D3013410"
                             "0267CD46\n"
                             "D3018405"
                             "C8522550\n"
                             "D3018405"
                             "48F40000\n";
    const std::vector<Decoded> decoded = DecodeAll(m_decoder, text);
    EXPECT_EQ(m_decoder.GetLocationTableNumber(), 9U);
    ASSERT_EQ(decoded.size(), 1U);
    const std::array<std::uint8_t, 28> bytes = Bytes(decoded[0].message);
    const unsigned blockC = bytes[4] << 8 | bytes[5];
    EXPECT_EQ(bytes[2] >> 2, 9) << "table number";
    EXPECT_EQ(bytes[3] & 0x0F, 0) << "multi-group, continuity index cleared";
    EXPECT_EQ(blockC & 0x07FF, 82U) << "event";
    EXPECT_EQ(bytes[6] << 8 | bytes[7], 9552) << "location";
    EXPECT_EQ((blockC >> 11) & 7, 1U) << "extent";
    EXPECT_NE(blockC & 0x4000, 0U) << "direction";
    EXPECT_EQ(bytes[8] >> 4, 8) << "free format starts with label 8";
    EXPECT_EQ((bytes[8] & 0x0F) << 4 | bytes[9] >> 4, 0xF4) << "its 8-bit value";
}

} // namespace
