#pragma once
// The address index of a map set: the tables in its folder that give elements their areas,
// postal codes, countries, house numbers and entry points, the area hierarchy (tree file, or
// area table with child lists), type names, postal codes and countries, and the id mapping of the
// reduced index. Each table is opened as a plain file, else from the mounted archives; one that
// is missing or of the wrong layout stays closed and its questions get their empty answers.
// Operations that read tables hold the index lock (re-entrant); cursors and results handed out
// read their tables later without it.

#include "basiccomp/retrievalengine/code/arealistfile.h"
#include "basiccomp/retrievalengine/code/areatree.h"
#include "basiccomp/retrievalengine/code/citysearchiterator.h"
#include "basiccomp/retrievalengine/code/fsxtable.h"
#include "basiccomp/retrievalengine/code/isigninfo.h"
#include "basiccomp/retrievalengine/code/signtables.h"
#include "tablefiles/addressinterfaces.h"
#include "tablefiles/datasettable.h"
#include "tablefiles/housenumber.h"
#include "utilities/mapgeometry/mapgeometry.h"
#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/cache/sfsmountset.h"
#include "utilities/usefulcode/critsect.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A place of the address index: title-cased names, value, element and area ids, postal code (at
// most 16 characters) and rectangle.
[[nodiscard]] AddressResultPtr
MakeAddressResult(const std::u16string& name, const std::u16string& secondName, std::uint16_t value,
                  std::uint32_t elementId, std::uint32_t areaId, const std::u16string& postalCode,
                  const GeoRect& rect);

// Gives the rectangle of a country number (the owner's country rectangle).
using CountryRectSource = std::function<GeoRect(std::uint16_t)>;

class AddressIndex {
public:
    static constexpr std::uint32_t kCountryLevel = 10;
    static constexpr std::uint16_t kLastCountry = 50;
    static constexpr std::uint32_t kPostalCodeLength = 16;

    explicit AddressIndex(BlockCachePtr cache);
    ~AddressIndex();
    AddressIndex(const AddressIndex&) = delete;
    AddressIndex& operator=(const AddressIndex&) = delete;

    // Full: the address tables of the folder of basePath. Reduced: only basePath + "_s2c.fsr",
    // kept when its first mapped id has a bit of 0xF800 set.
    void Open(const std::u16string& basePath, bool isFull, std::shared_ptr<SfsMountSet> mountSet);
    // Closes every table and the tree and clears the full-index flag; the list maps stay.
    void Close();
    // The full index of a map set whose address tables are not at hand: ids map to themselves
    // and every lookup answers empty.
    void OpenWithoutTables();

    // Full index: the id itself. Reduced: the mapped id of the id's _s2c record, 0 without one.
    [[nodiscard]] std::uint32_t LookupS2C(std::uint32_t id);
    // The highest cookie Cookie2AreaId covers; 0 when it is closed.
    [[nodiscard]] std::int32_t GetMaxCookie();
    // The area id in slot (word >> 2) & 63 of the cookie's record; -1 for none, a slot holding
    // 0, a cookie outside the table or a slot beyond the record.
    [[nodiscard]] std::int32_t GetCookieAreaId(std::int32_t cookie, std::uint32_t attributeWord);
    // The postal code in slot (word >> 8) & 63 of the cookie's record, at most 16 characters,
    // always terminated (buffer holds 17); false (and an empty text) as for the area id.
    [[nodiscard]] bool GetCookiePostalCode(std::int32_t cookie, std::uint32_t attributeWord,
                                           char16_t* buffer);
    // Appends the id's entry points; true when the list is not empty afterwards.
    [[nodiscard]] bool GetEntryPoints(std::uint32_t id, std::vector<GeoPoint>& points);
    // Appends the element's house numbers to the info's arrays; the schemes and the range flag
    // are those of its last record. False when it has none.
    [[nodiscard]] bool FillHouseNumberInfo(std::uint32_t elementId, HouseNumberInfo& info);
    [[nodiscard]] std::u16string GetETypeName(std::int16_t typeId);
    [[nodiscard]] TypeCursorPtr GetETypeCursor();
    [[nodiscard]] GeoRect GetPostalCodeRect(const std::u16string& postalCode, std::uint16_t value);
    [[nodiscard]] PostalCodeCursorPtr FindPostalCodes(const std::u16string& postalCode,
                                                      std::uint16_t value);
    // The country of an element from Cookie2Country: its own record, else the record after the
    // floor record; 0 when none.
    [[nodiscard]] std::int16_t GetCountryCode(std::uint32_t elementId);

    // The cities whose name matches the text, in one country or (0) in all: over the city index
    // files when both loaded, else the name-prefix ranges of the city tables. The lookup
    // completes each city from its element.
    [[nodiscard]] AddressCursorPtr FindCities(const std::u16string& text, std::uint16_t country,
                                              CityLookupPtr lookup);

    // The sign information of the element's "ADAS.fsx" record, with the text of its sign; null
    // when it has none.
    [[nodiscard]] SignInfoPtr GetSignInfo(std::uint32_t elementId);
    // The element's records in "SignpostInfo.fsx" (ended when it has none).
    [[nodiscard]] FsxRecord FindSignposts(std::uint32_t elementId);
    [[nodiscard]] bool AreSignTablesLoaded() const { return m_areSignTablesLoaded; }

    // Areas: the ancestor at a level (-1 for none), the display name, the rectangle, the child
    // areas (tree: direct children; list file: all descendants, depth first).
    [[nodiscard]] std::int32_t WalkAreaHierarchy(std::uint32_t areaId, std::uint32_t level);
    [[nodiscard]] std::u16string LookupArea(std::uint32_t areaId, const CountryRectSource& rects);
    [[nodiscard]] GeoRect GetAreaRect(std::uint32_t areaId);
    [[nodiscard]] bool GetChildAreas(std::uint32_t areaId, std::vector<std::uint32_t>& children);

    // Countries from Countries.fsr: one country (empty when it has no record), and countries 0
    // to 50. Their rectangles come from `rects`.
    [[nodiscard]] CountryPtr GetCountry(std::uint16_t number, std::uint16_t language,
                                        const CountryRectSource& rects);
    [[nodiscard]] std::vector<CountryPtr> GetCountries(std::uint16_t language,
                                                       const CountryRectSource& rects);
    [[nodiscard]] GeoRect GetCountryRect(std::uint16_t number);

    [[nodiscard]] bool IsCookie2CountryOpen() const { return m_cookie2Country != nullptr; }
    [[nodiscard]] bool IsHouseNumbersOpen() const { return m_houseNumbers != nullptr; }
    [[nodiscard]] bool IsEntryPointsOpen() const { return m_entryPoints != nullptr; }
    [[nodiscard]] bool IsCookie2AreaIdOpen() const { return m_cookie2AreaId != nullptr; }
    [[nodiscard]] bool IsCookie2PlzOpen() const { return m_cookie2Plz != nullptr; }
    [[nodiscard]] bool IsAreaTreeOpen() const { return m_tree.IsOpen(); }
    [[nodiscard]] bool AreCityIndexesLoaded() const { return m_tree.IsLoaded(); }
    // The area tree's node (element id and rectangle); nullopt when there is none.
    [[nodiscard]] std::optional<CityAreaNode> FindAreaNode(std::uint32_t nodeId);
    [[nodiscard]] bool IsAreaTableOpen() const { return m_areaTable != nullptr; }
    [[nodiscard]] bool AreCityTablesOpen() const { return m_citiesByName || m_citiesByCountry; }

private:
    struct TableSpec;
    [[nodiscard]] OpenedTablePtr OpenTable(const std::u16string& path, const TableSpec& spec,
                                           bool hasArchives) const;
    // The bytes of the floor record of the cookie and slot; null when there is none.
    [[nodiscard]] const std::uint8_t* CookieSlot(const OpenedTablePtr& table, std::int32_t cookie,
                                                 std::uint32_t slot, std::uint32_t slotSize,
                                                 FsrRecord& holder) const;
    void AppendDescendants(std::uint32_t areaId, std::vector<std::uint32_t>& children,
                           std::vector<std::uint32_t>& seen) const;
    [[nodiscard]] std::u16string AreaName(std::uint32_t level, std::string_view name,
                                          const CountryRectSource& rects, bool& isDone);

    BlockCachePtr m_cache;
    bool m_isFull = false;
    std::shared_ptr<SfsMountSet> m_mountSet;
    OpenedTablePtr m_s2c;
    OpenedTablePtr m_cookie2AreaId;
    OpenedTablePtr m_cookie2Plz;
    OpenedTablePtr m_areaTable;
    AreaListMap m_areaLists;
    OpenedTablePtr m_typeTable;
    AreaListMap m_typeLists;
    OpenedTablePtr m_entryPoints;
    OpenedTablePtr m_houseNumbers;
    OpenedTablePtr m_countries;
    OpenedTablePtr m_citiesByName;
    OpenedTablePtr m_citiesByCountry;
    OpenedTablePtr m_postalCodes;
    FsxTable m_signposts;
    AreaTreeIndex m_tree;
    FsxTable m_adas;
    SignTables m_signTables;
    bool m_areSignTablesLoaded = false;
    OpenedTablePtr m_cookie2Country;
    mutable CritSect m_lock;
};
