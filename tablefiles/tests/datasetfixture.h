#pragma once
// A dataset folder written by the shared writer, the recording engine and datasets made over
// them, with helpers that list what cursors yield as short texts.

#include "tablefiles/datasetsimpl.h"
#include "testdata/datasetfolderwriter.h"
#include "testdata/recordingengine.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace datasettest {

inline std::string Narrow(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) {
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

// "id Name" per street.
inline std::vector<std::string> Streets(GeoMoleculeCursorPtr cursor) {
    std::vector<std::string> out;
    for (; cursor && cursor->IsValid(); cursor->Next()) {
        GeoMoleculePtr street = cursor->GetCurrent();
        out.push_back(street ? std::to_string(street->GetId()) + " " + Narrow(street->GetName())
                             : "null");
    }
    return out;
}

// "id Name" per city.
inline std::vector<std::string> Cities(AddressCursorPtr cursor) {
    std::vector<std::string> out;
    for (; cursor && cursor->IsValid(); cursor->Next()) {
        AddressResultPtr city = cursor->GetCurrent();
        out.push_back(std::to_string(city->GetId()) + " " + Narrow(city->GetName()));
    }
    return out;
}

// The folder most tests use, with tables of mixed layouts: areas (with kinds and rectangles),
// four cities, streets at three levels of area 7, elements with points and house numbers (in id
// order, as U2S stores them), types and postal codes.
inline testdata::DatasetFolderWriter StandardFolder() {
    testdata::DatasetFolderWriter writer;
    writer.AddArea({1, "BAYERN", 5, {10, 47, 13, 50}})
        .AddArea({2, "MUENCHEN", 7, {11, 48, 12, 49}})
        .AddArea({7, "SCHWABING", 8, {11.5f, 48.1f, 11.6f, 48.2f}})
        .AddArea({49, "49", 10, {6, 47, 15, 55}})
        .AddCity({"MUENCHEN", 20, 2, 49, 3, 500})
        .AddCity({"MUENSTER", 21, 21, 49, 4, {}})
        .AddCity({"MAILAND", 22, 7, 39, 5, {}})
        .AddCity({"BERLIN", 23, 1, 49, 6, {}})
        .AddStreet({500, "BERGSTR", 1005, "80331", {2, 1, -1}, {9001, 9002, 9003}})
        .AddStreet({501, "ALLEE", 1006, "80802", {7, -1, -1}, {9100}})
        .AddStreet({502, "BURGWEG", 1006, "80802", {-1, 7, -1}, {}})
        .AddStreet({503, "ALLEE", 1007, "80803", {-1, -1, 7}, {}})
        .AddStreet({504, "\xA6", 1005, "80331", {2, -1, -1}, {}})
        .AddElement(
            {9001, {{6, 6}, {7, 7}, {8, 8}, {9, 9}}, testdata::DatasetHouseNumbers{2, "2-20", ""}})
        .AddElement({9002, {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}, {}})
        .AddElement(
            {9003, {{10, 10}, {11, 11}, {12, 12}}, testdata::DatasetHouseNumbers{2, "30-40", ""}})
        .AddType({1005, "STRASSE"})
        .AddType({1006, "ALLEE"})
        .AddType({1007, "WEG"})
        .AddPostalCode({"80331", 1, {11.1f, 48.1f, 11.2f, 48.2f}})
        .AddPostalCode({"80802", 1, {11.3f, 48.3f, 11.4f, 48.4f}})
        .AddPostalCode({"10115", 2, {13, 52, 14, 53}})
        .SetTable(testdata::DatasetFile::XoAn, {2, false, false, false, ""})
        .SetTable(testdata::DatasetFile::XoI, {1, false, false, false, ""})
        .SetTable(testdata::DatasetFile::XoPn, {1, false, false, false, ""})
        .SetTable(testdata::DatasetFile::XoAt, {1, false, false, false, ""})
        .SetTable(testdata::DatasetFile::Plz, {1, false, false, false, ""})
        .SetTable(testdata::DatasetFile::EArea, {1, false, false, false, ""});
    return writer;
}

class DatasetFolder : public ::testing::Test {
protected:
    // The arena stays for the whole program: a test's blocks live until its fixture is gone.
    void SetUp() override {
        if (!MemoryArena::Shared().HoldsMemory()) {
            ASSERT_TRUE(MemoryArena::Shared().Reserve(8 << 20));
        }
        ASSERT_TRUE(m_root.InstallModule(u"ziVur.dll"));
    }
    void TearDown() override { m_datasets.Release(); }

    // Writes the folder "\db" and opens datasets on it (with the recording engine).
    DatasetsImpl& OpenFolder(const testdata::DatasetFolderWriter& writer,
                             const std::u16string& language = u"", bool hasEngine = true) {
        EXPECT_TRUE(writer.WriteTo(m_root, u"\\db"));
        m_datasets = DatasetsImpl::Create(m_cache, hasEngine ? testdata::EngineInterface(m_engine)
                                                             : nullptr);
        EXPECT_TRUE(m_datasets->Open(u"\\db", language));
        m_engine->ClearCalls();
        return *m_datasets;
    }

    testdata::TempDeviceRoot m_root;
    BlockCachePtr m_cache = BlockCache::Create(64);
    testdata::RecordingEnginePtr m_engine = testdata::MakeRecordingEngine();
    DatasetsPtr m_datasets;
};

} // namespace datasettest
