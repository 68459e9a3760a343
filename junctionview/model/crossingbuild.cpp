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

using junctionview::RingArm;
using Arm = RingArm;

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
    if (EnterRoundabout(afterStep)) {
        return !m_isRejected;
    }
    return BuildOrdinary(radius, points);
}

bool CrossingModel::EnterRoundabout(const RouteRecord& afterStep) {
    if (HasRing(m_junctionRecord)) {
        WalkBackToRingEntry();
    } else if (HasRing(m_followingStep)) {
        (void)m_routeCursor->Next();
        m_approachStep = m_junctionRecord; // the last step before the ring
    } else if (HasRing(afterStep) &&
               (m_followingStep.elementAttributes & maprecord::kLookedPast) != 0) {
        (void)m_routeCursor->Next();
        (void)m_routeCursor->Next();
        m_approachStep = m_followingStep;
    } else {
        return false;
    }
    BuildRoundabout();
    return true;
}

void CrossingModel::WalkBackToRingEntry() {
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
}

bool CrossingModel::ReadWalkStep(const RouteIteratorPtr& w, const RouteRecord& step,
                                 std::vector<GeoPoint>& points, double& d1, double& d2) {
    if (!w->GetItemPolyline(RouteItemRef(step), points) || points.empty()) {
        return false;
    }
    if (!IsUsableGeometry(points)) {
        RejectMapData(step.linkId, u"has a route point that is not a position");
        return false;
    }
    const GeoPoint c = m_junctionCentre;
    d1 = HaversineDistance(c.x, c.y, points.front().x, points.front().y);
    d2 = HaversineDistance(c.x, c.y, points.back().x, points.back().y);
    return true;
}

bool CrossingModel::BuildOrdinary(double radius, const std::vector<GeoPoint>& following) {
    if (following.empty()) {
        RejectMapData(m_followingStep.linkId, u"after the junction has no geometry");
        return false;
    }
    if (!IsUsableGeometry(following)) {
        RejectMapData(m_followingStep.linkId, u"has a route point that is not a position");
        return false;
    }
    m_junctionCentre = following.front();
    const GeoPoint centre = m_junctionCentre;
    const double r = radius / junctionview::kMetresPerDegree;
    m_modelExtent = {static_cast<float>(centre.x + r * std::cos(kPi)),
                     static_cast<float>(centre.y + r * std::sin(3.0 * kPi / 2.0)),
                     static_cast<float>(centre.x + r * std::cos(0.0)),
                     static_cast<float>(centre.y + r * std::sin(kPi / 2.0))};
    if (!WalkBackward(radius)) {
        return false;
    }
    AddStepRoads(m_routeCursor->Clone(), m_junctionRecord, false);
    if (m_isRejected) {
        return false;
    }
    if (m_routeSegments.empty()) {
        RejectMapData(m_junctionRecord.linkId, u"leaves no route segment before the junction");
        return false;
    }
    m_approachSegment = m_routeSegments.back();
    return WalkForward(radius);
}

bool CrossingModel::WalkBackward(double radius) {
    std::vector<JunctionSegment> holding;
    std::vector<GeoPoint> points;
    double d1 = 0.0;
    double d2 = 0.0;
    const RouteIteratorPtr w = m_routeCursor->Clone();
    if (!w) {
        return false;
    }
    RouteRecord previous = m_junctionRecord;
    for (;;) {
        (void)w->Previous();
        const RouteRecord current = w->IsValid() ? w->Current() : junctionview::ZeroStep();
        if (!IsStep(current) || current.linkId == previous.linkId ||
            !ReadWalkStep(w, current, points, d1, d2)) {
            break;
        }
        if (d1 < radius || d2 < radius) {
            for (std::size_t i = points.size() - 1; i >= 1; --i) {
                holding.push_back(
                    {current.linkId, points[i - 1].x, points[i - 1].y, points[i].x, points[i].y});
            }
            AddStepRoads(w, current, true);
        }
        previous = current;
        if (m_isRejected || !(d1 < radius && d2 < radius)) {
            break;
        }
    }
    if (m_isRejected) {
        return false;
    }
    // From the farthest point towards the junction.
    m_routeSegments.assign(holding.rbegin(), holding.rend());
    return true;
}

bool CrossingModel::WalkForward(double radius) {
    std::vector<GeoPoint> points;
    double d1 = 0.0;
    double d2 = 0.0;
    const RouteIteratorPtr w = m_routeCursor->Clone();
    if (!w) {
        return false;
    }
    (void)w->Next();
    RouteRecord current = w->IsValid() ? w->Current() : junctionview::ZeroStep();
    RouteRecord previous = m_junctionRecord;
    // The streets meeting the last step taken are not shown.
    std::size_t sideCount = 0;
    std::size_t extraCount = 0;
    while (IsStep(current) && current.linkId != previous.linkId &&
           ReadWalkStep(w, current, points, d1, d2)) {
        if (d1 < radius || d2 < radius) {
            junctionview::AppendSegments(m_routeSegments, current.linkId, points);
            sideCount = m_sideSegments.size();
            extraCount = m_extraSegments.size();
            AddStepRoads(w, current, true);
        }
        previous = current;
        if (m_isRejected || !w->Next() || !w->IsValid()) {
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

namespace {

// An element of the list whose geometry is unusable; null when there is none.
const JunctionMapElement* Unusable(const std::vector<JunctionMapElement>& elements) {
    const auto found =
        std::find_if(elements.begin(), elements.end(),
                     [](const JunctionMapElement& e) { return !IsUsableGeometry(e.points); });
    return found == elements.end() ? nullptr : &*found;
}

// Chains the ring's candidates onto the start element at their ends, until the ring closes or
// nothing more fits: ids and points in chain order.
void ChainRing(const JunctionMapElement& start, std::vector<JunctionMapElement> candidates,
               std::vector<std::uint32_t>& ringIds, std::vector<GeoPoint>& ringPoints) {
    ringIds = {start.id};
    ringPoints = start.points;
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
}

// The arms touching the ring at one of its points, candidates from the last to the first; the
// candidates that touch nothing are removed.
std::vector<Arm> TouchingArms(const CrossingModel& model,
                              std::vector<JunctionMapElement>& candidates,
                              const std::vector<GeoPoint>& ringPoints) {
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
        switch (model.ArmDirection(candidate, ringPoints)) {
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
    return arms;
}

// The arm of two candidates that meet away from the ring (a carriageway pair); false when they
// do not meet.
bool PairArm(const JunctionMapElement& k, const JunctionMapElement& m, Arm& arm) {
    const GeoPoint ak = k.points.front();
    const GeoPoint bk = k.points.back();
    const GeoPoint am = m.points.front();
    const GeoPoint bm = m.points.back();
    if (ak == am) {
        arm = {bk, bm};
    } else if (ak == bm) {
        arm = {bk, am};
    } else if (bk == am) {
        arm = {ak, bm};
    } else if (bk == bm) {
        arm = {ak, am};
    } else {
        return false;
    }
    arm.isMerged = true;
    return true;
}

// Carriageway pairs become one arm each, in place of their two single arms.
void MergePairs(const CrossingModel& model, std::vector<JunctionMapElement>& candidates,
                const std::vector<GeoPoint>& ringPoints, std::vector<Arm>& arms) {
    for (std::size_t k = candidates.size(); k-- > 0;) {
        const JunctionMapElement& ek = candidates[k];
        for (std::size_t m = candidates.size(); m-- > 0;) {
            Arm arm;
            if (m == k || !PairArm(ek, candidates[m], arm)) {
                continue;
            }
            const JunctionMapElement& em = candidates[m];
            // Undecided or two-way pairs get no entry or exit: one spoke for both.
            switch (model.ArmDirection(ek, ringPoints)) {
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
            const GeoPoint ends[] = {ek.points.front(), ek.points.back(), em.points.front(),
                                     em.points.back()};
            for (std::size_t i = arms.size() - 1; i-- > 0;) {
                if (std::find(std::begin(ends), std::end(ends), arms[i].first) != std::end(ends)) {
                    arms.erase(arms.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(k));
            break;
        }
    }
}

// Pairs, two-way and exit-only arms are shown beside the route; entry-only arms apart.
bool IsSideArm(const Arm& arm) {
    return arm.isMerged || arm.entryId == arm.exitId || arm.entryId == 0;
}

GeoPoint EndOf(const Arm& arm) {
    return arm.first == arm.second
               ? arm.second
               : GeoPoint{(arm.first.x + arm.second.x) / 2.0f, (arm.first.y + arm.second.y) / 2.0f};
}

} // namespace

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
    if (const JunctionMapElement* bad = Unusable(candidates)) {
        RejectMapData(bad->id, u"has a ring point that is not a position");
        return;
    }
    std::vector<std::uint32_t> ringIds;
    std::vector<GeoPoint> ringPoints;
    ChainRing(start, std::move(candidates), ringIds, ringPoints);

    // The ring's extent.
    std::vector<GeoPoint> sorted = ringPoints;
    SortCoordinates(sorted);
    const GeoPoint min = sorted.front();
    const GeoPoint max = sorted.back();
    const GeoPoint c{(min.x + max.x) / 2.0f, (min.y + max.y) / 2.0f};
    const double dx = (max.x - min.x) * std::cos(max.y * kPi / 180.0);
    const double dy = max.y - min.y;
    const double size = (dx > dy ? dx : dy) + kRingMargin;
    m_modelExtent = {static_cast<float>(c.x - size), static_cast<float>(c.y - size),
                     static_cast<float>(c.x + size), static_cast<float>(c.y + size)};

    // The arms: the other roads that touch the ring.
    m_map->QueryRoads({m_modelExtent[0], m_modelExtent[1], m_modelExtent[2], m_modelExtent[3]},
                      candidates);
    std::erase_if(candidates, [&](const JunctionMapElement& e) {
        return std::find(ringIds.begin(), ringIds.end(), e.id) != ringIds.end() ||
               IsNoArmType(e.typeCode);
    });
    if (const JunctionMapElement* bad = Unusable(candidates)) {
        RejectMapData(bad->id, u"has an arm point that is not a position");
        return;
    }
    std::vector<Arm> arms = TouchingArms(*this, candidates, ringPoints);
    MergePairs(*this, candidates, ringPoints, arms);
    m_junctionCentre = c;
    PlaceSpokes(arms);
}

bool CrossingModel::SetApproach(const std::vector<RingArm>& arms, std::ptrdiff_t entryIndex,
                                std::ptrdiff_t exitIndex) {
    const GeoPoint c = m_junctionCentre;
    m_exitSpoke = junctionview::UnsetSegment();
    GeoPoint from;
    if (entryIndex < 0) {
        from = {m_approachStep.x, m_approachStep.y};
        if (!IsUsablePoint(from)) {
            RejectMapData(m_approachStep.linkId, u"is entered at a point that is not a position");
            return false;
        }
    } else {
        from = EndOf(arms[static_cast<std::size_t>(entryIndex)]);
    }
    m_approachSegment = {0, from.x, from.y, c.x, c.y};
    if (exitIndex < 0) {
        // The route's end stands in for the exit.
        const std::vector<GeoPoint> last = GetStepGeometry(GetLastRouteStep());
        if (!last.empty() && IsUsablePoint(last.back())) {
            m_exitSpoke.x2 = last.back().x;
            m_exitSpoke.y2 = last.back().y;
        }
    }
    return true;
}

void CrossingModel::PlaceSpokes(const std::vector<Arm>& arms) {
    const GeoPoint c = m_junctionCentre;
    const RouteRecord exitStep = FindRingExit(m_followingStep);
    const auto indexOf = [&](const RouteRecord& step, std::uint32_t RingArm::*id) {
        if (!IsStep(step)) {
            return std::ptrdiff_t{-1};
        }
        const auto found = std::find_if(arms.begin(), arms.end(),
                                        [&](const Arm& arm) { return arm.*id == step.linkId; });
        return found == arms.end() ? std::ptrdiff_t{-1} : found - arms.begin();
    };
    const std::ptrdiff_t entryIndex = indexOf(m_followingStep, &RingArm::entryId);
    const std::ptrdiff_t exitIndex = indexOf(exitStep, &RingArm::exitId);
    if (!SetApproach(arms, entryIndex, exitIndex)) {
        return;
    }

    // One spoke per arm, all of the same length.
    const double reach = kSpokeLength + kRingMargin;
    m_modelExtent = {static_cast<float>(c.x - reach), static_cast<float>(c.y - reach),
                     static_cast<float>(c.x + reach), static_cast<float>(c.y + reach)};
    for (std::size_t i = 0; i < arms.size(); ++i) {
        const double angle = SpokeDirection(c, EndOf(arms[i]));
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
        } else {
            (IsSideArm(arms[i]) ? m_sideSegments : m_extraSegments).push_back(spoke);
        }
    }
    m_isRoundabout = true;
}
