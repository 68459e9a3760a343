#include "tablefiles/datasetsimpl.h"

#include "tablefiles/datasetcursors.h"
#include "tablefiles/datasetstreet.h"
#include "tablefiles/detail/datasettext.h"
#include "utilities/usefulcode/cache/sfslibrary.h"
#include "utilities/usefulcode/directorywalker.h"
#include "utilities/usefulcode/widetext.h"

#include <cstdlib>
#include <new>
#include <utility>

namespace {

using tablefiles::detail::kNoDatasetId;
using tablefiles::detail::TitleFromAnsi;

constexpr std::int32_t kCountryKind = 10;
constexpr DWORD kMountFlags = 0x80000000;
constexpr unsigned char kUnknownNameMark = 0xA6;

// Hands the call to a clone of the engine pointer; `none` without an engine.
template <class Result, class Call>
Result Forward(const RetrievalEngine::RetrievalEnginePtr& engine, Result none, Call call) {
    RetrievalEngine::RetrievalEnginePtr clone(engine);
    if (clone.Get() == nullptr) {
        return none;
    }
    return call(*clone.Get());
}

// A counted pointer on a new object; null when it cannot be allocated.
template <class Interface, class Object, class... Args>
six::RefCntPtr<Interface> Make(Args&&... args) {
    return six::RefCntPtr<Interface>(new (std::nothrow) Object(std::forward<Args>(args)...));
}

std::u16string Title(const std::u16string& text) {
    return TitleCaseCopy(text.c_str());
}

} // namespace

DatasetsImpl::DatasetsImpl(BlockCachePtr cache, const RetrievalEngine::RetrievalEnginePtr& engine)
    : m_engine(engine) {
    for (std::size_t i = 0; i < kDatasetTableCount; ++i) {
        m_tables.push_back(std::make_unique<DatasetTable>(static_cast<DatasetTableId>(i), cache,
                                                          &m_info, &m_mountFolder));
    }
}

DatasetsPtr DatasetsImpl::Create(BlockCachePtr cache,
                                 const RetrievalEngine::RetrievalEnginePtr& engine) {
    auto* object = new (std::nothrow) DatasetsImpl(std::move(cache), engine);
    if (object == nullptr) {
        return nullptr;
    }
    if (engine.Get() != nullptr && object->m_engine.Get() == nullptr) {
        delete object; // the engine pointer could not be cloned
        return nullptr;
    }
    auto* rep = TFactory<DatasetsImpl, six::MTModel>::AllocRep(object);
    if (rep == nullptr) {
        delete object;
        return nullptr;
    }
    object->m_self = rep;
    return DatasetsPtr(rep);
}

DatasetsImpl::~DatasetsImpl() {
    Close();
}

DatasetsPtr DatasetsImpl::Share() const {
    six::MTModel::Increment(m_self->count);
    return DatasetsPtr(m_self);
}

OpenedTablePtr DatasetsImpl::GetTable(DatasetTableId id) {
    if (!m_info.IsOpen()) {
        return nullptr;
    }
    return m_tables[static_cast<std::size_t>(id)]->EnsureOpen();
}

bool DatasetsImpl::IsCookie2CountryOpen() {
    return Forward(m_engine, false, [](auto& engine) { return engine.IsCookie2CountryOpen(); });
}

bool DatasetsImpl::HasStreetRecords() {
    return GetTable(DatasetTableId::XoI) != nullptr;
}

GeoMoleculePtr DatasetsImpl::CreateGeoMolecule(std::uint32_t streetId, std::uint16_t code) {
    if (HasStreetRecords()) {
        return Make<IGeoMolecule, DatasetStreet>(streetId, Share(), code);
    }
    return Forward(m_engine, GeoMoleculePtr(),
                   [&](auto& engine) { return engine.CreateGeoMolecule(streetId, code); });
}

GeoMoleculePtr DatasetsImpl::CreateMappedGeoMolecule(std::uint32_t id, const std::u16string& name,
                                                     std::uint16_t code) {
    return Forward(m_engine, GeoMoleculePtr(),
                   [&](auto& engine) { return engine.CreateMappedGeoMolecule(id, name, code); });
}

LevelInfo DatasetsImpl::SetLevelInfo(const LevelInfo& info) {
    m_levelInfo = info;
    return m_levelInfo;
}

GeoMoleculeCursorPtr DatasetsImpl::FindAlong(const std::vector<std::vector<GeoPoint>>& geometry,
                                             float distance, const std::u16string& name) {
    return Forward(m_engine, GeoMoleculeCursorPtr(),
                   [&](auto& engine) { return engine.FindAlong(geometry, distance, name); });
}

GeoMoleculeCursorPtr DatasetsImpl::FindInPostalCode(const std::u16string& postalCode,
                                                    std::uint32_t value,
                                                    const std::u16string& name) {
    if (m_levelInfo.fromLevel == -1) {
        if (OpenedTablePtr table = GetTable(DatasetTableId::XoPn)) {
            return Make<IGeoMoleculeCursor, XoPnCursor>(
                Share(), FindStreetsInPostalCode(table, postalCode, name));
        }
    }
    return Forward(m_engine, GeoMoleculeCursorPtr(),
                   [&](auto& engine) { return engine.FindInPostalCode(postalCode, value, name); });
}

GeoMoleculeCursorPtr DatasetsImpl::FindInArea(std::uint32_t areaId, const std::u16string& name) {
    const std::int32_t from = m_levelInfo.fromLevel;
    const std::int32_t to = m_levelInfo.toLevel;
    if (from == -1) {
        if (OpenedTablePtr table = GetTable(DatasetTableId::XoAn)) {
            return Make<IGeoMoleculeCursor, XoAnCursor>(Share(),
                                                        FindStreetsInArea(table, areaId, name));
        }
    } else if (static_cast<std::int64_t>(to) == static_cast<std::int64_t>(from) + 1) {
        if (OpenedTablePtr table = GetTable(DatasetTableId::XoAt)) {
            return Make<IGeoMoleculeCursor, XoAtCursor>(
                Share(), FindStreetsAtLevel(table, areaId, from, name));
        }
    } else if (to != from) {
        if (OpenedTablePtr table = GetTable(DatasetTableId::XoAt)) {
            auto ranges = std::make_shared<XoAtMergeCursor::RangeList>();
            for (std::int64_t level = from; level <= to; ++level) {
                ranges->push_back(
                    FindStreetsAtLevel(table, areaId, static_cast<std::int32_t>(level), name));
            }
            return Make<IGeoMoleculeCursor, XoAtMergeCursor>(Share(), std::move(ranges));
        }
    }
    return Forward(m_engine, GeoMoleculeCursorPtr(),
                   [&](auto& engine) { return engine.FindInArea(areaId, name); });
}

GeoMoleculeCursorPtr DatasetsImpl::FindAround(const GeoPoint& position, float radius,
                                              const std::u16string& name) {
    return Forward(m_engine, GeoMoleculeCursorPtr(),
                   [&](auto& engine) { return engine.FindAround(position, radius, name); });
}

GeoMoleculeCursorPtr DatasetsImpl::FindInRect(const GeoRect& rect, const std::u16string& name) {
    return Forward(m_engine, GeoMoleculeCursorPtr(),
                   [&](auto& engine) { return engine.FindInRect(rect, name); });
}

std::u16string DatasetsImpl::LookupArea(std::uint32_t areaId) {
    if (HasStreetRecords()) {
        return GetAreaName(areaId);
    }
    return Forward(m_engine, std::u16string(),
                   [&](auto& engine) { return engine.LookupArea(areaId); });
}

std::u16string DatasetsImpl::GetETypeName(std::uint16_t typeId) {
    if (HasStreetRecords()) {
        return GetTypeText(typeId);
    }
    return Forward(m_engine, std::u16string(),
                   [&](auto& engine) { return engine.GetETypeName(typeId); });
}

std::vector<CountryPtr> DatasetsImpl::GetCountries(std::uint16_t language) {
    return Forward(m_engine, std::vector<CountryPtr>(),
                   [&](auto& engine) { return engine.GetCountries(language); });
}

AddressCursorPtr DatasetsImpl::FindCities(const std::u16string& name, std::uint16_t country) {
    if (country == 0) {
        if (OpenedTablePtr table = GetTable(DatasetTableId::AllCitiesByName)) {
            return Make<IAddressCursor, CityByNameCursor>(Share(), FindCityRecords(table, name));
        }
    } else if (OpenedTablePtr table = GetTable(DatasetTableId::AllCitiesByCountry)) {
        return Make<IAddressCursor, CityByCountryCursor>(
            Share(), FindCityRecordsOfCountry(table, country, name));
    }
    return Forward(m_engine, AddressCursorPtr(),
                   [&](auto& engine) { return engine.FindCities(name, country); });
}

PostalCodeCursorPtr DatasetsImpl::FindPostalCodes(const std::u16string& postalCode,
                                                  std::uint16_t value) {
    if (OpenedTablePtr table = GetTable(DatasetTableId::Plz)) {
        return Make<IPostalCodeCursor, PlzCursor>(FindPostalCodeRecords(table, postalCode, value));
    }
    return Forward(m_engine, PostalCodeCursorPtr(),
                   [&](auto& engine) { return engine.FindPostalCodes(postalCode, value); });
}

TypeCursorPtr DatasetsImpl::GetETypeCursor() {
    if (OpenedTablePtr table = GetTable(DatasetTableId::EType)) {
        return Make<ITypeCursor, TypeCursor>(std::move(table));
    }
    return Forward(m_engine, TypeCursorPtr(), [](auto& engine) { return engine.GetETypeCursor(); });
}

CountryPtr DatasetsImpl::GetCountry(std::uint16_t number, std::uint16_t language) {
    return Forward(m_engine, CountryPtr(),
                   [&](auto& engine) { return engine.GetCountry(number, language); });
}

AddressResultPtr DatasetsImpl::GetAddressOfElement(std::uint32_t elementId, std::uint16_t value) {
    return Forward(m_engine, AddressResultPtr(),
                   [&](auto& engine) { return engine.GetAddressOfElement(elementId, value); });
}

std::int32_t DatasetsImpl::WalkAreaHierarchy(std::uint32_t areaId, std::uint32_t value) {
    return Forward(m_engine, std::int32_t{-1},
                   [&](auto& engine) { return engine.WalkAreaHierarchy(areaId, value); });
}

bool DatasetsImpl::Open(const std::u16string& folder, const std::u16string& language) {
    ScopedLock lock(&m_lock);
    MountArchives(folder);
    if (m_info.IsOpen()) {
        return false;
    }
    return m_info.Load(folder, language);
}

bool DatasetsImpl::IsOpen() {
    return m_info.IsOpen();
}

void DatasetsImpl::Close() {
    ScopedLock lock(&m_lock);
    Unmount();
    // The description closes first, so that no query opens a table again behind Close.
    m_info.Clear();
    for (auto& table : m_tables) {
        table->Close();
    }
}

void DatasetsImpl::MountArchives(const std::u16string& folder) {
    if (!SfsLibrary::EnsureLoaded()) {
        return;
    }
    SfsLibrary* library = SfsLibrary::Get();
    for (DirectoryWalker walker(folder, u"*.sfs", false); walker.HasMatch(); (void)walker.Next()) {
        if (m_mountFolder.Get().empty()) {
            m_mountFolder.Set(folder);
        }
        const std::u16string archive = folder + u"\\" + walker.Match().cFileName;
        if (library->Mount(archive, folder, kMountFlags, 1, 0) != 1) {
            (void)library->Functions().getLastError();
        }
    }
}

void DatasetsImpl::Unmount() {
    const std::u16string folder = m_mountFolder.Get();
    if (!folder.empty()) {
        if (SfsLibrary* library = SfsLibrary::Get()) {
            (void)library->Unmount(folder);
        }
        m_mountFolder.Set({});
    }
}

std::u16string DatasetsImpl::GetAreaName(std::uint32_t areaId) {
    if (areaId == kNoDatasetId) {
        return {};
    }
    if (!HasStreetRecords()) {
        return Title(Forward(m_engine, std::u16string(),
                             [&](auto& engine) { return engine.LookupArea(areaId); }));
    }
    auto area = FindAreaRecord(GetTable(DatasetTableId::EArea), areaId);
    if (!area.IsValid()) {
        return {};
    }
    const AreaRecord& record = area.Get();
    if (record.kind != kCountryKind) {
        return TitleFromAnsi(record.name);
    }
    // A country area's name holds the country's number.
    const auto number = static_cast<std::uint16_t>(std::strtol(record.name.c_str(), nullptr, 10));
    const CountryPtr country = GetCountry(number, 0);
    return country ? country->GetName() : std::u16string();
}

GeoRect DatasetsImpl::GetAreaRect(std::uint32_t areaId) {
    auto area = FindAreaRecord(GetTable(DatasetTableId::EArea), areaId);
    return area.IsValid() ? area.Get().rect : GeoRect();
}

std::u16string DatasetsImpl::GetTypeText(std::uint16_t typeId) {
    if (!HasStreetRecords()) {
        return Title(Forward(m_engine, std::u16string(),
                             [&](auto& engine) { return engine.GetETypeName(typeId); }));
    }
    const DatasetRows type = FindRecordsById(GetTable(DatasetTableId::EType), ColumnType::Int16,
                                             static_cast<std::int16_t>(typeId));
    return type.IsValid() ? TitleFromAnsi(type.Column(2).AsText()) : std::u16string();
}

bool DatasetsImpl::GetStreetPoints(std::uint32_t elementId, std::vector<GeoPoint>& points) {
    points.clear();
    for (DatasetRows rows =
             FindRecordsById(GetTable(DatasetTableId::SCoords), ColumnType::Int32, elementId);
         rows.IsValid(); rows.Next()) {
        points.push_back({static_cast<float>(rows.Column(1).AsDouble()),
                          static_cast<float>(rows.Column(2).AsDouble())});
    }
    return !points.empty();
}

bool DatasetsImpl::GetHouseNumberInfo(std::uint32_t elementId, HouseNumberInfo& info) {
    const DatasetRows rows =
        FindRecordsById(GetTable(DatasetTableId::HouseNumbers), ColumnType::UInt32, elementId);
    if (!rows.IsValid()) {
        return false;
    }
    info.bothSidesScheme = static_cast<std::uint32_t>(rows.Column(1).AsInteger());
    info.firstSideScheme = 0;
    info.secondSideScheme = 0;
    info.firstSide.Clear();
    info.secondSide.Clear();
    info.firstSide.ParseRange(TitleFromAnsi(rows.Column(2).AsText()).c_str());
    info.secondSide.ParseRange(TitleFromAnsi(rows.Column(3).AsText()).c_str());
    return true;
}

bool DatasetsImpl::GetStreetOfCity(std::uint32_t cityId, std::uint32_t& streetId) {
    if (!HasStreetRecords()) {
        return false;
    }
    const DatasetRows rows =
        FindRecordsById(GetTable(DatasetTableId::S2U), ColumnType::Int32, cityId);
    if (!rows.IsValid()) {
        return false;
    }
    streetId = static_cast<std::uint32_t>(rows.Column(1).AsInteger());
    return true;
}

std::u16string DatasetsImpl::GetNameText(std::int32_t nameId, const std::u16string& missing) {
    const DatasetRows rows =
        FindRecordsById(GetTable(DatasetTableId::EuroName), ColumnType::Int32, nameId);
    if (!rows.IsValid()) {
        return Title(missing);
    }
    const std::string text(rows.Column(1).AsText());
    if (!text.empty() && static_cast<unsigned char>(text.front()) == kUnknownNameMark) {
        return Title(m_info.GetUnknownNameText());
    }
    return TitleFromAnsi(text);
}
