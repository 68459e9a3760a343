// The overlay's parking tables from arbitrary bytes: the first input byte picks which of the
// three tables is made from the rest of the input (the other two stay valid), then the tables
// load and every parking id of a small range is looked up. The tables stay in memory.

#include "mapdisplay/parkingdata.h"
#include "testdata/bytesfile.h"
#include "testdata/fuzzinput.h"
#include "testdata/memoryblockfile.h"
#include "testdata/parkingtableswriter.h"
#include "utilities/usefulcode/memoryarena.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

std::map<std::string, std::vector<std::uint8_t>> BaseTables() {
    testdata::ParkingTablesModel model;
    for (std::uint32_t id = 1; id <= 8; ++id) {
        model.ids.push_back({id, 100 + id});
        model.ids.push_back({id, 200 + id});
        model.lots.push_back({100 + id, 100 + id});
        model.streets.push_back({100 + id, 1000 + id, 0, 100});
        model.streets.push_back({100 + id, 2000 + id, static_cast<std::uint8_t>(id * 10), 90});
    }
    return testdata::ParkingTablesWriter(model).BuildTables();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool isReserved = MemoryArena::Shared().Reserve(8 << 20);
    static const std::map<std::string, std::vector<std::uint8_t>> base = BaseTables();
    if (size < 2 || !isReserved) {
        return 0;
    }
    static const char* const kNames[] = {"BID2C.fsr", "ParkingLots.fsr", "ParkingStreets.fsr"};
    const std::string fuzzed = kNames[data[0] % 3];
    std::map<std::string, std::vector<std::uint8_t>> tables = base;
    tables[fuzzed] = testdata::FileFromFuzzInput(base.at(fuzzed), data + 1, size - 1);

    ParkingData parking;
    parking.Load([&tables](FsrTable& table, const std::u16string& name) {
        const std::string file(name.begin() + 1, name.end());
        const auto found = tables.find(file);
        if (found == tables.end() || found->second.empty()) {
            return false;
        }
        CachedFilePtr memory =
            testdata::MakeMemoryBlockFile(found->second, 1, testdata::MemoryBlockFile::kWholeFile);
        if (!memory) {
            return false;
        }
        testdata::BytesFile header(found->second);
        return table.Attach(header, std::move(memory));
    });
    for (std::uint32_t id = 0; id <= 10; ++id) {
        (void)parking.FindStreets(id);
        (void)parking.FindStreets(id);
    }
    return 0;
}
