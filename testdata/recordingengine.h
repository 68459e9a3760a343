#pragma once
// A retrieval engine for tests of the engine's callers: it records every call with its
// arguments as one text line ("FindInArea(7, \"Berg\")") and answers with scripted results.
// Calls may come from any thread; set the script before they start.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace testdata {

// The answers of a RecordingEngine; each operation returns the field of its result type.
struct EngineScript {
    bool flag = false; // every bool operation
    GeoMoleculePtr molecule;
    GeoMoleculeCursorPtr streets;
    AddressCursorPtr cities;
    PostalCodeCursorPtr postalCodes;
    TypeCursorPtr types;
    CountryPtr country;
    std::vector<CountryPtr> countries;
    AddressResultPtr address;
    std::u16string text; // LookupArea, GetETypeName
    std::int32_t areaWalk = -1;
    QueryDefaults defaults;
    GeoRect extent;
    BlockCachePtr cache;
};

class RecordingEngine final : public RetrievalEngine::IRetrievalEngine {
public:
    EngineScript script;

    // The calls so far, one line each, in order.
    std::vector<std::string> Calls() const;
    void ClearCalls();

    bool IsCookie2CountryOpen() override;
    bool IsOpen() override;
    GeoMoleculePtr CreateGeoMolecule(std::uint32_t id, std::uint16_t code) override;
    GeoMoleculePtr CreateMappedGeoMolecule(std::uint32_t id, const std::u16string& name,
                                           std::uint16_t code) override;
    QueryDefaults GetQueryDefaults() override;
    QueryDefaults* GetQueryDefaultsRef() override;
    GeoMoleculeCursorPtr FindAlong(const std::vector<std::vector<GeoPoint>>& geometry,
                                   float distance, const std::u16string& name) override;
    GeoMoleculeCursorPtr FindInPostalCode(const std::u16string& postalCode, std::uint32_t value,
                                          const std::u16string& name) override;
    GeoMoleculeCursorPtr FindInArea(std::uint32_t areaId, const std::u16string& name) override;
    GeoMoleculeCursorPtr FindAround(const GeoPoint& position, float radius,
                                    const std::u16string& name) override;
    GeoMoleculeCursorPtr FindInRect(const GeoRect& rect, const std::u16string& name) override;
    std::u16string LookupArea(std::uint32_t areaId) override;
    std::u16string GetETypeName(std::uint16_t typeId) override;
    std::vector<CountryPtr> GetCountries(std::uint16_t language) override;
    AddressCursorPtr FindCities(const std::u16string& name, std::uint16_t country) override;
    PostalCodeCursorPtr FindPostalCodes(const std::u16string& postalCode,
                                        std::uint16_t value) override;
    TypeCursorPtr GetETypeCursor() override;
    CountryPtr GetCountry(std::uint16_t number, std::uint16_t language) override;
    AddressResultPtr GetAddressOfElement(std::uint32_t elementId, std::uint16_t value) override;
    std::int32_t WalkAreaHierarchy(std::uint32_t areaId, std::uint32_t value) override;
    bool HasAddressIndex() override;
    bool HasNameFile() override;
    bool IsHouseNumbersOpen() override;
    bool Open(const std::u16string& levelFile) override;
    bool IsMapSetOpen() override;
    void Close() override;
    GeoRect GetExtent() override;
    six::IntfPtr<MapElement> GetMappedElement(std::uint32_t id) override;
    BlockCachePtr GetBlockCache() override;

private:
    void Record(std::string line);

    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

using RecordingEnginePtr = six::RefCntPtr<RecordingEngine>;

// A new engine, and the interface pointer on it that callers are given.
RecordingEnginePtr MakeRecordingEngine();
RetrievalEngine::RetrievalEnginePtr EngineInterface(const RecordingEnginePtr& engine);

// A country with a fixed name and number, for scripts.
class ScriptedCountry final : public ICountry {
public:
    ScriptedCountry(std::u16string name, std::uint16_t number)
        : m_name(std::move(name))
        , m_number(number) {}
    std::u16string GetName() override { return m_name; }
    std::u16string GetNativeName() override { return m_name; }
    std::uint16_t GetLanguage() override { return 0; }
    std::uint16_t GetNumber() override { return m_number; }
    GeoRect GetRect() override { return {}; }

private:
    std::u16string m_name;
    std::uint16_t m_number;
};

// A street cursor with no streets, for scripts.
class EmptyStreetCursor final : public IGeoMoleculeCursor {
public:
    bool Next() override { return false; }
    GeoMoleculePtr GetCurrent() override { return nullptr; }
    bool IsValid() override { return false; }
};

// A city for scripts: a name, a qualifier, its element and its area (an area entry when both
// are equal).
class ScriptedCity final : public IAddressResult {
public:
    ScriptedCity(std::u16string name, std::u16string qualifier, std::uint32_t elementId,
                 std::int32_t areaId)
        : m_name(std::move(name))
        , m_qualifier(std::move(qualifier))
        , m_elementId(elementId)
        , m_areaId(areaId) {}
    std::u16string GetName() override { return m_name; }
    std::u16string GetSecondName() override { return m_qualifier; }
    std::uint16_t GetValue() override { return 0; }
    std::uint32_t GetId() override { return m_elementId; }
    std::int32_t GetAreaId() override { return m_areaId; }
    std::u16string GetPostalCode() override { return {}; }
    std::uint32_t GetElementId() override { return m_elementId; }
    GeoRect GetRect() override { return {}; }
    bool HasArea() override { return m_areaId >= 0; }

private:
    std::u16string m_name;
    std::u16string m_qualifier;
    std::uint32_t m_elementId;
    std::int32_t m_areaId;
};

// A street for scripts: a name, a type code, its areas at levels 0 to 3 (-1: none) and whether
// it has house numbers.
class ScriptedStreet final : public IGeoMolecule {
public:
    ScriptedStreet(std::u16string name, std::int32_t type, std::array<std::int32_t, 4> areas,
                   bool hasHouseNumbers)
        : m_name(std::move(name))
        , m_type(type)
        , m_areas(areas)
        , m_hasHouseNumbers(hasHouseNumbers) {}
    std::uint32_t GetId() override { return 0; }
    std::u16string GetName() override { return m_name; }
    std::u16string GetSecondName() override { return {}; }
    std::int32_t GetVariantCode() override { return -1; }
    std::u16string GetPostalCode() override { return {}; }
    std::u16string GetTypeName() override { return {}; }
    std::int32_t GetType() override { return m_type; }
    std::int32_t GetAreaId() override { return m_areas[0]; }
    std::int32_t WalkAreaHierarchy(std::int32_t level) override {
        return level >= 0 && level < 4 ? m_areas[static_cast<std::size_t>(level)] : -1;
    }
    std::vector<std::uint32_t> GetElementIds() override { return {}; }
    std::vector<std::uint32_t> GetCrossStreets() override { return {}; }
    bool HasHouseNumbers() override { return m_hasHouseNumbers; }
    bool HasHouseNumber(const HouseNumber&) override { return false; }
    ElementPosition GetHouseNumberPosition(const HouseNumber&) override { return {}; }
    ElementPosition GetCrossingWith(std::uint32_t) override { return {}; }

private:
    std::u16string m_name;
    std::int32_t m_type;
    std::array<std::int32_t, 4> m_areas;
    bool m_hasHouseNumbers;
};

// A cursor over a fixed list of entries (cities or streets) that counts how many it handed out.
template <typename Interface, typename Entry> class ScriptedCursor final : public Interface {
public:
    explicit ScriptedCursor(std::vector<Entry> entries)
        : m_entries(std::move(entries)) {}
    bool Next() override {
        if (m_next < m_entries.size()) {
            ++m_next;
        }
        return IsValid();
    }
    Entry GetCurrent() override {
        if (!IsValid()) {
            return Entry();
        }
        ++m_handedOut;
        return m_entries[m_next];
    }
    bool IsValid() override { return m_next < m_entries.size(); }
    [[nodiscard]] std::size_t HandedOut() const { return m_handedOut; }

private:
    std::vector<Entry> m_entries;
    std::size_t m_next = 0;
    std::size_t m_handedOut = 0;
};
using ScriptedCityCursor = ScriptedCursor<IAddressCursor, AddressResultPtr>;
using ScriptedStreetCursor = ScriptedCursor<IGeoMoleculeCursor, GeoMoleculePtr>;

} // namespace testdata
