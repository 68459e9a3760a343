// The matcher's update pipeline: tunnel states, the jump restart, the decision to match, street
// and route matching, the choice between them, and the result handed out.
#include "positioning/candidates.h"
#include "positioning/mapmatcher.h"
#include "positioning/pathfollower.h"
#include "utilities/usefulcode/segmentgeometry.h"

#include "platform/kernel/time.h"

#include <algorithm>

namespace {

constexpr std::uint16_t kFastKmh = 70;
constexpr std::uint16_t kRetryRadius = 60;
constexpr int kCreepHeading = 10;
constexpr std::int32_t kCreepMetres = 3;
// How far from its held street a standing vehicle's fix may wander (the receiver's scatter).
constexpr float kStandingReachMetres = 15.0f;

MatchRecord FromFix(const GpsFix& fix, bool offNetwork) {
    MatchRecord r;
    r.time = fix.utcTime;
    r.raw = {fix.longitude, fix.latitude};
    r.course = fix.course;
    r.speed = fix.speed;
    r.hdop = fix.hdop;
    r.satellites = static_cast<std::uint8_t>(fix.satellites & 0xFF);
    r.spareStatus = fix.spareStatus;
    r.tick = fix.tick;
    r.snapped = r.raw;
    r.predicted = r.raw;
    r.heading = fix.course;
    r.flags = offNetwork ? MatchRecord::kOffNetwork : 0;
    return r;
}

} // namespace

void HoldStreet(const MatchRecord& held, MatchRecord& r) {
    MatchRecord result = held;
    result.time = r.time;
    result.raw = r.raw;
    result.course = r.course;
    result.speed = r.speed;
    result.hdop = r.hdop;
    result.satellites = r.satellites;
    result.spareStatus = r.spareStatus;
    result.tick = r.tick;
    r = result;
}

void MapMatcher::UpdateTunnelState(const MatchRecord& r) {
    // A fix without a time (0: a receiver without a fix sends none) dates neither end of an
    // outage nor the recovery after it: the outage runs from the newest time delivered before it
    // to the first one after it, from its end when no fix before it had one.
    if (r.satellites > 2) {
        if (m_recovering) {
            if (r.time == 0) {
                return;
            }
            if (m_tunnelEnd == 0) {
                m_tunnelEnd = r.time;
            }
            if (m_tunnelStart == 0) {
                m_tunnelStart = m_tunnelEnd;
            }
            const std::uint32_t duration = m_tunnelEnd - m_tunnelStart;
            const std::uint32_t allowance =
                duration < m_settings.tunnelCriteriaTime
                    ? 0
                    : std::min(duration, m_settings.maxTunnelRecoverTime);
            if (r.time - m_tunnelEnd > allowance) {
                m_recovering = false;
            }
        } else if (m_lost) {
            m_lost = false;
            m_recovering = true;
            m_tunnelEnd = r.time;
        }
    } else if (!m_simpleMode) {
        if (!m_lost) {
            m_tunnelStart = m_lastTime;
        }
        m_lost = true;
        m_recovering = false;
    }
}

int MapMatcher::Update(const std::vector<GpsFix>& fixes) {
    if (fixes.empty()) {
        return 0;
    }
    const auto offNetwork = [this] {
        return m_history.IsShort() || m_history.Newest().IsOffNetwork();
    };
    for (std::size_t i = 0; i + 1 < fixes.size(); ++i) {
        m_history.Append(FromFix(fixes[i], offNetwork()));
    }
    MatchRecord r = FromFix(fixes.back(), offNetwork());
    UpdateTunnelState(r);
    m_lastFix = fixes.back();
    if (m_lastFix.utcTime != 0) {
        m_lastTime = m_lastFix.utcTime;
    }
    const bool tunnel = m_lost || m_recovering;
    if (!m_history.IsShort() && !tunnel &&
        Distance(m_history.Newest().raw, r.raw) > static_cast<float>(m_settings.areaSize)) {
        m_history.Clear();
    }
    m_evaluationTick = GetTickCount();
    if (!tunnel) {
        SetSearchArea(r);
        r.searchRadius = SearchRadius(r);
        FetchCandidates(r);
    }
    m_streetsNear = false;
    // An emptied history keeps its old records; none of them is the previous one.
    const MatchRecord previous = m_history.Index() < 0 ? MatchRecord{} : m_history.Newest();
    if (!m_history.IsShort()) {
        MatchNewRecord(r);
    }
    bool bookkeeping = true;
    SetResultFlags(r, previous, bookkeeping);
    if (bookkeeping && r.HasStreet()) {
        const auto street = static_cast<std::uint32_t>(r.street);
        m_graph.RaiseWeight(street, r.segmentStart, r.segmentEnd);
        for (PathHypothesis& h : m_hypotheses) {
            if (h.street == street && !h.points.empty() && h.points.back() == r.segmentEnd) {
                ++h.count;
            }
        }
    }
    if (r.HasStreet() && r.tick != 0) {
        Extrapolate(*this, r, GetTickCount() - r.tick);
    }
    m_history.Append(r);
    return r.HasStreet() ? 1 : 0;
}

void MapMatcher::MatchNewRecord(MatchRecord& r) {
    std::vector<std::uint32_t> near;
    if (!ShouldMatch(r)) {
        m_streetsNear = CollectStreetsNear(*this, near);
        r.flags |= MatchRecord::kOffNetwork;
        return;
    }
    const std::uint32_t trackLength =
        m_simpleMode ? m_settings.trackLength / 2 : m_settings.trackLength;
    MatchRecord c = r;
    MatchRecord a = r;
    const MatchRecord b = r;
    const std::uint16_t radius = c.searchRadius;
    const float largest = LargestRecentOffset();
    if (c.speed > kFastKmh && largest > static_cast<float>(c.searchRadius) - 10.0f) {
        c.searchRadius = static_cast<std::uint16_t>(std::min(largest + 20.0f, 65535.0f));
    }
    bool matched = StreetMatch(*this, c, trackLength);
    if (!matched) {
        if (m_simpleMode) {
            c.searchRadius = kRetryRadius;
        } else {
            m_hypotheses.clear();
        }
        matched = StreetMatch(*this, c, trackLength);
    }
    if (!matched) {
        c.searchRadius = radius;
        m_hypotheses.clear();
        matched = StreetMatch(*this, c, trackLength);
    }
    m_streetsNear = m_streetsNear || matched;
    PruneHypotheses(*this, c);
    if (!m_simpleMode && !RouteMatch(*this, a, trackLength) && !m_streetsNear) {
        m_streetsNear = CollectStreetsNear(*this, near);
    }
    r = ChooseResult(a, b, c);
}

void MapMatcher::SetResultFlags(MatchRecord& r, const MatchRecord& previous,
                                bool& bookkeeping) const {
    r.flags |= MatchRecord::kProcessed;
    bool offNetwork = !m_streetsNear;
    if (!r.HasStreet()) {
        if (previous.IsOffNetwork()) {
            offNetwork = true;
            bookkeeping = false;
        } else if (!previous.HasStreet()) {
            offNetwork = true;
        }
    }
    r.flags = static_cast<std::uint8_t>(offNetwork ? r.flags | MatchRecord::kOffNetwork
                                                   : r.flags & ~MatchRecord::kOffNetwork);
}

bool MapMatcher::ShouldMatch(MatchRecord& r) const {
    if (m_lost || m_recovering) {
        return false;
    }
    const MatchRecord& previous = m_history.Newest();
    const std::uint32_t tolerance =
        previous.IsOffNetwork() ? m_settings.nonDigitizedSpeedTolerance : m_settings.speedTolerance;
    if (r.speed > tolerance) {
        return true;
    }
    if (!previous.IsProcessed() || (!previous.HasStreet() && !previous.IsOffNetwork())) {
        return true;
    }
    if (previous.IsOffNetwork()) {
        r.flags |= MatchRecord::kOffNetwork;
        return false;
    }
    // A vehicle that stops where its street is not held (the fixes before the stop implied
    // speeds unlike those reported, so their street stayed behind the car) is matched where it
    // stands.
    const GeoPoint nearest =
        ClosestPointOnSegment(r.raw, previous.segmentStart, previous.segmentEnd);
    if (Distance(r.raw, nearest) > kStandingReachMetres) {
        return true;
    }
    HoldStreet(previous, r);
    if (!m_simpleMode) {
        return false;
    }
    // A slow vehicle creeping along its street moves the held point forward, never back.
    const GeoPoint foot = ClosestPointOnSegment(r.raw, previous.segmentStart, previous.segmentEnd);
    if (HeadingDifference(r.course, previous.heading) < kCreepHeading &&
        WholeMetres(Distance(previous.snapped, foot)) >= kCreepMetres &&
        WholeMetres(Distance(foot, previous.segmentEnd)) <
            WholeMetres(Distance(previous.snapped, previous.segmentEnd))) {
        r.snapped = foot;
        r.predicted = foot;
    }
    return false;
}

MatchRecord MapMatcher::ChooseResult(const MatchRecord& a, const MatchRecord& b,
                                     const MatchRecord& c) const {
    if (!a.HasStreet()) {
        if (!b.HasStreet() && !c.HasStreet()) {
            return c;
        }
        if (b.HasStreet() && !c.HasStreet()) {
            return b;
        }
    } else if (!b.HasStreet() && !c.HasStreet()) {
        return a;
    }
    const auto score = [this](const MatchRecord& r) {
        float total = r.error;
        if (r.HasStreet()) {
            MatchCandidate candidate;
            candidate.record = r;
            total += static_cast<float>(HeadingPenalty(*this, candidate) +
                                        DistancePenalty(*this, candidate));
        }
        return total;
    };
    const float scoreA = score(a);
    const float scoreB = score(b);
    const float scoreC = score(c);
    const auto tolerance = static_cast<float>(m_settings.routeTolerance);
    if (std::abs(scoreA - scoreB) < tolerance && std::abs(scoreA - scoreC) < tolerance) {
        return a;
    }
    return scoreC < scoreB ? c : b;
}

int MapMatcher::HeadingTolerance(const MatchRecord& r) const {
    if (r.IsOffNetwork()) {
        return m_simpleMode ? 8 : 10;
    }
    int lastCourse = 180;
    for (std::size_t i = 0; i < m_history.WalkLength(); ++i) {
        const MatchRecord& h = m_history.NewestFirst(i);
        if (h.speed >= m_settings.speedTolerance) {
            lastCourse = h.course;
            break;
        }
    }
    const int diff = HeadingDifference(r.course, lastCourse);
    const auto courseChange = static_cast<int>(m_settings.courseChangeHeadingTolerance);
    const auto normal = static_cast<int>(m_settings.normalHeadingTolerance);
    if (r.speed >= m_settings.speedTolerance) {
        if (diff > 90) {
            return m_simpleMode ? 60 : 180;
        }
        if (diff > static_cast<int>(m_settings.courseChangeCriteria)) {
            return courseChange;
        }
        return r.speed >= 3 * m_settings.speedTolerance ? normal : courseChange;
    }
    return std::max(normal, diff + 10);
}

float MapMatcher::SearchDistance(const MatchRecord& r) const {
    const MatchRecord& previous = m_history.Newest();
    const auto radius = static_cast<float>(r.searchRadius);
    if (!m_simpleMode) {
        if (previous.IsOffNetwork() && r.speed < 30) {
            return std::max(0.75f * radius, 50.0f);
        }
        return radius;
    }
    if (previous.IsOffNetwork() && previous.speed < 70) {
        return std::min(previous.speed < 46 ? 30.0f : 40.0f, radius);
    }
    return std::max(radius, 30.0f);
}

MatchedPosition MapMatcher::GetResult() const {
    MatchedPosition result;
    result.fix = m_lastFix;
    const MatchRecord& newest = m_history.Newest();
    if (m_history.Index() < 0) {
        return result;
    }
    result.matched = newest.predicted;
    result.segmentStart = newest.predictedStart;
    result.segmentEnd = newest.predictedEnd;
    result.heading = newest.heading;
    result.speed = newest.speed;
    result.street = m_history.IsShort() ? MatchedPosition::kNoStreet : newest.street;
    result.displayStreet = result.street;
    if (result.displayStreet == MatchedPosition::kNoStreet) {
        std::vector<std::uint32_t> near;
        if (CollectStreetsNear(*this, near)) {
            result.displayStreet = static_cast<std::int32_t>(near.front());
        }
    }
    result.streetsNear = StreetsNear() ? 1 : 0;
    return result;
}

bool MapMatcher::StreetsNear() const {
    if (!m_lost && !m_recovering) {
        return m_streetsNear;
    }
    std::vector<std::uint32_t> near;
    return CollectStreetsNear(*this, near);
}

void MapMatcher::SetRoute(const RouteIteratorPtr& route) {
    m_routeMarks.clear();
    if (route) {
        // The caller's cursor stays where it is.
        const RouteIteratorPtr copy = route->Clone();
        RouteIterator& records = copy ? *copy : *route;
        for (; records.IsValid(); records.Next()) {
            const RouteRecord& record = records.Current();
            m_routeMarks.push_back({GeoPoint{}, record.linkId, 0});
            if (m_routeMarks.size() == 2) {
                m_referencePoint = {record.x, record.y};
            }
        }
    }
    if (!m_simpleMode) {
        AlignRouteMarks(*this);
    }
}

void MapMatcher::Reset() {
    m_routeMarks.clear();
    m_simpleMode = true;
    m_evaluationCounter = 0;
    m_history.Clear();
    m_graph.Clear();
}

void MapMatcher::OnMapChanged() {
    Reset();
}
