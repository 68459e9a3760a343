#pragma once
// The matcher's path hypotheses: ways through the street graph the vehicle may have taken, grown
// by each fix's movement, evaluated against the driven track and pruned; and the extrapolation of
// a matched position along its street. Not thread-safe; the matcher owns them.

#include "positioning/matchrecord.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

class MapMatcher;
class StreetGraph;
struct GraphNode;

inline constexpr float kFreshError = 3.4028235e38f; // FLT_MAX

struct PathHypothesis {
    std::vector<GeoPoint> points; // oldest first; the last two form the last link
    std::uint32_t street = 0;     // element id of the last link
    GeoPoint snapped;             // where the vehicle stands on the last link
    bool dead = false;            // its last evaluation exceeded "Big Treshold"
    float error = kFreshError;
    std::int32_t count = 0; // how often it was confirmed, seeded with the link's weight
};

// What a follower may look at and how far it may walk.
struct FollowLimits {
    float searchDistance = 0.0f; // metres from the fix
    int course = 0;              // degrees
    int tolerance = 0;           // degrees
    // Links a follower may push in all; the walk is exponential on dense two-way graphs.
    std::size_t pushLimit = 4096;
};

// The paths one hypothesis may have grown into since the previous fix, one at a time.
class PathFollower {
public:
    PathFollower(const MapMatcher& matcher, const PathHypothesis& start, const GeoPoint& offset,
                 const GeoPoint& position, const FollowLimits& limits);

    [[nodiscard]] bool IsActive() const { return m_active; }
    [[nodiscard]] const PathHypothesis& Path() const { return m_path; }
    void Next();
    [[nodiscard]] std::size_t Pushes() const { return m_pushes; }

private:
    void Seed();
    void Extend();
    void Pop();
    // Whether the link from node may be driven here; foot is the fix's foot on it.
    [[nodiscard]] bool Qualifies(const GraphNode& node, std::size_t link, GeoPoint& foot) const;
    [[nodiscard]] bool OverBudget() const;

    const MapMatcher& m_matcher;
    const StreetGraph& m_graph;
    GeoPoint m_position;
    PathHypothesis m_path;
    FollowLimits m_limits;
    bool m_fresh = false;
    bool m_active = false;
    std::vector<std::pair<const GraphNode*, std::ptrdiff_t>> m_stack;
    std::vector<float> m_lengths;
    float m_target = 0.0f;
    float m_current = 0.0f;
    std::size_t m_emitted = 0;
    std::size_t m_pushes = 0;
    std::size_t m_seedNode = 0;
    std::size_t m_seedLink = 0;
};

// One pass of hypothesis growth and evaluation for r; true when r got a street from it, or kept
// the previous result (see MapMatcher::kFarKeptMetres).
bool StreetMatch(MapMatcher& matcher, MatchRecord& r, std::uint32_t trackLength);
// Evaluates the paths against the track up to r; 2 when a winner went into r, else 1.
int EvaluatePaths(MapMatcher& matcher, MatchRecord& r, std::uint32_t trackLength,
                  std::vector<PathHypothesis>& paths);
// Drops dead and far hypotheses and merges those ending on the same link with the same error.
void PruneHypotheses(MapMatcher& matcher, const MatchRecord& r);
// Pushes r's predicted position forward along its street by the distance driven in elapsed ms.
void Extrapolate(const MapMatcher& matcher, MatchRecord& r, std::uint32_t elapsedMs);
