#pragma once
// The element area and postal-code tables of the address index ("Cookie2AreaId.fsr",
// "Cookie2Plz.fsr"): each road element of the detailed map set, filed under its element id, names
// its area and its postal code through two slots of its record, whose numbers go into the
// element's attribute word (bits 2-7 the area slot, bits 8-13 the postal-code slot).

#include "testdata/addressindexwriter.h"

#include <cstdint>
#include <string>
#include <vector>

class RetrievalEngineImpl;

namespace osm2nav {

// The postal code of a street's elements: the most frequent code among the street's own
// addresses, else the most frequent among the addresses of the street's area; ties go to the
// lowest code; empty when neither list has one. Empty codes in the lists do not count.
[[nodiscard]] std::string ChoosePostalCode(const std::vector<std::string>& streetCodes,
                                           const std::vector<std::string>& areaCodes);

struct ElementAddress {
    std::uint32_t elementId = 0;
    std::uint32_t areaId = 0; // 0: none
    std::string postalCode;   // code page 1252, at most 16 bytes; empty: none
};

class CookieTables {
public:
    // Files the elements (any order, each id once) by id. A record starts at cookie 0 and
    // whenever the next element would need a 65th area or postal code; slot 0 of each record
    // stays "none", so that elements without slot bits have no area and no postal code.
    // `endCookie` is one above the highest element id of the map set. Returns the slot bits of
    // each element, in the order given.
    std::vector<std::uint32_t> Assign(std::vector<ElementAddress> elements,
                                      std::uint32_t endCookie);

    void AddTo(testdata::AddressIndexWriter& writer) const;
    [[nodiscard]] std::size_t GetRecordCount() const { return m_records.size(); }
    // Elements that have an area or a postal code.
    [[nodiscard]] std::size_t GetElementCount() const;

    // Checks every element's area and postal code as the engine (open on the written map set)
    // reads them; empty when sound, else what is wrong.
    [[nodiscard]] std::string ReadBack(RetrievalEngineImpl& engine) const;

private:
    struct Record {
        std::uint32_t firstCookie = 0;
        std::vector<std::uint32_t> areas;
        std::vector<std::string> postalCodes;
    };
    std::vector<Record> m_records;
    std::vector<ElementAddress> m_elements;
    std::uint32_t m_endCookie = 0;
};

} // namespace osm2nav
