// The build of the computed junction model: an ordinary junction from the route's steps within
// the radius and the streets that meet them, or a roundabout from the ring's elements and arms.
#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "junctionview/model/crossingmodel.h"
#include "junctionview/model/crossingmodeldetail.h"

#include <algorithm>
#include <cmath>

using junctionview::IsStep;
using junctionview::IsUsableGeometry;
using junctionview::IsUsablePoint;
using junctionview::kPi;

namespace {

// Half the side of the square searched for the ring's elements: 500 m.
constexpr double kRingSearch = 500.0 / junctionview::kMetresPerDegree;
// The margin around a roundabout's extent: 2 m.
constexpr double kRingMargin = 1.0 / 54000.0;
// The length of a roundabout's spokes in degrees (100 m).
constexpr float kSpokeLength = 0.0011111111f;

bool HasRing(const RouteRecord& record) {
    return (record.elementAttributes & maprecord::kRing) != 0;
}

bool IsNoArmType(std::int32_t typeCode) {
    return typeCode == 200 || typeCode == 201 || typeCode == 203 || typeCode == 1100 ||
           typeCode == 1400;
}

struct Arm {
    GeoPoint first;
    GeoPoint second;
    bool isMerged = false;
    std::uint32_t entryId = 0;
    std::uint32_t exitId = 0;
};

// A direction in [0, 2 pi) of the spoke from c to end, from its latitude-corrected slope.
double SpokeDirection(const GeoPoint& c, const GeoPoint& end) {
    if (end.x == c.x) {
        return end.y >= c.y ? kPi / 2.0 : 3.0 * kPi / 2.0;
    }
    const double angle = LineSlopeAngle(c.x, c.y, end.x, end.y, true);
    if (end.x > c.x && end.y < c.y) {
        return 2.0 * kPi - std::fabs(angle);
    }
    if (end.x < c.x && end.y > c.y) {
        return kPi - std::fabs(angle);
    }
    if (end.x < c.x) {
        return kPi + std::fabs(angle);
    }
    return angle;
}

} // namespace

bool CrossingModel::BuildComputedJunction(double radius) {
    ClearModel();
    m_isRejected = false;
    if (!std::isfinite(radius) || radius < 0.0) {
        return false;
    }
    const RouteIteratorPtr it = m_routeCursor ? m_routeCursor->Clone() : nullptr;
    if (!it || !it->IsValid()) {
        return false;
    }
    m_junctionRecord = it->Current();
    if (!it->Next() || !it->IsValid()) {
        return false;
    }
    m_followingStep = it->Current();
    std::vector<GeoPoint> points;
    if (!it->GetItemPolyline(RouteItemRef(m_followingStep), points)) {
        points.clear();
    }
    (void)it->Next();
    const RouteRecord afterStep = it->IsValid() ? it->Current() : junctionview::ZeroStep();

    if (HasRing(m_junctionRecord)) {
        // The manoeuvre lies in the ring: back to the step that enters it.
        RouteRecord saved = m_junctionRecord;
        RouteRecord current = junctionview::ZeroStep();
        for (;;) {
            (void)m_routeCursor->Previous();
            if (m_routeCursor->IsValid()) {
                current = m_routeCursor->Current();
            }
            if (current.linkId == saved.linkId) {
                break;
            }
            if (!IsStep(current)) {
                current = saved;
                break;
            }
            if (!HasRing(current)) {
                break;
            }
            saved = current;
        }
        m_approachStep = current;
        (void)m_routeCursor->Next();
        if (m_routeCursor->IsValid()) {
            m_followingStep = m_routeCursor->Current();
            if (HasRing(m_followingStep)) {
                m_followingStep = m_approachStep;
            }
        }
        BuildRoundabout();
        return !m_isRejected;
    }
    if (HasRing(m_followingStep)) {
        (void)m_routeCursor->Next();
        m_approachStep = m_junctionRecord; // the last step before the ring
        BuildRoundabout();
        return !m_isRejected;
    }
    if (HasRing(afterStep) && (m_followingStep.elementAttributes & maprecord::kLookedPast) != 0) {
        (void)m_routeCursor->Next();
        (void)m_routeCursor->Next();
        m_approachStep = m_followingStep;
        BuildRoundabout();
        return !m_isRejected;
    }

    // An ordinary junction.
    if (points.empty()) {
        RejectMapData(m_followingStep.linkId, u"after the junction has no geometry");
        return false;
    }
    if (!IsUsableGeometry(points)) {
        RejectMapData(m_followingStep.linkId, u"has a route point that is not a position");
        return false;
    }
    m_junctionCentre = points.front();
    const GeoPoint centre = m_junctionCentre;
    const double r = radius / junctionview::kMetresPerDegree;
    m_modelExtent = {static_cast<float>(centre.x + r * std::cos(kPi)),
                     static_cast<float>(centre.y + r * std::sin(3.0 * kPi / 2.0)),
                     static_cast<float>(centre.x + r * std::cos(0.0)),
                     static_cast<float>(centre.y + r * std::sin(kPi / 2.0))};

    // The geometry of a walk's step; false (the walk ends) when it has none.
    double d1 = 0.0;
    double d2 = 0.0;
    const auto stepGeometry = [&](const RouteIteratorPtr& w, const RouteRecord& step) {
        if (!w->GetItemPolyline(RouteItemRef(step), points) || points.empty()) {
            return false;
        }
        if (!IsUsableGeometry(points)) {
            RejectMapData(step.linkId, u"has a route point that is not a position");
            return false;
        }
        d1 = HaversineDistance(centre.x, centre.y, points.front().x, points.front().y);
        d2 = HaversineDistance(centre.x, centre.y, points.back().x, points.back().y);
        return true;
    };

    // Backward from the junction while the steps lie inside the radius.
    std::vector<JunctionSegment> holding;
    RouteIteratorPtr w = m_routeCursor->Clone();
    if (!w) {
        return false;
    }
    RouteRecord previous = m_junctionRecord;
    for (;;) {
        (void)w->Previous();
        const RouteRecord current = w->IsValid() ? w->Current() : junctionview::ZeroStep();
        if (!IsStep(current) || current.linkId == previous.linkId || !stepGeometry(w, current)) {
            break;
        }
        if (d1 < radius || d2 < radius) {
            for (std::size_t i = points.size() - 1; i >= 1; --i) {
                holding.push_back(
                    {current.linkId, points[i - 1].x, points[i - 1].y, points[i].x, points[i].y});
            }
            AddStepRoads(w, current, true);
        }
        if (m_isRejected) {
            return false;
        }
        previous = current;
        if (!(d1 < radius && d2 < radius)) {
            break;
        }
    }
    if (m_isRejected) {
        return false;
    }
    m_routeSegments.assign(holding.rbegin(), holding.rend());
    AddStepRoads(m_routeCursor->Clone(), m_junctionRecord, false);
    if (m_isRejected) {
        return false;
    }
    if (m_routeSegments.empty()) {
        RejectMapData(m_junctionRecord.linkId, u"leaves no route segment before the junction");
        return false;
    }
    m_approachSegment = m_routeSegments.back();

    // Forward from the junction; the streets meeting the last step taken are not shown.
    w = m_routeCursor->Clone();
    if (!w) {
        return false;
    }
    (void)w->Next();
    RouteRecord current = w->IsValid() ? w->Current() : junctionview::ZeroStep();
    previous = m_junctionRecord;
    std::size_t sideCount = 0;
    std::size_t extraCount = 0;
    for (;;) {
        if (!IsStep(current) || current.linkId == previous.linkId || !stepGeometry(w, current)) {
            break;
        }
        if (d1 < radius || d2 < radius) {
            junctionview::AppendSegments(m_routeSegments, current.linkId, points);
            sideCount = m_sideSegments.size();
            extraCount = m_extraSegments.size();
            AddStepRoads(w, current, true);
            if (m_isRejected) {
                return false;
            }
        }
        previous = current;
        if (!w->Next() || !w->IsValid()) {
            break;
        }
        current = w->Current();
        if (!(d1 < radius && d2 < radius)) {
            break;
        }
    }
    if (m_isRejected) {
        return false;
    }
    m_sideSegments.resize(std::min(sideCount, m_sideSegments.size()));
    m_extraSegments.resize(std::min(extraCount, m_extraSegments.size()));
    return true;
}

void CrossingModel::BuildRoundabout() {
    // The ring's first element on the route from the cursor on.
    const RouteIteratorPtr it = m_routeCursor ? m_routeCursor->Clone() : nullptr;
    while (it && it->IsValid() && !HasRing(it->Current())) {
        (void)it->Next();
    }
    if (!it || !it->IsValid() || !IsStep(it->Current())) {
        return; // no ring ahead: no model
    }
    const std::uint32_t startId = it->Current().linkId;
    JunctionMapElement start;
    if (!m_map || !m_map->GetElement(startId, start) || start.points.empty()) {
        RejectMapData(startId, u"of the ring has no geometry");
        return;
    }
    if (!IsUsableGeometry(start.points)) {
        RejectMapData(startId, u"has a ring point that is not a position");
        return;
    }

    // The ring's elements around its first point, chained at their ends.
    const GeoPoint p = start.points.front();
    std::vector<JunctionMapElement> candidates;
    m_map->QueryRoads({static_cast<float>(p.x - kRingSearch), static_cast<float>(p.y - kRingSearch),
                       static_cast<float>(p.x + kRingSearch),
                       static_cast<float>(p.y + kRingSearch)},
                      candidates);
    std::erase_if(candidates, [&](const JunctionMapElement& e) {
        return (e.attributes & maprecord::kRing) == 0 || e.id == startId || e.points.empty();
    });
    for (const JunctionMapElement& candidate : candidates) {
        if (!IsUsableGeometry(candidate.points)) {
            RejectMapData(candidate.id, u"has a ring point that is not a position");
            return;
        }
    }
    std::vector<std::uint32_t> ringIds = {startId};
    std::vector<GeoPoint> ringPoints = start.points;
    GeoPoint head = start.points.front();
    GeoPoint tail = start.points.back();
    for (bool isChaining = true; isChaining;) {
        isChaining = false;
        for (auto candidate = candidates.begin(); candidate != candidates.end(); ++candidate) {
            const GeoPoint a = candidate->points.front();
            const GeoPoint b = candidate->points.back();
            const bool closes = (a == head && b == tail) || (a == tail && b == head);
            if (closes) {
                // Appended below; the ring is closed.
            } else if (a == head) {
                head = b;
            } else if (a == tail) {
                tail = b;
            } else if (b == head) {
                head = a;
            } else if (b == tail) {
                tail = a;
            } else {
                continue;
            }
            ringIds.push_back(candidate->id);
            ringPoints.insert(ringPoints.end(), candidate->points.begin(), candidate->points.end());
            candidates.erase(candidate);
            isChaining = !closes;
            break;
        }
    }

    // The ring's extent.
    std::vector<GeoPoint> sorted = ringPoints;
    SortCoordinates(sorted);
    const GeoPoint min = sorted.front();
    const GeoPoint max = sorted.back();
    const GeoPoint c{(min.x + max.x) / 2.0f, (min.y + max.y) / 2.0f};
    const double dx = (max.x - min.x) * std::cos(max.y * kPi / 180.0);
    const double dy = max.y - min.y;
    const double size = dx > dy ? dx : dy;
    m_modelExtent = {static_cast<float>(c.x - (size + kRingMargin)),
                     static_cast<float>(c.y - (size + kRingMargin)),
                     static_cast<float>(c.x + (size + kRingMargin)),
                     static_cast<float>(c.y + (size + kRingMargin))};

    // The arms: the other roads that touch the ring.
    m_map->QueryRoads({m_modelExtent[0], m_modelExtent[1], m_modelExtent[2], m_modelExtent[3]},
                      candidates);
    std::erase_if(candidates, [&](const JunctionMapElement& e) {
        return std::find(ringIds.begin(), ringIds.end(), e.id) != ringIds.end() ||
               IsNoArmType(e.typeCode);
    });
    for (const JunctionMapElement& candidate : candidates) {
        if (!IsUsableGeometry(candidate.points)) {
            RejectMapData(candidate.id, u"has an arm point that is not a position");
            return;
        }
    }
    std::vector<Arm> arms;
    for (std::size_t k = candidates.size(); k-- > 0;) {
        const JunctionMapElement& candidate = candidates[k];
        const auto q =
            candidate.points.empty()
                ? ringPoints.end()
                : std::find_if(ringPoints.begin(), ringPoints.end(), [&](const GeoPoint& r) {
                      return r == candidate.points.front() || r == candidate.points.back();
                  });
        if (q == ringPoints.end()) {
            candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(k));
            continue;
        }
        Arm arm{*q, *q};
        switch (ArmDirection(candidate, ringPoints)) {
        case 0:
            arm.exitId = candidate.id;
            break;
        case 2:
            arm.entryId = candidate.id;
            arm.exitId = candidate.id;
            break;
        default:
            arm.entryId = candidate.id;
            break;
        }
        arms.push_back(arm);
    }

    // Carriageway pairs: two arms that meet away from the ring become one spoke.
    for (std::size_t k = candidates.size(); k-- > 0;) {
        const JunctionMapElement& ek = candidates[k];
        const GeoPoint ak = ek.points.front();
        const GeoPoint bk = ek.points.back();
        for (std::size_t m = candidates.size(); m-- > 0;) {
            if (m == k) {
                continue;
            }
            const JunctionMapElement& em = candidates[m];
            const GeoPoint am = em.points.front();
            const GeoPoint bm = em.points.back();
            Arm arm;
            if (ak == am) {
                arm = {bk, bm};
            } else if (ak == bm) {
                arm = {bk, am};
            } else if (bk == am) {
                arm = {ak, bm};
            } else if (bk == bm) {
                arm = {ak, am};
            } else {
                continue;
            }
            arm.isMerged = true;
            // Undecided or two-way pairs get no entry or exit: one spoke for both.
            switch (ArmDirection(ek, ringPoints)) {
            case 1:
                arm.entryId = ek.id;
                arm.exitId = em.id;
                break;
            case 0:
                arm.entryId = em.id;
                arm.exitId = ek.id;
                break;
            default:
                break;
            }
            arms.push_back(arm);
            for (std::size_t i = arms.size() - 1; i-- > 0;) {
                const GeoPoint f = arms[i].first;
                if (f == ak || f == bk || f == am || f == bm) {
                    arms.erase(arms.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(k));
            break;
        }
    }

    // Entry and exit.
    m_junctionCentre = c;
    const auto endOf = [](const Arm& arm) {
        return arm.first == arm.second ? arm.second
                                       : GeoPoint{(arm.first.x + arm.second.x) / 2.0f,
                                                  (arm.first.y + arm.second.y) / 2.0f};
    };
    const RouteRecord exitStep = FindRingExit(m_followingStep);
    std::ptrdiff_t entryIndex = -1;
    std::ptrdiff_t exitIndex = -1;
    for (std::size_t i = 0; i < arms.size(); ++i) {
        if (entryIndex < 0 && IsStep(m_followingStep) &&
            arms[i].entryId == m_followingStep.linkId) {
            entryIndex = static_cast<std::ptrdiff_t>(i);
        }
        if (exitIndex < 0 && IsStep(exitStep) && arms[i].exitId == exitStep.linkId) {
            exitIndex = static_cast<std::ptrdiff_t>(i);
        }
    }
    m_exitSpoke = junctionview::UnsetSegment();
    GeoPoint from;
    if (entryIndex < 0) {
        from = {m_approachStep.x, m_approachStep.y};
        if (!IsUsablePoint(from)) {
            RejectMapData(m_approachStep.linkId, u"is entered at a point that is not a position");
            return;
        }
    } else {
        from = endOf(arms[static_cast<std::size_t>(entryIndex)]);
    }
    m_approachSegment = {0, from.x, from.y, c.x, c.y};
    if (exitIndex < 0) {
        const std::vector<GeoPoint> last = GetStepGeometry(GetLastRouteStep());
        if (!last.empty() && IsUsablePoint(last.back())) {
            m_exitSpoke.x2 = last.back().x;
            m_exitSpoke.y2 = last.back().y;
        }
    }

    // One spoke per arm, all of the same length.
    const double reach = kSpokeLength + kRingMargin;
    m_modelExtent = {static_cast<float>(c.x - reach), static_cast<float>(c.y - reach),
                     static_cast<float>(c.x + reach), static_cast<float>(c.y + reach)};
    for (std::size_t i = 0; i < arms.size(); ++i) {
        const double angle = SpokeDirection(c, endOf(arms[i]));
        JunctionSegment spoke{static_cast<std::uint32_t>(i), c.x, c.y,
                              static_cast<float>(c.x + kSpokeLength * std::cos(angle)),
                              static_cast<float>(c.y + kSpokeLength * std::sin(angle))};
        const auto index = static_cast<std::ptrdiff_t>(i);
        if (index == entryIndex || index == exitIndex) {
            if (index == exitIndex) {
                if (ContainsRouteElement(exitStep.linkId)) {
                    spoke.streetId = exitStep.linkId;
                }
                m_exitSpoke = spoke;
            }
            m_routeSegments.push_back(spoke);
        } else if (arms[i].isMerged || arms[i].entryId == arms[i].exitId || arms[i].entryId == 0) {
            m_sideSegments.push_back(spoke);
        } else {
            m_extraSegments.push_back(spoke);
        }
    }
    m_isRoundabout = true;
}
