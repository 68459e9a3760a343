#include "junctionview/model/crossingmodel.h"

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "junctionview/model/crossingmodeldetail.h"

#include "platform/kernel/debug.h"

#include <algorithm>
#include <string>
#include <utility>

namespace junctionview {

RouteRecord ZeroStep() {
    RouteRecord record;
    record.linkId = 0;
    return record;
}

bool IsUsablePoint(const GeoPoint& point) {
    return std::isfinite(point.x) && std::isfinite(point.y) && std::fabs(point.x) <= kMaxDegrees &&
           std::fabs(point.y) <= kMaxDegrees;
}

bool IsUsableGeometry(const std::vector<GeoPoint>& points) {
    return std::all_of(points.begin(), points.end(), IsUsablePoint);
}

void AppendSegments(std::vector<JunctionSegment>& list, std::uint32_t id,
                    const std::vector<GeoPoint>& points) {
    for (std::size_t i = 1; i < points.size(); ++i) {
        list.push_back({id, points[i - 1].x, points[i - 1].y, points[i].x, points[i].y});
    }
}

} // namespace junctionview

using junctionview::IsStep;

CrossingModel::CrossingModel(RouteIteratorPtr route, JunctionMapPtr map,
                             std::vector<std::uint32_t> routeElementIds)
    : m_routeRequest(std::move(route))
    , m_map(std::move(map))
    , m_routeElementIds(std::move(routeElementIds))
    , m_junctionRecord(junctionview::ZeroStep())
    , m_followingStep(junctionview::ZeroStep())
    , m_approachStep(junctionview::ZeroStep()) {}

void CrossingModel::SetRouteCursor(const RouteIteratorPtr& cursor) {
    m_routeCursor = cursor ? cursor->Clone() : nullptr;
}

void CrossingModel::SetSecondJunction(bool hasSecondJunction, std::int32_t distance) {
    m_hasSecondJunction = hasSecondJunction;
    m_nextManoeuvreDistance = distance;
}

void CrossingModel::ClearModel() {
    m_routeSegments.clear();
    m_sideSegments.clear();
    m_extraSegments.clear();
    m_screenRouteSegments.clear();
    m_screenSideSegments.clear();
    m_screenExtraSegments.clear();
    m_exitSpoke = junctionview::UnsetSegment();
    m_approachSegment = junctionview::UnsetSegment();
    m_arrowSegment = junctionview::UnsetSegment();
    m_isRoundabout = false;
}

void CrossingModel::RejectMapData(std::uint32_t elementId, const char16_t* what) {
    const std::string number = std::to_string(elementId);
    std::u16string line = u"Junction model: element ";
    line.append(number.begin(), number.end());
    line += u' ';
    line += what;
    line += u'\n';
    OutputDebugStringW(line.c_str());
    ClearModel();
    m_isRejected = true;
}

bool CrossingModel::ContainsRouteElement(std::uint32_t id) const {
    return std::find(m_routeElementIds.begin(), m_routeElementIds.end(), id) !=
           m_routeElementIds.end();
}

void CrossingModel::AddStepRoads(const RouteIteratorPtr& iterator, const RouteRecord& step,
                                 bool skipOwn) {
    if (!iterator || !iterator->IsValid()) {
        return;
    }
    const RouteIteratorPtr w = iterator->Clone();
    if (!w) {
        return;
    }
    (void)w->Next();
    if (!IsStep(step)) {
        return;
    }
    std::vector<GeoPoint> points;
    if (!skipOwn) {
        if (!w->GetItemPolyline(RouteItemRef(step), points)) {
            points.clear();
        }
        if (!junctionview::IsUsableGeometry(points)) {
            RejectMapData(step.linkId, u"has a route point that is not a position");
            return;
        }
        junctionview::AppendSegments(m_routeSegments, step.linkId, points);
    }
    std::vector<NeighbourLink> allowed;
    std::vector<NeighbourLink> forbidden;
    w->GetJunctionStreets(allowed, forbidden);
    const auto add = [&](const std::vector<NeighbourLink>& streets,
                         std::vector<JunctionSegment>& into) {
        for (const NeighbourLink& street : streets) {
            const auto named = [&](const JunctionSegment& s) {
                return s.streetId == street.elementId;
            };
            std::erase_if(m_extraSegments, named);
            std::erase_if(m_sideSegments, named);
            if (!w->GetItemPolyline(RouteItemRef(street), points)) {
                points.clear();
            }
            if (!junctionview::IsUsableGeometry(points)) {
                RejectMapData(street.elementId, u"has a street point that is not a position");
                return false;
            }
            junctionview::AppendSegments(into, street.elementId, points);
        }
        return true;
    };
    if (add(allowed, m_sideSegments)) {
        (void)add(forbidden, m_extraSegments);
    }
}

RouteRecord CrossingModel::GetLastRouteStep() const {
    RouteRecord result = junctionview::ZeroStep();
    for (RouteIteratorPtr it = GetRouteIterator(m_routeRequest); it && it->IsValid(); it->Next()) {
        result = it->Current();
    }
    return result;
}

std::vector<GeoPoint> CrossingModel::GetStepGeometry(const RouteRecord& step) const {
    std::vector<GeoPoint> result;
    const RouteIteratorPtr it = GetRouteIterator(m_routeRequest);
    if (!it || !IsStep(step)) {
        return result;
    }
    // Ends with the route: the element may not be on it.
    while (it->IsValid() && it->Current().linkId != step.linkId) {
        (void)it->Next();
    }
    if (!it->IsValid() || !it->GetItemPolyline(RouteItemRef(it->Current()), result)) {
        result.clear();
    }
    return result;
}

bool CrossingModel::FindRouteStep(RouteIteratorPtr& out, std::uint32_t elementId) const {
    for (RouteIteratorPtr it = GetRouteIterator(m_routeRequest); it && it->IsValid(); it->Next()) {
        if (it->Current().linkId == elementId) {
            out = it;
            return true;
        }
    }
    return false;
}

RouteRecord CrossingModel::FindRingExit(const RouteRecord& step) const {
    RouteIteratorPtr it;
    if (!IsStep(step) || !FindRouteStep(it, step.linkId)) {
        return junctionview::ZeroStep();
    }
    RouteRecord last = it->Current();
    while (it->Next()) {
        last = it->Current();
        if ((last.elementAttributes & maprecord::kRing) == 0) {
            break;
        }
    }
    return last;
}

std::int32_t CrossingModel::ArmDirection(const JunctionMapElement& arm,
                                         const std::vector<GeoPoint>& ringPoints) const {
    if (arm.points.empty()) {
        return -1;
    }
    const GeoPoint a = arm.points.front();
    const GeoPoint b = arm.points.back();
    const std::uint32_t code = (arm.attributes >> maprecord::kDirectionShift) & 3u;
    for (std::size_t i = 0; i + 1 < ringPoints.size(); ++i) {
        const GeoPoint& r = ringPoints[i];
        if (a == r) {
            switch (code) {
            case maprecord::kOneWayAlong:
                return 0;
            case maprecord::kOneWayAgainst:
                return 1;
            case maprecord::kBothWays:
                return 2;
            default:
                break;
            }
        }
        if (b == r) {
            switch (code) {
            case maprecord::kOneWayAlong:
                return 1;
            case maprecord::kOneWayAgainst:
                return 0;
            case maprecord::kBothWays:
                return 2;
            default:
                break;
            }
        }
    }
    return -1;
}
