#pragma once
// A route cursor over records given by the test, for what the route service does not make on
// demand: the matcher's route marks, records without coordinates, parts that end early. An
// empty list makes a cursor that is not valid. With junctions (ScriptedRoute::WithJunctions) it
// also hands out the records' polylines and the streets at the crossing where a record begins,
// so that junction geometry the route service cannot make (empty, duplicate, non-finite) can be
// scripted.

#include "routing/routeiterator.h"

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

// A street at a crossing of a scripted route: the link as GetJunctionStreets hands it out and
// the polyline GetItemPolyline gives for it.
struct ScriptedStreet {
    NeighbourLink link;
    std::vector<GeoPoint> polyline;
};

// The streets at the crossing where a record begins.
struct ScriptedJunction {
    std::vector<ScriptedStreet> allowed;
    std::vector<ScriptedStreet> forbidden;
};

class ScriptedRoute final : public RouteIterator {
public:
    // Junctions by record index.
    using Junctions = std::map<std::size_t, ScriptedJunction>;

    explicit ScriptedRoute(std::vector<RouteRecord> records, std::size_t at = 0)
        : m_records(std::move(records))
        , m_at(at) {}

    // A route that hands out the records' polylines (from the current record back to the first,
    // as the route's iterator does) and the junctions' streets and their polylines.
    [[nodiscard]] static std::shared_ptr<ScriptedRoute>
    WithJunctions(std::vector<RouteRecord> records, Junctions junctions) {
        auto route = std::make_shared<ScriptedRoute>(std::move(records));
        route->m_junctions = std::make_shared<const Junctions>(std::move(junctions));
        return route;
    }

    bool Next() override { return ++m_at < m_records.size(); }
    [[nodiscard]] const RouteRecord& Current() const override {
        return IsValid() ? m_records[m_at] : m_empty;
    }
    [[nodiscard]] bool IsValid() const override { return m_at < m_records.size(); }
    void GetJunctionStreets(std::vector<NeighbourLink>& allowed,
                            std::vector<NeighbourLink>& forbidden) override {
        allowed.clear();
        forbidden.clear();
        if (const ScriptedJunction* junction = CurrentJunction()) {
            for (const ScriptedStreet& street : junction->allowed) {
                allowed.push_back(street.link);
            }
            for (const ScriptedStreet& street : junction->forbidden) {
                forbidden.push_back(street.link);
            }
        }
    }
    [[nodiscard]] bool GetItemPolyline(const RouteItemRef& item,
                                       std::vector<GeoPoint>& polyline) override {
        polyline.clear();
        if (!m_junctions || !IsValid()) {
            return false;
        }
        for (std::size_t i = m_at + 1; i-- > 0;) {
            const RouteRecord& record = m_records[i];
            if (record.linkId == item.elementId && record.x == item.point.x &&
                record.y == item.point.y) {
                CopyWithoutDuplicates(record.polyline, polyline);
                return true;
            }
        }
        if (const ScriptedJunction* junction = CurrentJunction()) {
            for (const auto* streets : {&junction->allowed, &junction->forbidden}) {
                for (const ScriptedStreet& street : *streets) {
                    if (street.link.elementId == item.elementId &&
                        street.link.position.x == item.point.x &&
                        street.link.position.y == item.point.y) {
                        CopyWithoutDuplicates(street.polyline, polyline);
                        return true;
                    }
                }
            }
        }
        return false;
    }
    [[nodiscard]] RouteIteratorPtr CreateIterator() const override { return Copy(0); }
    [[nodiscard]] RouteIteratorPtr Clone() const override { return Copy(m_at); }
    bool Previous() override {
        if (m_at == 0) {
            return false;
        }
        --m_at;
        return true;
    }

private:
    [[nodiscard]] RouteIteratorPtr Copy(std::size_t at) const {
        auto copy = std::make_shared<ScriptedRoute>(m_records, at);
        copy->m_junctions = m_junctions;
        return copy;
    }
    [[nodiscard]] const ScriptedJunction* CurrentJunction() const {
        if (!m_junctions || !IsValid()) {
            return nullptr;
        }
        const auto found = m_junctions->find(m_at);
        return found == m_junctions->end() ? nullptr : &found->second;
    }
    static void CopyWithoutDuplicates(const std::vector<GeoPoint>& from,
                                      std::vector<GeoPoint>& to) {
        to.clear();
        for (const GeoPoint& p : from) {
            if (to.empty() || to.back().x != p.x || to.back().y != p.y) {
                to.push_back(p);
            }
        }
    }

    std::vector<RouteRecord> m_records;
    std::size_t m_at;
    RouteRecord m_empty;
    std::shared_ptr<const Junctions> m_junctions; // null: no polylines, no streets
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
