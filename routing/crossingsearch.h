#pragma once
// Finding crossings by position: the crossings of a level inside a rectangle (walked through the
// map's page tree), the crossing nearest to a position that has a link of an element, and the
// links around a link at a crossing. Distances are flat-earth metres truncated to integers.

#include "routing/networkcrossing.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <vector>

// A crossing handle that visits the crossings of one level inside a query rectangle (bounds
// included). The page ranges come from the page tree: the leaves whose cells overlap the
// rectangle (touching cells are skipped), lower cells first; without a tree the whole map is one
// range. Invalid once the last range is done.
class CrossingRectIterator final : public NetworkCrossing {
public:
    CrossingRectIterator(const PageStoreSource& network, std::uint16_t level, const GeoRect& rect);

    void Next() override;
    // Crossings looked at in the current range.
    [[nodiscard]] std::uint32_t GetVisitedInRange() const { return m_visited; }

private:
    struct PageRange {
        std::uint16_t page = 0;
        GeoRect cell;
    };

    void BuildRanges();
    // Positions on the range's first record and resets its end, cell and flag; false without
    // another range (the handle becomes invalid).
    [[nodiscard]] bool StartRange(std::size_t index);
    // Walks from the current record to the next one inside the rectangle.
    void Seek();
    [[nodiscard]] static bool Contains(const GeoRect& rect, const GeoPoint& p);

    GeoRect m_rect;
    std::vector<PageRange> m_ranges;
    std::size_t m_current = 0;
    std::uint16_t m_endPage = 0;
    std::uint16_t m_endOffset = 0;
    std::uint32_t m_visited = 0;
    bool m_isInsideCellSeen = false;
};

// Input and output of the nearest-crossing search with an element.
struct CrossingQuery {
    GeoPoint output;         // position of the crossing found
    GeoPoint input;          // where to search
    CrossingAddress address; // found: page, offset, element id (in `reserved`) and level
    float radius = 0.0f;     // metres
    std::uint32_t elementId = 0xFFFFFFFF; // -1: any crossing
    std::uint16_t level = 0;
};

// Input and output of the nearest drivable crossing search (level 0).
struct NearestCrossingRequest {
    GeoPoint position;                    // search position; output position
    GeoPoint secondPosition;              // output; the search position when an element id is given
    std::uint32_t elementId = 0xFFFFFFFF; // 0xFFFFFFFF: none
    std::uint32_t result = 0;
};

// A link at a crossing as the route service lists it.
struct NeighbourLink {
    GeoPoint position; // of the crossing
    std::uint32_t elementId = 0;
    std::uint32_t zero[2] = {0, 0};
    // Bits 29-31 road class bits 0-2, bit 0 class bit 3, bit 1 class bit 4, bits 4, 6, 7, 8 the
    // extended codes 2, 3, 4, 5.
    std::uint32_t classWord = 0;
};
static_assert(sizeof(NeighbourLink) == 24);

// The crossing where link A arrives and B leaves, and the other links there.
struct ElementLinkRequest {
    GeoPoint position;
    CrossingAddress address; // level included; page 0xFFFF when unknown (found and stored)
    std::uint32_t arrivingElement = 0;
    std::uint32_t leavingElement = 0;
    CrossingAddress leavingTarget;                   // output
    std::vector<NeighbourLink>* allowed = nullptr;   // links that may be taken after A
    std::vector<NeighbourLink>* forbidden = nullptr; // links that may not
};

// The class word of a NeighbourLink from a link's extended road class.
[[nodiscard]] std::uint32_t NeighbourClassWord(std::uint32_t roadClass);
