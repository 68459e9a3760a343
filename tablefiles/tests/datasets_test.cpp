#include "tablefiles/tests/datasetfixture.h"

#include <functional>

namespace datasettest {
namespace {

using testdata::DatasetFile;
using testdata::DatasetTableChoice;

TEST_F(DatasetFolder, OpenNeedsTheDescriptionAndClosedDatasetsForward) {
    const struct {
        const char* name;
        bool hasDescription;
        int opens; // Open calls before the query
        bool lastOpen;
        bool isOpen;
    } rows[] = {
        {"no DATABASE.TXT", false, 1, false, false},
        {"open once", true, 1, true, true},
        {"open twice", true, 2, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
        testdata::DatasetFolderWriter writer = StandardFolder();
        if (!row.hasDescription) {
            writer.LeaveOutDescription();
        }
        ASSERT_TRUE(writer.WriteTo(root, u"\\db"));
        m_engine->script.cities = AddressCursorPtr(nullptr);
        m_engine->ClearCalls();
        DatasetsPtr datasets = DatasetsImpl::Create(m_cache, testdata::EngineInterface(m_engine));
        bool opened = false;
        for (int i = 0; i < row.opens; ++i) {
            opened = datasets->Open(u"\\db", u"");
        }
        EXPECT_EQ(opened, row.lastOpen);
        EXPECT_EQ(datasets->IsOpen(), row.isOpen);
        const auto cities = Cities(datasets->FindCities(u"MUEN", 0));
        const bool isForwarded = !m_engine->Calls().empty();
        EXPECT_EQ(isForwarded, !row.isOpen);
        EXPECT_EQ(cities.empty(), !row.isOpen);
        datasets->Close();
        EXPECT_FALSE(datasets->IsOpen());
    }
}

TEST_F(DatasetFolder, ForwardsUnansweredOperationsUnchangedOrAnswersEmptyWithoutEngine) {
    testdata::DatasetFolderWriter writer = StandardFolder();
    writer.LeaveOutDescription();
    ASSERT_TRUE(writer.WriteTo(m_root, u"\\db"));
    m_engine->script.flag = true;
    m_engine->script.areaWalk = 12;
    m_engine->script.text = u"From the engine";
    m_engine->script.streets = GeoMoleculeCursorPtr(new testdata::EmptyStreetCursor());
    m_engine->script.countries = {CountryPtr(new testdata::ScriptedCountry(u"X", 1))};
    const struct {
        const char* call;
        std::function<std::string(IDatasets&)> run; // the answer as text
        std::string engineAnswer;
        std::string emptyAnswer;
    } rows[] = {
        {"IsCookie2CountryOpen()",
         [](IDatasets& d) { return std::to_string(d.IsCookie2CountryOpen()); }, "1", "0"},
        {"WalkAreaHierarchy(7, 3)",
         [](IDatasets& d) { return std::to_string(d.WalkAreaHierarchy(7, 3)); }, "12", "-1"},
        {"GetCountries(2)", [](IDatasets& d) { return std::to_string(d.GetCountries(2).size()); },
         "1", "0"},
        {"LookupArea(4294967295)", [](IDatasets& d) { return Narrow(d.LookupArea(0xFFFFFFFF)); },
         "From the engine", ""},
        {"GetETypeName(1005)", [](IDatasets& d) { return Narrow(d.GetETypeName(1005)); },
         "From the engine", ""},
        {"FindAround((11.5 48.5), 250, \"Berg\")",
         [](IDatasets& d) {
             return std::to_string(static_cast<bool>(d.FindAround({11.5f, 48.5f}, 250, u"Berg")));
         },
         "1", "0"},
        {"FindInRect((1 2)(3 4), \"\")",
         [](IDatasets& d) {
             return std::to_string(static_cast<bool>(d.FindInRect({1, 2, 3, 4}, u"")));
         },
         "1", "0"},
        {"FindAlong([(1 2)(3 4)], 50, \"A\")",
         [](IDatasets& d) {
             return std::to_string(static_cast<bool>(d.FindAlong({{{1, 2}, {3, 4}}}, 50, u"A")));
         },
         "1", "0"},
        {"FindInArea(7, \"Al\")",
         [](IDatasets& d) { return std::to_string(static_cast<bool>(d.FindInArea(7, u"Al"))); },
         "1", "0"},
        {"FindInPostalCode(\"80331\", 9, \"B\")",
         [](IDatasets& d) {
             return std::to_string(static_cast<bool>(d.FindInPostalCode(u"80331", 9, u"B")));
         },
         "1", "0"},
        {"CreateGeoMolecule(500, 3)",
         [](IDatasets& d) {
             return std::to_string(static_cast<bool>(d.CreateGeoMolecule(500, 3)));
         },
         "0", "0"},
        {"CreateMappedGeoMolecule(5, \"Weg\", 2)",
         [](IDatasets& d) {
             return std::to_string(static_cast<bool>(d.CreateMappedGeoMolecule(5, u"Weg", 2)));
         },
         "0", "0"},
        {"GetCountry(49, 1)",
         [](IDatasets& d) { return std::to_string(static_cast<bool>(d.GetCountry(49, 1))); }, "0",
         "0"},
        {"GetAddressOfElement(9001, 4)",
         [](IDatasets& d) {
             return std::to_string(static_cast<bool>(d.GetAddressOfElement(9001, 4)));
         },
         "0", "0"},
        {"GetETypeCursor()",
         [](IDatasets& d) { return std::to_string(static_cast<bool>(d.GetETypeCursor())); }, "0",
         "0"},
        {"FindPostalCodes(\"80\", 1)",
         [](IDatasets& d) {
             return std::to_string(static_cast<bool>(d.FindPostalCodes(u"80", 1)));
         },
         "0", "0"},
    };
    for (const bool hasEngine : {true, false}) {
        DatasetsPtr datasets = DatasetsImpl::Create(
            m_cache, hasEngine ? testdata::EngineInterface(m_engine) : nullptr);
        EXPECT_FALSE(datasets->Open(u"\\db", u""));
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.call) + (hasEngine ? " with engine" : " without engine"));
            m_engine->ClearCalls();
            EXPECT_EQ(row.run(*datasets), hasEngine ? row.engineAnswer : row.emptyAnswer);
            EXPECT_EQ(m_engine->Calls(),
                      hasEngine ? std::vector<std::string>{row.call} : std::vector<std::string>{});
        }
    }
}

TEST_F(DatasetFolder, FindsCitiesByNamePrefixAndCountryInTableOrder) {
    testdata::DatasetFolderWriter writer = StandardFolder();
    // Only the archive holds the country table; the language section renames the postal codes.
    writer.SetTable(DatasetFile::AllCitiesByCountry, {0, false, true, false, ""});
    DatasetsImpl& datasets = OpenFolder(writer);
    const struct {
        std::u16string name;
        std::uint16_t country;
        std::vector<std::string> cities;
    } rows[] = {
        {u"MUEN", 0, {"20 Muenchen", "21 Muenster"}},
        {u"muen", 0, {}},
        {u"MUEN", 49, {"20 Muenchen", "21 Muenster"}},
        {u"M", 39, {"22 Mailand"}},
        {u"", 0, {"23 Berlin", "22 Mailand", "20 Muenchen", "21 Muenster"}},
        {u"", 49, {"23 Berlin", "20 Muenchen", "21 Muenster"}},
        {u"XYZ", 49, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.name) + " " + std::to_string(row.country));
        AddressCursorPtr cursor = datasets.FindCities(row.name, row.country);
        ASSERT_TRUE(cursor);
        EXPECT_EQ(Cities(cursor), row.cities);
    }
    EXPECT_TRUE(m_engine->Calls().empty());
}

TEST_F(DatasetFolder, CityResultsComputeAreaPostalCodeElementAndRectangle) {
    DatasetsImpl& datasets = OpenFolder(StandardFolder());
    const struct {
        std::u16string name;
        std::int32_t areaId;
        bool hasArea;
        std::string secondName;
        std::string postalCode;
        std::uint32_t elementId;
        GeoRect rect;
        std::uint16_t value;
    } rows[] = {
        {u"MUENC", 2, true, "Muenchen", "80331", 500, {11, 48, 12, 49}, 3},
        {u"MUENS", -1, true, "", "", 0xFFFFFFFF, {}, 4},
        {u"MAI", 7, true, "Schwabing", "", 0xFFFFFFFF, {11.5f, 48.1f, 11.6f, 48.2f}, 5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.name));
        AddressCursorPtr cursor = datasets.FindCities(row.name, 0);
        ASSERT_TRUE(cursor && cursor->IsValid());
        AddressResultPtr city = cursor->GetCurrent();
        EXPECT_EQ(city->GetAreaId(), row.areaId);
        EXPECT_EQ(city->HasArea(), row.hasArea);
        EXPECT_EQ(Narrow(city->GetSecondName()), row.secondName);
        EXPECT_EQ(Narrow(city->GetPostalCode()), row.postalCode);
        EXPECT_EQ(city->GetElementId(), row.elementId);
        EXPECT_EQ(city->GetRect(), row.rect);
        EXPECT_EQ(city->GetValue(), row.value);
    }
}

TEST_F(DatasetFolder, FindInAreaChoosesItsTableByTheLevelRange) {
    m_engine->script.streets = GeoMoleculeCursorPtr(new testdata::EmptyStreetCursor());
    DatasetsImpl& datasets = OpenFolder(StandardFolder());
    const struct {
        std::int32_t from;
        std::int32_t to;
        std::u16string name;
        std::vector<std::string> streets;
        std::vector<std::string> engineCalls;
    } rows[] = {
        {-1, -1, u"", {"501 Allee", "503 Allee", "502 Burgweg"}, {}},
        {-1, -1, u"B", {"502 Burgweg"}, {}},
        {1, 2, u"", {"501 Allee"}, {}},
        {2, 3, u"", {"502 Burgweg"}, {}},
        {2, 2, u"Al", {}, {"FindInArea(7, \"Al\")"}},
        {1, 3, u"", {"501 Allee", "503 Allee", "502 Burgweg"}, {}},
        {1, 3, u"BU", {"502 Burgweg"}, {}},
        {3, 1, u"", {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.from) + ".." + std::to_string(row.to));
        m_engine->ClearCalls();
        LevelInfo levels;
        levels.fromLevel = row.from;
        levels.toLevel = row.to;
        EXPECT_EQ(datasets.SetLevelInfo(levels).toLevel, row.to);
        GeoMoleculeCursorPtr cursor = datasets.FindInArea(7, row.name);
        ASSERT_TRUE(cursor);
        EXPECT_EQ(Streets(cursor), row.streets);
        EXPECT_EQ(m_engine->Calls(), row.engineCalls);
    }
}

TEST_F(DatasetFolder, FindInPostalCodeUsesItsTableOnlyWithoutLevels) {
    m_engine->script.streets = GeoMoleculeCursorPtr(new testdata::EmptyStreetCursor());
    DatasetsImpl& datasets = OpenFolder(StandardFolder());
    const struct {
        std::int32_t from;
        std::u16string name;
        std::vector<std::string> streets;
        std::vector<std::string> engineCalls;
    } rows[] = {
        {-1, u"", {"500 Bergstr", "504 ?"}, {}},
        {-1, u"BE", {"500 Bergstr"}, {}},
        {1, u"BE", {}, {"FindInPostalCode(\"80331\", 5, \"BE\")"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.from);
        m_engine->ClearCalls();
        datasets.GetLevelInfoRef()->fromLevel = row.from;
        EXPECT_EQ(Streets(datasets.FindInPostalCode(u"80331", 5, row.name)), row.streets);
        EXPECT_EQ(m_engine->Calls(), row.engineCalls);
    }
}

TEST_F(DatasetFolder, PostalCodesAndTypesComeFromTheirTables) {
    testdata::DatasetFolderWriter writer = StandardFolder();
    writer.SetTable(DatasetFile::Plz, {2, false, false, false, "PLZ_DE.fsr"})
        .MapFile("Deutsch", "PLZes.fsr", "PLZ_DE.fsr");
    DatasetsImpl& datasets = OpenFolder(writer, u"Deutsch");
    const struct {
        std::u16string code;
        std::uint16_t value;
        std::vector<std::string> texts;
        GeoRect firstRect;
    } rows[] = {
        {u"80", 1, {"80331", "80802"}, {11.1f, 48.1f, 11.2f, 48.2f}},
        {u"80", 2, {}, {}},
        {u"1", 2, {"10115"}, {13, 52, 14, 53}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.code));
        PostalCodeCursorPtr cursor = datasets.FindPostalCodes(row.code, row.value);
        ASSERT_TRUE(cursor);
        std::vector<std::string> texts;
        GeoRect first;
        for (; cursor->IsValid(); cursor->Next()) {
            PostalCodePtr code = cursor->GetCurrent();
            if (texts.empty()) {
                first = code->GetRect();
            }
            texts.push_back(Narrow(code->GetText()));
        }
        EXPECT_EQ(texts, row.texts);
        EXPECT_EQ(first, row.firstRect);
    }
    std::vector<std::int32_t> types;
    for (TypeCursorPtr cursor = datasets.GetETypeCursor(); cursor->IsValid(); cursor->Next()) {
        types.push_back(cursor->GetCurrent());
    }
    EXPECT_EQ(types, (std::vector<std::int32_t>{1005, 1006, 1007}));
    EXPECT_TRUE(m_engine->Calls().empty());
}

} // namespace
} // namespace datasettest

namespace datasettest {
namespace {

TEST_F(DatasetFolder, TextsAreReadAndKeyedWithinTheirColumns) {
    const std::string city64(64, 'Q');
    testdata::DatasetFolderWriter writer = StandardFolder();
    // A street name that fills its 16-byte column and a city name that fills its 64 bytes.
    writer.AddStreet({510, "ABCDEFGHIJKLMNOP", 1005, "80331", {8, 8, -1}, {}})
        .AddStreet({511, "ABC", 1005, "80331", {-1, -1, 8}, {}})
        .AddCity({city64, 30, 8, 49, 1, {}});
    DatasetsImpl& datasets = OpenFolder(writer);
    const std::string cityName = "Q" + std::string(63, 'q');
    const struct {
        const char* name;
        std::function<std::vector<std::string>()> run;
        std::vector<std::string> found;
    } rows[] = {
        {"full street name",
         [&] { return Streets(datasets.FindInArea(8, u"")); },
         {"511 Abc", "510 Abcdefghijklmnop"}},
        {"name longer than the column",
         [&] { return Streets(datasets.FindInArea(8, u"ABCDEFGHIJKLMNOPQRS")); },
         {"510 Abcdefghijklmnop"}},
        {"merged by bytes within the column",
         [&] {
             datasets.GetLevelInfoRef()->fromLevel = 1;
             datasets.GetLevelInfoRef()->toLevel = 3;
             return Streets(datasets.FindInArea(8, u"ABC"));
         },
         {"511 Abc", "510 Abcdefghijklmnop", "510 Abcdefghijklmnop"}},
        {"city key cut at 64 bytes",
         [&] { return Cities(datasets.FindCities(std::u16string(70, u'Q'), 49)); },
         {"30 " + cityName}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.run(), row.found);
    }
}

TEST_F(DatasetFolder, CursorsAndResultsOutliveCloseAndTheDatasets) {
    const struct {
        const char* name;
        bool releasesDatasets;
    } rows[] = {{"closed", false}, {"datasets released", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DatasetsImpl& datasets = OpenFolder(StandardFolder());
        GeoMoleculeCursorPtr streets = datasets.FindInArea(7, u"");
        AddressCursorPtr cities = datasets.FindCities(u"MUEN", 49);
        GeoMoleculePtr street = datasets.CreateGeoMolecule(500, 0);
        if (row.releasesDatasets) {
            m_datasets.Release();
        } else {
            datasets.Close();
        }
        EXPECT_EQ(streets->IsValid(), true);
        EXPECT_EQ(cities->GetCurrent()->GetId(), 20u);
        ASSERT_TRUE(cities->Next());
        EXPECT_EQ(cities->GetCurrent()->GetId(), 21u);
        // Lookups through closed datasets find nothing; released ones still answer.
        EXPECT_EQ(Narrow(street->GetName()),
                  row.releasesDatasets ? "Bergstr" : "Name Id Not Found.");
        std::size_t count = 0;
        for (; streets->IsValid(); streets->Next()) {
            ++count;
        }
        EXPECT_EQ(count, 3u);
    }
}

TEST_F(DatasetFolder, TypeCursorWalksEveryTypeRecordOrNone) {
    const struct {
        std::vector<std::int16_t> types;
        std::vector<std::int32_t> walked;
    } rows[] = {
        {{1007, -2, 1005}, {-2, 1005, 1007}},
        {{}, {}},
    };
    for (const auto& row : rows) {
        testdata::TempDeviceRoot root;
        testdata::DatasetFolderWriter writer;
        for (const std::int16_t type : row.types) {
            writer.AddType({type, "T"});
        }
        ASSERT_TRUE(writer.WriteTo(root, u"\\db"));
        DatasetsPtr datasets = DatasetsImpl::Create(m_cache, nullptr);
        ASSERT_TRUE(datasets->Open(u"\\db", u""));
        TypeCursorPtr cursor = datasets->GetETypeCursor();
        ASSERT_TRUE(cursor);
        std::vector<std::int32_t> walked;
        for (; cursor->IsValid(); cursor->Next()) {
            walked.push_back(cursor->GetCurrent());
        }
        EXPECT_EQ(walked, row.walked);
        EXPECT_EQ(cursor->GetCurrent(), -1);
    }
}

} // namespace
} // namespace datasettest
