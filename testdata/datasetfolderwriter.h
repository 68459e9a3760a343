#pragma once
// Writer of address dataset folders for tests: from one description of areas, cities, streets,
// types, postal codes and street elements it writes "DATABASE.TXT" and the fourteen table files
// with consistent ids, each table in a chosen accepted column layout or a refused one, loose in
// the folder or packed in an ".sfs" archive of it. One writer per folder; not thread-safe.

#include "tablefiles/columntype.h"
#include "tablefiles/datasettable.h"
#include "testdata/tempdir.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testdata {

// The tables by the readers' own names for them.
using DatasetFile = DatasetTableId;
inline constexpr std::size_t kDatasetFileCount = kDatasetTableCount;

// Narrow texts are code page 1252 and cut at their column (16 bytes for street names and postal
// codes, 64 for city, area, type and other names).
struct DatasetArea {
    std::int32_t id = 0;
    std::string name;
    std::int32_t kind = 0; // 10: a country, named by its number
    GeoRect rect;
    std::int32_t secondId = 0;
};

struct DatasetCityEntry {
    std::string name;
    std::int32_t cityId = 0;
    std::int32_t areaId = 0;
    std::uint16_t country = 0;
    std::uint16_t value = 0;
    std::optional<std::int32_t> streetId; // the city's street (S2U)
};

struct DatasetStreetEntry {
    std::int32_t id = 0;
    std::string name;
    std::int32_t typeId = 0;
    std::string postalCode;
    std::array<std::int32_t, 3> areas{-1, -1, -1}; // area ids of levels 1, 2, 3 (-1: none)
    std::vector<std::uint32_t> elements;
};

struct DatasetHouseNumbers {
    std::uint32_t scheme = 0;
    std::string firstSide; // number list texts ("2-20")
    std::string secondSide;
};

struct DatasetElement {
    std::uint32_t id = 0;
    std::vector<GeoPoint> points;
    std::optional<DatasetHouseNumbers> houseNumbers;
};

struct DatasetPostalCodeEntry {
    std::string code;
    std::uint16_t value = 0;
    GeoRect rect;
};

struct DatasetTypeEntry {
    std::int16_t id = 0;
    std::string name;
};

// How one table is written. Layout codes as the readers number them; a refused table gets one
// column more than layout 0.
struct DatasetTableChoice {
    std::int32_t layout = 0;
    bool isRefused = false;
    bool isPacked = false;  // in "<folder>\Tables.sfs" instead of loose
    bool isLeftOut = false; // not written at all
    std::string fileName;   // empty: the logical name ("PLZes.fsr" ...)
};

class DatasetFolderWriter {
public:
    DatasetFolderWriter& AddArea(DatasetArea area);
    DatasetFolderWriter& AddCity(DatasetCityEntry city);
    DatasetFolderWriter& AddStreet(DatasetStreetEntry street);
    DatasetFolderWriter& AddElement(DatasetElement element);
    DatasetFolderWriter& AddPostalCode(DatasetPostalCodeEntry postalCode);
    DatasetFolderWriter& AddType(DatasetTypeEntry type);

    DatasetFolderWriter& SetTable(DatasetFile file, const DatasetTableChoice& choice);
    DatasetFolderWriter& SetCollation(CollationVariant collation);
    // [Database] "Unknown Name Representation"; not written unless set.
    DatasetFolderWriter& SetUnknownNameText(std::string text);
    // A key of a language section ("Default" or a language name): logical name = file name.
    DatasetFolderWriter& MapFile(const std::string& section, const std::string& logicalName,
                                 const std::string& fileName);
    // Leaves "DATABASE.TXT" out of the folder.
    DatasetFolderWriter& LeaveOutDescription();

    // The logical file name of a table ("XO_AN.fsr" ...).
    static std::string LogicalName(DatasetFile file);
    // The text id under which EuroName holds a street name or postal code text; nullopt when
    // the text is not in the description.
    std::optional<std::int32_t> TextIdOf(const std::string& text) const;

    // The table's file as chosen (whatever its placement).
    std::vector<std::uint8_t> BuildTable(DatasetFile file) const;
    std::string BuildDescription() const;
    // Writes the folder (a device path such as u"\\db"); false when a file cannot be written.
    [[nodiscard]] bool WriteTo(const TempDeviceRoot& root, std::u16string_view folder) const;

private:
    std::map<std::string, std::int32_t> TextIds() const;

    std::vector<DatasetArea> m_areas;
    std::vector<DatasetCityEntry> m_cities;
    std::vector<DatasetStreetEntry> m_streets;
    std::vector<DatasetElement> m_elements;
    std::vector<DatasetPostalCodeEntry> m_postalCodes;
    std::vector<DatasetTypeEntry> m_types;
    std::array<DatasetTableChoice, kDatasetFileCount> m_choices{};
    CollationVariant m_collation = CollationVariant::CodeOrder;
    std::optional<std::string> m_unknownNameText;
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> m_sections;
    bool m_hasDescription = true;
};

} // namespace testdata
