#pragma once
// Writer of the three parking tables of the traffic overlay ("/BID2C.fsr", "/ParkingLots.fsr",
// "/ParkingStreets.fsr") and of its sign pictures, with knobs for the faults the overlay's
// reader must survive. Every column is a 4-byte unsigned value.

#include "testdata/tempdir.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testdata {

// "/BID2C.fsr": one record per cookie of a parking id.
struct ParkingIdRow {
    std::uint32_t parkingId = 0;
    std::uint32_t cookie = 0;
};

// "/ParkingLots.fsr", keyed by the cookie; the lot key follows it.
struct ParkingLotRow {
    std::uint32_t cookie = 0;
    std::uint32_t lotKey = 0;
};

// "/ParkingStreets.fsr", keyed by the lot key: a street's element id and the part of it the lot
// covers, in percent of its length.
struct ParkingStreetRow {
    std::uint32_t lotKey = 0;
    std::uint32_t elementId = 0;
    std::uint8_t startPercent = 0;
    std::uint8_t endPercent = 100;
};

struct ParkingTablesModel {
    std::vector<ParkingIdRow> ids;
    std::vector<ParkingLotRow> lots;
    std::vector<ParkingStreetRow> streets; // rows of one lot keep their order
};

struct ParkingTablesKnobs {
    std::string missingTable;      // "BID2C.fsr", "ParkingLots.fsr" or "ParkingStreets.fsr"
    bool cookieWithoutLot = false; // the first id row's parking id gets one more cookie, unknown
    bool shortLotRecord = false;   // lot records of 8 bytes instead of 92
};

class ParkingTablesWriter {
public:
    static constexpr std::uint16_t kLotRecordSize = 92;
    static constexpr std::uint32_t kUnknownCookie = 0xFFFFFF00;

    explicit ParkingTablesWriter(ParkingTablesModel model, ParkingTablesKnobs knobs = {});

    // File name (without the leading '/') and bytes of every table written.
    [[nodiscard]] std::map<std::string, std::vector<std::uint8_t>> BuildTables() const;
    // The tables as files in the device folder; false when one cannot be written.
    [[nodiscard]] bool WriteFolder(const TempDeviceRoot& root, const std::u16string& folder) const;

private:
    ParkingTablesModel m_model;
    ParkingTablesKnobs m_knobs;
};

// Sign pictures: a bitmap file without extension per name in "<folder>\signs\", a filled square
// of the colour with a white top-left pixel (the overlay's transparent colour). False when a
// file cannot be written.
[[nodiscard]] bool WriteSignPictures(const TempDeviceRoot& root, const std::u16string& folder,
                                     const std::vector<std::string>& names, int side,
                                     std::uint32_t rgb);

} // namespace testdata
