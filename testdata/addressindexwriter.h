#pragma once
// Writer of a map set's address index tables ("Cookie2AreaId.fsr", "Cookie2Plz.fsr",
// "ETypeI.fsr", "EntryPoints.fsr", "HouseNumbers.fsr", "Countries.fsr", "PLZes.fsr",
// "Cookie2Country.fsr", "EAreaI.fsr", "_s2c.fsr") and, beside them, the area tree or the list
// files. Element ids and cookies are those the map-set writer gave out.

#include "testdata/areatreewriter.h"
#include "testdata/tempdir.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testdata {

// One HouseNumbers record: an element's numbers on its two sides.
struct IndexHouseNumbers {
    std::int32_t elementId = 0;
    std::uint16_t firstScheme = 0;
    std::uint16_t secondScheme = 0;
    std::uint16_t firstNumber = 0;
    std::uint16_t secondNumber = 0;
    std::int8_t firstSuffix = 0;
    std::int8_t secondSuffix = 0;
};

// One EAreaI.fsr record.
struct IndexArea {
    std::int32_t id = 0;
    std::int32_t parent = -1;
    std::string name;
    std::int32_t level = 0;
    std::array<float, 4> rect{};
};

// One text entry of an ADAS record: head word, then the text and its terminator. `length`
// replaces the written length word (negative or past the area: a broken entry); the bytes
// written stay the text and terminator.
struct AdasTextEntry {
    std::uint32_t head = 0; // bits 0-1 kind, 2-11 value, 12-14 class
    std::string text;
    bool hasTerminator = true; // false with an empty text: a length of 0 and no bytes
    std::optional<std::int16_t> length;
};

// An ADAS record: presence flags (bit 0 value word, bit 1 text entries), value word, entries.
struct AdasRecord {
    std::uint32_t presence = 3;
    std::uint32_t value = 0;
    std::vector<AdasTextEntry> entries;
    std::optional<std::size_t> cutTo; // the record cut to this many bytes
};

// The bytes of an ADAS record of the element (its id first).
std::vector<std::uint8_t> EncodeAdasRecord(std::int32_t elementId, const AdasRecord& record);

// A sign table file: "key<TAB>value" lines, LF or CR LF; the last line without its break when
// asked.
std::string SignTableText(const std::vector<std::pair<std::string, std::string>>& lines,
                          bool isCrLf = false, bool lastLineBroken = true);

class AddressIndexWriter {
public:
    // Cookie2AreaId / Cookie2Plz: a record of slots from its first cookie. The end marker's key
    // is one above the highest first cookie unless set.
    AddressIndexWriter& AddCookieAreas(std::int32_t firstCookie, std::vector<std::uint32_t> slots);
    AddressIndexWriter& AddCookiePostalCodes(std::int32_t firstCookie,
                                             std::vector<std::string> slots);
    AddressIndexWriter& SetCookieEnd(std::int32_t endKey);
    AddressIndexWriter& AddType(std::int16_t id, std::string name);
    AddressIndexWriter& AddEntryPoint(std::int32_t id, float x, float y);
    AddressIndexWriter& AddHouseNumbers(const IndexHouseNumbers& record);
    AddressIndexWriter& AddCountry(std::uint16_t number, std::uint16_t language, std::string name);
    AddressIndexWriter& AddPostalCode(std::uint16_t value, std::string code,
                                      std::array<float, 4> rect);
    AddressIndexWriter& AddCookieCountry(std::int32_t key, std::uint16_t country);
    AddressIndexWriter& AddArea(IndexArea area);
    AddressIndexWriter& AddS2C(std::int32_t id, std::uint32_t mappedId);
    // "ADAS.fsx" and "SignpostInfo.fsx" records of an element.
    AddressIndexWriter& AddAdas(std::int32_t elementId, AdasRecord record);
    AddressIndexWriter& AddSignpost(std::int32_t elementId, std::uint32_t value, std::string code,
                                    std::string text);
    // The sign tables of the "adas" folder, as file texts (empty: the file is not written).
    AddressIndexWriter& SetSignTables(std::string cookie2Sign, std::string sign2Enum,
                                      std::string enum2Info);

    // The file of a table ("Cookie2AreaId.fsr", "ADAS.fsx" ...); empty for an unknown name.
    [[nodiscard]] std::vector<std::uint8_t> BuildTable(std::string_view name) const;
    // Every table that has records into the folder (device path); "_s2c.fsr" goes to basePath +
    // "_s2c.fsr" when basePath is given. False when a file cannot be written.
    [[nodiscard]] bool WriteTo(const TempDeviceRoot& root, std::u16string_view folder,
                               std::u16string_view basePath = {}) const;

private:
    std::vector<std::pair<std::int32_t, std::vector<std::uint32_t>>> m_cookieAreas;
    std::vector<std::pair<std::int32_t, std::vector<std::string>>> m_cookiePostalCodes;
    std::optional<std::int32_t> m_cookieEnd;
    std::vector<std::pair<std::int16_t, std::string>> m_types;
    std::vector<std::array<double, 3>> m_entryPoints;
    std::vector<IndexHouseNumbers> m_houseNumbers;
    struct Country {
        std::uint16_t number;
        std::uint16_t language;
        std::string name;
    };
    std::vector<Country> m_countries;
    struct PostalCode {
        std::uint16_t value;
        std::string code;
        std::array<float, 4> rect;
    };
    std::vector<PostalCode> m_postalCodes;
    std::vector<std::pair<std::int32_t, std::uint16_t>> m_cookieCountries;
    std::vector<IndexArea> m_areas;
    std::vector<std::pair<std::int32_t, std::uint32_t>> m_s2c;
    std::vector<std::vector<std::uint8_t>> m_adas;
    std::vector<std::vector<std::uint8_t>> m_signposts;
    std::array<std::string, 3> m_signTables;
};

} // namespace testdata
