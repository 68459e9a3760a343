#include "basiccomp/retrievalengine/code/indexcitycursor.h"
#include "testdata/datasetfolderwriter.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Elements 10-59 can be fetched; areas have the rectangle (id, id, id + 1, id + 1).
class TableLookup final : public ICityLookup {
public:
    std::optional<CityAreaNode> FindAreaNode(std::uint32_t) override { return std::nullopt; }
    CityElementDetails ReadCityElement(std::uint32_t elementId) override {
        if (elementId < 10 || elementId > 59) {
            return {};
        }
        const auto corner = static_cast<float>(elementId);
        const std::u16string id(1, static_cast<char16_t>(u'0' + elementId / 10));
        return {u"ELEMENT " + id, u"", u"D-" + id, GeoRect(corner, 0, corner, 1)};
    }
    GeoRect GetAreaRect(std::int32_t areaId) override {
        const auto corner = static_cast<float>(areaId);
        return GeoRect(corner, corner, corner + 1, corner + 1);
    }
    AddressResultPtr MakeCityResult(const CityResultFields& fields) override {
        made.push_back(fields);
        return AddressResultPtr(nullptr);
    }
    std::vector<CityResultFields> made;
};

TEST(IndexCityCursor, GivesPrefixMatchesOfTheTablesWithElementOrAreaRectangles) {
    testdata::TempDeviceRoot root;
    testdata::DatasetFolderWriter writer;
    writer
        .AddCity({"BAD HOMBURG", 10, 3, 49, 7, std::nullopt})      // element 10 in area 3
        .AddCity({"BADEN", 20, 20, 49, 65535, std::nullopt})       // area = element: no area
        .AddCity({"HEILBAD", 30, 4, 49, 1, std::nullopt})          // not a prefix match
        .AddCity({"BADEN BEI WIEN", 70, 70, 43, 2, std::nullopt}); // element 70 cannot be fetched
    ASSERT_TRUE(root.WriteFile(u"\\idx\\AllCitiesByName.fsr",
                               writer.BuildTable(testdata::DatasetFile::AllCitiesByName)));
    ASSERT_TRUE(root.WriteFile(u"\\idx\\AllCitiesByCountry.fsr",
                               writer.BuildTable(testdata::DatasetFile::AllCitiesByCountry)));
    BlockCachePtr cache = BlockCache::Create(64);
    auto byName = std::make_shared<OpenedDatasetTable>(cache);
    auto byCountry = std::make_shared<OpenedDatasetTable>(cache);
    ASSERT_TRUE(byName->table.OpenMapped(u"\\idx\\AllCitiesByName.fsr"));
    ASSERT_TRUE(byCountry->table.OpenMapped(u"\\idx\\AllCitiesByCountry.fsr"));

    struct Expected {
        std::u16string name;
        std::u16string secondName;
        std::uint16_t value;
        std::uint32_t elementId;
        std::int32_t areaId;
        std::u16string postalCode;
        GeoRect rect;
    };
    const Expected homburg{u"Bad Homburg", u"Element 1", 7, 10, 3, u"D-1", GeoRect(3, 3, 4, 4)};
    const Expected baden{u"Baden", u"Element 2", 65535, 20, -1, u"D-2", GeoRect(20, 0, 20, 1)};
    const Expected badenBeiWien{u"Baden Bei Wien", u"", 2, 70, -1, u"", GeoRect()};
    const struct {
        bool isByCountry;
        std::uint16_t country;
        std::u16string text;
        std::vector<Expected> cities;
    } cases[] = {
        {false, 0, u"BAD", {homburg, baden, badenBeiWien}},
        {true, 49, u"BAD", {homburg, baden}},
        {true, 43, u"BADEN", {badenBeiWien}},
        {true, 7, u"BAD", {}},
        {false, 0, u"WIES", {}},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        auto* lookup = new TableLookup;
        CityLookupPtr lookupPtr(lookup);
        std::unique_ptr<IndexCityCursor> cursor;
        if (c.isByCountry) {
            cursor = std::make_unique<IndexCityByCountryCursor>(
                lookupPtr, FindCityRecordsOfCountry(byCountry, c.country, c.text));
        } else {
            cursor =
                std::make_unique<IndexCityByNameCursor>(lookupPtr, FindCityRecords(byName, c.text));
        }
        std::size_t count = 0;
        for (bool isValid = cursor->IsValid(); isValid; isValid = cursor->Next()) {
            (void)cursor->GetCurrent();
            ++count;
        }
        EXPECT_FALSE(cursor->GetCurrent());
        ASSERT_EQ(lookup->made.size(), c.cities.size());
        for (std::size_t i = 0; i < count; ++i) {
            SCOPED_TRACE(i);
            const CityResultFields& made = lookup->made[i];
            EXPECT_EQ(made.name, c.cities[i].name);
            EXPECT_EQ(made.secondName, c.cities[i].secondName);
            EXPECT_EQ(made.value, c.cities[i].value);
            EXPECT_EQ(made.elementId, c.cities[i].elementId);
            EXPECT_EQ(made.areaId, c.cities[i].areaId);
            EXPECT_EQ(made.postalCode, c.cities[i].postalCode);
            EXPECT_EQ(made.rect, c.cities[i].rect);
        }
    }
}

} // namespace
