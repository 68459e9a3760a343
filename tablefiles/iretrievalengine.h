#pragma once
// The retrieval engine's interface over one map set, declared at the table files' step so that
// the address datasets can hand on every question they do not answer themselves. Any thread may
// call it; the engine serialises Open and Close against its queries.

#include "mapdisplay/mapgeometry.h"
#include "six/intfptr.h"
#include "tablefiles/addressinterfaces.h"
#include "utilities/usefulcode/cache/blockcache.h"

#include <cstdint>
#include <string>
#include <vector>

class MapElement;

namespace RetrievalEngine {

class IRetrievalEngine {
public:
    virtual ~IRetrievalEngine() = default;

    virtual bool IsCookie2CountryOpen() = 0;
    // Whether a map set is open.
    virtual bool IsOpen() = 0;
    // Null for element id 0 or 0xFFFFFFFF.
    virtual GeoMoleculePtr CreateGeoMolecule(std::uint32_t id, std::uint16_t code) = 0;
    // The molecule on the element mapped from id, with the name alternative matching the text.
    virtual GeoMoleculePtr CreateMappedGeoMolecule(std::uint32_t id, const std::u16string& name,
                                                   std::uint16_t code) = 0;
    virtual QueryDefaults GetQueryDefaults() = 0;
    // Callers change the defaults in place.
    virtual QueryDefaults* GetQueryDefaultsRef() = 0;

    // Searches; an optional name text (empty = any) restricts the named things found. Distances
    // and radii in metres, positions in degrees.
    virtual GeoMoleculeCursorPtr FindAlong(const std::vector<std::vector<GeoPoint>>& geometry,
                                           float distance, const std::u16string& name) = 0;
    virtual GeoMoleculeCursorPtr FindInPostalCode(const std::u16string& postalCode,
                                                  std::uint32_t value,
                                                  const std::u16string& name) = 0;
    virtual GeoMoleculeCursorPtr FindInArea(std::uint32_t areaId, const std::u16string& name) = 0;
    virtual GeoMoleculeCursorPtr FindAround(const GeoPoint& position, float radius,
                                            const std::u16string& name) = 0;
    virtual GeoMoleculeCursorPtr FindInRect(const GeoRect& rect, const std::u16string& name) = 0;

    // Address index lookups.
    virtual std::u16string LookupArea(std::uint32_t areaId) = 0;
    virtual std::u16string GetETypeName(std::uint16_t typeId) = 0;
    virtual std::vector<CountryPtr> GetCountries(std::uint16_t language) = 0;
    virtual AddressCursorPtr FindCities(const std::u16string& name, std::uint16_t country) = 0;
    virtual PostalCodeCursorPtr FindPostalCodes(const std::u16string& postalCode,
                                                std::uint16_t value) = 0;
    virtual TypeCursorPtr GetETypeCursor() = 0;
    virtual CountryPtr GetCountry(std::uint16_t number, std::uint16_t language) = 0;
    virtual AddressResultPtr GetAddressOfElement(std::uint32_t elementId, std::uint16_t value) = 0;
    // -1 without an address index.
    virtual std::int32_t WalkAreaHierarchy(std::uint32_t areaId, std::uint32_t value) = 0;
    virtual bool HasAddressIndex() = 0;
    virtual bool HasNameFile() = 0;
    virtual bool IsHouseNumbersOpen() = 0;

    // Opens the map set named by a level file; false leaves the engine closed.
    virtual bool Open(const std::u16string& levelFile) = 0;
    virtual void Close() = 0;
    // The map set's extent in degrees; all zero while closed.
    virtual GeoRect GetExtent() = 0;
    virtual six::IntfPtr<MapElement> GetMappedElement(std::uint32_t id) = 0;
    // The block cache every file of the engine reads through.
    virtual BlockCachePtr GetBlockCache() = 0;
};

using RetrievalEnginePtr = six::IntfPtr<IRetrievalEngine>;

} // namespace RetrievalEngine
