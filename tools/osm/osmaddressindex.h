#pragma once
// The address index of the detailed map set: the area tree "EAreaI.tre" (countries, the
// administrative areas below them, each under the nearest larger area that encloses it), the
// city index files whose records name the area of a municipality (or the element of a place
// without an area of its own), "Countries.fsr", "ETypeI.fsr", "HouseNumbers.fsr", "PLZes.fsr"
// and the element area and postal-code tables; written loose into the map folder or into its
// archive, and read back through the engine.

#include "testdata/addressindexwriter.h"
#include "testdata/archivewriter.h"
#include "testdata/areatreewriter.h"
#include "testdata/cityindexwriter.h"
#include "tools/osm/osmcookies.h"
#include "tools/osm/osmhousenumbers.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace RetrievalEngine {
class IRetrievalEngine;
}

namespace osm2nav {

struct IndexAreaInput {
    std::string name;        // code page 1252; a country's name is its number in decimal
    std::uint32_t level = 0; // the tree's level: 10 a country, lower ones inside
    MapRect bounds;
    std::uint16_t country = 0;
    // A country's names by language number, for "Countries.fsr" (none: named by `name`).
    std::vector<std::pair<std::uint16_t, std::string>> countryNames;
};

struct IndexCityInput {
    std::string name;
    std::optional<std::size_t> area; // the area that holds it (index of AddArea)
    std::uint32_t elementId = 0;     // its point element in the map set
    std::uint16_t country = 0;
};

class AddressIndexBuilder {
public:
    // Areas and cities in any order; Layout gives the areas their node ids.
    std::size_t AddArea(IndexAreaInput area);
    void AddCity(IndexCityInput city);
    void Layout();

    // After Layout: the area's node id (its id in the datasets too).
    [[nodiscard]] std::uint32_t AreaId(std::size_t area) const;
    // The area's parent (index), none for a top area.
    [[nodiscard]] std::optional<std::size_t> ParentOf(std::size_t area) const;

    void AddType(std::int16_t id, const std::string& name);
    void AddHouseNumbers(std::uint32_t elementId, const PlacedNumbers& numbers);
    void AddPostalCode(const std::string& code, const GeoRect& rect);
    // "Cookie2AreaId.fsr" and "Cookie2Plz.fsr".
    void AddCookies(const CookieTables& cookies);

    // After Layout: the city index records, in the order the cities were added.
    [[nodiscard]] const std::vector<testdata::CityIndexEntry>& GetCityRecords() const {
        return m_cityRecords;
    }
    [[nodiscard]] std::size_t GetHouseNumberElementCount() const { return m_numberElements; }

    // Loose into the folder (device path), or as members of the map archive.
    [[nodiscard]] bool WriteTo(const testdata::TempDeviceRoot& root,
                               std::u16string_view folder) const;
    [[nodiscard]] bool AddToArchive(testdata::ArchiveWriter& archive) const;

    // Checks the index as the engine (open on the written map set) reads it: the index is
    // there, every city is found by its name, every area has its name and lies in its parent;
    // empty when sound, else what is wrong.
    [[nodiscard]] std::string ReadBack(RetrievalEngine::IRetrievalEngine& engine) const;

private:
    [[nodiscard]] std::vector<std::pair<std::string, std::vector<std::uint8_t>>> Files() const;

    std::vector<IndexAreaInput> m_areas;
    std::vector<std::optional<std::size_t>> m_parents;
    std::vector<std::int32_t> m_treeIndex;     // area -> index in the tree writer
    std::vector<std::uint32_t> m_cityElements; // area -> element id of the city it stands for
    std::vector<IndexCityInput> m_cities;
    testdata::AreaTreeWriter m_tree;
    testdata::AddressIndexWriter m_tables;
    testdata::CityIndexWriter m_cityIndex;
    std::vector<testdata::CityIndexEntry> m_cityRecords;
    std::size_t m_numberElements = 0;
};

} // namespace osm2nav
