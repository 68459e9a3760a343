#pragma once
// Crossings of the road network: a PagePosition on one record of a page store and the counted
// NetworkCrossing handle that reads it. A handle keeps its record's page alive; one handle has
// one user at a time, handles on other threads may read the same network.

#include "routing/attributelists.h"
#include "routing/crossingrecord.h"
#include "routing/pagestore.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <memory>
#include <optional>

// The page stores of a network by level.
class PageStoreSource {
public:
    virtual ~PageStoreSource() = default;
    // Null for a level without a store.
    [[nodiscard]] virtual SeparatedPageStore* GetStore(std::uint16_t level) const = 0;
};

// Records fetched and decoded by PagePosition on the calling thread so far.
[[nodiscard]] std::uint64_t RecordReadsOnThisThread();

// A place in a store: the record at (page, offset) while it lies before the end address.
class PagePosition {
public:
    explicit PagePosition(SeparatedPageStore* store)
        : m_store(store) {}

    // Fetches the record; none at or past the end address or when the bytes are no record.
    void Set(std::uint16_t page, std::uint16_t offset);
    // Steps past the current record: to the next record of the page, or to the first of the next
    // page when fewer than 4 bytes remain or the next header has no links.
    void Next();

    [[nodiscard]] const CrossingRecord* GetRecord() const {
        return m_record ? &*m_record : nullptr;
    }
    [[nodiscard]] std::uint16_t GetPage() const { return m_page; }
    [[nodiscard]] std::uint16_t GetOffset() const { return m_offset; }
    [[nodiscard]] SeparatedPageStore* GetStore() const { return m_store; }

private:
    SeparatedPageStore* m_store;
    std::uint16_t m_page = 0xFFFF;
    std::uint16_t m_offset = 0xFFFF;
    RecordBytes m_bytes;
    std::optional<CrossingRecord> m_record;
};

class NetworkCrossing {
public:
    NetworkCrossing(const PageStoreSource& network, const CrossingAddress& address);
    virtual ~NetworkCrossing() = default;
    NetworkCrossing(const NetworkCrossing&) = default;
    NetworkCrossing& operator=(const NetworkCrossing&) = default;

    [[nodiscard]] bool HasTurnTable() const;
    // The third word of the position entry, -1 without one.
    [[nodiscard]] std::uint32_t GetCrossingValue() const;
    // From the position entry, else from the map geometry; 3.4028235e38 twice when unknown.
    [[nodiscard]] GeoPoint Position() const;
    void MoveTo(const CrossingAddress& address);
    void MoveToCrossing(const NetworkCrossing& other) { MoveTo(other.GetAddress()); }
    [[nodiscard]] CrossingAddress GetAddress() const {
        return {m_position.GetPage(), m_position.GetOffset(), 0xFFFFFFFF, m_level};
    }
    // Header bits 0-23, -1 without a record.
    [[nodiscard]] std::uint32_t GetId() const {
        const CrossingRecord* record = GetRecord();
        return record != nullptr ? record->Id() : 0xFFFFFFFFu;
    }
    // The next crossing in page order (in the query's order for a rectangle iterator).
    virtual void Next() { m_position.Next(); }
    [[nodiscard]] bool IsValid() const { return m_position.GetRecord() != nullptr; }
    // True for from = to; else false without a turn table or for an index of 15 or more; else
    // whether the table prohibits the turn from `from` into `to`.
    [[nodiscard]] bool IsTurnProhibited(std::uint32_t from, std::uint32_t to) const;
    // Empty without an attribute block.
    [[nodiscard]] AttributeAccessorPtr GetAttributes() const;
    [[nodiscard]] std::uint32_t GetLinkCount() const;
    [[nodiscard]] bool HasLinks() const { return GetLinkCount() != 0; }

    [[nodiscard]] const CrossingRecord* GetRecord() const { return m_position.GetRecord(); }
    [[nodiscard]] SeparatedPageStore* GetStore() const { return m_position.GetStore(); }
    [[nodiscard]] std::uint16_t GetLevel() const { return m_level; }
    [[nodiscard]] const PageStoreSource& GetNetwork() const { return *m_network; }

private:
    [[nodiscard]] GeoPoint PositionFromGeometry(const CrossingRecord& record) const;

    const PageStoreSource* m_network;
    PagePosition m_position;
    std::uint16_t m_level;
};
using NetworkCrossingPtr = std::shared_ptr<NetworkCrossing>;
