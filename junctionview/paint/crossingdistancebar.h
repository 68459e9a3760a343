#pragma once
// The crossing view's small distance bar: a framed rectangle filled from its left or top edge by
// the covered share of a distance. One thread at a time.

#include "junctionview/paint/junctioncanvas.h"

#include <cstdint>

class CrossingDistanceBar {
public:
    // orientation 0: the fill grows from the left edge; 1: from the top edge.
    explicit CrossingDistanceBar(std::int32_t orientation)
        : m_orientation(orientation) {}
    virtual ~CrossingDistanceBar() = default;

    void SetRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
        m_rect = {left, top, right, bottom};
    }
    void SetFraction(double fraction) { m_fraction = fraction; }
    // Nothing for a fraction of exactly 0.0; otherwise the frame and the filled part (an empty
    // rectangle at 0, 0, 0, 0 for an orientation other than 0 and 1).
    void Paint(HDC dc) const;
    void Paint(JunctionCanvas& canvas) const;

private:
    RECT m_rect{0, 0, 0, 0};
    COLORREF m_barColour = 0x00FF0000;
    COLORREF m_frameColour = 0x00C0C0C0;
    double m_fraction = 0.0;
    std::int32_t m_orientation;
};
