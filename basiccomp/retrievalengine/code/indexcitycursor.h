#pragma once
// The city cursors over the city tables ("AllCitiesByName.fsr", "AllCitiesByCountry.fsr"), for
// map sets without the area tree: the records of a name-prefix range, each made into an address
// result with the city's element details asked of an ICityLookup. One thread at a time.

#include "basiccomp/retrievalengine/code/citysearchiterator.h"
#include "tablefiles/datasettable.h"

#include <cstdint>

class IndexCityCursor : public IAddressCursor {
public:
    bool Next() override;
    // A new result on every call; null when the cursor is invalid.
    AddressResultPtr GetCurrent() override;
    bool IsValid() override { return m_rows.IsValid(); }

protected:
    // firstColumn: the name column ({name, area id, element id, 16-bit value} follow from it).
    IndexCityCursor(CityLookupPtr lookup, DatasetRows rows, std::uint32_t firstColumn);

    // Completes a city from its element: postal code and element name; the rectangle is the
    // element's own when the area id is the element id (the area id then becomes -1), else the
    // area's.
    void FetchCityDetails(CityResultFields& fields);

private:
    CityLookupPtr m_lookup;
    DatasetRows m_rows;
    std::uint32_t m_firstColumn;
};

// Records {64-byte name, i32 area id, i32 element id, 16-bit value}.
class IndexCityByNameCursor final : public IndexCityCursor {
public:
    IndexCityByNameCursor(CityLookupPtr lookup, DatasetRows rows)
        : IndexCityCursor(std::move(lookup), std::move(rows), 0) {}
};

// Records {u16 country number, then as by name}.
class IndexCityByCountryCursor final : public IndexCityCursor {
public:
    IndexCityByCountryCursor(CityLookupPtr lookup, DatasetRows rows)
        : IndexCityCursor(std::move(lookup), std::move(rows), 1) {}
};
