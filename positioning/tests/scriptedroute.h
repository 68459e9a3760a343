#pragma once
// A route cursor over records given by the test, for the matcher's route marks.

#include "routing/routeiterator.h"

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

// One record per element, entered at the given points.
inline RouteIteratorPtr
MakeScriptedRoute(const std::vector<std::pair<std::uint32_t, GeoPoint>>& records) {
    std::vector<RouteRecord> list;
    for (const auto& [id, point] : records) {
        RouteRecord record;
        record.x = point.x;
        record.y = point.y;
        record.linkId = id;
        list.push_back(record);
    }
    return std::make_shared<ScriptedRoute>(std::move(list));
}
