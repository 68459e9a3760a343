#pragma once
// Candidate evaluation of the map matcher: the route marks turned into geometry, the streets near
// the position, the driven track, the comparison of the track with a candidate path, the
// candidate list with its penalties and selection, and the route matching. Distances are metres
// scaled by the matcher's search area unless a comment says otherwise.

#include "positioning/mapmatcher.h"
#include "positioning/matchrecord.h"

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr std::size_t kPathCandidates = 16;
inline constexpr std::size_t kRouteCandidates = 32;
inline constexpr float kNoMatchError = 3.4028235e38f; // FLT_MAX

// Whole metres, truncated, as the matcher compares and keeps distances.
[[nodiscard]] inline std::int32_t WholeMetres(float metres) {
    return static_cast<std::int32_t>(metres);
}

// Gives the route marks whose elements the graph knows the street's points in driving order.
void AlignRouteMarks(MapMatcher& matcher);
// The ids of links passing within the limit of the newest record (its street first); repeats
// are kept. True when any was found.
bool CollectStreetsNear(const MapMatcher& matcher, std::vector<std::uint32_t>& ids);
// The raw positions driven up to r, newest first, in out; returns the length in whole metres
// (capped at maximum). With plausible set, standing and implausible records are skipped.
std::uint32_t TrackPolyline(const MapMatcher& matcher, const MatchRecord& r, std::uint32_t maximum,
                            bool plausible, std::vector<GeoPoint>& out);
// Whether the speed implied between the two records differs from the newer one's by 20 km/h or
// more. Two records of the same second count as one second apart, and so does a record without
// a time (0) from any other.
[[nodiscard]] bool Implausible(const MapMatcher& matcher, const MatchRecord& newer,
                               const MatchRecord& older);
// r's raw position moved by the mean snapping offset of the newest k matched records.
[[nodiscard]] GeoPoint ExpectedPosition(const MapMatcher& matcher, const MatchRecord& r,
                                        std::size_t k);
// The first point, then one point per further whole step (metres) along the polyline.
void Resample(const MapMatcher& matcher, const std::vector<GeoPoint>& polyline, float step,
              std::vector<GeoPoint>& out);
// How differently the two polylines bend (0 for a constant offset); kNoMatchError when either
// has fewer than two points.
[[nodiscard]] float PathError(const MapMatcher& matcher, const std::vector<GeoPoint>& a,
                              const std::vector<GeoPoint>& b);

// Points every 10 m (by GeoDistance) along a segment that lie within a radius of a reference.
class SegmentSampler {
public:
    void Start(const GeoPoint& reference, const GeoPoint& a, const GeoPoint& b, double radius);
    void Next();
    [[nodiscard]] bool IsActive() const { return m_active; }
    [[nodiscard]] const GeoPoint& Point() const { return m_point; }

private:
    [[nodiscard]] GeoPoint At(double t) const;

    GeoPoint m_point;
    GeoPoint m_a;
    GeoPoint m_b;
    GeoPoint m_reference;
    bool m_active = false;
    double m_step = 0.0;
    double m_t = 0.0;
    double m_radius = 0.0;
};

// Fits the track onto the path (newest point first) along its newest segment: c gets the
// segment, heading, street id, the best snapped point and the smallest error, which is returned.
float CompareWithPath(const MapMatcher& matcher, const std::vector<GeoPoint>& path,
                      const std::vector<GeoPoint>& track, MatchCandidate& c, std::uint32_t id);
// The same with the foot of c's raw position as the only sample.
float CompareWithPathAtFoot(const MapMatcher& matcher, const std::vector<GeoPoint>& path,
                            const std::vector<GeoPoint>& track, MatchCandidate& c,
                            std::uint32_t id);

// Inserts c by ascending error unless it duplicates an entry (which keeps the larger age) or the
// list holds capacity entries that are all at least as good.
void InsertCandidate(std::vector<MatchCandidate>& list, const MatchCandidate& c,
                     std::size_t capacity);
[[nodiscard]] std::int32_t HeadingPenalty(const MapMatcher& matcher, const MatchCandidate& c);
[[nodiscard]] std::int32_t DistancePenalty(const MapMatcher& matcher, const MatchCandidate& c);
[[nodiscard]] std::int32_t JumpPenalty(const MapMatcher& matcher, const MatchCandidate& c,
                                       const GeoPoint& expected);
[[nodiscard]] std::int32_t OffsetPenalty(const MapMatcher& matcher, const MatchCandidate& c);
// Scores and sorts the list and gives r its best entry; true when that is below "Big Treshold".
// An empty list gives false and leaves r.
bool SelectCandidate(const MapMatcher& matcher, std::vector<MatchCandidate>& list, MatchRecord& r,
                     std::uint32_t trackLength, std::int32_t maximumAge);
// Matches r against the route marks near it (full mode only); true when r got a route street.
bool RouteMatch(const MapMatcher& matcher, MatchRecord& r, std::uint32_t trackLength);
