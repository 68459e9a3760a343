#include "mapdisplay/parkingdata.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

std::uint32_t Word(const FsrRecord& record, std::uint32_t recordSize, std::uint32_t index) {
    const std::uint8_t* bytes = record.GetRecord();
    if (bytes == nullptr || recordSize < 4 * (index + 1)) {
        return 0;
    }
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < 4; ++i) {
        value |= std::uint32_t{bytes[4 * index + i]} << (8 * i);
    }
    return value;
}

std::array<std::uint8_t, 4> KeyBytes(std::uint32_t key) {
    return {static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
            static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 24)};
}

} // namespace

ParkingData::ParkingData()
    : m_cache(BlockCache::Create(2))
    , m_lots(m_cache)
    , m_streets(m_cache)
    , m_ids(m_cache) {}

void ParkingData::Load(const std::u16string& folder) {
    Load([&folder](FsrTable& table, const std::u16string& name) {
        return table.OpenPlain(folder + name);
    });
}

void ParkingData::Load(const TableOpener& open) {
    m_lots.Close();
    m_streets.Close();
    m_cookiesById.clear();
    m_lastCookies.clear();
    m_hasLast = false;
    if (open(m_ids, u"/BID2C.fsr")) {
        const std::uint32_t size = m_ids.GetRecordSize();
        std::uint32_t count = 0;
        for (FsrRecord record = m_ids.GetRecord(0);
             record.IsValid() && count < m_ids.GetRecordCount(); record.Next(), ++count) {
            m_cookiesById.emplace(Word(record, size, 0), Word(record, size, 1));
        }
        m_ids.Close();
    }
    if (!open(m_lots, u"/ParkingLots.fsr")) {
        return;
    }
    (void)open(m_streets, u"/ParkingStreets.fsr");
}

const std::vector<std::uint32_t>& ParkingData::FindCookies(std::uint32_t parkingId) {
    if (!m_hasLast || m_lastId != parkingId) {
        m_lastCookies.clear();
        for (auto [it, end] = m_cookiesById.equal_range(parkingId); it != end; ++it) {
            m_lastCookies.push_back(it->second);
        }
        m_lastId = parkingId;
        m_hasLast = true;
    }
    return m_lastCookies;
}

std::vector<ParkingStreet> ParkingData::FindStreets(std::uint32_t parkingId) {
    std::vector<ParkingStreet> streets;
    if (!IsOpen()) {
        return streets;
    }
    const std::vector<std::uint32_t> cookies = FindCookies(parkingId);
    for (const std::uint32_t cookie : cookies) {
        // The lot record is copied up to 92 bytes (a shorter record only as far as it goes) and
        // its block let go before the streets are read: the tables share a small cache.
        std::array<std::uint8_t, kLotRecordCopy> copy{};
        std::uint32_t size = 0;
        {
            const auto key = KeyBytes(cookie);
            const FsrKeyRange lot = m_lots.Find(ByteSpan(key.data(), key.size()), false);
            if (!lot.IsValid()) {
                continue;
            }
            size = std::min(m_lots.GetRecordSize(), kLotRecordCopy);
            std::memcpy(copy.data(), lot.GetRecord(), size);
        }
        if (size < 4) {
            continue;
        }
        const std::uint32_t lotKey = copy[0] | std::uint32_t{copy[1]} << 8 |
                                     std::uint32_t{copy[2]} << 16 | std::uint32_t{copy[3]} << 24;
        const auto streetKey = KeyBytes(lotKey);
        const std::uint32_t streetSize = m_streets.GetRecordSize();
        for (FsrKeyRange range =
                 m_streets.Find(ByteSpan(streetKey.data(), streetKey.size()), false);
             range.IsValid(); range.Next()) {
            const std::uint32_t rangeWord = Word(range, streetSize, 2);
            streets.push_back({Word(range, streetSize, 1) & 0x0FFFFFFFU,
                               static_cast<std::int16_t>(rangeWord & 0xFF),
                               static_cast<std::int16_t>((rangeWord >> 8) & 0xFF)});
        }
    }
    return streets;
}
