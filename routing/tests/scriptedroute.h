#pragma once
// A route cursor over records given by the test, for what the route service does not make on
// demand: the matcher's route marks, records without coordinates, parts that end early. An
// empty list makes a cursor that is not valid.

#include "routing/routeiterator.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class ScriptedRoute final : public RouteIterator {
public:
    explicit ScriptedRoute(std::vector<RouteRecord> records, std::size_t at = 0)
        : m_records(std::move(records))
        , m_at(at) {}

    bool Next() override { return ++m_at < m_records.size(); }
    [[nodiscard]] const RouteRecord& Current() const override {
        return IsValid() ? m_records[m_at] : m_empty;
    }
    [[nodiscard]] bool IsValid() const override { return m_at < m_records.size(); }
    void GetJunctionStreets(std::vector<NeighbourLink>& allowed,
                            std::vector<NeighbourLink>& forbidden) override {
        allowed.clear();
        forbidden.clear();
    }
    [[nodiscard]] bool GetItemPolyline(const RouteItemRef& /*item*/,
                                       std::vector<GeoPoint>& /*polyline*/) override {
        return false;
    }
    [[nodiscard]] RouteIteratorPtr CreateIterator() const override {
        return std::make_shared<ScriptedRoute>(m_records);
    }
    [[nodiscard]] RouteIteratorPtr Clone() const override {
        return std::make_shared<ScriptedRoute>(m_records, m_at);
    }
    bool Previous() override {
        if (m_at == 0) {
            return false;
        }
        --m_at;
        return true;
    }

private:
    std::vector<RouteRecord> m_records;
    std::size_t m_at;
    RouteRecord m_empty;
};

// A record at a point (x = 3.4028235e38 for one without coordinates) on a link, with its polyline.
inline RouteRecord ScriptedRecord(GeoPoint at, std::uint32_t linkId,
                                  std::vector<GeoPoint> polyline = {}) {
    RouteRecord record;
    record.x = at.x;
    record.y = at.y;
    record.linkId = linkId;
    record.polyline = std::move(polyline);
    return record;
}

// One record per element, entered at the given points.
inline RouteIteratorPtr
MakeScriptedRoute(const std::vector<std::pair<std::uint32_t, GeoPoint>>& records) {
    std::vector<RouteRecord> list;
    for (const auto& [id, point] : records) {
        list.push_back(ScriptedRecord(point, id));
    }
    return std::make_shared<ScriptedRoute>(std::move(list));
}

// A route of one record from one point to another.
inline RouteIteratorPtr ScriptedLine(GeoPoint from, GeoPoint to) {
    return std::make_shared<ScriptedRoute>(
        std::vector<RouteRecord>{ScriptedRecord(from, 0, {from, to})});
}
