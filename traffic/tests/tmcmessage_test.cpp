#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "basiccomp/retrievalengine/code/ridfile.h"
#include "testdata/addressindexwriter.h"
#include "testdata/alertcencoder.h"
#include "testdata/mapsetwriter.h"
#include "testdata/recordingengine.h"
#include "testdata/tempdir.h"
#include "testdata/tmctableswriter.h"
#include "traffic/tmcdecoder.h"
#include "traffic/tmcmessage.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t Code(std::uint32_t location) {
    return MakeTmcLocationCode(1, 1, location);
}

testdata::TmcLocationRow Row(std::uint32_t location, std::uint8_t typeClass, std::string first,
                             std::uint32_t line = 0, std::uint32_t area = 0) {
    testdata::TmcLocationRow row;
    row.code = Code(location);
    row.typeClass = typeClass;
    row.firstName = std::move(first);
    row.line = line == 0 ? 0 : Code(line);
    row.area = area == 0 ? 0 : Code(area);
    return row;
}

// The sample tables and a few more: lines 150 and 170 both referring to 160 (points 120 -> 121
// on them); cyclic line references 180 <-> 181 and 190 <-> 191 (points 122 -> 123); areas
// 310 <-> 311; a location 400 without a type class; a point 124 without a chain; 65535; a
// cancelling event 2040.
testdata::TmcTablesModel Model() {
    testdata::TmcTablesModel m = testdata::TmcSampleTables();
    auto line = [](std::uint32_t code, std::string number, std::string a, std::string b,
                   std::uint32_t reference) {
        testdata::TmcLocationRow row = Row(code, 1, std::move(a), reference);
        row.roadNumber = std::move(number);
        row.secondName = std::move(b);
        return row;
    };
    m.locations.push_back(line(150, "B5", "Lund", "Mora", 160));
    m.locations.push_back(line(160, "E45", "Kiel", "Rom", 0));
    m.locations.push_back(line(170, "B7", "Ulm", "Jena", 160));
    m.locations.push_back(line(180, "C1", "Eins", "Zwei", 181));
    m.locations.push_back(line(181, "C2", "Drei", "Vier", 180));
    m.locations.push_back(line(190, "C3", "Fuenf", "Sechs", 191));
    m.locations.push_back(line(191, "C4", "Sieben", "Acht", 190));
    testdata::TmcLocationRow p120 = Row(120, 0, "Hof", 150);
    p120.hasChain = true;
    p120.positive = Code(121);
    testdata::TmcLocationRow p121 = Row(121, 0, "Gera", 170);
    p121.hasChain = true;
    testdata::TmcLocationRow p122 = Row(122, 0, "Aue", 180);
    p122.hasChain = true;
    p122.positive = Code(123);
    testdata::TmcLocationRow p123 = Row(123, 0, "Zeitz", 190);
    p123.hasChain = true;
    m.locations.insert(m.locations.end(), {p120, p121, p122, p123});
    m.locations.push_back(Row(124, 0, "Solo", 100));
    m.locations.push_back(Row(310, 2, "Innen", 0, 311));
    m.locations.push_back(Row(311, 2, "Aussen", 0, 310));
    m.locations.push_back(Row(400, 3, "Ohne"));
    m.locations.push_back(Row(65535, 0, "Alle"));
    m.events.push_back({2040, "Sperrung aufgehoben", true, 5, 0, 0, {}});
    return m;
}

class TmcMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MemoryArena::Shared().HoldsMemory()) {
            ASSERT_TRUE(MemoryArena::Shared().Reserve(4 << 20));
        }
        ASSERT_TRUE(testdata::TmcTablesWriter(Model()).WriteFolder(m_root, u"\\Data", true));
        m_database = CreateTmcDatabase(BlockCache::Create(256));
        ASSERT_TRUE(m_database && m_database->Load(u"\\Data"));
    }

    // The record the decoder builds from the message's groups (after a group 3A with the table
    // number when it is not 0), received at `time`.
    static TmcRawMessage Raw(const testdata::AlertCMessage& message, unsigned table = 1,
                             std::uint32_t time = 0) {
        testdata::AlertCEncoder encoder;
        if (table != 0) {
            encoder.AddTable(message.programmeId, table);
        }
        return Decoded(encoder.AddMessage(message).Build(), time);
    }

    static TmcRawMessage Decoded(const std::string& text, std::uint32_t time) {
        TmcDecoder decoder;
        TmcRawMessage raw{};
        int offset = 0;
        while (offset < static_cast<int>(text.size())) {
            offset += decoder.Decode(text.data() + offset, static_cast<int>(text.size()) - offset);
            if (const TmcRawMessage* message = decoder.TakeMessage()) {
                raw = *message;
            }
        }
        for (int i = 0; i < 4; ++i) {
            raw.receptionTime[i] = static_cast<std::uint8_t>(time >> (8 * i));
        }
        return raw;
    }

    static testdata::AlertCMessage Message(unsigned event, unsigned location, unsigned extent = 0,
                                           bool direction = true,
                                           std::vector<testdata::AlertCLabel> labels = {}) {
        testdata::AlertCMessage m;
        m.event = event;
        m.location = location;
        m.extent = extent;
        m.isNegativeDirection = direction;
        m.labels = std::move(labels);
        return m;
    }

    testdata::TempDeviceRoot m_root;
    TmcDatabasePtr m_database;
};

TEST_F(TmcMessageTest, ReadsTheFieldsOfTheRecord) {
    const struct {
        const char* name;
        testdata::AlertCMessage message;
        unsigned table;
        std::uint32_t locationCode;
        std::uint8_t extent;
    } cases[] = {
        {"CC 13", Message(101, 103), 1, Code(103), 0},
        {"CC 1",
         [] {
             auto m = Message(101, 103);
             m.programmeId = 0x1301;
             return m;
         }(),
         1, Code(103), 0},
        {"LTN 0, CC 12",
         [] {
             auto m = Message(101, 7);
             m.programmeId = 0xC201;
             return m;
         }(),
         0, MakeTmcLocationCode(12, 10, 7), 0},
        {"LTN 0, CC 15",
         [] {
             auto m = Message(101, 7);
             m.programmeId = 0xF201;
             return m;
         }(),
         0, MakeTmcLocationCode(15, 32, 7), 0},
        {"control codes 6 and 7", Message(101, 103, 2, true, {{1, 6}, {1, 7}}), 1, Code(103), 26},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TmcMessage message(Raw(c.message, c.table), *m_database, nullptr, 0);
        EXPECT_EQ(message.GetLocationCode(), c.locationCode);
        EXPECT_EQ(message.GetExtent(), c.extent);
    }
}

TEST_F(TmcMessageTest, DecodesEventsControlMessagesAndIds) {
    // Two groups of a real broadcast: labels 1 (control code), 14 and 9 (added event 803).
    const TmcMessage broadcast(Decoded("D3018405C2017BEB\nD3018405415D2C8C\n", 0), *m_database,
                               nullptr, 0);
    const std::vector<TmcMessage::Label> labels = broadcast.ReadLabels();
    ASSERT_GE(labels.size(), 3U);
    EXPECT_EQ(labels[0].number, 1);
    EXPECT_EQ(labels[1].number, 14);
    EXPECT_EQ(labels[2].number, 9);
    EXPECT_EQ(labels[2].value, 803);
    ASSERT_EQ(broadcast.GetEvents().size(), 2U);
    EXPECT_EQ(broadcast.GetEvents()[0]->GetCode(), 513);
    EXPECT_EQ(broadcast.GetEvents()[1]->GetCode(), 803);

    const struct {
        const char* name;
        testdata::AlertCMessage message;
        bool isValid, isControl, cancelsAll, allLocations;
        std::uint32_t id;
        std::set<std::uint32_t> classes;
    } cases[] = {
        {"plain", Message(101, 103), true, false, false, false, 101U << 16 | 103, {1}},
        {"added event",
         Message(101, 103, 0, true, {{9, 401}}),
         true,
         false,
         false,
         false,
         101U << 16 | 103,
         {1, 5}},
        {"unknown added event",
         Message(101, 103, 0, true, {{9, 999}}),
         true,
         false,
         false,
         false,
         101U << 16 | 103,
         {1}},
        {"cancel all", Message(2047, 65535), true, true, true, true, 0, {}},
        {"cancel all at a location", Message(2047, 103), true, true, true, false, 0, {}},
        {"cancel one class", Message(2040, 103), true, true, false, false, 0, {5}},
        {"unknown event", Message(999, 103), false, false, false, false, 0, {}},
        {"unknown location", Message(101, 999), false, false, false, false, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TmcMessage message(Raw(c.message), *m_database, nullptr, 0);
        EXPECT_EQ(message.IsValid(), c.isValid);
        EXPECT_EQ(message.IsControl(), c.isControl);
        EXPECT_EQ(message.CancelsAllEvents(), c.cancelsAll);
        EXPECT_EQ(message.IsForAllLocations(), c.allLocations);
        EXPECT_EQ(message.GetId(), c.id);
        EXPECT_EQ(message.GetUpdateClasses(), c.classes);
    }
}

TEST_F(TmcMessageTest, LifetimeFollowsDurationCodeAndEventDurationType) {
    constexpr std::uint32_t kAt23 = 20 * 86400 + 82800;
    constexpr std::uint32_t kMidnight = 20 * 86400;
    const auto single = [](unsigned event, unsigned duration) {
        auto m = Message(event, 103);
        m.duration = duration;
        return m;
    };
    const struct {
        const char* name;
        testdata::AlertCMessage message;
        std::uint32_t time;
        std::uint32_t lifetime;
    } cases[] = {
        {"dynamic, code 7", single(101, 7), kAt23, 3600},
        {"dynamic, code 2", single(101, 2), kAt23, 1800},
        {"dynamic, code 6", single(101, 6), kAt23, 14400},
        {"longer-lasting, code 3", single(401, 3), kAt23, 90000},
        {"longer-lasting, code 1", single(401, 1), kAt23, 7200},
        {"longer-lasting, code 2", single(401, 2), kAt23, 3600},
        {"code 0, dynamic event", single(101, 0), kAt23, 900},
        {"code 0, longer-lasting event", single(401, 0), kAt23, 3600},
        {"control code 3 swaps", Message(101, 103, 0, true, {{1, 3}, {0, 4}}), kAt23, 90000},
        {"control code 3, no duration", Message(101, 103, 0, true, {{1, 3}}), kAt23, 3600},
        {"duration of the added event", Message(101, 103, 0, true, {{9, 401}, {0, 1}}), kAt23,
         7200},
        {"stop time caps", Message(401, 103, 0, true, {{0, 3}, {8, 0xF4}}), kAt23 - 7200, 97200},
        {"stop time at midnight", Message(401, 103, 0, true, {{0, 3}, {8, 0xF4}}), kMidnight, 900},
        {"end of day at midnight", single(401, 2), kMidnight, 86400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TmcMessage message(Raw(c.message, 1, c.time), *m_database, nullptr, 0);
        EXPECT_EQ(message.ComputeLifetime(), c.lifetime);
    }
}

TEST_F(TmcMessageTest, BuildsTheDescriptionOfEachLocationKind) {
    const struct {
        const char* name;
        testdata::AlertCMessage message;
        std::string text;
    } cases[] = {
        {"point", Message(101, 103), "A1, Hamburg<->Basel, Sued:  Stau"},
        {"point, direction bit 0", Message(101, 103, 0, false), "A1, Basel<->Hamburg, Sued:  Stau"},
        {"point with road name", Message(115, 104),
         "A1, Ring, Hamburg->Basel, Kreuz:  stockender Verkehr"},
        {"point, extent 2", Message(101, 101, 2), "A1, Hamburg<->Basel, Sued<->Nord:  Stau"},
        {"lines meeting", Message(101, 120, 1), "E45, Kiel<->Rom, Gera<->Hof:  Stau"},
        {"cyclic lines", Message(101, 122, 1), "C1, Eins<->Zwei, Zeitz<->Aue:  Stau"},
        {"no chain", Message(101, 124, 1), ":  Stau"},
        {"segment", Message(115, 200), "A7, Elbtunnel, Altona->Harburg:  stockender Verkehr"},
        {"segment, direction bit 0", Message(101, 200, 0, false),
         "A7, Elbtunnel, Harburg<->Altona:  Stau"},
        {"segment without chain", Message(101, 200, 1), "A7, Elbtunnel, :  Stau"},
        {"area", Message(101, 300), "Hamburg, Norddeutschland:  Stau"},
        {"cyclic areas", Message(101, 310), "Innen, Aussen:  Stau"},
        {"no type class", Message(101, 400), ":  Stau"},
        {"two events", Message(101, 300, 0, true, {{9, 401}}),
         "Hamburg, Norddeutschland:  Stau; gesperrt"},
        {"control code 2", Message(101, 300, 0, true, {{1, 2}}), "Hamburg, Norddeutschland:  Stau"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TmcMessage message(Raw(c.message), *m_database, nullptr, 0);
        ASSERT_TRUE(message.IsValid());
        message.BuildText();
        EXPECT_EQ(message.GetNarrowText(), c.text);
        EXPECT_EQ(message.GetText(), std::u16string(c.text.begin(), c.text.end()));
    }
}

TEST_F(TmcMessageTest, CountryTextFollowsCountryCodeAndTable) {
    const struct {
        std::uint16_t programmeId;
        unsigned table;
        std::u16string name;
    } cases[] = {
        {0xD301, 1, u"Deutschland"},
        {0x0301, 1, u"Deutschland"},
        {0xA301, 1, u"\u00D6sterreich"},
        {0x9301, 1, u"D\u00E4nemark"},
        {0xE301, 33, u"Sweden"},
        {0xE301, 17, u"Spanien"},
        {0xE301, 5, u""},
        {0xF301, 49, u"Norwegen"},
        {0x2301, 1, u"Europa"},
        {0x3301, 1, u"Europa"},
        {0x7301, 1, u"Europa"},
        {0xB301, 1, u"Europa"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.programmeId);
        auto raw = Message(101, 103);
        raw.programmeId = c.programmeId;
        TmcMessage message(Raw(raw, c.table), *m_database, nullptr, 0);
        message.BuildText();
        EXPECT_EQ(message.GetCountryText(), c.name);
    }
}

TEST_F(TmcMessageTest, CountryTextComesFromTheEngineWhenItKnowsTheCountry) {
    const struct {
        std::uint16_t programmeId;
        unsigned table;
        bool hasCountry;
        std::u16string name;
        std::vector<std::string> calls;
    } cases[] = {
        {0xD301, 1, true, u"Germany", {"GetCountry(17, 2)"}},
        {0xE301, 33, true, u"Germany", {"GetCountry(44, 2)"}},
        {0xA301, 1, false, u"\u00D6sterreich", {"GetCountry(4, 2)"}},
        {0x2301, 1, true, u"Europa", {}},
        {0xE301, 5, true, u"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.programmeId);
        const testdata::RecordingEnginePtr engine = testdata::MakeRecordingEngine();
        if (c.hasCountry) {
            engine->script.country = CountryPtr(new testdata::ScriptedCountry(u"Germany", 17));
        }
        auto raw = Message(101, 103);
        raw.programmeId = c.programmeId;
        TmcMessage message(Raw(raw, c.table), *m_database, testdata::EngineInterface(engine), 2);
        message.BuildText();
        EXPECT_EQ(message.GetCountryText(), c.name);
        EXPECT_EQ(engine->Calls(), c.calls);
    }
}

TEST_F(TmcMessageTest, CountryTextFromAGeneratedMapSetElseTheFixedNames) {
    // A map set of one road with an address index naming countries 17 and 44 in language 2.
    testdata::MapSetWriter writer;
    testdata::ElementDescription road;
    road.bounds = {1'260'000, 5'300'000, 1'260'500, 5'300'500};
    road.typeCode = maprecord::kResidentialType;
    ASSERT_TRUE(writer.Add(road));
    testdata::RidHeaderFields header;
    header.mapKind = RidFile::kMapKindWithAddressIndex;
    writer.SetHeader(header);
    ASSERT_TRUE(m_root.MakeFolder(u"\\Maps"));
    ASSERT_TRUE(writer.WriteTo(m_root.HostPathOf(u"\\Maps\\Map")));
    testdata::AddressIndexWriter index;
    index.AddCountry(17, 2, "ALLEMAGNE").AddCountry(17, 1, "GERMANY").AddCountry(44, 2, "SCHWEDEN");
    ASSERT_TRUE(index.WriteTo(m_root, u"\\Maps"));
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(256));
    ASSERT_TRUE(engine->Open(u"\\Maps\\Map.rid"));
    ASSERT_TRUE(engine->HasAddressIndex());
    const RetrievalEngine::RetrievalEnginePtr shared(engine);
    const struct {
        std::uint16_t programmeId;
        unsigned table;
        std::u16string name;
    } cases[] = {
        {0xD301, 1, u"Allemagne"},       // country 17 in the map set
        {0xE301, 33, u"Schweden"},       // country 44 in the map set
        {0xA301, 1, u"\u00D6sterreich"}, // not in the map set: the fixed name
        {0x2301, 1, u"Europa"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.programmeId);
        auto raw = Message(101, 103);
        raw.programmeId = c.programmeId;
        TmcMessage message(Raw(raw, c.table), *m_database, shared, 2);
        message.BuildText();
        EXPECT_EQ(message.GetCountryText(), c.name);
    }
}

TEST_F(TmcMessageTest, BlockingEventsGiveABlockageWithTheSignNames) {
    const struct {
        const char* name;
        testdata::AlertCMessage message;
        bool isBlocking;
        std::set<std::string> signs;
    } cases[] = {
        {"blocking", Message(401, 103), true, {"Sperrung.bmp"}},
        {"blocking and another",
         Message(115, 103, 0, true, {{9, 401}}),
         true,
         {"Sperrung.bmp", "Stau.bmp"}},
        {"not blocking", Message(115, 103), false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TmcMessage message(Raw(c.message), *m_database, nullptr, 0);
        message.BuildText();
        const TmcBlockagePtr blockage = message.GetRouteImpact().GetBlockage();
        ASSERT_EQ(static_cast<bool>(blockage), c.isBlocking);
        EXPECT_FALSE(message.GetRouteImpact().GetSecond());
        if (blockage) {
            EXPECT_EQ(blockage->signNames, c.signs);
            EXPECT_EQ(blockage->word, 0xFFFF);
            EXPECT_EQ(blockage->values[0], 0);
            EXPECT_EQ(blockage->values[1], 5);
        }
    }
    for (const std::uint16_t code : {16, 24, 28, 1035, 1036, 2000}) {
        EXPECT_TRUE(IsBlockingTmcEvent(code)) << code;
    }
    for (const std::uint16_t code : {0, 15, 29, 1037, 1999, 2047}) {
        EXPECT_FALSE(IsBlockingTmcEvent(code)) << code;
    }
}

} // namespace
