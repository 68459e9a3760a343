#pragma once
// A retrieval engine answering address searches from lists held in memory: cities (by name
// prefix), postal codes (by exact text), streets inside an area (by name prefix) and area names.
// It notes each search's name and the query settings in force. Every other operation answers
// empty. For tests of address resolution; one thread.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testdata {

struct GazetteerCity {
    std::uint32_t id = 0;
    std::u16string name;
    std::u16string secondName;
    std::u16string postalCode;
    std::int32_t areaId = -1; // the area its streets are searched in
    GeoRect rect;
    bool hasArea = false;
    std::int32_t level3Area = -1; // WalkAreaHierarchy(id, 3)
};

struct GazetteerStreet {
    std::int32_t areaId = -1;
    std::u16string name;
    std::u16string postalCode;
    bool hasHouseNumbers = false;
    std::int32_t level1Area = -1;
};

struct GazetteerPostalCode {
    std::u16string text;
    GeoRect rect;
};

class GazetteerEngine final : public RetrievalEngine::IRetrievalEngine {
public:
    std::vector<GazetteerCity> cities;
    std::vector<GazetteerStreet> streets;
    std::vector<GazetteerPostalCode> postalCodes;
    std::map<std::uint32_t, std::u16string> areaNames;
    // "city:<name>", "street:<area>:<name>", "postal:<text>" per search, in order.
    std::vector<std::u16string> searches;
    // The query settings each street search ran with.
    std::vector<QueryDefaults> streetQueries;

    bool IsCookie2CountryOpen() override { return false; }
    bool IsOpen() override { return true; }
    GeoMoleculePtr CreateGeoMolecule(std::uint32_t, std::uint16_t) override { return {}; }
    GeoMoleculePtr CreateMappedGeoMolecule(std::uint32_t, const std::u16string&,
                                           std::uint16_t) override {
        return {};
    }
    QueryDefaults GetQueryDefaults() override { return m_defaults; }
    QueryDefaults* GetQueryDefaultsRef() override { return &m_defaults; }
    GeoMoleculeCursorPtr FindAlong(const std::vector<std::vector<GeoPoint>>&, float,
                                   const std::u16string&) override {
        return {};
    }
    GeoMoleculeCursorPtr FindInPostalCode(const std::u16string&, std::uint32_t,
                                          const std::u16string&) override {
        return {};
    }
    GeoMoleculeCursorPtr FindInArea(std::uint32_t areaId, const std::u16string& name) override;
    GeoMoleculeCursorPtr FindAround(const GeoPoint&, float, const std::u16string&) override {
        return {};
    }
    GeoMoleculeCursorPtr FindInRect(const GeoRect&, const std::u16string&) override { return {}; }
    std::u16string LookupArea(std::uint32_t areaId) override;
    std::u16string GetETypeName(std::uint16_t) override { return {}; }
    std::vector<CountryPtr> GetCountries(std::uint16_t) override { return {}; }
    AddressCursorPtr FindCities(const std::u16string& name, std::uint16_t country) override;
    PostalCodeCursorPtr FindPostalCodes(const std::u16string& postalCode,
                                        std::uint16_t value) override;
    TypeCursorPtr GetETypeCursor() override { return {}; }
    CountryPtr GetCountry(std::uint16_t, std::uint16_t) override { return {}; }
    AddressResultPtr GetAddressOfElement(std::uint32_t, std::uint16_t) override { return {}; }
    std::int32_t WalkAreaHierarchy(std::uint32_t areaId, std::uint32_t value) override;
    bool HasAddressIndex() override { return true; }
    bool HasNameFile() override { return false; }
    bool IsHouseNumbersOpen() override { return false; }
    bool Open(const std::u16string&) override { return false; }
    bool IsMapSetOpen() override { return true; }
    void Close() override {}
    GeoRect GetExtent() override { return {}; }
    six::IntfPtr<MapElement> GetMappedElement(std::uint32_t) override { return {}; }
    BlockCachePtr GetBlockCache() override { return {}; }

private:
    QueryDefaults m_defaults;
};

} // namespace testdata
