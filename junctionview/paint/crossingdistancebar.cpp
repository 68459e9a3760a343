#include "junctionview/paint/crossingdistancebar.h"

#include "junctionview/model/junctiongeometry.h"

#include <cmath>

void CrossingDistanceBar::Paint(HDC dc) const {
    GdiJunctionCanvas canvas(dc);
    Paint(canvas);
}

void CrossingDistanceBar::Paint(JunctionCanvas& canvas) const {
    if (m_fraction == 0.0) {
        return;
    }
    canvas.SetBrush(m_frameColour);
    canvas.SetPen({PS_SOLID, 2, RGB(0, 0, 0)});
    canvas.DrawRectangle(m_rect.left, m_rect.top, m_rect.right, m_rect.bottom);

    RECT filled{0, 0, 0, 0};
    if (m_orientation == 0) {
        const double width = static_cast<double>(m_rect.right) - m_rect.left;
        filled = {m_rect.left, m_rect.top,
                  junctionview::ClampToInt(m_rect.left + std::trunc(width * m_fraction)),
                  m_rect.bottom};
    } else if (m_orientation == 1) {
        const double height = static_cast<double>(m_rect.bottom) - m_rect.top;
        filled = {m_rect.left, m_rect.top, m_rect.right,
                  junctionview::ClampToInt(m_rect.top + std::trunc(height * m_fraction))};
    }
    canvas.SetBrush(m_barColour);
    canvas.SetPen({PS_SOLID, 0, m_barColour});
    canvas.DrawRectangle(filled.left, filled.top, filled.right, filled.bottom);
}
