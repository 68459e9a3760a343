#include "routing/crossingsearch.h"

#include "positioning/geodistance.h"
#include "routing/georectaround.h"
#include "routing/roadnetwork.h"

#include <algorithm>

CrossingRectIterator::CrossingRectIterator(const PageStoreSource& network, std::uint16_t level,
                                           const GeoRect& rect)
    : NetworkCrossing(network, {0xFFFF, 0xFFFF, 0xFFFFFFFF, level})
    , m_rect(rect) {
    const SeparatedPageStore* store = GetStore();
    if (store == nullptr) {
        return;
    }
    const PageStoreParameters& p = store->GetParameters();
    if (p.endPage == 0 && p.endOffset == 0) {
        return;
    }
    BuildRanges();
    if (!StartRange(0)) {
        return;
    }
    if (!IsValid() || !Contains(m_rect, Position())) {
        NetworkCrossing::Next();
        Seek();
    }
}

bool CrossingRectIterator::Contains(const GeoRect& rect, const GeoPoint& p) {
    return rect.minX <= p.x && p.x <= rect.maxX && rect.minY <= p.y && p.y <= rect.maxY;
}

void CrossingRectIterator::BuildRanges() {
    const SeparatedPageStore& store = *GetStore();
    const GeoRect mapRect = store.GetParameters().rect;
    const auto& tree = store.GetPageTree();
    if (!tree || tree->GetNodes().empty()) {
        m_ranges.push_back({0, mapRect});
        return;
    }
    const auto& nodes = tree->GetNodes();
    struct Pending {
        std::uint32_t child; // a child word: a leaf or an inner node
        GeoRect cell;
        std::uint32_t depth;
    };
    // Depth first, upper child before lower; leaves collected in that order and reversed at the
    // end, so that the list runs from the lower cells up.
    std::vector<Pending> stack{{0, mapRect, 0}};
    std::vector<PageRange> reversed;
    while (!stack.empty()) {
        const Pending at = stack.back();
        stack.pop_back();
        if (PageTree::IsLeaf(at.child)) {
            const auto page = static_cast<std::uint16_t>(PageTree::PageOf(at.child));
            if (reversed.empty() || reversed.back().page != page) {
                reversed.push_back({page, at.cell});
            }
            continue;
        }
        const std::uint32_t node = PageTree::NodeOf(at.child);
        if (node >= nodes.size()) {
            continue;
        }
        GeoRect lower = at.cell;
        GeoRect upper = at.cell;
        if (at.depth % 2 == 0) {
            const float middle = (at.cell.minX + at.cell.maxX) / 2.0f;
            lower.maxX = middle;
            upper.minX = middle;
        } else {
            const float middle = (at.cell.minY + at.cell.maxY) / 2.0f;
            lower.maxY = middle;
            upper.minY = middle;
        }
        // Pushed lower first so that the upper child is visited first.
        if (GeoRect::Intersects(lower, m_rect)) {
            stack.push_back({nodes[node].lower, lower, at.depth + 1});
        }
        if (GeoRect::Intersects(upper, m_rect)) {
            stack.push_back({nodes[node].upper, upper, at.depth + 1});
        }
    }
    m_ranges.assign(reversed.rbegin(), reversed.rend());
}

bool CrossingRectIterator::StartRange(std::size_t index) {
    m_current = index;
    m_visited = 0;
    m_isInsideCellSeen = false;
    if (index >= m_ranges.size()) {
        MoveTo({0xFFFF, 0xFFFF, 0xFFFFFFFF, GetLevel()});
        return false;
    }
    if (index + 1 < m_ranges.size()) {
        m_endPage = m_ranges[index + 1].page;
        m_endOffset = 0;
    } else {
        const PageStoreParameters& p = GetStore()->GetParameters();
        m_endPage = p.endPage;
        m_endOffset = p.endOffset;
    }
    MoveTo({m_ranges[index].page, 0, 0xFFFFFFFF, GetLevel()});
    return true;
}

void CrossingRectIterator::Next() {
    if (!IsValid()) {
        return;
    }
    NetworkCrossing::Next();
    Seek();
}

void CrossingRectIterator::Seek() {
    for (;;) {
        const CrossingAddress at = GetAddress();
        if (!IsValid() || !IsBeforeEnd(at.page, at.offset, m_endPage, m_endOffset)) {
            if (!StartRange(m_current + 1)) {
                return;
            }
            continue;
        }
        ++m_visited;
        const PageRange& range = m_ranges[m_current];
        const GeoPoint position = Position();
        const bool isInCell = Contains(range.cell, position);
        if (!m_isInsideCellSeen) {
            m_isInsideCellSeen = isInCell;
            if (at.page > range.page) {
                if (!StartRange(m_current + 1)) {
                    return;
                }
                continue;
            }
        }
        if (Contains(m_rect, position)) {
            return;
        }
        if (m_isInsideCellSeen && !isInCell) {
            if (!StartRange(m_current + 1)) {
                return;
            }
            continue;
        }
        NetworkCrossing::Next();
    }
}

std::uint32_t NeighbourClassWord(std::uint32_t roadClass) {
    std::uint32_t word = (roadClass & 7u) << 29;
    word |= (roadClass >> 3) & 3u;
    constexpr std::pair<std::uint32_t, std::uint32_t> kExtended[] = {
        {1u << 7, 1u << 4}, {1u << 8, 1u << 6}, {1u << 9, 1u << 7}, {1u << 10, 1u << 8}};
    for (const auto& [classBit, wordBit] : kExtended) {
        if ((roadClass & classBit) != 0) {
            word |= wordBit;
        }
    }
    return word;
}

namespace {

bool HasLinkOf(const NetworkCrossing& crossing, std::uint32_t elementId) {
    const CrossingRecord* record = crossing.GetRecord();
    for (std::uint32_t i = 0; record != nullptr && i < record->LinkCount(); ++i) {
        if (record->ElementId(i) == elementId) {
            return true;
        }
    }
    return false;
}

} // namespace

NetworkCrossingPtr RoadNetwork::CreateCrossingIterator(const GeoRect& rect, std::uint16_t level) {
    if (level >= m_mapCount || GetStore(level) == nullptr) {
        return nullptr;
    }
    return std::make_shared<CrossingRectIterator>(*this, level, rect);
}

CrossingAddress RoadNetwork::SearchStore(std::uint16_t level, GeoPoint& position,
                                         std::uint32_t radius, std::uint32_t elementId) {
    NetworkCrossingPtr crossing = CreateCrossingIterator(GeoRectAround(position, radius), level);
    std::uint64_t bestDistance = radius;
    CrossingAddress best;
    GeoPoint bestPosition;
    for (; crossing && crossing->IsValid(); crossing->Next()) {
        if (elementId != 0xFFFFFFFF && !HasLinkOf(*crossing, elementId)) {
            continue;
        }
        const GeoPoint at = crossing->Position();
        if (elementId != 0xFFFFFFFF && at == position) {
            return crossing->GetAddress();
        }
        const double distance = GeoDistance(position, at);
        if (!(distance >= 0.0 && distance < static_cast<double>(bestDistance))) {
            continue; // NaN, or not nearer once truncated
        }
        const auto truncated = static_cast<std::uint64_t>(distance);
        if (truncated < bestDistance) {
            bestDistance = truncated;
            best = crossing->GetAddress();
            bestPosition = at;
        }
    }
    if (best.page != 0xFFFF) {
        position = bestPosition;
    }
    return best;
}

bool RoadNetwork::FindCrossingNear(CrossingQuery& query) {
    if (query.level >= m_mapCount || GetStore(query.level) == nullptr) {
        return false;
    }
    const float radius = query.radius;
    if (!(radius >= 0.0f)) {
        return false;
    }
    auto r = static_cast<std::uint32_t>(std::min(radius, 500.0f));
    for (;;) {
        GeoPoint position = query.input;
        const CrossingAddress found = SearchStore(query.level, position, r, query.elementId);
        if (found.page != 0xFFFF) {
            query.output = position;
            query.address = {found.page, found.offset, query.elementId, query.level};
            return true;
        }
        r += 1000;
        if (static_cast<float>(r) > radius) {
            return false;
        }
    }
}

bool RoadNetwork::LocateElementLink(ElementLinkRequest& request, TravelMode mode) {
    if (request.address.page == 0xFFFF) {
        GeoPoint position = request.position;
        const CrossingAddress found =
            SearchStore(request.address.level, position, 10, request.arrivingElement);
        if (found.page == 0xFFFF) {
            return false;
        }
        request.address = found;
    }
    NetworkCrossingPtr crossing = CreateCrossing(request.address);
    if (!crossing || !crossing->IsValid()) {
        return false;
    }
    std::uint32_t arriving = 0xFFFFFFFF;
    for (LinkCursorPtr cursor = CreateCursor(*crossing, 0, 0); cursor->IsValid(); cursor->Next()) {
        if (cursor->GetElementId() == request.arrivingElement) {
            arriving = cursor->GetIndex();
            break;
        }
    }
    if (arriving == 0xFFFFFFFF) {
        return false;
    }
    std::vector<std::uint32_t> reachable;
    for (LinkCursorPtr cursor = CreateRestrictedCursor(*crossing, true, arriving, mode, nullptr);
         cursor->IsValid(); cursor->Next()) {
        const std::uint32_t element = cursor->GetElementId();
        if (element != request.arrivingElement && element != request.leavingElement) {
            reachable.push_back(element);
        }
    }
    const GeoPoint position = crossing->Position();
    for (LinkCursorPtr cursor = CreateCursor(*crossing, 0, 0); cursor->IsValid(); cursor->Next()) {
        const std::uint32_t element = cursor->GetElementId();
        if (element == request.leavingElement) {
            request.leavingTarget = cursor->GetTarget();
            continue;
        }
        if (element == request.arrivingElement) {
            continue;
        }
        NeighbourLink link;
        link.position = position;
        link.elementId = element;
        link.classWord = NeighbourClassWord(cursor->GetRoadClass());
        const bool isAllowed =
            std::find(reachable.begin(), reachable.end(), element) != reachable.end();
        std::vector<NeighbourLink>* out = isAllowed ? request.allowed : request.forbidden;
        if (out != nullptr) {
            out->push_back(link);
        }
    }
    return true;
}
