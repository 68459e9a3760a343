#include "positioning/pathfollower.h"

#include "positioning/candidates.h"
#include "positioning/mapmatcher.h"
#include "utilities/usefulcode/segmentgeometry.h"

#include "platform/kernel/time.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kBranchLength = 5.0f;     // metres walked past a junction to reach its branches
constexpr std::size_t kDeepStack = 5;     // descent stops this deep once enough paths came out
constexpr std::size_t kEnoughPaths = 16;  //
constexpr std::size_t kBudgetEvery = 256; // pushes between looks at the evaluation budget
constexpr std::uint32_t kBudgetMs = 1000;
constexpr std::size_t kDroppedPoints = 32;

int Degrees(float bearing) {
    return static_cast<int>(bearing);
}

bool BudgetSpent(const MapMatcher& matcher) {
    return GetTickCount() - matcher.EvaluationTick() > kBudgetMs;
}

} // namespace

PathFollower::PathFollower(const MapMatcher& matcher, const PathHypothesis& start,
                           const GeoPoint& offset, const GeoPoint& position,
                           const FollowLimits& limits)
    : m_matcher(matcher)
    , m_graph(matcher.Graph())
    , m_position(position)
    , m_path(start)
    , m_limits(limits) {
    if (start.points.empty()) {
        m_fresh = true;
        Seed();
        return;
    }
    if (start.points.size() < 2) {
        return;
    }
    const GeoPoint& a = start.points[start.points.size() - 2];
    const GeoPoint& b = start.points.back();
    const GeoPoint expected{start.snapped.x + offset.x, start.snapped.y + offset.y};
    m_target = matcher.Distance(start.snapped, expected);
    m_current = matcher.Distance(start.snapped, b);
    m_lengths.push_back(m_current);
    const GraphLookup end = m_graph.FindNode(b);
    if (m_current > m_target) {
        if (HeadingDifference(Degrees(matcher.Bearing(a, b)), m_limits.course) <=
            m_limits.tolerance) {
            if (matcher.Distance(expected, position) > m_limits.searchDistance) {
                return;
            }
            m_path.snapped = ClosestPointOnSegment(expected, a, b);
            m_active = true;
            if (m_current < m_target + kBranchLength && end.found &&
                m_graph.Node(end.index).links.size() >= 3) {
                m_stack.emplace_back(&m_graph.Node(end.index), -1);
                m_target = kBranchLength;
                m_current = 0.0f;
            }
            return;
        }
        m_current = 0.0f;
        m_target = kBranchLength;
    }
    if (!end.found) {
        return;
    }
    const GraphNode& node = m_graph.Node(end.index);
    m_stack.emplace_back(&node, -1);
    if (node.links.size() < 3) {
        Extend();
    } else {
        m_active = true;
    }
}

bool PathFollower::Qualifies(const GraphNode& node, std::size_t link, GeoPoint& foot) const {
    const GraphLink& l = node.links[link];
    if (l.direction == GraphLink::kOneWayAgainst) {
        return false;
    }
    if (HeadingDifference(Degrees(m_matcher.Bearing(node.point, l.other->point)), m_limits.course) >
        m_limits.tolerance) {
        return false;
    }
    foot = ClosestPointOnSegment(m_position, node.point, l.other->point);
    return m_matcher.Distance(m_position, foot) <= m_limits.searchDistance;
}

void PathFollower::Seed() {
    m_active = false;
    for (; m_seedNode < m_graph.NodeCount(); ++m_seedNode, m_seedLink = 0) {
        const GraphNode& node = m_graph.Node(m_seedNode);
        for (; m_seedLink < node.links.size(); ++m_seedLink) {
            GeoPoint foot;
            if (!Qualifies(node, m_seedLink, foot)) {
                continue;
            }
            const GraphLink& link = node.links[m_seedLink];
            m_path.points = {node.point, link.other->point};
            m_path.street = link.elementId;
            m_path.snapped = foot;
            m_path.count = link.weight;
            ++m_seedLink;
            m_active = true;
            return;
        }
    }
}

bool PathFollower::OverBudget() const {
    return m_pushes >= m_limits.pushLimit ||
           (m_pushes % kBudgetEvery == 0 && BudgetSpent(m_matcher));
}

void PathFollower::Pop() {
    m_current -= m_lengths.back();
    m_lengths.pop_back();
    m_stack.pop_back();
    m_path.points.pop_back();
}

void PathFollower::Extend() {
    m_active = false;
    if (m_current > m_target && m_stack.size() < 2) {
        return;
    }
    for (;;) {
        if (m_stack.size() > 1) {
            Pop();
        }
        bool descended = true;
        while (descended) {
            descended = false;
            auto& [node, index] = m_stack.back();
            const GraphNode* from = node;
            while (++index < static_cast<std::ptrdiff_t>(from->links.size())) {
                const GraphLink& link = from->links[static_cast<std::size_t>(index)];
                if (link.direction == GraphLink::kOneWayAgainst) {
                    continue;
                }
                if (OverBudget()) {
                    return;
                }
                ++m_pushes;
                const float d = m_matcher.Distance(from->point, link.other->point);
                m_current += d;
                m_lengths.push_back(d);
                m_path.points.push_back(link.other->point);
                const auto linkIndex = static_cast<std::size_t>(index);
                m_stack.emplace_back(link.other, -1); // invalidates node and index
                if (m_current >= m_target) {
                    GeoPoint foot;
                    if (Qualifies(*from, linkIndex, foot)) {
                        m_path.snapped = foot;
                        m_path.street = from->links[linkIndex].elementId;
                        m_active = true;
                        return;
                    }
                    break;
                }
                if (m_emitted > kEnoughPaths && m_stack.size() > kDeepStack) {
                    break;
                }
                descended = true;
                break;
            }
        }
        if (m_stack.size() < 2) {
            return;
        }
    }
}

void PathFollower::Next() {
    if (m_fresh) {
        m_path.points.clear();
        Seed();
        return;
    }
    if (m_stack.empty()) {
        m_active = false;
        return;
    }
    Extend();
    if (m_active) {
        ++m_emitted;
    }
}

bool StreetMatch(MapMatcher& matcher, MatchRecord& r, std::uint32_t trackLength) {
    const MatchRecord& newest = matcher.History().Newest();
    FollowLimits limits;
    limits.tolerance = matcher.HeadingTolerance(r);
    limits.searchDistance = matcher.SearchDistance(r);
    limits.course = r.course;
    limits.pushLimit = matcher.PushLimit();
    if (Implausible(matcher, r, newest)) {
        MatchRecord kept = r;
        HoldStreet(newest, kept);
        const float metres = matcher.Distance(kept.raw, kept.snapped);
        if (metres <= MapMatcher::kFarKeptMetres) {
            r = kept;
            return true;
        }
        // The hypotheses stayed with the result given up: seed afresh around the fix.
        matcher.Hypotheses().clear();
    }
    const GeoPoint offset = r.raw - newest.raw;
    std::vector<PathHypothesis> paths;
    paths.reserve(kPathCandidates);
    const auto follow = [&](const PathHypothesis& start) {
        for (PathFollower follower(matcher, start, offset, r.raw, limits); follower.IsActive();
             follower.Next()) {
            paths.push_back(follower.Path());
        }
    };
    std::vector<PathHypothesis>& hypotheses = matcher.Hypotheses();
    if (hypotheses.empty()) {
        follow(PathHypothesis{});
    }
    for (const PathHypothesis& h : hypotheses) {
        if (!h.dead) {
            follow(h);
        }
    }
    if (paths.empty() || EvaluatePaths(matcher, r, trackLength, paths) != 2) {
        return false;
    }
    hypotheses = std::move(paths);
    return true;
}

namespace {

// The path's points from the last backwards while their length (from the third on) stays
// below the track length; stop is the index where the walk ended.
std::vector<GeoPoint> PathTail(const MapMatcher& matcher, const PathHypothesis& h,
                               std::uint32_t trackLength, std::size_t& stop) {
    std::vector<GeoPoint> tail;
    std::int64_t length = 0;
    std::size_t i = h.points.size();
    while (i > 0 && length < std::int64_t{trackLength}) {
        --i;
        tail.push_back(h.points[i]);
        if (tail.size() >= 3) {
            length += WholeMetres(matcher.Distance(tail[tail.size() - 2], tail.back()));
        }
    }
    stop = i;
    return tail;
}

} // namespace

int EvaluatePaths(MapMatcher& matcher, MatchRecord& r, std::uint32_t trackLength,
                  std::vector<PathHypothesis>& paths) {
    const MatcherSettings& settings = matcher.Settings();
    const MatchRecord& newest = matcher.History().Newest();
    int course = r.course;
    if (newest.IsProcessed() && newest.speed > settings.speedTolerance) {
        course = Degrees(matcher.Bearing(newest.raw, r.raw));
    }
    matcher.SetEvaluationCounter(0);
    std::vector<GeoPoint> track;
    const std::uint32_t length = TrackPolyline(matcher, r, trackLength, true, track);
    std::vector<MatchCandidate> list;
    list.reserve(kPathCandidates + 1);
    std::int32_t maximumCount = 0;
    for (PathHypothesis& h : paths) {
        if (h.points.size() < 2) {
            continue;
        }
        std::size_t stop = 0;
        const std::vector<GeoPoint> tail = PathTail(matcher, h, trackLength, stop);
        if (stop > kDroppedPoints && trackLength >= settings.trackLength) {
            h.points.erase(h.points.begin(),
                           h.points.begin() + static_cast<std::ptrdiff_t>(kDroppedPoints));
        }
        MatchCandidate c;
        c.record = r;
        c.record.flags = static_cast<std::uint8_t>(c.record.flags & ~MatchRecord::kProcessed);
        float e = matcher.IsSimpleMode() ? CompareWithPathAtFoot(matcher, tail, track, c, h.street)
                                         : CompareWithPath(matcher, tail, track, c, h.street);
        if (length < 30) {
            e += 0.1f * matcher.Distance(r.raw, c.record.snapped);
        }
        maximumCount = std::max(maximumCount, h.count);
        c.age = h.count;
        const int bearing = Degrees(matcher.Bearing(c.record.segmentStart, c.record.segmentEnd));
        const float total =
            e + static_cast<float>(std::min(HeadingDifference(course, bearing) / 5, 15));
        c.record.error = total;
        h.error = total;
        matcher.SetEvaluationCounter(matcher.EvaluationCounter() + 1);
        if (total < static_cast<float>(settings.bigThreshold)) {
            h.snapped = c.record.snapped;
            InsertCandidate(list, c, kPathCandidates);
        } else {
            h.dead = true;
        }
        if (BudgetSpent(matcher)) {
            matcher.SetEvaluationTick(GetTickCount());
            break;
        }
    }
    if (list.size() > kPathCandidates) {
        list.resize(kPathCandidates);
    }
    if (!SelectCandidate(matcher, list, r, length, maximumCount)) {
        return 1;
    }
    for (PathHypothesis& h : paths) {
        if (std::int64_t{h.street} == r.street && !h.points.empty() &&
            h.points.back() == r.segmentStart) {
            ++h.count;
        }
    }
    return 2;
}

void PruneHypotheses(MapMatcher& matcher, const MatchRecord& r) {
    std::vector<PathHypothesis>& hypotheses = matcher.Hypotheses();
    const float limit = matcher.IsSimpleMode() ? r.searchRadius : r.spareStatus;
    std::erase_if(hypotheses, [&](const PathHypothesis& h) {
        return h.dead || matcher.Distance(r.raw, h.snapped) > limit;
    });
    const auto lastLink = [](const PathHypothesis& h, std::size_t k) {
        return h.points.size() >= k ? h.points[h.points.size() - k] : GeoPoint{};
    };
    for (std::size_t i = 0; i < hypotheses.size(); ++i) {
        for (std::size_t j = i + 1; j < hypotheses.size();) {
            PathHypothesis& a = hypotheses[i];
            const PathHypothesis& b = hypotheses[j];
            if (a.points.size() >= 2 && b.points.size() >= 2 && lastLink(a, 1) == lastLink(b, 1) &&
                lastLink(a, 2) == lastLink(b, 2) && std::fabs(a.error - b.error) < 1e-5f) {
                a.count = std::max(a.count, b.count);
                hypotheses.erase(hypotheses.begin() + static_cast<std::ptrdiff_t>(j));
            } else {
                ++j;
            }
        }
    }
}

void Extrapolate(const MapMatcher& matcher, MatchRecord& r, std::uint32_t elapsedMs) {
    float d = static_cast<float>(elapsedMs) * 0.001f * static_cast<float>(r.speed) * 0.2777778f;
    if (d < 1.0f) {
        r.predicted = r.snapped;
        return;
    }
    const StreetGraph& graph = matcher.Graph();
    GeoPoint from = r.segmentStart;
    GeoPoint current = r.snapped;
    GraphLookup at = graph.FindNode(r.segmentEnd);
    if (!at.found) {
        return;
    }
    const GraphNode* node = &graph.Node(at.index);
    // A street that closes into a ring would be walked round for ever: one visit per node.
    for (std::size_t steps = 0; steps <= graph.NodeCount(); ++steps) {
        const float length = matcher.Distance(current, node->point);
        const bool goesOn =
            node->links.size() == 2 && node->links[0].elementId == node->links[1].elementId;
        if (length >= d || !goesOn) {
            if (length >= d) {
                const float t = d / length;
                r.predicted = {current.x * (1.0f - t) + node->point.x * t,
                               current.y * (1.0f - t) + node->point.y * t};
            } else {
                r.predicted = node->point;
            }
            r.predictedStart = from;
            r.predictedEnd = node->point;
            r.heading = static_cast<std::uint16_t>(matcher.Bearing(from, node->point));
            return;
        }
        const GraphLink& onward =
            node->links[0].other->point == from ? node->links[1] : node->links[0];
        from = node->point;
        current = node->point;
        d -= length;
        node = onward.other;
    }
}
