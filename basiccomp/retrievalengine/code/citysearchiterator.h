#pragma once
// CitySearchIterator: the address cursor over a NameSearchCursor. Each record becomes an address
// result with the city's element id, area id, rectangle, names and postal code, asked of an
// ICityLookup (the area tree and the engine). One thread at a time.

#include "basiccomp/retrievalengine/code/namesearchcursor.h"
#include "six/refcntptr.h"
#include "tablefiles/addressinterfaces.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <optional>
#include <string>

// An area node of the area tree.
struct CityAreaNode {
    std::uint32_t elementId = 0;
    GeoRect rect{};
};

// What the engine tells of a city's element; names and postal code empty and the rectangle all
// zero when the element cannot be fetched.
struct CityElementDetails {
    std::u16string name;
    std::u16string secondName;
    std::u16string postalCode;
    GeoRect rect{};
};

// The fields of one city result.
struct CityResultFields {
    std::u16string name;
    std::u16string secondName;
    std::uint16_t value = 0;
    std::uint32_t elementId = 0;
    std::int32_t areaId = -1; // -1: the city has no area
    std::u16string postalCode;
    GeoRect rect{};
};

// What the city search needs of the area tree and the engine.
class ICityLookup {
public:
    virtual ~ICityLookup() = default;
    // The area tree's node nodeId; nullopt when there is none.
    virtual std::optional<CityAreaNode> FindAreaNode(std::uint32_t nodeId) = 0;
    virtual CityElementDetails ReadCityElement(std::uint32_t elementId) = 0;
    // The rectangle of an area of the area table (all zero when unknown).
    virtual GeoRect GetAreaRect(std::int32_t areaId) = 0;
    // A new result holding the fields; null when it cannot be made.
    virtual AddressResultPtr MakeCityResult(const CityResultFields& fields) = 0;
};
using CityLookupPtr = six::RefCntPtr<ICityLookup>;

class CitySearchIterator final : public IAddressCursor {
public:
    // Stands on the cursor's current record.
    CitySearchIterator(CityLookupPtr lookup, NameSearchCursor cursor);

    bool Next() override;
    // The result of the current record (made once per record); null past the last one.
    AddressResultPtr GetCurrent() override;
    bool IsValid() override { return m_cursor.HasNext(); }

private:
    // Makes the current record's result; false past the last record.
    bool LoadCurrent();

    CityLookupPtr m_lookup;
    NameSearchCursor m_cursor;
    AddressResultPtr m_current;
};
