#include "tablefiles/tests/datasetfixture.h"

#include <cfloat>
#include <functional>

namespace datasettest {
namespace {

using testdata::DatasetFile;
using testdata::DatasetTableChoice;

std::string Text(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        out += (out.empty() ? "" : ", ") + item;
    }
    return out;
}

std::string Rect(const GeoRect& rect) {
    const auto number = [](float value) {
        return value == FLT_MAX    ? std::string("max")
               : value == -FLT_MAX ? std::string("-max")
                                   : std::to_string(static_cast<int>(value));
    };
    return "[" + number(rect.minX) + " " + number(rect.minY) + " " + number(rect.maxX) + " " +
           number(rect.maxY) + "]";
}

std::string StreetsAtLevels(DatasetsImpl& datasets, std::int32_t from, std::int32_t to) {
    datasets.GetLevelInfoRef()->fromLevel = from;
    datasets.GetLevelInfoRef()->toLevel = to;
    return Text(Streets(datasets.FindInArea(7, u"")));
}

std::string PostalCodes(DatasetsImpl& datasets) {
    std::vector<std::string> out;
    for (PostalCodeCursorPtr cursor = datasets.FindPostalCodes(u"8033", 1);
         cursor && cursor->IsValid(); cursor->Next()) {
        PostalCodePtr code = cursor->GetCurrent();
        out.push_back(Narrow(code->GetText()) + " " + Rect(code->GetRect()));
    }
    return Text(out);
}

std::string Area(DatasetsImpl& datasets, std::uint32_t id) {
    return Narrow(datasets.LookupArea(id)) + " " + Rect(datasets.GetAreaRect(id));
}

std::string Street(DatasetsImpl& datasets, std::uint32_t id) {
    GeoMoleculePtr street = datasets.CreateGeoMolecule(id, 0);
    return street ? Narrow(street->GetName()) + " " + std::to_string(street->GetType()) + " " +
                        std::to_string(street->WalkAreaHierarchy(3))
                  : "null";
}

TEST_F(DatasetFolder, EveryAcceptedLayoutDecodesIntoItsRecordAndOthersStayClosed) {
    m_engine->script.country = CountryPtr(new testdata::ScriptedCountry(u"Deutschland", 49));
    using Probe = std::function<std::string(DatasetsImpl&)>;
    const Probe inArea = [](DatasetsImpl& d) { return StreetsAtLevels(d, -1, -1); };
    const Probe merged = [](DatasetsImpl& d) { return StreetsAtLevels(d, 1, 3); };
    const Probe level2 = [](DatasetsImpl& d) { return StreetsAtLevels(d, 2, 3); };
    const Probe inPostalCode = [](DatasetsImpl& d) {
        return Text(Streets(d.FindInPostalCode(u"80331", 0, u"")));
    };
    const Probe country = [](DatasetsImpl& d) { return Area(d, 49); };
    const Probe street = [](DatasetsImpl& d) { return Street(d, 506); };
    const Probe cities = [](DatasetsImpl& d) {
        return Text(Cities(d.FindCities(u"MUEN", 0))) + "|" +
               Text(Cities(d.FindCities(u"MUEN", 49)));
    };
    const struct {
        DatasetFile file;
        std::int32_t layout;
        bool isRefused;
        Probe probe;
        std::string answer;
        std::vector<std::string> engineCalls;
    } rows[] = {
        {DatasetFile::XoAn, 0, false, inArea, "501 Allee, 503 Allee, 502 Burgweg", {}},
        {DatasetFile::XoAn, 1, false, inArea, "501 Allee, 503 Allee, 502 Burgweg", {}},
        {DatasetFile::XoAn, 2, false, inArea, "501 Allee, 503 Allee, 502 Burgweg", {}},
        {DatasetFile::XoAn, 0, true, inArea, "", {"FindInArea(7, \"\")"}},
        {DatasetFile::XoI, 0, false, street, "Minus -5 9", {}},
        {DatasetFile::XoI, 1, false, street, "Minus -5 9", {}},
        {DatasetFile::XoI, 0, true, street, "null", {"CreateGeoMolecule(506, 0)"}},
        {DatasetFile::XoPn, 0, false, inPostalCode, "500 Bergstr, 504 ?", {}},
        {DatasetFile::XoPn, 1, false, inPostalCode, "500 Bergstr, 504 ?", {}},
        {DatasetFile::XoPn, 2, false, inPostalCode, "500 Bergstr, 504 ?", {}},
        {DatasetFile::XoPn, 0, true, inPostalCode, "", {"FindInPostalCode(\"80331\", 0, \"\")"}},
        {DatasetFile::XoAt, 0, false, merged, "501 Allee, 503 Allee, 502 Burgweg", {}},
        {DatasetFile::XoAt, 1, false, merged, "501 Allee, 503 Allee, 502 Burgweg", {}},
        {DatasetFile::XoAt, 2, false, merged, "501 Allee, 503 Allee, 502 Burgweg", {}},
        {DatasetFile::XoAt, 1, false, level2, "502 Burgweg", {}},
        {DatasetFile::XoAt, 0, true, merged, "", {"FindInArea(7, \"\")"}},
        {DatasetFile::Plz, 0, false, PostalCodes, "80331 [0 0 0 0]", {}},
        {DatasetFile::Plz, 1, false, PostalCodes, "80331 [11 48 11 48]", {}},
        {DatasetFile::Plz, 2, false, PostalCodes, "80331 [11 48 11 48]", {}},
        {DatasetFile::Plz, 0, true, PostalCodes, "", {"FindPostalCodes(\"8033\", 1)"}},
        {DatasetFile::EArea, 0, false, country, "49 [max max -max -max]", {}},
        {DatasetFile::EArea, 1, false, country, "Deutschland [6 47 15 55]", {"GetCountry(49, 0)"}},
        {DatasetFile::EArea, 0, true, country, " [0 0 0 0]", {}},
        {DatasetFile::AllCitiesByName,
         0,
         true,
         cities,
         "|20 Muenchen, 21 Muenster",
         {"FindCities(\"MUEN\", 0)"}},
        {DatasetFile::AllCitiesByCountry,
         0,
         true,
         cities,
         "20 Muenchen, 21 Muenster|",
         {"FindCities(\"MUEN\", 49)"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testdata::DatasetFolderWriter::LogicalName(row.file) + " layout " +
                     std::to_string(row.layout) + (row.isRefused ? " refused" : ""));
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
        testdata::DatasetFolderWriter writer = StandardFolder();
        writer.AddStreet({506, "MINUS", -5, "80999", {-1, -1, 9}, {}});
        writer.SetTable(row.file, {row.layout, row.isRefused, false, false, ""});
        ASSERT_TRUE(writer.WriteTo(root, u"\\db"));
        DatasetsPtr datasets = DatasetsImpl::Create(m_cache, testdata::EngineInterface(m_engine));
        ASSERT_TRUE(datasets->Open(u"\\db", u""));
        m_engine->ClearCalls();
        EXPECT_EQ(row.probe(*datasets), row.answer);
        EXPECT_EQ(m_engine->Calls(), row.engineCalls);
    }
}

TEST_F(DatasetFolder, AFailedTableIsNotTriedAgainBeforeClose) {
    testdata::DatasetFolderWriter writer = StandardFolder();
    writer.SetTable(DatasetFile::Plz, {1, false, false, true, ""});
    DatasetsImpl& datasets = OpenFolder(writer);
    const std::vector<std::string> forwarded = {"FindPostalCodes(\"8033\", 1)"};
    EXPECT_EQ(PostalCodes(datasets), "");
    writer.SetTable(DatasetFile::Plz, {1, false, false, false, ""});
    ASSERT_TRUE(writer.WriteTo(m_root, u"\\db"));
    m_engine->ClearCalls();
    EXPECT_EQ(PostalCodes(datasets), "");
    EXPECT_EQ(m_engine->Calls(), forwarded);
    datasets.Close();
    ASSERT_TRUE(datasets.Open(u"\\db", u""));
    m_engine->ClearCalls();
    EXPECT_EQ(PostalCodes(datasets), "80331 [11 48 11 48]");
    EXPECT_TRUE(m_engine->Calls().empty());
}

} // namespace
} // namespace datasettest
