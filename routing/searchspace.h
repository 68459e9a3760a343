#pragma once
// The search's context for one level: lets the link cursor walk back along the path by which
// the search reached a node, one crossing at a time, through the arrival indexes of the node
// records. Belongs to one router; not shared between threads.

#include "routing/roadnetwork.h"
#include "routing/searchmemory.h"

#include <cstdint>
#include <memory>
#include <vector>

class SearchSpace {
public:
    SearchSpace(std::shared_ptr<RoadNetwork> network, NodeTable& table)
        : m_table(&table)
        , m_network(std::move(network)) {}
    virtual ~SearchSpace() = default;
    SearchSpace(const SearchSpace&) = delete;
    SearchSpace& operator=(const SearchSpace&) = delete;

    // One step back: to the crossing at the other end of the current record's arrival link,
    // taking its record.
    virtual void Refresh();
    // Positioned, and the current record has an arrival index of 15 or less.
    [[nodiscard]] virtual bool IsUsable() const;
    // Back to the stored position and its record.
    virtual void Rewind();
    [[nodiscard]] virtual std::uint32_t ArrivalIndex() const;
    [[nodiscard]] virtual std::vector<std::uint32_t>& GetList() { return m_list; }

    // Stores the crossing about to be expanded and takes its record.
    void SetPosition(const CrossingAddress& address);
    // The same for a crossing the caller holds: its record is read only when the path is first
    // walked, as most expansions never walk it.
    void SetPosition(const NetworkCrossing& crossing);
    [[nodiscard]] const NetworkCrossingPtr& GetCrossing() const;
    [[nodiscard]] const NodeRecord& GetRecordCopy() const;

private:
    void CopyRecord() const;
    // Reads the stored position's crossing and record when SetPosition left them unread.
    void Place() const;

    mutable NodeRecord m_record;
    NodeTable* m_table;
    std::shared_ptr<RoadNetwork> m_network;
    mutable NetworkCrossingPtr m_crossing;
    mutable bool m_isUnread = false;
    LinkCursorPtr m_cursor;
    CrossingAddress m_address{0, 0, 0xFFFFFFFF, 0};
    std::vector<std::uint32_t> m_list;
};
