#pragma once
// The retrieval engine over one map set: it opens a map set (level file, archives, ".dat"
// stream, ".rid" map data file, name file, address index), hands out elements and element
// cursors, and answers the address and search questions. Every interface operation runs under
// the engine lock (queries together, Open and Close alone and one at a time); the operations
// without the lock are for callers that hold it (or for the elements, which take it
// themselves). Elements and cursors keep the blocks they read, so they stay readable after
// Close and after the engine's end.

#include "basiccomp/retrievalengine/code/addressindex.h"
#include "basiccomp/retrievalengine/code/crawlerhits.h"
#include "basiccomp/retrievalengine/code/elementwalks.h"
#include "basiccomp/retrievalengine/code/enginelink.h"
#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "basiccomp/retrievalengine/code/isigninfo.h"
#include "basiccomp/retrievalengine/code/ridfile.h"
#include "tablefiles/housenumber.h"
#include "tablefiles/namefile.h"
#include "utilities/mapgeometry/elementiterator.h"
#include "utilities/mapgeometry/geometrypool.h"
#include "utilities/mapgeometry/mapcursor.h"
#include "utilities/usefulcode/cache/sfsmountset.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class MapElement;
using MapElementPtr = six::RefCntPtr<MapElement>;

// The process-wide archive set of every map data reader (engine, name file, address index),
// made on first use.
std::shared_ptr<SfsMountSet> GetSharedSfsMountSet();

// An element's record and geometry with the blocks they lie in: the record iterator holds the
// ".rid" block, the data cursor the ".dat" page. The record is null when there is no element.
struct ElementData {
    ElementIterator record;
    MapCursor data;
    GeometryRef geometry; // released first
};

class RetrievalEngineImpl final : public RetrievalEngine::IRetrievalEngine,
                                  public RetrievalEngine::IAreaQuery {
public:
    static constexpr std::uint32_t kNoId = 0xFFFFFFFFu;

    // A closed engine reading through the cache, behind the engine interface.
    [[nodiscard]] static RetrievalEngine::RetrievalEnginePtr Create(BlockCachePtr cache);
    // The same, as the engine itself (for the map display and tests).
    [[nodiscard]] static six::RefCntPtr<RetrievalEngineImpl> CreateEngine(BlockCachePtr cache);

    explicit RetrievalEngineImpl(BlockCachePtr cache);
    ~RetrievalEngineImpl() override;
    RetrievalEngineImpl(const RetrievalEngineImpl&) = delete;
    RetrievalEngineImpl& operator=(const RetrievalEngineImpl&) = delete;

    // RetrievalEngine::IRetrievalEngine
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
    bool Open(const std::u16string& path) override;
    bool IsMapSetOpen() override;
    void Close() override;
    GeoRect GetExtent() override;
    six::IntfPtr<MapElement> GetMappedElement(std::uint32_t id) override;
    BlockCachePtr GetBlockCache() override;

    // RetrievalEngine::IAreaQuery
    ElementCursorPtr QueryArea(const GeoRect& rect, std::uint32_t from, std::uint32_t to) override;
    RetrievalEngineEvents& GetEngineEvents() override { return *this; }

    // Open with the choice whether the map data file may come from the archives.
    bool Open(const std::u16string& path, bool areArchivesAllowed);

    // Opens a map set from cached files opened elsewhere (held in memory, say): the map data
    // file, the ".dat" stream and the name file (null: none), closing the open one first. The
    // map set has no address index; element ids map to themselves. Fires the opened signal on
    // success; false (closed) when the map data file is refused or there is no stream.
    bool Attach(CachedFilePtr mapData, CachedFilePtr dataStream, CachedFilePtr names);

    // Mounts the ".sfs" archives in the folder of `path` that are not mounted yet; true when the
    // set then holds any archive.
    static bool MountArchives(SfsMountSet& mountSet, const std::u16string& path);

    // Without the lock.
    // The element of the id; null for ids 0 and 0xFFFFFFFF, while closed, and for an id
    // without element.
    [[nodiscard]] MapElementPtr GetElement(std::uint32_t id);
    // Positions `handle` on the record of the id; false (handle invalid) when there is none.
    bool GetElementHandle(ElementIterator& handle, std::uint32_t id);
    // The element's record and geometry; the record is invalid when there is no element.
    [[nodiscard]] ElementData GetElementGeometry(std::uint32_t id);
    // The points of the element of the id mapped through the address index, in degrees; false
    // (points untouched) for ids 0 and 0xFFFFFFFF and when there is no element.
    bool GetElementPoints(std::uint32_t id, std::vector<GeoPoint>& points);
    // The element's names (see SplitPrimaryName, SplitAlternativeNames); true when the list is
    // not empty.
    bool GetPrimaryNames(std::uint32_t id, std::vector<std::u16string>& names);
    bool GetAlternativeNames(std::uint32_t id, std::vector<std::u16string>& names);
    // The name file's read; false when no name file is open.
    bool ReadName(std::uint32_t offset, std::u16string& text, bool alternatives, bool raw);
    // The name file's read of the text for a name variant code (see NameFile::ReadNameForCode).
    bool ReadNameForCode(std::uint32_t offset, std::u16string& text, std::u16string& mainText,
                         std::int16_t& code);
    bool FillHouseNumberInfo(std::uint32_t id, HouseNumberInfo& info);
    // Characters written to the 16-character buffer; 0 without an address index.
    std::uint32_t GetPostalCodeText(std::uint32_t id, char16_t* buffer);
    std::int16_t GetCountryOfElement(std::uint32_t id);
    // -1 without an address index.
    std::int32_t GetAreaOfElement(std::uint32_t id);
    void GetSignInfo(std::uint32_t id, SignInfoPtr& info);
    // Clears the list, then appends the element's signpost entries; true when there are any.
    bool GetSignposts(std::uint32_t id, std::vector<Signpost>& signposts);
    // Appends the element's entry points to the list; true when the list is not empty after.
    bool GetEntryPoints(std::uint32_t id, std::vector<GeoPoint>& points);
    // The elements whose bounds meet the rectangle in map units.
    [[nodiscard]] ElementCursorPtr QueryMapArea(const MapRect& rect);
    // The walk over the records whose bounds meet the rectangle; null while closed.
    [[nodiscard]] std::unique_ptr<AreaElementIterator> WalkMapArea(const MapRect& rect);
    // The walk over the records of the filter's neighbourhood; null while closed.
    [[nodiscard]] std::unique_ptr<CrawlAreaIterator> CrawlArea(const CrawlAreaFilter& filter);
    [[nodiscard]] bool IsMapSetOpenUnlocked() const { return m_ridFile.IsOpen(); }
    // The open map set's element records and ".dat" stream, for the map display's own walks;
    // empty while closed.
    [[nodiscard]] ElementStore GetElementStore() const { return m_ridFile.GetElementStore(); }
    [[nodiscard]] const CachedFilePtr& GetDataStream() const { return m_dataStream; }
    // The map data file's map kind (RidFile::kMapKindWithAddressIndex for a detailed level).
    [[nodiscard]] std::uint32_t GetMapKind() const { return m_ridFile.GetMapKind(); }
    // The address index of the open map set (its operations lock themselves).
    [[nodiscard]] AddressIndex& GetAddressIndex() { return m_addressIndex; }
    // A city's element: names, postal code and rectangle in degrees; empty when there is none.
    [[nodiscard]] CityElementDetails ReadCityElement(std::uint32_t elementId);
    // The hits of the query: the last collected list when it was collected alike (same
    // rectangle, radius, area ids, postal code and points), else a new list that becomes the
    // last one. Lists never change once made.
    [[nodiscard]] std::shared_ptr<const CrawlerHitList> SearchHits(const SearchQuery& query);

private:
    // Runs the read on the open name file under the name lock; a name file found cut short or
    // damaged is named after the lock is left. False when no name file is open or the read fails.
    template <typename Read> bool ReadNameFile(Read&& read);
    bool OpenLocked(const std::u16string& path, bool areArchivesAllowed);
    void CloseLocked();
    // The name as stored; empty when it cannot be read.
    [[nodiscard]] std::u16string ReadRawName(std::uint32_t id);
    // The result cursor of a search (under the reader lock); null while closed.
    [[nodiscard]] GeoMoleculeCursorPtr MakeSearchCursor(SearchQuery& query);
    // Guards of the two lock groups.
    [[nodiscard]] ReaderLockGuard ReadLock() { return {m_link->readers, m_link->writers}; }
    // The country rectangles of the open map set, for the countries handed out.
    [[nodiscard]] CountryRectSource CountryRects();

    std::shared_ptr<EngineLink> m_link;
    std::mutex m_openCloseMutex; // Open and Close one at a time within the writer group
    BlockCachePtr m_cache;
    std::shared_ptr<SfsMountSet> m_mountSet;
    RidFile m_ridFile;
    CachedFilePtr m_dataStream;
    std::unique_ptr<NameFile> m_nameFile;
    std::mutex m_nameMutex;
    AddressIndex m_addressIndex;
    QueryDefaults m_queryDefaults;
    std::shared_ptr<const CrawlerHitList> m_lastHits; // the last search's hits
    SearchQuery m_lastHitsQuery;                      // the query they were collected for
    std::mutex m_hitsMutex;                           // m_lastHits, for searches side by side
    std::u16string m_basePath;
    MapRect m_extent;
    bool m_hasAddressIndex = false;
    std::uint32_t m_mapDataValue = 0;
};

// The primary name of a stored name text: the part before the first '/' (the whole text without
// one); none for an empty text or one that begins with '/'.
void SplitPrimaryName(const std::u16string& text, std::vector<std::u16string>& names);
// The alternative names: every part after the first '/', split at each further '/' (empty parts
// between two slashes too, a last empty part not); none for a text without '/'.
void SplitAlternativeNames(const std::u16string& text, std::vector<std::u16string>& names);
