#include "positioning/streetgraph.h"

#include "positioning/matchersettings.h"
#include "positioning/matchrecord.h"

#include <algorithm>

namespace {

bool PointLess(const GeoPoint& a, const GeoPoint& b) {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
}

bool HasLinkTo(const GraphNode& node, const GraphNode* other) {
    return std::any_of(node.links.begin(), node.links.end(),
                       [other](const GraphLink& link) { return link.other == other; });
}

std::size_t CountLinks(const GraphNode& node, std::uint32_t id) {
    return static_cast<std::size_t>(
        std::count_if(node.links.begin(), node.links.end(),
                      [id](const GraphLink& link) { return link.elementId == id; }));
}

bool HasLinkOf(const GraphNode& node, std::uint32_t id) {
    return CountLinks(node, id) != 0;
}

} // namespace

bool ContainsPoint(const GeoRect& rect, const GeoPoint& point) {
    return point.x >= rect.minX && point.x <= rect.maxX && point.y >= rect.minY &&
           point.y <= rect.maxY;
}

void StreetGraph::AddElement(const StreetElement& element) {
    if (element.points.size() < 2) {
        return;
    }
    GeoPoint last = element.points[0];
    for (std::size_t i = 1; i < element.points.size(); ++i) {
        if (element.points[i] != last) {
            AddSegment(element.direction, last, element.points[i], element.id);
            last = element.points[i];
        }
    }
    const auto at = std::lower_bound(m_elementIds.begin(), m_elementIds.end(), element.id);
    if (at == m_elementIds.end() || *at != element.id) {
        m_elementIds.insert(at, element.id);
    }
}

GraphNode& StreetGraph::NodeAt(const GeoPoint& point, bool& existed) {
    const GraphLookup found = FindNode(point);
    existed = found.found;
    if (!found.found) {
        auto node = std::make_unique<GraphNode>();
        node->point = point;
        m_nodes.insert(m_nodes.begin() + static_cast<std::ptrdiff_t>(found.index), std::move(node));
    }
    return *m_nodes[found.index];
}

void StreetGraph::AddSegment(std::uint32_t direction, const GeoPoint& a, const GeoPoint& b,
                             std::uint32_t id) {
    bool aExisted = false;
    bool bExisted = false;
    GraphNode& nodeA = NodeAt(a, aExisted);
    GraphNode& nodeB = NodeAt(b, bExisted);
    if (aExisted && bExisted && HasLinkTo(nodeA, &nodeB)) {
        return;
    }
    std::uint32_t forward = GraphLink::kBothWays;
    std::uint32_t backward = GraphLink::kBothWays;
    if (direction == 1) {
        forward = GraphLink::kOneWayAlong;
        backward = GraphLink::kOneWayAgainst;
    } else if (direction == 3) {
        forward = GraphLink::kOneWayAgainst;
        backward = GraphLink::kOneWayAlong;
    }
    nodeA.links.push_back({&nodeB, forward, id, 0});
    nodeB.links.push_back({&nodeA, backward, id, 0});
}

bool StreetGraph::KeepsNode(const GraphNode& node) const {
    if (ContainsPoint(m_searchArea, node.point)) {
        return true;
    }
    return std::any_of(node.links.begin(), node.links.end(), [&](const GraphLink& link) {
        RectF box(node.point.x, node.point.y, link.other->point.x, link.other->point.y);
        box.Normalize();
        return RectF::Intersects(box, m_searchArea);
    });
}

void StreetGraph::RemoveNode(std::size_t index) {
    GraphNode* node = m_nodes[index].get();
    for (const GraphLink& link : node->links) {
        auto& back = link.other->links;
        back.erase(std::remove_if(back.begin(), back.end(),
                                  [node](const GraphLink& l) { return l.other == node; }),
                   back.end());
    }
    m_nodes.erase(m_nodes.begin() + static_cast<std::ptrdiff_t>(index));
}

void StreetGraph::Purge() {
    m_elementIds.clear();
    for (std::size_t i = m_nodes.size(); i-- > 0;) {
        if (!KeepsNode(*m_nodes[i])) {
            RemoveNode(i);
        }
    }
}

void StreetGraph::Clear() {
    m_nodes.clear();
    m_elementIds.clear();
}

GraphLookup StreetGraph::FindNode(const GeoPoint& point) const {
    const auto at = std::lower_bound(m_nodes.begin(), m_nodes.end(), point,
                                     [](const std::unique_ptr<GraphNode>& node, const GeoPoint& p) {
                                         return PointLess(node->point, p);
                                     });
    const auto index = static_cast<std::size_t>(at - m_nodes.begin());
    return {at != m_nodes.end() && (*at)->point == point, index};
}

GraphLookup StreetGraph::HasElement(std::uint32_t id) const {
    const auto at = std::lower_bound(m_elementIds.begin(), m_elementIds.end(), id);
    return {at != m_elementIds.end() && *at == id,
            static_cast<std::size_t>(at - m_elementIds.begin())};
}

std::int64_t StreetGraph::FindStreet(const GeoPoint& a, const GeoPoint& b) const {
    const GraphLookup found = FindNode(a);
    if (!found.found) {
        return -1;
    }
    for (const GraphLink& link : m_nodes[found.index]->links) {
        if (link.other->point == b) {
            return link.elementId;
        }
    }
    return -1;
}

void StreetGraph::RaiseWeight(std::uint32_t id, const GeoPoint& a, const GeoPoint& b) {
    const GraphLookup found = FindNode(a);
    if (!found.found) {
        return;
    }
    const std::int32_t cap = MaxStreetPondering();
    for (GraphLink& link : m_nodes[found.index]->links) {
        if (link.elementId == id && link.other->point == b && link.weight < cap) {
            ++link.weight;
        }
    }
}

bool StreetGraph::ExtractStreet(std::uint32_t id, std::uint32_t previousId,
                                std::vector<GeoPoint>& out, const GeoPoint& reference) const {
    out.clear();
    const auto end = std::find_if(m_nodes.begin(), m_nodes.end(),
                                  [id](const auto& node) { return CountLinks(*node, id) == 1; });
    if (end == m_nodes.end()) {
        return false;
    }
    // A street that comes back onto itself (a lollipop, a branch rejoining it) would be walked
    // for ever; the chain stops before a node it already holds.
    std::vector<const GraphNode*> chain{end->get()};
    const GraphNode* left = nullptr;
    const GraphNode* current = end->get();
    while (true) {
        const auto next =
            std::find_if(current->links.begin(), current->links.end(),
                         [&](const GraphLink& l) { return l.elementId == id && l.other != left; });
        if (next == current->links.end() ||
            std::find(chain.begin(), chain.end(), next->other) != chain.end()) {
            break;
        }
        left = current;
        current = next->other;
        chain.push_back(current);
    }
    for (const GraphNode* node : chain) {
        out.push_back(node->point);
    }
    const bool reverse =
        previousId != kNoElement ? HasLinkOf(*chain.back(), previousId) : out.front() == reference;
    if (reverse) {
        std::reverse(out.begin(), out.end());
    }
    return true;
}
