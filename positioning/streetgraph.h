#pragma once
// The map matcher's local street graph: nodes at the distinct points of the streets fetched around
// the position, kept sorted by (x, y), with directed links per street segment, and the sorted ids
// of the streets added since the last purge. Not thread-safe; one matcher owns it.

#include "utilities/mapgeometry/mapgeometry.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct GraphNode;

struct GraphLink {
    static constexpr std::uint32_t kOneWayAlong = 1;   // may be driven to `other`, one-way
    static constexpr std::uint32_t kBothWays = 2;      //
    static constexpr std::uint32_t kOneWayAgainst = 3; // may not be driven to `other`

    GraphNode* other = nullptr; // owned by the graph
    std::uint32_t direction = kBothWays;
    std::uint32_t elementId = 0;
    std::int32_t weight = 0; // raised each time a match runs over the link
};

struct GraphNode {
    GeoPoint point;
    std::vector<GraphLink> links;
};

// What the graph needs of a map element: its id, shape points in order and the direction code of
// its attribute word (1 one-way along the points, 3 one-way against them, else both ways).
struct StreetElement {
    std::uint32_t id = 0;
    std::span<const GeoPoint> points;
    std::uint32_t direction = 0;
};

struct GraphLookup {
    bool found = false;
    std::size_t index = 0; // where it is, or where it would be inserted
};

class StreetGraph {
public:
    // Adds the element's segments (a repeated point adds none) and its id; an element of fewer
    // than two points adds nothing.
    void AddElement(const StreetElement& element);
    // Adds the pair of links between the nodes at a and b unless a already links to b.
    void AddSegment(std::uint32_t direction, const GeoPoint& a, const GeoPoint& b,
                    std::uint32_t id);
    // Forgets the element ids and drops every node outside the search area whose links' boxes do
    // not overlap it, with the links pointing back to it.
    void Purge();
    void Clear();

    [[nodiscard]] GraphLookup FindNode(const GeoPoint& point) const;
    [[nodiscard]] GraphLookup HasElement(std::uint32_t id) const;
    // The element id of the link from the node at a to the node at b; -1 when none.
    [[nodiscard]] std::int64_t FindStreet(const GeoPoint& a, const GeoPoint& b) const;
    // Raises by one, up to MaxStreetPondering, the weight of each link of element id from the
    // node at a to the node at b.
    void RaiseWeight(std::uint32_t id, const GeoPoint& a, const GeoPoint& b);
    // The street's points in driving order, from an end node (a node with one link of the id)
    // along its links, stopping before a node already taken. Reversed when its last node carries
    // a link of previousId, or (previousId kNoElement) when its first point equals reference.
    // False (out empty) when the street has no end node, as a pure ring has none.
    [[nodiscard]] bool ExtractStreet(std::uint32_t id, std::uint32_t previousId,
                                     std::vector<GeoPoint>& out, const GeoPoint& reference) const;

    void SetSearchArea(const GeoRect& area) { m_searchArea = area; }
    [[nodiscard]] const GeoRect& GetSearchArea() const { return m_searchArea; }
    [[nodiscard]] std::size_t NodeCount() const { return m_nodes.size(); }
    [[nodiscard]] const GraphNode& Node(std::size_t index) const { return *m_nodes[index]; }
    [[nodiscard]] const std::vector<std::uint32_t>& ElementIds() const { return m_elementIds; }
    void Reserve(std::size_t nodes) { m_nodes.reserve(nodes); }

private:
    GraphNode& NodeAt(const GeoPoint& point, bool& existed);
    [[nodiscard]] bool KeepsNode(const GraphNode& node) const;
    void RemoveNode(std::size_t index);

    std::vector<std::unique_ptr<GraphNode>> m_nodes;
    GeoRect m_searchArea;
    std::vector<std::uint32_t> m_elementIds;
};

// True when the point lies inside the rectangle, borders included.
[[nodiscard]] bool ContainsPoint(const GeoRect& rect, const GeoPoint& point);
