#include "testdata/parkingtableswriter.h"

#include "testdata/bitmapwriter.h"
#include "testdata/tablefilewriter.h"

#include <utility>

namespace testdata {

namespace {

using enum ColumnType;

std::int64_t Value(std::uint32_t value) {
    return std::int64_t{value};
}

} // namespace

ParkingTablesWriter::ParkingTablesWriter(ParkingTablesModel model, ParkingTablesKnobs knobs)
    : m_model(std::move(model))
    , m_knobs(std::move(knobs)) {}

std::map<std::string, std::vector<std::uint8_t>> ParkingTablesWriter::BuildTables() const {
    std::map<std::string, std::vector<std::uint8_t>> tables;

    TableFileWriter ids({UInt32, UInt32});
    ids.SetOrderByKeyOnly(true);
    for (const ParkingIdRow& row : m_model.ids) {
        ids.AddRow({Value(row.parkingId), Value(row.cookie)});
    }
    if (m_knobs.cookieWithoutLot && !m_model.ids.empty()) {
        ids.AddRow({Value(m_model.ids.front().parkingId), Value(kUnknownCookie)});
    }
    tables["BID2C.fsr"] = ids.Build();

    TableFileWriter lots({UInt32, UInt32});
    lots.SetRecordSize(m_knobs.shortLotRecord ? 8 : kLotRecordSize);
    for (const ParkingLotRow& row : m_model.lots) {
        lots.AddRow({Value(row.cookie), Value(row.lotKey)});
    }
    tables["ParkingLots.fsr"] = lots.Build();

    TableFileWriter streets({UInt32, UInt32, UInt32});
    streets.SetOrderByKeyOnly(true);
    for (const ParkingStreetRow& row : m_model.streets) {
        const std::uint32_t range = row.startPercent | (std::uint32_t{row.endPercent} << 8);
        streets.AddRow({Value(row.lotKey), Value(row.elementId), Value(range)});
    }
    tables["ParkingStreets.fsr"] = streets.Build();

    tables.erase(m_knobs.missingTable);
    return tables;
}

bool ParkingTablesWriter::WriteFolder(const TempDeviceRoot& root,
                                      const std::u16string& folder) const {
    for (const auto& [name, bytes] : BuildTables()) {
        if (!root.WriteFile(folder + u"\\" + std::u16string(name.begin(), name.end()), bytes)) {
            return false;
        }
    }
    return true;
}

bool WriteSignPictures(const TempDeviceRoot& root, const std::u16string& folder,
                       const std::vector<std::string>& names, int side, std::uint32_t rgb) {
    BitmapSpec spec;
    spec.width = side;
    spec.height = side;
    spec.pixels.assign(static_cast<std::size_t>(side) * side, rgb);
    if (!spec.pixels.empty()) {
        spec.pixels[0] = 0xFFFFFF;
    }
    const std::vector<std::uint8_t> bytes = WriteBitmapFile(spec);
    for (const std::string& name : names) {
        const std::u16string device =
            folder + u"\\signs\\" + std::u16string(name.begin(), name.end());
        if (!root.WriteFile(device, bytes)) {
            return false;
        }
    }
    return true;
}

} // namespace testdata
