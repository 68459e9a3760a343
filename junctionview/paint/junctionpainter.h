#pragma once
// Paints a junction picture in device coordinates onto a canvas: road bands with mitred joints
// and outlined edges, the other roads beneath the route, a roundabout's ring, driven arc and
// island, and the exit arrow's head. Reads its inputs, writes nothing but the canvas. One thread
// at a time.

#include "junctionview/model/junctiongeometry.h"
#include "junctionview/paint/junctioncanvas.h"

#include <cstdint>
#include <span>
#include <vector>

// Colours (COLORREF) and band widths of a picture.
struct JunctionStyle {
    COLORREF routeColour = RGB(0, 0, 255);
    COLORREF junctionRoadColour = RGB(0, 0, 0);
    COLORREF sideRoadColour = RGB(255, 255, 255);
    COLORREF extraRoadColour = RGB(255, 0, 0);
    COLORREF outlineColour = RGB(0, 0, 0);
    COLORREF backgroundColour = RGB(255, 255, 255);
    std::int32_t routeWidth = 10;
    std::int32_t sideRoadWidth = 10;
    std::int32_t extraRoadWidth = 10;
};

// What the painter reads of a crossing view: the device lists and the picture's marks.
struct JunctionScene {
    std::span<const JunctionSegment> screenRoute;
    std::span<const JunctionSegment> screenSide;
    std::span<const JunctionSegment> screenExtra;
    bool isModelEmpty = true; // the model lists (not the device ones) are all empty
    bool isRoundabout = false;
    JunctionRect targetRect;
    JunctionSegment arrowSegment = junctionview::UnsetSegment();
    JunctionSegment approachSegment = junctionview::UnsetSegment();
    bool reverseArc = false;
};

class JunctionPainter {
public:
    // routeElementIds: the streets drawn in the route colour.
    JunctionPainter(const JunctionStyle& style, const std::vector<std::uint32_t>& routeElementIds,
                    JunctionCanvas& canvas);

    // The whole picture, layer by layer: extra and side streets, the ring, the route, the route
    // pieces of the other streets, the roundabout's arc and island, the arrow head.
    void PaintJunction(const JunctionScene& scene);
    // One run of segments as a band of that width: a filled polygon with its two edges outlined.
    void PaintBand(std::span<const JunctionSegment> run, std::int32_t width, COLORREF colour);
    // An arrow head at (x1, y1) for the segment from (x0, y0); in the route colour when the
    // street is a route element.
    void PaintArrowHead(std::uint32_t streetId, float x0, float y0, float x1, float y1);

    [[nodiscard]] bool ContainsRouteElement(std::uint32_t id) const;

private:
    // Paints the segments in runs of one street id; route elements go to heldBack instead.
    void PaintGrouped(std::span<const JunctionSegment> list, std::int32_t width, COLORREF colour,
                      std::vector<JunctionSegment>* heldBack);
    // False when there is no exit point (no arc, island or arrow then).
    bool PaintArc(const JunctionScene& scene, std::int32_t cx, std::int32_t cy, std::int32_t r);

    JunctionStyle m_style;
    const std::vector<std::uint32_t>& m_routeElementIds;
    JunctionCanvas& m_canvas;
};
