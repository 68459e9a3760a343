#pragma once
// The computed junction model of the junction view: the route's own path through the next
// junction, the other streets that meet it and, for a roundabout, the ring's spokes, built in
// float degrees from the route and the map, turned so that the route arrives from below, mapped
// into a device rectangle and clipped there. The base of the crossing view that paints it. One
// thread at a time; the model keeps its lists until the next build.

#include "junctionview/model/junctiongeometry.h"
#include "junctionview/model/junctionmap.h"
#include "routing/routeiterator.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace junctionview {
struct RingArm;
} // namespace junctionview

class CrossingModel {
public:
    // The route (any iterator of it), the map and the element ids of the destination street.
    CrossingModel(RouteIteratorPtr route, JunctionMapPtr map,
                  std::vector<std::uint32_t> routeElementIds = {});
    virtual ~CrossingModel() = default;
    CrossingModel(const CrossingModel&) = delete;
    CrossingModel& operator=(const CrossingModel&) = delete;

    // Stands the model on the junction record: a clone of the cursor (null: none).
    void SetRouteCursor(const RouteIteratorPtr& cursor);

    // Builds the model around the junction at the cursor within radius metres. False when the
    // cursor is not valid, has no record after the junction or the map data around it is
    // unusable (lists empty then); true otherwise, also when a roundabout yields no model.
    // May move the cursor (roundabouts).
    [[nodiscard]] bool BuildComputedJunction(double radius);
    // Turns the model about the junction centre so that the approach points up.
    void OrientModel();
    // Maps the model into rect {left, top, right, bottom}, the junction at its centre.
    void MapModelToRect(JunctionRect rect);
    // Clips the device lists to the rectangle and keeps what hangs together with the route
    // (nothing for a roundabout).
    void TrimToRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);

    // The segments of the list cut at the rectangle's border; outside ones dropped.
    static void ClipSegments(std::vector<JunctionSegment>& list, std::int32_t left,
                             std::int32_t top, std::int32_t right, std::int32_t bottom);
    // Keeps the route segments that touch each other and the side and extra pieces that connect
    // to them.
    static void PruneDetached(std::vector<JunctionSegment>& route,
                              std::vector<JunctionSegment>& side,
                              std::vector<JunctionSegment>& extra);
    // Whether the segment shares an end point with another segment of the list.
    [[nodiscard]] static bool TouchesList(const JunctionSegment& segment,
                                          const std::vector<JunctionSegment>& list);

    [[nodiscard]] bool ContainsRouteElement(std::uint32_t id) const;

    // Appends the record's own segments (unless skipOwn) to the route list and the streets at
    // the crossing after it to the side (allowed) and extra (forbidden) lists.
    void AddStepRoads(const RouteIteratorPtr& iterator, const RouteRecord& step, bool skipOwn);
    // The route's final record; an all-zero record (link 0) for an empty route.
    [[nodiscard]] RouteRecord GetLastRouteStep() const;
    // The polyline of the route's first record on the step's element; empty when none.
    [[nodiscard]] std::vector<GeoPoint> GetStepGeometry(const RouteRecord& step) const;
    // A fresh iterator standing on the first record of that element; false when none.
    [[nodiscard]] bool FindRouteStep(RouteIteratorPtr& out, std::uint32_t elementId) const;
    // The first record after step's element that is not in a ring (the last one read when the
    // route ends first); link 0 when step's element is not on the route.
    [[nodiscard]] RouteRecord FindRingExit(const RouteRecord& step) const;
    // 1 traffic flows from the arm into the ring, 0 out of it, 2 both ways, -1 undecided.
    [[nodiscard]] std::int32_t ArmDirection(const JunctionMapElement& arm,
                                            const std::vector<GeoPoint>& ringPoints) const;

    // The picture shows a second manoeuvre distance metres on, with margins of radiusFactor / 2.
    void SetSecondJunction(bool hasSecondJunction, std::int32_t distance);
    void SetRadiusFactor(double radiusFactor) { m_radiusFactor = radiusFactor; }

    [[nodiscard]] const std::vector<JunctionSegment>& RouteSegments() const {
        return m_routeSegments;
    }
    [[nodiscard]] const std::vector<JunctionSegment>& SideSegments() const {
        return m_sideSegments;
    }
    [[nodiscard]] const std::vector<JunctionSegment>& ExtraSegments() const {
        return m_extraSegments;
    }
    [[nodiscard]] const std::vector<JunctionSegment>& ScreenRouteSegments() const {
        return m_screenRouteSegments;
    }
    [[nodiscard]] const std::vector<JunctionSegment>& ScreenSideSegments() const {
        return m_screenSideSegments;
    }
    [[nodiscard]] const std::vector<JunctionSegment>& ScreenExtraSegments() const {
        return m_screenExtraSegments;
    }
    [[nodiscard]] const JunctionSegment& ExitSpoke() const { return m_exitSpoke; }
    [[nodiscard]] const JunctionSegment& ApproachSegment() const { return m_approachSegment; }
    [[nodiscard]] const JunctionSegment& ArrowSegment() const { return m_arrowSegment; }
    [[nodiscard]] GeoPoint JunctionCentre() const { return m_junctionCentre; }
    // x0, y0, x1, y1.
    [[nodiscard]] const std::array<float, 4>& ModelExtent() const { return m_modelExtent; }
    [[nodiscard]] const JunctionRect& TargetRect() const { return m_targetRect; }
    [[nodiscard]] bool IsRoundabout() const { return m_isRoundabout; }
    [[nodiscard]] const RouteRecord& JunctionRecord() const { return m_junctionRecord; }
    [[nodiscard]] const RouteRecord& FollowingStep() const { return m_followingStep; }
    [[nodiscard]] const RouteRecord& ApproachStep() const { return m_approachStep; }
    [[nodiscard]] const RouteIteratorPtr& RouteCursor() const { return m_routeCursor; }

protected:
    void BuildRoundabout();
    // The spokes of the arms around the junction centre, sorted into the lists.
    void PlaceSpokes(const std::vector<junctionview::RingArm>& arms);
    // The approach from the entry arm (-1: from the approach step) and the exit spoke unset, or
    // the route's end standing in for it when there is no exit arm; false when rejected.
    bool SetApproach(const std::vector<junctionview::RingArm>& arms, std::ptrdiff_t entryIndex,
                     std::ptrdiff_t exitIndex);
    // The roundabout cases; false when the junction is an ordinary one.
    bool EnterRoundabout(const RouteRecord& afterStep);
    // Walks the cursor back from a junction step in the ring to the step that enters it.
    void WalkBackToRingEntry();
    bool BuildOrdinary(double radius, const std::vector<GeoPoint>& following);
    // The route's steps before the junction within the radius, farthest first.
    bool WalkBackward(double radius);
    // The route's steps after the junction within the radius.
    bool WalkForward(double radius);
    // The step's polyline on the iterator and its ends' distances from the junction centre;
    // false (the walk ends) when it has none or it is unusable.
    bool ReadWalkStep(const RouteIteratorPtr& w, const RouteRecord& step,
                      std::vector<GeoPoint>& points, double& d1, double& d2);
    // Empties the model lists and unsets the spokes; the model is then empty.
    void ClearModel();
    // One debug line naming the element and what is wrong with it; empties the model.
    void RejectMapData(std::uint32_t elementId, const char16_t* what);

    RouteIteratorPtr m_routeRequest; // the route of the request the view belongs to
    JunctionMapPtr m_map;
    std::vector<std::uint32_t> m_routeElementIds;
    RouteIteratorPtr m_routeCursor;
    bool m_isRejected = false; // the map data of this build was unusable

    RouteRecord m_junctionRecord;
    RouteRecord m_followingStep;
    RouteRecord m_approachStep;
    GeoPoint m_junctionCentre;
    bool m_isRoundabout = false;
    std::array<float, 4> m_modelExtent{};
    std::vector<JunctionSegment> m_routeSegments;
    std::vector<JunctionSegment> m_sideSegments;
    std::vector<JunctionSegment> m_extraSegments;
    JunctionSegment m_exitSpoke = junctionview::UnsetSegment();
    JunctionSegment m_approachSegment = junctionview::UnsetSegment();

    std::vector<JunctionSegment> m_screenRouteSegments;
    std::vector<JunctionSegment> m_screenSideSegments;
    std::vector<JunctionSegment> m_screenExtraSegments;
    JunctionRect m_targetRect;
    JunctionSegment m_arrowSegment = junctionview::UnsetSegment();
    bool m_hasSecondJunction = false;
    std::int32_t m_nextManoeuvreDistance = 0;
    double m_radiusFactor = 0.0;
};

namespace junctionview {

// Whether a record stands for a step of the route: link 0 and 0xFFFFFFFF stand for none.
[[nodiscard]] inline bool IsStep(const RouteRecord& record) {
    return record.linkId != 0 && record.linkId != 0xFFFFFFFF;
}
// The all-zero record.
[[nodiscard]] RouteRecord ZeroStep();

} // namespace junctionview
