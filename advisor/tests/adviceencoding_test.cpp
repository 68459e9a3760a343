// Advice records as encoded bytes: the advisor's encoding entry points, the byte layout and
// bounded decoding.
#include "advisor/tests/advisorfixture.h"
#include "testdata/advisorwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using advisortest::WriteAdvisorData;
using Bytes = std::vector<std::uint8_t>;

AdviceRecord FullRecord(const std::u16string& text) {
    AdviceRecord record;
    record.fromStreet.Set(u"Landstrasse");
    record.toStreet.Set(u"St\u00e4dtle");
    record.manoeuvreCode = 222;
    record.junction.targetRoadNumber.Set(u"B 28");
    record.junction.roundaboutText.Set(u"28");
    record.junction.nextDirection.Set(u"SlightLeft");
    record.junction.roadClass.Set(u"Bt");
    record.junction.flags = 0x3;
    record.text = text;
    return record;
}

EncodeProperties Table(const std::vector<std::u16string>& lines) {
    EncodeProperties table;
    for (const std::u16string& line : lines) {
        table.AddPiece(line);
    }
    return table;
}

Bytes Encode(const AdviceList& list, std::int32_t index) {
    Bytes bytes(kMaxEncodedAdviceBytes + 64, 0xEE);
    bytes.resize(static_cast<std::size_t>(list.EncodeRecord(index, bytes.data())));
    return bytes;
}

TEST(AdviceEncoding, NameGivesCodeAndManoeuvre) {
    const struct {
        std::u16string name;
        std::uint8_t code;
        std::u16string decodedName;
        std::u16string manoeuvre;
    } cases[] = {{u"SOA.Left.A1", 1, u"SOA.Left.A1", u"Left"},
                 {u"SOA.Left", 2, u"SOA.Left", u"Left"},
                 {u"KeepRight", 3, u"KeepRight", u"KeepRight"},
                 {u"Missing", 255, u"", u""},
                 {u"Wide", 4, u"SOA.Left.A1", u"Left"}}; // 257: its low 8 bits are 1's
    AdviceList list;
    list.encoding = Table({u"SOA.Left.A1=1\n", u"SOA.Left=2\n", u"KeepRight=3\n", u"Wide=257\n"});
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
        AdviceList one;
        one.encoding = list.encoding;
        one.Append(FullRecord(c.name));
        const Bytes bytes = Encode(one, 0);
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(bytes[0], c.name == u"Wide" ? 1 : c.code);
        AdviceList decoded;
        decoded.encoding = list.encoding;
        decoded.DecodeRecords(bytes.data(), static_cast<std::int32_t>(bytes.size()));
        ASSERT_EQ(decoded.Size(), 1u);
        EXPECT_EQ(decoded.Records()[0].text, c.decodedName);
        EXPECT_EQ(decoded.Records()[0].junction.manoeuvre.View(), c.manoeuvre);
    }
}

TEST(AdviceEncoding, LongestAdviceIs405BytesAndEmptyTextsTwoZeros) {
    AdviceList list;
    AdviceRecord longest = FullRecord(u"x");
    const std::u16string wide(63, u'\u20ac'); // one byte each in the system code page
    for (AdviceText* text :
         {&longest.fromStreet, &longest.toStreet, &longest.junction.targetRoadNumber,
          &longest.junction.roundaboutText, &longest.junction.nextDirection}) {
        text->Set(wide);
    }
    list.Append(longest);
    list.Append(AdviceRecord());
    EXPECT_EQ(Encode(list, 0).size(), static_cast<std::size_t>(kMaxEncodedAdviceBytes) - 61);
    // Road class holds two characters at most, so the longest record is 405 - 61 long; the
    // format's 405 allows 63 there too.
    const Bytes empty = Encode(list, 1);
    EXPECT_EQ(empty, Bytes({255, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0,    0,    0,    0,   0,
                            0,   0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(list.EncodeRecord(2, nullptr), 0);
    EXPECT_EQ(list.EncodeRecord(0, nullptr), 1);
}

TEST(AdviceEncoding, WritesTheDocumentedLayoutAndReadsItBack) {
    AdviceList list;
    list.encoding = Table({u"TurnLeft=8\n"});
    list.Append(FullRecord(u"TurnLeft"));
    testdata::EncodedAdvice expected;
    expected.code = 8;
    expected.fromStreet = "Landstrasse";
    expected.toStreet = "St\xE4"
                        "dtle";
    expected.state = 222;
    expected.targetRoadNumber = "B 28";
    expected.roundaboutText = "28";
    expected.nextDirection = "SlightLeft";
    expected.roadClass = "Bt";
    expected.isDestination = true;
    expected.isConnector = true;
    const Bytes bytes = Encode(list, 0); // no route iterator: element ids -1
    EXPECT_EQ(bytes, testdata::WriteEncodedAdvices({expected}));
    AdviceList decoded;
    decoded.encoding = list.encoding;
    decoded.DecodeRecords(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    ASSERT_EQ(decoded.Size(), 1u);
    const AdviceRecord& out = decoded.Records()[0];
    const AdviceRecord& in = list.Records()[0];
    for (const auto field : {&AdviceRecord::fromStreet, &AdviceRecord::toStreet}) {
        EXPECT_EQ((out.*field).View(), (in.*field).View());
    }
    for (const auto field :
         {&JunctionDescription::targetRoadNumber, &JunctionDescription::roundaboutText,
          &JunctionDescription::nextDirection}) {
        EXPECT_EQ((out.junction.*field).View(), (in.junction.*field).View());
    }
    EXPECT_EQ(out.junction.roadClass.View(), u"Bt");
    EXPECT_EQ(out.manoeuvreCode, 222);
    EXPECT_EQ(out.junction.flags, 0x3u);
    EXPECT_EQ(out.elementId, 0xFFFFFFFFu);
    EXPECT_EQ(out.nextElementId, 0xFFFFFFFFu);
    EXPECT_EQ(out.text, u"TurnLeft");
    EXPECT_EQ(out.junction.manoeuvre.View(), u"TurnLeft");
}

TEST(AdviceDecoding, TakesOnlyWholeAdvicesFromCutOrOversizedData) {
    using Fault = testdata::EncodedAdviceFault;
    testdata::EncodedAdvice first;
    first.fromStreet = "Feldkircher Strasse";
    first.toStreet = "Zollstrasse";
    first.element = 17;
    testdata::EncodedAdvice second = first;
    second.element = 18;
    const struct {
        const char* name;
        Fault fault;
        std::int32_t lengthChange;
        std::size_t records;
        std::u16string firstStreet;
    } cases[] = {{"whole", Fault::None, 0, 2, u"Feldkircher Strasse"},
                 {"last cut short", Fault::LastCutShort, 0, 1, u"Feldkircher Strasse"},
                 {"count beyond the data", Fault::CountBeyondData, 0, 1, u"Feldkircher Strasse"},
                 {"length short of the data", Fault::None, -1, 1, u"Feldkircher Strasse"},
                 {"text longer than a field", Fault::LongFirstText, 0, 2, std::u16string(63, u'L')},
                 {"length 0", Fault::None, -1000, 0, u""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes data = testdata::WriteEncodedAdvices({first, second}, c.fault);
        const std::int32_t length =
            std::max(0, static_cast<std::int32_t>(data.size()) + c.lengthChange);
        AdviceList decoded;
        decoded.DecodeRecords(data.data(), length);
        ASSERT_EQ(decoded.Size(), c.records);
        if (c.records > 0) {
            EXPECT_EQ(decoded.Records()[0].fromStreet.View(), c.firstStreet);
            EXPECT_EQ(decoded.Records()[0].toStreet.View(), u"Zollstrasse");
            EXPECT_EQ(decoded.Records()[0].elementId, 17u);
        }
    }
    AdviceList decoded;
    decoded.DecodeRecords(nullptr, 10);
    decoded.DecodeRecords(testdata::WriteEncodedAdvices({first}).data(), -5);
    EXPECT_EQ(decoded.Size(), 0u);
}

TEST(AdviceDecoding, EveryDecodedAdviceIsANewJunction) {
    AdviceList list;
    list.Append(FullRecord(u"a"));
    const Bytes bytes = Encode(list, 0);
    AdviceList decoded;
    decoded.DecodeRecords(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    decoded.DecodeRecords(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    ASSERT_EQ(decoded.Size(), 2u);
    EXPECT_EQ(decoded.Records()[1].junction.junctionId,
              decoded.Records()[0].junction.junctionId + 1);
}

TEST(AdvisorEncoding, SendsEachRecordOnceInListOrder) {
    const auto run = junctiontest::RunScenario(testdata::InterchangeScenario());
    ASSERT_TRUE(run);
    const std::u16string folder = WriteAdvisorData(
        {{"General.properties", advisortest::GeneralWithCrossings("Crossings;2")}});
    Advisor advisor = advisortest::MakeAdvisor(*run, folder);
    ASSERT_EQ(advisor.GetAdviceList().Size(), 2u);
    std::uint8_t buffer[kMaxEncodedAdviceBytes] = {};
    std::vector<std::u16string> sent;
    const auto send = [&] {
        const std::int32_t bytes = advisor.EncodeNextAdvice(buffer, nullptr);
        if (bytes > 0) {
            AdviceList decoded;
            (void)decoded.encoding.Load(folder + u"\\ConfigFiles\\encode.properties");
            decoded.DecodeRecords(buffer, bytes);
            sent.push_back(decoded.Size() == 1 ? decoded.Records()[0].text : u"?");
        }
        return bytes;
    };
    EXPECT_GT(send(), 0);
    EXPECT_GT(send(), 0);
    EXPECT_EQ(send(), 0);
    AdvicePtr advice;
    ASSERT_TRUE(advisor.AnalyseRoute(advice)); // appends the destination
    EXPECT_GT(send(), 0);
    EXPECT_EQ(send(), 0);
    EXPECT_EQ(sent,
              (std::vector<std::u16string>{u"MotorwayRight", u"MotorwayLeft", u"Destination"}));

    // Without "encode.properties" every advice is code 255.
    Advisor plain =
        advisortest::MakeAdvisor(*run, WriteAdvisorData({{"encode.properties", std::nullopt}}));
    ASSERT_GT(plain.EncodeNextAdvice(buffer, nullptr), 0);
    EXPECT_EQ(buffer[0], 255);
    // Decoding through the advisor appends to its list; nothing for length 0.
    const std::size_t before = plain.GetAdviceList().Size();
    plain.DecodeAdvice(buffer, 0);
    EXPECT_EQ(plain.GetAdviceList().Size(), before);
}

} // namespace
