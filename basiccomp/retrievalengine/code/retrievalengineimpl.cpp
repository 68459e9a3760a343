#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/elementcursor.h"
#include "basiccomp/retrievalengine/code/elementwalks.h"
#include "basiccomp/retrievalengine/code/geomolecule.h"
#include "basiccomp/retrievalengine/code/geomoleculecursor.h"
#include "basiccomp/retrievalengine/code/leveltextfile.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "utilities/mapgeometry/elementrecord.h"
#include "utilities/usefulcode/cache/mappedfile.h"
#include "utilities/usefulcode/directorywalker.h"
#include "utilities/usefulcode/filecheck.h"
#include "utilities/usefulcode/widetext.h"

#include "platform/littleendian.h"

#include <algorithm>
#include <new>
#include <utility>

using namespace maprecord;

namespace {

constexpr std::u16string_view kLevelExtension = u".lvl";

bool IsValidId(std::uint32_t id) {
    return id != 0 && id != RetrievalEngineImpl::kNoId;
}

// From this map data value on, searches rank the hits of a collection.
constexpr std::uint32_t kRankedMapDataValue = 15;

bool IsAllZero(const GeoRect& rect) {
    return rect.minX == 0.0f && rect.minY == 0.0f && rect.maxX == 0.0f && rect.maxY == 0.0f;
}

// Whole metres of a distance, within the i32 range.
std::int32_t ClampedMetres(float metres) {
    return static_cast<std::int32_t>(std::min(metres, 2.0e9f));
}

bool IsLevelFilePath(const std::u16string& path) {
    if (path.size() <= kLevelExtension.size()) {
        return false;
    }
    const std::u16string_view tail =
        std::u16string_view(path).substr(path.size() - kLevelExtension.size());
    return std::equal(tail.begin(), tail.end(), kLevelExtension.begin(),
                      [](char16_t a, char16_t b) {
                          return (a >= u'A' && a <= u'Z' ? a + (u'a' - u'A') : a) == b;
                      });
}

std::size_t LastSeparator(const std::u16string& path) {
    return path.find_last_of(u"/\\");
}

// The process-wide archive set; its holder lives until the exit handlers.
std::shared_ptr<SfsMountSet>& SharedMountSet() {
    static std::shared_ptr<SfsMountSet> mountSet;
    return mountSet;
}

std::mutex& SharedMountSetMutex() {
    static std::mutex mutex;
    return mutex;
}

// Records whose geometry is a point list at a data offset of the ".dat" stream.
struct HasPointListData {
    bool operator()(const std::uint8_t* record) const {
        switch (maprecord::RecordTypeLetter(record)) {
        case 'p':
        case 'y':
        case 'r':
        case 'z':
            return maprecord::RecordDataOffset(record) != 0;
        default:
            return false;
        }
    }
};

class PointListWalk : public FilteredElementWalk<HasPointListData> {
public:
    PointListWalk(CachedFilePtr blockFile, std::uint32_t root, const MapRect& query,
                  std::uint32_t version, CachedFilePtr dataFile)
        : FilteredElementWalk(std::move(blockFile), version, std::move(dataFile), {}) {
        Begin(root, query);
    }
};

// False when the first point list of the map lies in the ".dat" stream without a point. A
// record gives a data offset only to data that are there, so a count of 0 there means the
// stream was overwritten (with zeros, say). True when no record has such data.
bool IsFirstPointListWhole(const RidFile& ridFile, const MapRect& extent, CachedFilePtr data) {
    const PointListWalk walk(ridFile.GetBlockFile(), ridFile.GetRoot(), extent,
                             ridFile.GetVersion(), std::move(data));
    return !walk.IsValid() || !walk.GetGeometry() || walk.GetGeometry()->GetPointCount() > 0;
}

} // namespace

std::shared_ptr<SfsMountSet> GetSharedSfsMountSet() {
    std::lock_guard lock(SharedMountSetMutex());
    std::shared_ptr<SfsMountSet>& mountSet = SharedMountSet();
    if (!mountSet) {
        mountSet = std::make_shared<SfsMountSet>();
    }
    return mountSet;
}

void SplitPrimaryName(const std::u16string& text, std::vector<std::u16string>& names) {
    if (!text.empty() && text[0] != u'/') {
        names.push_back(text.substr(0, text.find(u'/')));
    }
}

void SplitAlternativeNames(const std::u16string& text, std::vector<std::u16string>& names) {
    std::size_t slash = text.find(u'/');
    while (slash != std::u16string::npos) {
        const std::size_t next = text.find(u'/', slash + 1);
        const std::u16string part =
            text.substr(slash + 1, next == std::u16string::npos ? next : next - slash - 1);
        if (next != std::u16string::npos || !part.empty()) {
            names.push_back(part);
        }
        slash = next;
    }
}

RetrievalEngine::RetrievalEnginePtr RetrievalEngineImpl::Create(BlockCachePtr cache) {
    return RetrievalEngine::RetrievalEnginePtr(CreateEngine(std::move(cache)));
}

six::RefCntPtr<RetrievalEngineImpl> RetrievalEngineImpl::CreateEngine(BlockCachePtr cache) {
    return six::RefCntPtr<RetrievalEngineImpl>(new (std::nothrow)
                                                   RetrievalEngineImpl(std::move(cache)));
}

RetrievalEngineImpl::RetrievalEngineImpl(BlockCachePtr cache)
    : m_link(std::make_shared<EngineLink>())
    , m_cache(cache)
    , m_ridFile(cache)
    , m_nameFile(std::make_unique<NameFile>(cache, GetSharedSfsMountSet()))
    , m_addressIndex(cache) {
    m_link->m_engine = this;
}

RetrievalEngineImpl::~RetrievalEngineImpl() {
    ReaderLockGuard guard(m_link->writers, m_link->readers);
    std::lock_guard openClose(m_openCloseMutex);
    CloseLocked();
    m_link->m_engine = nullptr;
}

bool RetrievalEngineImpl::IsCookie2CountryOpen() {
    auto guard = ReadLock();
    return m_addressIndex.IsCookie2CountryOpen();
}

bool RetrievalEngineImpl::IsOpen() {
    auto guard = ReadLock();
    return IsMapSetOpenUnlocked();
}

GeoMoleculePtr RetrievalEngineImpl::CreateGeoMolecule(std::uint32_t id, std::uint16_t code) {
    auto guard = ReadLock();
    if (!IsValidId(id) || !IsMapSetOpenUnlocked()) {
        return nullptr;
    }
    return GeoMoleculePtr(new (std::nothrow)
                              GeoMolecule(m_link, m_link->GetGeneration(), id, code));
}

GeoMoleculePtr RetrievalEngineImpl::CreateMappedGeoMolecule(std::uint32_t id,
                                                            const std::u16string& name,
                                                            std::uint16_t code) {
    auto guard = ReadLock();
    if (!IsValidId(id) || !IsMapSetOpenUnlocked()) {
        return nullptr;
    }
    return GeoMoleculePtr(new (std::nothrow) GeoMolecule(m_link, m_link->GetGeneration(),
                                                         m_addressIndex.LookupS2C(id), name, code));
}

QueryDefaults RetrievalEngineImpl::GetQueryDefaults() {
    auto guard = ReadLock();
    return m_queryDefaults;
}

QueryDefaults* RetrievalEngineImpl::GetQueryDefaultsRef() {
    auto guard = ReadLock();
    return &m_queryDefaults;
}

GeoMoleculeCursorPtr
RetrievalEngineImpl::FindAlong(const std::vector<std::vector<GeoPoint>>& geometry, float distance,
                               const std::u16string& name) {
    auto guard = ReadLock();
    SearchQuery query;
    for (const std::vector<GeoPoint>& part : geometry) {
        query.points.insert(query.points.end(), part.begin(), part.end());
    }
    if (!(distance >= 1.0f) || query.points.empty()) {
        return nullptr;
    }
    GeoRect box(query.points[0].x, query.points[0].y, query.points[0].x, query.points[0].y);
    for (const GeoPoint& point : query.points) {
        box.Extend(point);
    }
    query.radiusMetres = ClampedMetres(distance);
    OffsetPositionByMetres(box.minX, box.minY, -query.radiusMetres, -query.radiusMetres, box.minX,
                           box.minY);
    OffsetPositionByMetres(box.maxX, box.maxY, query.radiusMetres, query.radiusMetres, box.maxX,
                           box.maxY);
    query.rect = DegreesToMapUnits(box);
    query.name = name;
    return MakeSearchCursor(query);
}

GeoMoleculeCursorPtr RetrievalEngineImpl::FindInPostalCode(const std::u16string& postalCode,
                                                           std::uint32_t value,
                                                           const std::u16string& name) {
    auto guard = ReadLock();
    const GeoRect rect =
        m_addressIndex.GetPostalCodeRect(postalCode, static_cast<std::uint16_t>(value));
    if (IsAllZero(rect) || postalCode.empty()) {
        return nullptr;
    }
    SearchQuery query;
    query.rect = DegreesToMapUnits(rect);
    query.postalCode = postalCode;
    query.name = name;
    return MakeSearchCursor(query);
}

GeoMoleculeCursorPtr RetrievalEngineImpl::FindInArea(std::uint32_t areaId,
                                                     const std::u16string& name) {
    auto guard = ReadLock();
    const GeoRect rect = m_addressIndex.GetAreaRect(areaId);
    if (IsAllZero(rect)) {
        return nullptr;
    }
    SearchQuery query;
    query.rect = DegreesToMapUnits(rect);
    // The area's streets and those of the areas it holds (a city's districts, say).
    query.areaIds = {areaId};
    (void)m_addressIndex.GetChildAreas(areaId, query.areaIds);
    std::sort(query.areaIds.begin(), query.areaIds.end());
    query.areaIds.erase(std::unique(query.areaIds.begin(), query.areaIds.end()),
                        query.areaIds.end());
    query.name = name;
    return MakeSearchCursor(query);
}

GeoMoleculeCursorPtr RetrievalEngineImpl::FindAround(const GeoPoint& position, float radius,
                                                     const std::u16string& name) {
    auto guard = ReadLock();
    if (!(radius >= 1.0f)) {
        return nullptr;
    }
    SearchQuery query;
    query.radiusFlag = 1;
    query.radiusMetres = ClampedMetres(radius);
    GeoRect box;
    OffsetPositionByMetres(position.x, position.y, -query.radiusMetres, -query.radiusMetres,
                           box.minX, box.minY);
    OffsetPositionByMetres(position.x, position.y, query.radiusMetres, query.radiusMetres, box.maxX,
                           box.maxY);
    query.rect = DegreesToMapUnits(box);
    query.name = name;
    return MakeSearchCursor(query);
}

GeoMoleculeCursorPtr RetrievalEngineImpl::FindInRect(const GeoRect& rect,
                                                     const std::u16string& name) {
    auto guard = ReadLock();
    SearchQuery query;
    query.rect = DegreesToMapUnits(rect);
    query.name = name;
    return MakeSearchCursor(query);
}

GeoMoleculeCursorPtr RetrievalEngineImpl::MakeSearchCursor(SearchQuery& query) {
    if (!IsMapSetOpenUnlocked()) {
        return nullptr;
    }
    query.defaults = m_queryDefaults;
    const std::uint32_t generation = m_link->GetGeneration();
    if (m_mapDataValue < kRankedMapDataValue) {
        auto walk =
            std::make_unique<QueryElementIterator>(m_ridFile.GetBlockFile(), m_ridFile.GetRoot(),
                                                   query, m_ridFile.GetVersion(), m_dataStream);
        return GeoMoleculeCursorPtr(
            new (std::nothrow) GeoMoleculeAreaCursor(m_link, generation, *this, std::move(walk)));
    }
    return GeoMoleculeCursorPtr(new (std::nothrow) GeoMoleculeRankedCursor(
        m_link, generation, *this, query, SearchHits(query)));
}

std::shared_ptr<const CrawlerHitList> RetrievalEngineImpl::SearchHits(const SearchQuery& query) {
    {
        std::lock_guard hits(m_hitsMutex);
        if (m_lastHits && CollectsAlike(m_lastHitsQuery, query)) {
            return m_lastHits;
        }
    }
    auto collected = std::make_shared<CrawlerHitList>();
    CollectCrawlerHits(*this, *collected, query);
    std::lock_guard hits(m_hitsMutex);
    m_lastHits = collected;
    m_lastHitsQuery = query;
    return collected;
}

std::u16string RetrievalEngineImpl::LookupArea(std::uint32_t areaId) {
    auto guard = ReadLock();
    return m_addressIndex.LookupArea(areaId, CountryRects());
}

std::u16string RetrievalEngineImpl::GetETypeName(std::uint16_t typeId) {
    auto guard = ReadLock();
    return m_addressIndex.GetETypeName(static_cast<std::int16_t>(typeId));
}

std::vector<CountryPtr> RetrievalEngineImpl::GetCountries(std::uint16_t language) {
    auto guard = ReadLock();
    return m_addressIndex.GetCountries(language, CountryRects());
}

namespace {

// Completes the cities of a search from the engine's map set while it stays open; empty answers
// once it closed.
class EngineCityLookup final : public ICityLookup {
public:
    EngineCityLookup(std::shared_ptr<EngineLink> link, std::uint32_t generation)
        : m_link(std::move(link))
        , m_generation(generation) {}

    std::optional<CityAreaNode> FindAreaNode(std::uint32_t nodeId) override {
        return m_link->ReadEngine(m_generation, std::optional<CityAreaNode>(),
                                  [nodeId](RetrievalEngineImpl& engine) {
                                      return engine.GetAddressIndex().FindAreaNode(nodeId);
                                  });
    }
    CityElementDetails ReadCityElement(std::uint32_t elementId) override {
        return m_link->ReadEngine(
            m_generation, CityElementDetails(),
            [elementId](RetrievalEngineImpl& engine) { return engine.ReadCityElement(elementId); });
    }
    GeoRect GetAreaRect(std::int32_t areaId) override {
        return m_link->ReadEngine(m_generation, GeoRect(), [areaId](RetrievalEngineImpl& engine) {
            return engine.GetAddressIndex().GetAreaRect(static_cast<std::uint32_t>(areaId));
        });
    }
    AddressResultPtr MakeCityResult(const CityResultFields& fields) override {
        return MakeAddressResult(fields.name, fields.secondName, fields.value, fields.elementId,
                                 static_cast<std::uint32_t>(fields.areaId), fields.postalCode,
                                 fields.rect);
    }

private:
    std::shared_ptr<EngineLink> m_link;
    std::uint32_t m_generation;
};

} // namespace

AddressCursorPtr RetrievalEngineImpl::FindCities(const std::u16string& name,
                                                 std::uint16_t country) {
    auto guard = ReadLock();
    if (!m_hasAddressIndex) {
        return nullptr;
    }
    CityLookupPtr lookup(new (std::nothrow) EngineCityLookup(m_link, m_link->GetGeneration()));
    if (!lookup) {
        return nullptr;
    }
    return m_addressIndex.FindCities(name, country, std::move(lookup));
}

CityElementDetails RetrievalEngineImpl::ReadCityElement(std::uint32_t elementId) {
    CityElementDetails details;
    ElementIterator handle;
    if (!IsValidId(elementId) || !GetElementHandle(handle, elementId)) {
        return details;
    }
    details.rect = MapUnitsToDegrees(maprecord::RecordBounds(handle.GetRecord()));
    std::vector<std::u16string> names;
    if (GetPrimaryNames(elementId, names)) {
        details.name = names[0];
        details.secondName = names.size() > 1 ? names[1] : u"";
    }
    char16_t postalCode[AddressIndex::kPostalCodeLength + 1] = {};
    (void)GetPostalCodeText(elementId, postalCode);
    details.postalCode = postalCode;
    return details;
}

PostalCodeCursorPtr RetrievalEngineImpl::FindPostalCodes(const std::u16string& postalCode,
                                                         std::uint16_t value) {
    auto guard = ReadLock();
    return m_addressIndex.FindPostalCodes(postalCode, value);
}

TypeCursorPtr RetrievalEngineImpl::GetETypeCursor() {
    auto guard = ReadLock();
    return m_addressIndex.GetETypeCursor();
}

CountryPtr RetrievalEngineImpl::GetCountry(std::uint16_t number, std::uint16_t language) {
    auto guard = ReadLock();
    return m_addressIndex.GetCountry(number, language, CountryRects());
}

CountryRectSource RetrievalEngineImpl::CountryRects() {
    // A country asks for its rectangle later, through the link: empty once this map set closed.
    return [link = m_link, generation = m_link->GetGeneration()](std::uint16_t number) {
        return link->ReadEngine(generation, GeoRect{}, [number](RetrievalEngineImpl& engine) {
            return engine.m_addressIndex.GetCountryRect(number);
        });
    };
}

AddressResultPtr RetrievalEngineImpl::GetAddressOfElement(std::uint32_t elementId,
                                                          std::uint16_t value) {
    auto guard = ReadLock();
    ElementIterator handle;
    if (!m_hasAddressIndex || !IsValidId(elementId) || !GetElementHandle(handle, elementId) ||
        ElementGeometryClass(handle.GetRecord()) != 0) {
        return nullptr;
    }
    // The element's cookie is its id.
    const std::uint32_t attributes = maprecord::RecordAttributeWord(handle.GetRecord());
    std::int32_t areaId = -1;
    GeoRect rect;
    if ((attributes & maprecord::kRawAreaFromCookie) != 0) {
        areaId = m_addressIndex.GetCookieAreaId(static_cast<std::int32_t>(elementId), attributes);
        if (areaId < 0) {
            return nullptr;
        }
        rect = m_addressIndex.GetAreaRect(static_cast<std::uint32_t>(areaId));
    } else {
        rect = MapUnitsToDegrees(maprecord::RecordBounds(handle.GetRecord()));
    }
    std::vector<std::u16string> names;
    if (!GetPrimaryNames(elementId, names)) {
        return nullptr;
    }
    char16_t postalCode[AddressIndex::kPostalCodeLength + 1] = {};
    (void)GetPostalCodeText(elementId, postalCode);
    return MakeAddressResult(names[0], names.size() > 1 ? names[1] : u"", value, elementId,
                             static_cast<std::uint32_t>(areaId), postalCode, rect);
}

std::int32_t RetrievalEngineImpl::WalkAreaHierarchy(std::uint32_t areaId, std::uint32_t value) {
    auto guard = ReadLock();
    return m_hasAddressIndex ? m_addressIndex.WalkAreaHierarchy(areaId, value) : -1;
}

bool RetrievalEngineImpl::HasAddressIndex() {
    auto guard = ReadLock();
    return m_hasAddressIndex;
}

bool RetrievalEngineImpl::HasNameFile() {
    auto guard = ReadLock();
    std::lock_guard names(m_nameMutex);
    return m_nameFile && m_nameFile->IsOpen();
}

bool RetrievalEngineImpl::IsHouseNumbersOpen() {
    auto guard = ReadLock();
    return m_addressIndex.IsHouseNumbersOpen();
}

bool RetrievalEngineImpl::Open(const std::u16string& path) {
    return Open(path, true);
}

bool RetrievalEngineImpl::Open(const std::u16string& path, bool areArchivesAllowed) {
    bool isOpen = false;
    {
        ReaderLockGuard guard(m_link->writers, m_link->readers);
        std::lock_guard openClose(m_openCloseMutex);
        isOpen = OpenLocked(path, areArchivesAllowed);
    }
    if (isOpen) {
        NotifyOpened();
    }
    return isOpen;
}

bool RetrievalEngineImpl::Attach(CachedFilePtr mapData, CachedFilePtr dataStream,
                                 CachedFilePtr names) {
    bool isOpen = false;
    {
        ReaderLockGuard guard(m_link->writers, m_link->readers);
        std::lock_guard openClose(m_openCloseMutex);
        CloseLocked();
        ++m_link->m_generation;
        if (dataStream && m_ridFile.Attach(std::move(mapData))) {
            m_dataStream = std::move(dataStream);
            m_basePath.clear();
            m_extent = MapRect();
            (void)m_ridFile.ReadExtent(m_extent);
            {
                std::lock_guard lock(m_nameMutex);
                (void)m_nameFile->Attach(std::move(names));
            }
            m_hasAddressIndex = false;
            m_addressIndex.OpenWithoutTables();
            m_mapDataValue = m_ridFile.GetMapDataValue();
            m_link->m_isOpen = true;
            isOpen = true;
        }
    }
    if (isOpen) {
        NotifyOpened();
    }
    return isOpen;
}

bool RetrievalEngineImpl::IsMapSetOpen() {
    return IsOpen();
}

void RetrievalEngineImpl::Close() {
    {
        ReaderLockGuard guard(m_link->writers, m_link->readers);
        std::lock_guard openClose(m_openCloseMutex);
        CloseLocked();
    }
    NotifyClosed();
}

GeoRect RetrievalEngineImpl::GetExtent() {
    auto guard = ReadLock();
    return IsMapSetOpenUnlocked() ? MapUnitsToDegrees(m_extent) : GeoRect();
}

six::IntfPtr<MapElement> RetrievalEngineImpl::GetMappedElement(std::uint32_t id) {
    auto guard = ReadLock();
    if (!IsValidId(id)) {
        return nullptr;
    }
    return six::IntfPtr<MapElement>(GetElement(m_addressIndex.LookupS2C(id)));
}

BlockCachePtr RetrievalEngineImpl::GetBlockCache() {
    auto guard = ReadLock();
    return m_cache;
}

ElementCursorPtr RetrievalEngineImpl::QueryArea(const GeoRect& rect, std::uint32_t from,
                                                std::uint32_t to) {
    auto guard = ReadLock();
    if (!IsMapSetOpenUnlocked()) {
        return nullptr;
    }
    const MapRect query = DegreesToMapUnits(rect);
    if (from < to) {
        return ElementCursorPtr(new (std::nothrow) LevelElementCursor(
            m_ridFile.GetBlockFile(), m_ridFile.GetRoot(), query, m_ridFile.GetVersion(),
            m_dataStream, from, to));
    }
    return QueryMapArea(query);
}

ElementCursorPtr RetrievalEngineImpl::QueryMapArea(const MapRect& rect) {
    if (!IsMapSetOpenUnlocked()) {
        return nullptr;
    }
    return ElementCursorPtr(new (std::nothrow) ElementCursor(
        m_ridFile.GetBlockFile(), m_ridFile.GetRoot(), rect, m_ridFile.GetVersion(), m_dataStream));
}

std::unique_ptr<AreaElementIterator> RetrievalEngineImpl::WalkMapArea(const MapRect& rect) {
    if (!IsMapSetOpenUnlocked()) {
        return nullptr;
    }
    return std::make_unique<AreaElementIterator>(m_ridFile.GetBlockFile(), m_ridFile.GetRoot(),
                                                 rect, m_ridFile.GetVersion(), m_dataStream);
}

std::unique_ptr<CrawlAreaIterator> RetrievalEngineImpl::CrawlArea(const CrawlAreaFilter& filter) {
    if (!IsMapSetOpenUnlocked()) {
        return nullptr;
    }
    return std::make_unique<CrawlAreaIterator>(m_ridFile.GetBlockFile(), m_ridFile.GetRoot(),
                                               filter, m_ridFile.GetVersion(), m_dataStream);
}

bool RetrievalEngineImpl::MountArchives(SfsMountSet& mountSet, const std::u16string& path) {
    const std::size_t separator = LastSeparator(path);
    const std::u16string folder =
        separator == std::u16string::npos ? std::u16string() : path.substr(0, separator);
    if (!folder.empty()) {
        DirectoryWalker walker(folder, u"*.sfs", false);
        for (bool hasMatch = walker.HasMatch(); hasMatch; hasMatch = walker.Next()) {
            const WIN32_FIND_DATAW& match = walker.Match();
            if ((match.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                continue;
            }
            const std::u16string archive = folder + u'\\' + match.cFileName;
            if (!mountSet.IsMounted(archive)) {
                (void)mountSet.Mount(archive);
            }
        }
    }
    return mountSet.IsMounted(u"");
}

bool RetrievalEngineImpl::OpenLocked(const std::u16string& path, bool areArchivesAllowed) {
    CloseLocked();
    ++m_link->m_generation;
    m_mountSet = GetSharedSfsMountSet();
    (void)MountArchives(*m_mountSet, path);

    std::u16string mapPath = path;
    if (IsLevelFilePath(path)) {
        LevelTextFile levelFile;
        if (!levelFile.Open(path)) {
            return false;
        }
        const std::size_t separator = LastSeparator(path);
        const std::u16string prefix =
            separator == std::u16string::npos ? std::u16string() : path.substr(0, separator + 1);
        const std::optional<std::u16string> mapFile = levelFile.ReadMapFileName();
        levelFile.Close();
        if (!mapFile) {
            return false;
        }
        mapPath = prefix + *mapFile;
    }
    m_basePath = mapPath.substr(0, mapPath.rfind(u'.'));
    if (!m_cache) {
        return false;
    }

    const std::u16string dataPath = m_basePath + u".dat";
    m_dataStream = m_cache->GetMappedFile(dataPath, FileCreation::OpenExisting, FileAccess::Read,
                                          FileShare::Read, kBlockSize);
    if (!m_dataStream && m_mountSet->IsMounted(u"")) {
        m_dataStream = m_cache->GetArchiveFile(dataPath, FileCreation::OpenExisting,
                                               FileAccess::Read, FileShare::Read, kBlockSize);
    }
    if (!m_dataStream) {
        return false;
    }
    // The stream is whole blocks (a mapped file's block is the whole file): one that ends inside
    // a block was cut short. What it still holds is read.
    if (dynamic_cast<const MappedFile*>(m_dataStream.Get()) != nullptr &&
        m_dataStream->GetBlockSize() % kBlockSize != 0) {
        (void)ShowDamagedFileMessage(dataPath);
    }
    if (!m_ridFile.Open(m_basePath) && areArchivesAllowed && m_mountSet->IsMounted(u"")) {
        (void)m_ridFile.OpenArchived(m_basePath);
    }
    if (!m_ridFile.IsOpen()) {
        m_cache->RemoveFile(m_dataStream);
        m_dataStream = CachedFilePtr();
        return false;
    }
    m_extent = MapRect();
    if (m_ridFile.ReadExtent(m_extent) &&
        !IsFirstPointListWhole(m_ridFile, m_extent, m_dataStream)) {
        (void)ShowDamagedFileMessage(dataPath);
    }
    {
        std::lock_guard names(m_nameMutex);
        (void)m_nameFile->Open(m_basePath);
    }
    m_hasAddressIndex = m_ridFile.GetMapKind() == RidFile::kMapKindWithAddressIndex;
    if (m_hasAddressIndex) {
        m_addressIndex.Open(m_basePath, true, m_mountSet);
    }
    m_mapDataValue = m_ridFile.GetMapDataValue();
    m_link->m_isOpen = true;
    return true;
}

void RetrievalEngineImpl::CloseLocked() {
    if (!m_ridFile.IsOpen()) {
        return;
    }
    ++m_link->m_generation;
    m_link->m_isOpen = false;
    {
        std::lock_guard hits(m_hitsMutex);
        m_lastHits.reset();
    }
    {
        std::lock_guard names(m_nameMutex);
        m_nameFile->Close();
    }
    m_addressIndex.Close();
    m_ridFile.Close();
    m_cache->RemoveFile(m_dataStream);
    m_dataStream = CachedFilePtr();
    if (m_mountSet) {
        m_mountSet->UnmountAll();
    }
}

MapElementPtr RetrievalEngineImpl::GetElement(std::uint32_t id) {
    if (!IsValidId(id) || !IsMapSetOpenUnlocked()) {
        return nullptr;
    }
    ElementData data = GetElementGeometry(id);
    if (!data.record.IsValid()) {
        return nullptr;
    }
    return MapElementPtr(new (std::nothrow)
                             MapElement(m_link, m_link->GetGeneration(), std::move(data), id));
}

bool RetrievalEngineImpl::GetElementHandle(ElementIterator& handle, std::uint32_t id) {
    if (!IsMapSetOpenUnlocked()) {
        handle = ElementIterator();
        return false;
    }
    return m_ridFile.GetElementStore().Find(handle, id);
}

ElementData RetrievalEngineImpl::GetElementGeometry(std::uint32_t id) {
    ElementData data;
    if (IsValidId(id) && GetElementHandle(data.record, id)) {
        data.data = MapCursor(m_dataStream);
        data.geometry = MakeRecordGeometry(data.record.GetRecord(), data.data);
    }
    return data;
}

bool RetrievalEngineImpl::GetElementPoints(std::uint32_t id, std::vector<GeoPoint>& points) {
    if (!IsValidId(id)) {
        return false;
    }
    const ElementData data = GetElementGeometry(m_addressIndex.LookupS2C(id));
    if (!data.record.IsValid()) {
        return false;
    }
    points.clear();
    const std::uint32_t count = data.geometry ? data.geometry->GetPointCount() : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        MapPoint point;
        if (data.geometry->GetPoint(i, point)) {
            points.push_back(MapPointToDegrees(point));
        }
    }
    return true;
}

std::u16string RetrievalEngineImpl::ReadRawName(std::uint32_t id) {
    ElementIterator handle;
    std::u16string text;
    if (IsValidId(id) && GetElementHandle(handle, id) &&
        !ReadName(RecordNameReference(handle.GetRecord()), text, false, true)) {
        text.clear();
    }
    return text;
}

bool RetrievalEngineImpl::GetPrimaryNames(std::uint32_t id, std::vector<std::u16string>& names) {
    SplitPrimaryName(ReadRawName(id), names);
    return !names.empty();
}

bool RetrievalEngineImpl::GetAlternativeNames(std::uint32_t id,
                                              std::vector<std::u16string>& names) {
    SplitAlternativeNames(ReadRawName(id), names);
    return !names.empty();
}

bool RetrievalEngineImpl::ReadName(std::uint32_t offset, std::u16string& text, bool alternatives,
                                   bool raw) {
    return ReadNameFile(
        [&](NameFile& file) { return file.ReadName(offset, text, alternatives, raw); });
}

bool RetrievalEngineImpl::ReadNameForCode(std::uint32_t offset, std::u16string& text,
                                          std::u16string& mainText, std::int16_t& code) {
    return ReadNameFile(
        [&](NameFile& file) { return file.ReadNameForCode(offset, text, mainText, code); });
}

template <typename Read> bool RetrievalEngineImpl::ReadNameFile(Read&& read) {
    bool isRead = false;
    std::u16string damaged;
    {
        std::lock_guard names(m_nameMutex);
        isRead = m_nameFile && m_nameFile->IsOpen() && read(*m_nameFile);
        if (m_nameFile) {
            damaged = m_nameFile->TakeDamagedFile();
        }
    }
    // Named with the name lock left: the box's modal loop may draw names.
    if (!damaged.empty()) {
        (void)ShowDamagedFileMessage(damaged);
    }
    return isRead;
}

bool RetrievalEngineImpl::FillHouseNumberInfo(std::uint32_t id, HouseNumberInfo& info) {
    return m_addressIndex.FillHouseNumberInfo(id, info);
}

std::uint32_t RetrievalEngineImpl::GetPostalCodeText(std::uint32_t id, char16_t* buffer) {
    buffer[0] = 0;
    ElementIterator handle;
    if (!m_hasAddressIndex || !IsValidId(id) || !GetElementHandle(handle, id) ||
        !m_addressIndex.GetCookiePostalCode(static_cast<std::int32_t>(id),
                                            maprecord::RecordAttributeWord(handle.GetRecord()),
                                            buffer)) {
        return 0;
    }
    return static_cast<std::uint32_t>(std::char_traits<char16_t>::length(buffer));
}

std::int16_t RetrievalEngineImpl::GetCountryOfElement(std::uint32_t id) {
    return m_addressIndex.GetCountryCode(id);
}

std::int32_t RetrievalEngineImpl::GetAreaOfElement(std::uint32_t id) {
    ElementIterator handle;
    if (!m_hasAddressIndex || !IsValidId(id) || !GetElementHandle(handle, id)) {
        return -1;
    }
    return m_addressIndex.GetCookieAreaId(static_cast<std::int32_t>(id),
                                          maprecord::RecordAttributeWord(handle.GetRecord()));
}

void RetrievalEngineImpl::GetSignInfo(std::uint32_t id, SignInfoPtr& info) {
    info = m_addressIndex.GetSignInfo(id);
}

bool RetrievalEngineImpl::GetSignposts(std::uint32_t id, std::vector<Signpost>& signposts) {
    signposts.clear();
    for (FsxRecord record = m_addressIndex.FindSignposts(id); record.IsValid(); record.Next()) {
        const ByteSpan bytes = record.GetRecordBytes();
        // Fields beyond a short record read as absent.
        Signpost signpost;
        signpost.value = bytes.length >= 8 ? platform::ReadU32(bytes.data + 4) : 0;
        const ByteSpan code = bytes.Sub(8, 6);
        for (std::uint32_t i = 0; i < code.length && code.data[i] != 0; ++i) {
            signpost.code.push_back(static_cast<char>(code.data[i]));
        }
        const ByteSpan text = bytes.Sub(14, bytes.length);
        std::string narrow;
        for (std::uint32_t i = 0; i < text.length && text.data[i] != 0; ++i) {
            narrow.push_back(static_cast<char>(text.data[i]));
        }
        signpost.text = AnsiToWide(narrow.c_str());
        signposts.push_back(std::move(signpost));
    }
    return !signposts.empty();
}

bool RetrievalEngineImpl::GetEntryPoints(std::uint32_t id, std::vector<GeoPoint>& points) {
    return m_addressIndex.GetEntryPoints(id, points);
}
