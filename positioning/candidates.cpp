#include "positioning/candidates.h"

#include "positioning/geodistance.h"
#include "utilities/usefulcode/segmentgeometry.h"

#include <algorithm>
#include <cmath>

namespace {

GeoPoint Plus(const GeoPoint& a, const GeoPoint& b) {
    return {a.x + b.x, a.y + b.y};
}

void InsertRunBackwards(std::vector<RouteMark>& marks, std::size_t i) {
    // The marks before i - 1 on the same element, nearest first, go in after i.
    const std::uint32_t id = marks[i - 1].elementId;
    std::vector<RouteMark> run;
    for (std::size_t k = i - 1; k-- > 0 && marks[k].elementId == id;) {
        run.push_back(marks[k]);
    }
    marks.insert(marks.begin() + static_cast<std::ptrdiff_t>(i) + 1, run.begin(), run.end());
}

} // namespace

void AlignRouteMarks(MapMatcher& matcher) {
    std::vector<RouteMark>& marks = matcher.RouteMarks();
    const StreetGraph& graph = matcher.Graph();
    bool seen = false;
    std::vector<GeoPoint> points;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        RouteMark& mark = marks[i];
        if (mark.hasGeometry != 0) {
            seen = seen || ContainsPoint(graph.GetSearchArea(), mark.point);
            continue;
        }
        if (!graph.HasElement(mark.elementId).found) {
            if (seen) {
                return;
            }
            continue;
        }
        const std::uint32_t previousId = i == 0 ? kNoElement : marks[i - 1].elementId;
        if (mark.elementId != previousId) {
            seen =
                graph.ExtractStreet(mark.elementId, previousId, points, matcher.ReferencePoint());
            if (seen) {
                const std::uint32_t id = mark.elementId;
                mark = {points[0], id, 1};
                std::vector<RouteMark> further;
                for (std::size_t k = 1; k < points.size(); ++k) {
                    further.push_back({points[k], id, 1});
                }
                marks.insert(marks.begin() + static_cast<std::ptrdiff_t>(i) + 1, further.begin(),
                             further.end());
                i += further.size();
            }
        } else {
            const std::size_t before = marks.size();
            marks[i] = marks[i - 1];
            InsertRunBackwards(marks, i);
            i += marks.size() - before;
            seen = true;
        }
    }
}

bool CollectStreetsNear(const MapMatcher& matcher, std::vector<std::uint32_t>& ids) {
    ids.clear();
    const MatchRecord& h = matcher.History().Newest();
    const float limit = matcher.IsSimpleMode() ? h.searchRadius : h.spareStatus;
    const StreetGraph& graph = matcher.Graph();
    for (std::size_t n = 0; n < graph.NodeCount(); ++n) {
        const GraphNode& node = graph.Node(n);
        for (const GraphLink& link : node.links) {
            const GeoPoint foot = ClosestPointOnSegment(h.raw, node.point, link.other->point);
            if (matcher.Distance(h.raw, foot) < limit) {
                if (std::int64_t{link.elementId} == h.street) {
                    ids.insert(ids.begin(), link.elementId);
                } else {
                    ids.push_back(link.elementId);
                }
            }
        }
    }
    return !ids.empty();
}

std::uint32_t TrackPolyline(const MapMatcher& matcher, const MatchRecord& r, std::uint32_t maximum,
                            bool plausible, std::vector<GeoPoint>& out) {
    out.assign(1, r.raw);
    std::uint32_t length = 0;
    GeoPoint shift;
    const MatchRecord* previous = &r;
    const HistoryRing& history = matcher.History();
    const MatcherSettings& settings = matcher.Settings();
    for (std::size_t i = 0; i < history.WalkLength(); ++i) {
        const MatchRecord& h = history.NewestFirst(i);
        const float d = matcher.Distance(previous->raw, h.raw);
        if (plausible && (h.speed <= settings.zeroSpeed || Implausible(matcher, *previous, h))) {
            shift = out.back() - h.raw;
            previous = &h;
            continue;
        }
        const GeoPoint point = plausible ? Plus(h.raw, shift) : h.raw;
        if (plausible && h.IsOffNetwork()) {
            break;
        }
        if (length > maximum) {
            return maximum;
        }
        if (d > static_cast<float>(settings.areaSize)) {
            return length;
        }
        out.push_back(point);
        length += static_cast<std::uint32_t>(
            std::max(0, WholeMetres(matcher.Distance(out[out.size() - 2], out.back()))));
        previous = &h;
    }
    return length;
}

bool Implausible(const MapMatcher& matcher, const MatchRecord& newer, const MatchRecord& older) {
    const std::uint32_t zero = matcher.Settings().zeroSpeed;
    const float d = matcher.Distance(newer.raw, older.raw);
    float seconds = 1.0f;
    if (newer.speed > zero && older.speed > zero) {
        const auto apart =
            newer.time > older.time ? newer.time - older.time : older.time - newer.time;
        // Two fixes of one second would divide by zero; a fix without a time (0) is no time
        // apart from the other. Either counts as the second between two fixes.
        const bool isTimed = newer.time != 0 && older.time != 0;
        seconds = apart == 0 || !isTimed ? 1.0f : static_cast<float>(apart);
    }
    return std::fabs(d * 3.6f / seconds - static_cast<float>(newer.speed)) >= 20.0f;
}

GeoPoint ExpectedPosition(const MapMatcher& matcher, const MatchRecord& r, std::size_t k) {
    const HistoryRing& history = matcher.History();
    const MatchRecord* previous = &r;
    GeoPoint shift;
    GeoPoint sum;
    std::size_t used = 0;
    for (std::size_t i = 0; i < history.WalkLength() && used < k; ++i) {
        const MatchRecord& h = history.NewestFirst(i);
        if (previous->speed < matcher.Settings().zeroSpeed || Implausible(matcher, *previous, h)) {
            shift = Plus(shift, h.raw - previous->raw);
        }
        previous = &h;
        if (h.IsProcessed() && h.HasStreet()) {
            sum = Plus(sum, Plus(h.snapped, shift) - h.raw);
            ++used;
        }
    }
    if (used == 0) {
        return r.raw;
    }
    const auto n = static_cast<float>(used);
    return {r.raw.x + sum.x / n, r.raw.y + sum.y / n};
}

void Resample(const MapMatcher& matcher, const std::vector<GeoPoint>& polyline, float step,
              std::vector<GeoPoint>& out) {
    out.clear();
    if (polyline.empty()) {
        return;
    }
    out.push_back(polyline[0]);
    if (!(step > 0.0f)) {
        return;
    }
    float toNext = step;
    for (std::size_t i = 1; i < polyline.size(); ++i) {
        const GeoPoint& a = polyline[i - 1];
        const GeoPoint& b = polyline[i];
        const float length = matcher.Distance(a, b);
        float at = 0.0f;
        while (length - at >= toNext) {
            at += toNext;
            const float t = at / length;
            out.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
            toNext = step;
        }
        toNext -= length - at;
    }
}

float PathError(const MapMatcher& matcher, const std::vector<GeoPoint>& a,
                const std::vector<GeoPoint>& b) {
    if (a.size() < 2 || b.size() < 2) {
        return kNoMatchError;
    }
    const std::uint32_t setting = matcher.Settings().calculateErrorStep;
    const auto step = static_cast<float>(setting < 5 ? 10 : setting);
    std::vector<GeoPoint> sampledA;
    std::vector<GeoPoint> sampledB;
    Resample(matcher, a, step, sampledA);
    Resample(matcher, b, step, sampledB);
    const std::size_t n = std::min(sampledA.size(), sampledB.size());
    if (n == 0) {
        return kNoMatchError;
    }
    float sum = 0.0f;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const float e = matcher.Distance(sampledA[i + 1], sampledB[i + 1]) -
                        matcher.Distance(sampledA[i], sampledB[i]);
        sum += matcher.IsSimpleMode() ? std::fabs(e) : e * e;
    }
    return matcher.IsSimpleMode() ? sum / static_cast<float>(n) : std::sqrt(sum);
}

GeoPoint SegmentSampler::At(double t) const {
    return {static_cast<float>(m_a.x * (1.0 - t) + m_b.x * t),
            static_cast<float>(m_a.y * (1.0 - t) + m_b.y * t)};
}

void SegmentSampler::Start(const GeoPoint& reference, const GeoPoint& a, const GeoPoint& b,
                           double radius) {
    m_active = false;
    m_reference = reference;
    m_a = a;
    m_b = b;
    m_radius = radius;
    if (a == b || GeoDistance(ClosestPointOnSegment(reference, a, b), reference) > radius) {
        return;
    }
    m_step = 10.0 / GeoDistance(a, b);
    if (!(m_step > 0.0)) {
        return;
    }
    for (m_t = 0.0; m_t <= 1.0; m_t += m_step) {
        m_point = At(m_t);
        if (GeoDistance(m_point, reference) <= radius) {
            m_active = true;
            return;
        }
    }
}

void SegmentSampler::Next() {
    if (!m_active) {
        return;
    }
    m_t += m_step;
    m_active = m_t <= 1.0;
    if (m_active) {
        m_point = At(m_t);
        m_active = GeoDistance(m_point, m_reference) <= m_radius;
    }
}
