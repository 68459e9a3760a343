#pragma once
// The map matcher's state: settings, the 384-record history ring, the street graph around the
// position with its search area, and the route marks; the street fetch through the engine's area
// query, the update pipeline, and the settings and state files. Not thread-safe: one owner (the
// front) calls it.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "positioning/matchedposition.h"
#include "positioning/matchersettings.h"
#include "positioning/matchrecord.h"
#include "positioning/pathfollower.h"
#include "positioning/streetgraph.h"
#include "routing/routeiterator.h"
#include "six/intfptr.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using AreaQueryPtr = six::IntfPtr<RetrievalEngine::IAreaQuery>;

// The last 384 processed records. Index -1 is empty; after the 384th record the index wraps.
class HistoryRing {
public:
    static constexpr std::int32_t kSize = 384;

    void Append(const MatchRecord& record);
    void Clear();
    // Restores index and flag; the records stay as they are. The caller checks the range.
    void Restore(std::int32_t index, bool wrapped);

    [[nodiscard]] std::int32_t Index() const { return m_index; }
    [[nodiscard]] bool IsWrapped() const { return m_wrapped; }
    // Not wrapped and the index 0 or -1.
    [[nodiscard]] bool IsShort() const { return !m_wrapped && m_index <= 0; }
    // How many records the newest-first walk visits: 384 once wrapped, else index + 1, where an
    // index of 0 counts as empty.
    [[nodiscard]] std::size_t WalkLength() const;
    // Record i of the newest-first walk (i < WalkLength).
    [[nodiscard]] const MatchRecord& NewestFirst(std::size_t i) const;
    // The record at the current index (the first slot while empty).
    [[nodiscard]] const MatchRecord& Newest() const;
    [[nodiscard]] MatchRecord& Slot(std::size_t index) { return m_records[index]; }

private:
    std::int32_t m_index = -1;
    bool m_wrapped = false;
    std::array<MatchRecord, kSize> m_records{};
};

// The angle between two headings in whole degrees, 0..180.
[[nodiscard]] int HeadingDifference(int a, int b);
// The rectangle d metres around the position on each side.
[[nodiscard]] GeoRect Box(const GeoPoint& position, std::int32_t metres);
// r takes over the held record's matching result and keeps its own fix fields.
void HoldStreet(const MatchRecord& held, MatchRecord& r);

class MapMatcher {
public:
    // The engine's area query may be null: then no streets are fetched.
    explicit MapMatcher(AreaQueryPtr areaQuery);
    virtual ~MapMatcher() = default;
    MapMatcher(const MapMatcher&) = delete;
    MapMatcher& operator=(const MapMatcher&) = delete;

    // Matches the newest fix (the older ones go into the history unmatched); 1 when it got a
    // street, 0 otherwise and for no fixes.
    virtual int Update(const std::vector<GpsFix>& fixes);
    [[nodiscard]] virtual MatchedPosition GetResult() const;
    // Reads the 19 keys of "Snaping" (defaults for missing keys) into this matcher and the
    // process-wide MaxStreetPondering; returns SettingsAreValid. The values stay set either way.
    virtual bool ReadSettings(const std::u16string& path);
    // Marks the route's streets (walking a copy of the cursor); a null route clears the marks.
    virtual void SetRoute(const RouteIteratorPtr& route);
    // Whether the last update matched a street or found streets near it.
    [[nodiscard]] virtual bool StreetsNear() const;
    // 1 when the state file was written, 0 when it cannot be created or written whole.
    [[nodiscard]] virtual int SaveState(const std::u16string& path);
    // 1 when restored, 0 (matcher unchanged) when the file cannot be opened or is not one state.
    [[nodiscard]] virtual int LoadState(const std::u16string& path);
    // Forgets the route, history and graph and returns to simple mode; the hypotheses stay.
    virtual void Reset();
    // The engine's map data changed.
    virtual void OnMapChanged();

    // The pipeline's steps, public for their tests.
    [[nodiscard]] bool ShouldMatch(MatchRecord& r) const;
    [[nodiscard]] MatchRecord ChooseResult(const MatchRecord& a, const MatchRecord& b,
                                           const MatchRecord& c) const;
    [[nodiscard]] int HeadingTolerance(const MatchRecord& r) const;
    [[nodiscard]] float SearchDistance(const MatchRecord& r) const;

    // The search area becomes the "Area size" square centred on the record's raw position.
    void SetSearchArea(const MatchRecord& record);
    // Metres around the record's raw position in which streets are considered.
    [[nodiscard]] std::uint16_t SearchRadius(const MatchRecord& record) const;
    // Purges the graph to the search area, then adds the streets that meet the fetch box around
    // the record; in full mode re-aligns the route marks.
    void FetchCandidates(const MatchRecord& record);
    // The box whose streets FetchCandidates adds for the record.
    [[nodiscard]] GeoRect FetchBox(const MatchRecord& record) const;

    // Metres and whole degrees scaled by the search area.
    [[nodiscard]] float Distance(const GeoPoint& a, const GeoPoint& b) const;
    [[nodiscard]] float Bearing(const GeoPoint& a, const GeoPoint& b) const;
    // The largest raw-to-snapped distance of the newest ten records that were matched to a
    // street; -1 when there is none.
    [[nodiscard]] float LargestRecentOffset() const;

    [[nodiscard]] const MatcherSettings& Settings() const { return m_settings; }
    MatcherSettings& Settings() { return m_settings; }
    [[nodiscard]] const HistoryRing& History() const { return m_history; }
    HistoryRing& History() { return m_history; }
    [[nodiscard]] const StreetGraph& Graph() const { return m_graph; }
    StreetGraph& Graph() { return m_graph; }
    [[nodiscard]] std::uint32_t AreaSize() const { return m_areaSize; }
    [[nodiscard]] const std::vector<RouteMark>& RouteMarks() const { return m_routeMarks; }
    std::vector<RouteMark>& RouteMarks() { return m_routeMarks; }
    [[nodiscard]] const GeoPoint& ReferencePoint() const { return m_referencePoint; }
    void SetReferencePoint(const GeoPoint& point) { m_referencePoint = point; }
    [[nodiscard]] bool IsSimpleMode() const { return m_simpleMode; }
    void SetSimpleMode(bool simple) { m_simpleMode = simple; }
    [[nodiscard]] bool IsLost() const { return m_lost; }
    [[nodiscard]] bool IsRecovering() const { return m_recovering; }
    std::vector<PathHypothesis>& Hypotheses() { return m_hypotheses; }
    [[nodiscard]] std::uint32_t EvaluationTick() const { return m_evaluationTick; }
    void SetEvaluationTick(std::uint32_t tick) { m_evaluationTick = tick; }
    [[nodiscard]] std::uint32_t EvaluationCounter() const { return m_evaluationCounter; }
    void SetEvaluationCounter(std::uint32_t count) { m_evaluationCounter = count; }
    // The street match keeps the previous result for a fix that implies a speed unlike the
    // reported one, but only while that result lies at most this far from the fix; farther, it
    // would fall behind the car, and the fix is matched from fresh hypotheses instead.
    static constexpr float kFarKeptMetres = 40.0f;
    // Links one path follower may push per fix (see FollowLimits).
    [[nodiscard]] std::size_t PushLimit() const { return m_pushLimit; }
    void SetPushLimit(std::size_t limit) { m_pushLimit = limit; }

private:
    void RaiseWeightsOfRestoredHistory();
    void UpdateTunnelState(const MatchRecord& r);
    void MatchNewRecord(MatchRecord& r);
    void SetResultFlags(MatchRecord& r, const MatchRecord& previous, bool& bookkeeping) const;

    MatcherSettings m_settings;
    AreaQueryPtr m_areaQuery;
    HistoryRing m_history;
    StreetGraph m_graph;
    std::uint32_t m_areaSize = 0;
    std::vector<RouteMark> m_routeMarks;
    GeoPoint m_referencePoint;
    std::uint32_t m_evaluationTick = 0;
    bool m_streetsNear = false;
    GpsFix m_lastFix;
    std::uint32_t m_lastTime = 0; // of the newest last fix that delivered one
    bool m_lost = false;
    bool m_recovering = false;
    bool m_simpleMode = true;
    std::uint32_t m_tunnelStart = 0;
    std::uint32_t m_tunnelEnd = 0;
    std::vector<PathHypothesis> m_hypotheses;
    std::uint32_t m_evaluationCounter = 0;
    std::size_t m_pushLimit = FollowLimits{}.pushLimit;
};
