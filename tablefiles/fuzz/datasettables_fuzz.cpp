// One table file from arbitrary bytes, opened as each of the fourteen dataset tables and queried
// once through its record view: either the input as the whole file, or a written dataset table
// (chosen by the input's last byte) with the input's patches applied.

#include "tablefiles/datasettable.h"
#include "testdata/bytesfile.h"
#include "testdata/datasetfolderwriter.h"
#include "testdata/fuzzinput.h"
#include "testdata/memoryblockfile.h"
#include "utilities/usefulcode/memoryarena.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

std::array<std::vector<std::uint8_t>, testdata::kDatasetFileCount> BaseTables() {
    testdata::DatasetFolderWriter writer;
    writer.AddArea({7, "SCHWABING", 10, {1, 2, 3, 4}})
        .AddCity({"MUENCHEN", 20, 7, 49, 3, 500})
        .AddStreet({500, "BERGSTR", 1005, "80331", {7, 7, 7}, {9001, 9002}})
        .AddStreet({501, "ALLEE", -3, "80331", {7, -1, 8}, {9003}})
        .AddElement({9001, {{1, 1}, {2, 2}}, testdata::DatasetHouseNumbers{2, "2-20", "1-9"}})
        .AddPostalCode({"80331", 1, {1, 2, 3, 4}})
        .AddType({1005, "STRASSE"});
    std::array<std::vector<std::uint8_t>, testdata::kDatasetFileCount> tables;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const auto file = static_cast<testdata::DatasetFile>(i);
        // The layout with the most columns, where a table has several.
        const bool hasLayout1 = file == testdata::DatasetFile::XoI ||
                                file == testdata::DatasetFile::XoAt ||
                                file == testdata::DatasetFile::EArea;
        writer.SetTable(file, {file == testdata::DatasetFile::Plz ? 2
                               : hasLayout1                       ? 1
                                                                  : 0,
                               false, false, false, ""});
        tables[i] = writer.BuildTable(file);
    }
    return tables;
}

template <class Record> void Walk(RecordView<Record> view) {
    for (int i = 0; i < 64 && view.IsValid(); ++i, view.Next()) {
        (void)view.Get();
    }
}

void WalkRows(DatasetRows rows) {
    for (int i = 0; i < 64 && rows.IsValid(); ++i, rows.Next()) {
        for (std::uint32_t column = 0; column < 10; ++column) {
            (void)rows.Column(column).AsText();
            (void)rows.Column(column).AsDouble();
        }
    }
}

void Query(DatasetTableId id, const OpenedTablePtr& table) {
    switch (id) {
    case DatasetTableId::XoAn:
        return Walk(FindStreetsInArea(table, 7, u"B"));
    case DatasetTableId::XoI:
        return Walk(FindStreetRecord(table, 500));
    case DatasetTableId::XoPn:
        return Walk(FindStreetsInPostalCode(table, u"80331", u""));
    case DatasetTableId::XoAt:
        return Walk(FindStreetsAtLevel(table, 7, 2, u""));
    case DatasetTableId::Plz:
        return Walk(FindPostalCodeRecords(table, u"8", 1));
    case DatasetTableId::EArea:
        return Walk(FindAreaRecord(table, 7));
    case DatasetTableId::AllCitiesByName:
        return WalkRows(FindCityRecords(table, u"M"));
    case DatasetTableId::AllCitiesByCountry:
        return WalkRows(FindCityRecordsOfCountry(table, 49, u""));
    case DatasetTableId::EType:
        return WalkRows(FindRecordsById(table, ColumnType::Int16, 1005));
    default:
        return WalkRows(FindRecordsById(table, ColumnType::Int32, 9001));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool isReserved = MemoryArena::Shared().Reserve(8 << 20);
    static BlockCachePtr cache = BlockCache::Create(32);
    static const auto bases = BaseTables();
    if (size == 0 || !isReserved) {
        return 0;
    }
    const auto& base = bases[data[size - 1] % bases.size()];
    CachedFilePtr file = testdata::MakeMemoryBlockFile(
        testdata::FileFromFuzzInput(base, data, size), 1, testdata::MemoryBlockFile::kWholeFile);
    if (!file) {
        return 0;
    }
    testdata::BytesFile header(static_cast<const testdata::MemoryBlockFile&>(*file).GetBytes());
    auto opened = std::make_shared<OpenedDatasetTable>(cache);
    if (!opened->table.Attach(header, std::move(file))) {
        return 0;
    }
    for (std::size_t i = 0; i < kDatasetTableCount; ++i) {
        const auto id = static_cast<DatasetTableId>(i);
        if (const auto layout = MatchDatasetLayout(id, opened->table)) {
            opened->layout = *layout;
            Query(id, opened);
        }
    }
    return 0;
}
