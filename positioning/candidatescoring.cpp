// The comparison of the driven track with candidate paths, the candidate list and its scoring,
// and the route matching.
#include "positioning/candidates.h"
#include "utilities/usefulcode/segmentgeometry.h"

#include <algorithm>
#include <cmath>

namespace {

// The track moved so that its first point lies at start, after start itself.
std::vector<GeoPoint> TrackFrom(const GeoPoint& start, const std::vector<GeoPoint>& track) {
    std::vector<GeoPoint> shifted{start};
    const GeoPoint offset = start - track[0];
    for (const GeoPoint& p : track) {
        shifted.push_back({p.x + offset.x, p.y + offset.y});
    }
    return shifted;
}

void TakePathSegment(const MapMatcher& matcher, const std::vector<GeoPoint>& path,
                     MatchCandidate& c, std::uint32_t id) {
    MatchRecord& r = c.record;
    r.heading = static_cast<std::uint16_t>(matcher.Bearing(path[1], path[0]));
    r.segmentStart = path[1];
    r.segmentEnd = path[0];
    r.predictedStart = path[1];
    r.predictedEnd = path[0];
    r.street = static_cast<std::int32_t>(id);
    r.error = kNoMatchError;
}

// The foot of p on the line through a and b, not held to the segment.
GeoPoint FootOnLine(const GeoPoint& p, const GeoPoint& a, const GeoPoint& b) {
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    const float squared = dx * dx + dy * dy;
    if (squared == 0.0f) {
        return a;
    }
    const float t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / squared;
    return {a.x + dx * t, a.y + dy * t};
}

bool OnRoute(const MapMatcher& matcher, std::int32_t street) {
    const auto& marks = matcher.RouteMarks();
    return std::any_of(marks.begin(), marks.end(), [street](const RouteMark& mark) {
        return std::int64_t{mark.elementId} == street;
    });
}

} // namespace

float CompareWithPath(const MapMatcher& matcher, const std::vector<GeoPoint>& path,
                      const std::vector<GeoPoint>& track, MatchCandidate& c, std::uint32_t id) {
    if (path.size() < 2 || track.empty()) {
        c.record.error = kNoMatchError;
        return kNoMatchError;
    }
    TakePathSegment(matcher, path, c, id);
    float bestTotal = kNoMatchError;
    SegmentSampler sampler;
    for (sampler.Start(c.record.raw, path[0], path[1], c.record.searchRadius); sampler.IsActive();
         sampler.Next()) {
        const GeoPoint& s = sampler.Point();
        const float e = PathError(matcher, TrackFrom(s, track), path);
        // Whole points per 3 whole metres away from the fix.
        const std::int32_t away = WholeMetres(matcher.Distance(s, c.record.raw)) / 3;
        const float total = e + static_cast<float>(away);
        if (total < bestTotal) {
            bestTotal = total;
            c.record.snapped = s;
        }
        c.record.error = std::min(c.record.error, e);
    }
    return c.record.error;
}

float CompareWithPathAtFoot(const MapMatcher& matcher, const std::vector<GeoPoint>& path,
                            const std::vector<GeoPoint>& track, MatchCandidate& c,
                            std::uint32_t id) {
    if (path.size() < 2 || track.empty()) {
        c.record.error = kNoMatchError;
        return kNoMatchError;
    }
    TakePathSegment(matcher, path, c, id);
    const GeoPoint foot = ClosestPointOnSegment(c.record.raw, path[0], path[1]);
    const float e = PathError(matcher, TrackFrom(foot, track), path);
    if (e < kNoMatchError) {
        c.record.snapped = foot;
        c.record.error = e;
    }
    return c.record.error;
}

void InsertCandidate(std::vector<MatchCandidate>& list, const MatchCandidate& c,
                     std::size_t capacity) {
    const std::size_t n = std::min(list.size(), capacity);
    for (std::size_t i = 0; i < n; ++i) {
        MatchCandidate& entry = list[i];
        if (entry.record.error > c.record.error) {
            list.insert(list.begin() + static_cast<std::ptrdiff_t>(i), c);
            if (list.size() > capacity) {
                list.resize(capacity);
            }
            return;
        }
        if (std::fabs(entry.record.error - c.record.error) < 1e-5f &&
            std::fabs(entry.record.snapped.x - c.record.snapped.x) < 1e-6f &&
            std::fabs(entry.record.snapped.y - c.record.snapped.y) < 1e-6f) {
            entry.age = std::max(entry.age, c.age);
            return;
        }
    }
    if (list.size() < capacity) {
        list.push_back(c);
    }
}

std::int32_t HeadingPenalty(const MapMatcher& matcher, const MatchCandidate& c) {
    const auto bearing =
        static_cast<int>(matcher.Bearing(c.record.segmentStart, c.record.segmentEnd));
    return std::min(HeadingDifference(c.record.course, bearing) / 5, 15);
}

std::int32_t DistancePenalty(const MapMatcher& matcher, const MatchCandidate& c) {
    const GeoPoint foot = FootOnLine(c.record.raw, c.record.segmentStart, c.record.segmentEnd);
    return std::min(WholeMetres(matcher.Distance(c.record.snapped, foot)) / 10, 8);
}

std::int32_t JumpPenalty(const MapMatcher& matcher, const MatchCandidate& c,
                         const GeoPoint& expected) {
    return std::min(
        std::max(WholeMetres(matcher.Distance(expected, c.record.snapped)) - 20, 0) / 10, 10);
}

std::int32_t OffsetPenalty(const MapMatcher& matcher, const MatchCandidate& c) {
    const std::int32_t d = WholeMetres(matcher.Distance(c.record.raw, c.record.snapped));
    if (matcher.IsSimpleMode()) {
        return std::min(d / 10, 5);
    }
    return std::min(std::max((d - 30) / 30, 0), 5);
}

bool SelectCandidate(const MapMatcher& matcher, std::vector<MatchCandidate>& list, MatchRecord& r,
                     std::uint32_t /*trackLength*/, std::int32_t maximumAge) {
    if (list.empty()) {
        return false;
    }
    r = list[0].record;
    const GeoPoint p10 = ExpectedPosition(matcher, r, 10);
    const GeoPoint p3 = ExpectedPosition(matcher, r, 3);
    const bool jumped =
        matcher.Distance(p3, p10) > static_cast<float>(matcher.Settings().expectedJump);
    for (MatchCandidate& c : list) {
        c.headingPenalty = HeadingPenalty(matcher, c);
        c.distancePenalty = DistancePenalty(matcher, c);
        c.jumpPenalty = jumped ? 0 : JumpPenalty(matcher, c, p10);
        c.offsetPenalty = OffsetPenalty(matcher, c);
        c.total = c.record.error +
                  static_cast<float>(c.offsetPenalty + c.jumpPenalty + c.distancePenalty +
                                     c.headingPenalty + std::min(maximumAge - c.age, 5));
        if (OnRoute(matcher, c.record.street)) {
            c.total -= 10.0f;
        }
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        for (std::size_t j = i + 1; j < list.size(); ++j) {
            if (list[i].total > list[j].total) {
                std::swap(list[i], list[j]);
            }
        }
    }
    r = list[0].record;
    return r.error < static_cast<float>(matcher.Settings().bigThreshold);
}

namespace {

// The route piece from mark i backwards while the marks have geometry, until its length after
// the first segment reaches `wanted`; false when the geometry ends first.
bool RoutePiece(const MapMatcher& matcher, std::size_t i, float wanted,
                std::vector<GeoPoint>& piece) {
    const auto& marks = matcher.RouteMarks();
    piece.assign({marks[i].point, marks[i - 1].point});
    float length = 0.0f;
    for (std::size_t j = i - 1; j-- > 0 && marks[j].hasGeometry != 0 && length < wanted;) {
        piece.push_back(marks[j].point);
        length += matcher.Distance(piece[piece.size() - 2], piece.back());
    }
    return length >= wanted;
}

} // namespace

bool RouteMatch(const MapMatcher& matcher, MatchRecord& r, std::uint32_t trackLength) {
    const auto& marks = matcher.RouteMarks();
    if (matcher.IsSimpleMode() || marks.empty()) {
        return false;
    }
    std::vector<MatchCandidate> list;
    list.reserve(kRouteCandidates);
    const GeoRect box = Box(r.raw, r.searchRadius);
    std::vector<GeoPoint> track;
    const std::uint32_t length = TrackPolyline(matcher, r, trackLength, true, track);
    if (length < trackLength / 2) {
        return false;
    }
    std::vector<GeoPoint> piece;
    for (std::size_t i = marks.size() - 1; i >= 1; --i) {
        if (marks[i].hasGeometry == 0 || marks[i - 1].hasGeometry == 0) {
            continue;
        }
        RectF bounds(marks[i - 1].point.x, marks[i - 1].point.y, marks[i].point.x,
                     marks[i].point.y);
        bounds.Normalize();
        if (!RectF::Intersects(bounds, box) ||
            !RoutePiece(matcher, i, static_cast<float>(length), piece)) {
            continue;
        }
        MatchCandidate c;
        c.record = r;
        c.record.flags = static_cast<std::uint8_t>(c.record.flags & ~MatchRecord::kProcessed);
        float e = CompareWithPath(matcher, piece, track, c, marks[i].elementId);
        if (length < 30) {
            e += 0.1f * matcher.Distance(r.raw, c.record.snapped);
        }
        c.record.error = e;
        if (e < static_cast<float>(matcher.Settings().bigThreshold)) {
            InsertCandidate(list, c, kRouteCandidates);
        }
    }
    return SelectCandidate(matcher, list, r, length, 0);
}
