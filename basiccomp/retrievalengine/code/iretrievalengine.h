#pragma once
// The retrieval engine's interfaces over one map set, declared at the table files' step so that
// the address datasets can hand on every question they do not answer themselves: the engine
// with its opened and closed signals, and the area query. Any thread may call them; the engine
// serialises Open and Close against its queries. Its signals may be connected from any thread.

#include "basiccomp/retrievalengine/code/ielementcursor.h"
#include "six/intfptr.h"
#include "tablefiles/addressinterfaces.h"
#include "utilities/mapgeometry/mapgeometry.h"
#include "utilities/mapgeometry/retrievalengineevents.h"
#include "utilities/usefulcode/cache/blockcache.h"

#include <cstdint>
#include <string>
#include <vector>

class MapElement;

namespace RetrievalEngine {

// The operations in this order; every one answers empty (null, false, all-zero, -1) while no map
// set is open.
class IRetrievalEngine : public RetrievalEngineEvents {
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

    // Opens the map set named by a level file (".lvl") or by one of its files, closing the one
    // open; fires the opened signal on success. False when the map set's ".dat" stream cannot be
    // opened (or its ".rid" file is missing or refused).
    virtual bool Open(const std::u16string& path) = 0;
    // A second entry answering as IsOpen.
    virtual bool IsMapSetOpen() = 0;
    // Closes the map set (when one is open) and fires the closed signal.
    virtual void Close() = 0;
    // The map set's extent in degrees; all zero while closed.
    virtual GeoRect GetExtent() = 0;
    // The element of the id mapped through the address index; null without one.
    virtual six::IntfPtr<MapElement> GetMappedElement(std::uint32_t id) = 0;
    // The block cache every file of the engine reads through.
    virtual BlockCachePtr GetBlockCache() = 0;
};

using RetrievalEnginePtr = six::IntfPtr<IRetrievalEngine>;

// The area query: the elements whose bounds meet a rectangle in degrees, with a type code in
// [from, to) when from < to. Null while no map set is open.
class IAreaQuery {
public:
    virtual ~IAreaQuery() = default;
    virtual ElementCursorPtr QueryArea(const GeoRect& rect, std::uint32_t from,
                                       std::uint32_t to) = 0;
    // The signals of the engine behind the query, so that holders of the query learn when its
    // map data changes.
    [[nodiscard]] virtual RetrievalEngineEvents& GetEngineEvents() = 0;
};

} // namespace RetrievalEngine
