#pragma once
// Writer of the city index files "AllCitiesByName.idx" and "AllCitiesByCountry.idx" from a list
// of cities: names folded as search texts and sorted, record numbers and 0x40 values as runs of
// 7-bit groups with bit 7 set, "|" country sections, a final 0 byte; knobs for broken files.

#include "testdata/tempdir.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testdata {

struct CityIndexEntry {
    std::string name;     // as people write it, code page 1252
    std::uint32_t id = 0; // an area node id, or an element id when isElement
    bool isElement = false;
    std::optional<std::uint16_t> value; // none: the record has no 0x40 part
    std::uint16_t country = 0;
};

enum class CityIndexFault {
    None,
    SixGroupNumber, // the first record number of the file (of each section) in six groups
    NoFinalZero,    // no 0 byte after the last record
    FourMegabytes,  // a last, long record makes the file 4 MB exactly
};

class CityIndexWriter {
public:
    CityIndexWriter& Add(CityIndexEntry entry);

    [[nodiscard]] std::vector<std::uint8_t>
    BuildByName(CityIndexFault fault = CityIndexFault::None) const;
    [[nodiscard]] std::vector<std::uint8_t>
    BuildByCountry(CityIndexFault fault = CityIndexFault::None) const;
    // Both files into a folder of the device ("\maps\Europe"); false when one cannot be written.
    [[nodiscard]] bool WriteTo(const TempDeviceRoot& root, std::u16string_view folder,
                               CityIndexFault fault = CityIndexFault::None) const;

    // The record number of an entry: id << 1, with bit 0 set for an element.
    [[nodiscard]] static std::uint32_t RecordNumberOf(const CityIndexEntry& entry);

private:
    std::vector<CityIndexEntry> m_entries;
};

// The number as the city index files store it: 7-bit groups, lowest first, bit 7 set in each.
std::vector<std::uint8_t> EncodeCityIndexNumber(std::uint32_t value);

} // namespace testdata
