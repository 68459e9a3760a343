#pragma once
// The address datasets: a separate address database in its own folder ("DATABASE.TXT" and
// fourteen table files, loose or in ".sfs" archives of the folder). They answer the address
// operations of the retrieval engine from their own tables and hand every other operation, or
// one whose table is missing or while they are closed, to the engine they were made with. Any
// thread may query; results and cursors keep the datasets and their tables alive, so a query
// that meets Close finishes on the tables it began with.

#include "tablefiles/addressinterfaces.h"

#include <cstdint>
#include <string>
#include <vector>

class IDatasets {
public:
    virtual ~IDatasets() = default;

    virtual bool IsCookie2CountryOpen() = 0;
    // Open and the street table (XO_I) opens.
    virtual bool HasStreetRecords() = 0;
    virtual GeoMoleculePtr CreateGeoMolecule(std::uint32_t streetId, std::uint16_t code) = 0;
    virtual GeoMoleculePtr CreateMappedGeoMolecule(std::uint32_t id, const std::u16string& name,
                                                   std::uint16_t code) = 0;
    // Copies the record in; returns the datasets' record.
    virtual LevelInfo SetLevelInfo(const LevelInfo& info) = 0;
    virtual LevelInfo* GetLevelInfoRef() = 0;
    virtual GeoMoleculeCursorPtr FindAlong(const std::vector<std::vector<GeoPoint>>& geometry,
                                           float distance, const std::u16string& name) = 0;
    // Streets of a postal code whose names begin with name.
    virtual GeoMoleculeCursorPtr FindInPostalCode(const std::u16string& postalCode,
                                                  std::uint32_t value,
                                                  const std::u16string& name) = 0;
    // Streets of an area whose names begin with name, at the levels of the level info.
    virtual GeoMoleculeCursorPtr FindInArea(std::uint32_t areaId, const std::u16string& name) = 0;
    virtual GeoMoleculeCursorPtr FindAround(const GeoPoint& position, float radius,
                                            const std::u16string& name) = 0;
    virtual GeoMoleculeCursorPtr FindInRect(const GeoRect& rect, const std::u16string& name) = 0;
    virtual std::u16string LookupArea(std::uint32_t areaId) = 0;
    virtual std::u16string GetETypeName(std::uint16_t typeId) = 0;
    virtual std::vector<CountryPtr> GetCountries(std::uint16_t language) = 0;
    // Cities whose names begin with name; country 0 for all countries.
    virtual AddressCursorPtr FindCities(const std::u16string& name, std::uint16_t country) = 0;
    virtual PostalCodeCursorPtr FindPostalCodes(const std::u16string& postalCode,
                                                std::uint16_t value) = 0;
    virtual TypeCursorPtr GetETypeCursor() = 0;
    virtual CountryPtr GetCountry(std::uint16_t number, std::uint16_t language) = 0;
    virtual AddressResultPtr GetAddressOfElement(std::uint32_t elementId, std::uint16_t value) = 0;
    virtual std::int32_t WalkAreaHierarchy(std::uint32_t areaId, std::uint32_t value) = 0;
    // Mounts the folder's archives and opens its description (language names the section of
    // file names; empty for "Default"). False when already open (callers Close first) or the
    // folder has no "DATABASE.TXT".
    virtual bool Open(const std::u16string& folder, const std::u16string& language) = 0;
    virtual bool IsOpen() = 0;
    // Unmounts the archives mounted at the folder and lets go of every table.
    virtual void Close() = 0;
};
