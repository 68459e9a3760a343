#pragma once
// The records of one calculated route, copied from the router core so that its next calculation
// cannot change them, and the iterator over them. The snapshot is shared by every iterator of the
// route; it completes each record (attribute word, polyline) once, under its own lock, and looks
// up junctions under the same lock. Records never change once completed, so an iterator reads its
// current record without the lock.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "routing/routeiterator.h"
#include "routing/routercore.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The element's unpacked attribute word with bits 0-10 and 29-31 from a record's attributes.
[[nodiscard]] std::uint32_t RecordAttributeWord(std::uint32_t elementWord,
                                                RecordAttributes attributes);
// The element's unpacked attribute word with bits 0-2, 4, 6-8 and 29-31 from a junction link's
// class word.
[[nodiscard]] std::uint32_t NeighbourAttributeWord(std::uint32_t elementWord,
                                                   std::uint32_t classWord);
// The word of the same road driven the other way: the link nibbles' bit pairs swapped, bit 28
// inverted and the direction code 1 and 3 exchanged.
[[nodiscard]] std::uint32_t ReverseDirectionBits(std::uint32_t word);

class RouteSnapshot;
using RouteSnapshotPtr = std::shared_ptr<RouteSnapshot>;

class RouteSnapshot {
public:
    // Copies the router's records (none after a failed calculation) and destination. With
    // startCorrection, a route whose first record's element ends within 5 m of where the second
    // record begins first runs to the element's far end and back (WasStartCorrected tells).
    [[nodiscard]] static RouteSnapshotPtr Create(RouterCore& router,
                                                 RetrievalEngine::RetrievalEnginePtr engine,
                                                 TravelMode travelMode, bool startCorrection);
    // The same over given records (tests and scripted routes).
    [[nodiscard]] static RouteSnapshotPtr FromRecords(std::vector<RouteRecord> records,
                                                      const GeoPoint& destination,
                                                      RoadNetworkPtr network,
                                                      RetrievalEngine::RetrievalEnginePtr engine,
                                                      TravelMode travelMode, bool startCorrection);

    [[nodiscard]] std::size_t Size() const { return m_records.size(); }
    [[nodiscard]] bool WasStartCorrected() const { return m_wasStartCorrected; }
    // The element id of a record, which completing does not change. index < Size().
    [[nodiscard]] std::uint32_t ElementIdAt(std::size_t index) const {
        return m_records[index].linkId;
    }
    // The record, completed on first use. index < Size().
    [[nodiscard]] const RouteRecord& Complete(std::size_t index);
    // The links at the crossing of the request (see RoadNetwork::LocateElementLink) with their
    // attribute words, and their polylines in the same order; false when it cannot be found.
    [[nodiscard]] bool LoadJunction(ElementLinkRequest& request,
                                    std::vector<std::vector<GeoPoint>>& allowedLines,
                                    std::vector<std::vector<GeoPoint>>& forbiddenLines);

private:
    RouteSnapshot(std::vector<RouteRecord> records, const GeoPoint& destination,
                  RoadNetworkPtr network, RetrievalEngine::RetrievalEnginePtr engine,
                  TravelMode travelMode);

    // The element's polyline in driving direction from `point`, cut at the route's start when
    // `record` is the first and at its destination when it is on the last element; the word's
    // direction bits reversed with it. True when `point` lies within 5 m of its first vertex.
    bool LoadRecordPolyline(const GeoPoint& point, std::uint32_t elementId, bool isRouteRecord,
                            std::uint32_t& word, std::vector<GeoPoint>& polyline);
    // See Create; false (nothing changed) when it does not apply.
    bool ApplyStartCorrection();
    [[nodiscard]] std::uint32_t ElementWord(std::uint32_t elementId);
    [[nodiscard]] bool ReadPolyline(std::uint32_t elementId, std::vector<GeoPoint>& polyline);

    std::mutex m_lock;
    std::vector<RouteRecord> m_records;
    std::vector<std::uint8_t> m_isComplete;
    GeoPoint m_destination;
    RoadNetworkPtr m_network;
    RetrievalEngine::RetrievalEnginePtr m_engine; // used under m_lock only
    TravelMode m_travelMode;
    bool m_wasStartCorrected = false;
};

// The route iterator over a snapshot.
class SnapshotRouteIterator final : public RouteIterator {
public:
    explicit SnapshotRouteIterator(RouteSnapshotPtr snapshot);

    bool Next() override;
    const RouteRecord& Current() const override;
    bool IsValid() const override;
    void GetJunctionStreets(std::vector<NeighbourLink>& allowed,
                            std::vector<NeighbourLink>& forbidden) override;
    bool GetItemPolyline(const RouteItemRef& item, std::vector<GeoPoint>& polyline) override;
    RouteIteratorPtr CreateIterator() const override;
    RouteIteratorPtr Clone() const override;
    bool Previous() override;

    [[nodiscard]] const RouteSnapshotPtr& GetSnapshot() const { return m_snapshot; }

private:
    // Completes the record at the index and describes where it begins; false when not valid.
    bool LoadCurrent(bool isForward);
    // The junction before the current record, once per record.
    void LoadJunction();

    RouteSnapshotPtr m_snapshot;
    std::int64_t m_index = 0;
    const RouteRecord* m_current = nullptr;
    ElementLinkRequest m_item;
    bool m_isJunctionLoaded = false;
    std::vector<NeighbourLink> m_allowed;
    std::vector<NeighbourLink> m_forbidden;
    std::vector<std::vector<GeoPoint>> m_allowedLines;
    std::vector<std::vector<GeoPoint>> m_forbiddenLines;
};

// The iterator at the start of the router's last route (never valid without one); null when it
// cannot be allocated.
[[nodiscard]] RouteIteratorPtr MakeRouteIterator(RouterCore& router,
                                                 RetrievalEngine::RetrievalEnginePtr engine,
                                                 TravelMode travelMode, bool startCorrection);
