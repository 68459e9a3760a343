#include "basiccomp/retrievalengine/code/cityindexfile.h"
#include "basiccomp/retrievalengine/code/citysearchiterator.h"
#include "basiccomp/retrievalengine/code/namesearchcursor.h"
#include "testdata/cityindexwriter.h"
#include "testdata/memorybytefile.h"

#include "platform/kernel/messagebox.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using testdata::CityIndexEntry;

// Area nodes 1-7 in two countries, listed in no particular order.
testdata::CityIndexWriter SampleWriter() {
    testdata::CityIndexWriter writer;
    writer.Add({"Wiesbaden", 4, false, 40, 49})
        .Add({"Bad Homburg", 1, false, 10, 49})
        .Add({"Heilbad", 3, false, 30, 49})
        .Add({"Baden", 2, false, 20, 49})
        .Add({"Berlin", 5, false, 50, 49})
        .Add({"Baden bei Wien", 6, false, 60, 43})
        .Add({"Wien", 7, false, 70, 43});
    return writer;
}

struct Match {
    std::uint32_t recordNumber;
    std::uint16_t value;
    friend bool operator==(const Match&, const Match&) = default;
};

std::vector<Match> Matches(NameSearchCursor cursor) {
    std::vector<Match> matches;
    for (int guard = 0; cursor.HasNext() && guard < 1000; ++guard) {
        matches.push_back({cursor.GetRecordNumber(), cursor.GetRecordValue()});
        cursor.Next();
    }
    return matches;
}

// The area node ids of the matches.
std::vector<std::uint32_t> Nodes(const std::vector<Match>& matches) {
    std::vector<std::uint32_t> nodes;
    for (const Match& match : matches) {
        nodes.push_back(match.recordNumber >> 1);
    }
    return nodes;
}

std::vector<std::uint32_t> Search(const CityIndexFiles& files, std::u16string_view text,
                                  std::uint16_t country) {
    return Nodes(Matches(files.FindCities(text, country)));
}

CityIndexFiles LoadFiles(const testdata::CityIndexWriter& writer,
                         testdata::CityIndexFault fault = testdata::CityIndexFault::None) {
    testdata::MemoryByteFile byName(writer.BuildByName(fault));
    testdata::MemoryByteFile byCountry(writer.BuildByCountry(fault));
    CityIndexFiles files;
    EXPECT_TRUE(files.Load(byName, byCountry));
    return files;
}

TEST(ReadVarUInt, ReadsSevenBitGroupsAndRefusesMoreThanThirtyTwoBits) {
    const struct {
        std::vector<std::uint8_t> bytes;
        std::uint32_t size;
        bool isRead;
        std::uint32_t value;
        std::uint32_t next;
    } cases[] = {
        {{0x81}, 1, true, 1, 1},
        {{0xFF, 0x81}, 2, true, 255, 2},
        {{0x81, 0x40, 0x82}, 3, true, 1, 1},
        {{0x81, 0x81}, 1, true, 1, 1}, // stops at the size
        {{0x80, 0x80, 0x80, 0x80, 0x8F}, 5, true, 0xF0000000, 5},
        {{0x80, 0x80, 0x80, 0x80, 0x90}, 5, false, 0, 0},
        {{0x81, 0x81, 0x81, 0x81, 0x81, 0x81}, 6, false, 0, 0},
        {{0x41}, 1, false, 0, 0},
        {{}, 0, false, 0, 0},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        std::uint32_t position = 0;
        std::uint32_t value = 0;
        ASSERT_EQ(ReadVarUInt(c.bytes.data(), c.size, position, value), c.isRead);
        if (c.isRead) {
            EXPECT_EQ(value, c.value);
            EXPECT_EQ(position, c.next);
        }
    }
}

TEST(NameSearchCursor, GivesPrefixMatchesThenInfixMatchesEachOnce) {
    const CityIndexFiles files = LoadFiles(SampleWriter());
    const struct {
        std::u16string text;
        std::uint16_t country;
        std::vector<std::uint32_t> nodes;
    } cases[] = {
        {u"bad", 49, {1, 2, 3, 4}}, // BAD HOMBURG, BADEN, then HEILBAD, WIESBADEN
        {u"Bad", 0, {1, 2, 6, 3, 4}},
        {u"Wien", 43, {7, 6}},
        {u"baden", 43, {6}},
        {u"Wiesbaden", 49, {4}},
        {u"BAD", 7, {}}, // no section for country 7
        {u"BAD", 0xFFFF, {}},
        {u"xyz", 0, {}},
        {u"", 0, {}},
        {u" .-", 49, {}},
        {u"Berlin und Umgebung", 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.country) + " " + std::to_string(c.text.size()));
        EXPECT_EQ(Search(files, c.text, c.country), c.nodes);
    }
    EXPECT_EQ(Search(CityIndexFiles(), u"BAD", 0), std::vector<std::uint32_t>{});
}

TEST(NameSearchCursor, RecordWithoutValueKeepsTheLastValueRead) {
    testdata::CityIndexWriter writer;
    writer.Add({"Zell", 9, false, std::nullopt, 1})
        .Add({"Aalen", 1, false, 5, 1})
        .Add({"Aalena", 2, false, std::nullopt, 1})
        .Add({"Aalenb", 3, true, 7, 1})
        .Add({"Aalenc", 4, true, std::nullopt, 1})
        .Add({"Kell", 15, false, 3, 1})
        .Add({"Okell", 16, false, std::nullopt, 1})
        .Add({"Akell", 17, false, 8, 1});
    const CityIndexFiles files = LoadFiles(writer);
    const struct {
        std::u16string text;
        std::vector<Match> matches;
    } cases[] = {
        {u"Zell", {{18, 0}}}, // none read yet: 0
        {u"Aalen", {{2, 5}, {4, 5}, {7, 7}, {9, 7}}},
        {u"Aalenc", {{9, 0}}},
        {u"Kell", {{30, 3}, {34, 8}, {32, 3}}}, // past the prefix run, its value holds again
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.matches.size());
        EXPECT_EQ(Matches(files.FindCities(c.text, 0)), c.matches);
        EXPECT_EQ(Matches(files.FindCities(c.text, 1)), c.matches);
    }
}

TEST(CityIndexFile, BrokenFilesEndTheSearchWithinTheirBytes) {
    using testdata::CityIndexFault;
    const struct {
        const char* name;
        CityIndexFault fault;
        std::u16string text;
        std::uint16_t country;
        std::vector<std::uint32_t> nodes;
        bool showsBox;
    } cases[] = {
        {"six groups", CityIndexFault::SixGroupNumber, u"BAD", 0, {}, false},
        {"six groups later", CityIndexFault::SixGroupNumber, u"WIEN", 0, {7, 6}, false},
        {"six groups in a section", CityIndexFault::SixGroupNumber, u"WIEN", 43, {7}, false},
        {"no final 0: the last byte is outside",
         CityIndexFault::NoFinalZero,
         u"BAD",
         0,
         {1, 2, 6, 3},
         false},
        {"no final 0 in a section", CityIndexFault::NoFinalZero, u"WIEN", 43, {7, 6}, false},
        {"4 MB", CityIndexFault::FourMegabytes, u"BAD", 0, {}, true},
        {"4 MB by country", CityIndexFault::FourMegabytes, u"WIEN", 43, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::ClearRecordedMessageBoxes();
        const CityIndexFiles files = LoadFiles(SampleWriter(), c.fault);
        EXPECT_EQ(Search(files, c.text, c.country), c.nodes);
        const auto boxes = platform::RecordedMessageBoxes();
        if (c.showsBox) {
            ASSERT_FALSE(boxes.empty());
            EXPECT_EQ(boxes[0].text, u"ERROR: No memory");
            EXPECT_EQ(boxes[0].caption, u"RE");
        } else {
            EXPECT_TRUE(boxes.empty());
        }
    }
    platform::ClearRecordedMessageBoxes();
}

// The two files hold the same names: every form the writers give passes, and the file cut short
// (inside a record, at a record's end, to nothing) is the one found damaged.
TEST(CityIndexFile, TheFileCutShortIsTheOneFoundDamaged) {
    using testdata::CityIndexFault;
    using Check = CityIndexFiles::Check;
    const auto cutTo = [](std::vector<std::uint8_t> bytes, std::size_t size) {
        bytes.resize(size);
        return bytes;
    };
    const std::vector<std::uint8_t> byName = SampleWriter().BuildByName();
    const std::vector<std::uint8_t> byCountry = SampleWriter().BuildByCountry();
    const std::vector<std::uint8_t> oneLess =
        testdata::CityIndexWriter().Add({"Baden", 2, false, std::nullopt, 49}).BuildByName();
    const struct {
        const char* name;
        std::vector<std::uint8_t> byName;
        std::vector<std::uint8_t> byCountry;
        Check check;
    } cases[] = {
        {"whole", byName, byCountry, Check::Whole},
        {"no final 0", SampleWriter().BuildByName(CityIndexFault::NoFinalZero),
         SampleWriter().BuildByCountry(CityIndexFault::NoFinalZero), Check::Whole},
        {"six groups", SampleWriter().BuildByName(CityIndexFault::SixGroupNumber),
         SampleWriter().BuildByCountry(CityIndexFault::SixGroupNumber), Check::Whole},
        {"4 MB, not read", SampleWriter().BuildByName(CityIndexFault::FourMegabytes), byCountry,
         Check::Whole},
        {"by name cut in half", cutTo(byName, byName.size() / 2), byCountry, Check::ByNameDamaged},
        {"by name with fewer names", oneLess, byCountry, Check::ByNameDamaged},
        {"by country empty", byName, {}, Check::ByCountryDamaged},
        {"by country cut in half", byName, cutTo(byCountry, byCountry.size() / 2),
         Check::ByCountryDamaged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::MemoryByteFile nameFile(c.byName);
        testdata::MemoryByteFile countryFile(c.byCountry);
        CityIndexFiles files;
        ASSERT_TRUE(files.Load(nameFile, countryFile));
        EXPECT_EQ(files.CheckNames(), c.check);
    }
    platform::ClearRecordedMessageBoxes();
}

TEST(NameSearchCursor, CursorsOnTheTwoFilesStayApart) {
    const CityIndexFiles files = LoadFiles(SampleWriter());
    NameSearchCursor byName = files.FindCities(u"BAD", 0);
    ASSERT_TRUE(byName.HasNext());
    EXPECT_EQ(byName.GetRecordNumber() >> 1, 1u);
    byName.Next();
    EXPECT_EQ(Search(files, u"WIEN", 43), (std::vector<std::uint32_t>{7, 6}));
    EXPECT_EQ(Search(files, u"BERLIN", 49), (std::vector<std::uint32_t>{5}));
    EXPECT_EQ(Nodes(Matches(byName)), (std::vector<std::uint32_t>{2, 6, 3, 4}));

    const struct {
        std::u16string text;
        std::uint16_t country;
        std::vector<std::uint32_t> nodes;
    } searches[] = {{u"BAD", 0, {1, 2, 6, 3, 4}}, {u"WIEN", 43, {7, 6}}};
    std::vector<int> failures(std::size(searches), 0);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < std::size(searches); ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 200; ++round) {
                if (Search(files, searches[i].text, searches[i].country) != searches[i].nodes) {
                    ++failures[i];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(std::size(searches), 0));
}

// Area nodes 1-3 name elements 10-30; elements 10-59 can be fetched.
class FakeLookup final : public ICityLookup {
public:
    std::optional<CityAreaNode> FindAreaNode(std::uint32_t nodeId) override {
        if (nodeId < 1 || nodeId > 3) {
            return std::nullopt;
        }
        const auto corner = static_cast<float>(nodeId);
        return CityAreaNode{nodeId * 10, GeoRect(corner, corner, corner + 1, corner + 1)};
    }
    CityElementDetails ReadCityElement(std::uint32_t elementId) override {
        if (elementId < 10 || elementId > 59) {
            return {};
        }
        const auto corner = static_cast<float>(elementId);
        const std::u16string id(1, static_cast<char16_t>(u'0' + elementId / 10));
        return {u"City" + id, u"Area" + id, u"D-" + id, GeoRect(corner, 0, corner, 1)};
    }
    GeoRect GetAreaRect(std::int32_t) override { return {}; } // the table path's, not used here
    AddressResultPtr MakeCityResult(const CityResultFields& fields) override {
        made.push_back(fields);
        return AddressResultPtr(nullptr);
    }
    std::vector<CityResultFields> made;
};

TEST(CitySearchIterator, TakesElementAndRectangleFromTheNodeOrTheElement) {
    testdata::CityIndexWriter writer;
    writer
        .Add({"Aa", 1, false, 1, 0})  // node 1: element 10, the node's rectangle
        .Add({"Ab", 40, true, 2, 0})  // element 40 without area
        .Add({"Ac", 70, true, 3, 0})  // element 70 cannot be fetched
        .Add({"Ad", 3, false, 4, 0})  // node 3: element 30
        .Add({"Af", 9, false, 5, 0}); // no node 9: taken as element 9
    const CityIndexFiles files = LoadFiles(writer);
    auto* lookup = new FakeLookup;
    CityLookupPtr lookupPtr(lookup);
    CitySearchIterator iterator(lookupPtr, files.FindCities(u"A", 0));
    int steps = 1;
    while (iterator.Next()) {
        ++steps;
    }
    EXPECT_EQ(steps, 5);
    EXPECT_FALSE(iterator.IsValid());
    EXPECT_FALSE(iterator.GetCurrent());

    const struct {
        std::u16string name;
        std::u16string postalCode;
        std::uint16_t value;
        std::uint32_t elementId;
        std::int32_t areaId;
        GeoRect rect;
    } expected[] = {
        {u"City1", u"D-1", 1, 10, 1, GeoRect(1, 1, 2, 2)},
        {u"City4", u"D-4", 2, 40, -1, GeoRect(40, 0, 40, 1)},
        {u"", u"", 3, 70, -1, GeoRect()},
        {u"City3", u"D-3", 4, 30, 3, GeoRect(3, 3, 4, 4)},
        {u"", u"", 5, 9, -1, GeoRect()},
    };
    ASSERT_EQ(lookup->made.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const CityResultFields& made = lookup->made[i];
        EXPECT_EQ(made.name, expected[i].name);
        EXPECT_EQ(made.postalCode, expected[i].postalCode);
        EXPECT_EQ(made.value, expected[i].value);
        EXPECT_EQ(made.elementId, expected[i].elementId);
        EXPECT_EQ(made.areaId, expected[i].areaId);
        EXPECT_EQ(made.rect, expected[i].rect);
    }
}

} // namespace
