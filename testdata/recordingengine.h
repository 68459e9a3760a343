#pragma once
// A retrieval engine for tests of the engine's callers: it records every call with its
// arguments as one text line ("FindInArea(7, \"Berg\")") and answers with scripted results.
// Calls may come from any thread; set the script before they start.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"

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

} // namespace testdata
