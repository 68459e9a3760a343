#pragma once
// The routable road network: up to three maps (levels) described by a ".rd" file, each with its
// page store, plus the two id tables and the link to the map data. Loaded once on the caller's
// thread, then read by any number of threads; crossings and cursors must not outlive it.

#include "routing/crossingsearch.h"
#include "routing/linkcursor.h"
#include "routing/linktargettable.h"
#include "routing/mapdatalink.h"
#include "routing/networkcrossing.h"
#include "routing/optimisedlinks.h"
#include "routing/pagestore.h"
#include "routing/routerecord.h"
#include "tablefiles/fsrtable.h"
#include "utilities/usefulcode/cache/sfsmountset.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct NetworkDescription;

class IRoadNetwork {
public:
    // Empty when the level is not below the map count.
    [[nodiscard]] virtual NetworkCrossingPtr CreateCrossing(const CrossingAddress& address) = 0;
    virtual ~IRoadNetwork() = default;
    // The crossing nearest to the input position, below the radius, with a link of the element
    // (any crossing for -1): searched with 500 m, then 1000 m more each time up to the radius.
    // The element id is kept in the output address's reserved word.
    [[nodiscard]] virtual bool FindCrossingNear(CrossingQuery& query) = 0;
    // Empty for a level without a store.
    [[nodiscard]] virtual NetworkCrossingPtr CreateCrossingIterator(const GeoRect& rect,
                                                                    std::uint16_t level) = 0;
    // The same crossing one level up; empty without an upper reference or upper level.
    [[nodiscard]] virtual NetworkCrossingPtr GetUpperCrossing(const NetworkCrossing& crossing) = 0;
    // All zero for a level that does not exist.
    [[nodiscard]] virtual GeoRect GetMapRect(std::uint16_t level) const = 0;
    [[nodiscard]] virtual std::uint16_t GetMapCount() const = 0;
    // 0 for a level that does not exist.
    [[nodiscard]] virtual std::uint32_t GetCrossingCount(std::uint16_t level) const = 0;
    // Replaces every record of an optimised link by records of its elements (with their start
    // positions when asked); drops records without a link and repeats. False when an optimised
    // link yields no element (a link whose chain has no rows, unknown or unreadable, then stays
    // as it is), or its first element cannot be placed before anything was output (the records
    // then stay as they were).
    [[nodiscard]] virtual bool ExpandOptimisedLinks(std::vector<RouteRecord>& records,
                                                    bool withPositions) = 0;
    // Annotates, on every level, both directions of the links that hold the listed elements.
    // False for an empty list or an element not found on level 0 (earlier items stay).
    [[nodiscard]] virtual bool AddFlaggedElements(const FlaggedElementList& list) = 0;
    // The value with the smallest speed code on the cursor's link for the direction; null
    // without one.
    [[nodiscard]] virtual AnnotationValuePtr GetLinkAnnotation(const LinkCursor& cursor,
                                                               std::uint32_t direction) const = 0;
    // Removes what AddFlaggedElements put there for the list's value (any value when null).
    [[nodiscard]] virtual bool RemoveFlaggedElements(const FlaggedElementList& list) = 0;
    // The crossing where the arriving element's link meets the leaving one; the other links go
    // to the allowed list when a restricted cursor from the arriving link visits their element,
    // else to the forbidden one. False when the crossing or the arriving link is not found.
    [[nodiscard]] virtual bool LocateElementLink(ElementLinkRequest& request, TravelMode mode) = 0;
    // Without an element: the nearest crossing (level 0) with a link not closed by an annotation,
    // searched with 500 m and then 1000 m more up to 4500 m; both positions get its position.
    // With one: whether the element's link near the second position is not closed.
    [[nodiscard]] virtual bool FindNearestCrossing(NearestCrossingRequest& request) = 0;
    [[nodiscard]] virtual bool HasAdditionalAttributes() const = 0;
    // Empty when the network was loaded without an engine.
    [[nodiscard]] virtual MapDataLinkPtr GetMapDataLink() const = 0;
};

class ILinkCursorFactory {
public:
    virtual ~ILinkCursorFactory() = default;
    // isForward: upwards from link 0, else downwards from the last link. The history may be
    // null and must outlive the cursor.
    [[nodiscard]] virtual LinkCursorPtr
    CreateRestrictedCursor(const NetworkCrossing& crossing, bool isForward, std::uint32_t fromLink,
                           TravelMode mode, ManoeuvreHistory* history) = 0;
    [[nodiscard]] virtual LinkCursorPtr CreateCursor(const NetworkCrossing& crossing,
                                                     std::uint32_t first, TravelMode mode) = 0;
};

// The process-wide cache budget in KB, 0 until the first network computes it from the memory
// status: min(available physical, available virtual) / 1024 x "CacheMaxPercent" / 100, clamped
// to 1536..4096.
[[nodiscard]] std::uint32_t GetCacheBudget();
// Forgets the budget so that the next load computes it again.
void ResetCacheBudget();

// The store a map gets: mapped unless "Sfs" is 1; then whole when the map's share of the budget
// (a quarter for maps 0 and 1, half for map 2) holds its pages, else cached pages.
[[nodiscard]] SeparatedPageStore::Kind ChooseStoreKind(int sfs, std::uint16_t level,
                                                       std::uint32_t budgetKb,
                                                       std::uint16_t lastPage,
                                                       std::uint32_t pageSize);
// The map's share of the budget in KB.
[[nodiscard]] std::uint32_t MapShare(std::uint16_t level, std::uint32_t budgetKb);

class RoadNetwork final : public IRoadNetwork, public ILinkCursorFactory, public PageStoreSource {
public:
    static constexpr std::uint16_t kMaxMaps = 3;

    RoadNetwork() = default;
    ~RoadNetwork() override;

    // Reads the ".rd" file (never creating it) and opens every map. False (debug line) when the
    // file is missing, "Format" is not 0, "Maps" is outside 1..3, an id table cannot be opened or
    // has other columns, a map's store refuses its files or its page file holds no crossing
    // before the end address (zeroed pages). Call once on a fresh network.
    [[nodiscard]] bool Load(const std::u16string& path,
                            const RetrievalEngine::RetrievalEnginePtr& engine);

    NetworkCrossingPtr CreateCrossing(const CrossingAddress& address) override;
    bool FindCrossingNear(CrossingQuery& query) override;
    NetworkCrossingPtr CreateCrossingIterator(const GeoRect& rect, std::uint16_t level) override;
    NetworkCrossingPtr GetUpperCrossing(const NetworkCrossing& crossing) override;
    // The address GetUpperCrossing reads; none when the crossing has no upper reference.
    [[nodiscard]] static std::optional<CrossingAddress>
    UpperAddressOf(const NetworkCrossing& crossing);
    GeoRect GetMapRect(std::uint16_t level) const override;
    std::uint16_t GetMapCount() const override { return m_mapCount; }
    std::uint32_t GetCrossingCount(std::uint16_t level) const override;
    bool ExpandOptimisedLinks(std::vector<RouteRecord>& records, bool withPositions) override;
    bool AddFlaggedElements(const FlaggedElementList& list) override;
    AnnotationValuePtr GetLinkAnnotation(const LinkCursor& cursor,
                                         std::uint32_t direction) const override;
    bool RemoveFlaggedElements(const FlaggedElementList& list) override;
    bool LocateElementLink(ElementLinkRequest& request, TravelMode mode) override;
    bool FindNearestCrossing(NearestCrossingRequest& request) override;
    bool HasAdditionalAttributes() const override { return m_hasAdditionalAttributes; }
    MapDataLinkPtr GetMapDataLink() const override { return m_mapDataLink; }

    LinkCursorPtr CreateRestrictedCursor(const NetworkCrossing& crossing, bool isForward,
                                         std::uint32_t fromLink, TravelMode mode,
                                         ManoeuvreHistory* history) override;
    LinkCursorPtr CreateCursor(const NetworkCrossing& crossing, std::uint32_t first,
                               TravelMode mode) override;

    SeparatedPageStore* GetStore(std::uint16_t level) const override;
    // Pages of each map ("Last page" + 1), 0 for a level that does not exist.
    [[nodiscard]] std::uint32_t GetPageCount(std::uint16_t level) const;
    // The level's link target table, built at load when it fits in the map's share of the cache
    // budget, or in half of it for cached pages (which get the rest); null without one.
    [[nodiscard]] const LinkTargetTable* GetLinkTargetTable(std::uint16_t level) const {
        return level < m_mapCount && m_linkTargets[level] ? &*m_linkTargets[level] : nullptr;
    }
    // The O2S kind: 0, 1 or 2 by its columns, 3 without a table.
    [[nodiscard]] std::uint32_t GetO2SKind() const { return m_o2sKind; }
    [[nodiscard]] const SfsMountSet& GetArchives() const { return m_archives; }

    // The crossing of the level nearest to the position, within the radius (truncated metres),
    // with a link of the element (-1: any); one exactly at the position wins at once. Its
    // position replaces the given one; page 0xFFFF when none.
    [[nodiscard]] CrossingAddress SearchStore(std::uint16_t level, GeoPoint& position,
                                              std::uint32_t radius, std::uint32_t elementId);

    // Optimised ids: at or above some map's "Optimization start" (and not -1); the level is the
    // map with the largest start not above the id (the later one on equal starts), else -1.
    [[nodiscard]] bool IsOptimisedId(std::uint32_t id) const;
    [[nodiscard]] int LevelOfOptimisedId(std::uint32_t id) const;
    // The chain of an optimised id in its direction: even ids the rows up to the end row, odd
    // ids the reverse chain with each element at the start of its reverse travel.
    [[nodiscard]] std::vector<O2SRecord> LookupO2S(std::uint32_t id) const;
    // The map element of a link id: the first of an optimised chain (-1 when it has none).
    [[nodiscard]] std::uint32_t ElementOfLink(std::uint32_t id) const;
    // The optimised ids the S2O table lists for an element.
    [[nodiscard]] std::vector<std::uint32_t> OptimisedIdsOf(std::uint32_t elementId) const;

private:
    [[nodiscard]] NetworkCrossingPtr CrossingNear(const GeoPoint& position, float radius,
                                                  std::uint32_t elementId, std::uint16_t level);
    [[nodiscard]] LinkCursorPtr FindLink(const NetworkCrossing& crossing, std::uint32_t elementId);
    [[nodiscard]] bool FlagElements(const FlaggedElementList& list, bool isAdding);
    [[nodiscard]] bool FlagLink(std::uint32_t id, const GeoPoint& position, std::uint16_t level,
                                const FlaggedElementList& list, bool isAdding,
                                NetworkCrossingPtr& crossing);
    void Annotate(const LinkCursor& link, const FlaggedElementList& list, bool isAdding);
    [[nodiscard]] GeoPoint OptimisedLinkPosition(std::uint32_t id, std::uint16_t level);
    // Whether a flagged element's item, at one end of the element, runs against the stored
    // direction of the merged link id.
    [[nodiscard]] bool RunsAgainstLink(std::uint32_t id, std::uint32_t elementId,
                                       const GeoPoint& position) const;
    [[nodiscard]] bool IsDrivable(const NetworkCrossing& crossing) const;

    [[nodiscard]] bool OpenIdTables(const NetworkDescription& description);
    [[nodiscard]] bool LoadMap(std::uint16_t level, const NetworkDescription& description);

    FsrTable m_s2o;
    std::uint32_t m_o2sKind = 3;
    FsrTable m_o2s;
    std::array<std::uint32_t, kMaxMaps> m_pageCounts{};
    std::uint16_t m_mapCount = 0;
    std::array<std::unique_ptr<SeparatedPageStore>, 8> m_stores;
    bool m_hasAdditionalAttributes = false;
    MapDataLinkPtr m_mapDataLink;
    SfsMountSet m_archives;
    LinkAnnotation m_annotations;
    std::array<std::optional<LinkTargetTable>, kMaxMaps> m_linkTargets;
};
