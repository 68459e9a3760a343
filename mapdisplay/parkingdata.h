#pragma once
// The parking tables of the traffic overlay: which cookies a parking id has ("/BID2C.fsr", read
// whole at load), the lot of a cookie ("/ParkingLots.fsr") and the streets of a lot with the
// part of each that the lot covers ("/ParkingStreets.fsr"). The tables share one 2 KB block
// cache. No lock of its own: its owner serialises the calls.

#include "tablefiles/fsrtable.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// One street of a lot: the element id (low 28 bits) and its covered range in percent.
struct ParkingStreet {
    std::uint32_t elementId = 0;
    std::int16_t startPercent = 0;
    std::int16_t endPercent = 100;
    friend bool operator==(const ParkingStreet&, const ParkingStreet&) = default;
};

class ParkingData {
public:
    static constexpr std::uint32_t kLotRecordCopy = 92;

    // Opens a table by its file name ("/BID2C.fsr" ...); false when it cannot be opened.
    using TableOpener = std::function<bool(FsrTable& table, const std::u16string& name)>;

    ParkingData();
    ParkingData(const ParkingData&) = delete;
    ParkingData& operator=(const ParkingData&) = delete;

    // Reads the id table from the folder (plain files) into the multimap, then opens the lot
    // and street tables. Tables opened before are closed first.
    void Load(const std::u16string& folder);
    // The same through an opener (tables held in memory, say).
    void Load(const TableOpener& open);
    // Both the lot and the street table are open.
    [[nodiscard]] bool IsOpen() const { return m_lots.IsOpen() && m_streets.IsOpen(); }

    // The cookies of a parking id, in table order; remembered for the next call with that id.
    const std::vector<std::uint32_t>& FindCookies(std::uint32_t parkingId);
    // The streets of every lot the parking id's cookies name, in table order; a cookie without
    // a lot record is skipped. Empty while the tables are not open.
    [[nodiscard]] std::vector<ParkingStreet> FindStreets(std::uint32_t parkingId);

private:
    BlockCachePtr m_cache;
    FsrTable m_lots;
    FsrTable m_streets;
    std::multimap<std::uint32_t, std::uint32_t> m_cookiesById;
    FsrTable m_ids;
    std::vector<std::uint32_t> m_lastCookies;
    std::uint32_t m_lastId = 0;
    bool m_hasLast = false;
};
