#include "tablefiles/tests/datasetfixture.h"

namespace datasettest {
namespace {

TEST_F(DatasetFolder, StreetTextsAreasAndVariantsComeFromTheStreetRecord) {
    m_engine->script.country = CountryPtr(new testdata::ScriptedCountry(u"Deutschland", 49));
    testdata::DatasetFolderWriter named = StandardFolder();
    named.SetUnknownNameText("unbekannt");
    const struct {
        const char* name;
        bool hasUnknownText;
        std::uint32_t id;
        std::uint16_t variant;
        std::string street; // name | postal code | type name
        std::int32_t variantCode;
        std::int32_t type;
        std::array<std::int32_t, 4> walk; // levels 1, 2, 3, 4
    } rows[] = {
        {"named street", false, 500, 18, "Bergstr|80331|Strasse", 18, 1005, {2, 1, -1, -1}},
        {"unknown name, default text",
         false,
         504,
         19,
         "?|80331|Strasse",
         -1,
         1005,
         {2, -1, -1, -1}},
        {"unknown name, configured text",
         true,
         504,
         0,
         "Unbekannt|80331|Strasse",
         0,
         1005,
         {2, -1, -1, -1}},
        {"absent from XO_I",
         false,
         999,
         0xFFFF,
         "Name Id Not Found.|Postal Code Id Not Found.|Type Id Not Found.",
         -1,
         -1,
         {-1, -1, -1, -1}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DatasetsImpl& datasets = OpenFolder(row.hasUnknownText ? named : StandardFolder());
        GeoMoleculePtr street = datasets.CreateGeoMolecule(row.id, row.variant);
        ASSERT_TRUE(street);
        EXPECT_EQ(street->GetId(), row.id);
        EXPECT_EQ(Narrow(street->GetName()) + "|" + Narrow(street->GetPostalCode()) + "|" +
                      Narrow(street->GetTypeName()),
                  row.street);
        EXPECT_EQ(street->GetSecondName(), street->GetName());
        EXPECT_EQ(street->GetVariantCode(), row.variantCode);
        EXPECT_EQ(street->GetType(), row.type);
        EXPECT_EQ(street->GetAreaId(), row.walk[0]);
        for (std::int32_t level = 1; level <= 4; ++level) {
            EXPECT_EQ(street->WalkAreaHierarchy(level), row.walk[level - 1]) << level;
        }
    }
    EXPECT_TRUE(m_engine->Calls().empty());
}

TEST_F(DatasetFolder, HouseNumbersAnswerByElementAndPositionIsAStoredMiddlePoint) {
    testdata::DatasetFolderWriter writer = StandardFolder();
    writer.AddStreet({505, "KURZ", 1005, "", {-1, -1, -1}, {9200}});
    // A line that turns back: its points are stored in its order, not in the order of their
    // bytes.
    writer.AddStreet({506, "KEHRE", 1005, "", {-1, -1, -1}, {9201}});
    writer.AddElement(
        {9201, {{3, 3}, {1, 1}, {2, 2}}, testdata::DatasetHouseNumbers{2, "2-8", ""}});
    DatasetsImpl& datasets = OpenFolder(writer);
    const struct {
        const char* name;
        std::uint32_t street;
        unsigned short number;
        bool hasNumber;
        ElementPosition position;
    } rows[] = {
        {"range of the first element, four points", 500, 8, true, {9001, {8, 8}}},
        {"range of the last element, three points", 500, 34, true, {9003, {11, 11}}},
        {"no element matches: middle element, five points", 500, 99, false, {9002, {3, 3}}},
        {"number 0 is not valid", 500, 0, false, {9002, {3, 3}}},
        {"element without points", 505, 5, false, {9200, {0, 0}}},
        {"street without elements", 502, 5, false, {}},
        {"a line's middle point in its own order", 506, 4, true, {9201, {1, 1}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        GeoMoleculePtr street = datasets.CreateGeoMolecule(row.street, 0);
        ASSERT_TRUE(street);
        const HouseNumber number(row.number, 0);
        EXPECT_EQ(street->HasHouseNumbers(), row.street == 500 || row.street == 506);
        EXPECT_EQ(street->HasHouseNumber(number), row.hasNumber);
        EXPECT_EQ(street->GetHouseNumberPosition(number), row.position);
    }
}

TEST_F(DatasetFolder, LookupsNameAreasAndTypesAndAskTheEngineForCountries) {
    m_engine->script.country = CountryPtr(new testdata::ScriptedCountry(u"Deutschland", 49));
    DatasetsImpl& datasets = OpenFolder(StandardFolder());
    const struct {
        std::uint32_t area;
        std::string name;
        std::vector<std::string> engineCalls;
    } rows[] = {
        {2, "Muenchen", {}},
        {49, "Deutschland", {"GetCountry(49, 0)"}},
        {48, "", {}},
        {0xFFFFFFFF, "", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.area);
        m_engine->ClearCalls();
        EXPECT_EQ(Narrow(datasets.LookupArea(row.area)), row.name);
        EXPECT_EQ(m_engine->Calls(), row.engineCalls);
    }
    EXPECT_EQ(Narrow(datasets.GetETypeName(1006)), "Allee");
    EXPECT_EQ(Narrow(datasets.GetETypeName(1)), "");
    EXPECT_EQ(datasets.GetAreaRect(48), GeoRect());
}

TEST_F(DatasetFolder, StreetsGoToTheEngineWhenTheStreetTableIsMissing) {
    testdata::DatasetFolderWriter writer = StandardFolder();
    writer.SetTable(testdata::DatasetFile::XoI, {0, false, false, true, ""});
    DatasetsImpl& datasets = OpenFolder(writer);
    EXPECT_FALSE(datasets.HasStreetRecords());
    EXPECT_EQ(Streets(datasets.FindInPostalCode(u"80331", 0, u"B")),
              std::vector<std::string>{"null"});
    AddressResultPtr city = datasets.FindCities(u"MUENC", 0)->GetCurrent();
    EXPECT_EQ(city->GetElementId(), 20u);
    (void)city->GetPostalCode();
    EXPECT_FALSE(datasets.CreateGeoMolecule(500, 0));
    EXPECT_EQ(m_engine->Calls(),
              (std::vector<std::string>{"CreateMappedGeoMolecule(500, \"Bergstr\", 0)",
                                        "CreateMappedGeoMolecule(20, \"Muenchen\", 0)",
                                        "CreateGeoMolecule(500, 0)"}));
}

} // namespace
} // namespace datasettest
