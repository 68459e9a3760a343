#pragma once
// The address datasets' implementation: the fourteen table holders, the folder's description,
// the mounted archives, the engine that answers what the tables cannot, and the id lookups that
// the streets, cursors and results use. Made only through Create; streets, cursors and results
// hold it by counted reference.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "tablefiles/datasets.h"
#include "tablefiles/datasettable.h"
#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/critsect.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class DatasetsImpl;
using DatasetsPtr = six::RefCntPtr<DatasetsImpl>;

class DatasetsImpl final : public IDatasets {
public:
    // Closed datasets sharing the cache and holding a clone of the engine pointer (which may be
    // empty). Null when an allocation fails.
    static DatasetsPtr Create(BlockCachePtr cache,
                              const RetrievalEngine::RetrievalEnginePtr& engine);
    ~DatasetsImpl() override;
    DatasetsImpl(const DatasetsImpl&) = delete;
    DatasetsImpl& operator=(const DatasetsImpl&) = delete;

    bool IsCookie2CountryOpen() override;
    bool HasStreetRecords() override;
    GeoMoleculePtr CreateGeoMolecule(std::uint32_t streetId, std::uint16_t code) override;
    GeoMoleculePtr CreateMappedGeoMolecule(std::uint32_t id, const std::u16string& name,
                                           std::uint16_t code) override;
    LevelInfo SetLevelInfo(const LevelInfo& info) override;
    LevelInfo* GetLevelInfoRef() override { return &m_levelInfo; }
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
    bool Open(const std::u16string& folder, const std::u16string& language) override;
    bool IsOpen() override;
    void Close() override;

    // Lookups of the streets, cursors and results. Texts are title-cased.
    // The area's name: a country area (kind 10) is named by the engine's country of the number
    // its name holds; empty when unknown.
    std::u16string GetAreaName(std::uint32_t areaId);
    // The area's rectangle; all zero when there is no record.
    GeoRect GetAreaRect(std::uint32_t areaId);
    std::u16string GetTypeText(std::uint16_t typeId);
    // The element's stored points in order; false (list empty) when it has none.
    bool GetStreetPoints(std::uint32_t elementId, std::vector<GeoPoint>& points);
    // Fills the first scheme word and both number ranges of the element's first record; the
    // range flag keeps its value. False when the element has no record.
    bool GetHouseNumberInfo(std::uint32_t elementId, HouseNumberInfo& info);
    // The street of a city (S2U); false when there is none.
    bool GetStreetOfCity(std::uint32_t cityId, std::uint32_t& streetId);
    // The title-cased text of a name id; `missing` when there is no record, the configured
    // unknown-name text for a name marked unknown.
    std::u16string GetNameText(std::int32_t nameId, const std::u16string& missing);

    // The opened table, or null while closed or when it does not open.
    OpenedTablePtr GetTable(DatasetTableId id);
    // A clone of the engine pointer (empty without an engine).
    RetrievalEngine::RetrievalEnginePtr GetEngine() const { return m_engine; }
    // One more counted reference to these datasets.
    DatasetsPtr Share() const;

private:
    DatasetsImpl(BlockCachePtr cache, const RetrievalEngine::RetrievalEnginePtr& engine);
    void MountArchives(const std::u16string& folder);
    void Unmount();

    std::vector<std::unique_ptr<DatasetTable>> m_tables;
    DatabaseInfo m_info;
    MountFolder m_mountFolder;
    RetrievalEngine::RetrievalEnginePtr m_engine;
    CritSect m_lock;
    LevelInfo m_levelInfo;
    DatasetsPtr::Rep* m_self = nullptr;
};
