#pragma once
// A route iterator answering from a list of records, for routes the route service does not make
// on demand (records without coordinates, parts that end early); an empty list makes an iterator
// that is not valid.

#include "routing/routeiterator.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace mapviewtest {

class ScriptedRoute final : public RouteIterator {
public:
    explicit ScriptedRoute(std::vector<RouteRecord> records)
        : m_records(std::move(records)) {}
    bool Next() override { return ++m_index < m_records.size(); }
    const RouteRecord& Current() const override { return IsValid() ? m_records[m_index] : m_none; }
    bool IsValid() const override { return m_index < m_records.size(); }
    void GetJunctionStreets(std::vector<NeighbourLink>&, std::vector<NeighbourLink>&) override {}
    bool GetItemPolyline(const RouteItemRef&, std::vector<GeoPoint>&) override { return false; }
    RouteIteratorPtr CreateIterator() const override {
        return std::make_shared<ScriptedRoute>(m_records);
    }
    RouteIteratorPtr Clone() const override { return std::make_shared<ScriptedRoute>(*this); }
    bool Previous() override { return m_index > 0 && --m_index < m_records.size(); }

private:
    std::vector<RouteRecord> m_records;
    std::size_t m_index = 0;
    RouteRecord m_none;
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

} // namespace mapviewtest
