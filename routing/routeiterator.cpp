#include "routing/routesnapshot.h"

#include <new>
#include <utility>

namespace {

const RouteRecord& ZeroRecord() {
    static const RouteRecord zero = [] {
        RouteRecord record;
        record.linkId = 0;
        record.crossing = {0, 0, 0, 0};
        return record;
    }();
    return zero;
}

void CopyWithoutDuplicates(const std::vector<GeoPoint>& from, std::vector<GeoPoint>& to) {
    to.clear();
    for (const GeoPoint& p : from) {
        if (to.empty() || to.back().x != p.x || to.back().y != p.y) {
            to.push_back(p);
        }
    }
}

template <class... Args> RouteIteratorPtr MakeIterator(Args&&... args) {
    try {
        return std::make_shared<SnapshotRouteIterator>(std::forward<Args>(args)...);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

SnapshotRouteIterator::SnapshotRouteIterator(RouteSnapshotPtr snapshot)
    : m_snapshot(std::move(snapshot)) {
    (void)LoadCurrent(true);
}

bool SnapshotRouteIterator::IsValid() const {
    return m_snapshot && m_index >= 0 && static_cast<std::uint64_t>(m_index) < m_snapshot->Size();
}

const RouteRecord& SnapshotRouteIterator::Current() const {
    return IsValid() && m_current != nullptr ? *m_current : ZeroRecord();
}

bool SnapshotRouteIterator::Next() {
    ++m_index;
    return LoadCurrent(true);
}

bool SnapshotRouteIterator::Previous() {
    --m_index;
    return LoadCurrent(false);
}

bool SnapshotRouteIterator::LoadCurrent(bool isForward) {
    const bool wasJunctionLoaded = m_isJunctionLoaded;
    m_isJunctionLoaded = false;
    m_allowed.clear();
    m_forbidden.clear();
    m_allowedLines.clear();
    m_forbiddenLines.clear();
    if (!IsValid()) {
        m_current = nullptr;
        return false;
    }
    const auto index = static_cast<std::size_t>(m_index);
    m_current = &m_snapshot->Complete(index);
    m_item.position = {m_current->x, m_current->y};
    m_item.arrivingElement = index > 0 ? m_snapshot->ElementIdAt(index - 1) : 0;
    m_item.leavingElement = m_current->linkId;
    m_item.address = m_current->crossing;
    // Walking on from a loaded junction, the crossing is named by the element that leaves it.
    if (isForward && wasJunctionLoaded) {
        m_item.address.reserved = m_current->linkId;
    }
    m_item.leavingTarget = {};
    return true;
}

void SnapshotRouteIterator::LoadJunction() {
    if (m_isJunctionLoaded) {
        return;
    }
    m_isJunctionLoaded = true;
    ElementLinkRequest request = m_item;
    request.allowed = &m_allowed;
    request.forbidden = &m_forbidden;
    if (m_snapshot->LoadJunction(request, m_allowedLines, m_forbiddenLines)) {
        m_item.address = request.address;
        m_item.leavingTarget = request.leavingTarget;
    } else {
        m_allowed.clear();
        m_forbidden.clear();
        m_allowedLines.clear();
        m_forbiddenLines.clear();
    }
}

void SnapshotRouteIterator::GetJunctionStreets(std::vector<NeighbourLink>& allowed,
                                               std::vector<NeighbourLink>& forbidden) {
    allowed.clear();
    forbidden.clear();
    if (!IsValid() || m_index == 0) {
        return;
    }
    LoadJunction();
    allowed = m_allowed;
    forbidden = m_forbidden;
}

bool SnapshotRouteIterator::GetItemPolyline(const RouteItemRef& item,
                                            std::vector<GeoPoint>& polyline) {
    polyline.clear();
    if (!IsValid()) {
        return false;
    }
    for (std::int64_t i = m_index; i >= 0; --i) {
        const RouteRecord& record = m_snapshot->Complete(static_cast<std::size_t>(i));
        if (record.linkId == item.elementId && record.x == item.point.x &&
            record.y == item.point.y) {
            CopyWithoutDuplicates(record.polyline, polyline);
            return true;
        }
    }
    const auto find = [&](const std::vector<NeighbourLink>& links,
                          const std::vector<std::vector<GeoPoint>>& lines) {
        for (std::size_t i = 0; i < links.size() && i < lines.size(); ++i) {
            if (links[i].elementId == item.elementId && links[i].position.x == item.point.x &&
                links[i].position.y == item.point.y) {
                CopyWithoutDuplicates(lines[i], polyline);
                return true;
            }
        }
        return false;
    };
    return find(m_allowed, m_allowedLines) || find(m_forbidden, m_forbiddenLines);
}

RouteIteratorPtr SnapshotRouteIterator::CreateIterator() const {
    return MakeIterator(m_snapshot);
}

RouteIteratorPtr SnapshotRouteIterator::Clone() const {
    return MakeIterator(*this);
}

RouteIteratorPtr MakeRouteIterator(RouterCore& router, RetrievalEngine::RetrievalEnginePtr engine,
                                   TravelMode travelMode, bool startCorrection) {
    RouteSnapshotPtr snapshot =
        RouteSnapshot::Create(router, std::move(engine), travelMode, startCorrection);
    return snapshot ? MakeIterator(std::move(snapshot)) : nullptr;
}
