#include "basiccomp/retrievalengine/code/addressindex.h"
#include "enginefixture.h"
#include "testdata/addressindexwriter.h"
#include "testdata/areatreewriter.h"
#include "testdata/cityindexwriter.h"
#include "testdata/datasetfolderwriter.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using testdata::AddressIndexWriter;

const char16_t kFolder[] = u"\\maps\\a";
const char16_t kBase[] = u"\\maps\\a\\Europe";

struct OpenedIndex {
    explicit OpenedIndex(const AddressIndexWriter& writer, bool isFull = true) {
        EXPECT_TRUE(writer.WriteTo(root, kFolder, kBase));
        index.Open(kBase, isFull, nullptr);
    }
    testdata::TempDeviceRoot root;
    AddressIndex index{BlockCache::Create(256)};
};

CountryRectSource Rects(AddressIndex& index) {
    return [&index](std::uint16_t number) { return index.GetCountryRect(number); };
}

TEST(AddressIndex, CookieLookupsAnswerOnlyInsideTheTable) {
    AddressIndexWriter writer;
    writer.AddCookieAreas(10, {0, 77, 78}).AddCookieAreas(20, {90}).SetCookieEnd(30);
    writer.AddCookiePostalCodes(10, {"53113", "ABCDEFGHIJKLMNOP"}).AddCookiePostalCodes(20, {"1"});
    OpenedIndex opened(writer);
    AddressIndex& index = opened.index;
    EXPECT_EQ(index.GetMaxCookie(), 29);
    const struct {
        std::int32_t cookie;
        std::uint32_t slot;
        std::int32_t areaId;
        const char16_t* postalCode; // null: none
    } cases[] = {
        {10, 0, -1, u"53113"}, // slot value 0
        {15, 1, 77, u"ABCDEFGHIJKLMNOP"},
        {12, 2, 78, nullptr}, // past the postal-code record
        {29, 0, 90, u"1"},
        {20, 5, -1, nullptr}, // slot beyond the record
        {9, 0, -1, nullptr},  // below the first key
        {30, 0, -1, nullptr}, // at the end marker
        {-5, 0, -1, nullptr},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        EXPECT_EQ(index.GetCookieAreaId(c.cookie, c.slot << 2), c.areaId);
        char16_t buffer[AddressIndex::kPostalCodeLength + 1] = {u'x'};
        EXPECT_EQ(index.GetCookiePostalCode(c.cookie, c.slot << 8, buffer),
                  c.postalCode != nullptr);
        EXPECT_EQ(std::u16string(buffer), c.postalCode != nullptr ? c.postalCode : u"");
    }
    AddressIndex closed(BlockCache::Create(16));
    char16_t buffer[AddressIndex::kPostalCodeLength + 1] = {u'x'};
    EXPECT_EQ(closed.GetCookieAreaId(15, 4), -1);
    EXPECT_FALSE(closed.GetCookiePostalCode(15, 0, buffer));
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(closed.GetMaxCookie(), 0);
}

TEST(AddressIndex, MapsIdsOnlyInTheModeItWasOpenedIn) {
    const struct {
        std::uint32_t firstMapped;
        bool isFull;
        std::uint32_t expected7; // the id 7 mapped
        std::uint32_t expected8;
    } cases[] = {
        {0x0800, false, 0x0800, 0}, // kept: 0xF800 has a bit set
        {0x0400, false, 0, 0},      // closed again
        {0x0400, true, 7, 8},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        AddressIndexWriter writer;
        writer.AddS2C(7, c.firstMapped).AddS2C(9, 0x1234);
        OpenedIndex opened(writer, c.isFull);
        EXPECT_EQ(opened.index.LookupS2C(7), c.expected7);
        EXPECT_EQ(opened.index.LookupS2C(8), c.expected8);
    }
    AddressIndex fresh(BlockCache::Create(16));
    EXPECT_EQ(fresh.LookupS2C(7), 0u);
}

TEST(AddressIndex, HouseNumbersCollectAllRecordsAndKeepTheLastSchemes) {
    AddressIndexWriter writer;
    writer
        .AddHouseNumbers({5, 3, 4, 2, 0, 0, 0})   // schemes below 10: the invalid 0 dropped
        .AddHouseNumbers({5, 12, 3, 8, 0, -1, 0}) // a range: all kept
        .AddHouseNumbers({6, 1, 1, 4, 5, 0, 0});
    OpenedIndex opened(writer);
    const struct {
        std::uint32_t elementId;
        bool found;
        std::uint32_t firstScheme, secondScheme, rangeFlag;
        std::vector<unsigned short> firstNumbers, secondNumbers;
    } cases[] = {
        {5, true, 12, 3, 1, {2, 8}, {0}},
        {6, true, 1, 1, 0, {4}, {5}},
        {7, false, 0, 0, 1, {}, {}},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        HouseNumberInfo info;
        EXPECT_EQ(opened.index.FillHouseNumberInfo(c.elementId, info), c.found);
        EXPECT_EQ(info.firstSideScheme, c.firstScheme);
        EXPECT_EQ(info.secondSideScheme, c.secondScheme);
        EXPECT_EQ(info.rangeFlag, c.rangeFlag);
        std::vector<unsigned short> first;
        std::vector<unsigned short> second;
        for (const HouseNumber& n : info.firstSide.GetNumbers()) {
            first.push_back(n.GetNumber());
        }
        for (const HouseNumber& n : info.secondSide.GetNumbers()) {
            second.push_back(n.GetNumber());
        }
        EXPECT_EQ(first, c.firstNumbers);
        EXPECT_EQ(second, c.secondNumbers);
    }
}

TEST(AddressIndex, CountriesTakeTheAskedLanguageElseTheirOwnElseAnyNameTheyHave) {
    AddressIndexWriter writer;
    writer.AddCountry(4, 1, "P").AddCountry(4, 102, "Q").AddCountry(7, 103, "SVERIGE");
    writer.AddCountry(9, 5, "").AddCountry(9, 3, "NEUF");
    writer.AddCountry(50, 0, "FIFTY").AddCountry(51, 0, "FIFTY-ONE");
    writer.AddCookieCountry(100, 1).AddCookieCountry(200, 2);
    OpenedIndex opened(writer);
    AddressIndex& index = opened.index;
    const struct {
        std::uint16_t number, language;
        const char16_t* name; // null: no country
        const char16_t* nativeName;
        std::uint16_t expectedLanguage;
    } cases[] = {
        {4, 1, u"P", u"Q", 1},
        {4, 5, u"Q", u"Q", 2},
        {7, 0, u"Sverige", u"Sverige", 3},
        {8, 0, nullptr, nullptr, 0},
        // Named in no asked or own language: the name of another language.
        {50, 1, u"Fifty", u"", 0},
        {9, 5, u"Neuf", u"", 3},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        const CountryPtr country = index.GetCountry(c.number, c.language, Rects(index));
        ASSERT_EQ(static_cast<bool>(country), c.name != nullptr);
        if (country) {
            EXPECT_EQ(country->GetName(), c.name);
            EXPECT_EQ(country->GetNativeName(), c.nativeName);
            EXPECT_EQ(country->GetLanguage(), c.expectedLanguage);
            EXPECT_EQ(country->GetNumber(), c.number);
        }
    }
    std::vector<std::uint16_t> numbers;
    for (const CountryPtr& country : index.GetCountries(0, Rects(index))) {
        numbers.push_back(country->GetNumber());
    }
    EXPECT_EQ(numbers, (std::vector<std::uint16_t>{4, 7, 9, 50}));

    const std::pair<std::uint32_t, std::int16_t> elements[] = {
        {50, 0}, {100, 1}, {101, 2}, {200, 2}, {201, 0}};
    for (const auto& [id, code] : elements) {
        EXPECT_EQ(index.GetCountryCode(id), code) << id;
    }
}

TEST(AddressIndex, TablesOfTypesEntryPointsAndPostalCodes) {
    AddressIndexWriter writer;
    writer.AddType(3, "HAUPTSTRASSE").AddType(-2, "weg");
    writer.AddEntryPoint(9, 1.5f, 2.5f).AddEntryPoint(9, 3.0f, 4.0f).AddEntryPoint(10, 0, 0);
    writer.AddPostalCode(1, "53113", {7, 50, 7.1f, 50.1f})
        .AddPostalCode(1, "53119", {7, 51, 7.2f, 51.1f})
        .AddPostalCode(2, "53113", {8, 50, 8.1f, 50.1f});
    OpenedIndex opened(writer);
    AddressIndex& index = opened.index;
    EXPECT_EQ(index.GetETypeName(3), u"Hauptstrasse");
    EXPECT_EQ(index.GetETypeName(4), u"");
    std::vector<std::int32_t> types;
    for (TypeCursorPtr cursor = index.GetETypeCursor(); cursor && cursor->IsValid();
         cursor->Next()) {
        types.push_back(cursor->GetCurrent());
    }
    EXPECT_EQ(types.size(), 2u);
    EXPECT_NE(std::find(types.begin(), types.end(), -2), types.end());

    std::vector<GeoPoint> points{{9, 9}}; // appended to
    EXPECT_TRUE(index.GetEntryPoints(9, points));
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[2].y, 4.0f);
    std::vector<GeoPoint> none;
    EXPECT_FALSE(index.GetEntryPoints(11, none));

    EXPECT_EQ(index.GetPostalCodeRect(u"53113", 2).minX, 8.0f);
    EXPECT_EQ(index.GetPostalCodeRect(u"5311", 1).minX, 0.0f); // exact only
    std::vector<std::u16string> found;
    for (PostalCodeCursorPtr cursor = index.FindPostalCodes(u"5311", 1); cursor->IsValid();
         cursor->Next()) {
        found.push_back(cursor->GetCurrent()->GetText());
    }
    EXPECT_EQ(found, (std::vector<std::u16string>{u"53113", u"53119"}));
}

// Country 7 with a region holding a city, a second city in the country; one description, once as
// the tree file, once as area table and list file.
struct AreaForms {
    testdata::AreaTreeWriter tree;
    AddressIndexWriter table;
    AreaForms() {
        tree.Add({"7", 10, -1, 70, {-9, 40, -5, 50}});
        tree.Add({"NORD", 8, 0, 80, {-8, 45, -5, 50}});
        tree.Add({"BONN", 4, 1, 40, {-7, 46, -6, 47}});
        tree.Add({"KOELN", 4, 0, 41, {-8, 41, -7, 42}});
        for (std::int32_t i = 0; i < 4; ++i) {
            const testdata::AreaSpec& area = tree.GetAreas()[static_cast<std::size_t>(i)];
            table.AddArea({static_cast<std::int32_t>(tree.GetId(i)),
                           static_cast<std::int32_t>(tree.GetId(area.parent)), area.name,
                           static_cast<std::int32_t>(area.level), area.rect});
        }
        table.AddCountry(7, 0, "LAND SIEBEN");
    }
};

TEST(AddressIndex, AreaTreeAndAreaTableGiveTheSameAnswers) {
    AreaForms forms;
    const std::uint32_t country = forms.tree.GetId(0);
    const std::uint32_t region = forms.tree.GetId(1);
    const std::uint32_t city = forms.tree.GetId(2);
    const std::uint32_t second = forms.tree.GetId(3);
    const struct {
        bool isTree;
        std::vector<std::uint32_t> countryChildren;
    } cases[] = {
        {true, {region, second}},
        // All descendants, depth first; the cycle back to the country ends after one round.
        {false, {region, second, city, country}},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(forms.table.WriteTo(root, kFolder));
        if (c.isTree) {
            ASSERT_TRUE(root.WriteFile(u"\\maps\\a\\EAreaI.tre", forms.tree.Build()));
        } else {
            ASSERT_TRUE(root.WriteFile(
                u"\\maps\\a\\EAreaP.fsr",
                testdata::WriteAreaList(
                    {{country, {region, second}}, {region, {city}}, {city, {country}}}))); // cycle
        }
        ASSERT_TRUE(root.WriteFile(u"\\maps\\a\\AllCitiesByName.fsr", std::string("x")));
        AddressIndex index(BlockCache::Create(256));
        index.Open(kBase, true, nullptr);
        EXPECT_EQ(index.IsAreaTreeOpen(), c.isTree);
        EXPECT_EQ(index.IsAreaTableOpen(), !c.isTree);
        EXPECT_FALSE(index.AreCityTablesOpen());
        EXPECT_EQ(index.WalkAreaHierarchy(city, 10), static_cast<std::int32_t>(country));
        EXPECT_EQ(index.WalkAreaHierarchy(city, 8), static_cast<std::int32_t>(region));
        EXPECT_EQ(index.WalkAreaHierarchy(country, 11), -1);
        EXPECT_EQ(index.WalkAreaHierarchy(region, 4), -1);
        EXPECT_EQ(index.LookupArea(city, Rects(index)), u"Bonn");
        EXPECT_EQ(index.LookupArea(country, Rects(index)), u"Land Sieben");
        EXPECT_EQ(index.LookupArea(0xFFFFFFFF, Rects(index)), u"");
        EXPECT_EQ(index.GetAreaRect(city).minX, -7.0f);
        EXPECT_EQ(index.GetAreaRect(12345).minX, 0.0f);
        EXPECT_EQ(index.GetCountryRect(7).minX, -9.0f);
        EXPECT_EQ(index.GetCountryRect(8).maxX, 0.0f);
        std::vector<std::uint32_t> children;
        EXPECT_TRUE(index.GetChildAreas(country, children));
        EXPECT_EQ(children, c.countryChildren);
        std::vector<std::uint32_t> none;
        EXPECT_FALSE(index.GetChildAreas(second, none));
        EXPECT_EQ(index.GetCountry(7, 0, Rects(index))->GetRect().maxY, 50.0f);
    }
}

TEST(AddressIndex, CountryRectOfTheAreaTableJoinsEveryCountryRecord) {
    AddressIndexWriter writer;
    writer.AddArea({1, -1, "7", 10, {-20, 40, -10, 45}})
        .AddArea({2, -1, "7", 10, {-12, 30, -2, 44}})
        .AddArea({3, -1, "8", 10, {5, 5, 6, 6}})
        .AddArea({4, 1, "7", 9, {-50, -50, 50, 50}});
    OpenedIndex opened(writer);
    const GeoRect rect = opened.index.GetCountryRect(7);
    EXPECT_EQ(rect.minX, -20.0f);
    EXPECT_EQ(rect.minY, 30.0f);
    EXPECT_EQ(rect.maxX, -2.0f);
    EXPECT_EQ(rect.maxY, 45.0f);
}

} // namespace

namespace {

TEST(AddressIndex, SignInformationAndSignpostsOfElements) {
    AddressIndexWriter writer;
    writer.AddAdas(12, {1, (1u << 28) | (1u << 31), {}, {}}).AddAdas(13, {1, 1u << 28, {}, {}});
    writer.AddSignpost(12, 4, "A3", "Koeln").AddSignpost(12, 5, "", "Bonn");
    const struct {
        bool hasTables;
        std::uint32_t elementId;
        bool hasInfo;
        const char16_t* noteText;
        std::size_t signposts;
    } cases[] = {
        {true, 12, true, u"Stop", 2},
        {false, 12, true, u"", 2}, // no sign tables: no text
        {true, 13, true, u"", 0},  // the note does not carry the text
        {true, 14, false, u"", 0},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        AddressIndexWriter signs = writer;
        if (c.hasTables) {
            signs.SetSignTables(testdata::SignTableText({{"12", "7"}, {"13", "7"}}),
                                testdata::SignTableText({{"7", "3"}}),
                                testdata::SignTableText({{"3", "Stop"}}));
        }
        OpenedIndex opened(signs);
        EXPECT_EQ(opened.index.AreSignTablesLoaded(), c.hasTables);
        const SignInfoPtr info = opened.index.GetSignInfo(c.elementId);
        ASSERT_EQ(static_cast<bool>(info), c.hasInfo);
        if (info) {
            std::vector<SignNote> notes;
            ASSERT_EQ(info->GetNotes(notes).size(), 1u);
            EXPECT_EQ(notes[0].text, c.noteText);
        }
        std::size_t count = 0;
        for (FsxRecord record = opened.index.FindSignposts(c.elementId); record.IsValid();
             record.Next()) {
            ++count;
        }
        EXPECT_EQ(count, c.signposts);
    }
}

} // namespace

namespace {

// Writes the map set, marked as one with an address index, and its level file into \maps\a.
bool WriteAddressMapSet(const EngineDevice& device, testdata::MapSetWriter& map) {
    testdata::RidHeaderFields header;
    header.mapKind = RidFile::kMapKindWithAddressIndex;
    map.SetHeader(header);
    return device.WriteMapSet(map, u"\\maps\\a", "Europe", Packing::Loose) &&
           testdata::LevelFileWriter()
               .AddMapLine("Europe.rid", "Europe", 3, "x")
               .WriteTo(device.root.HostPathOf(u"\\maps\\a\\EUROPE.LVL"));
}

// A map set with its address index, once with the area tree and once with the area table and
// list file: elements with area, postal-code, sign and signpost bits answer through the engine.
TEST(AddressIndex, EngineAnswersAddressQuestionsOfAMapSet) {
    constexpr std::uint32_t kArea = 1u;
    constexpr std::uint32_t kSigns = (1u << 25) | (1u << 31);
    for (const bool isTree : {true, false}) {
        SCOPED_TRACE(isTree ? "tree" : "table");
        EngineDevice device;
        testdata::MapSetWriter map;
        map.Add(PointElement(1000, 1000, 3, "BONN MITTE", kArea | (1u << 2) | (1u << 8) | kSigns));
        map.Add(PointElement(2000, 1000, 3, "Koeln Dom", kArea | (2u << 2)));
        testdata::ElementDescription line;
        line.typeLetter = 'p';
        line.points = {{500, 500}, {1500, 2500}};
        line.typeCode = 6;
        line.name = "Rheinufer";
        map.Add(line);
        map.Add(PointElement(3000, 1000, 3, "Feld"));
        ASSERT_TRUE(WriteAddressMapSet(device, map));
        const std::vector<std::uint32_t>& ids = map.GetElementIds();
        const std::uint32_t first = *std::min_element(ids.begin(), ids.end());
        const std::uint32_t last = *std::max_element(ids.begin(), ids.end());

        AreaForms forms;
        const std::uint32_t country = forms.tree.GetId(0);
        const std::uint32_t bonn = forms.tree.GetId(2);
        AddressIndexWriter& index = forms.table;
        index.AddCookieAreas(static_cast<std::int32_t>(first), {0, bonn, forms.tree.GetId(3)})
            .AddCookiePostalCodes(static_cast<std::int32_t>(first), {"50667", "53113"})
            .SetCookieEnd(static_cast<std::int32_t>(last + 1));
        index.AddType(3, "ORT").AddPostalCode(1, "53113", {7, 50, 7.1f, 50.1f});
        index.AddCookieCountry(static_cast<std::int32_t>(ids[0]), 7);
        index.AddEntryPoint(static_cast<std::int32_t>(ids[0]), 7.5f, 50.5f);
        index.AddHouseNumbers({static_cast<std::int32_t>(ids[0]), 12, 3, 1, 2, 0, 0});
        index.AddAdas(static_cast<std::int32_t>(ids[0]), {1, (1u << 28) | (1u << 31), {}, {}});
        index.AddSignpost(static_cast<std::int32_t>(ids[0]), 4, "A565", "Bonn-Nord");
        index.SetSignTables(testdata::SignTableText({{std::to_string(ids[0]), "7"}}),
                            testdata::SignTableText({{"7", "3"}}),
                            testdata::SignTableText({{"3", "Stop"}}));
        ASSERT_TRUE(index.WriteTo(device.root, u"\\maps\\a"));
        if (isTree) {
            ASSERT_TRUE(device.root.WriteFile(u"\\maps\\a\\EAreaI.tre", forms.tree.Build()));
        } else {
            ASSERT_TRUE(device.root.WriteFile(
                u"\\maps\\a\\EAreaP.fsr",
                testdata::WriteAreaList({{country, {forms.tree.GetId(1), forms.tree.GetId(3)}},
                                         {forms.tree.GetId(1), {bonn}}})));
        }
        const auto engine = RetrievalEngineImpl::CreateEngine(device.cache);
        ASSERT_TRUE(engine->Open(u"\\maps\\a\\EUROPE.LVL"));
        ASSERT_TRUE(engine->HasAddressIndex());
        EXPECT_TRUE(engine->IsCookie2CountryOpen());
        EXPECT_TRUE(engine->IsHouseNumbersOpen());

        EXPECT_EQ(engine->LookupArea(bonn), u"Bonn");
        EXPECT_EQ(engine->LookupArea(country), u"Land Sieben");
        EXPECT_EQ(engine->WalkAreaHierarchy(bonn, 10), static_cast<std::int32_t>(country));
        EXPECT_EQ(engine->GetETypeName(3), u"Ort");
        const TypeCursorPtr types = engine->GetETypeCursor();
        ASSERT_TRUE(types && types->IsValid());
        EXPECT_EQ(types->GetCurrent(), 3);
        const std::vector<CountryPtr> countries = engine->GetCountries(0);
        ASSERT_EQ(countries.size(), 1u);
        EXPECT_EQ(countries[0]->GetName(), u"Land Sieben");
        EXPECT_EQ(engine->GetCountry(7, 0)->GetRect().minX, -9.0f);
        const PostalCodeCursorPtr codes = engine->FindPostalCodes(u"531", 1);
        ASSERT_TRUE(codes && codes->IsValid());
        EXPECT_EQ(codes->GetCurrent()->GetText(), u"53113");

        const AddressResultPtr address = engine->GetAddressOfElement(ids[0], 9);
        ASSERT_TRUE(address);
        EXPECT_EQ(address->GetName(), u"Bonn Mitte");
        EXPECT_EQ(address->GetAreaId(), static_cast<std::int32_t>(bonn));
        EXPECT_EQ(address->GetPostalCode(), u"53113");
        EXPECT_EQ(address->GetValue(), 9);
        EXPECT_EQ(address->GetRect().minX, -7.0f);
        EXPECT_FALSE(engine->GetAddressOfElement(ids[2], 9)); // not a point element
        const AddressResultPtr plain = engine->GetAddressOfElement(ids[3], 0);
        ASSERT_TRUE(plain);
        EXPECT_FALSE(plain->HasArea());
        EXPECT_EQ(plain->GetRect(), MapUnitsToDegrees(MapRect{3000, 1000, 3010, 1010}));

        const MapElementPtr element = engine->GetElement(ids[0]);
        ASSERT_TRUE(element);
        EXPECT_EQ(element->WalkAreas(10), static_cast<std::int32_t>(country));
        EXPECT_EQ(std::u16string(element->GetPostalCode()), u"53113");
        EXPECT_EQ(engine->GetElement(ids[1])->WalkAreas(4),
                  static_cast<std::int32_t>(forms.tree.GetId(3)));
        EXPECT_EQ(element->GetCountry(), 7);
        std::vector<GeoPoint> points;
        EXPECT_TRUE(element->GetEntryPoints(points));
        HouseNumberInfo info;
        EXPECT_TRUE(element->GetHouseNumberInfo(info));
        EXPECT_EQ(info.firstSide.GetSize(), 1u);
        SignInfoPtr sign;
        element->GetSignInfo(sign);
        ASSERT_TRUE(sign);
        std::vector<SignNote> notes;
        ASSERT_EQ(sign->GetNotes(notes).size(), 1u);
        EXPECT_EQ(notes[0].text, u"Stop");
        std::vector<Signpost> signposts;
        EXPECT_TRUE(element->GetSignposts(signposts));
        ASSERT_EQ(signposts.size(), 1u);
        EXPECT_EQ(signposts[0].code, "A565");
        EXPECT_EQ(signposts[0].text, u"Bonn-Nord");
    }
}

} // namespace

namespace {

struct FoundCity {
    std::u16string name;
    std::int32_t areaId;
    std::uint16_t value;
    float minX;

    friend bool operator==(const FoundCity&, const FoundCity&) = default;
};

std::vector<FoundCity> Cities(const AddressCursorPtr& cursor) {
    std::vector<FoundCity> found;
    for (; cursor && cursor->IsValid(); cursor->Next()) {
        const AddressResultPtr city = cursor->GetCurrent();
        found.push_back(
            {city->GetName(), city->GetAreaId(), city->GetValue(), city->GetRect().minX});
    }
    return found;
}

enum class CityForm { Tree, TreeWithoutIndex, Tables };

// The city search of a map set: over the city index files with the tree, over the city tables
// without it.
TEST(AddressIndex, EngineFindsCitiesOfAMapSet) {
    for (const CityForm form : {CityForm::Tree, CityForm::TreeWithoutIndex, CityForm::Tables}) {
        SCOPED_TRACE(static_cast<int>(form));
        EngineDevice device;
        testdata::MapSetWriter map;
        map.Add(PointElement(1000, 1000, 3, "BAD HOMBURG"));
        map.Add(PointElement(2000, 1000, 3, "BADEN"));
        map.Add(PointElement(3000, 1000, 3, "HEILBAD"));
        map.Add(PointElement(4000, 1000, 3, "WIESBADEN"));
        ASSERT_TRUE(WriteAddressMapSet(device, map));
        const std::vector<std::uint32_t>& ids = map.GetElementIds();
        const float elementX = MapUnitsToDegrees(MapRect{2000, 1000, 2010, 1010}).minX;
        const float element4X = MapUnitsToDegrees(MapRect{4000, 1000, 4010, 1010}).minX;

        testdata::AreaTreeWriter tree;
        tree.Add({"49", 10, -1, 0, {-20, 40, 20, 60}});
        tree.Add({"BAD HOMBURG", 4, 0, ids[0], {-3, 50, -2, 51}});
        tree.Add({"HEILBAD", 4, 0, ids[2], {-5, 48, -4, 49}});
        const auto homburg = static_cast<std::int32_t>(tree.GetId(1));
        const auto heilbad = static_cast<std::int32_t>(tree.GetId(2));
        AddressIndexWriter index;
        index.AddArea({homburg, -1, "BAD HOMBURG", 4, {-3, 50, -2, 51}});
        ASSERT_TRUE(index.WriteTo(device.root, u"\\maps\\a"));
        if (form == CityForm::Tables) {
            testdata::DatasetFolderWriter cities;
            cities.AddCity({"BAD HOMBURG", static_cast<std::int32_t>(ids[0]), homburg, 49, 10, {}});
            cities.AddCity({"BADEN",
                            static_cast<std::int32_t>(ids[1]),
                            static_cast<std::int32_t>(ids[1]),
                            49,
                            20,
                            {}});
            cities.AddCity({"HEILBAD", static_cast<std::int32_t>(ids[2]), heilbad, 49, 30, {}});
            ASSERT_TRUE(
                device.root.WriteFile(u"\\maps\\a\\AllCitiesByName.fsr",
                                      cities.BuildTable(testdata::DatasetFile::AllCitiesByName)));
            ASSERT_TRUE(device.root.WriteFile(
                u"\\maps\\a\\AllCitiesByCountry.fsr",
                cities.BuildTable(testdata::DatasetFile::AllCitiesByCountry)));
        } else {
            ASSERT_TRUE(device.root.WriteFile(u"\\maps\\a\\EAreaI.tre", tree.Build()));
            testdata::CityIndexWriter idx;
            idx.Add({"Bad Homburg", static_cast<std::uint32_t>(homburg), false, 10, 49})
                .Add({"Baden", ids[1], true, std::nullopt, 49})
                .Add({"Heilbad", static_cast<std::uint32_t>(heilbad), false, 30, 49})
                .Add({"Wiesbaden", ids[3], true, 40, 49});
            ASSERT_TRUE(idx.WriteTo(device.root, u"\\maps\\a"));
            if (form == CityForm::TreeWithoutIndex) {
                std::filesystem::remove(
                    device.root.HostPathOf(u"\\maps\\a\\AllCitiesByCountry.idx"));
            }
        }
        const auto engine = RetrievalEngineImpl::CreateEngine(device.cache);
        ASSERT_TRUE(engine->Open(u"\\maps\\a\\EUROPE.LVL"));

        std::vector<FoundCity> all;
        std::vector<FoundCity> none;
        if (form == CityForm::Tree) {
            // Prefix matches first, then matches inside; a record without 0x40 keeps the value
            // before it; element records have no area and the element's rectangle.
            all = {{u"Bad Homburg", homburg, 10, -3},
                   {u"Baden", -1, 10, elementX},
                   {u"Heilbad", heilbad, 30, -5},
                   {u"Wiesbaden", -1, 40, element4X}};
        } else if (form == CityForm::Tables) {
            // Prefix matches only; a city whose area is its element has none.
            all = {{u"Bad Homburg", homburg, 10, -3}, {u"Baden", -1, 20, elementX}};
        }
        EXPECT_EQ(Cities(engine->FindCities(u"BAD", 0)), all);
        EXPECT_EQ(Cities(engine->FindCities(u"BAD", 49)), all);
        EXPECT_EQ(Cities(engine->FindCities(u"BAD", 43)), none);
    }
}

} // namespace
