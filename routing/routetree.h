#pragma once
// The route element tree: a route and its alternatives as road-link elements with polylines,
// branches sharing the elements they have in common. The tree counts the size of its compact
// encoding (a header per element, a byte pair per polyline step) as it grows. Every tree
// operation takes the tree's lock; a reader holds Lock() while it looks at the elements.

#include "routing/mapdatalink.h"
#include "routing/routeoptions.h"
#include "routing/routerecord.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

class RouteElement;

class IRouteElement {
public:
    virtual ~IRouteElement() = default;
    [[nodiscard]] virtual std::int32_t GetLinkValue() const = 0;
    [[nodiscard]] virtual const std::vector<GeoPoint>& GetPolyline() const = 0;
    [[nodiscard]] virtual const std::vector<RouteElement*>& GetSuccessors() const = 0;
    [[nodiscard]] virtual bool GetDirectionFlag() const = 0;
    [[nodiscard]] virtual std::uint32_t GetLevel() const = 0;
    [[nodiscard]] virtual bool IsSuccessorMarked(std::uint32_t slot) const = 0;
    [[nodiscard]] virtual float GetFirstExtra() const = 0;
    [[nodiscard]] virtual float GetSecondExtra() const = 0;
    virtual void SetTime(std::uint32_t seconds) = 0;
    [[nodiscard]] virtual std::uint32_t GetTime() const = 0;
};

// One road link of the tree. The link value keeps 27 bits of magnitude and a sign; the level
// keeps 3 bits.
class RouteElement : public IRouteElement {
public:
    // A successor mark per slot below this; a junction has at most 15 links.
    static constexpr std::uint32_t kMarkableSlots = 16;

    RouteElement() = default;
    RouteElement(std::int32_t linkValue, std::uint32_t level, std::vector<GeoPoint> polyline);

    [[nodiscard]] std::int32_t GetLinkValue() const override;
    [[nodiscard]] const std::vector<GeoPoint>& GetPolyline() const override { return m_polyline; }
    [[nodiscard]] const std::vector<RouteElement*>& GetSuccessors() const override {
        return m_successors;
    }
    [[nodiscard]] bool GetDirectionFlag() const override { return (m_word & 0x10u) != 0; }
    [[nodiscard]] std::uint32_t GetLevel() const override { return m_word & 7u; }
    [[nodiscard]] bool IsSuccessorMarked(std::uint32_t slot) const override;
    [[nodiscard]] float GetFirstExtra() const override;
    [[nodiscard]] float GetSecondExtra() const override;
    void SetTime(std::uint32_t seconds) override { m_time = seconds; }
    [[nodiscard]] std::uint32_t GetTime() const override { return m_time; }

    void SetLinkValue(std::int32_t value);
    void SetLevel(std::uint32_t level) { m_word = (m_word & ~7u) | (level & 7u); }
    void SetDirectionFlag(bool flag) { m_word = flag ? (m_word | 0x10u) : (m_word & ~0x10u); }
    [[nodiscard]] std::uint32_t GetNumber() const { return m_number; }
    void SetNumber(std::uint32_t number) { m_number = number; }
    void AppendSuccessor(RouteElement* element) { m_successors.push_back(element); }
    // False, with a debug line, for a slot the marks cannot hold.
    bool MarkSuccessor(std::uint32_t slot);

private:
    std::uint32_t m_word = 0;
    std::vector<GeoPoint> m_polyline;
    std::uint32_t m_number = 0;
    std::vector<RouteElement*> m_successors; // not owned
    std::uint16_t m_marks = 0;
    std::uint32_t m_time = 0;
};

// An element made by the tree: with the time (hours) and length (metres) from it to the end of
// its route, which the interface does not expose.
class RouteTreeElement : public RouteElement {
public:
    static constexpr float kNoExtra = 3.4028235e38f;

    RouteTreeElement() = default;
    RouteTreeElement(std::int32_t linkValue, std::uint32_t level, std::vector<GeoPoint> polyline)
        : RouteElement(linkValue, level, std::move(polyline)) {}

    [[nodiscard]] virtual float GetThirdExtra() const { return kNoExtra; }
    [[nodiscard]] float FirstExtra() const { return m_firstExtra; }
    [[nodiscard]] float SecondExtra() const { return m_secondExtra; }
    void SetExtras(float first, float second) {
        m_firstExtra = first;
        m_secondExtra = second;
    }

private:
    float m_firstExtra = kNoExtra;
    float m_secondExtra = kNoExtra;
};

// By link value (as unsigned), then by the last polyline point (x, then y). An empty polyline
// comes before any other of the same link value, so the order stays strict and weak.
struct RouteElementLess {
    [[nodiscard]] bool operator()(const RouteElement* a, const RouteElement* b) const;
};

// (element, stage) pairs waiting for their encoded size.
using StageElementList = std::deque<std::pair<RouteElement*, std::int32_t>>;

class RouteTree {
public:
    static constexpr std::uint32_t kEmptyEncodedSize = 10;

    RouteTree() = default;
    RouteTree(const RouteTree&) = delete;
    RouteTree& operator=(const RouteTree&) = delete;

    // Adds the records from `first` on as a branch under `start` (null: the root, made from the
    // first record when missing), stopping at the first element already in the tree, whose
    // successor slot is then marked. `destination` is where the route ends (level 0 trims the
    // last polyline there). Returns the first new element, null when none was made.
    RouteTreeElement* BuildBranch(RouteElement* start, const std::vector<RouteRecord>& records,
                                  std::size_t first, std::uint32_t level,
                                  const MapDataLinkPtr& mapDataLink, float time, float length,
                                  const RouteOptions& options, const GeoPoint& destination);
    // Gives the element the next number; returns the counter (unchanged for null).
    std::uint32_t NumberElement(RouteElement* element);
    // Adds an element's encoded size, or 4 for a missing one.
    void AppendEncodedSize(RouteElement* element);
    // Appends the sizes of the list's leading entries while their stage + 2 is below `limit`,
    // stopping at an element with an unnumbered successor. Returns the marked successor slots of
    // the elements appended.
    std::uint32_t AppendStageElements(StageElementList& list, std::int32_t limit);

    // For readers: hold the lock while looking at the elements.
    [[nodiscard]] std::unique_lock<std::recursive_mutex> Lock() const {
        return std::unique_lock(m_lock);
    }
    [[nodiscard]] RouteTreeElement* GetRoot() const { return m_root.get(); }
    [[nodiscard]] std::size_t GetElementCount() const { return m_elements.size(); }
    [[nodiscard]] const std::map<std::uint32_t, RouteElement*>& GetNumberedElements() const {
        return m_numbered;
    }
    [[nodiscard]] std::uint32_t GetEncodedSize() const { return m_encodedSize; }
    [[nodiscard]] std::uint32_t GetCounter() const { return m_counter; }
    [[nodiscard]] std::uint32_t GetLevel0Count() const { return m_level0Count; }
    void SetLevel0Count(std::uint32_t count);
    [[nodiscard]] std::uint32_t GetRecordCountPlus2() const { return m_recordCountPlus2; }
    [[nodiscard]] std::uint32_t GetLastAppended() const { return m_lastAppended; }
    [[nodiscard]] GeoPoint GetMinimum() const { return m_minimum; }
    [[nodiscard]] GeoPoint GetMaximum() const { return m_maximum; }

private:
    void MakeRoot(const std::vector<RouteRecord>& records, std::size_t first, float time,
                  float length);
    void Extend(const GeoPoint& point);

    mutable std::recursive_mutex m_lock;
    std::unique_ptr<RouteTreeElement> m_root;
    std::vector<std::unique_ptr<RouteTreeElement>> m_owned;
    std::set<RouteElement*, RouteElementLess> m_elements;
    std::uint32_t m_counter = 0;
    GeoPoint m_minimum;
    GeoPoint m_maximum;
    std::map<std::uint32_t, RouteElement*> m_numbered;
    MapDataLinkPtr m_mapDataLink;
    std::uint32_t m_recordCountPlus2 = 0;
    std::uint32_t m_level0Count = 0;
    std::uint32_t m_lastAppended = 0;
    std::uint32_t m_encodedSize = kEmptyEncodedSize;
};
using RouteTreePtr = std::shared_ptr<RouteTree>;

// Reverses the polyline so that its end lies nearer p (toward) or its start does (not toward),
// by the sum of the coordinate differences. Fewer than two points stay as they are.
void OrientPolyline(std::vector<GeoPoint>& polyline, const GeoPoint& p, bool toward);
// Cuts the polyline's start at its segment nearest p, which becomes the first point.
void TrimPolylineStart(const GeoPoint& p, std::vector<GeoPoint>& polyline);
// Cuts the polyline's end at its segment nearest p, which becomes the last point; a one-point
// polyline gains p as its second point.
void TrimPolylineEnd(const GeoPoint& p, std::vector<GeoPoint>& polyline);
// Steps between consecutive points in encoding units (2^25 / 360 per degree), long steps split
// so that every pair fits in signed bytes.
[[nodiscard]] std::vector<std::pair<std::int8_t, std::int8_t>>
EncodePolylineDeltas(const std::vector<GeoPoint>& polyline);
